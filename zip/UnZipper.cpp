#include "zip/UnZipper.h"

#include <cstdio>

#include "platform/SysUtils.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/FileDialogForm.h"
#include "platform/Windows.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysErrors.h"
#include "zip/BufferStream.h"
#include "zip/DirSearch.h"
#include "zip/ZipConstants.h"

TUnZipper::TUnZipper(TComponent*) {}

TUnZipper::~TUnZipper() { ClearZipNow(); }

void TUnZipper::RequireIdle(const char* what) const {
    if (busy_) throw EZipBusy(String("Cannot ") + what + " while the archive is busy with another operation");
}

// ---- properties ----

void TUnZipper::SetZipName(const String& name) {
    if (UpperCase(name) == UpperCase(zipName_)) return;
    RequireIdle("change the archive name");
    String chosen = name;
    if (!name.empty() && name.back() == '?') {
        // The open-file dialog, starting in the given folder when it exists.
        String folder = ExtractFilePath(name.substr(0, name.size() - 1));
        platform::DialogRequest request;
        request.kind = platform::DialogKind::OpenDialog;
        request.className = "TOpenDialog";
        request.caption = "Open a Zip File";
        request.text = "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|All Files (*.*)|*.*";
        request.value = !folder.empty() && DirectoryExists(ExcludeTrailingBackslash(folder)) ? folder : String("C:\\");
        platform::FileDialogSetup setup;
        if (platform::ShowFileDialog(request, setup) != IDOK || request.value.empty())
            throw EUserCanceled("User canceled setting zip file name.");
        chosen = request.value;
    }
    zipName_ = chosen;
    FreeDirectory();
    archiveDate_ = 0;
    endCentral_.Clear();
    archive_.reset();
    rebuilt_ = false;
}

void TUnZipper::SetDestDir(const String& dir) {
    if (dir == "?") {
        // The folder-selection dialog (the user may type and create a new folder).
        platform::DialogRequest request;
        request.kind = platform::DialogKind::Other;
        request.className = "TSelectDirectory";
        request.value = !destDir_.empty() && DirectoryExists(destDir_) ? destDir_ : GetCurrentDir();
        platform::FileDialogSetup setup;
        setup.mode = platform::FileDialogMode::Folder;
        if (platform::ShowFileDialog(request, setup) != IDOK || request.value.empty())
            throw EUserCanceled("User canceled Set Desination Directory");
        destDir_ = request.value;
    } else {
        destDir_ = dir;
    }
    if (!destDir_.empty() && destDir_.back() == '\\') destDir_.pop_back();
}

void TUnZipper::SetRootDir(const String& dir) {
    rootDir_ = dir;
    if (!rootDir_.empty() && rootDir_.back() != '\\') rootDir_ += '\\';
}

Integer TUnZipper::Count() const { return directory_ ? directory_->Count() : 0; }

TZipHeaderInfo* TUnZipper::ViewEntry(Integer index) const {
    if (index < 0 || index >= Count() || view_ == nullptr || index >= view_->Count()) {
        char text[64];
        std::snprintf(text, sizeof text, "Index %d is out of range", index);
        throw EListError(text);
    }
    return view_->Header(index);
}

const TZipHeaderInfo& TUnZipper::Entry(Integer index) const { return *ViewEntry(index); }
String TUnZipper::Filename(Integer index) const { return ViewEntry(index)->FileName(); }
String TUnZipper::Pathname(Integer index) const { return ViewEntry(index)->Directory(); }
String TUnZipper::FullName(Integer index) const { return ViewEntry(index)->FullName(); }
LongWord TUnZipper::UnCompressedSize(Integer index) const { return ViewEntry(index)->UncompressedSize; }

TDateTime TUnZipper::DateTime(Integer index) const {
    TDateTime value = 0;
    if (DosDateTimeToDateTime(ViewEntry(index)->DateTime, value)) return value;
    // Not a valid DOS date: the current time stands in for it.
    return Now();
}

// ---- comments ----

