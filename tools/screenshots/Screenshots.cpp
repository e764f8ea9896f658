// screens: a picture of every form of Tarvik and QelBackup, taken from the running program.
//
// It is the program's own main window and the real plug-in, worked the way a person works them:
// it adds a folder and a backup through their dialogs, lets the plug-in back up a file a few
// times, walks the pages and the tabs, and opens every dialog and box the program shows. Each
// modal window is photographed when its loop waits for the person (the layer's person-idle
// hook), then answered as a person would. Run it on an X display (tools/screenshots.sh starts
// its own Xvfb) so that text is measured and drawn by the desktop's fonts.
//
//   screens <output folder>     (run from a copy of the program's folder: it is the program)
//
// It never powers the computer off: the secure backup's shutdown request goes to a system bus
// that does not exist, which is how its warning box is reached.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>
#include <utility>

#include "manager/AddFolder.h"
#include "manager/BackupProp.h"
#include "manager/MainWindow.h"
#include "manager/Options.h"
#include "manager/Settings.h"
#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/FileDialogForm.h"
#include "platform/Forms.h"
#include "platform/MenuLoop.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/StdCtrls.h"
#include "platform/display/Input.h"
#include "platform/display/Render.h"

using namespace manager;
namespace fs = std::filesystem;

namespace {

// Every picture the walk takes, in the order of the README, with what it shows.
struct Picture {
    const char* name;
    const char* shows;
};
constexpr Picture kPictures[] = {
    {"main-welcome", "The main window on its welcome page (the Backup's root chosen)."},
    {"main-folder", "The main window on a folder's page, filled from the folder template."},
    {"main-backup", "The main window on a backup: the plug-in's page with its restore list and three versions."},
    {"plugin-information", "The plug-in's page, Info tab: the information page of the chosen version."},
    {"plugin-help", "The plug-in's page, Help tab."},
    {"main-actions", "The main window on the Actions page."},
    {"main-history", "The main window on the History page."},
    {"menu-file", "The File menu on a backup (F10 opens it; Left and Right go on to Options and Help)."},
    {"menu-options", "The Options menu."},
    {"menu-help", "The Help menu."},
    {"menu-tree", "The tree's popup menu on a backup."},
    {"menu-tray", "The notification-area icon's menu."},
    {"menu-restore-list", "The plug-in's restore list popup menu on a version."},
    {"add-folder", "Add Folder as it opens."},
    {"backup-properties", "Add Backup... as it opens."},
    {"backup-properties-configured", "Add Backup... after Configure and Info."},
    {"backup-properties-edit", "The backup's properties opened again for a backup that exists."},
    {"plugin-settings", "The plug-in's settings dialog (Properties) as it opens for a new backup."},
    {"plugin-settings-edit", "The plug-in's settings dialog for the existing backup."},
    {"options-general", "Options and installation, General tab."},
    {"options-actions", "Options and installation, Actions tab."},
    {"options-backup", "Options and installation, Backup tab."},
    {"about", "About."},
    {"dialog-restore", "The save dialog that asks where a version is restored to."},
    {"dialog-open-qel-file", "The open dialog of the plug-in's settings (\"Qel File\")."},
    {"dialog-save-history", "The save dialog of \"Click for Save\" on the History page."},
    {"box-plugin-info", "Box: the plug-in's Info button in the Add Backup... dialog."},
    {"box-plugin-settings-help", "Box: Help in the plug-in's settings dialog."},
    {"box-restore-done", "Box: a version restored."},
    {"box-restore-replace", "Box: restoring over a file that exists."},
    {"box-file-dialog-no-folder", "Box: the save dialog given a folder that does not exist."},
    {"box-restore-wrong-password", "Box: a version made with another password."},
    {"box-secure-backup", "Box: the secure backup made, but the computer not shut down."},
    {"box-tray-start-backup", "Box: the tray's Start Backup reaching the plug-in."},
    {"box-search", "Input box: Search on the History page."},
    {"box-delete", "Box: deleting a backup from the tree."},
};

fs::path g_out;
std::set<std::string> g_taken;
bool g_failed = false;

void Fail(const std::string& what) {
    std::fprintf(stderr, "screens: %s\n", what.c_str());
    g_failed = true;
}

void Shoot(HWND hwnd, const std::string& name) {
    if (std::none_of(std::begin(kPictures), std::end(kPictures), [&](const Picture& p) { return name == p.name; }))
        return Fail("a picture the README does not list: " + name);
    platform::display::Image image;
    if (!platform::display::RenderToImage(hwnd, &image)) return Fail("cannot render " + name);
    if (!platform::display::WritePng(image, (g_out / (name + ".png")).string())) return Fail("cannot write " + name);
    g_taken.insert(name);
    std::printf("%s.png %dx%d\n", name.c_str(), image.width, image.height);
}

// Serves the queue for real time: timers (the plug-in's 500 ms check) and painting.
void Pump(int millis) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool PumpUntil(const std::function<bool()>& done, int millis = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// ---- modal windows: each one that opens takes the next answer from this queue.

using Answer = std::function<void(TCustomForm&)>;
std::deque<Answer> g_answers;

TWinControl* ControlOf(HWND h) { return static_cast<TWinControl*>(GetPropA(h, "TarvikControl")); }

// The modal window waiting for the person: the one enabled, visible top-level form (the
// modal loop disables the others).
TCustomForm* ModalForm() {
    TCustomForm* found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) -> BOOL {
            if (!IsWindowVisible(h) || !IsWindowEnabled(h)) return TRUE_;
            if (auto* form = dynamic_cast<TCustomForm*>(ControlOf(h)); form && !form->Parent())
                *reinterpret_cast<TCustomForm**>(p) = form;
            return TRUE_;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The next modal window is photographed as name, then answered by act.
void Expect(const std::string& name, std::function<void(TCustomForm&)> act) {
    g_answers.push_back([name, act](TCustomForm& form) {
        Shoot(form.Handle(), name);
        act(form);
    });
}

// Answers the modal window that waits, if one does. Returns false for a window nobody expected.
bool Serve() {
    TCustomForm* form = ModalForm();
    if (!form || form == FormMain) return true;
    if (g_answers.empty()) {
        Fail("a window nobody expected: " + form->Caption());
        return false;
    }
    Answer next = std::move(g_answers.front());
    g_answers.pop_front();
    try {
        next(*form);
    } catch (const std::exception& e) {
        Fail(form->Caption() + ": " + e.what());
        return false;
    }
    return true;
}

// A menu is photographed over the window it drops from, as a person sees it, then closed.
std::string g_menuShot;
HWND g_menuOver = nullptr;

void ShootMenu() {
    const std::string name = std::exchange(g_menuShot, std::string());
    const std::vector<HWND> menus = platform::OpenMenuWindows();
    HWND menu = menus.empty() ? nullptr : menus.back();
    platform::display::Image under, over;
    if (!menu || !platform::display::RenderToImage(g_menuOver, &under) || !platform::display::RenderToImage(menu, &over))
        return Fail("no menu to picture for " + name);
    RECT r;
    GetWindowRect(menu, &r);
    POINT origin{0, 0};
    ClientToScreen(g_menuOver, &origin);
    for (int y = 0; y < over.height; ++y)
        for (int x = 0; x < over.width; ++x) {
            const int ux = static_cast<int>(r.left - origin.x) + x, uy = static_cast<int>(r.top - origin.y) + y;
            if (ux >= 0 && uy >= 0 && ux < under.width && uy < under.height)
                under.argb[static_cast<std::size_t>(uy * under.width + ux)] =
                    over.argb[static_cast<std::size_t>(y * over.width + x)];
        }
    if (!platform::display::WritePng(under, (g_out / (name + ".png")).string())) return Fail("cannot write " + name);
    g_taken.insert(name);
    std::printf("%s.png (menu)\n", name.c_str());
}

// Opens a menu by the person's way in, pictures it over the window and closes it.
void ShootMenuOf(const std::string& name, HWND over, const std::function<void()>& open) {
    g_menuShot = name;
    g_menuOver = over;
    // The first menu after the page's tabs changed closes before it waits (an event still on
    // its way closes it): the person simply opens it again.
    for (int attempt = 0; attempt < 3 && !g_menuShot.empty(); ++attempt) {
        open();
        Pump(200);
    }
    if (!g_menuShot.empty()) Fail("the menu for " + name + " never opened");
    g_menuShot.clear();
}

// Boxes and forms wait for the person in a loop that asks the idle hook; the file dialog calls
// its driver once it is on screen.
void InstallPerson() {
    platform::ForcePersonAtDisplayForTesting(true);
    platform::SetPersonIdleHook([] {
        if (!g_menuShot.empty()) {
            ShootMenu();
            return false;  // the person walks away: the menu closes
        }
        return Serve();  // false: the loop gives up, the window answers Cancel
    });
    platform::SetFileDialogDriverForTests([](platform::TFileDialogForm& dialog) {
        if (g_answers.empty()) return Fail("a file dialog nobody expected: " + dialog.Caption());
        Answer next = std::move(g_answers.front());
        g_answers.pop_front();
        next(dialog);
    });
}

template <class T>
T* Find(TComponent& owner, const char* name) {
    auto* c = dynamic_cast<T*>(owner.FindComponent(name));
    if (!c) Fail(std::string("no ") + name + " on " + owner.Name());
    return c;
}

// The first control of type T under root (depth first) that pred accepts.
template <class T>
T* Descendant(TWinControl* root, const std::function<bool(T*)>& pred = nullptr) {
    for (Integer i = 0; root && i < root->ControlCount(); ++i) {
        TControl* c = root->Controls(i);
        if (auto* t = dynamic_cast<T*>(c); t && (!pred || pred(t))) return t;
        if (auto* w = dynamic_cast<TWinControl*>(c))
            if (T* inner = Descendant<T>(w, pred)) return inner;
    }
    return nullptr;
}

TButton* BoxButton(TCustomForm& box, const char* caption) {
    TButton* b = Descendant<TButton>(&box, [&](TButton* x) { return x->Caption() == caption; });
    if (!b) Fail(std::string("no button ") + caption + " on " + box.Caption());
    return b;
}
void Press(TCustomForm& box, const char* caption) {
    if (TButton* b = BoxButton(box, caption)) b->Click();
}

// The file dialog is given a name and confirmed.
void ChooseFile(TCustomForm& form, const String& path) {
    auto* dialog = dynamic_cast<platform::TFileDialogForm*>(&form);
    if (!dialog) return Fail("not a file dialog: " + form.Caption());
    dialog->eName->SetText(path);
    dialog->btnOk->Click();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

String Win(const fs::path& p) { return platform::FromPosixPath(p.string()); }

void WriteReadme() {
    std::ofstream readme(g_out / "README.md", std::ios::trunc);
    readme << "# Tarvik's forms\n\n"
              "Every form, dialog and box of Tarvik and its QelBackup plug-in, taken from the running program on\n"
              "an X display with the desktop's fonts. Remake them after a change with `tools/screenshots.sh`.\n\n"
              "| picture | shows |\n|---|---|\n";
    for (const Picture& p : kPictures) {
        if (!g_taken.count(p.name)) Fail(std::string("no picture of ") + p.name);
        readme << "| [" << p.name << ".png](" << p.name << ".png) | " << p.shows << " |\n";
    }
}

// ---- the walk

struct Walk {
    TFormMain& main;
    fs::path work;
    TListView* restoreList = nullptr;
    TPageControl* pluginTabs = nullptr;
    TTreeExNode* backup = nullptr;

    void Run() {
        main.SetBounds(40, 40, 780, 540);
        Pump(300);
        Shoot(main.Handle(), "main-welcome");
        // A step that went wrong leaves the answers out of step: the walk stops there.
        for (auto step : {&Walk::AddFolder, &Walk::AddBackup, &Walk::BackupPage, &Walk::Menus, &Walk::Boxes,
                          &Walk::OtherPages, &Walk::Dialogs}) {
            if (g_failed) return;
            (this->*step)();
        }
    }

    // A File menu command, with the menu's items set for the current node as opening it does.
    void Command(TMenuItem* item) {
        main.MenuPopup(main.mnuFile);
        item->Click();
    }

    void AddFolder() {
        main.TreeEx->SetSelected(main.BackupRoot);
        Expect("add-folder", [](TCustomForm& f) {
            auto& d = dynamic_cast<TFormAddFolder&>(f);
            d.tsAddFolder_Name->SetText("Thesis");
            d.tsAddFolder_Description->SetText("Chapters, notes and the bibliography.");
            d.cmdOk->Click();
        });
        Command(main.FileItems.AddFolder);
        Pump(200);
        Shoot(main.Handle(), "main-folder");
    }

    // A backup of notes.txt into notes.zip, set up through the properties and settings dialogs.
    void AddBackup() {
        fs::path notes = work / "notes.txt", zip = work / "notes.zip";
        WriteFile(notes, "First draft.\n");
        Expect("backup-properties", [notes, zip](TCustomForm& f) {
            auto& d = dynamic_cast<TFormBackupProp&>(f);
            d.tsBackup_BackupName->SetText("Notes");
            d.tsBackup_BackupDescription->SetText("The thesis notes, kept at every change.");
            d.tsBackup_SystemName->SetItemIndex(d.tsBackup_SystemName->Items()->IndexOf("QelBackup"));
            if (d.tsBackup_SystemName->OnChange) d.tsBackup_SystemName->OnChange(d.tsBackup_SystemName);
            Expect("plugin-settings", [notes, zip](TCustomForm& p) {
                Find<TEdit>(p, "eFile")->SetText(Win(zip));
                Find<TEdit>(p, "eQelFile")->SetText(Win(notes));
                Find<TCheckBox>(p, "cFileSize")->SetChecked(true);
                Find<TCheckBox>(p, "cFileDate")->SetChecked(true);
                Find<TCheckBox>(p, "cPassword")->SetChecked(true);
                Find<TEdit>(p, "ePassword")->SetText("secret");
                Expect("dialog-open-qel-file",
                       [](TCustomForm& d) { dynamic_cast<platform::TFileDialogForm&>(d).btnCancel->Click(); });
                Find<TToolButton>(p, "cmdQelOpen")->Click();
                Expect("box-plugin-settings-help", [](TCustomForm& b) { Press(b, "OK"); });
                Find<TButton>(p, "cmdHelp")->Click();
                Find<TButton>(p, "cmdOk")->Click();
            });
            d.cmdConfig->Click();
            Expect("box-plugin-info", [](TCustomForm& b) { Press(b, "OK"); });
            d.cmdBackupInfo->Click();
            Shoot(f.Handle(), "backup-properties-configured");
            d.cmdOk->Click();
        });
        Command(main.FileItems.AddBackup);
        backup = main.CurrentNode;  // the page step of the new node made it current
        if (!backup || backup->NodeKind() != nkBackup) return Fail("no backup was added");
        PumpUntil([this] { return PluginPage(); });
        if (!restoreList) return Fail("the plug-in page did not appear");
        // Three versions of the file, each one made by the plug-in's own check.
        for (int version = 1; version <= 3; ++version) {
            if (version > 1) {
                Pump(1100);  // a new second, so that the entry's name differs
                WriteFile(notes, "Draft " + std::to_string(version) + ", a little longer each time.\n" +
                                     std::string(static_cast<std::size_t>(version) * 40, '.') + "\n");
            }
            if (!PumpUntil([&] { return restoreList->Items()->Count() >= version; }))
                Fail("the plug-in made no backup " + std::to_string(version));
        }
    }

    // The plug-in's page form sits in the panel's window; it is no control of the panel's own.
    TWinControl* Page() {
        TWinControl* page = nullptr;
        EnumChildWindows(
            main.PanelMain->Handle(),
            [](HWND h, LPARAM p) -> BOOL {
                auto** out = reinterpret_cast<TWinControl**>(p);
                if (auto* form = dynamic_cast<TCustomForm*>(ControlOf(h)); form && form->Visible()) *out = form;
                return *out ? FALSE_ : TRUE_;
            },
            reinterpret_cast<LPARAM>(&page));
        return page;
    }

    bool PluginPage() {
        restoreList = Descendant<TListView>(Page());
        pluginTabs = Descendant<TPageControl>(Page());
        return restoreList && pluginTabs;
    }

    TToolButton* PluginButton(const char* caption) {
        auto* b = Descendant<TToolButton>(Page(), [&](TToolButton* x) { return x->Caption() == caption; });
        if (!b) Fail(std::string("no plug-in button ") + caption);
        return b;
    }

    void BackupPage() {
        if (!restoreList) return;
        main.TreeEx->SetSelected(backup);  // the person clicks the new backup in the tree
        restoreList->SetSelected(restoreList->Items()->Item(0));
        Pump(200);
        Shoot(main.Handle(), "main-backup");
        pluginTabs->SetActivePageIndex(1);
        Pump(300);
        Shoot(main.Handle(), "plugin-information");
        pluginTabs->SetActivePageIndex(2);
        Pump(300);
        Shoot(main.Handle(), "plugin-help");
        pluginTabs->SetActivePageIndex(0);
        Pump(200);
    }

    void Menus() {
        HWND w = main.Handle();
        // The person comes back to the main window from the dialogs before.
        SetForegroundWindow(w);
        SetActiveWindow(w);
        main.TreeEx->SetSelected(backup);
        main.TreeEx->SetFocus();
        Pump(100);
        ShootMenuOf("menu-file", w, [] {
            platform::display::InputKey(0x79, true, "", 0);  // F10
            platform::display::InputKey(0x79, false, "", 0);
        });
        ShootMenuOf("menu-options", w, [this] { main.tbOptions->Click(); });
        ShootMenuOf("menu-help", w, [this] { main.tbHelp->Click(); });
        auto at = [](TControl* c, int x, int y) {
            POINT p{x, y};
            ClientToScreen(dynamic_cast<TWinControl*>(c) ? static_cast<TWinControl*>(c)->Handle() : nullptr, &p);
            return p;
        };
        ShootMenuOf("menu-tree", w, [&] {
            const POINT p = at(main.TreeEx, 60, 60);
            main.CurrentNode = backup;
            main.PopupMenuLeft->Popup(p.x, p.y);
        });
        ShootMenuOf("menu-tray", w, [&] {
            const POINT p = at(main.StatusBar, main.StatusBar->Width() - 160, 0);
            main.PopupMenuSysTray->Popup(p.x, p.y - 100);
        });
        restoreList->SetSelected(restoreList->Items()->Item(1));
        ShootMenuOf("menu-restore-list", w, [&] {
            const POINT p = at(restoreList, 120, 40);
            restoreList->PopupMenu()->Popup(p.x, p.y);
        });
    }

    // The plug-in's boxes, each reached the way a person reaches it.
    void Boxes() {
        if (!restoreList) return;
        TToolButton* restore = PluginButton("Restore");
        if (!restore) return;
        auto restoreTo = [&](const String& dest, std::function<void()> more) {
            restoreList->SetSelected(restoreList->Items()->Item(0));
            Expect("dialog-restore", [dest](TCustomForm& f) { ChooseFile(f, dest); });
            more();
            restore->Click();
            Pump(100);
        };
        restoreTo(Win(work / "restored.txt"),
                  [] { Expect("box-restore-done", [](TCustomForm& b) { Press(b, "OK"); }); });
        restoreTo(Win(work / "restored.txt"), [] {
            Expect("box-restore-replace", [](TCustomForm& b) { Press(b, "&No"); });
        });
        // A folder that does not exist: the dialog itself says so, and is cancelled after.
        restoreList->SetSelected(restoreList->Items()->Item(0));
        Expect("dialog-restore", [this](TCustomForm& f) {
            Expect("box-file-dialog-no-folder", [](TCustomForm& b) { Press(b, "OK"); });
            ChooseFile(f, Win(work / "no such folder" / "restored.txt"));
            dynamic_cast<platform::TFileDialogForm&>(f).btnCancel->Click();
        });
        restore->Click();
        // The tray's "Start Backup" hands the plug-in its secure-backup word.
        main.TreeEx->SetSelected(backup);
        Expect("box-tray-start-backup", [](TCustomForm& b) { Press(b, "OK"); });
        main.Systray_StartBackup->Click();
        // A new password and "shut down" set: the old versions no longer open, and the secure
        // backup's shutdown is refused.
        Expect("backup-properties-edit", [](TCustomForm& f) {
            auto& d = dynamic_cast<TFormBackupProp&>(f);
            Expect("plugin-settings-edit", [](TCustomForm& p) {
                Find<TCheckBox>(p, "cShutDown")->SetChecked(true);
                Find<TEdit>(p, "ePassword")->SetText("not the first one");
                Find<TButton>(p, "cmdOk")->Click();
            });
            d.cmdConfig->Click();
            d.cmdCancel->Click();
        });
        main.CurrentNode = backup;
        Command(main.FileItems.Properties);
        Pump(1200);  // the page re-reads its settings at its next check
        restoreTo(Win(work / "restored-2.txt"), [] {
            Expect("box-restore-wrong-password", [](TCustomForm& b) { Press(b, "OK"); });
        });
        WriteFile(work / "notes.txt", "The last draft before the secure backup.\n");
        Expect("box-secure-backup", [](TCustomForm& b) { Press(b, "OK"); });
        if (TToolButton* secure = Descendant<TToolButton>(
                Page(), [](TToolButton* b) { return b->Name() == "cmdSecBackup"; }))
            secure->Click();
        else
            Fail("no secure backup button");
        Pump(300);
    }

    void OtherPages() {
        main.TreeEx->SetSelected(main.ActionsRoot);
        Pump(200);
        Shoot(main.Handle(), "main-actions");
        main.TreeEx->SetSelected(main.HistoryRoot);
        Pump(300);
        Shoot(main.Handle(), "main-history");
        Expect("box-search", [](TCustomForm& b) {
            if (auto* e = Descendant<TEdit>(&b)) e->SetText("backup");
            Press(b, "OK");
        });
        main.cmdHistorySearch->Click();
        Expect("dialog-save-history",
               [](TCustomForm& f) { dynamic_cast<platform::TFileDialogForm&>(f).btnCancel->Click(); });
        main.cmdHistorySave->Click();
        main.TreeEx->SetSelected(backup);
        main.CurrentNode = backup;
        Expect("box-delete", [](TCustomForm& b) { Press(b, "&No"); });
        Command(main.FileItems.Delete);
    }

    void Dialogs() {
        Expect("options-general", [](TCustomForm& f) {
            auto& d = dynamic_cast<TFormOptions&>(f);
            d.PageControl->SetActivePage(d.tsActions);
            Shoot(f.Handle(), "options-actions");
            d.PageControl->SetActivePage(d.tsBackup);
            Shoot(f.Handle(), "options-backup");
            d.cmdCancel->Click();
        });
        main.mnuOptions_Options->Click();
        Expect("about", [](TCustomForm& f) { dynamic_cast<TFormAbout&>(f).cmdOk->Click(); });
        main.mnuHelp_About->Click();
        Pump(200);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screens <output folder>   (run from a copy of the program's folder)\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    alarm(120);  // a walk that goes astray ends here, never hangs
    // No system bus: a shutdown request is refused, never carried out.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tarvik-screens", 1);
    g_out = fs::absolute(argv[1]);
    fs::create_directories(g_out);
    try {
        // The program's folder is this tool's own (the plug-in finds its data there too); the
        // watched file and its archive go to the profile.
        const fs::path work = fs::path(platform::ProfilePath()) / "work";
        fs::create_directories(work);
        SetApplicationTitle(kDefaultApplicationTitle);
        Application->Initialize();
        Application->SetTitle(kDefaultApplicationTitle);
        Application->CreateForm(FormMain);
        FormMain->Show();
        InstallPerson();
        Walk{*FormMain, work}.Run();
        if (!g_answers.empty()) Fail(std::to_string(g_answers.size()) + " expected windows never opened");
        WriteReadme();
        platform::SetPersonIdleHook({});
        platform::SetFileDialogDriverForTests({});
        FormMain->Free();
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::printf("%zu pictures in %s\n", g_taken.size(), g_out.c_str());
    std::fflush(stdout);
    // The plug-in stays loaded until the process ends, as in the program.
    _exit(g_failed ? 1 : 0);
}
