// Windows behind controls: re-creation, subclassed classes, deferred freeing, the main loop.
#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"

namespace {

using forms_test::FormsTest;

std::vector<String> g_log;

class Logged : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const noexcept override { return "TLogged"; }

protected:
    void CreateWnd() override {
        TWinControl::CreateWnd();
        g_log.push_back("create " + Name());
    }
    void DestroyWnd() override {
        g_log.push_back("destroy " + Name());
        TWinControl::DestroyWnd();
    }
};

TEST_F(FormsTest, RecreatingAWindowRecreatesItsChildrenAndKeepsTheirText) {
    g_log.clear();
    TForm* form = NewForm();
    auto* outer = new Logged(form);
    outer->SetName("outer");
    outer->SetParent(form);
    auto* inner = new Logged(form);
    inner->SetName("inner");
    inner->SetParent(outer);
    inner->SetText("kept");
    form->HandleNeeded();
    EXPECT_EQ(g_log, (std::vector<String>{"create outer", "create inner"}));
    HWND old = inner->Handle();
    g_log.clear();
    outer->RecreateWnd();
    EXPECT_EQ(g_log, (std::vector<String>{"destroy inner", "destroy outer", "create outer", "create inner"}));
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(GetParent(inner->Handle()), outer->Handle());
    EXPECT_EQ(inner->Text(), "kept");

    // Freeing runs the window destruction of the most derived class too.
    g_log.clear();
    outer->Free();
    EXPECT_EQ(g_log, (std::vector<String>{"destroy inner", "destroy outer"}));
}

LRESULT NativeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER + 7) return 1234;
    return DefWindowProcA(h, m, w, l);
}

class Wrapped : public TWinControl {
public:
    using TWinControl::TWinControl;
    const char* ClassName() const noexcept override { return "TWrapped"; }
    int seen = 0;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_USER + 7) ++seen;
        TWinControl::WndProc(m);
    }

protected:
    void CreateParams(TCreateParams& Params) override {
        TWinControl::CreateParams(Params);
        CreateSubClass(Params, "TestNativeClass");
    }
};