String TUnZipper::LoadFileComment(TZipHeaderInfo& entry, bool openAndClose) {
    if (entry.CommentLength == 0) return String();
    if (entry.CommentLoaded()) return *entry.Comment();
    bool modified = endCentral_.Modified;
    String text;
    if (openAndClose) OpenZipNow();
    try {
        TStream& s = *archive_;
        Int64 back = s.Position();
        s.SetPosition(entry.CentralRecordPosition);
        Byte r[zipconst::kCentralSize];
        s.ReadBuffer(r, sizeof r);
        if (le::Get32(r) != zipconst::kCentralSignature)
            throw EFatalUnzipError("The central record of \"" + entry.FullName() + "\" cannot be read");
        s.Seek(static_cast<Int64>(le::Get16(r + 28)) + le::Get16(r + 30), soCurrent);
        text.resize(entry.CommentLength);
        s.ReadBuffer(text.data(), entry.CommentLength);
        s.SetPosition(back);
    } catch (const EReadError&) {
        if (openAndClose) CloseZipNow();
        throw EFatalUnzipError("The comment of \"" + entry.FullName() + "\" runs past the end of the archive");
    } catch (...) {
        if (openAndClose) CloseZipNow();
        throw;
    }
    if (openAndClose) CloseZipNow();
    entry.SetFileComment(text);
    endCentral_.Modified = modified;
    return entry.Comment().value_or(String());
}

String TUnZipper::FileComment(Integer index) {
    TZipHeaderInfo* entry = ViewEntry(index);
    if (entry->CommentLength == 0 || entry->CommentLoaded()) return LoadFileComment(*entry);
    BusyScope busy(*this, "read an entry comment");
    return LoadFileComment(*entry);
}

void TUnZipper::SetFileComment(Integer index, const String& text) {
    TZipHeaderInfo* entry = ViewEntry(index);
    String current = entry->Comment().value_or(String());
    // An absent comment equals an empty one.
    if (text == current) return;
    entry->SetFileComment(text.empty() ? std::nullopt : std::optional<String>(text));
    endCentral_.Modified = true;
}

String TUnZipper::LoadZipComment(bool openAndClose) {
    if (endCentral_.CommentLength == 0) return String();
    if (endCentral_.Comment()) return *endCentral_.Comment();
    bool modified = endCentral_.Modified;
    String text(endCentral_.CommentLength, '\0');
    if (openAndClose) OpenZipNow();
    try {
        Int64 back = archive_->Position();
        archive_->SetPosition(endCentral_.CommentPosition);
        archive_->ReadBuffer(text.data(), endCentral_.CommentLength);
        archive_->SetPosition(back);
    } catch (const EReadError&) {
        if (openAndClose) CloseZipNow();
        throw EFatalUnzipError("The archive comment runs past the end of the archive");
    } catch (...) {
        if (openAndClose) CloseZipNow();
        throw;
    }
    if (openAndClose) CloseZipNow();
    endCentral_.SetComment(text);
    endCentral_.Modified = modified;
    return endCentral_.Comment().value_or(String());
}

String TUnZipper::ZipComment() {
    if (endCentral_.CommentLength == 0 || endCentral_.Comment()) return LoadZipComment();
    BusyScope busy(*this, "read the archive comment");
    return LoadZipComment();
}

void TUnZipper::SetZipComment(const String& text) {
    String current = endCentral_.Comment().value_or(String());
    if (text == current) return;
    endCentral_.SetComment(text.empty() ? std::nullopt : std::optional<String>(text));
    endCentral_.Modified = true;
}

LongWord TUnZipper::ZipSize() {
    if (zipName_.empty()) return 0;
    BusyScope busy(*this, "read the archive size");
    OpenZipNow();
    Int64 size = 0;
    try {
        size = archive_->Size();
    } catch (...) {
        CloseZipNow();
        throw;
    }
    CloseZipNow();
    return static_cast<LongWord>(size);
}

// ---- opening and closing ----

void TUnZipper::OpenZip() {
    BusyScope busy(*this, "open the archive");
    OpenZipNow();
}

void TUnZipper::CloseZip() {
    RequireIdle("close the archive");
    CloseZipNow();
}

void TUnZipper::OpenZipNow() {
    if (!archive_) archive_ = OpenArchiveFile(zipName_, zipconst::kModeReadDenyWrite);
    if (directory_ && FileStreamDate(*archive_) == archiveDate_) return;
    ReadZipDirectory();
}

void TUnZipper::CloseZipNow() {
    if (!KeepZipOpen) archive_.reset();
}

void TUnZipper::ReadZip() {
    BusyScope busy(*this, "read the archive");
    OpenZipNow();
    CloseZipNow();
}

void TUnZipper::ClearZip() {
    RequireIdle("close the archive");
    ClearZipNow();
}

void TUnZipper::ClearZipNow() {
    archive_.reset();  // whatever KeepZipOpen says
    FreeDirectory();
    endCentral_.Clear();
    rebuilt_ = false;
    archiveDate_ = 0;
    NumDisks = 1;
    SetMultiMode(TMultiMode::mmNone);
    zipName_.clear();
}

