#include "platform/FileDialogModel.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace platform {
namespace {

std::vector<String> Split(const String& text, char separator) {
    std::vector<String> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == String::npos ? String::npos : end - start));
        if (end == String::npos) return parts;
        start = end + 1;
    }
}

String Trimmed(const String& s) {
    std::size_t a = s.find_first_not_of(' ');
    if (a == String::npos) return String();
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

bool HasWildcard(const String& s) { return s.find_first_of("*?") != String::npos; }

bool HasDriveLetter(const String& s) {
    return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

}  // namespace

std::vector<FileFilter> ParseFileFilter(const String& filter) {
    std::vector<FileFilter> filters;
    std::vector<String> parts = Split(filter, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.description = parts[i];
        for (const String& p : Split(parts[i + 1], ';'))
            if (String t = Trimmed(p); !t.empty()) f.patterns.push_back(t);
        if (f.patterns.empty()) f.patterns.push_back("*");
        filters.push_back(std::move(f));
    }
    if (filters.empty()) filters.push_back(FileFilter{String(), {"*"}});
    return filters;
}

FileDialogModel::FileDialogModel(FileDialogMode mode, unsigned options)
    : mode_(mode), options_(options), filters_(ParseFileFilter(String())) {}

void FileDialogModel::SetFilter(const String& filter, Integer index) {
    filters_ = ParseFileFilter(filter);
    SetFilterIndex(index);
}

void FileDialogModel::SetFilterIndex(Integer index) {
    filterIndex_ = index >= 1 && index <= static_cast<Integer>(filters_.size()) ? index : 1;
    typedPattern_.clear();
}

String FileDialogModel::Start(const String& fileName, const String& initialDir) {
    if (!fileName.empty()) {
        if (mode_ == FileDialogMode::Folder || (fileName.back() == '\\' || fileName.back() == '/')) {
            if (SetFolder(fileName)) return String();
        } else if (String full = Resolve(fileName); !full.empty() && DirectoryExists(full)) {
            folder_ = IncludeTrailingBackslash(full);
            return String();
        }
        String full = Resolve(fileName);
        String dir = full.empty() ? String() : ExtractFilePath(full);
        if (!dir.empty() && SetFolder(dir)) return ExtractFileName(full);
    }
    if (initialDir.empty() || !SetFolder(initialDir)) SetFolder(GetCurrentDir());
    if (folder_.empty()) folder_ = "C:\\";
    return mode_ == FileDialogMode::Folder ? String() : ExtractFileName(fileName);
}

bool FileDialogModel::SetFolder(const String& path) {
    String full = Resolve(path);
    if (full.empty() || !DirectoryExists(full)) return false;
    folder_ = IncludeTrailingBackslash(full);
    return true;
}

bool FileDialogModel::Up() {
    if (folder_.size() <= 3) return false;
    folder_ = ExtractFilePath(ExcludeTrailingBackslash(folder_));
    return true;
}

std::vector<FileDialogEntry> FileDialogModel::List() const {
    std::vector<FileDialogEntry> folders, files;
    const std::vector<String>& patterns =
        typedPattern_.empty() ? filters_[static_cast<std::size_t>(filterIndex_ - 1)].patterns
                              : std::vector<String>{typedPattern_};
    TSearchRec rec;
    Integer attr = faReadOnly | faDirectory | 0x20 /* archive */ | (showHidden_ ? faHidden : 0);
    for (Integer r = FindFirst(folder_ + "*", attr, rec); r == 0; r = FindNext(rec)) {
        if (rec.Name == "." || rec.Name == "..") continue;
        FileDialogEntry e{rec.Name, (rec.Attr & faDirectory) != 0, (rec.Attr & faHidden) != 0, rec.Size, rec.Time};
        if (e.hidden && !showHidden_) continue;
        if (e.folder) {
            folders.push_back(e);
        } else if (mode_ != FileDialogMode::Folder &&
                   std::any_of(patterns.begin(), patterns.end(),
                               [&](const String& p) { return detail::WildcardMatchWindows(p, e.name); })) {
            files.push_back(e);
        }
    }
    FindClose(rec);
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

String FileDialogModel::Resolve(const String& typed) const {
    String t = Trimmed(typed);
    if (t.empty()) return String();
    String full;
    if (HasDriveLetter(t)) {
        full = t.size() == 2 ? t + "\\" : t;
    } else if (t[0] == '/') {
        full = FromPosixPath(t);
    } else if (t[0] == '~' && (t.size() == 1 || t[1] == '/' || t[1] == '\\')) {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return String();
        full = FromPosixPath(home) + "\\" + t.substr(t.size() > 1 ? 2 : 1);
    } else if (t[0] == '\\') {
        full = (folder_.size() >= 2 ? folder_.substr(0, 2) : String("C:")) + t;
    } else {
        full = (folder_.empty() ? IncludeTrailingBackslash(GetCurrentDir()) : folder_) + t;
    }
    full = ExpandFileName(full);
    if (full.size() > 3) full = ExcludeTrailingBackslash(full);
    return full;
}

FileDialogModel::Decision FileDialogModel::Confirm(const String& typed) const {
    String t = Trimmed(typed);
    if (mode_ == FileDialogMode::Folder) {
        if (t.empty()) return {Outcome::Accept, folder_.size() > 3 ? ExcludeTrailingBackslash(folder_) : folder_, String()};
        String full = Resolve(t);
        if (full.empty()) return {Outcome::PathMissing, t, t + "\nThe folder cannot be found."};
        if (DirectoryExists(full)) return {Outcome::Accept, full, String()};
        return {Outcome::AskCreateFolder, full, "The folder " + full + " does not exist.\nDo you want to create it?"};
    }
    if (t.empty()) return {};
    if (HasWildcard(t) && t.find_first_of("\\/") == String::npos) return {Outcome::ApplyPattern, t, String()};
    String full = Resolve(t);
    if (full.empty()) return {Outcome::PathMissing, t, t + "\nPath does not exist.\nCheck the path and try again."};
    if (DirectoryExists(full)) return {Outcome::EnterFolder, full, String()};
    bool trailingSeparator = t.back() == '\\' || t.back() == '/';
    String dir = ExtractFilePath(full);
    if (trailingSeparator || !DirectoryExists(dir)) {
        if (trailingSeparator || (options_ & (kFileDialogPathMustExist | kFileDialogFileMustExist)) ||
            mode_ == FileDialogMode::Save)
            return {Outcome::PathMissing, full, full + "\nPath does not exist.\nCheck the path and try again."};
    }
    // The default extension joins a name that has none, unless the name as typed exists.
    if (!defaultExt_.empty() && ExtractFileExt(full).empty() && !FileExists(full)) full += "." + defaultExt_;
    bool exists = FileExists(full);
    if (mode_ == FileDialogMode::Open && (options_ & kFileDialogFileMustExist) && !exists)
        return {Outcome::FileMissing, full, full + "\nFile not found.\nCheck the file name and try again."};
    if (mode_ == FileDialogMode::Save && (options_ & kFileDialogOverwritePrompt) && exists)
        return {Outcome::AskOverwrite, full, full + " already exists.\nDo you want to replace it?"};
    return {Outcome::Accept, full, String()};
}

}  // namespace platform
