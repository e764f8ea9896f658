#include "zip/DirSearch.h"

#include <string>

#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysErrors.h"
#include "zip/SortedZip.h"
#include "zip/WildMatch.h"

namespace {

// The folder's identity on the file system, so that a folder reached again through a
// symbolic link is recognised; a folder that cannot be identified is known by its own name.
std::string IdentityOf(const String& folder) {
    platform::FolderId id;
    if (!platform::GetFolderIdentity(ExcludeTrailingBackslash(folder), id)) return "name:" + folder;
    return std::to_string(id.device) + ":" + std::to_string(id.inode);
}

// Restores the current folder when a step ends, also when an error passes.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : saved_(GetCurrentDir()) {}
    ~CurrentFolderGuard() { SetCurrentDir(saved_); }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    String saved_;
};

}  // namespace

TSearchData::TSearchData(const String& dir, const String& pattern) : Directory(IncludeTrailingBackslash(dir)), Pattern(pattern) {
    LastResult = FindFirst(Directory + "*.*", faAnyFile, SearchRec);
    NoHandle = LastResult != 0;
    Identity = IdentityOf(Directory);
}

TSearchData::~TSearchData() {
    if (!NoHandle) FindClose(SearchRec);
}

void TSearchData::Next() { LastResult = FindNext(SearchRec); }

TDirSearch::TDirSearch(const String& startDir, const String& pattern, bool recurse)
    : pattern_(pattern), recurse_(recurse) {
    levels_.push_back(std::make_unique<TSearchData>(IncludeTrailingBackslash(startDir), pattern));
}

TDirSearch::~TDirSearch() = default;

bool TDirSearch::IsSubDir(const TSearchRec& e) { return (e.Attr & faDirectory) != 0 && (e.Name.empty() || e.Name[0] != '.'); }

bool TDirSearch::IsDir(const TSearchRec& e) { return (e.Attr & faDirectory) != 0; }

bool TDirSearch::EnteredAlready(const std::string& identity) const {
    for (const auto& level : levels_)
        if (level->Identity == identity) return true;
    return false;
}

void TDirSearch::NextFile(TSearchRec& entry, String& fullName) {
    fullName.clear();
    if (levels_.empty()) return;
    // A start folder that cannot be listed ends the walk before any change of folder.
    if (levels_.size() == 1 && levels_.front()->NoHandle) {
        levels_.clear();
        return;
    }
    CurrentFolderGuard guard;
    LibChDir(levels_.back()->Directory);
    for (;;) {
        TSearchData* level = levels_.back().get();
        if (level->LastResult != 0) {
            levels_.pop_back();
            if (levels_.empty()) return;
            LibChDir(levels_.back()->Directory);
            levels_.back()->Next();  // the subfolder it had entered is done
            continue;
        }
        const TSearchRec& rec = level->SearchRec;
        if (IsDir(rec)) {
            if (recurse_ && IsSubDir(rec)) {
                String sub = level->Directory + rec.Name + "\\";
                if (!EnteredAlready(IdentityOf(sub))) {
                    LibChDir(sub);
                    levels_.push_back(std::make_unique<TSearchData>(GetCurrentDir(), pattern_));
                    continue;
                }
            }
            level->Next();
            continue;
        }
        // Names without an extension are tested with a trailing "." so that "*.*" takes them.
        String name = rec.Name;
        bool dotted = ExtractFileExt(name).empty();
        if (IsWildMatch(pattern_, dotted ? name + "." : name)) {
            entry = rec;
            fullName = level->Directory + name;
            level->Next();
            return;
        }
        level->Next();
    }
}

TDateTime GetFileDateTime(const String& fileName) {
    Integer age = FileAge(fileName);
    TDateTime value = 0;
    if (age == -1 || !DosDateTimeToDateTime(static_cast<LongWord>(age), value)) return 0;
    return value;
}

void LibForceDirectories(const String& dir) {
    if (!ForceDirectories(ExcludeTrailingBackslash(dir)))
        throw EInOutError("Unable to create directory " + dir, static_cast<int>(GetLastError()));
}

bool LibFileExists(const String& name) { return FileExists(name); }
bool LibDirExists(const String& name) { return DirectoryExists(ExcludeTrailingBackslash(name)); }

String LibGetDir(Byte drive) {
    String dir;
    GetDir(drive, dir);
    return dir;
}

void LibChDir(const String& dir) {
    String d = dir;
    if (d.size() > 3 && d.back() == '\\') d.pop_back();
    ChDir(d);
}

void LibCopyFile(const String& source, const String& target) {
    try {
        TFileStream in(source, fmOpenRead | fmShareDenyWrite);
        TFileStream out(target, fmCreate);
        Byte block[2048];
        for (;;) {
            Integer got = in.Read(block, sizeof block);
            if (got < 0) throw EInOutError("Read error on " + source, static_cast<int>(GetLastError()));
            if (got == 0) break;
            if (out.Write(block, got) != got)
                throw EInOutError("Write error on " + target, static_cast<int>(GetLastError()));
        }
    } catch (const EStreamError& e) {
        throw EInOutError(e.Message(), static_cast<int>(GetLastError()));
    }
}

bool SetVolumeLabelName(const String& driveRoot, const String& label) {
    return SetVolumeLabelA(driveRoot.c_str(), label.c_str()) != 0;
}

String GetVolumeLabelName(const String& driveRoot) {
    char label[14] = {};
    if (!GetVolumeInformationA(driveRoot.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return String();
    return label;
}
