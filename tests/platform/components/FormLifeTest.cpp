#include <gtest/gtest.h>

#include <map>

#include "FormsFixture.h"
#include "platform/CommonDialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"
#include "platform/display/Backend.h"

namespace {

using forms_test::FormsTest;

struct CloseCase {
    const char* name;
    TCloseAction action;
    bool visible;
    bool freed;
    bool minimized;
};

class CloseActions : public FormsTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseActions, DecideWhatBecomesOfTheForm) {
    NewForm("Main");  // the first form is the main form; the one under test is not
    TForm* form = NewForm("Other");
    form->Show();
    const CloseCase& k = GetParam();
    form->OnClose = [&](TObject*, TCloseAction& a) {
        EXPECT_EQ(a, caHide);
        a = k.action;
    };
    std::weak_ptr<bool> alive = form->AliveToken();
    form->Close();
    EXPECT_FALSE(alive.expired()) << "never freed before the loop runs";
    Drain();
    EXPECT_EQ(alive.expired(), k.freed);
    if (alive.expired()) return;
    EXPECT_EQ(form->Visible(), k.visible);
    EXPECT_EQ(IsIconic(form->Handle()) != 0, k.minimized);
}

INSTANTIATE_TEST_SUITE_P(Table, CloseActions,
                         ::testing::Values(CloseCase{"Hide", caHide, false, false, false},
                                           CloseCase{"Free", caFree, false, true, false},
                                           CloseCase{"None", caNone, true, false, false},
                                           CloseCase{"Minimize", caMinimize, true, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormsTest, CloseQueryCanRefuse) {
    NewForm("Main");
    TForm* form = NewForm();
    form->Show();
    bool closeRan = false;
    form->OnCloseQuery = [](TObject*, bool& can) { can = false; };
    form->OnClose = [&](TObject*, TCloseAction&) { closeRan = true; };
    form->Close();
    EXPECT_FALSE(closeRan);
    EXPECT_TRUE(form->Visible());
}

TEST_F(FormsTest, ClosingTheMainFormEndsTheApplication) {
    TForm* main;
    Application->CreateForm(main);
    EXPECT_EQ(Application->MainForm(), main);
    main->Show();
    main->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
    SendMessageA(main->Handle(), WM_CLOSE, 0, 0);  // the close box
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(FormsTest, CreateAndDestroyEventsBracketTheFormsLife) {
    class Built : public TForm {
    public:
        explicit Built(TComponent* owner, std::vector<String>& log) : TForm(owner), log_(log) {
            OnCreate = [this](TObject*) { log_.push_back("create:" + edit->Name()); };
            OnDestroy = [this](TObject*) { log_.push_back("destroy:" + edit->Text()); };
            edit = new TEdit(this);
            edit->SetName("eName");
            edit->SetParent(this);
            edit->SetText("kept");
            FinishCreate();
        }
        TEdit* edit;

    private:
        std::vector<String>& log_;
    };
    std::vector<String> log;
    auto* form = new Built(nullptr, log);
    EXPECT_EQ(log, std::vector<String>{"create:eName"});
    form->Free();
    EXPECT_EQ(log, (std::vector<String>{"create:eName", "destroy:kept"}));
}

TEST_F(FormsTest, ExceptionInOnCreateIsReportedAndTheFormStands) {
    class Failing : public TForm {
    public:
        explicit Failing(TComponent* owner) : TForm(owner) {
            OnCreate = [](TObject*) { throw EConvertError("bad line"); };
            FinishCreate();
        }
    };
    auto* form = new Failing(Application);
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "bad line.");
    EXPECT_EQ(boxes[0].caption, "Forms test");
    EXPECT_EQ(boxes[0].buttons, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(form->Owner(), Application);
}

// ---- modal forms

struct Dialog : TForm {
    explicit Dialog(TComponent* owner) : TForm(owner) {
        edit = new TEdit(this);
        edit->SetParent(this);
        edit->SetMaxLength(5);
        ok = new TButton(this);
        ok->SetParent(this);
        ok->SetCaption("  &Ok  ");
        ok->SetModalResult(mrOk);
        ok->SetDefault(true);
    }
    const char* ClassName() const noexcept override { return "TFormTest"; }
    TEdit* edit;
    TButton* ok;
};

TEST_F(FormsTest, ModalFormIsFilledAndAnsweredThroughTheHook) {
    auto* dlg = new Dialog(Application);
    dlg->SetCaption("Add Folder");
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        EXPECT_EQ(r.kind, platform::DialogKind::ModalForm);
        auto* d = static_cast<Dialog*>(r.form);
        EXPECT_TRUE(d->Visible());
        for (char c : String("abcdefg")) SendMessageA(d->edit->Handle(), WM_CHAR, static_cast<WPARAM>(c), 0);
        SendMessageA(d->edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);  // Enter presses the default button
        return 0;
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_FALSE(dlg->Visible());
    EXPECT_EQ(dlg->edit->Text(), "abcde");  // typing stops at MaxLength
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].className, "TFormTest");
    EXPECT_EQ(shown[0].caption, "Add Folder");
}

TEST_F(FormsTest, ModalFormWithoutHookAnswersCancel) {
    auto* dlg = new Dialog(Application);
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    EXPECT_THROW((dlg->Show(), dlg->ShowModal()), EInvalidOperation);
}

TEST_F(FormsTest, ModalFormThatRefusesToCloseIsAskedAgain) {
    auto* dlg = new Dialog(Application);
    int asked = 0;
    dlg->OnCloseQuery = [&](TObject*, bool& can) { can = asked >= 2; };
    platform::SetDialogHook([&](platform::DialogRequest&) {
        ++asked;
        return IDOK;
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(asked, 2);
}

TEST_F(FormsTest, FreeingRequestedInsideAModalLoopWaitsForTheOutermostLoop) {
    TForm* other = NewForm();
    auto* dlg = new Dialog(Application);
    dlg->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
    std::weak_ptr<bool> dlgAlive = dlg->AliveToken();
    std::weak_ptr<bool> otherAlive = other->AliveToken();
    platform::SetDialogHook([&](platform::DialogRequest&) {
        other->Release();
        Application->ProcessMessages();  // a nested loop: nothing may be freed here
        EXPECT_FALSE(otherAlive.expired());
        return IDOK;
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_FALSE(dlgAlive.expired()) << "the caller still reads the dialog's controls";
    EXPECT_FALSE(otherAlive.expired());
    Drain();
    EXPECT_TRUE(dlgAlive.expired());
    EXPECT_TRUE(otherAlive.expired());
}

// ---- application

TEST_F(FormsTest, MinimizeAndRestoreTheApplication) {
    TForm* main = NewForm();
    main->Show();
    int minimized = 0, restored = 0;
    Application->OnMinimize = [&](TObject*) { ++minimized; };
    Application->OnRestore = [&](TObject*) { ++restored; };
    Application->Minimize();
    EXPECT_TRUE(IsIconic(Application->Handle()));
    EXPECT_FALSE(IsWindowVisible(main->Handle()));
    EXPECT_TRUE(main->Visible());
    Application->Restore();
    EXPECT_FALSE(IsIconic(Application->Handle()));
    EXPECT_TRUE(IsWindowVisible(main->Handle()));
    EXPECT_EQ(minimized, 1);
    EXPECT_EQ(restored, 1);
    Application->OnMinimize = nullptr;
    Application->OnRestore = nullptr;
}

TEST_F(FormsTest, HintHookGetsTheLongPartOfTheControlsHint) {
    TForm* form = NewForm();
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetHint("Short|Make new backup...");
    std::vector<String> hints;
    Application->OnHint = [&](TObject*) { hints.push_back(GetLongHint(Application->Hint())); };
    SendMessageA(button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    SendMessageA(button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 1));  // same hint: no second call
    EXPECT_EQ(hints, std::vector<String>{"Make new backup..."});
    EXPECT_EQ(GetShortHint("Short|Long"), "Short");
    EXPECT_EQ(GetLongHint("Only"), "Only");
}

TEST_F(FormsTest, ExceptionHookReceivesErrorsOfMessageHandlers) {
    TForm* form = NewForm();
    auto* button = new TButton(form);
    button->SetParent(form);
    button->OnClick = [](TObject*) { throw EInOutError("disk full", 112); };
    String seen, senderClass;
    Application->OnException = [&](TObject* sender, Exception& e) {
        seen = String(e.ClassName()) + ":" + e.Message();
        senderClass = sender->ClassName();
    };
    SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(seen, "EInOutError:disk full");
    EXPECT_EQ(senderClass, "TButton");
    EXPECT_TRUE(platform::ShownDialogs().empty());

    Application->OnException = nullptr;
    button->OnClick = [](TObject*) { throw EAbort("silent"); };
    SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(platform::ShownDialogs().empty());
}

TEST_F(FormsTest, StayOnTopAndBorderStyleReachTheWindow) {
    TForm* form = NewForm();
    form->SetFormStyle(fsStayOnTop);
    EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & static_cast<LONG>(WS_EX_TOPMOST));
    form->SetBorderStyle(bsToolWindow);
    EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & static_cast<LONG>(WS_EX_TOOLWINDOW));
    form->SetFormStyle(fsNormal);
    EXPECT_FALSE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & static_cast<LONG>(WS_EX_TOPMOST));
}

TEST_F(FormsTest, FormNamesAreMadeUniqueWithinTheModule) {
    TForm* a = NewForm();
    TForm* b = NewForm();
    TForm* c = NewForm();
    a->SetUniqueName("FormMain");
    b->SetUniqueName("FormMain");
    c->SetUniqueName("formmain");
    EXPECT_EQ(a->Name(), "FormMain");
    EXPECT_EQ(b->Name(), "FormMain_1");
    EXPECT_EQ(c->Name(), "formmain_2");
    b->Free();
    TForm* d = NewForm();
    d->SetUniqueName("FormMain");
    EXPECT_EQ(d->Name(), "FormMain_1");
    EXPECT_EQ(Screen->FindForm("FORMMAIN_2"), c);
}

TEST_F(FormsTest, MaximisedChildFormFillsItsParentWindow) {
    TForm* host = NewForm();
    auto* panel = new TPanel(host);
    panel->SetParent(host);
    panel->SetBounds(0, 0, 250, 120);
    auto* page = new TForm(panel);  // owned by the panel, placed in its window
    page->SetBorderStyle(bsNone);
    SetParent(page->Handle(), panel->Handle());
    page->Show();
    page->SetWindowState(wsNormal);
    page->SetWindowState(wsMaximized);
    EXPECT_EQ(page->Width(), 250);
    EXPECT_EQ(page->Height(), 120);
    std::weak_ptr<bool> alive = page->AliveToken();
    panel->Free();  // the page goes with its owner
    EXPECT_TRUE(alive.expired());
}

// A display that keeps the pointer shape it was given for each top-level window.
class CursorRecorder final : public platform::display::Backend {
public:
    const char* Name() const override { return "recorder"; }
    bool IsInteractive() const override { return false; }
    void TopLevelChanged(const platform::display::TopLevelState&) override {}
    void TopLevelDestroyed(HWND) override {}
    void Damaged(HWND) override {}
    String SelectionText(platform::display::Selection) override { return {}; }
    void SetSelectionText(platform::display::Selection, const String&) override {}
    void SetCursor(HWND top, platform::display::CursorShape shape) override { shapes[top] = shape; }
    std::map<HWND, platform::display::CursorShape> shapes;
};

TEST_F(FormsTest, ScreenCursorIsOneForTheProcessAndEveryWindowShowsIt) {
    using platform::display::CursorShape;
    TForm* main = NewForm("Main");
    TForm* other = NewForm("Other");
    main->Show();
    other->Show();
    CursorRecorder display;
    platform::display::Backend* was = platform::display::SwapForTesting(&display);
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    TScreen second(nullptr);
    EXPECT_EQ(second.Cursor(), crHourGlass);
    TForm* late = NewForm("Late");  // shown during the work
    late->Show();
    const auto busy = display.shapes;
    Screen->SetCursor(crDefault);
    const auto after = display.shapes;
    platform::display::SwapForTesting(was);
    EXPECT_EQ(second.Cursor(), crDefault);
    for (TForm* f : {main, other, late}) {
        SCOPED_TRACE(f->Name());
        ASSERT_TRUE(busy.count(f->Handle()));
        EXPECT_EQ(busy.at(f->Handle()), CursorShape::Wait);
        ASSERT_TRUE(after.count(f->Handle()));
        EXPECT_EQ(after.at(f->Handle()), CursorShape::Arrow);
    }
}

// ---- timers and dialogs

TEST_F(FormsTest, TimerFiresOnTheManualClock) {
    TForm* form = NewForm();
    auto* timer = new TTimer(form);
    timer->SetInterval(500);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    clock_.Advance(499);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 0);
    clock_.Advance(1);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);
    clock_.Advance(5000);  // one step: at most one tick
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 2);
    timer->SetEnabled(false);
    clock_.Advance(600);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 2);
}