void TUnZipper::FreeDirectory() {
    if (view_ != directory_.get()) delete view_;
    view_ = nullptr;
    directory_.reset();
}

// ---- the seams on the layer's file functions ----

std::unique_ptr<TStream> TUnZipper::OpenArchiveFile(const String& name, Word mode) {
    return std::make_unique<TLFNFileStream>(name, mode);
}

TDateTime TUnZipper::FileStreamDate(TStream& stream) {
    auto* file = dynamic_cast<TLFNFileStream*>(&stream);
    if (file == nullptr) return 0;
    Integer age = FileGetDate(file->FileHandle());
    TDateTime value = 0;
    if (age == -1 || !DosDateTimeToDateTime(static_cast<LongWord>(age), value)) return 0;
    return value;
}

bool TUnZipper::ArchiveFileExists(const String& name) { return FileExists(name); }

bool TUnZipper::IsRemovableDrive(const String& root) { return GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE; }

String TUnZipper::VolumeLabel(const String& root) { return GetVolumeLabelName(root); }

bool TUnZipper::AskOverwrite(const String& question) {
    return MessageBoxA(nullptr, question.c_str(), "File Exists Alert", MB_YESNO) == IDYES;
}

bool TUnZipper::FolderExists(const String& folder) { return DirectoryExists(ExcludeTrailingBackslash(folder)); }

void TUnZipper::ForceFolder(const String& folder) {
    String dir = ExcludeTrailingBackslash(folder);
    if (!ForceDirectories(dir)) throw EInOutError("Unable to create directory " + dir, static_cast<int>(GetLastError()));
}

bool TUnZipper::OutputFileExists(const String& name) { return FileExistsExactName(name); }

namespace {

// A stream that owns the handle it was given.
class OwnedHandleStream final : public THandleStream {
public:
    explicit OwnedHandleStream(THandle handle) : THandleStream(handle) {}
    ~OwnedHandleStream() override { FileClose(handle_); }
    OwnedHandleStream(const OwnedHandleStream&) = delete;
    OwnedHandleStream& operator=(const OwnedHandleStream&) = delete;
};

}  // namespace

std::unique_ptr<TStream> TUnZipper::CreateTempOutput(const String& folder, String& tempName) {
    // One open that creates a new file under a name nobody uses yet, returning its stream:
    // when it fails nothing was created, and the name kept is the whole name, so the file
    // can always be removed again.
    String dir = ExcludeTrailingBackslash(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "unz%X.TMP", (platform::RandomUInt32() & 0xFFFF) | 1);
        String candidate = dir + "\\" + name;
        if (FileExists(candidate) || DirectoryExists(candidate)) continue;
        THandle handle = FileCreate(candidate);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            throw EFCreateError("Cannot create a temporary file in \"" + folder + "\". " + SysErrorMessage(error));
        }
        tempName = candidate;
        try {
            return std::make_unique<OwnedHandleStream>(handle);
        } catch (...) {
            FileClose(handle);
            DeleteFile(candidate);
            throw;
        }
    }
    throw EFCreateError("Cannot create a temporary file in \"" + folder + "\". " + SysErrorMessage(ERROR_FILE_EXISTS));
}

void TUnZipper::CommitOutput(const String& tempName, const String& name, LongWord dosDateTime,
                             const LongWord* attributes) {
    // The date is set while the file is still writable; read-only comes last.
    FileSetDate(tempName, static_cast<Integer>(dosDateTime));
    // By exact name: entries whose names differ only in case are two files here, as unzip
    // writes them, and never one file holding the last one's bytes.
    if (!MoveFileExactName(tempName, name))
        throw EFCreateError("Cannot create file \"" + name + "\". " + SysErrorMessage(GetLastError()));
    if (attributes != nullptr) {
        Integer keep = static_cast<Integer>(*attributes) & (faReadOnly | faHidden | faSysFile | faArchive);
        // Unix read and execute bits (high word) first: the read-only bit then takes the write bits.
        if ((*attributes >> 16) != 0) FileSetReadExecuteBits(name, static_cast<Integer>(*attributes >> 16));
        FileSetAttr(name, keep);
    }
}

void TUnZipper::DiscardOutput(const String& tempName) {
    if (!tempName.empty()) DeleteFile(tempName);
}

String TUnZipper::CurrentFolder() { return GetCurrentDir(); }

void TUnZipper::SetCurrentFolder(const String& folder) { ChDir(folder); }
