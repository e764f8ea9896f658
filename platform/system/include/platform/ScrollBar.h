// Scroll bars: the SetScrollInfo family, the arithmetic of a bar's pieces, and the mouse on a
// bar.
//
// A window's scroll bars are drawn by the window itself, inside its client area, through
// the style: the window keeps its range, page and position here (SetScrollInfo) or, when its
// model owns them (the tree window), answers SBM_GETSCROLLINFO with wParam naming the bar.
// ScrollBarDriver turns presses, thumb drags and releases on a bar into the WM_VSCROLL /
// WM_HSCROLL requests the window already handles for the keyboard and the wheel, so every
// way of scrolling runs through one handler. The arithmetic is pure and tested without
// windows.
#pragma once

#include "platform/Canvas.h"

// Scroll-bar requests of WM_VSCROLL / WM_HSCROLL (low word of wParam).
inline constexpr WPARAM SB_LINEUP = 0, SB_LINELEFT = 0;
inline constexpr WPARAM SB_LINEDOWN = 1, SB_LINERIGHT = 1;
inline constexpr WPARAM SB_PAGEUP = 2, SB_PAGELEFT = 2;
inline constexpr WPARAM SB_PAGEDOWN = 3, SB_PAGERIGHT = 3;
inline constexpr WPARAM SB_THUMBPOSITION = 4;
inline constexpr WPARAM SB_THUMBTRACK = 5;
inline constexpr WPARAM SB_TOP = 6, SB_LEFT = 6;
inline constexpr WPARAM SB_BOTTOM = 7, SB_RIGHT = 7;
inline constexpr WPARAM SB_ENDSCROLL = 8;
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_BOTH = 3;

struct SCROLLINFO {
    UINT cbSize = sizeof(SCROLLINFO);
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
inline constexpr UINT SIF_RANGE = 0x0001, SIF_PAGE = 0x0002, SIF_POS = 0x0004, SIF_DISABLENOSCROLL = 0x0008,
                      SIF_TRACKPOS = 0x0010, SIF_ALL = 0x0017;
// Asked of a window whose scroll state lives in its own model: wParam the bar, lParam a
// SCROLLINFO to fill; TRUE when answered.
inline constexpr UINT SBM_GETSCROLLINFO = 0x00EA;

// The position stays within [nMin, nMax - nPage + 1]; the page within the range. Returns the
// position now set.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos);

namespace platform {

// The highest position a bar can take: the last page starts there.
int MaxScrollPos(const SCROLLINFO& info);
// Drops the bars SetScrollInfo kept for a window; the window table calls it as the window goes.
void ForgetScrollBars(HWND hwnd);
// Where a WM_VSCROLL / WM_HSCROLL request (its wParam) takes a view that shows page lines
// from pos of count: the caller clamps. SB_ENDSCROLL and unknown requests keep pos.
int ScrollRequestPos(WPARAM request, int pos, int page, int count);
// True when the content does not fit the page (the bar has something to do).
bool ScrollNeeded(const SCROLLINFO& info);

enum class ScrollPart { None, LineBack, PageBack, Thumb, PageForward, LineForward };

// The pieces of one bar in client coordinates.
struct ScrollGeometry {
    bool vertical = true;
    bool enabled = false;
    RECT bar{};
    RECT back{};     // the arrow towards the start
    RECT forward{};  // the arrow towards the end
    RECT track{};    // between the arrows
    RECT thumb{};    // within the track; empty when disabled
};

ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const SCROLLINFO& info);
ScrollPart HitScrollBar(const ScrollGeometry& g, POINT p);
// The position a thumb stands for when its leading edge is offset pixels into the track.
int ScrollPosAtThumbOffset(const ScrollGeometry& g, const SCROLLINFO& info, int offset);
void PaintScrollBar(Canvas& c, const ScrollGeometry& g, ScrollPart hot, ScrollPart pressed);
// The rectangles of the vertical and horizontal bars of a client area when shown, and the
// little corner between them.
RECT VerticalBarRect(const RECT& client, bool horizontalToo);
RECT HorizontalBarRect(const RECT& client, bool verticalToo);

// The mouse on one bar of a window. A press on an arrow or the track sends one line or page
// request; a press on the thumb starts a drag whose moves send SB_THUMBTRACK with the
// position and whose release sends SB_THUMBPOSITION, then SB_ENDSCROLL.
class ScrollBarDriver {
public:
    explicit ScrollBarDriver(int bar) : bar_(bar) {}
    // True when p is on the bar (then the press is the bar's).
    bool MouseDown(HWND hwnd, const RECT& barRect, POINT p);
    // True while the bar has the mouse (a drag or a held press).
    bool MouseMove(HWND hwnd, const RECT& barRect, POINT p);
    bool MouseUp(HWND hwnd, const RECT& barRect, POINT p);
    bool Active() const { return pressed_ != ScrollPart::None; }
    ScrollPart Pressed() const { return pressed_; }
    ScrollPart Hot() const { return hot_; }
    void Paint(HWND hwnd, Canvas& c, const RECT& barRect) const;

private:
    void Request(HWND hwnd, WPARAM code, int pos);
    int bar_;
    ScrollPart pressed_ = ScrollPart::None;
    ScrollPart hot_ = ScrollPart::None;
    int grabOffset_ = 0;  // pointer's distance from the thumb's leading edge at the press
};

}  // namespace platform
