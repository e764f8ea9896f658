#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"

namespace {

using forms_test::FormsTest;

struct Expect {
    TControl* control;
    TRect rect;
};

void ExpectBounds(const std::vector<Expect>& list) {
    for (const Expect& e : list) {
        TRect r = e.control->BoundsRect();
        EXPECT_TRUE(r == e.rect) << e.control->Name() << ": " << r.left << "," << r.top << "," << r.right << ","
                                 << r.bottom;
    }
}

TEST_F(FormsTest, AlignmentPlacesTopBottomLeftRightThenClient) {
    TForm* form = NewForm();
    auto* host = new TPanel(form);
    host->SetParent(form);
    host->SetBevelOuter(bvNone);
    host->SetBounds(0, 0, 400, 300);
    auto make = [&](const char* name, TAlign align, int w, int h, int left = 0) {
        auto* p = new TPanel(form);
        p->SetName(name);
        p->SetBounds(left, 0, w, h);
        p->SetParent(host);
        p->SetAlign(align);
        return p;
    };
    // Created in an order unlike the layout order: alignment, not creation, decides.
    auto* client = make("client", alClient, 10, 10);
    auto* right = make("right", alRight, 50, 10);
    auto* left = make("left", alLeft, 101, 10);
    auto* split = new TSplitter(form);
    split->SetName("split");
    split->SetLeft(101);
    split->SetWidth(5);
    split->SetParent(host);
    auto* bottom = make("bottom", alBottom, 10, 20);
    auto* top = make("top", alTop, 10, 30);
    ExpectBounds({{top, Rect(0, 0, 400, 30)},
                  {bottom, Rect(0, 280, 400, 300)},
                  {left, Rect(0, 30, 101, 280)},
                  {split, Rect(101, 30, 106, 280)},
                  {right, Rect(350, 30, 400, 280)},
                  {client, Rect(106, 30, 350, 280)}});

    int resized = 0;
    client->OnResize = [&](TObject*) { ++resized; };
    host->SetBounds(0, 0, 500, 300);
    EXPECT_EQ(resized, 1);
    ExpectBounds({{right, Rect(450, 30, 500, 280)}, {client, Rect(106, 30, 450, 280)}});

    top->SetVisible(false);  // a hidden control gives its space back
    ExpectBounds({{left, Rect(0, 0, 101, 280)}, {client, Rect(106, 0, 450, 280)}});
}

TEST_F(FormsTest, BordersAndBevelsNarrowTheAlignedArea) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelOuter(bvLowered);
    panel->SetBorderWidth(5);
    auto* inner = new TPanel(form);
    inner->SetParent(panel);
    inner->SetAlign(alClient);
    ExpectBounds({{inner, Rect(6, 6, 194, 94)}});
}

TEST_F(FormsTest, WindowedControlsAreRealWindowsOfTheirClass) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetText("before");
    HWND h = edit->Handle();
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(GetParent(h), form->Handle());
    char cls[32] = {};
    GetClassNameA(h, cls, sizeof cls);
    EXPECT_STREQ(cls, "TEdit");
    char text[32] = {};
    GetWindowTextA(h, text, sizeof text);
    EXPECT_STREQ(text, "before");
    SetWindowTextA(h, "after");  // the window is the control's text
    EXPECT_EQ(edit->Text(), "after");
    edit->SetBounds(10, 20, 30, 40);
    RECT r;
    GetWindowRect(h, &r);
    POINT origin{0, 0};
    ClientToScreen(form->Handle(), &origin);
    EXPECT_EQ(r.left - origin.x, 10);
    EXPECT_EQ(r.bottom - r.top, 40);
}

TEST_F(FormsTest, ControlWithoutParentWindowCannotMakeOne) {
    TEdit edit(nullptr);
    edit.SetName("eLonely");
    try {
        edit.Handle();
        FAIL();
    } catch (EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Control 'eLonely' has no parent window");
    }
}

