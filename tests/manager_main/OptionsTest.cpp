// The options dialog: the settings it shows and copies back, the shortcuts it writes at once
// (read with lnkinfo), the installation entries (read back from the registry), and the limits
// of the folder dialog's fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>

#include "manager/AddFolder.h"
#include "manager/Options.h"
#include "manager/RegistryHelpers.h"
#include "manager/ShellHelpers.h"
#include "platform/Drives.h"
#include "platform/Params.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

std::string Posix(const String& windowsPath) { return platform::ToPosixPath(windowsPath); }

std::string LnkInfo(const std::string& posixPath) {
    std::string out;
    if (FILE* p = ::popen(("lnkinfo '" + posixPath + "' 2>&1").c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, p)) out += line;
        ::pclose(p);
    }
    return out;
}

// The seventeen settings by section and ident.
struct SettingField {
    const char* section;
    const char* ident;
    bool TSettings::*flag;
    String TSettings::*text;
};
const SettingField kSettingFields[] = {
    {"Backup", "Backup_Name", nullptr, &TSettings::Backup_Name},
    {"Backup", "Backup_cReport", &TSettings::Backup_cReport, nullptr},
    {"Backup", "Backup_EReport", &TSettings::Backup_EReport, nullptr},
    {"Backup", "Backup_eEmail", nullptr, &TSettings::Backup_eEmail},
    {"Backup", "Backup_cSMS", &TSettings::Backup_cSMS, nullptr},
    {"Backup", "Backup_SMSNumber", nullptr, &TSettings::Backup_SMSNumber},
    {"Actions", "Actions_cAdd", &TSettings::Actions_cAdd, nullptr},
    {"Actions", "Actions_cCopy", &TSettings::Actions_cCopy, nullptr},
    {"Actions", "Actions_cChecking", &TSettings::Actions_cChecking, nullptr},
    {"Actions", "Actions_cBackup", &TSettings::Actions_cBackup, nullptr},
    {"Actions", "Actions_rAdd", &TSettings::Actions_rAdd, nullptr},
    {"Actions", "Actions_rCopy", &TSettings::Actions_rCopy, nullptr},
    {"Actions", "Actions_rChecking", &TSettings::Actions_rChecking, nullptr},
    {"Actions", "Actions_rBackup", &TSettings::Actions_rBackup, nullptr},
    {"General", "General_Style", nullptr, &TSettings::General_Style},
    {"General", "General_cClosedM", &TSettings::General_cClosedM, nullptr},
    {"General", "General_cOnTop", &TSettings::General_cOnTop, nullptr},
};

// Every text its own value and, in round `off`, only the Boolean at `off` false: a setting
// read, written or copied from any other ident (or not at all) shows in some round.
TSettings Distinct(std::size_t off) {
    TSettings s;
    for (std::size_t i = 0; i < std::size(kSettingFields); ++i) {
        const SettingField& f = kSettingFields[i];
        if (f.flag) s.*f.flag = i != off;
        else s.*f.text = String(f.ident) + " " + std::to_string(off);
    }
    return s;
}

// Each setting as the store holds it, "ident=value".
std::vector<String> Stored(const TSettings& s) {
    std::vector<String> out;
    for (const SettingField& f : kSettingFields)
        out.push_back(String(f.ident) + "=" + (f.flag ? (s.*f.flag ? "1" : "0") : s.*f.text));
    return out;
}

class OptionsTest : public MainFixture {
protected:
    void SetUp() override {
        MainFixture::SetUp();
        ASSERT_TRUE(InitializeShellObjects());  // as the program does at start
    }
    void TearDown() override {
        MainFixture::TearDown();
        FinalizeShellObjects();
    }
    // Opens the dialog from the menu, lets act fill it, and presses button (or nothing).
    void Run(std::function<void(TFormOptions&)> act) {
        OnForm<TFormOptions>(std::move(act));
        FormMain->mnuOptions_Click(FormMain->mnuOptions_Options);
        Application->ProcessMessages();  // the closed dialog frees itself
    }
};

