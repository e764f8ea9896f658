// The extraction run behind TUnZipper::UnZip: selection, output paths, password check,
// overwrite rule, decoding through the shared decoders, CRC check, dates and attributes.
#include <algorithm>
#include <cstdio>

#include "platform/Files.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "platform/SysErrors.h"
#include "platform/SysUtils.h"
#include "zip/Crc32.h"
#include "zip/Decoder.h"
#include "zip/UnZipper.h"
#include "zip/WildMatch.h"
#include "zip/ZipConstants.h"
#include "zip/ZipCrypt.h"
#include "zip/ZipLib.h"

namespace {

bool StartsWithNoCase(const String& s, const String& prefix) {
    return s.size() >= prefix.size() && LowerCase(s.substr(0, prefix.size())) == LowerCase(prefix);
}

// Output paths the engine refuses: longer than the file layer can name (its POSIX paths
// end at 4096 bytes), or deeper than any real tree, where creating and checking the folders
// per entry would take the run nearly forever.
constexpr size_t kMaxOutputPath = 4095;
constexpr size_t kMaxOutputSteps = 256;

// The longest temporary name an output goes through first ("unzFFFF.TMP").
constexpr size_t kTempNameLength = 11;

// Why the output path (a folder and a file name, empty for a folder) cannot be used; empty
// when it can.
String OutputPathProblem(const String& folder, const String& name) {
    const String path = folder + name;
    if (folder.size() + std::max(name.size(), kTempNameLength) > kMaxOutputPath)
        return "its output path is longer than " + std::to_string(kMaxOutputPath) + " characters";
    if (static_cast<size_t>(std::count(path.begin(), path.end(), '\\')) > kMaxOutputSteps)
        return "its output path is deeper than " + std::to_string(kMaxOutputSteps) + " folders";
    return String();
}

// Unix file types and permission bits in the high word of the external attributes.
constexpr LongWord kUnixTypeMask = 0170000;
constexpr LongWord kUnixRegularFile = 0100000;
constexpr LongWord kUnixReadExecute = 0555;

constexpr LongWord kUnixOwnerWrite = 0200;

// What an extracted file keeps of its entry's attributes: the DOS bits in the low byte and,
// for a regular file made on Unix, its type and read and execute bits in the high word, as
// unzip keeps them. A mode without the owner's write bit makes the file read-only (write
// bits otherwise stay as created); set-id bits are never kept. A symbolic link is written
// as the regular file holding its target's name, so a link's mode (every bit set) is not
// applied to it.
LongWord KeptAttributes(const TZipHeaderInfo& h) {
    LongWord kept = h.ExternalAttributes & 0xFF;
    const LongWord mode = h.ExternalAttributes >> 16;
    if ((h.VersionMadeBy >> 8) == zipconst::kHostUnix && (mode & kUnixTypeMask) == kUnixRegularFile) {
        kept |= (mode & (kUnixTypeMask | kUnixReadExecute)) << 16;
        if ((mode & kUnixOwnerWrite) == 0) kept |= faReadOnly;
    }
    return kept;
}

}  // namespace

struct TUnZipper::ExtractRun {
    Integer count = 0;
    bool retry = false;
    String base;  // destination folder without trailing "\"
    zip::EntryDecoder decoder;
    std::vector<String> failures;  // entries this engine cannot extract, with the reason
};

String TUnZipper::UnsupportedReason(const TZipHeaderInfo& e) {
    if (e.NeedsZip64()) return "Zip64 entries are not supported";
    if ((e.Flags & zipconst::kFlagStrongEncryption) != 0) return "strong encryption is not supported";
    if (e.Method == zipconst::kMethodAes) return "AES encryption is not supported";
    switch (e.Method) {
        case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 8: return String();
        default: {
            char text[80];
            std::snprintf(text, sizeof text, "compression method %u is not supported", e.Method);
            return text;
        }
    }
}

Byte TUnZipper::DecryptHeader(const String& password, TStream& stream) {
    std::array<Byte, zip::kEncryptionHeaderSize> header{};
    Integer got = 0;
    while (got < static_cast<Integer>(header.size())) {
        Integer n = stream.Read(header.data() + got, static_cast<Integer>(header.size()) - got);
        if (n <= 0) throw EFatalUnzipError("Premature end of file reached");
        got += n;
    }
    return keys_.decrypt_header(password, header);
}

Integer TUnZipper::UnZip() {
    RequireIdle("extract");
    busy_ = true;
    Integer result = 0;
    String archiveName;
    // After a run over split parts the open stream is some part; the component goes back to
    // the archive's own name, and the next opening starts from it again.
    auto backToArchive = [&] {
        if (MultiMode() == TMultiMode::mmBlocks && !archiveName.empty() && zipName_ != archiveName) {
            archive_.reset();
            zipName_ = archiveName;
            currentDisk_ = endCentral_.ThisDisk;
        }
    };
    try {
        OpenZipNow();
        archiveName = zipName_;
        result = ExtractRunAll();
        backToArchive();
        CloseZipNow();
    } catch (...) {
        backToArchive();
        CloseZipNow();
        busy_ = false;
        throw;
    }
    busy_ = false;
    return result;
}

