#include "zip/ZipRecords.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zip/EntryNames.h"
#include "zip/ZipConstants.h"

namespace {

// Field offsets of the local header.
namespace loc {
constexpr int Signature = 0, VersionNeeded = 4, Flags = 6, Method = 8, DateTime = 10, Crc = 14, CSize = 18,
              USize = 22, NameLength = 26, ExtraLength = 28, End = 30;
static_assert(End == zipconst::kLocalSize);
}  // namespace loc

// Field offsets of the central record.
namespace cen {
constexpr int Signature = 0, VersionMadeBy = 4, VersionNeeded = 6, Flags = 8, Method = 10, DateTime = 12, Crc = 16,
              CSize = 20, USize = 24, NameLength = 28, ExtraLength = 30, CommentLength = 32, DiskStart = 34,
              Internal = 36, External = 38, LocalOffset = 42, End = 46;
static_assert(End == zipconst::kCentralSize);
}  // namespace cen

// Field offsets of the end record.
namespace eocd {
constexpr int Signature = 0, ThisDisk = 4, CentralDisk = 6, EntriesThisDisk = 8, TotalEntries = 10,
              CentralSize = 12, CentralOffset = 16, CommentLength = 20, End = 22;
static_assert(End == zipconst::kEndSize);
}  // namespace eocd

// The run of fields the local header and the central record share, in the same order; the
// central record has it two bytes later, behind the version made by.
namespace common {
constexpr int VersionNeeded = 0, Flags = 2, Method = 4, DateTime = 6, Crc = 10, CSize = 14, USize = 18,
              NameLength = 22, ExtraLength = 24, End = 26;
// Every shared field must sit at the same distance from the start of the run in both records.
#define TARVIK_SAME_RUN(rec)                                                                               \
    static_assert(rec::Flags - rec::VersionNeeded == Flags && rec::Method - rec::VersionNeeded == Method &&  \
                  rec::DateTime - rec::VersionNeeded == DateTime && rec::Crc - rec::VersionNeeded == Crc &&  \
                  rec::CSize - rec::VersionNeeded == CSize && rec::USize - rec::VersionNeeded == USize &&    \
                  rec::NameLength - rec::VersionNeeded == NameLength &&                                      \
                  rec::ExtraLength - rec::VersionNeeded == ExtraLength)
TARVIK_SAME_RUN(loc);
TARVIK_SAME_RUN(cen);
#undef TARVIK_SAME_RUN
static_assert(loc::End - loc::VersionNeeded == End && cen::CommentLength - cen::VersionNeeded == End);
}  // namespace common

void GetCommonFields(TZipHeaderInfo& h, const Byte* r) {
    h.VersionNeeded = le::Get16(r + common::VersionNeeded);
    h.Flags = le::Get16(r + common::Flags);
    h.Method = le::Get16(r + common::Method);
    h.DateTime = le::Get32(r + common::DateTime);
    h.CRC = le::Get32(r + common::Crc);
    h.CompressedSize = le::Get32(r + common::CSize);
    h.UncompressedSize = le::Get32(r + common::USize);
    h.NameLength = le::Get16(r + common::NameLength);
    h.ExtraLength = le::Get16(r + common::ExtraLength);
}

void PutCommonFields(const TZipHeaderInfo& h, Byte* r) {
    le::Put16(r + common::VersionNeeded, h.VersionNeeded);
    le::Put16(r + common::Flags, h.Flags);
    le::Put16(r + common::Method, h.Method);
    le::Put32(r + common::DateTime, h.DateTime);
    le::Put32(r + common::Crc, h.CRC);
    le::Put32(r + common::CSize, h.CompressedSize);
    le::Put32(r + common::USize, h.UncompressedSize);
    le::Put16(r + common::NameLength, h.NameLength);
    le::Put16(r + common::ExtraLength, h.ExtraLength);
}

// Length of a comment, kept in 16 bits. Comments keep every byte, zero bytes included: a
// comment may hold binary data (even a whole archive), and cutting it at the first zero
// would lose it at the next rewrite.
Word CommentBytes(const String& s) { return static_cast<Word>(std::min<size_t>(s.size(), 0xFFFF)); }

// Reads what the stream gives, up to count bytes.
Integer ReadUpTo(TStream& stream, void* buffer, Integer count) {
    auto* p = static_cast<Byte*>(buffer);
    Integer total = 0;
    while (total < count) {
        Integer got = stream.Read(p + total, count - total);
        if (got <= 0) break;
        total += got;
    }
    return total;
}

}  // namespace

