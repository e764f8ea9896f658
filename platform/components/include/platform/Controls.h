// Controls: the visual components of the layer. TControl has a parent, bounds, alignment,
// visibility, enabling, text, font, colour, hint, cursor and popup menu; TWinControl is backed
// by a real window of the layer's window system, so messages, WM_NOTIFY reflection and
// subclassing reach it; TCustomControl paints on a canvas; TGraphicControl is drawn by its
// parent.
//
// A windowed control registers a window class named after ClassName() whose procedure finds
// the object through a window property and calls WndProc; what WndProc does not handle goes
// to the class's default procedure (DefWindowProcA, or the procedure of a class it subclasses
// through CreateSubClass). Windows are made on demand (Handle()) and for every windowed child
// when a parent's window is made. Alignment follows the class library's order: alTop,
// alBottom, alLeft, alRight, then alClient, each group ordered by position. Events never run
// while their control is being destroyed. Exceptions that escape a window procedure go to the
// application's HandleException.
#pragma once

#include <functional>
#include <type_traits>
#include <vector>

#include "platform/Components.h"
#include "platform/Graphics.h"

class TWinControl;
class TPopupMenu;
class TCustomForm;
class TApplication;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TDragMode { dmManual, dmAutomatic };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
// Shared by forms and controls: bsNone and bsSingle are the control border styles.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;
inline constexpr TShiftState ssDouble = 0x40;

using TCursor = short;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

// ControlStyle bits.
using TControlStyle = unsigned;
inline constexpr TControlStyle csAcceptsControls = 0x0001;
inline constexpr TControlStyle csCaptureMouse = 0x0002;
inline constexpr TControlStyle csClickEvents = 0x0004;
inline constexpr TControlStyle csFramed = 0x0008;
inline constexpr TControlStyle csSetCaption = 0x0010;
inline constexpr TControlStyle csOpaque = 0x0020;
inline constexpr TControlStyle csDoubleClicks = 0x0040;
inline constexpr TControlStyle csNoStdEvents = 0x0080;
inline constexpr TControlStyle csDisplayDragImage = 0x0100;
inline constexpr TControlStyle csReflector = 0x0200;
// The control draws its window itself (PaintWindow); without it WM_PAINT goes to the window
// class's own procedure.
inline constexpr TControlStyle csPaintsItself = 0x0400;
// ControlState bits.
using TControlState = unsigned;
inline constexpr TControlState csLButtonDown = 0x0001;
inline constexpr TControlState csClicked = 0x0002;
inline constexpr TControlState csAlignmentNeeded = 0x0004;
inline constexpr TControlState csCreating = 0x0008;
inline constexpr TControlState csDestroyingHandle = 0x0010;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// ---- drag and drop of the class library

enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// What a CM_DRAG message asks (its WParam); LParam points to a TDragRec.
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };

class TControl;
class TCustomImageList;

// The object that travels with a drag: made by the source (OnStartDrag may give its own).
class TDragObject : public TObject {
public:
    const char* ClassName() const noexcept override { return "TDragObject"; }
    TPoint DragPos() const { return dragPos_; }
    TControl* DragTarget() const { return dragTarget_; }
    bool Dropped() const { return dropped_; }
    // Hidden while a control repaints under the drag image; headless they only count.
    virtual void HideDragImage() { ++hides_; }
    virtual void ShowDragImage() { ++shows_; }
    int HideCount() const { return hides_; }

private:
    friend class TControl;
    friend struct DragSession;
    TPoint dragPos_{};
    TControl* dragTarget_ = nullptr;
    bool dropped_ = false;
    int hides_ = 0;
    int shows_ = 0;
};

// The drag object of a drag started by a control: Control is that control.
class TDragControlObject : public TDragObject {
public:
    explicit TDragControlObject(TControl* AControl) : control_(AControl) {}
    const char* ClassName() const noexcept override { return "TDragControlObject"; }
    TControl* Control() const { return control_; }

private:
    TControl* control_;
};

struct TDragRec {
    TPoint Pos;                    // screen point
    TDragObject* Source = nullptr;
    TControl* Target = nullptr;
};

