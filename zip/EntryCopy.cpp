// Copying a kept entry from the old archive into the new one, raw: the data is never
// decompressed or re-encrypted.
//
// Archives written by other tools carry extra fields (timestamps, Unix owners, Unicode
// paths), local headers whose extra field differs from the central one, and entries
// streamed with data descriptors. The copy reads the local header's own name and extra
// lengths, checks its signature and name against the central record, and carries both extra
// fields byte for byte. An unencrypted entry streamed with a descriptor loses it: its local
// header now holds the CRC and sizes. An encrypted one keeps it, because its password check
// byte was made from the entry's time, which only the descriptor flag tells a reader.
#include <algorithm>
#include <vector>

#include "platform/FileStream.h"
#include "zip/BufferStream.h"
#include "zip/EntryNames.h"
#include "zip/ZipConstants.h"
#include "zip/ZipCycle.h"

namespace {

void ReadExactly(TStream& s, void* buffer, Int64 count, const String& entryName) {
    auto* p = static_cast<Byte*>(buffer);
    Int64 done = 0;
    while (done < count) {
        Integer n = s.Read(p + done, static_cast<Integer>(std::min<Int64>(count - done, 1 << 30)));
        if (n <= 0)
            throw EZipWriteError("The archive ends inside the entry \"" + entryName + "\"; it is not rewritten");
        done += n;
    }
}

bool IdentityOfStream(TStream& stream, TFileIdentity& id) {
    if (auto* file = dynamic_cast<TLFNFileStream*>(&stream)) return GetFileIdentity(file->FileHandle(), id);
    if (auto* file = dynamic_cast<THandleStream*>(&stream)) return GetFileIdentity(file->Handle(), id);
    return false;
}

}  // namespace

void TZipper::LoadCarriedBytes(TZipWriteEntry& entry) {
    Cycle& c = *cycle_;
    TStream& s = *c.copySource;
    const String shown = entry.FullName();
    // The central record, when there is one: its name bytes and extra field. Entries that
    // this engine wrote in an earlier cycle already carry both.
    String centralName;
    const bool fromEarlierCycle = !entry.NameAtRead.empty() || !entry.StoredNameBytes.empty();
    if (fromEarlierCycle) {
        centralName = entry.StoredNameBytes;
    } else if (entry.CentralRecordPosition != 0) {
        Byte r[zipconst::kCentralSize];
        s.SetPosition(entry.CentralRecordPosition);
        ReadExactly(s, r, sizeof r, shown);
        if (le::Get32(r) != zipconst::kCentralSignature || le::Get32(r + 42) != entry.LocalHeaderOffset)
            throw EZipWriteError("The central record of \"" + shown + "\" changed; the archive is not rewritten");
        centralName.resize(le::Get16(r + 28));
        ReadExactly(s, centralName.data(), static_cast<Int64>(centralName.size()), shown);
        entry.CentralExtra.resize(le::Get16(r + 30));
        ReadExactly(s, entry.CentralExtra.data(), static_cast<Int64>(entry.CentralExtra.size()), shown);
        entry.StoredNameBytes = centralName;
        entry.NameAtRead = entrynames::DecodeName(centralName, le::Get16(r + 8), le::Get16(r + 4));
    }

    Byte l[zipconst::kLocalSize];
    s.SetPosition(entry.LocalHeaderOffset);
    ReadExactly(s, l, sizeof l, shown);
    if (le::Get32(l) != zipconst::kLocalSignature)
        throw EZipWriteError("The local header of \"" + shown + "\" is missing; the archive is not rewritten");
    String localName(le::Get16(l + 26), '\0');
    ReadExactly(s, localName.data(), static_cast<Int64>(localName.size()), shown);
    const Word localFlags = le::Get16(l + 6);
    if (!centralName.empty() && localName != centralName &&
        entrynames::DecodeName(localName, localFlags, entry.VersionMadeBy) !=
            entrynames::DecodeName(centralName, entry.Flags, entry.VersionMadeBy))
        throw EZipWriteError("The local header of \"" + shown +
                             "\" names another file than the central directory; the archive is not rewritten");
    if (centralName.empty()) {
        entry.StoredNameBytes = localName;
        entry.NameAtRead = entrynames::DecodeName(localName, localFlags, entry.VersionMadeBy);
    }
    entry.LocalExtra.resize(le::Get16(l + 28));
    ReadExactly(s, entry.LocalExtra.data(), static_cast<Int64>(entry.LocalExtra.size()), shown);
    entry.LocalCrc = le::Get32(l + 14);
    entry.LocalCompressedSize = le::Get32(l + 18);
    entry.LocalUncompressedSize = le::Get32(l + 22);
}

void TZipper::CopyExistingEntry(TZipWriteEntry& entry) {
    Cycle& c = *cycle_;
    const String shown = entry.FullName();
    if (entry.NeedsZip64()) throw EZipWriteError("The entry \"" + shown + "\" needs Zip64; the archive is not rewritten");
    if (!c.copySource) {
        // A second handle on the very file the directory came from, read in large blocks.
        TFileIdentity open, second;
        if (auto* file = dynamic_cast<TLFNFileStream*>(archive_.get())) {
            auto raw = std::make_unique<TFileStream>(file->FileName(), fmOpenRead | fmShareDenyWrite);
            if (!IdentityOfStream(*archive_, open) || !IdentityOfStream(*raw, second) || !(open == second))
                throw EZipWriteError("The archive \"" + zipName_ + "\" changed while it was being rewritten");
            c.copySource = std::move(raw);
        } else {
            throw EZipWriteError("The archive \"" + zipName_ + "\" is not a file that can be copied");
        }
        c.archiveSize = c.copySource->Size();
    }
    const bool hadDescriptor = entry.HasDataDescriptor();
    LoadCarriedBytes(entry);
    // The data starts after the local header's own name and extra field.
    const Int64 start = c.copySource->Position();
    if (start + static_cast<Int64>(entry.CompressedSize) > c.archiveSize)
        throw EZipWriteError("The data of \"" + shown + "\" runs past the end of the archive; it is not rewritten");
    if (hadDescriptor && !entry.Encrypted() && !entry.KeepDescriptor) {
        entry.Flags = static_cast<Word>(entry.Flags & ~zipconst::kFlagDataDescriptor);
    } else if (hadDescriptor) {
        entry.KeepDescriptor = true;
    }

    zipwrite::ZipOutput& out = *c.output;
    if (entry.FullName() != entry.NameAtRead) entry.MarkHostForName();
    const String name = entry.NameBytes();
    entry.DiskNumberStart = static_cast<Word>(out.Disk());
    entry.LocalHeaderOffset = static_cast<LongWord>(out.Position());
    const String header = entry.LocalHeaderImage(name);
    entry.StoredNameBytes = name;
    entry.NameAtRead = entry.FullName();
    // The header leads the first block of data, so that a large entry goes out in one write
    // rather than a tiny one followed by a large one.
    std::vector<Byte>& block = c.scratch;
    block.resize(header.size() + (1 << 20));
    std::copy(header.begin(), header.end(), block.begin());
    std::size_t filled = header.size();
    Int64 left = entry.CompressedSize;
    do {
        const auto n = static_cast<Integer>(std::min<Int64>(left, static_cast<Int64>(block.size() - filled)));
        ReadExactly(*c.copySource, block.data() + filled, n, shown);
        out.Write(block.data(), filled + static_cast<size_t>(n));
        left -= n;
        filled = 0;
    } while (left > 0);
    if (entry.KeepDescriptor) out.Write(entry.DescriptorImage());
}