TZipHeaderInfo::TZipHeaderInfo() { Clear(); }

void TZipHeaderInfo::Clear() {
    VersionMadeBy = zipconst::kDefaultVersion;
    VersionNeeded = zipconst::kDefaultVersion;
    Flags = 0;
    Method = zipconst::kMethodDeflated;
    DateTime = 0;
    CRC = 0xFFFFFFFF;
    CompressedSize = 0;
    UncompressedSize = 0;
    NameLength = 0;
    ExtraLength = 0;
    CommentLength = 0;
    DiskNumberStart = 0;
    InternalAttributes = zipconst::kDefaultInternalAttributes;
    ExternalAttributes = zipconst::kDefaultExternalAttributes;
    LocalHeaderOffset = 0;
    CentralRecordPosition = 0;
    fileName_.clear();
    directory_.clear();
    comment_.reset();
    Selected = false;
}

void TZipHeaderInfo::CopyFromSource(const TObject& source) {
    const auto* src = dynamic_cast<const TZipHeaderInfo*>(&source);
    if (src == nullptr) throw EConvertError(String("Cannot assign a ") + source.ClassName() + " to a TZipHeaderInfo");
    if (src == this) return;
    VersionMadeBy = src->VersionMadeBy;
    VersionNeeded = src->VersionNeeded;
    Flags = src->Flags;
    Method = src->Method;
    DateTime = src->DateTime;
    CRC = src->CRC;
    CompressedSize = src->CompressedSize;
    UncompressedSize = src->UncompressedSize;
    NameLength = src->NameLength;
    ExtraLength = src->ExtraLength;
    CommentLength = src->CommentLength;
    DiskNumberStart = src->DiskNumberStart;
    InternalAttributes = src->InternalAttributes;
    ExternalAttributes = src->ExternalAttributes;
    LocalHeaderOffset = src->LocalHeaderOffset;
    CentralRecordPosition = src->CentralRecordPosition;
    fileName_ = src->fileName_;
    directory_ = src->directory_;
    // A text loaded here earlier would not belong to the source's comment; it is released so
    // that a stale comment can never be written under the source's length.
    comment_.reset();
    if (src->CommentLength != 0 && src->comment_) comment_ = src->comment_;
    Selected = src->Selected;
}

void TZipHeaderInfo::CopyToTarget(TObject& target) const {
    auto* dst = dynamic_cast<TZipHeaderInfo*>(&target);
    if (dst == nullptr) throw EConvertError(String("Cannot assign a TZipHeaderInfo to a ") + target.ClassName());
    dst->CopyFromSource(*this);
}

String TZipHeaderInfo::StoredName() const {
    bool needUtf8 = false;
    return entrynames::EncodeName(directory_ + fileName_, Flags, VersionMadeBy, needUtf8);
}

void TZipHeaderInfo::UpdateNameLength() {
    bool needUtf8 = false;
    String stored = entrynames::EncodeName(directory_ + fileName_, Flags, VersionMadeBy, needUtf8);
    if (needUtf8) Flags |= zipconst::kFlagUtf8;
    NameLength = static_cast<Word>(std::min<size_t>(stored.size(), 0xFFFF));
}

void TZipHeaderInfo::SetFileName(const String& name) {
    if (name == fileName_) return;
    fileName_ = name;
    UpdateNameLength();
}

void TZipHeaderInfo::SetDirectory(const String& dir) {
    String value = dir;
    if (!value.empty() && value.back() != '\\') value += '\\';
    if (value == directory_) return;
    directory_ = value;
    UpdateNameLength();
}