// A control that records the notifications reflected back to it.
class Notified : public TWinControl {
public:
    using TWinControl::TWinControl;
    std::vector<UINT> codes;
    void WndProc(TMessage& m) override {
        if (m.Msg == CN_NOTIFY) {
            codes.push_back(reinterpret_cast<NMHDR*>(m.LParam)->code);
            m.Result = 42;
            return;
        }
        TWinControl::WndProc(m);
    }
};

TEST_F(FormsTest, NotificationsToTheParentComeBackToTheControl) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* child = new Notified(form);
    child->SetParent(panel);
    NMHDR hdr{child->Handle(), 0, NM_RCLICK};
    EXPECT_EQ(SendMessageA(panel->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr)), 42);
    EXPECT_EQ(child->codes, std::vector<UINT>{NM_RCLICK});
}

// A control that counts the colour-change notices that reach it.
class ColourWatcher : public TWinControl {
public:
    using TWinControl::TWinControl;
    int notices = 0;
    void WndProc(TMessage& m) override {
        if (m.Msg == CM_SYSCOLORCHANGE) ++notices;
        TWinControl::WndProc(m);
    }
};

TEST_F(FormsTest, SystemColourChangeReachesEveryNestedControl) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* first = new ColourWatcher(form);
    first->SetParent(panel);
    auto* second = new ColourWatcher(form);
    second->SetParent(panel);
    SendMessageA(form->Handle(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(first->notices, 1);
    EXPECT_EQ(second->notices, 1);
}

LRESULT (*g_oldProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
int g_seen = 0;
LRESULT CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SIZE) ++g_seen;
    return CallWindowProcA(g_oldProc, h, m, w, l);
}

TEST_F(FormsTest, SubclassedFormWindowStillReachesTheForm) {
    TForm* form = NewForm();
    HWND h = form->Handle();
    g_seen = 0;
    g_oldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    int resized = 0;
    form->OnResize = [&](TObject*) { ++resized; };
    MoveWindow(h, 0, 0, 333, 222, TRUE_);
    EXPECT_GE(g_seen, 1);
    EXPECT_EQ(form->Width(), 333);
    EXPECT_EQ(resized, 1);
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProc));
}

TEST_F(FormsTest, EventsOfAFormBeingDestroyedDoNotRun) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetAlign(alClient);
    int resized = 0;
    bool destroyed = false;
    panel->OnResize = [&](TObject*) { ++resized; };
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    form->Free();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(resized, 0);
}

TEST_F(FormsTest, ClickOnAGraphicControlReachesIt) {
    TForm* form = NewForm();
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 50, 20);
    int clicks = 0;
    label->OnClick = [&](TObject*) { ++clicks; };
    SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
    SendMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(15, 15));
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormsTest, LabelSizesToItsTextWithTheFixedMetrics) {
    TForm* form = NewForm();
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption("abcd");
    // Default font: cell 13 high, characters 7 wide.
    EXPECT_EQ(label->Width(), 28);
    EXPECT_EQ(label->Height(), 13);
    label->Font()->SetStyle(fsBold);
    label->Font()->SetHeight(-20);
    EXPECT_EQ(label->Height(), 22);
}

}  // namespace

namespace {

using forms_test::FormsTest;

TEST_F(FormsTest, ControlsOfOtherOwnersOnADyingFormRaiseNothing) {
    TForm* form = NewForm();
    TComponent keeper(nullptr);
    auto* panel = new TPanel(&keeper);  // owned elsewhere, placed on the form
    panel->SetParent(form);
    panel->SetAlign(alClient);
    int resized = 0;
    panel->OnResize = [&](TObject*) { ++resized; };
    std::weak_ptr<bool> alive = panel->AliveToken();
    form->Free();
    EXPECT_EQ(resized, 0);
    EXPECT_TRUE(alive.expired()) << "a parent frees its controls";
    EXPECT_EQ(keeper.ComponentCount(), 0);
}

}  // namespace
