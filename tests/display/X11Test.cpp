// The main window on a real X server (its own Xvfb), driven as a person would through XTest
// (xdotool): it appears with its title, follows a resize, answers a click on the tree, closes
// through the window manager's message, and shows exactly what the offscreen renderer makes;
// the tool bar's menus are real popup windows, a modal form holds its owner, typed text
// arrives whole through the input method, and large selections pass to and from xclip.
// Screenshots of what the test saw stay in the test folder.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "manager/AddFolder.h"
#include "platform/MenuLoop.h"
#include "platform/StdCtrls.h"
#include "platform/TestLoop.h"
#include "platform/display/Backend.h"
#include "platform/display/Library.h"
#include "platform/display/Render.h"
#include "tests/common/X11Session.h"
#include "tests/display/X11Backend.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;
namespace display = platform::display;

namespace {

const auto* const g_xvfb = tarvik::test::AddX11Backend();
using tarvik::test::RunTool;

// A person at the display for the moments the test cannot act itself, while a menu or a
// modal form runs a loop of its own. Each step waits until its condition holds, then acts;
// the steps run from a timer of the GUI thread (so inside any loop), and the desktop tools
// they start run beside the loop, which keeps reading the display meanwhile. A step that
// waits too long makes the person give up: giveUp ends the loops, and the test fails.
class Person {
public:
    struct Step {
        const char* name;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    Person(std::vector<Step> steps, std::function<void()> giveUp, int patienceMillis = 10000)
        : steps_(std::move(steps)), giveUp_(std::move(giveUp)), patience_(patienceMillis) {
        current_ = this;
        since_ = std::chrono::steady_clock::now();
        timer_ = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { current_->Tick(); });
    }
    ~Person() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
        if (tool_.valid()) tool_.wait();
    }
    // Starts a desktop tool; the next step waits for it to end.
    void Run(std::vector<std::string> args) { tool_ = std::async(std::launch::async, tarvik::test::RunTool, std::move(args)); }
    bool Done() const { return next_ == steps_.size() && !(tool_.valid() && !ToolEnded()); }
    // The step the person gave up at ("" when every step ran).
    std::string GaveUpAt() const { return gaveUpAt_; }

private:
    bool ToolEnded() const { return tool_.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
    void Tick() {
        if (busy_ || next_ >= steps_.size() || !gaveUpAt_.empty()) return;
        if (tool_.valid() && !ToolEnded()) return;
        if (steps_[next_].ready()) {
            busy_ = true;
            steps_[next_++].act();
            busy_ = false;
            since_ = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - since_ > std::chrono::milliseconds(patience_)) {
            gaveUpAt_ = steps_[next_].name;
            next_ = steps_.size();
            giveUp_();
        }
    }
    static inline Person* current_ = nullptr;
    std::vector<Step> steps_;
    std::function<void()> giveUp_;
    int patience_;
    std::size_t next_ = 0;
    bool busy_ = false;
    std::string gaveUpAt_;
    std::chrono::steady_clock::time_point since_;
    UINT_PTR timer_ = 0;
    std::future<std::string> tool_;
};

class X11Test : public MainFixture {
protected:
    void SetUp() override {
        MainFixture::SetUp();
        platform::SetClock(nullptr);  // the display runs on real time
        shots_ = std::filesystem::path(TARVIK_RENDER_OUTPUT_DIR) / "x11";
        std::filesystem::create_directories(shots_);
    }
    // The X window of a top-level window, as the backend made it.
    std::string XWindow(HWND hwnd) {
        auto of = display::library::Entry<unsigned long (*)(HWND)>("TarvikX11WindowOf");
        return of ? std::to_string(of(hwnd)) : "0";
    }
    bool Pump(const std::function<bool()>& done, int millis = 5000) { return platform::RunLoopFor(done, millis, 10); }
    // Lets the loop go idle, so what was damaged has been drawn.
    void Settle() { Pump([] { return false; }, 150); }
    TFormMain* ShowMain() {
        TFormMain* f = Create();
        f->SetBounds(40, 40, 640, 480);
        f->Show();
        EXPECT_TRUE(Pump([&] { return XWindow(f->Handle()) != "0"; }));
        Settle();
        return f;
    }
    display::Image Screenshot(const std::string& window, const std::string& name) {
        std::string path = (shots_ / (name + ".png")).string();
        RunTool({"import", "-window", window, path});
        display::Image image;
        EXPECT_TRUE(display::ReadPng(path, &image)) << path;
        return image;
    }
    // True when the top-level's X window is mapped and viewable (and, when asked, bypasses
    // the window manager as popups do).
    bool Viewable(HWND hwnd, bool overrideRedirect = false) {
        std::string info = RunTool({"xwininfo", "-id", XWindow(hwnd)});
        return info.find("Map State: IsViewable") != std::string::npos &&
               (!overrideRedirect || info.find("Override Redirect State: yes") != std::string::npos);
    }
    // Arguments that make xdotool press at a point of a top-level window's client area.
    std::vector<std::string> ClickAt(HWND hwnd, POINT p) {
        return {"xdotool", "mousemove", "--window", XWindow(hwnd), std::to_string(p.x), std::to_string(p.y), "click", "1"};
    }
    // A control's centre in the client coordinates of its top-level window top.
    POINT CentreOf(TControl* c, HWND top) {
        TPoint s = c->ClientToScreen(Point(c->Width() / 2, c->Height() / 2));
        POINT p{s.x, s.y};
        ScreenToClient(top, &p);
        return p;
    }
    RECT NodeRect(TFormMain* f, TTreeExNode* node) {
        RECT r = node->ItemRect(true);
        MapWindowPoints(f->TreeEx->Handle(), f->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static void FlushDisplay() { display::Current().Flush(); }
    std::filesystem::path shots_;
    Person* person_ = nullptr;
};

TEST_F(X11Test, TheMainWindowAppearsFollowsAResizeAndAnswersAClickOnTheTree) {
    TFormMain* f = ShowMain();
    const std::string win = XWindow(f->Handle());
    EXPECT_EQ(RunTool({"xdotool", "getwindowname", win}), f->Caption());

    // A person makes the window larger: the tree and the page follow.
    const int pageWidth = f->PageControl->Width(), treeHeight = f->TreeEx->Height();
    RunTool({"xdotool", "windowsize", win, "800", "600"});
    ASSERT_TRUE(Pump([&] { return f->ClientWidth() == 800 && f->ClientHeight() == 600; }))
        << f->ClientWidth() << "x" << f->ClientHeight();
    EXPECT_EQ(f->PageControl->Width(), pageWidth + 800 - 632);
    EXPECT_GT(f->TreeEx->Height(), treeHeight);

    // A click on a folder's node selects it and shows its page.
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->BackupRoot->SetExpanded(true);
    f->TreeEx->SetSelected(f->HistoryRoot);
    Settle();
    ASSERT_NE(f->CurrentNode, docs);
    RECT r = NodeRect(f, docs);
    RunTool({"xdotool", "mousemove", "--window", win, std::to_string(r.left + 5), std::to_string((r.top + r.bottom) / 2),
         "click", "1"});
    ASSERT_TRUE(Pump([&] { return f->CurrentNode == docs; }));
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:Docs");

    // What the person sees is what the offscreen renderer makes of the same window.
    Settle();
    display::Image screen = Screenshot(win, "main-after-click");
    display::Image offscreen;
    ASSERT_TRUE(display::RenderToImage(f->Handle(), &offscreen));
    display::Image diff;
    EXPECT_EQ(display::CompareImages(offscreen, screen, 0, &diff), 0);
}

TEST_F(X11Test, TheWindowManagersCloseRunsTheCloseStepAndSavesTheCatalogue) {
    TFormMain* f = ShowMain();
    Add(f->BackupRoot, "Docs", nkFolder);
    auto close = display::library::Entry<void (*)(HWND)>("TarvikX11RequestClose");
    ASSERT_NE(close, nullptr);
    const std::string catalogue = platform::ToPosixPath(f->BackupListFile);
    close(f->Handle());
    // The close step puts the window away (to the tray or the task bar) and saves the catalogue.
    ASSERT_TRUE(Pump([&] { return !IsWindowVisible(f->Handle()) || IsIconic(f->Handle()); }));
    EXPECT_TRUE(IsWindow(f->Handle()));
    const String saved = env.ReadText(catalogue);
    EXPECT_NE(saved.find("1|Docs|1|"), String::npos) << saved;
    Screenshot("root", "after-close");
}

TEST_F(X11Test, TheFileButtonDropsDownAPopupWindowThatEscapeOrAClickOutsideCloses) {
    TFormMain* f = ShowMain();
    std::vector<TTreeExNode*> folders;
    for (const char* name : {"Docs", "Music", "Photos", "Mail", "Code", "Notes", "Games", "Books"})
        folders.push_back(Add(f->BackupRoot, name, nkFolder));
    f->BackupRoot->SetExpanded(true);
    f->TreeEx->SetSelected(f->BackupRoot);
    Settle();
    const POINT fileButton = CentreOf(f->tbFile, f->Handle());
    TTreeExNode* outside = nullptr;  // the first node below the menu
    auto menu = [] { return platform::OpenMenuWindows().empty() ? nullptr : platform::OpenMenuWindows().front(); };
    std::vector<String> captions;
    int differing = -1;
    COLORREF onRoot = 0, inMenu = 1;
    Person person(
        {{"the menu appears as a popup window",
          [&] { return menu() && XWindow(menu()) != "0" && Viewable(menu(), true); },
          [&] {
              FlushDisplay();
              for (TMenuItem* item : platform::MenuWindowItems(menu())) captions.push_back(item->Caption());
              display::Image shot = Screenshot(XWindow(menu()), "file-menu"), offscreen;
              ASSERT_TRUE(display::RenderToImage(menu(), &offscreen));
              differing = display::CompareImages(offscreen, shot, 0);
              RECT r;
              GetWindowRect(menu(), &r);
              display::Image root = Screenshot("root", "file-menu-on-screen");
              onRoot = root.At(r.left + 30, r.top + 10);
              inMenu = offscreen.At(30, 10);
              person_->Run({"xdotool", "key", "Escape"});
          }},
         {"Escape closes it",
          [&] { return !platform::InMenuLoop(); },
          [&] { person_->Run(ClickAt(f->Handle(), fileButton)); }},
         {"it drops down again", [&] { return menu() && Viewable(menu(), true); },
          [&] {
              // A press on the tree outside the menu closes it, and is not passed on.
              RECT m;
              GetWindowRect(menu(), &m);
              POINT origin{0, 0};
              ClientToScreen(f->Handle(), &origin);
              for (TTreeExNode* n : folders)
                  if (!outside && NodeRect(f, n).top + origin.y > m.bottom) outside = n;
              ASSERT_NE(outside, nullptr);
              RECT r = NodeRect(f, outside);
              person_->Run(ClickAt(f->Handle(), POINT{r.left + 5, (r.top + r.bottom) / 2}));
          }},
         {"a click outside closes it", [&] { return !platform::InMenuLoop(); }, [] {}}},
        [] { platform::EndMenu(); });
    person_ = &person;
    RunTool(ClickAt(f->Handle(), fileButton));
    EXPECT_TRUE(Pump([&] { return person.Done(); }, 30000));
    EXPECT_EQ(person.GaveUpAt(), "");
    EXPECT_EQ(captions, (std::vector<String>{"Add", "-", "Properties", "Exit"}));
    EXPECT_EQ(differing, 0) << "the menu on the screen is not what the renderer made";
    EXPECT_EQ(onRoot, inMenu) << "the menu is not on the screen";
    EXPECT_TRUE(platform::OpenMenuWindows().empty());
    EXPECT_EQ(f->TreeEx->Selected(), f->BackupRoot);
}

TEST_F(X11Test, ModalFormsHoldTheirOwnerTakeTypedTextWholeAndCancel) {
    TFormMain* f = ShowMain();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->BackupRoot->SetExpanded(true);
    f->TreeEx->SetSelected(f->HistoryRoot);
    Settle();
    const RECT docsRect = NodeRect(f, docs);
    const POINT onDocs{docsRect.left + 5, (docsRect.top + docsRect.bottom) / 2};
    auto* dialog = new TFormAddFolder(f);
    TEdit* name = dialog->tsAddFolder_Name;
    // Typed as a person types: ASCII, then characters the keyboard map lacks (xdotool puts
    // them on a spare key, the input method makes them text), then a dead key before a letter.
    const String typed = "Docs \xC3\xA9\xE2\x9C\x93\xD0\xB6";
    const String composed = "\xC3\xA9";
    bool ownerHeld = false;
    String afterTyping, afterDeadKey;
    auto utf8 = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"env", "LC_ALL=C.UTF-8"});
        return args;
    };
    Person person(
        {{"the form is up and holds its owner",
          [&] { return dialog->Visible() && XWindow(dialog->Handle()) != "0" && Viewable(dialog->Handle()) && !IsWindowEnabled(f->Handle()); },
          [&] {
              // A press on the owner's tree; the pointer then rests on the form, so the press
              // has been read once the layer sees the pointer there.
              auto args = ClickAt(f->Handle(), onDocs);
              args.insert(args.end(), {"mousemove", "--window", XWindow(dialog->Handle()), "7", "9"});
              person_->Run(args);
          }},
         {"the press on the owner was read",
          [&] {
              POINT p;
              GetCursorPos(&p);
              ScreenToClient(dialog->Handle(), &p);
              return p.x == 7 && p.y == 9;
          },
          [&] {
              ownerHeld = f->CurrentNode != docs && f->TreeEx->Selected() != docs;
              person_->Run(ClickAt(dialog->Handle(), CentreOf(name, dialog->Handle())));
          }},
         {"the name has the focus", [&] { return name->Focused(); },
          [&] {
              name->SetText("");
              person_->Run(utf8({"xdotool", "type", "--delay", "40", typed}));
          }},
         {"the typed text arrived", [&] { return name->Text() == typed; },
          [&] {
              afterTyping = name->Text();
              person_->Run(utf8({"xdotool", "key", "--delay", "40", "dead_acute", "e"}));
          }},
         {"the dead key made one character", [&] { return name->Text().size() > typed.size(); },
          [&] {
              afterDeadKey = name->Text();
              FlushDisplay();
              Screenshot(XWindow(dialog->Handle()), "add-folder-typed");
              person_->Run(ClickAt(dialog->Handle(), CentreOf(dialog->cmdCancel, dialog->Handle())));
          }},
         {"Cancel closed the form", [&] { return !dialog->Visible(); }, [] {}}},
        [&] { dialog->SetModalResult(mrAbort); });
    person_ = &person;
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(person.GaveUpAt(), "");
    EXPECT_EQ(dialog->DialogResult, 2);
    EXPECT_TRUE(ownerHeld) << "a press on the owner's tree reached it";
    EXPECT_EQ(afterTyping, typed);
    EXPECT_EQ(afterDeadKey, typed + composed);
    delete dialog;