TEST_F(FormsTest, MessageDialogsAreRecordedAndAnsweredNoWithoutHook) {
    EXPECT_EQ(MessageDlg("Delete Folder1", mtConfirmation, mbYes | mbNo, 0), mrNo);
    ShowMessage("Help");
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Confirm");
    EXPECT_EQ(boxes[0].text, "Delete Folder1");
    EXPECT_EQ(boxes[0].buttons, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(boxes[1].caption, "Forms test");
    EXPECT_EQ(boxes[1].buttons, MB_OK);
    platform::SetDialogHook([](platform::DialogRequest&) { return IDYES; });
    EXPECT_EQ(MessageDlg("Delete Folder1", mtConfirmation, mbYes | mbNo, 0), mrYes);
}

TEST_F(FormsTest, FileDialogsAndInputBoxesGoThroughTheHook) {
    TOpenDialog open(nullptr);
    open.SetTitle("Select Qel Sistem FILE");
    open.SetFilter("Qel File|*.Zip");
    EXPECT_FALSE(open.Execute());
    platform::SetDialogHook([](platform::DialogRequest& r) {
        if (r.kind == platform::DialogKind::InputBox) return IDCANCEL;
        EXPECT_EQ(r.text, "Qel File|*.Zip");
        r.value = "C:\\Data\\book.zip";
        return IDOK;
    });
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), "C:\\Data\\book.zip");
    EXPECT_EQ(InputBox("Search", "Text:", "default"), "default");
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].caption, "Select Qel Sistem FILE");
    EXPECT_EQ(shown[1].className, "TOpenDialog");
    EXPECT_EQ(shown[2].kind, platform::DialogKind::InputBox);
}

}  // namespace
