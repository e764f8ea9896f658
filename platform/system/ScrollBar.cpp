#include "platform/ScrollBar.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/Style.h"

namespace {

// The scroll state of windows that keep it here, per window and bar.
struct ScrollStore {
    std::mutex mutex;
    std::map<std::pair<HWND, int>, SCROLLINFO> bars;
};

ScrollStore& Store() {
    static ScrollStore* store = new ScrollStore;  // windows may outlive statics
    return *store;
}

void Clamp(SCROLLINFO& s) {
    if (s.nMax < s.nMin) s.nMax = s.nMin;
    UINT range = static_cast<UINT>(s.nMax - s.nMin + 1);
    if (s.nPage > range) s.nPage = range;
    s.nPos = std::clamp(s.nPos, s.nMin, platform::MaxScrollPos(s));
    s.nTrackPos = std::clamp(s.nTrackPos, s.nMin, platform::MaxScrollPos(s));
}

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

}  // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
    if (!hwnd || !info || !ValidBar(bar)) return 0;
    int pos = 0;
    {
        std::lock_guard lock(Store().mutex);
        SCROLLINFO& s = Store().bars[{hwnd, bar}];
        if (info->fMask & SIF_RANGE) {
            s.nMin = info->nMin;
            s.nMax = info->nMax;
        }
        if (info->fMask & SIF_PAGE) s.nPage = info->nPage;
        if (info->fMask & SIF_POS) s.nPos = info->nPos;
        if (info->fMask & SIF_TRACKPOS) s.nTrackPos = info->nTrackPos;
        Clamp(s);
        pos = s.nPos;
    }
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE_);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    if (!hwnd || !info || !ValidBar(bar)) return FALSE_;
    UINT mask = info->fMask ? info->fMask : SIF_ALL;
    SCROLLINFO s;
    s.fMask = SIF_ALL;
    if (!SendMessageA(hwnd, SBM_GETSCROLLINFO, static_cast<WPARAM>(bar), reinterpret_cast<LPARAM>(&s))) {
        std::lock_guard lock(Store().mutex);
        auto it = Store().bars.find({hwnd, bar});
        if (it == Store().bars.end()) return FALSE_;
        s = it->second;
    }
    if (mask & SIF_RANGE) {
        info->nMin = s.nMin;
        info->nMax = s.nMax;
    }
    if (mask & SIF_PAGE) info->nPage = s.nPage;
    if (mask & SIF_POS) info->nPos = s.nPos;
    if (mask & SIF_TRACKPOS) info->nTrackPos = s.nTrackPos;
    return TRUE_;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO s;
    s.fMask = SIF_POS;
    s.nPos = pos;
    SetScrollInfo(hwnd, bar, &s, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO s;
    s.fMask = SIF_POS;
    return GetScrollInfo(hwnd, bar, &s) ? s.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO s;
    s.fMask = SIF_RANGE;
    s.nMin = minPos;
    s.nMax = maxPos;
    SetScrollInfo(hwnd, bar, &s, redraw);
    return hwnd && ValidBar(bar) ? TRUE_ : FALSE_;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
    SCROLLINFO s;
    s.fMask = SIF_RANGE;
    if (!GetScrollInfo(hwnd, bar, &s)) return FALSE_;
    if (minPos) *minPos = s.nMin;
    if (maxPos) *maxPos = s.nMax;
    return TRUE_;
}

