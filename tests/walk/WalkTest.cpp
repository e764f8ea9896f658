// A person's day with Tarvik on a real display: the real Tarvik and QelBackup on an Xvfb of
// their own, with a window manager and a system tray, driven only by mouse and keyboard
// through XTest (xdotool). The test reads the screen only as a person does: window titles,
// the program's windows through its test probe, and screenshots. Each step leaves its
// screenshot in walk_output/; a failing step names itself.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "Probe.h"
#include "tests/common/X11Session.h"
#include "tests/manager_main/ProgramProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using e2e::Process;
using e2e::ReadFile;
using tarvik::test::RunTool;
using walk::Screen;
using walk::Text;
using walk::Window;

const auto* const g_xvfb = ::testing::AddGlobalTestEnvironment(new tarvik::test::XvfbEnvironment);

struct POINT {
    int x, y;
};

// Where trayer docks the icons: the bottom right corner of the 1024x768 screen.
constexpr int kTrayLeft = 1024 - 120, kTrayTop = 768 - 24;

std::string Win(const fs::path& p) {
    std::string s = "Z:" + p.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// A program folder with Tarvik, its pages and the plug-in; the profiles, the person's files
// and the session folders all below one scratch folder.
class Desk {
public:
    Desk() {
        std::string base = fs::temp_directory_path() / "tarvik-walk-XXXXXX";
        if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
        root = base;
        program = root / "prog";
        fs::create_directories(program / "Plugins");
        fs::copy_file(TARVIK_PROGRAM, program / "Tarvik");
        for (const char* folder : {"Templates", "Help", "Icons", "Plugins/QelBackup"})
            if (fs::exists(fs::path(TARVIK_BIN_DIR) / folder))
                fs::copy(fs::path(TARVIK_BIN_DIR) / folder, program / folder, fs::copy_options::recursive);
        fs::copy_file(QEL_LIBRARY, program / "Plugins" / "QelBackup.dll");
        fs::create_directories(root / "run");
        ::chmod((root / "run").c_str(), 0700);
    }
    ~Desk() {
        if (!std::getenv("TARVIK_KEEP_TEST_DIRS")) {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    }
    // A run of Tarvik for one person's profile; every XDG place is redirected into it.
    std::unique_ptr<Process> Start(const std::string& person, bool probe = true) {
        const fs::path profile = root / person;
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            bool drop = false;
            for (const char* name : {"TARVIK_", "XDG_", "DBUS_SESSION_BUS_ADDRESS="}) drop |= v.rfind(name, 0) == 0;
            if (!drop) env.push_back(v);
        }
        for (const std::string& v : std::vector<std::string>{"TARVIK_PROFILE=" + profile.string(), "TARVIK_DISPLAY=x11", probe ? "TARVIK_TEST_PROBE=1" : "TARVIK_TEST_PROBE=0",
              "XDG_RUNTIME_DIR=" + (root / "run").string(), "XDG_DATA_HOME=" + (profile / "xdg/data").string(),
              "XDG_CONFIG_HOME=" + (profile / "xdg/config").string(),
              "XDG_CACHE_HOME=" + (profile / "xdg/cache").string()})
            env.push_back(v);
        return std::make_unique<Process>((program / "Tarvik").string(), std::vector<std::string>{}, env,
                                         root / (person + "-stderr.txt"));
    }
    fs::path root, program;
};

class WalkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A window manager (frames, minimise, stacking) and a system tray, as on a desktop.
        const std::vector<std::string> env = Environ();
        wm_ = new Process("/usr/bin/openbox", {"--sm-disable"}, env, "/dev/null");
        // A window shown before the manager has taken the screen may stay without a frame.
        ASSERT_TRUE(Wait([] { return RunTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                                     std::string::npos; }, 30))
            << "openbox did not start";
        tray_ = new Process("/usr/bin/trayer",
                            {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "120",
                             "--heighttype", "pixel", "--height", "24"},
                            env, "/dev/null");
        Wait([] { return !RunTool({"xdotool", "search", "--name", "^panel$"}).empty(); }, 20);
    }
    static void TearDownTestSuite() {
        delete tray_;
        delete wm_;
    }
    static std::vector<std::string> Environ() {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        return env;
    }

    void SetUp() override {
        shots_ = fs::path(TARVIK_TEST_BIN_DIR) / "walk_output";
        fs::create_directories(shots_);
    }

    static bool Wait(const std::function<bool()>& done, int seconds = 15) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            if (done()) return true;
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // Runs one step; its screenshot is taken whether it passed or not.
    void Step(const std::string& name, const std::function<void()>& body) {
        if (HasFatalFailure()) return;
        SCOPED_TRACE("step " + name);
        body();
        const bool failed = HasFailure();
        std::error_code ec;
        fs::remove(shots_ / (name + (failed ? "" : "-FAILED") + ".png"), ec);  // a picture of an earlier run
        RunTool({"import", "-window", "root", (shots_ / (name + (failed ? "-FAILED" : "") + ".png")).string()});
    }

    // The screen as the program shows it, once something matching done() is on it.
    bool See(const std::function<bool(const Screen&)>& done, int seconds = 15) {
        return Wait([&] { return probe_ && probe_->Look(&screen_) && done(screen_); }, seconds);
    }
    bool SeeTop(const std::string& cls, int seconds = 15) {
        return See([&](const Screen& s) { return s.Top(cls) != nullptr; }, seconds);
    }
    bool SeeText(const std::string& text, const std::string& topClass = "", int seconds = 15) {
        return See([&](const Screen& s) {
            const Window* top = topClass.empty() ? nullptr : s.Top(topClass);
            return (topClass.empty() || top) && s.Find(text, top);
        }, seconds);
    }

    // Where the tray icon's window stands on the screen ({-1, -1} when there is none).
    static POINT TrayIcon() {
        std::istringstream tree(RunTool({"xwininfo", "-root", "-tree"}));
        for (std::string line; std::getline(tree, line);) {
            if (line.find("\"Click for option's\"") == std::string::npos) continue;
            int x = -1, y = -1;
            std::size_t at = line.rfind("  +");
            if (at != std::string::npos) std::sscanf(line.c_str() + at, "  +%d+%d", &x, &y);
            return {x, y};
        }
        return {-1, -1};
    }
    static void Click(int x, int y, int button = 1, int repeat = 1) {
        RunTool({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        RunTool({"xdotool", "click", "--repeat", std::to_string(repeat), std::to_string(button)});
    }
    // A click a little inside a text's first letters, where a person aims.
    static void Click(const Text& t, int button = 1) { Click(t.x + 6, t.y + 7, button); }
    static void Hover(const Text& t) {
        RunTool({"xdotool", "mousemove", std::to_string(t.x + 6), std::to_string(t.y + 7)});
    }
    static void Type(const std::string& text) { RunTool({"xdotool", "type", "--delay", "15", text}); }
    static void Key(const std::string& key) { RunTool({"xdotool", "key", key}); }

    // Clicks a text shown in a top-level window of the given class.
    void ClickText(const std::string& text, const std::string& topClass = "", int button = 1) {
        ASSERT_TRUE(SeeText(text, topClass)) << "\"" << text << "\" is not on the screen";
        Click(*screen_.Find(text, topClass.empty() ? nullptr : screen_.Top(topClass)), button);
    }
    // What a person sees of a dialog is whole: every control lies inside the window, and no
    // two controls side by side cover each other.
    void ExpectWhole(const std::string& dialog) {
        ASSERT_TRUE(SeeTop(dialog));
        const Window* top = screen_.Top(dialog);
        auto inside = [](const Window& a, const Window& b) {
            return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
        };
        auto overlap = [](const Window& a, const Window& b) {
            return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
        };
        std::vector<const Window*> shown;
        for (const auto& w : screen_.windows)
            if (w.visible && w.handle != top->handle && screen_.Within(w, top->handle) && w.right > w.left) shown.push_back(&w);
        for (const Window* w : shown) {
            EXPECT_TRUE(inside(*w, *top)) << dialog << ": " << w->cls << " \"" << w->caption << "\" is cut off: "
                                          << w->left << "," << w->top << "-" << w->right << "," << w->bottom << " in "
                                          << top->left << "," << top->top << "-" << top->right << "," << top->bottom;
            for (const Window* o : shown) {
                if (o < w && o->parent == w->parent) {
                    EXPECT_FALSE(overlap(*w, *o)) << dialog << ": " << w->cls << " \"" << w->caption << "\" covers "
                                                  << o->cls << " \"" << o->caption << "\"";
                }
            }
        }
    }
    // Presses a dialog's button and waits for the dialog to go; a click the window manager
    // took for bringing the window forward is given again, as a person would.
    void Press(const std::string& button, const std::string& dialog) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0 && !screen_.Top(dialog)) return;
            ClickText(button, dialog);
            if (HasFatalFailure() || See([&](const Screen& s) { return !s.Top(dialog); }, 4)) return;
        }
        FAIL() << dialog << " stays open after \"" << button << "\"";
    }
    // Opens a menu of the main window's tool bar and chooses an item (through submenus).
    void Menu(const std::vector<std::string>& path) {
        ClickText(path[0], "TFormMain");
        for (std::size_t i = 1; i < path.size(); ++i) {
            ASSERT_TRUE(See([&](const Screen& s) {
                const Text* t = s.Find(path[i], s.Top("TarvikPopupMenu"));
                return t && t->color != kGreyText;
            })) << "the menu shows no enabled \"" << path[i] << "\"";
            const Text item = *screen_.Find(path[i], screen_.Top("TarvikPopupMenu"));
            if (i + 1 < path.size()) Hover(item);
            else Click(item);
        }
    }
    // Replaces the text of the focused edit of a dialog.
    void TypeInto(const std::string& topClass, const std::string& text) {
        ASSERT_TRUE(See([&](const Screen& s) {
            for (const auto& w : s.windows)
                if (w.focused && w.cls == "TEdit" && s.Top(topClass) && s.Within(w, s.Top(topClass)->handle))
                    return true;
            return false;
        })) << "no edit has the focus in " << topClass;
        Key("ctrl+a");
        Type(text);
    }
    const Window* Focused() const {
        for (const auto& w : screen_.windows)
            if (w.focused) return &w;
        return nullptr;
    }
    // Chooses a file in the program's file dialog by typing its name, as a person can.
    void ChooseFile(const std::string& title, const fs::path& file) {
        ASSERT_TRUE(See([&](const Screen& s) {
            return s.Top("TFileDialogForm") && (title.empty() || s.Top("TFileDialogForm")->caption == title);
        }))
            << "no file dialog \"" << title << "\"";
        ExpectWhole("TFileDialogForm");
        TypeInto("TFileDialogForm", file.string());
        Key("Return");
        ASSERT_TRUE(See([](const Screen& s) { return !s.Top("TFileDialogForm"); })) << "the file dialog stays open";
    }
    // The rows of the restore list: the cells that show the watched file's name in the first
    // column, whole or, when the column is too narrow for it, its start and an ellipsis.
    std::vector<const Text*> RowCells(const std::string& name) {
        std::vector<const Text*> cells;
        const Window* lv = screen_.Child(screen_.Top("TFormMain"), "TListView");
        if (!lv) return cells;
        static const std::string kEllipsis = "\xE2\x80\xA6";
        for (const auto& t : screen_.texts) {
            if (t.window != lv->handle) continue;
            std::string shown = t.text;
            bool cut = shown.size() > kEllipsis.size() && shown.ends_with(kEllipsis);
            if (cut) shown.resize(shown.size() - kEllipsis.size());
            if (cut ? name.starts_with(shown) : shown == name) cells.push_back(&t);
        }
        return cells;
    }
    int Rows(const std::string& name) { return static_cast<int>(RowCells(name).size()); }
    const Text& Row(const std::string& name, size_t nth) {
        std::vector<const Text*> cells = RowCells(name);
        if (nth >= cells.size()) throw std::runtime_error("no row " + std::to_string(nth) + " of " + name);
        return *cells[nth];
    }
    void Start(Desk& desk, const std::string& person, bool probe = true) {
        program_ = desk.Start(person, probe);
        probe_ = std::make_unique<walk::Probe>(program_->Pid(), (desk.root / "run").string());
    }

    static constexpr unsigned kGreyText = 0xa0a0a0;  // the style's disabled text
    static inline Process* wm_ = nullptr;
    static inline Process* tray_ = nullptr;
    fs::path shots_;
    std::unique_ptr<Process> program_;
    std::unique_ptr<walk::Probe> probe_;
    Screen screen_;
};

