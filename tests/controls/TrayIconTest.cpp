// The tray icon: the notification-area record, the icon's mouse messages as events and menus,
// cycling through an image list on the manual clock, and the two window subclasses.
#include "TreeTestSupport.h"

#include "controls/TrayIcon.h"
#include "platform/DesktopServices.h"

namespace {

class TrayFixture : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        platform::ClearNotifyIcons();
        SetCursorPos(300, 400);
    }
    void TearDown() override {
        TreeFixture::TearDown();
        platform::ClearNotifyIcons();
    }

    TTrayIcon* NewTray() {
        auto* t = new TTrayIcon(form);
        t->SetPopupMenu(nullptr);
        return t;
    }
    // The icon's mouse message as the shell sends it to the callback window.
    static void Mouse(TTrayIcon* t, UINT mouseMessage) {
        SendMessageA(t->CallbackWindow(), TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, mouseMessage);
    }
    static std::vector<platform::NotifyIcon> Icons() { return platform::NotifyIcons(); }

    // An image list of count images, image n filled with colour n + 1.
    TImageList* NewImages(Integer count) {
        auto* list = new TImageList(16, 16, form);
        for (Integer n = 0; n < count; ++n) {
            TBitmap bmp(16, 16);
            for (Integer y = 0; y < 16; ++y)
                for (Integer x = 0; x < 16; ++x) bmp.SetPixel(x, y, static_cast<TColor>(n + 1));
            list->Add(&bmp, nullptr);
        }
        return list;
    }
    // A shown main form with an icon of its own that minimises into the tray.
    static TTrayIcon* MinimisingTray(TForm*& main) {
        Application->CreateForm(main);
        main->Show();
        auto* t = new TTrayIcon(main);
        t->SetMinimizeToTray(true);
        return t;
    }
    static TColor Shown(TTrayIcon* t) { return t->Icon()->Image().Pixel(4, 4); }
    void Record(TTrayIcon* t) {
        t->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
            log.push_back("Down" + std::to_string(b) + (s & ssLeft ? "L" : "") + (s & ssRight ? "R" : "") + "@" +
                          std::to_string(x) + "," + std::to_string(y));
        };
        t->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int, int) { log.push_back("Up" + std::to_string(b)); };
        t->OnClick = [this](TObject*) { log.push_back("Click"); };
        t->OnDblClick = [this](TObject*) { log.push_back("DblClick"); };
        t->OnMouseMove = [this](TObject*, TShiftState, int, int) { log.push_back("Move"); };
    }
};

TEST_F(TrayFixture, IconEntersAtAfterLoadFollowsIconVisibleAndLeavesAtDestruction) {
    TTrayIcon* t = NewTray();
    EXPECT_TRUE(Icons().empty());
    t->SetHint("Click for option's");
    t->SetShowHint(true);
    t->AfterLoad();
    ASSERT_EQ(Icons().size(), 1u);
    EXPECT_EQ(Icons()[0].hwnd, t->CallbackWindow());
    EXPECT_EQ(Icons()[0].id, 1u);
    EXPECT_EQ(Icons()[0].callbackMessage, 0x0800u);
    EXPECT_EQ(Icons()[0].tip, "Click for option's");
    t->SetIconVisible(false);
    EXPECT_TRUE(Icons().empty());
    EXPECT_FALSE(t->IconVisible());
    EXPECT_TRUE(t->ShowIcon());
    EXPECT_FALSE(t->ShowIcon());  // already there: the shell refuses, nothing is raised
    t->Free();
    EXPECT_TRUE(Icons().empty());
}

struct TipCase {
    const char* name;
    std::string hint;
    bool showHint;
    std::string tip;
};
class TrayTips : public TrayFixture, public ::testing::WithParamInterface<TipCase> {};