namespace platform {

void ForgetScrollBars(HWND hwnd) {
    std::lock_guard lock(Store().mutex);
    for (int bar : {SB_HORZ, SB_VERT}) Store().bars.erase({hwnd, bar});
}

int MaxScrollPos(const SCROLLINFO& info) {
    int page = static_cast<int>(info.nPage);
    return std::max(info.nMin, info.nMax - std::max(page - 1, 0));
}

int ScrollRequestPos(WPARAM request, int pos, int page, int count) {
    switch (LOWORD(request)) {
        case SB_LINEUP: return pos - 1;
        case SB_LINEDOWN: return pos + 1;
        case SB_PAGEUP: return pos - page;
        case SB_PAGEDOWN: return pos + page;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: return HIWORD(request);
        case SB_TOP: return 0;
        case SB_BOTTOM: return count;
        default: return pos;
    }
}

bool ScrollNeeded(const SCROLLINFO& info) {
    return info.nMax > info.nMin && (info.nPage == 0 || static_cast<int>(info.nPage) <= info.nMax - info.nMin);
}

RECT VerticalBarRect(const RECT& client, bool horizontalToo) {
    return RECT{client.right - kScrollBarSize, client.top, client.right,
                client.bottom - (horizontalToo ? kScrollBarSize : 0)};
}

RECT HorizontalBarRect(const RECT& client, bool verticalToo) {
    return RECT{client.left, client.bottom - kScrollBarSize, client.right - (verticalToo ? kScrollBarSize : 0),
                client.bottom};
}

ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const SCROLLINFO& info) {
    ScrollGeometry g;
    g.vertical = vertical;
    g.bar = bar;
    int length = vertical ? bar.bottom - bar.top : bar.right - bar.left;
    int breadth = vertical ? bar.right - bar.left : bar.bottom - bar.top;
    // Arrows are square, and share a bar too short for two squares.
    int arrow = std::min(breadth, length / 2);
    int start = vertical ? bar.top : bar.left;
    int end = start + length;
    auto piece = [&](int from, int to) {
        return vertical ? RECT{bar.left, from, bar.right, to} : RECT{from, bar.top, to, bar.bottom};
    };
    g.back = piece(start, start + arrow);
    g.forward = piece(end - arrow, end);
    g.track = piece(start + arrow, end - arrow);
    int trackLength = length - 2 * arrow;
    g.enabled = ScrollNeeded(info);
    if (!g.enabled || trackLength <= 0) return g;
    int range = info.nMax - info.nMin + 1;
    int page = info.nPage > 0 ? static_cast<int>(info.nPage) : 1;
    int thumb = std::max(static_cast<int>(static_cast<long long>(trackLength) * page / range), kScrollMinThumb);
    if (thumb >= trackLength) {
        g.enabled = false;  // no room to move: as good as no bar
        return g;
    }
    int span = MaxScrollPos(info) - info.nMin;
    int travel = trackLength - thumb;
    int offset = span > 0 ? static_cast<int>(static_cast<long long>(info.nPos - info.nMin) * travel / span) : 0;
    offset = std::clamp(offset, 0, travel);
    g.thumb = piece(start + arrow + offset, start + arrow + offset + thumb);
    return g;
}

ScrollPart HitScrollBar(const ScrollGeometry& g, POINT p) {
    if (!PtInRect(&g.bar, p)) return ScrollPart::None;
    if (PtInRect(&g.back, p)) return ScrollPart::LineBack;
    if (PtInRect(&g.forward, p)) return ScrollPart::LineForward;
    if (!g.enabled) return ScrollPart::None;
    if (PtInRect(&g.thumb, p)) return ScrollPart::Thumb;
    int at = g.vertical ? p.y : p.x;
    int thumbStart = g.vertical ? g.thumb.top : g.thumb.left;
    return at < thumbStart ? ScrollPart::PageBack : ScrollPart::PageForward;
}

int ScrollPosAtThumbOffset(const ScrollGeometry& g, const SCROLLINFO& info, int offset) {
    int trackLength = g.vertical ? g.track.bottom - g.track.top : g.track.right - g.track.left;
    int thumb = g.vertical ? g.thumb.bottom - g.thumb.top : g.thumb.right - g.thumb.left;
    int travel = trackLength - thumb;
    int span = MaxScrollPos(info) - info.nMin;
    if (travel <= 0 || span <= 0) return info.nMin;
    offset = std::clamp(offset, 0, travel);
    // Rounded to the nearest position, so that a drag to either end reaches it.
    return info.nMin + static_cast<int>((static_cast<long long>(offset) * span + travel / 2) / travel);
}

