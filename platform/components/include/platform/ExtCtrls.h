// Extended controls: panels, splitters, images and timers.
//
// TTimer runs on the window system's timers, so under a test's manual clock it fires only
// when the clock is advanced, at most once per step. Its handler's exceptions go to the
// application's HandleException.
#pragma once

#include "platform/Controls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TPanel"; }
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut Value);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut Value);
    Integer BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(Integer Value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle Value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment Value) { alignment_ = Value; Invalidate(); }

protected:
    // Bevels and the border width narrow the area children are aligned in.
    void AdjustClientRect(TRect& Rect) const override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    TBevelCut bevelInner_ = bvNone;
    TBevelCut bevelOuter_ = bvRaised;
    Integer bevelWidth_ = 1;
    TBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

// A bar between aligned controls. Dragging it resizes the control before it (the user's
// drag reaches it as mouse messages).
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TSplitter"; }
    Integer MinSize() const { return minSize_; }
    void SetMinSize(Integer Value) { minSize_ = Value; }
    TNotifyEvent OnMoved;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    // The aligned control the splitter sizes: the visible one on the same side just before it.
    TControl* FindControl() const;
    Integer minSize_ = 30;
    bool dragging_ = false;
    TPoint downAt_{};
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    const char* ClassName() const noexcept override { return "TImage"; }
    TPicture* Picture() { return picture_.get(); }
    void SetPicture(TPicture* Value) { picture_->Assign(Value); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool Value) { stretch_ = Value; Invalidate(); }
    bool Center() const { return center_; }
    void SetCenter(bool Value) { center_ = Value; Invalidate(); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool Value) { transparent_ = Value; Invalidate(); }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value);

protected:
    void Paint() override;

private:
    void PictureChanged();
    std::unique_ptr<TPicture> picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
        width_ = 50;
        height_ = 50;
    }
    const char* ClassName() const noexcept override { return "TBevel"; }
};

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    const char* ClassName() const noexcept override { return "TTimer"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool Value);
    Cardinal Interval() const { return interval_; }
    void SetInterval(Cardinal Value);
    TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    static LRESULT TimerWndProc(HWND, UINT, WPARAM, LPARAM);
    void UpdateTimer();
    bool enabled_ = true;
    Cardinal interval_ = 1000;
    HWND window_ = nullptr;
    bool running_ = false;
};