// Every one of the texts stands in an edit on the screen.
bool HasEdits(const Screen& s, const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
        bool found = false;
        for (const auto& w : s.windows) found |= w.cls == "TEdit" && w.caption == text;
        if (!found) return false;
    }
    return true;
}

// Puts a new version of the watched file in place at once, as an editor saving it does.
void Save(const fs::path& p, const std::string& text) {
    fs::path next = p;
    next += ".saving";
    std::ofstream(next, std::ios::binary) << text;
    fs::rename(next, p);
}

TEST_F(WalkTest, APersonSetsUpABackupForgetsItAndGetsTheVersionBack) {
    const auto started = Clock::now();
    Desk desk;
    const fs::path work = desk.root / "home" / "Documents";
    // A name that holds markup as text: the information page must show it as it stands.
    const std::string name = "thesis &lt;v2&gt; & notes.txt";
    const fs::path watched = work / name, archive = desk.root / "home" / "Backups" / "thesis.zip";
    const fs::path restored = desk.root / "home" / "Restored";
    fs::create_directories(work);
    fs::create_directories(archive.parent_path());
    fs::create_directories(restored);
    std::vector<std::string> versions{"Chapter 1.\n"};
    std::ofstream(watched, std::ios::binary) << versions[0];
    const std::string password = "s3cret";

    Step("01-first-start", [&] {
        Start(desk, "person");
        ASSERT_TRUE(SeeText("Welcome", "TFormMain", 30)) << ReadFile(desk.root / "person-stderr.txt");
        ExpectWhole("TFormMain");
        EXPECT_EQ(RunTool({"xdotool", "search", "--name", "^My Corvex$", "getwindowname"}), "My Corvex");
        // The icon sits inside trayer's panel.
        ASSERT_TRUE(Wait([] { return TrayIcon().x >= 0; })) << "no tray icon";
        EXPECT_GE(TrayIcon().x, kTrayLeft);
        EXPECT_GE(TrayIcon().y, kTrayTop);
    });

    Step("02-add-folder-and-backup", [&] {
        Menu({"File", "Add", "Folder"});
        ExpectWhole("TFormAddFolder");
        TypeInto("TFormAddFolder", "Documents");
        Press("Ok", "TFormAddFolder");
        ASSERT_TRUE(SeeText("Folder:Documents", "TFormMain")) << "the new folder's page is not shown";
        EXPECT_TRUE(screen_.Find("Documents", screen_.Child(screen_.Top("TFormMain"), "TTreeEx")));

        Menu({"File", "Add", "Backup"});
        ExpectWhole("TFormBackupProp");
        EXPECT_EQ(screen_.Top("TFormBackupProp")->caption, "Add Backup...");
        // The plug-in: the drop-down list opens on a click; the arrow keys choose too.
        const Window* combo = screen_.Child(screen_.Top("TFormBackupProp"), "TComboBox");
        ASSERT_NE(combo, nullptr);
        Click(combo->right - 8, combo->CentreY());
        const auto comboHandle = combo->handle;  // the next look at the screen replaces combo
        if (SeeText("QelBackup", "", 2) && screen_.Find(std::string("QelBackup"))->window != comboHandle) {
            Click(*screen_.Find(std::string("QelBackup")));
        } else {
            Key("Down");
        }
        ASSERT_TRUE(SeeText("Configure", "TFormBackupProp"));
        ASSERT_TRUE(See([](const Screen& s) {
            const Window* c = s.Child(s.Top("TFormBackupProp"), "TComboBox");
            return c && c->caption == "QelBackup";
        })) << "QelBackup is not chosen";
        const Window* nameEdit = screen_.Child(screen_.Top("TFormBackupProp"), "TEdit");
        ASSERT_NE(nameEdit, nullptr);
        Click(nameEdit->CentreX(), nameEdit->CentreY());
        TypeInto("TFormBackupProp", "Thesis");
        ClickText("Configure", "TFormBackupProp");
    });

    Step("03-backup-settings", [&] {
        ASSERT_TRUE(SeeTop("TFormProperties")) << "the plug-in's settings dialog did not open";
        ExpectWhole("TFormProperties");
        ClickText("Qel File", "TFormProperties");
        ChooseFile("Select Qel Sistem FILE", watched);
        ClickText("New", "TFormProperties");
        ChooseFile("", archive);
        ASSERT_TRUE(See([&](const Screen& s) { return HasEdits(s, {Win(watched), Win(archive)}); }))
            << "the chosen files are not in the dialog";
        ClickText("With password", "TFormProperties");
        ASSERT_TRUE(See([](const Screen& s) {
            const Window* p = s.Top("TFormProperties");
            for (const auto& w : s.windows)
                if (p && w.cls == "TEdit" && w.enabled && w.caption.empty() && w.parent == p->handle) return true;
            return false;
        })) << "the password edit is not enabled";
        for (const auto& w : screen_.windows)
            if (w.cls == "TEdit" && w.enabled && w.caption.empty() && w.parent == screen_.Top("TFormProperties")->handle)
                Click(w.CentreX(), w.CentreY());
        TypeInto("TFormProperties", password);
        Press("Ok", "TFormProperties");
        Press("Ok", "TFormBackupProp");
        ASSERT_TRUE(SeeText("Backup:Thesis", "TFormMain")) << "the backup's page is not shown";
        // The plug-in's page lives inside the main window, not in a window of its own.
        int tops = 0;
        for (const auto& w : screen_.windows) tops += w.parent == "0" && w.cls == "TFormMain";
        EXPECT_EQ(tops, 1);
        EXPECT_TRUE(screen_.Child(screen_.Top("TFormMain"), "TListView")) << "no restore list in the main window";
        ExpectWhole("TFormMain");
    });

    Step("04-four-versions", [&] {
        ASSERT_TRUE(See([&](const Screen&) { return Rows(name) == 1; }, 20)) << "the first version is not listed";
        auto last = Clock::now();
        for (int i = 1; i <= 3; ++i) {
            // Zip dates count in two seconds: a version a person saves a moment later must not
            // look like the last one.
            std::this_thread::sleep_until(last + std::chrono::milliseconds(2100));
            versions.push_back(versions.back() + "Chapter " + std::to_string(i + 1) + ".\n");
            Save(watched, versions.back());
            last = Clock::now();
            ASSERT_TRUE(See([&](const Screen&) { return Rows(name) == i + 1; }, 20)) << "version " << i + 1;
        }
        // The status at the end of the page's tool bar counts them too.
        ASSERT_TRUE(See([&](const Screen& s) {
            const Text* t = s.Find("4 versions of " + name + " in the archive", s.Top("TFormMain"));
            return t && s.Handle(t->window)->cls == "TToolBar";
        }, 5)) << "the status does not count the versions: " << [&] {
            std::string bars;
            for (const auto& w : screen_.windows)
                if (w.cls == "TToolBar") bars += "[" + screen_.Words(w) + "]";
            return bars;
        }();
    });

    Step("05-restore-second-version", [&] {
        const Window* lv = screen_.Child(screen_.Top("TFormMain"), "TListView");
        ASSERT_NE(lv, nullptr);
        Click(Row(name, 1));
        ASSERT_TRUE(See([](const Screen& s) {
            const Text* r = s.Find("Restore", s.Top("TFormMain"));
            return r && r->color != kGreyText;
        }));
        ClickText("Restore", "TFormMain");
        ChooseFile("Restore file to location...", restored / name);
        ASSERT_TRUE(SeeTop("TMessageForm")) << "no word that the file was restored";
        ExpectWhole("TMessageForm");
        Press("OK", "TMessageForm");
        ASSERT_TRUE(Wait([&] { return fs::exists(restored / name); }));
        EXPECT_EQ(ReadFile(restored / name), versions[1]);
        std::string entries = RunTool({"unzip", "-Z1", archive.string()});
        std::istringstream in(entries);
        std::vector<std::string> names;
        for (std::string line; std::getline(in, line);) names.push_back(line);
        ASSERT_EQ(names.size(), 4u) << entries;
        EXPECT_EQ(RunTool({"unzip", "-P", password, "-p", archive.string(), names[1]}) + "\n", versions[1]);
    });

    Step("06-remove-third-version", [&] {
        const std::string before = RunTool({"unzip", "-Z1", archive.string()});
        std::vector<std::string> names;
        std::istringstream in(before);
        for (std::string line; std::getline(in, line);) names.push_back(line);
        ASSERT_TRUE(See([&](const Screen&) { return Rows(name) == 4; }));
        Click(Row(name, 2));
        ClickText("Remove", "TFormMain");
        ASSERT_TRUE(SeeTop("TMessageForm")) << "no question before the version goes";
        ExpectWhole("TMessageForm");
        Press("Yes", "TMessageForm");
        ASSERT_TRUE(See([&](const Screen& s) {
            return Rows(name) == 3 && s.Find("3 versions of " + name + " in the archive", s.Top("TFormMain"));
        })) << "the list and the status do not lose the version";
        names.erase(names.begin() + 2);
        std::string expected;
        for (const auto& n : names) expected += (expected.empty() ? "" : "\n") + n;
        EXPECT_EQ(RunTool({"unzip", "-Z1", archive.string()}), expected);
    });

    Step("07-information-page", [&] {
        Click(Row(name, 0), 3);
        ClickText("Information", "TarvikPopupMenu");
        // The entry's name stands on the page as it is, its "&lt;" not taken for markup.
        ASSERT_TRUE(See([&](const Screen& s) {
            for (const auto& w : s.windows)
                if (w.cls == "TWebBrowser" && w.visible && s.Words(w).find("&lt;v2&gt;") != std::string::npos &&
                    s.Words(w).find("thesis.zip") != std::string::npos)
                    return true;
            return false;
        })) << "the information page does not show the entry and the archive";
    });

    Step("08-tray", [&] {
        // The window's close box puts the program away (it keeps watching); the tray brings
        // it back. The box sits at the right end of the window manager's title bar.
        std::istringstream info(RunTool({"xwininfo", "-name", "My Corvex"}));
        int x = 0, y = 0, w = 0;
        for (std::string line; std::getline(info, line);) {
            std::sscanf(line.c_str(), "  Absolute upper-left X: %d", &x);
            std::sscanf(line.c_str(), "  Absolute upper-left Y: %d", &y);
            std::sscanf(line.c_str(), "  Width: %d", &w);
        }
        Click(x + w - 10, y - 11);
        ASSERT_TRUE(Wait([&] { return RunTool({"xdotool", "search", "--onlyvisible", "--name", "^My Corvex$"}).empty(); }))
            << "the window is still shown";
        const int ix = TrayIcon().x, iy = TrayIcon().y;
        Click(ix + 8, iy + 8);
        ASSERT_TRUE(Wait([&] { return !RunTool({"xdotool", "search", "--onlyvisible", "--name", "^My Corvex$"}).empty(); }))
            << "a click on the tray icon does not bring the window back";
        Click(ix + 8, iy + 8, 3);
        ClickText("Close (my Corvex)", "TarvikPopupMenu");
        EXPECT_EQ(program_->Wait(20000), 0) << "the tray's Close does not end the program";
    });

    Step("09-start-again", [&] {
        Start(desk, "person");
        ASSERT_TRUE(SeeText("Welcome", "TFormMain", 30)) << "no welcome page";
        ASSERT_TRUE(SeeText("Documents", "TFormMain"));
        if (!screen_.Find("Thesis", screen_.Top("TFormMain"))) {
            Click(*screen_.Find("Documents", screen_.Top("TFormMain")));
            RunTool({"xdotool", "click", "--repeat", "2", "1"});
        }
        ClickText("Thesis", "TFormMain");
        ASSERT_TRUE(SeeText("Backup:Thesis", "TFormMain"));
        EXPECT_TRUE(See([&](const Screen&) { return Rows(name) == 3; })) << "the versions are not all there";
        // Its settings: the backup's properties and the plug-in's dialog show what was chosen.
        Menu({"File", "Properties"});
        ExpectWhole("TFormBackupProp");
        ClickText("Configure", "TFormBackupProp");
        ASSERT_TRUE(See([&](const Screen& s) {
            return s.Top("TFormProperties") && HasEdits(s, {Win(watched), Win(archive)});
        })) << "the settings are not there";
        Press("Cancel", "TFormProperties");
        Press("Cancel", "TFormBackupProp");
    });
    if (program_) {
        program_->Signal(SIGTERM);
        EXPECT_EQ(program_->Wait(20000), 0);
    }
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(120));
}