void PaintScrollBar(Canvas& c, const ScrollGeometry& g, ScrollPart hot, ScrollPart pressed) {
    const Style& style = Style::Current();
    auto state = [&](ScrollPart part) {
        PartState s = g.enabled ? psNormal : psDisabled;
        if (g.enabled && hot == part) s |= psHover;
        if (g.enabled && pressed == part) s |= psPressed;
        return s;
    };
    style.ScrollTrack(c, g.bar, g.vertical);
    style.ScrollArrow(c, g.back, g.vertical ? ArrowDirection::Up : ArrowDirection::Left, state(ScrollPart::LineBack));
    style.ScrollArrow(c, g.forward, g.vertical ? ArrowDirection::Down : ArrowDirection::Right,
                      state(ScrollPart::LineForward));
    if (g.enabled) style.ScrollThumb(c, g.thumb, state(ScrollPart::Thumb));
}

// ---- the mouse on a bar

namespace {

SCROLLINFO InfoOf(HWND hwnd, int bar) {
    SCROLLINFO s;
    s.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd, bar, &s)) s = SCROLLINFO{};
    return s;
}

}  // namespace

void ScrollBarDriver::Request(HWND hwnd, WPARAM code, int pos) {
    UINT msg = bar_ == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(hwnd, msg, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(std::clamp(pos, 0, 0xFFFF))), 0);
}

bool ScrollBarDriver::MouseDown(HWND hwnd, const RECT& barRect, POINT p) {
    SCROLLINFO info = InfoOf(hwnd, bar_);
    ScrollGeometry g = LayoutScrollBar(barRect, bar_ == SB_VERT, info);
    if (!PtInRect(&g.bar, p)) return false;
    ScrollPart part = HitScrollBar(g, p);
    pressed_ = part;
    switch (part) {
        case ScrollPart::LineBack: Request(hwnd, SB_LINEUP, 0); break;
        case ScrollPart::LineForward: Request(hwnd, SB_LINEDOWN, 0); break;
        case ScrollPart::PageBack: Request(hwnd, SB_PAGEUP, 0); break;
        case ScrollPart::PageForward: Request(hwnd, SB_PAGEDOWN, 0); break;
        case ScrollPart::Thumb:
            grabOffset_ = g.vertical ? p.y - g.thumb.top : p.x - g.thumb.left;
            break;
        case ScrollPart::None: break;
    }
    InvalidateRect(hwnd, &barRect, FALSE_);
    return true;
}

bool ScrollBarDriver::MouseMove(HWND hwnd, const RECT& barRect, POINT p) {
    SCROLLINFO info = InfoOf(hwnd, bar_);
    ScrollGeometry g = LayoutScrollBar(barRect, bar_ == SB_VERT, info);
    ScrollPart hot = HitScrollBar(g, p);
    if (hot != hot_) {
        hot_ = hot;
        InvalidateRect(hwnd, &barRect, FALSE_);
    }
    if (pressed_ == ScrollPart::Thumb) {
        int lead = (g.vertical ? p.y - g.track.top : p.x - g.track.left) - grabOffset_;
        Request(hwnd, SB_THUMBTRACK, ScrollPosAtThumbOffset(g, info, lead));
        return true;
    }
    return Active();
}

bool ScrollBarDriver::MouseUp(HWND hwnd, const RECT& barRect, POINT p) {
    if (!Active()) return false;
    if (pressed_ == ScrollPart::Thumb) {
        SCROLLINFO info = InfoOf(hwnd, bar_);
        ScrollGeometry g = LayoutScrollBar(barRect, bar_ == SB_VERT, info);
        int lead = (g.vertical ? p.y - g.track.top : p.x - g.track.left) - grabOffset_;
        Request(hwnd, SB_THUMBPOSITION, ScrollPosAtThumbOffset(g, info, lead));
    }
    pressed_ = ScrollPart::None;
    Request(hwnd, SB_ENDSCROLL, 0);
    InvalidateRect(hwnd, &barRect, FALSE_);
    return true;
}

void ScrollBarDriver::Paint(HWND hwnd, Canvas& c, const RECT& barRect) const {
    PaintScrollBar(c, LayoutScrollBar(barRect, bar_ == SB_VERT, InfoOf(hwnd, bar_)), hot_, pressed_);
}

}  // namespace platform
