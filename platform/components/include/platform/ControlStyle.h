// The style's canvas over a component canvas (TCanvas), for controls that paint through
// the style: it draws on the canvas's device context, shifted by the canvas's origin (graphic
// controls draw on their parent's window) and starting in the canvas's font.
#pragma once

#include "platform/Controls.h"
#include "platform/Style.h"

class TStyleCanvas : public platform::Canvas {
public:
    explicit TStyleCanvas(TCanvas& c);
    void FillRect(const RECT& rect) override;
    void FrameRect(const RECT& rect) override;
    void Rectangle(const RECT& rect) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text) override;
    void TextRect(const RECT& clip, int x, int y, std::string_view text) override;
    void DrawImage(std::uintptr_t imageList, int index, int x, int y, bool enabled) override;
    void DrawFocusRect(const RECT& rect) override;

private:
    // The device's canvas with this canvas's state applied.
    platform::Canvas& Target();
    RECT Shift(const RECT& r) const;
    platform::Canvas* target_;
    POINT origin_;
};

// The state of a control as the style sees it.
platform::PartState ControlPartState(TControl& control, bool focused);

// The control under the pointer ("hot"): the one that last had a mouse move. A change tells
// the control that lost it (CM_MOUSELEAVE) and the one that got it (CM_MOUSEENTER), and
// repaints both, so hover looks follow the pointer.
void NoteMouseOver(TControl* control);
bool IsMouseOver(const TControl* control);