TEST_F(OptionsTest, ShowsAndCopiesBackTheSettings) {
    Create();
    Settings.General_Style = "Fancy";
    Settings.General_cClosedM = true;
    Settings.Backup_Name = "N% T%";
    Settings.Backup_eEmail = "me@example.org";
    Settings.Actions_rChecking = true;
    Settings.Actions_cBackup = true;
    Settings.Actions_rAdd = false;
    Run([](TFormOptions& d) {
        EXPECT_EQ(d.PageControl->ActivePage(), d.tsGeneral);
        EXPECT_EQ(d.tsGeneral_Style->Text(), "Normal");
        EXPECT_TRUE(d.tsGeneral_cClosedM->Checked());
        EXPECT_EQ(d.tsBackup_Name->Text(), "N% T%");
        EXPECT_FALSE(d.tsBackup_Name->Enabled());
        EXPECT_TRUE(d.tsActions_rChacking->Checked());
        EXPECT_TRUE(d.tsActions_cBackup->Checked());
        EXPECT_FALSE(d.tsActions_rAdd->Checked());
        EXPECT_EQ(d.tsBackup_System->Text(), "Internal");
        EXPECT_FALSE(d.tsBackup_cSMS->Enabled());
        d.tsGeneral_cClosedM->SetChecked(false);
        d.tsActions_rAdd->SetChecked(true);
        d.tsBackup_eEmail->SetText("you@example.org");
        d.cmdOk->Click();
    });
    EXPECT_EQ(Settings.General_Style, "Normal");
    EXPECT_FALSE(Settings.General_cClosedM);
    EXPECT_TRUE(Settings.Actions_rAdd);
    EXPECT_TRUE(Settings.Actions_rChecking);
    EXPECT_EQ(Settings.Backup_Name, "N% T%");
    EXPECT_EQ(Settings.Backup_eEmail, "you@example.org");
    ASSERT_FALSE(platform::ShownDialogs().empty());
    EXPECT_EQ(platform::ShownDialogs().back().caption, "Options");
}

TEST_F(OptionsTest, EverySettingRoundTripsThroughTheStoreUnderItsOwnIdent) {
    for (std::size_t off = 0; off < std::size(kSettingFields); ++off) {
        if (!kSettingFields[off].flag) continue;
        SetApplicationTitle("Round " + std::to_string(off));  // a key of its own: nothing left from earlier rounds
        const TSettings written = Distinct(off);
        SaveSettings(written);
        std::vector<String> inStore;
        for (const SettingField& f : kSettingFields)
            inStore.push_back(String(f.ident) + "=" + ReadRegStr(f.section, f.ident, "(none)"));
        EXPECT_EQ(inStore, Stored(written)) << "round " << off;
        TSettings read;
        LoadSettings(read);
        EXPECT_EQ(Stored(read), Stored(written)) << "round " << off;
    }
}

TEST_F(OptionsTest, EverySettingRoundTripsThroughTheDialogUnderItsOwnBox) {
    Create();
    for (std::size_t off = 0; off < std::size(kSettingFields); ++off) {
        if (!kSettingFields[off].flag) continue;
        const TSettings shown = Distinct(off);
        // Meanwhile every setting changes, so OK must copy each one back from its box.
        TSettings stale = shown;
        for (const SettingField& f : kSettingFields) {
            if (f.flag) stale.*f.flag = !(shown.*f.flag);
            else stale.*f.text = "stale";
        }
        Settings = shown;
        Run([&](TFormOptions& d) {
            Settings = stale;
            d.cmdOk->Click();
        });
        TSettings expected = shown;
        expected.General_Style = "Normal";                 // the box is reset to its only item
        expected.General_cOnTop = stale.General_cOnTop;    // held by the main window's menu, not here
        EXPECT_EQ(Stored(Settings), Stored(expected)) << "round " << off;
    }
}

