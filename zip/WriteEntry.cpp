#include "zip/WriteEntry.h"

namespace {

void Put16(String& s, size_t at, Word v) { le::Put16(reinterpret_cast<Byte*>(&s[at]), v); }
void Put32(String& s, size_t at, LongWord v) { le::Put32(reinterpret_cast<Byte*>(&s[at]), v); }

}  // namespace

void TZipWriteEntry::CopyEntry(const TZipHeaderInfo& source) {
    CopyFromSource(source);
    if (const auto* w = dynamic_cast<const TZipWriteEntry*>(&source)) {
        LocalExtra = w->LocalExtra;
        CentralExtra = w->CentralExtra;
        StoredNameBytes = w->StoredNameBytes;
        NameAtRead = w->NameAtRead;
        KeepDescriptor = w->KeepDescriptor;
        LocalCrc = w->LocalCrc;
        LocalCompressedSize = w->LocalCompressedSize;
        LocalUncompressedSize = w->LocalUncompressedSize;
    }
}

void TZipWriteEntry::MarkHostForName() {
    constexpr Word kHostNtfs = 10;
    if ((Flags & zipconst::kFlagUtf8) != 0 && (VersionMadeBy >> 8) == 0)
        VersionMadeBy = static_cast<Word>((kHostNtfs << 8) | (VersionMadeBy & 0xFF));
}

String TZipWriteEntry::NameBytes() const {
    String bytes = !StoredNameBytes.empty() && FullName() == NameAtRead ? StoredNameBytes : StoredName();
    if (static_cast<Int64>(bytes.size()) > zipwrite::kMaxNameBytes)
        throw EZipWriteError("The name \"" + FullName().substr(0, 200) + "...\" is longer than 65,535 bytes");
    return bytes;
}

LongWord TZipWriteEntry::CentralRecordSize(const String& nameBytes) const {
    LongWord comment = Comment() ? static_cast<LongWord>(Comment()->size()) : 0;
    return static_cast<LongWord>(zipconst::kCentralSize + nameBytes.size() + CentralExtra.size()) + comment;
}

String TZipWriteEntry::LocalHeaderImage(const String& nameBytes) const {
    String r(zipconst::kLocalSize, '\0');
    Put32(r, 0, zipconst::kLocalSignature);
    Put16(r, 4, VersionNeeded);
    Put16(r, 6, Flags);
    Put16(r, 8, Method);
    Put32(r, 10, DateTime);
    Put32(r, 14, KeepDescriptor ? LocalCrc : CRC);
    Put32(r, 18, KeepDescriptor ? LocalCompressedSize : CompressedSize);
    Put32(r, 22, KeepDescriptor ? LocalUncompressedSize : UncompressedSize);
    Put16(r, 26, static_cast<Word>(nameBytes.size()));
    Put16(r, 28, static_cast<Word>(LocalExtra.size()));
    return r + nameBytes + LocalExtra;
}

String TZipWriteEntry::CentralRecordImage(const String& nameBytes) const {
    const String comment = Comment().value_or(String());
    String r(zipconst::kCentralSize, '\0');
    Put32(r, 0, zipconst::kCentralSignature);
    Put16(r, 4, VersionMadeBy);
    Put16(r, 6, VersionNeeded);
    Put16(r, 8, Flags);
    Put16(r, 10, Method);
    Put32(r, 12, DateTime);
    Put32(r, 16, CRC);
    Put32(r, 20, CompressedSize);
    Put32(r, 24, UncompressedSize);
    Put16(r, 28, static_cast<Word>(nameBytes.size()));
    Put16(r, 30, static_cast<Word>(CentralExtra.size()));
    Put16(r, 32, static_cast<Word>(comment.size()));
    Put16(r, 34, DiskNumberStart);
    Put16(r, 36, InternalAttributes);
    Put32(r, 38, ExternalAttributes);
    Put32(r, 42, LocalHeaderOffset);
    return r + nameBytes + CentralExtra + comment;
}

String TZipWriteEntry::DescriptorImage() const {
    String r(zipwrite::kDescriptorSize, '\0');
    Put32(r, 0, zipconst::kDescriptorSignature);
    Put32(r, 4, CRC);
    Put32(r, 8, CompressedSize);
    Put32(r, 12, UncompressedSize);
    return r;
}

String EndRecordImage(const TEndCentral& end) {
    const String comment = end.Comment().value_or(String());
    String r(zipconst::kEndSize, '\0');
    Put32(r, 0, zipconst::kEndSignature);
    Put16(r, 4, end.ThisDisk);
    Put16(r, 6, end.CentralStartDisk);
    Put16(r, 8, end.EntriesThisDisk);
    Put16(r, 10, end.TotalEntries);
    Put32(r, 12, end.CentralSize);
    Put32(r, 16, end.CentralOffset);
    Put16(r, 20, static_cast<Word>(comment.size()));
    return r + comment;
}
