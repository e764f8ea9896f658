// Adding one file to the archive the update cycle writes: the entry's header, the duplicate
// test, the local header, the optional encryption header, deflate, and the local header
// written again with the final CRC and sizes (no data descriptor is ever needed).
#include <algorithm>

#include "platform/Clock.h"
#include "platform/FileStream.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "zip/Crc32.h"
#include "zip/ZipConstants.h"
#include "zip/ZipCycle.h"
#include "zip/ZipLib.h"

namespace {

// Points the component's directory and view at another list while an event handler runs,
// and back afterwards, whatever the handler does.
class BorrowedDirectory {
public:
    BorrowedDirectory(std::unique_ptr<TSortedZip>& directory, TSortedZip*& view, TSortedZip* borrowed)
        : directory_(directory), view_(view), savedView_(view), saved_(std::move(directory)) {
        directory_.reset(borrowed);
        view_ = borrowed;
    }
    ~BorrowedDirectory() {
        (void)directory_.release();
        directory_ = std::move(saved_);
        view_ = savedView_;
    }

private:
    std::unique_ptr<TSortedZip>& directory_;
    TSortedZip*& view_;
    TSortedZip* savedView_;
    std::unique_ptr<TSortedZip> saved_;
};

}  // namespace

void TZipper::WriteBuffer(const Byte* data, size_t size) {
    Cycle& c = *cycle_;
    if (c.encrypting) {
        c.scratch.assign(data, data + size);
        c.keys.encrypt(c.scratch);
        data = c.scratch.data();
    }
    if (c.member)
        c.member->Stream().WriteBuffer(data, static_cast<Int64>(size));
    else
        c.output->Write(data, size);
    if (DoProcessMessages) platform::ProcessPendingMessages();
}

