// Forms, the application object and the screen.
//
// A form is a top-level windowed control (or, with a Parent, a child one) with the life of the
// class library's forms: OnCreate when built, OnShow/OnHide, Close with OnCloseQuery and
// OnClose and its close actions, OnDestroy when freed, ShowModal with ModalResult. Forms are
// built in code: the constructor takes the owner, a form-building function sets properties
// and makes the controls, then FinishCreate() runs AfterLoad on every component and OnCreate.
//
// Per module (the program, the plug-in, each test executable; see platform/module/): the
// `Application` variable, which the plug-in may point at the host's object, and `Screen`
// with the module's form list. TForm's constructor is compiled into each module so that a
// form joins the form list of the module that made it.
//
// ShowModal runs a modal loop whose first step hands the form to the dialog hook
// (platform/Dialogs.h); the hook fills controls and presses buttons, or answers with a modal
// result; without a hook the form answers Cancel headless, and on a real display it waits for
// the person with the other windows of the program disabled. Release and caFree never free a form inside
// a nested message loop: the form is freed by the outermost loop.
#pragma once

#include <functional>
#include <vector>

#include "platform/Controls.h"
#include "platform/FormatSettings.h"
#include "platform/Menus.h"

using TModalResult = Integer;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;
inline constexpr TModalResult mrAbort = IDABORT;
inline constexpr TModalResult mrRetry = IDRETRY;
inline constexpr TModalResult mrIgnore = IDIGNORE;
inline constexpr TModalResult mrYes = IDYES;
inline constexpr TModalResult mrNo = IDNO;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
using TBorderIcons = unsigned;
inline constexpr TBorderIcons biSystemMenu = 1;
inline constexpr TBorderIcons biMinimize = 2;
inline constexpr TBorderIcons biMaximize = 4;
inline constexpr TBorderIcons biHelp = 8;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;

class TScreen;
class TApplication;

namespace platform {
// What a form needs of the module that made it.
struct ModuleContext {
    TScreen* screen = nullptr;
    TApplication** application = nullptr;  // the module's `Application` variable
};
}  // namespace platform

class TCustomForm : public TWinControl {
public:
    TCustomForm(TComponent* AOwner, const platform::ModuleContext& Module);
    ~TCustomForm() override;
    const char* ClassName() const noexcept override { return "TCustomForm"; }
    void BeforeDestruction() override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons Value);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle Value);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState Value);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition Value) { position_ = Value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult Value) { modalResult_ = Value; }
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* Value);
    // The form's one shortcut lookup: its main menu, then the controls it owns
    // (TControl::IsFormShortCut). True when one of them ran the key's command.
    bool IsShortCut(Word Key, TShiftState Shift);
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool Value) { keyPreview_ = Value; }
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* Value);
    // Tab and Shift+Tab: focuses the control after (before) CurControl in tab order, over
    // the form's containers depth first, wrapping around; with CheckTabStop only controls
    // with TabStop count. Of a parent's radio buttons only the checked one is a stop.
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    bool Active() const;
    // True while ShowModal runs for this form.
    bool Modal() const { return modal_; }

    void Show();
    void Close();
    bool CloseQuery();
    TModalResult ShowModal();
    // Frees the form once the outermost message loop gets control again.
    void Release();
    void BringToFront() override;
    void SetFocus() override;
    bool CanFocus() const override;
    bool Showing() const override;

    // Gives the form the first name of Base, Base_1, Base_2 ... that no other form of this
    // module carries (compared without regard to case).
    void SetUniqueName(const String& Base);
    TScreen* ModuleScreen() const { return module_.screen; }
    // The application object the module's `Application` variable holds now.
    TApplication* ModuleApplication() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void WndProc(TMessage& Message) override;

protected:
    // Ends construction of a form built in code: AfterLoad on every component it owns (at
    // any depth), then OnCreate; an exception from OnCreate goes to HandleException.
    void FinishCreate();
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void VisibleChanged() override;
    void UpdateShowing() override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    bool DialogKey(Word Key) override;
    void ComponentRemoved(TComponent* AComponent) override;
    void PaintWindow(HDC DC) override;
    // False for the layer's own boxes, which their caller records as boxes.
    bool recordsModal_ = true;