TEST_F(OptionsTest, AShortcutThatCannotBeWrittenStillClosesTheDialog) {
    Create();
    Settings.General_cClosedM = false;
    FinalizeShellObjects();  // no shell-link objects can be made now
    bool closed = false;
    Run([&](TFormOptions& d) {
        d.tsGeneral_cOnDesktop->SetChecked(true);
        d.tsGeneral_cClosedM->SetChecked(true);
        d.cmdOk->Click();
        closed = d.ModalResult() != mrNone;
    });
    ASSERT_TRUE(InitializeShellObjects());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(Settings.General_cClosedM);
    EXPECT_FALSE(ShortcutExists("Desktop"));
}

TEST_F(OptionsTest, CancelChangesNothing) {
    Create();
    Settings.General_cClosedM = false;
    Run([](TFormOptions& d) {
        d.tsGeneral_cClosedM->SetChecked(true);
        d.tsGeneral_cOnDesktop->SetChecked(true);
        d.cmdCancel->Click();
    });
    EXPECT_FALSE(Settings.General_cClosedM);
    EXPECT_FALSE(ShortcutExists("Desktop"));
}

TEST_F(OptionsTest, ShortcutBoxesFollowTheFilesAndWriteThemAtOnce) {
    if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
    Create();
    MakeShortcut("Desktop", true, "");
    Run([](TFormOptions& d) {
        EXPECT_TRUE(d.tsGeneral_cOnDesktop->Checked());
        EXPECT_FALSE(d.tsGeneral_cOSStart->Checked());
        d.tsGeneral_cOnDesktop->SetChecked(false);
        d.tsGeneral_cOSStart->SetChecked(true);
        d.tsGeneral_cFavorites->SetChecked(true);
        d.cmdOk->Click();
    });
    EXPECT_FALSE(ShortcutExists("Desktop"));
    EXPECT_FALSE(ShortcutExists("Start Menu"));
    const std::string startup = LnkInfo(Posix(ShortcutPath("Startup")));
    EXPECT_NE(startup.find("Command line arguments\t\t: -s\n"), std::string::npos) << startup;
    const String program = ParamStr(0);
    EXPECT_NE(startup.find(program.substr(program.rfind('\\') + 1)), std::string::npos) << startup;
    const std::string favorites = LnkInfo(Posix(ShortcutPath("Favorites")));
    EXPECT_EQ(favorites.find("Command line arguments"), std::string::npos) << favorites;

    Run([](TFormOptions& d) {
        EXPECT_TRUE(d.tsGeneral_cOSStart->Checked());
        EXPECT_TRUE(d.tsGeneral_cFavorites->Checked());
        d.cmdOk->Click();  // existing shortcuts stay as they are
    });
    EXPECT_TRUE(ShortcutExists("Startup"));
}

TEST_F(OptionsTest, MakeInstalationWritesTheEntriesAgainAndAgain) {
    Create();
    for (int i = 0; i < 2; ++i)
        Run([](TFormOptions& d) {
            d.cmdMakeInstalation->Click();
            d.cmdCancel->Click();
        });
    const String program = ParamStr(0);
    const String uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My Corvex";
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, uninstall, "DisplayName"), "My Corvex");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, uninstall, "UninstallString"), program + " -u");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\Classes\\directory\\shell\\My Corvex", ""), "Add to My Corvex");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\Classes\\directory\\shell\\My Corvex\\command", ""),
              "\"" + program + "\" \"-a\" \"%1\"");
}

TEST_F(OptionsTest, FolderFieldsStopAtTheirLimits) {
    TFormAddFolder* d = new TFormAddFolder(Create());
    Type(d->tsAddFolder_Name, std::string(60, 'n'));
    Type(d->tsAddFolder_Description, std::string(300, 'd'));
    EXPECT_EQ(d->tsAddFolder_Name->Text().size(), 50u);
    EXPECT_EQ(d->tsAddFolder_Description->Text().size(), 255u);
    EXPECT_EQ(d->Caption(), "Add Folder");
    EXPECT_FALSE(d->tsAddFolder->TabVisible());
    d->Free();
}

}  // namespace
