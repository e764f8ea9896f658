// TUnZipper: the component that opens one zip archive, lists its entries, reads and changes
// the archive and entry comments, and extracts entries to disk.
//
// It owns the directory list (every entry, in physical order), the sorted view through which
// the indexed properties address entries, the end record and the open archive stream. It is
// the base of the writing component, which reuses the protected members below. Events are
// fired only when assigned, with the component as sender; answers come back through
// reference parameters. While Busy, every call that would touch the archive is refused with
// EZipBusy: handlers and timers run inside long operations and must not move the stream.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Object.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "zip/Crc32.h"
#include "zip/SortedZip.h"
#include "zip/ZipCrypt.h"
#include "zip/ZipErrors.h"
#include "zip/ZipRecords.h"

class TComponent;

enum class TUZOverwriteMode : Byte { Prompt, Always, Never };
enum class TIncompleteZipMode : Byte { izAssumeMulti, izAssumeBad };
enum class TMultiMode : Byte { mmNone, mmSpan, mmBlocks };
enum class TSkipReason : Byte { skBadPassword = 0, skFileExists = 1 };

class TUnZipper;

using TStartUnzipInfo = std::function<void(TObject* Sender, Integer NumFiles, Int64 TotalBytes, bool& StopNow)>;
using TStartUnZipEvent = std::function<void(TObject* Sender, Integer FileIndex, const String& FName, bool& Skip)>;
using TEndUnZipEvent = std::function<void(TObject* Sender, Integer FileIndex, const String& FName)>;
using TPromptForOverwrite =
    std::function<void(TObject* Sender, bool& OverWriteIt, Integer FileIndex, String& FName)>;
using TBadPassword = std::function<void(TObject* Sender, Integer FileIndex, String& NewPassword)>;
using TBadCRC = std::function<void(TObject* Sender, Integer CalcCRC, Integer StoredCRC, Integer FileIndex)>;
using TIncompleteZip = std::function<void(TObject* Sender, TIncompleteZipMode& IncompleteMode)>;
using TFilePercentDone = std::function<void(TObject* Sender, Integer Percent)>;
using TTotalPercentDone = std::function<void(TObject* Sender, Integer Percent)>;
using TSkippingFile = std::function<void(TObject* Sender, TSkipReason Reason, Integer FileIndex)>;
using TGetNextDisk = std::function<void(TObject* Sender, Integer NextDisk, String& FName)>;

class TUnZipper : public TObject {
public:
    explicit TUnZipper(TComponent* owner = nullptr);
    ~TUnZipper() override;
    const char* ClassName() const noexcept override { return "TUnZipper"; }
    TUnZipper(const TUnZipper&) = delete;
    TUnZipper& operator=(const TUnZipper&) = delete;

    // ---- published properties ----
    Integer ThisVersion() const { return thisVersion_; }
    void SetThisVersion(Integer) { thisVersion_ = 203; }
    const String& ZipName() const { return zipName_; }
    virtual void SetZipName(const String& name);
    const String& DestDir() const { return destDir_; }
    void SetDestDir(const String& dir);
    const String& RootDir() const { return rootDir_; }
    void SetRootDir(const String& dir);
    TZipSortMode SortMode = TZipSortMode::ByNone;
    bool RecreateDirs = false;
    TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
    // Name patterns that select entries for extraction (owned).
    TStringList FilesList;
    void SetFilesList(TStrings& lines) { FilesList.Assign(&lines); }
    bool DoAll = false;
    TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    bool KeepZipOpen = false;
    bool DoProcessMessages = true;
    bool RetainAttributes = true;

    TStartUnzipInfo OnStartUnZipInfo;
    TStartUnZipEvent OnStartUnZip;
    TEndUnZipEvent OnEndUnZip;
    TPromptForOverwrite OnPromptForOverwrite;
    TBadPassword OnBadPassword;
    TBadCRC OnBadCRC;
    TIncompleteZip OnInCompleteZip;
    TFilePercentDone OnFilePercentDone;
    TTotalPercentDone OnTotalPercentDone;
    TSkippingFile OnSkippingFile;
    TGetNextDisk OnGetNextDisk;