String TUnZipper::OutputFolderFor(const TZipHeaderInfo& entry, const String& base) const {
    String folder = base + "\\";
    if (!RecreateDirs || entry.Directory().empty()) return folder;
    String rest = entry.Directory();
    if (!rootDir_.empty() && StartsWithNoCase(rest, rootDir_)) rest = rest.substr(rootDir_.size());
    // A drive, a leading "\" and "." or ".." steps are dropped, and a ":" inside a step is
    // replaced: every stored folder lands below the destination.
    if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
    size_t start = 0;
    while (start <= rest.size()) {
        size_t cut = rest.find('\\', start);
        if (cut == String::npos) cut = rest.size();
        String step = rest.substr(start, cut - start);
        start = cut + 1;
        if (step.empty() || step == "." || step == "..") continue;
        for (char& c : step)
            if (c == ':') c = '_';
        folder += step + "\\";
    }
    return folder;
}

Integer TUnZipper::ExtractRunAll() {
    ExtractRun run;
    const String remembered = CurrentFolder();
    // An empty destination is the layer's current folder, never the root of its drive.
    if (!destDir_.empty()) {
        // A relative destination is taken from the current folder before the run moves
        // into it, or every output would land in a copy of the path below itself. A bare
        // drive ("C:", what "C:\" is kept as) means its root.
        run.base = destDir_.size() == 2 && destDir_[1] == ':' ? destDir_ : ExcludeTrailingBackslash(ExpandFileName(destDir_));
        if (!FolderExists(run.base)) ForceFolder(run.base);
        SetCurrentFolder(run.base);
    } else {
        run.base = remembered;
        while (!run.base.empty() && run.base.back() == '\\') run.base.pop_back();
    }
    const bool spanned = endCentral_.ThisDisk != 0;
    const bool resort = spanned && SortMode != TZipSortMode::ByNone;
    const TZipSortMode savedMode = SortMode;
    try {
        if (resort) SortView(TZipSortMode::ByNone);
        totalBytes_ = 0;
        bytesDone_ = 0;
        run.count = Count();
        for (Integer i = 0; i < Count(); ++i) {
            TZipHeaderInfo* e = view_->Header(i);
            e->Selected = DoAll;
            if (!e->FileName().empty() || RecreateDirs) {
                for (Integer k = 0; k < FilesList.Count(); ++k) {
                    String pattern = LowerCase(FilesList[k]);
                    String name = pattern.find('\\') == String::npos ? e->FileName() : e->FullName();
                    if (IsWildMatch(pattern, LowerCase(name))) {
                        e->Selected = true;
                        break;
                    }
                }
            }
            // A folder entry is never selected without RecreateDirs.
            if (e->FileName().empty() && !RecreateDirs) e->Selected = false;
            if (e->Selected)
                totalBytes_ += e->UncompressedSize;
            else
                --run.count;
        }
        bool stop = false;
        if (OnStartUnZipInfo) OnStartUnZipInfo(this, run.count, totalBytes_, stop);
        if (run.count > 0 && !stop) {
            for (Integer i = 0; i < Count(); ++i) {
                if (!view_->Header(i)->Selected) continue;
                do ExtractEntry(run, i);
                while (run.retry);
            }
        }
    } catch (...) {
        SetCurrentFolder(remembered);
        if (resort) SortView(savedMode);
        throw;
    }
    SetCurrentFolder(remembered);
    if (resort) SortView(savedMode);
    if (!run.failures.empty()) {
        String text = run.failures.front();
        if (run.failures.size() > 1) text += " (and " + std::to_string(run.failures.size() - 1) + " more)";
        throw EFatalUnzipError(text);
    }
    return run.count;
}