// Source is the dragged control for drags of a control, else the drag object.
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

// The control whose drag is running on this thread, or nullptr.
TControl* CurrentDragSource();

// The long part of a hint (after the first "|"), or the whole hint without one.
String GetLongHint(const String& Hint);
// The part before the first "|".
String GetShortHint(const String& Hint);
// The shift state of the keyboard now, plus the mouse buttons of a mouse message's wParam.
TShiftState KeyboardStateToShiftState();
TShiftState MouseKeysToShiftState(WPARAM Keys);

// Limits on a control's size; 0 means no limit.
struct TSizeConstraints {
    Integer MinWidth = 0;
    Integer MinHeight = 0;
    Integer MaxWidth = 0;
    Integer MaxHeight = 0;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    const char* ClassName() const noexcept override { return "TControl"; }
    void BeforeDestruction() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* AParent);

    Integer Left() const { return left_; }
    Integer Top() const { return top_; }
    Integer Width() const { return width_; }
    Integer Height() const { return height_; }
    void SetLeft(Integer Value) { SetBounds(Value, top_, width_, height_); }
    void SetTop(Integer Value) { SetBounds(left_, Value, width_, height_); }
    void SetWidth(Integer Value) { SetBounds(left_, top_, Value, height_); }
    void SetHeight(Integer Value) { SetBounds(left_, top_, width_, Value); }
    virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top); }
    virtual TRect ClientRect() const;
    Integer ClientWidth() const { return ClientRect().right; }
    Integer ClientHeight() const { return ClientRect().bottom; }
    void SetClientWidth(Integer Value);
    void SetClientHeight(Integer Value);
    TSizeConstraints& Constraints() { return constraints_; }
    void SetConstraints(const TSizeConstraints& Value);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign Value);
    bool Visible() const { return visible_; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool Value);

    // Caption and Text are the same text, as in the class library.
    String Caption() const { return GetText(); }
    void SetCaption(const String& Value) { SetText(Value); }
    String Text() const { return GetText(); }
    void SetText(const String& Value);

    TFont* Font() { return &font_; }
    void SetFont(TFont* Value) { font_.Assign(Value); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool Value);
    TColor Color() const { return color_; }
    void SetColor(TColor Value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool Value);

    const String& Hint() const { return hint_; }
    void SetHint(const String& Value) { hint_ = Value; }
    bool ShowHint() const;
    void SetShowHint(bool Value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool Value) { parentShowHint_ = Value; }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor Value) { cursor_ = Value; }
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* Value);
    // True when the control answers Key for its whole form wherever it is typed, as a main
    // menu does (a tool button's drop-down menu). The owning form asks each of its controls.
    virtual bool IsFormShortCut(Word Key, TShiftState Shift) {
        (void)Key;
        (void)Shift;
        return false;
    }
    Integer HelpContext() const { return helpContext_; }
    void SetHelpContext(Integer Value) { helpContext_ = Value; }
    TDragMode DragMode() const { return dragMode_; }
    virtual void SetDragMode(TDragMode Value) { dragMode_ = Value; }
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode Value) { biDiMode_ = Value; }

    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle Value) { controlStyle_ = Value; }
    TControlState ControlState() const { return controlState_; }
    void SetControlState(TControlState Value) { controlState_ = Value; }

    // True when the control and every parent up to a form are visible.
    virtual bool Showing() const;
    // Sends the message straight to the control's WndProc.
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    virtual void WndProc(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    virtual void Invalidate();
    void Repaint();
    virtual void Update();
    void Refresh() { Repaint(); }
    virtual void BringToFront();
    virtual void SendToBack();
    TPoint ClientToScreen(const TPoint& P) const;
    TPoint ScreenToClient(const TPoint& P) const;
    // The form the control sits on (following parents), or nullptr.
    TCustomForm* ParentForm() const;

    // What the user's click does: raises OnClick.
    virtual void Click();
    // Starts dragging the control: at once, or once the mouse moved Threshold pixels (a
    // negative Threshold: the system's drag distance) with the left button down. The mouse
    // messages the control then gets move the drag (CM_DRAG to the control under the
    // pointer); the button's release drops, Escape or the right button cancel.
    void BeginDrag(bool Immediate, Integer Threshold = -1);
    void EndDrag(bool Drop);
    bool Dragging() const;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;

    // Enter or Escape pressed on the control's form: a default or cancel button answers by
    // clicking itself and returns true.
    virtual bool DialogChar(Word Key) { (void)Key; return false; }
    virtual void DblClick();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    virtual String GetText() const { return text_; }
    // Sets the field alone (forms start hidden without an OnHide).
    void SetVisibleField(bool Value) { visible_ = Value; }
    virtual void TextChanged() {}
    virtual void SetTextValue(const String& Value);
    // Events run only while neither the control nor a parent of it is being destroyed.
    bool CanRunEvents() const;
    virtual void Resize();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged();
    // Realigns the parent when this control's place in the alignment changed.
    void RequestAlign();
    // Applies new bounds to the fields (and the window, for windowed controls).
    virtual void ApplyBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
    void ApplyConstraints(Integer& AWidth, Integer& AHeight) const;
    void ComponentRemoved(TComponent* AComponent) override;
    // Mouse messages as the control sees them (client coordinates of this control).
    bool HandleMouseMessage(TMessage& Message);
    void DoContextPopup(TPoint ScreenPos, bool& Handled);
    // Drag hooks, each raising its event; DragOver's Accept starts as "OnDragOver assigned".
    virtual void DoStartDrag(TDragObject*& DragObject);
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DragDrop(TObject* Source, int X, int Y);
    // The image list shown while this control is dragged (none by default).
    virtual TCustomImageList* GetDragImages() { return nullptr; }
    // Handles CM_DRAG for this control; the result is the acceptance.
    void CMDrag(TMessage& Message);
    // Mouse messages during a drag this control started; true when the drag used them.
    bool DragMouseMessage(TMessage& Message);

    Integer left_ = 0;
    Integer top_ = 0;
    Integer width_ = 0;
    Integer height_ = 0;
    String text_;
    TFont font_;

private:
    friend class TWinControl;
    void ParentFontChanged();
    void ParentColorChanged();

    TWinControl* parent_ = nullptr;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    bool parentFont_ = true;
    bool parentColor_ = true;
    bool parentShowHint_ = true;
    bool showHint_ = false;
    bool settingParentFont_ = false;
    TColor color_ = clBtnFace;
    String hint_;
    TCursor cursor_ = crDefault;
    TPopupMenu* popupMenu_ = nullptr;
    Integer helpContext_ = 0;
    TDragMode dragMode_ = dmManual;
    TBiDiMode biDiMode_ = bdLeftToRight;
    TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState controlState_ = 0;
    TSizeConstraints constraints_;
};