    // ---- public properties ----
    String Password;
    Integer NumDisks = 1;
    bool Busy() const { return busy_; }
    virtual bool CheckDiskLabels() const { return checkDiskLabels_; }
    virtual void SetCheckDiskLabels(bool value) { checkDiskLabels_ = value; }
    virtual TMultiMode MultiMode() const { return multiMode_; }
    virtual void SetMultiMode(TMultiMode value) { multiMode_ = value; }

    Integer Count() const;
    String Filename(Integer index) const;
    String Pathname(Integer index) const;
    String FullName(Integer index) const;
    TDateTime DateTime(Integer index) const;
    LongWord UnCompressedSize(Integer index) const;
    // The entry as listed (read only), for tools that show methods, sizes and CRCs.
    const TZipHeaderInfo& Entry(Integer index) const;
    String FileComment(Integer index);
    void SetFileComment(Integer index, const String& text);
    String ZipComment();
    void SetZipComment(const String& text);
    LongWord ZipSize();

    // ---- operations ----
    Integer UnZip();
    void OpenZip();
    void CloseZip();
    void ReadZip();
    void ClearZip();
    void Sort(TZipSortMode mode);

protected:
    // Seams to the file layer; the writer and the tests go through them too.
    virtual std::unique_ptr<TStream> OpenArchiveFile(const String& name, Word mode);
    virtual TDateTime FileStreamDate(TStream& stream);
    virtual bool ArchiveFileExists(const String& name);
    virtual bool IsRemovableDrive(const String& root);
    virtual String VolumeLabel(const String& root);
    // The question shown when an output file exists and no handler answers it.
    virtual bool AskOverwrite(const String& question);
    // Output side of extraction. Data goes to a temporary file in the destination folder;
    // only a file whose CRC matched is renamed over the output name.
    virtual bool FolderExists(const String& folder);
    virtual void ForceFolder(const String& folder);
    virtual bool OutputFileExists(const String& name);
    virtual std::unique_ptr<TStream> CreateTempOutput(const String& folder, String& tempName);
    // Gives the finished temporary file its DOS date and attributes and renames it over name.
    // The attributes hold the DOS bits in the low byte and, for files made on Unix, the file
    // type and the read and execute bits to give it in the high word (0 when none).
    virtual void CommitOutput(const String& tempName, const String& name, LongWord dosDateTime,
                              const LongWord* attributes);
    virtual void DiscardOutput(const String& tempName);
    // The layer's current folder (no process-wide change of directory happens).
    virtual String CurrentFolder();
    virtual void SetCurrentFolder(const String& folder);

    void RequireIdle(const char* what) const;
    // OpenZip and CloseZip without the busy check, for the operations that run while Busy.
    virtual void OpenZipNow();
    void CloseZipNow();
    // Sort without the busy check, for the operations that run while Busy.
    void SortView(TZipSortMode mode);
    TZipHeaderInfo* ViewEntry(Integer index) const;
    // The directory side (used by the writer's update cycle too).
    void ReadZipDirectory();
    void FreeDirectory();
    TStream* SwapDisk(Integer disk);
    void NextDiskForCentral(TZipHeaderInfo& header, TStream*& stream);
    bool RebuildFromLocalHeaders();
    // The central records from the stream's position; relocated is where the directory was
    // found when its stated offset missed it, else -1.
    void ReadCentralDirectory(Int64 relocated);
    void MatchCentralToRebuilt(long long promised);
    Integer LocalHeadersAt(Int64 shift);
    void CheckForOverlaps();
    bool DiskLabelMatches(Integer disk);
    void ClearZipNow();
    // With openAndClose false the archive stream must be open and stays where it was.
    String LoadFileComment(TZipHeaderInfo& entry, bool openAndClose = true);
    String LoadZipComment(bool openAndClose = true);
    void SetBusy(bool value) { busy_ = value; }
    // Holds Busy for one call that reads the archive: the message loop may run inside it
    // (the rebuild, the disk requests), and a handler that called back in would move or
    // free the stream the call is reading.
    class BusyScope {
    public:
        BusyScope(TUnZipper& owner, const char* what) : owner_(owner) {
            owner.RequireIdle(what);
            owner.busy_ = true;
        }
        ~BusyScope() { owner_.busy_ = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TUnZipper& owner_;
    };

