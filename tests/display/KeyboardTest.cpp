// Every form worked by the keyboard alone: Tab reaches each control that takes the focus, once,
// and comes back round; Shift+Tab walks the same ring backwards; the focused control looks
// different from the unfocused one; Space and Return press the focused button (Space toggles
// a check box). Keys go in through the layer's input functions, as the display delivers them.
#include <algorithm>
#include <functional>
#include <set>

#include "RenderFixture.h"
#include "manager/AddFolder.h"
#include "manager/BackupProp.h"
#include "manager/Options.h"
#include "platform/BoxForms.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/MessageLoop.h"
#include "platform/display/Input.h"
#include "plugin/FormProperties.h"
#include "plugin/PageWindow.h"
#include "plugin/QelSettings.h"
#include "plugin/ZipArchive.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

constexpr int kF10 = 0x79;

TWinControl* ControlOf(HWND h) { return static_cast<TWinControl*>(GetPropA(h, "TarvikControl")); }

void Key(int vk) {
    platform::display::InputKey(vk, true, "", 0);
    platform::display::InputKey(vk, false, "", 0);
    Application->ProcessMessages();
}

// The windows a person should reach with Tab: tab stops that are shown and enabled, with
// every window above them shown and enabled too.
std::vector<HWND> Reachable(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(
        top, [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE_;
        },
        reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> stops;
    for (HWND h : all) {
        bool ok = (GetWindowLongA(h, GWL_STYLE) & static_cast<LONG>(WS_TABSTOP)) != 0;
        for (HWND w = h; ok && w && w != top; w = GetParent(w))
            ok = IsWindowVisible(w) && IsWindowEnabled(w);
        if (ok) stops.push_back(h);
    }
    return stops;
}

// How many pixels of the control's place differ between two renderings.
int DifferenceInside(HWND top, HWND control, const platform::display::Image& a, const platform::display::Image& b) {
    RECT r;
    GetWindowRect(control, &r);
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    // The focus mark may sit just outside the control (a ring round a check box's caption).
    const int left = static_cast<int>(r.left - origin.x) - 2, top_ = static_cast<int>(r.top - origin.y) - 2;
    const int right = static_cast<int>(r.right - origin.x) + 2, bottom = static_cast<int>(r.bottom - origin.y) + 2;
    int differing = 0;
    for (int y = std::max(0, top_); y < std::min(a.height, bottom); ++y)
        for (int x = std::max(0, left); x < std::min(a.width, right); ++x) differing += a.At(x, y) != b.At(x, y);
    return differing;
}

platform::display::Image Render(HWND h) {
    platform::display::Image image;
    EXPECT_TRUE(platform::display::RenderToImage(h, &image));
    return image;
}

// The whole keyboard walk over the form whose top-level window is top.
void WalkByKeyboard(const std::string& form, HWND top) {
    SCOPED_TRACE(form);
    Application->ProcessMessages();
    const std::vector<HWND> stops = Reachable(top);
    ASSERT_FALSE(stops.empty());
    SetFocus(stops.front());

    std::vector<HWND> forward{GetFocus()};
    for (std::size_t i = 0; i < stops.size(); ++i) {
        Key(VK_TAB);
        forward.push_back(GetFocus());
    }
    EXPECT_EQ(forward.back(), forward.front()) << "Tab does not come back round after " << stops.size() << " stops";
    forward.pop_back();
    EXPECT_EQ(std::set<HWND>(forward.begin(), forward.end()), std::set<HWND>(stops.begin(), stops.end()))
        << "Tab reaches other windows than the tab stops";

    std::vector<HWND> backward{GetFocus()};
    platform::display::InputKey(VK_SHIFT, true, "", 0);
    for (std::size_t i = 1; i < forward.size(); ++i) {
        Key(VK_TAB);
        backward.push_back(GetFocus());
    }
    platform::display::InputKey(VK_SHIFT, false, "", 0);
    std::reverse(backward.begin() + 1, backward.end());
    EXPECT_EQ(backward, forward) << "Shift+Tab does not walk the ring backwards";

    for (std::size_t i = 0; i < forward.size() && forward.size() > 1; ++i) {
        HWND here = forward[i], other = forward[(i + 1) % forward.size()];
        TWinControl* control = ControlOf(here);
        const std::string name = control ? control->Name() + " (" + control->ClassName() + ")" : "?";
        SetFocus(here);
        const platform::display::Image focused = Render(top);
        SetFocus(other);
        const platform::display::Image unfocused = Render(top);
        EXPECT_GT(DifferenceInside(top, here, focused, unfocused), 0) << name << " shows no focus";

        SetFocus(here);
        if (auto* box = dynamic_cast<TCheckBox*>(control)) {
            const bool was = box->Checked();
            Key(VK_SPACE);
            EXPECT_NE(box->Checked(), was) << name << ": Space does not toggle it";
            Key(VK_SPACE);
        } else if (auto* button = dynamic_cast<TButton*>(control)) {
            // Pressed means clicked: counted instead of acted on, and the form's answer undone.
            int presses = 0;
            TNotifyEvent click = button->OnClick;
            const TModalResult result = button->ModalResult();
            button->OnClick = [&presses](TObject*) { ++presses; };
            button->SetModalResult(mrNone);
            for (int vk : {VK_SPACE, VK_RETURN}) {
                SetFocus(here);
                Key(vk);
            }
            button->OnClick = click;
            button->SetModalResult(result);
            EXPECT_EQ(presses, 2) << name << ": Space and Return do not both press it";
        }
    }
}

class KeyboardTest : public MainFixture {
protected:
    // Shows a form of the program, walks it, frees it.
    void Walk(const std::string& name, TCustomForm* form) {
        form->Show();
        WalkByKeyboard(name, form->Handle());
        form->Free();
    }
    // A box the program shows, as the person at the display gets it, walked while it waits.
    void WalkBox(const std::string& name, const std::function<void()>& show) {
        bool walked = false;
        platform::ForcePersonAtDisplayForTesting(true);
        platform::SetPersonIdleHook([&] {
            if (walked) return false;  // answered: the box closes as by Escape
            walked = true;
            WalkByKeyboard(name, GetActiveWindow());
            return true;
        });
        show();
        platform::SetPersonIdleHook({});
        platform::ForcePersonAtDisplayForTesting(std::nullopt);
        EXPECT_TRUE(walked) << name << " never waited for the person";
    }
};

TEST_F(KeyboardTest, EveryFormIsWorkedByTabSpaceAndReturn) {
    TFormMain* f = Create();
    f->Show();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    for (auto [page, node] : {std::pair{"main window, welcome", f->BackupRoot}, {"main window, folder", docs},
                              {"main window, actions", f->ActionsRoot}, {"main window, history", f->HistoryRoot}}) {
        f->TreeEx->SetSelected(node);
        WalkByKeyboard(page, f->Handle());
    }
    // The menus hold commands no control shows: F10 opens the first, as a menu bar's does.
    int opened = 0;
    TNotifyEvent popup = f->mnuFile->OnPopup;
    f->mnuFile->OnPopup = [&opened](TObject*) { ++opened; };
    f->TreeEx->SetFocus();
    platform::ForcePersonAtDisplayForTesting(true);
    platform::SetPersonIdleHook([] { return false; });  // the person walks away: the menu closes
    Key(kF10);
    platform::SetPersonIdleHook({});
    platform::ForcePersonAtDisplayForTesting(std::nullopt);
    f->mnuFile->OnPopup = popup;
    EXPECT_EQ(opened, 1) << "F10 does not open the File menu";

    Walk("Add Folder", new TFormAddFolder(f));
    auto* backup = new TFormBackupProp(f, f->Plugins(), f->PluginsFolder);
    ChooseFirst(backup->tsBackup_SystemName);
    Type(backup->tsBackup_BackupName, "Notes");  // every button of the form enabled
    Walk("Add Backup", backup);
    auto* options = new TFormOptions(f);
    for (TTabSheet* sheet : {options->tsGeneral, options->tsActions, options->tsBackup}) {
        options->PageControl->SetActivePage(sheet);
        options->Show();
        WalkByKeyboard("Options, " + sheet->Caption(), options->Handle());
    }
    options->Free();
    Walk("About", new TFormAbout(f));
    auto* settings = new qel::TFormProperties(nullptr);
    settings->cCloseApp->SetChecked(true);  // its program box and password edit enabled
    settings->cPassword->SetChecked(true);
    Walk("plug-in settings", settings);

    // The plug-in's page inside a panel of its host, on each of its tabs.
    qel::SaveQelSettings(env.Win("{1}"), qel::TQelSettings{});
    qel::TPageWindow* page = qel::TPageWindow::Create(Application, f->PanelMain->Handle(), env.Win("{1}"),
                                                      qel::MakeZipArchive(),
                                                      platform::FromPosixPath(TARVIK_BIN_DIR "/Plugins/QelBackup") + "\\");
    f->PageControl->SetActivePage(f->tsFiles);
    for (TTabSheet* sheet : {page->Form()->tsRestore, page->Form()->tsInfo, page->Form()->tsHelp}) {
        page->Form()->PageControl->SetActivePage(sheet);
        WalkByKeyboard("plug-in page, " + sheet->Caption(), f->Handle());
    }

    WalkBox("question box", [] { MessageBoxA(nullptr, "Delete Docs", "Tarvik", MB_YESNO | MB_ICONQUESTION); });
    WalkBox("input box", [] {
        String answer;
        InputQuery("Search", "Search in history.", answer);
    });
}

}  // namespace