// Splits a decoded name at its last "\" or ":".
void TZipHeaderInfo::SetName(const String& name) {
    size_t cut = name.find_last_of("\\:");
    if (cut == String::npos) {
        directory_.clear();
        fileName_ = name;
    } else {
        directory_ = name.substr(0, cut + 1);
        fileName_ = name.substr(cut + 1);
    }
}

void TZipHeaderInfo::SetFileComment(const std::optional<String>& text) {
    comment_.reset();
    CommentLength = 0;
    if (!text) return;
    Word n = CommentBytes(*text);
    comment_ = text->substr(0, n);
    CommentLength = n;
}

bool TZipHeaderInfo::Encrypted() const { return (Flags & zipconst::kFlagEncrypted) != 0; }
bool TZipHeaderInfo::HasDataDescriptor() const { return (Flags & zipconst::kFlagDataDescriptor) != 0; }

bool TZipHeaderInfo::NeedsZip64() const {
    return CompressedSize == zipconst::kZip64Marker32 || UncompressedSize == zipconst::kZip64Marker32 ||
           LocalHeaderOffset == zipconst::kZip64Marker32 || DiskNumberStart == zipconst::kZip64Marker16;
}

void TZipHeaderInfo::SetFromCentral(const Byte* r, const String& storedName) {
    VersionMadeBy = le::Get16(r + cen::VersionMadeBy);
    GetCommonFields(*this, r + cen::VersionNeeded);
    CommentLength = le::Get16(r + cen::CommentLength);
    DiskNumberStart = le::Get16(r + cen::DiskStart);
    InternalAttributes = le::Get16(r + cen::Internal);
    ExternalAttributes = le::Get32(r + cen::External);
    LocalHeaderOffset = le::Get32(r + cen::LocalOffset);
    CentralRecordPosition = 0;
    SetName(entrynames::DecodeName(storedName, Flags, VersionMadeBy));
    comment_.reset();
    Selected = false;
}

void TZipHeaderInfo::SetFromLocal(const Byte* r, const String& storedName) {
    VersionMadeBy = 0;
    GetCommonFields(*this, r + loc::VersionNeeded);
    CommentLength = 0;
    DiskNumberStart = 0;
    InternalAttributes = 0;
    ExternalAttributes = 0;
    LocalHeaderOffset = 0;
    CentralRecordPosition = 0;
    SetName(entrynames::DecodeName(storedName, Flags, VersionMadeBy));
    comment_.reset();
    Selected = false;
}

// No extra bytes are ever written, so the extra length written is 0: a length without its
// bytes would shift every record behind it.
void TZipHeaderInfo::SaveLocalToStream(TStream& stream) {
    LocalHeaderOffset = static_cast<LongWord>(stream.Position());
    ExtraLength = 0;
    String name = StoredName();
    Byte r[zipconst::kLocalSize] = {};
    le::Put32(r + loc::Signature, zipconst::kLocalSignature);
    PutCommonFields(*this, r + loc::VersionNeeded);
    stream.WriteBuffer(r, sizeof r);
    if (NameLength != 0) stream.WriteBuffer(name.data(), NameLength);
}

void TZipHeaderInfo::SaveCentralToStream(TStream& stream) {
    ExtraLength = 0;
    // A comment whose text is not loaded cannot be written; its length would lie.
    if (!comment_) CommentLength = 0;
    String name = StoredName();
    Byte r[zipconst::kCentralSize] = {};
    le::Put32(r + cen::Signature, zipconst::kCentralSignature);
    le::Put16(r + cen::VersionMadeBy, VersionMadeBy);
    PutCommonFields(*this, r + cen::VersionNeeded);
    const Word commentLength = CommentLength;
    le::Put16(r + cen::CommentLength, commentLength);
    le::Put16(r + cen::DiskStart, DiskNumberStart);
    le::Put16(r + cen::Internal, InternalAttributes);
    le::Put32(r + cen::External, ExternalAttributes);
    le::Put32(r + cen::LocalOffset, LocalHeaderOffset);
    stream.WriteBuffer(r, sizeof r);
    if (NameLength != 0) stream.WriteBuffer(name.data(), NameLength);
    if (commentLength != 0) stream.WriteBuffer(comment_->data(), commentLength);
}