struct TCreateParams {
    String Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    WNDCLASSA WindowClass;
    String WinClassName;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    const char* ClassName() const noexcept override { return "TWinControl"; }
    void BeforeDestruction() override;

    // The window, made on first use (and the parent's before it). Raises EInvalidOperation
    // "Control 'X' has no parent window" for a control without a parent or parent window.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { (void)Handle(); }
    // A window outside the component tree to place this control's window in.
    HWND ParentWindow() const { return parentWindow_; }
    void SetParentWindow(HWND Value);
    // Destroys the window (saving what the control needs) and makes a new one.
    void RecreateWnd();

    Integer ControlCount() const { return static_cast<Integer>(controls_.size()); }
    TControl* Controls(Integer Index) const;
    bool ContainsControl(const TControl* Control) const;
    // The visible child control at a client point (graphic controls too), or nullptr.
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled = false) const;

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool Value);
    Integer TabOrder() const;
    void SetTabOrder(Integer Value);
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool Value);
    Integer BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(Integer Value);

    bool Focused() const;
    virtual bool CanFocus() const;
    // True while the control edits text in place and wants Key for itself: menu shortcuts then
    // leave the key alone.
    virtual bool WantsEditKey(Word Key, TShiftState Shift) {
        (void)Key;
        (void)Shift;
        return false;
    }
    virtual void SetFocus();

    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    void Realign() { AlignControls(nullptr); }
    bool Showing() const override;
    TRect ClientRect() const override;
    void Invalidate() override;
    void Update() override;
    void SetEnabled(bool Value) override;
    void BringToFront() override;
    void SendToBack() override;
    // Sends the message to every child control.
    void Broadcast(TMessage& Message);

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    friend class TControl;
    virtual void CreateParams(TCreateParams& Params);
    // Copies a registered class into Params and makes its procedure the default one.
    void CreateSubClass(TCreateParams& Params, const char* ControlClassName);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    void CreateHandle();
    void DestroyHandle();
    // The area children are aligned in (the client rect less borders).
    virtual void AdjustClientRect(TRect& Rect) const;
    virtual void AlignControls(TControl* AControl);
    // True for containers that place every child themselves (tool bars), so any child's move
    // asks them to lay out again.
    virtual bool PlacesChildren() const { return false; }
    virtual void PaintWindow(HDC DC);
    void PaintControls(HDC DC);
    // The frames of windowed children with a client edge, drawn around them (fields, lists).
    void PaintChildFrames(HDC DC);
    // The focus came or went: the control and its frame are drawn again.
    void FocusLookChanged();
    virtual bool DoKeyDown(Word& Key, TShiftState Shift);
    virtual bool DoKeyPress(char& Key);
    virtual bool DoKeyUp(Word& Key, TShiftState Shift);
    void ApplyBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
    void SetTextValue(const String& Value) override;
    String GetText() const override;
    void VisibleChanged() override;
    virtual void UpdateShowing();
    // Bounds as the window reports them after it moved or changed size.
    void UpdateBounds();
    // Called when the window has just been made / before it goes; default: nothing.
    virtual void WindowCreated() {}
    // Keyboard dialog keys (Enter, Escape) a form may want; true when used.
    virtual bool DialogKey(Word Key) { (void)Key; return false; }
    // Used when no window procedure runs yet or after the window is gone.
    WNDPROC DefWndProc() const { return defWndProc_; }

    HWND handle_ = nullptr;

