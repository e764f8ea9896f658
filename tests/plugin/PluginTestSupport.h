// Shared pieces of the plug-in's tests: a profile per case, a stand-in archive that keeps its
// entries in memory and records what it was asked, and small file helpers.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "plugin/BackupArchive.h"
#include "plugin/QelPage.h"
#include "tests/common/TestProfile.h"

namespace qel::test {

class FakeArchive : public TBackupArchive {
public:
    struct Shared {
        std::vector<TArchiveEntry> entries;
        bool busy = false;
        int adds = 0;       // AddDated calls that reached the archive
        int rewrites = 0;   // calls that changed the archive
        String failWith;    // AddDated raises this when not empty
        bool addNothing = false;
        String storeAsName;  // when set, backups are stored under this file name
        std::function<void()> duringAdd;
        std::vector<String> removed;
        std::vector<String> sfxStubs;
        String lastPassword;
        String lastStoredPrefix;
    };
    explicit FakeArchive(std::shared_ptr<Shared> shared = std::make_shared<Shared>()) : s(std::move(shared)) {}

    void SetZipName(const String& name) override { zipName_ = name; }
    String ZipName() const override { return zipName_; }
    bool Busy() const override { return s->busy; }
    std::vector<TArchiveEntry> List() override { return s->entries; }
    bool AddDated(const String& file, const String& password, const String& prefix, const String&) override {
        ++s->adds;
        s->lastPassword = password;
        s->lastStoredPrefix = prefix;
        if (s->duringAdd) {
            s->busy = true;
            s->duringAdd();
            s->busy = false;
        }
        if (!s->failWith.empty()) throw Exception(s->failWith);
        if (s->addNothing) return false;
        TWatchedFile w = ReadWatchedFile(file);
        String name = s->storeAsName.empty() ? NamePart(file) : s->storeAsName;
        Append(name, prefix + FolderPart(file) + name, static_cast<LongWord>(w.Size), FileDateToDateTime(w.DosDate),
               FileCrc32(file).value_or(0));
        if (OnEndZip) OnEndZip(file, w.Size, w.Size, 0);
        // The archive file exists from its first backup on, as a real one would.
        if (!FileExists(zipName_)) FileClose(FileCreate(zipName_));
        return true;
    }
    bool AddPlain(const String& file, const String& password) override {
        s->lastPassword = password;
        if (!s->failWith.empty()) throw Exception(s->failWith);
        Append(NamePart(file), NamePart(file), 1, 0);
        return true;
    }
    Integer RemoveExact(const String& fullName) override {
        for (auto it = s->entries.begin(); it != s->entries.end(); ++it) {
            if (it->FullName != fullName) continue;
            s->entries.erase(it);
            s->removed.push_back(fullName);
            ++s->rewrites;
            Renumber();
            return 1;
        }
        return 0;
    }
    TExtractResult ExtractToTemp(Integer, const String&, const String&, const String&) override { return {}; }
    void MakeSFX(const String& stub) override {
        s->sfxStubs.push_back(stub);
        if (!s->failWith.empty()) throw Exception(s->failWith);
    }
    String ZipComment() override { return "comment"; }
    LongWord ZipSize() override { return 1234; }

    void Append(const String& name, const String& fullName, LongWord size, TDateTime date, LongWord crc = 0) {
        s->entries.push_back({0, name, fullName, size, date, String(), crc});
        ++s->rewrites;
        Renumber();
    }
    std::shared_ptr<Shared> s;

private:
    void Renumber() {
        for (std::size_t i = 0; i < s->entries.size(); ++i) s->entries[i].Index = static_cast<Integer>(i);
    }
    String zipName_;
};

// A case with its own profile, a manual clock, no dialog hook and no boxes recorded yet.
class PluginTest : public tarvik::test::ProfileTest {
protected:
    void SetUp() override {
        platform::SetClock(&clock);
        platform::SetDialogHook({});
        platform::ClearShownDialogs();
        platform::ClearExitWindowsCalls();
    }
    void TearDown() override {
        platform::SetDialogHook({});
        platform::SetClock(nullptr);
    }
    // Writes text to a file under the scratch folder, dated dosDate when given.
    String PutFile(const std::string& relative, const std::string& text, Integer dosDate = 0) {
        env.WriteText(relative, text);
        String name = env.Win(relative);
        if (dosDate) FileSetDate(name, dosDate);
        return name;
    }
    platform::ManualClock clock;
};

// A DOS date value: 2024-05-06 at hour:minute:second (seconds even).
inline Integer Dos(int hour, int minute = 0, int second = 0) {
    return static_cast<Integer>(((2024 - 1980) << 25) | (5 << 21) | (6 << 16) | (hour << 11) | (minute << 5) |
                                (second / 2));
}

}  // namespace qel::test