    // CRC-32 and the traditional encryption, shared with the writer. The running CRC and the
    // keys are the component's own.
    static LongWord UpdCRC(Byte b, LongWord crc) { return zip::crc32::update_byte(crc, b); }
    void UpdateCRC(const Byte* buffer, Word length) { runningCrc_ = zip::crc32::update(runningCrc_, buffer, length); }
    void InitKeys(const String& password) { keys_.init(password); }
    void UpdateKeys(Byte plain) { keys_.update(plain); }
    Byte DecryptByte() const { return keys_.stream_byte(); }
    void DecryptBuffer(Byte* buffer, Word length) { keys_.decrypt(std::span<Byte>(buffer, length)); }
    // Reads the 12-byte encryption header at the stream's position, sets the keys from the
    // password and returns the header's last byte, decrypted.
    Byte DecryptHeader(const String& password, TStream& stream);

    // The extraction run.
    struct ExtractRun;
    Integer ExtractRunAll();
    void ExtractEntry(ExtractRun& run, Integer index);
    // The folder an entry goes to, always inside base: stored paths never lead outside it.
    String OutputFolderFor(const TZipHeaderInfo& entry, const String& base) const;
    // Why an entry cannot be extracted by this engine; empty when it can.
    static String UnsupportedReason(const TZipHeaderInfo& entry);

    String zipName_;
    String destDir_;
    String rootDir_;
    Integer thisVersion_ = 203;
    bool busy_ = false;
    bool checkDiskLabels_ = true;
    TMultiMode multiMode_ = TMultiMode::mmNone;
    TZipHeaderInfo workHeader_;
    std::unique_ptr<TSortedZip> directory_;
    TSortedZip* view_ = nullptr;  // the directory itself when SortMode is ByNone
    TDateTime archiveDate_ = 0;
    bool rebuilt_ = false;
    Integer currentDisk_ = 0;
    std::unique_ptr<TStream> archive_;
    std::array<Byte, 30> localHeader_{};
    TEndCentral endCentral_;
    Int64 totalBytes_ = 0;
    Int64 bytesDone_ = 0;
    std::uint32_t runningCrc_ = 0xFFFFFFFF;
    zip::ZipKeys keys_;
};

// An unzipper whose extraction writes nothing: every entry is decoded and its CRC checked,
// and the bytes are dropped. Testing an archive, and feeding one malformed input after
// another, both want this.
class TDiscardingUnZipper : public TUnZipper {
public:
    using TUnZipper::TUnZipper;

protected:
    bool FolderExists(const String&) override { return true; }
    void ForceFolder(const String&) override {}
    bool OutputFileExists(const String&) override { return false; }
    std::unique_ptr<TStream> CreateTempOutput(const String&, String& tempName) override {
        struct Null : TStream {
            Integer Read(void*, Integer) override { return 0; }
            Integer Write(const void*, Integer count) override { return count; }
            Int64 Seek(Int64, TSeekOrigin) override { return 0; }
        };
        tempName = "(test)";
        return std::make_unique<Null>();
    }
    void CommitOutput(const String&, const String&, LongWord, const LongWord*) override {}
    void DiscardOutput(const String&) override {}
    String CurrentFolder() override { return "C:\\"; }
    void SetCurrentFolder(const String&) override {}
};