private:
    friend LRESULT ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT ControlInitProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    void MainWndProc(TMessage& Message);
    void WMPaint(TMessage& Message);

    std::vector<TControl*> controls_;
    HWND parentWindow_ = nullptr;
    WNDPROC defWndProc_ = nullptr;
    bool tabStop_ = false;
    bool ctl3D_ = true;
    Integer borderWidth_ = 0;
    int alignDisabled_ = 0;
    bool aligning_ = false;
    bool creatingChildren_ = false;
};

// A canvas over a control's window (GetDC on first use, released when the window goes).
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl* Control) : control_(Control) {}
    ~TControlCanvas() override;
    const char* ClassName() const noexcept override { return "TControlCanvas"; }
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* control_;
    HWND window_ = nullptr;
    HDC ownDC_ = nullptr;
};

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    const char* ClassName() const noexcept override { return "TCustomControl"; }
    TCanvas* Canvas() { return canvas_.get(); }
    TNotifyEvent OnPaint;

protected:
    virtual void Paint();
    // The canvas draws in the control's font.
    void FontChanged() override;
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TControlCanvas> canvas_;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    const char* ClassName() const noexcept override { return "TGraphicControl"; }
    TCanvas* Canvas() { return &canvas_; }
    // Draws the control on the parent's device context (called by the parent's paint).
    void PaintOn(HDC DC);

protected:
    virtual void Paint() {}

private:
    TCanvas canvas_;
};

// Creates a component owned by owner under the given name; a control is also put on parent
// (when there is one). The building block of forms laid out in code.
template <class T>
T* MakeComponent(TComponent* owner, TWinControl* parent, const char* name) {
    T* c = new T(owner);
    c->SetName(name);
    if constexpr (std::is_base_of_v<TControl, T>) {
        if (parent) c->SetParent(parent);
    } else {
        (void)parent;
    }
    return c;
}

// The application object a control reports its errors to: that of its form's module, else
// the process's first application.
TApplication* ApplicationOf(const TControl* Control);
// Hands the exception being handled (call inside a catch block) to the application of the
// control's module.
void HandleControlException(TObject* Sender, const TControl* Control);