namespace {

// Hands the entry's compressed bytes to a decoder in blocks of at most 16000, decrypting
// them and crossing disks as needed. It never reads past the entry's compressed size.
class ArchiveSource final : public zip::ByteSource {
public:
    using Refill = std::function<Integer(Byte*, Integer)>;
    ArchiveSource(LongWord remaining, Refill refill) : remaining_(remaining), refill_(std::move(refill)) {
        buffer_.resize(zipconst::kBlockSize);
    }
    std::span<const Byte> next_block() override {
        if (remaining_ == 0) return {};
        auto n = static_cast<Integer>(std::min<LongWord>(remaining_, zipconst::kBlockSize));
        refill_(buffer_.data(), n);
        remaining_ -= static_cast<LongWord>(n);
        return std::span<const Byte>(buffer_.data(), static_cast<size_t>(n));
    }
    std::uint64_t remaining() const override { return remaining_; }

private:
    LongWord remaining_;
    Refill refill_;
    std::vector<Byte> buffer_;
};

class OutputSink final : public zip::ByteSink {
public:
    using Flush = std::function<void(std::span<const Byte>)>;
    explicit OutputSink(Flush flush) : flush_(std::move(flush)) {}
    void write(std::span<const Byte> data) override {
        // Blocks of at most 16000 bytes, as the progress events expect.
        while (!data.empty()) {
            size_t n = std::min<size_t>(data.size(), zipconst::kBlockSize);
            flush_(data.first(n));
            data = data.subspan(n);
        }
    }

private:
    Flush flush_;
};

}  // namespace