bool TZipHeaderInfo::ReadCentralFromStream(TStream*& stream, const TNextDiskCallback& nextDisk) {
    Int64 start = stream->Position();
    Byte r[zipconst::kCentralSize];
    Integer got = ReadUpTo(*stream, r, sizeof r);
    // A record cut by the end of a disk continues on the next one.
    if (nextDisk && got < zipconst::kCentralSize &&
        (got == 0 || (got >= 4 && le::Get32(r) == zipconst::kCentralSignature))) {
        nextDisk(*this, stream);
        got += ReadUpTo(*stream, r + got, zipconst::kCentralSize - got);
    }
    if (got == zipconst::kCentralSize && le::Get32(r) == zipconst::kCentralSignature) {
        Word nameLength = le::Get16(r + cen::NameLength);
        String name(nameLength, '\0');
        if (ReadUpTo(*stream, name.data(), nameLength) == nameLength) {
            stream->Seek(static_cast<Int64>(le::Get16(r + cen::ExtraLength)) + le::Get16(r + cen::CommentLength),
                         soCurrent);
            SetFromCentral(r, name);
            CentralRecordPosition = static_cast<LongWord>(start);
            return true;
        }
    }
    stream->SetPosition(start);
    return false;
}

bool TZipHeaderInfo::ReadLocalFromStream(TStream& stream) {
    Int64 start = stream.Position();
    Byte r[zipconst::kLocalSize];
    if (ReadUpTo(stream, r, sizeof r) == zipconst::kLocalSize && le::Get32(r) == zipconst::kLocalSignature) {
        Word nameLength = le::Get16(r + loc::NameLength);
        String name(nameLength, '\0');
        if (ReadUpTo(stream, name.data(), nameLength) == nameLength) {
            SetFromLocal(r, name);
            LocalHeaderOffset = static_cast<LongWord>(start);
            return true;
        }
    }
    stream.SetPosition(start);
    return false;
}

TEndCentral::TEndCentral() { Clear(); }

void TEndCentral::Clear() {
    Signature = zipconst::kEndSignature;
    ThisDisk = 0;
    CentralStartDisk = 0;
    EntriesThisDisk = 0;
    TotalEntries = 0;
    CentralSize = 0;
    CentralOffset = 0;
    CommentLength = 0;
    comment_.reset();
    CommentPosition = 0;
    Modified = false;
    RecordPosition = 0;
    Zip64 = false;
}

void TEndCentral::CopyFromSource(const TEndCentral& src) {
    if (&src == this) return;
    Signature = src.Signature;
    ThisDisk = src.ThisDisk;
    CentralStartDisk = src.CentralStartDisk;
    EntriesThisDisk = src.EntriesThisDisk;
    TotalEntries = src.TotalEntries;
    CentralSize = src.CentralSize;
    CentralOffset = src.CentralOffset;
    CommentLength = src.CommentLength;
    if (src.CommentLength != 0 && src.comment_) {
        comment_ = src.comment_->substr(0, CommentBytes(*src.comment_));
        CommentLength = static_cast<Word>(comment_->size());
    }
    CommentPosition = src.CommentPosition;
    RecordPosition = src.RecordPosition;
    Zip64 = src.Zip64;
}

void TEndCentral::SetComment(const std::optional<String>& text) {
    comment_.reset();
    CommentLength = 0;
    if (!text) return;
    Word n = CommentBytes(*text);
    comment_ = text->substr(0, n);
    CommentLength = n;
}