TEST_P(TrayTips, ShowTheHintCutToTheRecord) {
    TTrayIcon* t = NewTray();
    t->AfterLoad();
    t->SetHint(GetParam().hint);
    t->SetShowHint(GetParam().showHint);
    ASSERT_EQ(Icons().size(), 1u);
    EXPECT_EQ(Icons()[0].tip, GetParam().tip);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrayTips,
    ::testing::Values(TipCase{"Shown", "Tip", true, "Tip"}, TipCase{"NotShown", "Tip", false, ""},
                      TipCase{"Exactly63", std::string(63, 'a'), true, std::string(63, 'a')},
                      TipCase{"Of64CutTo63", std::string(64, 'b'), true, std::string(63, 'b')},
                      // 62 bytes then a two-byte character: the cut never splits it.
                      TipCase{"CutBeforeASplitCharacter", std::string(62, 'c') + "\xC3\xA9", true, std::string(62, 'c')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrayFixture, PressAndReleaseGiveDownClickUpWithTheCursorPosition) {
    TTrayIcon* t = NewTray();
    Record(t);
    Mouse(t, WM_LBUTTONDOWN);
    Mouse(t, WM_LBUTTONUP);
    EXPECT_EQ(log, (std::vector<std::string>{"Down0L@300,400", "Click", "Up0"}));
    log.clear();
    Mouse(t, WM_LBUTTONUP);  // no press on the icon first
    Mouse(t, WM_MBUTTONDOWN);
    Mouse(t, WM_RBUTTONDBLCLK);
    Mouse(t, WM_MOUSEMOVE);
    EXPECT_EQ(log, (std::vector<std::string>{"Up0", "Down2@300,400", "Move"}));
}

TEST_F(TrayFixture, DisabledIconStaysButRaisesNothing) {
    TTrayIcon* t = NewTray();
    t->AfterLoad();
    Record(t);
    auto* menu = new TPopupMenu(form);
    t->SetPopupMenu(menu);
    t->SetEnabled(false);
    Mouse(t, WM_LBUTTONDOWN);
    Mouse(t, WM_LBUTTONUP);
    Mouse(t, WM_RBUTTONDOWN);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(platform::ShownPopups().empty());
    EXPECT_EQ(Icons().size(), 1u);
}

TEST_F(TrayFixture, RightButtonOpensTheMenuAtTheCursorAndLeftOnlyWithLeftPopup) {
    TTrayIcon* t = NewTray();
    auto* menu = new TPopupMenu(form);
    menu->SetName("TrayMenu");
    t->SetPopupMenu(menu);
    Mouse(t, WM_LBUTTONDOWN);
    EXPECT_TRUE(platform::ShownPopups().empty());
    Mouse(t, WM_RBUTTONDOWN);
    ASSERT_EQ(platform::ShownPopups().size(), 1u);
    EXPECT_EQ(platform::ShownPopups()[0].at.x, 300);
    EXPECT_EQ(menu->PopupComponent(), t);
    t->SetLeftPopup(true);
    Mouse(t, WM_LBUTTONDOWN);
    EXPECT_EQ(platform::ShownPopups().size(), 2u);
    menu->SetAutoPopup(false);
    Mouse(t, WM_RBUTTONDOWN);
    EXPECT_EQ(platform::ShownPopups().size(), 2u);
}

TEST_F(TrayFixture, DoubleClickRunsTheFirstDefaultItemUnlessTheLeftButtonPopsUp) {
    TTrayIcon* t = NewTray();
    auto* menu = new TPopupMenu(form);
    std::vector<std::string> clicked;
    for (int i = 0; i < 4; ++i) {
        auto* item = new TMenuItem(menu);
        item->SetCaption("Item" + std::to_string(i));
        item->SetDefault(i == 1 || i == 3);
        item->OnClick = [&clicked, i](TObject*) { clicked.push_back("Item" + std::to_string(i)); };
        menu->Items()->Add(item);
    }
    t->SetPopupMenu(menu);
    Mouse(t, WM_LBUTTONDBLCLK);
    EXPECT_EQ(clicked, (std::vector<std::string>{"Item1"}));
    t->SetLeftPopup(true);
    Mouse(t, WM_LBUTTONDBLCLK);
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(TrayFixture, IconIndexIsClampedToTheList) {
    TTrayIcon* t = NewTray();
    t->SetIconIndex(5);
    EXPECT_EQ(t->IconIndex(), 0);  // no list
    t->SetIconList(NewImages(4));
    t->SetIconIndex(10);
    EXPECT_EQ(t->IconIndex(), 3);
    EXPECT_EQ(Shown(t), 4);
    t->SetIconIndex(-2);
    EXPECT_EQ(t->IconIndex(), 0);
    EXPECT_EQ(Shown(t), 1);
    t->SetIconList(NewImages(0));
    t->SetIconIndex(2);
    EXPECT_EQ(t->IconIndex(), 0);
}

TEST_F(TrayFixture, CyclingStepsThroughTheImagesOnTheTimer) {
    TTrayIcon* t = NewTray();
    t->AfterLoad();
    t->SetIconList(NewImages(3));
    t->SetCycleInterval(200);
    std::vector<Integer> reported;
    std::vector<TColor> shown;
    t->OnCycle = [&](TObject*, Integer next) { reported.push_back(next); };
    t->SetCycleIcons(true);
    for (int step = 0; step < 4; ++step) {
        clock.Advance(200);
        shown.push_back(Shown(t));
    }
    EXPECT_EQ(reported, (std::vector<Integer>{1, 2, 0, 1}));
    EXPECT_EQ(shown, (std::vector<TColor>{2, 3, 1, 2}));  // images 1, 2, 0, 1
    EXPECT_EQ(Icons()[0].icon, t->Icon()->Handle());
    t->SetCycleIcons(false);
    clock.Advance(1000);
    EXPECT_EQ(reported.size(), 4u);
}

TEST_F(TrayFixture, FreedImageListAndMenuAreForgotten) {
    TTrayIcon* t = NewTray();
    TImageList* list = NewImages(3);
    auto* menu = new TPopupMenu(form);
    t->SetIconList(list);
    t->SetIconIndex(2);
    t->SetPopupMenu(menu);
    t->SetCycleInterval(100);
    t->SetCycleIcons(true);
    list->Free();
    menu->Free();
    EXPECT_EQ(t->IconList(), nullptr);
    EXPECT_EQ(t->IconIndex(), 0);
    EXPECT_EQ(t->PopupMenu(), nullptr);
    TColor before = Shown(t);
    clock.Advance(500);  // the cycle step changes nothing without a list
    EXPECT_EQ(Shown(t), before);
    Mouse(t, WM_RBUTTONDOWN);
    EXPECT_TRUE(platform::ShownPopups().empty());
}

TEST_F(TrayFixture, MinimisingHidesIntoTheIconAndShowingTheFormBringsItBack) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(Application->MainForm(), main);
    main->Show();
    auto* t = new TTrayIcon(main);
    t->SetMinimizeToTray(true);
    t->SetIconVisible(false);
    HWND app = Application->Handle();
    ShowWindow(app, SW_SHOW);
    SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(t->IconVisible());
    EXPECT_EQ(Icons().size(), 1u);
    EXPECT_FALSE(IsWindowVisible(app));
    EXPECT_FALSE(main->Visible());
    // The tray menu's "Open" shows the main form: the program is back in front.
    main->Show();
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_EQ(GetForegroundWindow(), main->Handle());
}

TEST_F(TrayFixture, TheDesktopMinimisingTheMainFormHidesItIntoTheIcon) {
    TForm* main = nullptr;
    MinimisingTray(main);
    // What the layer does when the window manager iconifies the main window.
    ShowWindow(main->Handle(), SW_SHOWMINNOACTIVE);
    EXPECT_FALSE(main->Visible());
    EXPECT_EQ(Icons().size(), 1u);
    main->Show();
    EXPECT_TRUE(IsWindowVisible(main->Handle()));
    EXPECT_FALSE(IsIconic(main->Handle()));
}

// A desktop with the services live but neither a StatusNotifierWatcher nor a system tray.
class NoTrayFixture : public TrayFixture {
protected:
    void SetUp() override {
        TrayFixture::SetUp();
        if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) oldBus_ = old;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarvik-test-bus", 1);
        platform::desktop::SetServicesLive(true);
    }
    void TearDown() override {
        platform::desktop::SetServicesLive(false);
        if (oldBus_.empty()) ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        else ::setenv("DBUS_SESSION_BUS_ADDRESS", oldBus_.c_str(), 1);
        TrayFixture::TearDown();
    }
    std::string oldBus_;
};

TEST_F(NoTrayFixture, WithoutANotificationAreaTheProgramStaysOnTheTaskbar) {
    TForm* main = nullptr;
    TTrayIcon* t = MinimisingTray(main);
    t->SetStartMinimized(true);
    t->AfterLoad();
    EXPECT_FALSE(t->ModifyIcon());  // the shell keeps the record, the desktop shows nothing
    EXPECT_TRUE(Application->ShowMainForm());

    HWND app = Application->Handle();
    ShowWindow(app, SW_SHOW);
    SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(main->Visible());
    EXPECT_TRUE(IsWindowVisible(app));
}

TEST_F(TrayFixture, StartMinimizedKeepsTheMainFormHiddenAtLoad) {
    TTrayIcon* t = NewTray();
    t->SetStartMinimized(true);
    ShowWindow(Application->Handle(), SW_SHOW);
    t->AfterLoad();
    EXPECT_FALSE(Application->ShowMainForm());
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    EXPECT_EQ(Icons().size(), 1u);
    Application->SetShowMainForm(true);  // the application object outlives the case
}

TEST_F(TrayFixture, SubclassesGoBackAndEndSessionIsNeverHeldUp) {
    WNDPROC formProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(form->Handle(), GWLP_WNDPROC));
    WNDPROC appProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC));
    TTrayIcon* first = NewTray();
    TTrayIcon* second = NewTray();
    EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(form->Handle(), GWLP_WNDPROC)), formProc);
    EXPECT_EQ(SendMessageA(first->CallbackWindow(), WM_QUERYENDSESSION, 0, 0), 1);
    first->Free();  // freed before the second: the chain still forwards
    EXPECT_EQ(SendMessageA(form->Handle(), WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(form->Caption().size()));
    second->Free();
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(form->Handle(), GWLP_WNDPROC)), formProc);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC)), appProc);
}

TEST_F(TrayFixture, OwnerThatIsNoWindowedControlIsRefused) {
    auto* timer = new TTimer(form);
    EXPECT_THROW(new TTrayIcon(timer), EInvalidCast);
    EXPECT_EQ(timer->ComponentCount(), 0);
}

class DesignTray : public TTrayIcon {
public:
    using TTrayIcon::TTrayIcon;
    void Design() { SetDesignTime(true); }
};

TEST_F(TrayFixture, DesignPreviewShowsTheIconWithoutChangingIconVisible) {
    auto* t = new DesignTray(form);
    t->Design();
    t->SetIconVisible(false);
    t->SetIconVisible(true);
    EXPECT_TRUE(Icons().empty());  // at design time only a preview reaches the shell
    t->SetDesignPreview(true);
    EXPECT_EQ(Icons().size(), 1u);
    EXPECT_TRUE(t->IconVisible());
    t->SetIconVisible(false);
    t->SetDesignPreview(false);
    EXPECT_TRUE(Icons().empty());
    EXPECT_FALSE(t->IconVisible());
}

}  // namespace
