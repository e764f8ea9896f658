#include "plugin/ZipArchive.h"

#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "zip/Zipper.h"

namespace qel {
namespace {

// Restores StorePaths and StoreVolumes after the readme step, also when it fails.
struct PathsScope {
    TZipper& z;
    ~PathsScope() {
        z.SetStorePaths(true);
        z.SetStoreVolumes(true);
    }
};

// A new folder inside folder for one extraction, removed with what is left in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const String& folder) {
        for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
            String candidate = IncludeTrailingBackslash(folder) + ".QelRestore-" +
                               IntToHex(static_cast<Int64>(platform::RandomUInt32()), 8);
            if (CreateDir(candidate)) path_ = candidate;
        }
        if (path_.empty()) throw Exception("Cannot create a temporary folder in " + folder);
    }
    ~ScratchFolder() {
        TSearchRec f;
        if (FindFirst(path_ + "\\*", faAnyFile, f) == 0) {
            do {
                if (f.Name != "." && f.Name != "..") DeleteFile(path_ + "\\" + f.Name);
            } while (FindNext(f) == 0);
            FindClose(f);
        }
        RemoveDir(path_);
    }
    const String& Path() const { return path_; }

private:
    String path_;
};

// The file list takes a line holding "*", "?", "[" or "]" as a pattern, and "a[1].txt" would
// then reach "a1.txt": the name part of such a line goes in with each "*", "?" and "[" as a
// set of that one character ("[*]"), which matches only itself. The walk tests a name without
// extension as "name.", so such a pattern ends in "." too.
String LiteralLine(const String& file) {
    if (file.find_first_of("*?[]") == String::npos) return file;
    String name = NamePart(file);
    String escaped;
    for (char c : name) escaped += c == '[' || c == '*' || c == '?' ? "[" + String(1, c) + "]" : String(1, c);
    if (name.find('.') == String::npos) escaped += '.';
    return FolderPart(file) + escaped;
}

class TZipArchive final : public TBackupArchive {
public:
    TZipArchive() {
        // The archive is closed between operations: a page that kept it open would keep a
        // second page on the same archive from replacing it.
        zipper_.KeepZipOpen = false;
        // One named file is added at a time. A watched name holding "*", "?" or "[" reaches
        // the file list as an escaped pattern, and a recursive walk would then search every
        // folder below the watched file's (a whole home folder) for nothing but itself.
        zipper_.Recurse = false;
        zipper_.SetStorePaths(true);
        zipper_.SetStoreVolumes(true);
        zipper_.OnEndZip = [this](TObject*, const String& name, Int64 size, Int64 packed, Int64 zipSize) {
            if (OnEndZip) OnEndZip(name, size, packed, zipSize);
        };
    }

    void SetZipName(const String& name) override { zipper_.SetZipName(name); }
    String ZipName() const override { return zipper_.ZipName(); }
    bool Busy() const override { return zipper_.Busy(); }

    std::vector<TArchiveEntry> List() override {
        std::vector<TArchiveEntry> entries;
        if (!FileExists(zipper_.ZipName())) return entries;
        zipper_.ReadZip();
        for (Integer i = 0; i < zipper_.Count(); ++i)
            entries.push_back({i, zipper_.Filename(i), zipper_.FullName(i), zipper_.UnCompressedSize(i),
                               zipper_.DateTime(i), zipper_.FileComment(i), zipper_.Entry(i).CRC});
        return entries;
    }

    bool AddDated(const String& file, const String& password, const String& storedPrefix,
                  const String& comment) override {
        zipper_.Password = password;
        zipper_.SetZipComment(comment);
        zipper_.FilesList.Clear();
        zipper_.FilesList.Add(LiteralLine(file));
        // The date goes in front of the stored folder while the entry is written, so the
        // archive never holds the entry under any other name and no other entry is touched.
        bool renamed = false;
        zipper_.OnStartZip = [&](auto*, const String& found, TZipHeaderInfo& header, bool& skip) {
            // Only the watched file itself, never another file a pattern reached.
            skip = !SameText(found, file);
            if (skip) return;
            header.SetDirectory(storedPrefix + header.Directory());
            renamed = true;
        };
        Integer added = 0;
        try {
            added = zipper_.Zip();
        } catch (...) {
            zipper_.OnStartZip = nullptr;
            zipper_.FilesList.Clear();
            throw;
        }
        zipper_.OnStartZip = nullptr;
        zipper_.FilesList.Clear();
        return added > 0 && renamed;
    }

    bool AddPlain(const String& file, const String& password) override {
        // The engine keeps the password of the last operation (a restore leaves the stored
        // one behind even when encryption is off): every add sets it from the caller.
        zipper_.Password = password;
        PathsScope restore{zipper_};
        zipper_.SetStorePaths(false);
        zipper_.SetStoreVolumes(false);
        zipper_.FilesList.Clear();
        zipper_.FilesList.Add(file);
        Integer added = zipper_.Zip();
        zipper_.FilesList.Clear();
        return added > 0;
    }