bool TZipper::ZipOneFile(const String& fileName) {
    Cycle& c = *cycle_;
    c.percentBytes = 0;
    if (!FileExists(fileName)) return false;
    const Integer attributes = FileGetAttr(fileName);
    try {
        c.source = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyNone);
    } catch (const Exception&) {
        return false;
    }
    auto closeAll = [&] {
        c.source.reset();
        c.member.reset();
        c.encrypting = false;
    };
    try {
        auto header = std::make_unique<TZipWriteEntry>();
        auto* file = static_cast<TFileStream*>(c.source.get());
        c.sourceSize = c.source->Size();
        if (c.sourceSize > zipwrite::kMaxFileSize)
            throw EZipWriteError("The file \"" + fileName +
                                 "\" is 4 GiB or larger, which needs Zip64; this engine does not write Zip64");
        header->ExternalAttributes = static_cast<LongWord>(attributes < 0 ? faArchive : attributes);
        header->DateTime = static_cast<LongWord>(FileGetDate(file->Handle()));
        header->UncompressedSize = static_cast<LongWord>(c.sourceSize);
        header->SetFileName(ExtractFileName(fileName));
        header->SetDirectory(StoredFolderOfNewEntry(fileName));
        header->InternalAttributes = 2;
        header->DiskNumberStart = static_cast<Word>(c.output->Disk());
        header->Flags = static_cast<Word>(header->Flags | zip::Deflater::flagBitsForLevel(c.deflater->level()));

        auto isDuplicate = [&] {
            Integer at = 0;
            if (!c.newNames->Search(header.get(), at)) return false;
            if (OnSkippingFile) {
                BorrowedDirectory borrow(directory_, view_, c.newNames.get());
                OnSkippingFile(this, TSkipReason::skFileExists, at);
            }
            return true;
        };
        if (isDuplicate()) {
            totalBytes_ -= c.sourceSize;
            closeAll();
            return false;
        }
        String name = header->NameBytes();
        if (c.output->MultiPart()) {
            if (header->LocalRecordSize(name) >= c.output->RoomLeft()) {
                c.output->NextDisk();
                if (header->LocalRecordSize(name) >= c.output->RoomLeft())
                    throw EZipWriteError("A part cannot hold the local header of \"" + fileName + "\"");
                header->DiskNumberStart = static_cast<Word>(c.output->Disk());
            }
            c.member = std::make_unique<zipwrite::MemberTemp>();
        }
        bool skip = false;
        if (OnStartZip) OnStartZip(this, fileName, *header, skip);
        // The handler may have renamed the entry onto another one.
        if (!skip && OnStartZip && isDuplicate()) skip = true;
        if (skip) {
            totalBytes_ -= c.sourceSize;
            closeAll();
            return false;
        }
        header->MarkHostForName();
        name = header->NameBytes();
        CheckEntryCount();

        header->LocalHeaderOffset = static_cast<LongWord>(c.output->Position());
        const Int64 headerAt = c.output->Position();
        c.output->Write(header->LocalHeaderImage(name));
        header->StoredNameBytes = name;
        header->NameAtRead = header->FullName();

        const bool encrypt = !Password.empty();
        std::uint32_t precomputed = 0;
        if (encrypt) {
            // The last two bytes of the encryption header carry the CRC, so it comes first.
            std::uint32_t crc = zip::crc32::kCrcStart;
            std::vector<Byte> block(64001);
            for (;;) {
                Integer n = c.source->Read(block.data(), static_cast<Integer>(block.size()));
                if (n <= 0) break;
                crc = zip::crc32::update(crc, block.data(), static_cast<size_t>(n));
            }
            c.source->SetPosition(0);
            precomputed = ~crc;
            std::array<Byte, zipconst::kEncryptionHeaderSize - 1> random{};
            for (int i = 0; i < 10; ++i) random[i] = static_cast<Byte>(platform::RandomUInt32() >> 7);
            random[10] = static_cast<Byte>(precomputed >> 16);
            auto encrypted = c.keys.encrypt_header(Password, random, static_cast<Byte>(precomputed >> 24));
            if (c.member)
                c.member->Stream().WriteBuffer(encrypted.data(), static_cast<Int64>(encrypted.size()));
            else
                c.output->Write(encrypted.data(), encrypted.size());
            c.encrypting = true;
        }

        runningCrc_ = zip::crc32::kCrcStart;
        c.bytesRead = 0;
        auto sourceBlock = [&](std::uint8_t* buffer, std::size_t count) -> std::size_t {
            Integer n = c.source->Read(buffer, static_cast<Integer>(std::min<std::size_t>(count, 65535)));
            if (n <= 0) return 0;
            c.bytesRead += n;
            if (OnFilePercentDone) {
                c.percentBytes += n;
                OnFilePercentDone(this, c.sourceSize == 0 ? 0
                                                          : static_cast<Integer>(std::min<Int64>(
                                                                100, (c.percentBytes * 100 + c.sourceSize / 2) / c.sourceSize)));
            }
            if (OnTotalPercentDone) {
                bytesDone_ += n;
                OnTotalPercentDone(this, CompPercentage(totalBytes_, bytesDone_));
            }
            runningCrc_ = zip::crc32::update(runningCrc_, buffer, static_cast<size_t>(n));
            return static_cast<std::size_t>(n);
        };
        auto sink = [&](const std::uint8_t* data, std::size_t size) { WriteBuffer(data, size); };
        const zip::DeflateResult result = c.deflater->compress(sourceBlock, sink, fileName);
        c.encrypting = false;

        const std::uint32_t crc = ~runningCrc_;
        // A file that changed while it was read would get a header that lies about its data.
        if (c.bytesRead != c.sourceSize || (encrypt && crc != precomputed))
            throw EZipWriteError("The file \"" + fileName + "\" changed while it was being added");
        Int64 compressed = static_cast<Int64>(result.compressedSize) + (encrypt ? zipconst::kEncryptionHeaderSize : 0);
        if (compressed > zipwrite::kMaxOffset)
            throw EZipWriteError("The compressed data of \"" + fileName + "\" would pass 4 GiB");
        header->CRC = crc;
        header->Method = result.method;
        header->InternalAttributes = result.internalAttributes;
        header->CompressedSize = static_cast<LongWord>(compressed);
        if (encrypt) header->Flags |= zipconst::kFlagEncrypted;
        c.output->PatchAt(headerAt, header->LocalHeaderImage(name));
        if (c.member) {
            c.member->Stream().SetPosition(0);
            c.output->WriteAcrossParts(c.member->Stream(), compressed);
        }
        closeAll();
        TZipWriteEntry* recorded = header.release();
        RecordEntry(recorded);
        if (OnEndZip)
            OnEndZip(this, fileName, recorded->UncompressedSize, recorded->CompressedSize, c.output->Position());
        return true;
    } catch (...) {
        closeAll();
        throw;
    }
}