void TEndCentral::SaveToStream(TStream& stream) const {
    Byte r[zipconst::kEndSize] = {};
    Word commentLength = comment_ ? CommentLength : 0;
    le::Put32(r + eocd::Signature, zipconst::kEndSignature);
    le::Put16(r + eocd::ThisDisk, ThisDisk);
    le::Put16(r + eocd::CentralDisk, CentralStartDisk);
    le::Put16(r + eocd::EntriesThisDisk, EntriesThisDisk);
    le::Put16(r + eocd::TotalEntries, TotalEntries);
    le::Put32(r + eocd::CentralSize, CentralSize);
    le::Put32(r + eocd::CentralOffset, CentralOffset);
    le::Put16(r + eocd::CommentLength, commentLength);
    stream.WriteBuffer(r, sizeof r);
    if (commentLength != 0) stream.WriteBuffer(comment_->data(), commentLength);
}

// The search runs backwards from the end and weighs every end signature it meets. The best
// candidate has its central directory ending right at the record and its comment ending at
// the end of the file. An end record stored inside the archive comment (a zip file as the
// comment) also ends at the end of the file, but its central directory does not end at it,
// so it cannot take the place of the real one. Archives with bytes in front (offsets not
// adjusted) or behind (trailing junk) still find their record at a lower rank; among equal
// ranks the one nearest the end wins.
bool TEndCentral::ReadFromStream(TStream& stream) {
    const Int64 size = stream.Size();
    if (size < zipconst::kEndSize) return false;
    const Int64 n = std::min<Int64>(size, zipconst::kEndSearchWindow);
    std::vector<Byte> buf(static_cast<size_t>(n));
    stream.SetPosition(size - n);
    if (ReadUpTo(stream, buf.data(), static_cast<Integer>(n)) != n) return false;
    const Int64 base = size - n;
    Int64 at = -1;
    int bestRank = -1;
    for (Int64 i = n - zipconst::kEndSize; i >= 0; --i) {
        const Byte* p = &buf[static_cast<size_t>(i)];
        if (p[0] != 'P' || le::Get32(p) != zipconst::kEndSignature) continue;
        const Int64 position = base + i;
        const Int64 end = position + zipconst::kEndSize + le::Get16(p + eocd::CommentLength);
        const Int64 centralEnd =
            static_cast<Int64>(le::Get32(p + eocd::CentralOffset)) + le::Get32(p + eocd::CentralSize);
        int rank = 0;
        if (end <= size) rank = 1;
        if (end == size) rank = 2;
        if (centralEnd == position && end <= size) rank += 2;
        if (rank > bestRank) {
            bestRank = rank;
            at = i;
        }
        if (rank == 4) break;
    }
    if (at < 0) return false;
    const Byte* r = &buf[static_cast<size_t>(at)];
    ThisDisk = le::Get16(r + eocd::ThisDisk);
    CentralStartDisk = le::Get16(r + eocd::CentralDisk);
    EntriesThisDisk = le::Get16(r + eocd::EntriesThisDisk);
    TotalEntries = le::Get16(r + eocd::TotalEntries);
    CentralSize = le::Get32(r + eocd::CentralSize);
    CentralOffset = le::Get32(r + eocd::CentralOffset);
    CommentLength = le::Get16(r + eocd::CommentLength);
    comment_.reset();
    RecordPosition = base + at;
    CommentPosition = static_cast<LongWord>(std::max<Int64>(0, RecordPosition + zipconst::kEndSize));
    // A Zip64 archive keeps marker values here and a locator right in front of this record.
    bool markers = ThisDisk == zipconst::kZip64Marker16 || CentralStartDisk == zipconst::kZip64Marker16 ||
                   EntriesThisDisk == zipconst::kZip64Marker16 || TotalEntries == zipconst::kZip64Marker16 ||
                   CentralSize == zipconst::kZip64Marker32 || CentralOffset == zipconst::kZip64Marker32;
    Zip64 = markers && at >= zipconst::kZip64LocatorSize &&
            le::Get32(&buf[static_cast<size_t>(at - zipconst::kZip64LocatorSize)]) == zipconst::kZip64LocatorSignature;
    return true;
}