TEST_F(FormsTest, SubclassedWindowClassAnswersWhatTheControlPassesOn) {
    static bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = &NativeProc;
        wc.lpszClassName = "TestNativeClass";
        return RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    TForm* form = NewForm();
    auto* w = new Wrapped(form);
    w->SetParent(form);
    EXPECT_EQ(SendMessageA(w->Handle(), WM_USER + 7, 0, 0), 1234);
    EXPECT_EQ(w->seen, 1);
    char cls[32] = {};
    GetClassNameA(w->Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TWrapped");
}

TEST_F(FormsTest, ReleasedFormIsFreedOnceByTheLoop) {
    TForm* form = NewForm();
    std::weak_ptr<bool> alive = form->AliveToken();
    form->Release();
    form->Release();
    EXPECT_FALSE(alive.expired());
    Drain();
    EXPECT_TRUE(alive.expired());

    // Freed by its owner before the loop came round: the deferred free finds nothing to do.
    TForm* other = NewForm();
    alive = other->AliveToken();
    other->Release();
    Application->DestroyComponents();
    EXPECT_TRUE(alive.expired());
    Drain();
}

TEST_F(FormsTest, RunEndsWhenTheMainFormCloses) {
    TForm* main;
    Application->CreateForm(main);
    int shown = 0;
    main->OnShow = [&](TObject*) { ++shown; };
    PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
    Application->Run();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(platform::MainWindow(), main->Handle());
}

TEST_F(FormsTest, ShowAndHideRaiseTheirEventsInOrder) {
    TForm* form = NewForm();
    std::vector<String> log;
    form->OnShow = [&](TObject*) { log.push_back("show"); };
    form->OnHide = [&](TObject*) { log.push_back("hide"); };
    form->Show();
    form->Show();
    form->Hide();
    EXPECT_EQ(log, (std::vector<String>{"show", "hide"}));
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(FormsTest, ScreenCentredFormIsPlacedWhenFirstShown) {
    TForm* form = NewForm();
    form->SetBounds(0, 0, 200, 100);
    form->SetPosition(poScreenCenter);
    form->Show();
    EXPECT_EQ(form->Left(), (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
    EXPECT_EQ(form->Top(), (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
}

TEST_F(FormsTest, ClientSizeLeavesTheFrameOutside) {
    TForm* form = NewForm();
    form->HandleNeeded();
    form->SetClientWidth(373);
    form->SetClientHeight(305);
    EXPECT_EQ(form->ClientWidth(), 373);
    EXPECT_EQ(form->ClientHeight(), 305);
    EXPECT_GT(form->Width(), 373);
}

TEST_F(FormsTest, ConstraintsKeepAMinimumSize) {
    TForm* form = NewForm();
    form->SetConstraints(TSizeConstraints{550, 350, 0, 0});
    form->SetBounds(0, 0, 100, 100);
    EXPECT_EQ(form->Width(), 550);
    EXPECT_EQ(form->Height(), 350);
}

TEST_F(FormsTest, WindowStateFollowsTheWindow) {
    TForm* form = NewForm();
    form->Show();
    form->SetWindowState(wsMinimized);
    EXPECT_TRUE(IsIconic(form->Handle()));
    EXPECT_EQ(form->WindowState(), wsMinimized);
    form->SetWindowState(wsNormal);
    EXPECT_EQ(form->WindowState(), wsNormal);
    form->SetWindowState(wsMaximized);
    EXPECT_EQ(form->Width(), GetSystemMetrics(SM_CXSCREEN));
    form->SetWindowState(wsNormal);
    EXPECT_EQ(form->Width(), 400);
}

TEST_F(FormsTest, MinimizingTheMainFormMinimizesTheApplication) {
    TForm* main;
    Application->CreateForm(main);
    main->Show();
    SendMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Application->Handle()));
    PostMessageA(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    Drain();
    EXPECT_FALSE(IsIconic(Application->Handle()));
    EXPECT_TRUE(IsWindowVisible(main->Handle()));
}

TEST_F(FormsTest, CloseInsideAModalFormAnswersCancel) {
    auto* dlg = NewForm();
    auto* cancel = new TButton(dlg);
    cancel->SetParent(dlg);
    cancel->OnClick = [&](TObject*) { dlg->Close(); };
    platform::SetDialogHook([&](platform::DialogRequest&) {
        cancel->Click();
        return IDOK;  // the form's own result wins over the hook's answer
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_FALSE(dlg->Modal());
}

TEST_F(FormsTest, ErrorsOfTimersAndForeignExceptionsReachTheHook) {
    TForm* form = NewForm();
    auto* timer = new TTimer(form);
    timer->SetInterval(100);
    timer->OnTimer = [](TObject*) { throw std::runtime_error("plain"); };
    std::vector<String> seen;
    Application->OnException = [&](TObject* sender, Exception& e) {
        seen.push_back(String(sender->ClassName()) + ":" + e.ClassName() + ":" + e.Message());
    };
    clock_.Advance(100);
    Application->ProcessMessages();
    EXPECT_EQ(seen, std::vector<String>{"TTimer:Exception:plain"});
}

TEST_F(FormsTest, WithoutAHookTheStandardReportIsShown) {
    try {
        throw EConvertError("Wrong value...");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw EConvertError("");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Wrong value...");  // already ends in "."
    EXPECT_EQ(boxes[1].text, "");
    Application->HandleException(nullptr);  // nothing being handled: nothing shown
    EXPECT_EQ(platform::ShownDialogs().size(), 2u);
}

// As in the class library: the control whose alignment or place just changed goes before the
// others at the same place, so code that builds a form sets Top (Left) to order its bars.
TEST_F(FormsTest, TheControlJustAlignedGoesFirstAmongEqualPlaces) {
    TForm* form = NewForm();
    auto* a = new TPanel(form);
    auto* b = new TPanel(form);
    for (TPanel* p : {a, b}) {
        p->SetHeight(10);
        p->SetParent(form);
        p->SetAlign(alTop);
    }
    EXPECT_EQ(b->Top(), 0);
    EXPECT_EQ(a->Top(), 10);
    a->SetTop(0);  // moved up to the top: it goes first
    EXPECT_EQ(a->Top(), 0);
    EXPECT_EQ(b->Top(), 10);
    auto* c = new TPanel(form);
    c->SetBounds(0, 1000, 100, 10);  // placed below the others before it is aligned
    c->SetParent(form);
    c->SetAlign(alTop);
    EXPECT_EQ(c->Top(), 20);
}

TEST_F(FormsTest, SplitterDragResizesTheControlBeforeIt) {
    TForm* form = NewForm();
    auto* left = new TPanel(form);
    left->SetWidth(101);
    left->SetParent(form);
    left->SetAlign(alLeft);
    auto* split = new TSplitter(form);
    split->SetLeft(200);
    split->SetParent(form);
    auto* rest = new TPanel(form);
    rest->SetParent(form);
    rest->SetAlign(alClient);
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    HWND h = form->Handle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(102, 50));
    split->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(21, 50));
    split->Perform(WM_LBUTTONUP, 0, MAKELPARAM(21, 50));
    EXPECT_EQ(left->Width(), 121);
    EXPECT_EQ(split->Left(), 121);
    EXPECT_EQ(rest->Left(), 124);
    EXPECT_EQ(moved, 1);
}

}  // namespace

namespace {

using forms_test::FormsTest;

TEST_F(FormsTest, AClickThatFreesItsOwnFormEndsCleanly) {
    TForm* form = NewForm();
    auto* button = new TButton(form);
    button->SetParent(form);
    button->OnClick = [form](TObject*) { form->Free(); };
    std::weak_ptr<bool> alive = form->AliveToken();
    HWND h = button->Handle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(alive.expired());
    EXPECT_FALSE(IsWindow(h));
}

}  // namespace
