// The records of the zip format: one entry (`TZipHeaderInfo`, read from a central record or a
// local header, written as both) and the end of central directory record (`TEndCentral`).
//
// Readers report failure by a false result and leave the stream where the record started;
// they never raise for bad data. Names are kept in memory as UTF-8 with "\" separators and
// split into directory (ending in "\" unless empty) and file name. Comments are loaded
// lazily by the component, so a header knows the comment's length before its text.
#pragma once

#include <functional>
#include <optional>

#include "platform/Streams.h"
#include "zip/ObjectList.h"

class TZipHeaderInfo;

// Switches to the next disk of a spanned archive and stores its stream in the variable.
using TNextDiskCallback = std::function<void(TZipHeaderInfo& header, TStream*& stream)>;

class TZipHeaderInfo : public TPersistent {
public:
    TZipHeaderInfo();
    const char* ClassName() const noexcept override { return "TZipHeaderInfo"; }

    Word VersionMadeBy;
    Word VersionNeeded;
    Word Flags;
    Word Method;
    LongWord DateTime;  // DOS time in the low word, DOS date in the high word
    LongWord CRC;
    LongWord CompressedSize;
    LongWord UncompressedSize;
    Word NameLength;  // stored length of directory plus file name
    Word ExtraLength;
    Word CommentLength;
    Word DiskNumberStart;
    Word InternalAttributes;
    LongWord ExternalAttributes;
    LongWord LocalHeaderOffset;
    LongWord CentralRecordPosition;  // 0 when not read from a central record
    bool Selected;

    void Clear();
    // Copies every field; a comment is copied only when the source has its text loaded.
    void CopyFromSource(const TObject& source);
    void CopyToTarget(TObject& target) const;

    const String& FileName() const { return fileName_; }
    const String& Directory() const { return directory_; }
    String FullName() const { return directory_ + fileName_; }
    void SetFileName(const String& name);
    // A non-empty directory gets its trailing "\".
    void SetDirectory(const String& dir);

    bool HasComment() const { return CommentLength > 0; }
    bool CommentLoaded() const { return comment_.has_value(); }
    const std::optional<String>& Comment() const { return comment_; }
    // None leaves no comment; otherwise the length is the text's length (at most 65535).
    void SetFileComment(const std::optional<String>& text);

    bool Encrypted() const;
    bool HasDataDescriptor() const;
    // Sizes, offsets or disk at their Zip64 markers: the real values are in a Zip64 extra.
    bool NeedsZip64() const;
    LongWord LocalSize() const { return 30u + NameLength + ExtraLength; }
    LongWord CentralSize() const { return 46u + NameLength + ExtraLength + CommentLength; }

    // The name as it is stored: "/" separators, CP437 unless it needs UTF-8.
    String StoredName() const;

    void SetFromCentral(const Byte* record, const String& storedName);
    void SetFromLocal(const Byte* record, const String& storedName);
    // Both writers write no extra field and set ExtraLength to 0 (and the central writer the
    // comment length to 0 when the text is not loaded), so that LocalSize and CentralSize
    // afterwards count exactly the bytes written.
    void SaveLocalToStream(TStream& stream);
    void SaveCentralToStream(TStream& stream);
    bool ReadCentralFromStream(TStream*& stream, const TNextDiskCallback& nextDisk);
    bool ReadLocalFromStream(TStream& stream);

private:
    void UpdateNameLength();
    void SetName(const String& name);

    String fileName_;
    String directory_;
    std::optional<String> comment_;
};

class TEndCentral {
public:
    TEndCentral();

    LongWord Signature;
    Word ThisDisk;
    Word CentralStartDisk;
    Word EntriesThisDisk;
    Word TotalEntries;
    LongWord CentralSize;
    LongWord CentralOffset;
    Word CommentLength;
    LongWord CommentPosition;
    bool Modified;
    // Where the record was found, and whether a Zip64 end record stands behind it.
    Int64 RecordPosition;
    bool Zip64;

    void Clear();
    void CopyFromSource(const TEndCentral& source);
    void CopyToTarget(TEndCentral& target) const { target.CopyFromSource(*this); }

    bool HasComment() const { return CommentLength > 0; }
    const std::optional<String>& Comment() const { return comment_; }
    void SetComment(const std::optional<String>& text);
    LongWord Size() const { return 22u + CommentLength; }

    void SaveToStream(TStream& stream) const;
    bool ReadFromStream(TStream& stream);

private:
    std::optional<String> comment_;
};

// Little-endian field access shared by the record code.
namespace le {
inline Word Get16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
inline LongWord Get32(const Byte* p) {
    return static_cast<LongWord>(p[0]) | (static_cast<LongWord>(p[1]) << 8) | (static_cast<LongWord>(p[2]) << 16) |
           (static_cast<LongWord>(p[3]) << 24);
}
inline void Put16(Byte* p, Word v) {
    p[0] = static_cast<Byte>(v);
    p[1] = static_cast<Byte>(v >> 8);
}
inline void Put32(Byte* p, LongWord v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}
}  // namespace le