private:
    // ShowModal when a person answers: runs the form's own loop until it has a modal result.
    TModalResult ShowModalToPerson();
    void ApplyPosition();
    void ApplyWindowState();
    void CloseModal();
    void MakeTopmost();

    platform::ModuleContext module_;
    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TFormStyle formStyle_ = fsNormal;
    TWindowState windowState_ = wsNormal;
    TPosition position_ = poDesigned;
    TModalResult modalResult_ = mrNone;
    TMainMenu* menu_ = nullptr;
    TWinControl* activeControl_ = nullptr;
    bool keyPreview_ = false;
    bool modal_ = false;
    bool shown_ = false;
    bool destroyFired_ = false;
    bool releasing_ = false;
    TRect restoreBounds_{};
};

class TForm : public TCustomForm {
public:
    // Compiled into the calling module: the form joins that module's form list.
    TARVIK_MODULE_LOCAL explicit TForm(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TForm"; }
};

// The forms of one module, and the process's cursor.
class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}
    const char* ClassName() const noexcept override { return "TScreen"; }
    Integer FormCount() const { return static_cast<Integer>(forms_.size()); }
    TCustomForm* Forms(Integer Index) const;
    TCustomForm* ActiveForm() const;
    // The focused control of the active form, or nullptr.
    TWinControl* ActiveControl() const;
    // The form of this module with that name (without regard to case), or nullptr.
    TCustomForm* FindForm(const String& Name) const;
    // One cursor for the whole process, shared by every module.
    TCursor Cursor() const;
    void SetCursor(TCursor Value);
    Integer Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    Integer Height() const { return GetSystemMetrics(SM_CYSCREEN); }

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> forms_;
};

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;
    const char* ClassName() const noexcept override { return "TApplication"; }

    void Initialize();
    // Makes a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& Reference) {
        Reference = nullptr;
        T* form = new T(this);
        Reference = form;
        FormCreated(form);
    }
    // Shows the main form and handles messages until Terminate (or WM_QUIT).
    void Run();
    void Terminate();
    bool Terminated() const;
    void ProcessMessages();
    void HandleMessage();
    void Minimize();
    void Restore();
    void BringToFront();

    // The application's own window (made on first use); IsIconic on it tells minimised.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    const String& Title() const { return title_; }
    void SetTitle(const String& Value);
    TCustomForm* MainForm() const { return mainForm_; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool Value) { showMainForm_ = Value; }
    String ExeName() const;

    const String& Hint() const { return hint_; }
    // Raises OnHint when the text changes.
    void SetHint(const String& Value);
    // Handles the exception being handled (call inside a catch block): EAbort is silent;
    // others go to OnException, else ShowException.
    void HandleException(TObject* Sender);
    // The standard error report: the message on stderr and in a message box (stop icon,
    // the title as caption, a "." added when the text does not end in one).
    void ShowException(Exception& E);
    Integer MessageBox(const String& Text, const String& Caption, UINT Flags);

    TNotifyEvent OnHint;
    TExceptionEvent OnException;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // Used by forms: the main form closes the application.
    void FormClosedMain();
    void FormDestroyed(TCustomForm* Form);

private:
    void FormCreated(TCustomForm* Form);
    static LRESULT AppWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);

    HWND handle_ = nullptr;
    String title_;
    String hint_;
    TCustomForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
    std::vector<HWND> hiddenByMinimize_;
};

// The per-module variables (platform/module/Forms.cpp). `Application` starts as the module's
// own application object; a plug-in may set it to the host's.
TARVIK_MODULE_LOCAL extern TApplication* Application;
TARVIK_MODULE_LOCAL extern TScreen* Screen;

namespace platform::module {
// The module's own application object (what `Application` held at start).
TARVIK_MODULE_LOCAL TApplication* OwnApplication();
TARVIK_MODULE_LOCAL ModuleContext Context();
}  // namespace platform::module

inline TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner, platform::module::Context()) {}

namespace platform {
// The first application object made in the process (the program's); controls outside any
// form report their errors to it.
TApplication* ProcessApplication();
}  // namespace platform