// Two people on one desktop: each start of the program finds only its own person's instance.
// The second runs without the test switch, and its windows stay closed to the probe.
TEST_F(WalkTest, ASecondProfileNeitherSeesNorHandsOverToTheFirst) {
    Desk desk;
    Start(desk, "first");
    ASSERT_TRUE(SeeText("Welcome", "TFormMain", 30)) << ReadFile(desk.root / "first-stderr.txt");
    auto first = std::move(program_);
    Start(desk, "second", false);
    ASSERT_TRUE(program_->WaitFor("Tarvik is running", 30000)) << ReadFile(desk.root / "second-stderr.txt");
    ASSERT_TRUE(Wait([&] { return RunTool({"xdotool", "search", "--onlyvisible", "--name", "^My Corvex$"}).find('\n') != std::string::npos; }))
        << "two main windows are not on the screen";
    EXPECT_FALSE(probe_->Look(&screen_)) << "the probe answers without the test switch";
    // Each has a session folder of its own below the one runtime folder.
    int sessions = 0;
    for (const auto& e : fs::directory_iterator(desk.root / "run")) sessions += e.path().filename().string().rfind("tarvik-", 0) == 0;
    EXPECT_EQ(sessions, 2);
    RunTool({"import", "-window", "root", (shots_ / "two-people.png").string()});
    // Neither was asked to come to the front.
    for (auto* p : {first.get(), program_.get()}) {
        p->Signal(SIGTERM);
        EXPECT_EQ(p->Wait(20000), 0);
        while (!p->ReadLine(1000).empty()) {
        }
        EXPECT_FALSE(p->SawLine("Brought to front"));
        EXPECT_FALSE(p->SawLine("Restored"));
    }
}

}  // namespace