void TUnZipper::ExtractEntry(ExtractRun& run, Integer index) {
    run.retry = false;
    TZipHeaderInfo* entry = view_->Header(index);
    workHeader_.CopyFromSource(*entry);
    TZipHeaderInfo& h = workHeader_;
    const bool spanned = endCentral_.ThisDisk != 0;
    LongWord remaining = h.CompressedSize;

    auto fail = [&](const String& why) {
        run.failures.push_back("Cannot extract \"" + h.FullName() + "\": " + why);
        --run.count;
    };

    if (!h.FileName().empty()) {
        String reason = UnsupportedReason(h);
        if (!reason.empty()) return fail(reason);
        if (h.FileName() == "." || h.FileName() == "..") return fail("the name leads outside the destination");
        // Listed from its local header alone, an entry with a data descriptor has no known
        // size or CRC: decoding it would "succeed" with an empty file.
        if (rebuilt_ && h.HasDataDescriptor() && h.CentralRecordPosition == 0)
            return fail("its size and CRC are unknown (data descriptor without a central record)");
        if (spanned && currentDisk_ != h.DiskNumberStart) SwapDisk(h.DiskNumberStart + 1);
        archive_->SetPosition(h.LocalHeaderOffset);
        Integer got = 0;
        while (got < 30) {
            Integer n = archive_->Read(localHeader_.data() + got, 30 - got);
            if (n <= 0) break;
            got += n;
        }
        if (got < 30 || le::Get32(localHeader_.data()) != zipconst::kLocalSignature)
            return fail("its local header is missing (offset " + std::to_string(h.LocalHeaderOffset) + ")");
        archive_->Seek(static_cast<Int64>(le::Get16(localHeader_.data() + 26)) + le::Get16(localHeader_.data() + 28),
                       soCurrent);
    }

    const String folder = OutputFolderFor(h, run.base);
    const String problem = OutputPathProblem(folder, h.FileName());
    if (!problem.empty()) {
        // Reported, not raised: the other entries are still extracted.
        if (h.FileName().empty() && !RecreateDirs) return;
        return fail(problem);
    }
    // A folder or file that cannot be created (a name the file system refuses, a file where a
    // folder should be) fails its own entry; a full disk still ends the run.
    auto creationFailed = [&](const Exception& e, bool diskFull) {
        if (diskFull) throw;
        fail(e.what());
    };
    auto forceFolder = [&]() {
        try {
            if (!FolderExists(folder)) ForceFolder(folder);
            return true;
        } catch (const EInOutError& e) {
            creationFailed(e, e.ErrorCode == static_cast<int>(ERROR_DISK_FULL));
        }
        return false;
    };
    if (h.FileName().empty()) {
        if (RecreateDirs) {
            if (!forceFolder()) return;
            bool skip = false;
            if (OnStartUnZip) OnStartUnZip(this, index, folder, skip);
        }
        return;
    }
    if (RecreateDirs && !forceFolder()) return;
    String outName = folder + h.FileName();

    // Reads from the archive, moving on to the next part or disk where one ends: the data,
    // and the encryption header before it, may begin on one part and go on in the next.
    auto readSpanning = [&](Byte* buffer, Integer n) {
        Integer got = 0;
        while (got < n) {
            Integer r = archive_->Read(buffer + got, n - got);
            if (r > 0) {
                got += r;
                continue;
            }
            if (!spanned || !OnGetNextDisk) throw EFatalUnzipError("Premature end of file reached");
            SwapDisk(currentDisk_ + 2);
        }
        return got;
    };

    if (h.Encrypted()) {
        // Where the header starts: a retry with another password goes back there, on that
        // disk, though reading the header may have moved on to the next one.
        const Int64 headerAt = archive_->Position();
        const Integer headerDisk = currentDisk_;
        const Byte check = zip::encryption_check_byte(h.Flags, h.CRC, h.DateTime);
        for (;;) {
            if (remaining < zipconst::kEncryptionHeaderSize) return fail("its encryption header is missing");
            if (spanned && currentDisk_ != headerDisk) SwapDisk(headerDisk + 1);
            archive_->SetPosition(headerAt);
            std::array<Byte, zip::kEncryptionHeaderSize> header{};
            readSpanning(header.data(), static_cast<Integer>(header.size()));
            if (keys_.decrypt_header(Password, header) == check) break;
            String newPassword = Password;
            if (OnBadPassword) OnBadPassword(this, index, newPassword);
            if (newPassword == Password) {
                if (OnSkippingFile) OnSkippingFile(this, TSkipReason::skBadPassword, index);
                --run.count;
                return;
            }
            Password = newPassword;
        }
        remaining -= zipconst::kEncryptionHeaderSize;
    }

    if (OverwriteMode != TUZOverwriteMode::Always && OutputFileExists(outName)) {
        bool overwrite = false;
        if (OverwriteMode == TUZOverwriteMode::Prompt) {
            if (OnPromptForOverwrite)
                OnPromptForOverwrite(this, overwrite, index, outName);
            else
                overwrite = AskOverwrite("Replace existing file " + entry->FileName() + "?");
        }
        if (!overwrite) {
            if (OnSkippingFile) OnSkippingFile(this, TSkipReason::skFileExists, index);
            --run.count;
            return;
        }
    }

    String tempName;
    std::unique_ptr<TStream> out;
    try {
        out = CreateTempOutput(folder, tempName);
    } catch (const EFCreateError& e) {
        creationFailed(e, GetLastError() == ERROR_DISK_FULL);
        return;
    }
    runningCrc_ = zip::crc32::kCrcStart;
    Int64 written = 0;
    bool skip = false;
    try {
        if (OnStartUnZip) OnStartUnZip(this, index, outName, skip);
    } catch (...) {
        out.reset();
        DiscardOutput(tempName);
        throw;
    }
    if (skip) {
        // Nothing was written: the temporary file goes and an existing file stays as it was.
        out.reset();
        DiscardOutput(tempName);
        return;
    }

    const bool encrypted = h.Encrypted();
    ArchiveSource source(remaining, [&](Byte* buffer, Integer n) {
        if (DoProcessMessages) platform::ProcessPendingMessages();
        const Integer got = readSpanning(buffer, n);
        if (encrypted) keys_.decrypt(std::span<Byte>(buffer, static_cast<size_t>(n)));
        return got;
    });
    OutputSink sink([&](std::span<const Byte> block) {
        out->WriteBuffer(block.data(), static_cast<Int64>(block.size()));
        runningCrc_ = zip::crc32::update(runningCrc_, block);
        written += static_cast<Int64>(block.size());
        bytesDone_ += static_cast<Int64>(block.size());
        if (OnFilePercentDone) OnFilePercentDone(this, CompPercentage(h.UncompressedSize, written));
        if (OnTotalPercentDone) OnTotalPercentDone(this, CompPercentage(totalBytes_, bytesDone_));
    });
    zip::DecodeStatus status;
    try {
        status = run.decoder.decode(h.Method, h.Flags, source, sink, h.UncompressedSize);
        out.reset();  // closes the file; a failed flush raises here
    } catch (...) {
        out.reset();
        DiscardOutput(tempName);
        throw;
    }

    const std::uint32_t crc = ~runningCrc_;
    if (status == zip::DecodeStatus::Ok && crc == h.CRC) {
        const LongWord attributes = KeptAttributes(h);
        try {
            CommitOutput(tempName, outName, h.DateTime, RetainAttributes ? &attributes : nullptr);
        } catch (const EFCreateError& e) {
            const bool diskFull = GetLastError() == ERROR_DISK_FULL;
            DiscardOutput(tempName);
            creationFailed(e, diskFull);
            return;
        } catch (...) {
            DiscardOutput(tempName);
            throw;
        }
        if (OnEndUnZip) OnEndUnZip(this, index, outName);
        return;
    }
    DiscardOutput(tempName);
    if (status != zip::DecodeStatus::Ok && (!encrypted || crc == h.CRC)) {
        // The decoder's own reason says what failed: a CRC of whatever it wrote before it
        // stopped (often nothing) would describe no fault of the data. Only an encrypted
        // entry whose CRC also differs goes on to the password question below: a wrong
        // password that passed the check byte makes bad data.
        return fail(zip::to_string(status));
    }
    if (encrypted) {
        String newPassword = Password;
        if (OnBadPassword) OnBadPassword(this, index, newPassword);
        if (newPassword != Password) {
            Password = newPassword;
            run.retry = true;
        } else if (OnSkippingFile) {
            OnSkippingFile(this, TSkipReason::skBadPassword, index);
        }
    } else if (OnBadCRC) {
        OnBadCRC(this, static_cast<Integer>(crc), static_cast<Integer>(h.CRC), index);
    }
    if (!run.retry) --run.count;
}