    Integer RemoveExact(const String& fullName) override {
        if (!FileExists(zipper_.ZipName())) return 0;
        zipper_.ReadZip();
        // Names are matched as patterns by the delete step, so a name holding "*", "?" or "["
        // could select other entries. Every entry is offered instead (one "*" line each, a
        // skipped entry uses its line up) and only the literal full name is let go.
        zipper_.FilesList.Clear();
        for (Integer i = 0; i < zipper_.Count(); ++i) zipper_.FilesList.Add("*");
        Integer removed = 0;
        zipper_.OnDeleteEntry = [&](auto*, const String& name, bool& skip) {
            skip = removed > 0 || name != fullName;
            if (!skip) ++removed;
        };
        try {
            zipper_.DeleteEntries();
        } catch (...) {
            zipper_.OnDeleteEntry = nullptr;
            zipper_.FilesList.Clear();
            throw;
        }
        zipper_.OnDeleteEntry = nullptr;
        zipper_.FilesList.Clear();
        return removed;
    }

    TExtractResult ExtractToTemp(Integer index, const String& fullName, const String& password,
                                 const String& folder) override {
        TExtractResult result;
        zipper_.ReadZip();
        // After a single remove the list keeps its rows' numbers, so an entry may have moved
        // up: it is then found by its full name, when that names exactly one entry.
        if (index < 0 || index >= zipper_.Count() || zipper_.FullName(index) != fullName) {
            index = -1;
            for (Integer i = 0; i < zipper_.Count(); ++i) {
                if (zipper_.FullName(i) != fullName) continue;
                if (index >= 0) {
                    index = -1;
                    break;
                }
                index = i;
            }
        }
        if (index < 0) {
            result.Reason = "the archive changed; the entry " + fullName + " is no longer where it was listed";
            return result;
        }
        ScratchFolder scratch(folder.empty() ? String(".") : folder);
        bool badPassword = false, badCrc = false;
        zipper_.Password = password;
        zipper_.DoAll = true;
        zipper_.RecreateDirs = false;
        zipper_.OverwriteMode = TUZOverwriteMode::Always;
        zipper_.SetDestDir(scratch.Path());
        zipper_.FilesList.Clear();
        zipper_.OnStartUnZip = [&](auto*, Integer i, const String&, bool& skip) { skip = i != index; };
        zipper_.OnSkippingFile = [&](auto*, TSkipReason reason, Integer) {
            if (reason == TSkipReason::skBadPassword) badPassword = true;
        };
        zipper_.OnBadCRC = [&](auto*, Integer, Integer, Integer) { badCrc = true; };
        // Told only after the entry's CRC matched.
        bool extractedOk = false;
        zipper_.OnEndUnZip = [&](auto*, Integer i, const String&) { extractedOk = extractedOk || i == index; };
        String error;
        try {
            zipper_.UnZip();
        } catch (const Exception& e) {
            error = e.Message();
        }
        zipper_.OnStartUnZip = nullptr;
        zipper_.OnSkippingFile = nullptr;
        zipper_.OnBadCRC = nullptr;
        zipper_.OnEndUnZip = nullptr;
        zipper_.DoAll = false;
        String out = scratch.Path() + "\\" + zipper_.Filename(index);
        if (badPassword) {
            result.Outcome = TExtractResult::BadPassword;
        } else if (extractedOk && !badCrc && error.empty() && FileExists(out)) {
            // Out of the scratch folder before it goes, still beside the destination.
            String temp = IncludeTrailingBackslash(folder.empty() ? String(".") : folder) + ".QelRestore-" +
                          IntToHex(static_cast<Int64>(platform::RandomUInt32()), 8) + ".tmp";
            if (RenameFile(out, temp)) {
                result.Outcome = TExtractResult::Ok;
                result.TempFile = temp;
            } else {
                result.Reason = "the restored data cannot be kept in " + folder + ". " + SysErrorMessage(GetLastError());
            }
        } else {
            result.Reason = !error.empty() ? error
                            : badCrc       ? String("the stored data is damaged (CRC mismatch)")
                                           : String("the entry could not be extracted");
        }
        return result;
    }

    void MakeSFX(const String& stub) override { zipper_.MakeSFX(stub); }
    String ZipComment() override { return zipper_.ZipComment(); }
    LongWord ZipSize() override { return zipper_.ZipSize(); }

private:
    TZipper zipper_;
};

}  // namespace

std::unique_ptr<TBackupArchive> MakeZipArchive() { return std::make_unique<TZipArchive>(); }

}  // namespace qel