    // The about box closes on Escape.
    auto* about = new TFormAbout(f);
    Person escape({{"the box is up",
                    [&] { return about->Visible() && Viewable(about->Handle()) && !IsWindowEnabled(f->Handle()); },
                    [&] { person_->Run({"xdotool", "key", "Escape"}); }},
                   {"Escape closed it", [&] { return !about->Visible(); }, [] {}}},
                  [&] { about->SetModalResult(mrAbort); });
    person_ = &escape;
    EXPECT_EQ(about->ShowModal(), mrCancel);  // frees itself afterwards
    EXPECT_EQ(escape.GaveUpAt(), "");

    // The owner answers again.
    EXPECT_TRUE(IsWindowEnabled(f->Handle()));
    RunTool(ClickAt(f->Handle(), onDocs));
    EXPECT_TRUE(Pump([&] { return f->CurrentNode == docs; }));
}

TEST_F(X11Test, LargeSelectionsPassWholeToAndFromAnotherProgram) {
    auto* form = new TForm(Application);
    form->SetBounds(60, 60, 400, 300);
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetAlign(alClient);
    form->Show();
    ASSERT_TRUE(Pump([&] { return XWindow(form->Handle()) != "0" && Viewable(form->Handle()); }));
    // Over a megabyte, every line with characters of several bytes, which the chunks of the
    // transfer cut anywhere.
    String text;
    for (int i = 0; text.size() < (1u << 20) + 1000; ++i) text += "line " + std::to_string(i) + " \xC3\xA9\xE2\x9C\x93\xD0\xB6 of a long text\n";
    const std::string file = (shots_ / "selection.txt").string();
    std::ofstream(file, std::ios::binary) << text;

    // Copied in xclip (which serves one request and ends), pasted here; until xclip holds
    // the clipboard a paste finds nothing and is tried again.
    auto owner = std::async(std::launch::async, RunTool,
                            std::vector<std::string>{"xclip", "-quiet", "-loops", "1", "-selection", "clipboard", "-i", file});
    // Whatever happens, xclip ends: it does when another program takes the clipboard.
    struct TakeBack {
        std::future<std::string>& owner;
        ~TakeBack() {
            if (owner.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return;
            display::SetSelectionText(display::Selection::Clipboard, "");
            platform::RunLoopFor([&] { return owner.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000, 10);
        }
    } takeBack{owner};
    RunTool(ClickAt(form->Handle(), POINT{50, 50}));
    ASSERT_TRUE(Pump([&] { return memo->Focused(); }));
    auto pasted = [&] { return !memo->Text().empty(); };
    for (int tries = 0; tries < 50 && !pasted(); ++tries) {
        RunTool({"xdotool", "key", "ctrl+v"});
        Pump(pasted, 200);
    }
    ASSERT_TRUE(Pump([&] { return owner.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    EXPECT_EQ(memo->Text().size(), text.size());
    EXPECT_TRUE(memo->Text() == text) << "what was pasted differs from what xclip offered";

    // Copied here, read by xclip.
    memo->SetText(text + "and back");
    RunTool({"xdotool", "key", "ctrl+a", "ctrl+c"});
    // xclip asks only once: it must find the copy already made.
    ASSERT_TRUE(Pump([&] { return display::SelectionText(display::Selection::Clipboard).size() == text.size() + 8; }));
    auto read = std::async(std::launch::async, RunTool, std::vector<std::string>{"xclip", "-selection", "clipboard", "-o"});
    ASSERT_TRUE(Pump([&] { return read.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    const std::string back = read.get();
    EXPECT_EQ(back.size(), text.size() + 8);
    EXPECT_TRUE(back == text + "and back") << "xclip read something else";
    delete form;
}

}  // namespace
