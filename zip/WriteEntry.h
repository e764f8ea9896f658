// An entry as the archive writer handles it, and the records the writer lays out for it.
//
// New entries carry nothing but their header. Entries kept from an archive written by
// another tool also carry what must reach the new archive byte for byte: the local and the
// central extra fields (timestamps, Unix owners, Unicode paths, ...) and the name bytes as
// stored, which are written again as long as the entry's name was not changed. An
// encrypted entry that was streamed with a data descriptor keeps it: its password check
// byte was made from the entry's time, so the flag that says so must stay.
//
// No Zip64: every size, offset and count stays below the marker values, and the writer
// refuses anything that would need them (the limits below) with EZipWriteError.
#pragma once

#include "platform/Exceptions.h"
#include "zip/ZipConstants.h"
#include "zip/ZipRecords.h"

// A refused configuration, a limit of the format, or an archive that changed behind the writer.
TARVIK_EXCEPTION(EZipWriteError, Exception);

namespace zipwrite {

// Sizes and offsets must stay below the 32-bit Zip64 marker.
inline constexpr Int64 kMaxOffset = static_cast<Int64>(zipconst::kZip64Marker32) - 1;
// A file's compressed data may be the whole file plus the encryption header.
inline constexpr Int64 kMaxFileSize = kMaxOffset - zipconst::kEncryptionHeaderSize;
// The directory lists hold at most this many entries; 0xFFFF is the Zip64 marker of the count.
inline constexpr Integer kMaxEntries = zipconst::kMaxListSize;
inline constexpr Int64 kMaxNameBytes = 0xFFFF;
inline constexpr Int64 kMaxEntryComment = 0xFFFF;
// The end record is searched in the last kEndSearchWindow bytes of the archive; a longer
// archive comment would hide it from every reader that searches the same way (ours does).
inline constexpr Int64 kMaxArchiveComment = zipconst::kEndSearchWindow - zipconst::kEndSize;
static_assert(kMaxArchiveComment <= 0xFFFF);

inline constexpr int kDescriptorSize = 16;  // signature, CRC, compressed and uncompressed size

}  // namespace zipwrite

class TZipWriteEntry : public TZipHeaderInfo {
public:
    const char* ClassName() const noexcept override { return "TZipWriteEntry"; }

    String LocalExtra;
    String CentralExtra;
    // The name bytes as the old archive stored them, and the name they decoded to. They are
    // written again while FullName() still equals NameAtRead.
    String StoredNameBytes;
    String NameAtRead;
    // An encrypted entry with a data descriptor: bit 3 stays set, a descriptor follows the
    // data, and the local header keeps the CRC and size fields the old one had.
    bool KeepDescriptor = false;
    LongWord LocalCrc = 0;
    LongWord LocalCompressedSize = 0;
    LongWord LocalUncompressedSize = 0;

    // A name written in UTF-8 (flag bit 11) under "made by MS-DOS" is still taken for CP437 by
    // Info-ZIP unzip, which then mangles it; such entries are marked as made on NTFS, which
    // reads the flag. Names in CP437 keep the MS-DOS host.
    void MarkHostForName();

    // Copies the header fields of any entry and, from another TZipWriteEntry, the carried bytes.
    void CopyEntry(const TZipHeaderInfo& source);

    // The name bytes to write now; raises EZipWriteError when they pass 65,535 bytes.
    String NameBytes() const;
    // Local header: 30 bytes, name, local extra field.
    String LocalHeaderImage(const String& nameBytes) const;
    // Central record: 46 bytes, name, central extra field, comment (loaded before writing).
    String CentralRecordImage(const String& nameBytes) const;
    // Data descriptor with its signature, from the header's CRC and sizes.
    String DescriptorImage() const;
    LongWord LocalRecordSize(const String& nameBytes) const {
        return static_cast<LongWord>(zipconst::kLocalSize + nameBytes.size() + LocalExtra.size());
    }
    LongWord CentralRecordSize(const String& nameBytes) const;
};

// End of central directory record with the archive comment (when loaded).
String EndRecordImage(const TEndCentral& end);
