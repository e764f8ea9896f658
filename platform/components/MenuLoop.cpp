#include "platform/MenuLoop.h"

#include <algorithm>
#include <memory>

#include "platform/Canvas.h"
#include "platform/MessageLoop.h"

namespace platform {
namespace {

constexpr const char* kMenuClass = "TarvikPopupMenu";
constexpr UINT_PTR kSubmenuTimer = 1;
// How long the pointer rests on an item before its sub-menu opens by itself.
constexpr UINT kSubmenuDelayMillis = 250;

// Geometry, in pixels: a frame of one pixel, a little room above the first and below the last
// item, a gutter for the check mark, the caption, a gap, the shortcut, room for the arrow.
constexpr int kFrame = 1;
constexpr int kPadY = 3;
constexpr int kItemPadY = 4;
constexpr int kSeparatorHeight = 7;
constexpr int kGutter = 24;
constexpr int kShortcutGap = 24;
constexpr int kArrowArea = 20;
constexpr int kMinWidth = 120;
// A sub-menu overlaps its parent so that moving the pointer across never leaves both.
constexpr int kSubmenuOverlap = 3;

// A bright, flat menu in the manner of the desktop's current toolkits.
const MenuPalette kPalette{
    RGB(252, 252, 252),  // background
    RGB(168, 168, 168),  // border
    RGB(30, 30, 30),     // text
    RGB(160, 160, 160),  // disabled text
    RGB(110, 110, 110),  // shortcut text
    RGB(48, 140, 198),   // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(218, 218, 218),  // separator
};

// The caption without its "&" marks, and the index (in the result) of the letter after a
// single "&", or npos.
String VisibleCaption(const String& caption, std::size_t* mnemonic) {
    String out;
    std::size_t mark = String::npos;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (caption[i + 1] != '&' && mark == String::npos) mark = out.size();
            ++i;
        }
        out += caption[i];
    }
    if (mnemonic) *mnemonic = mark;
    return out;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

FontSpec ItemFont(const TMenuItem& item) {
    FontSpec f;
    if (item.Default()) f.weight = FW_BOLD;
    return f;
}

int ItemHeight(const TMenuItem& item) {
    return item.IsLine() ? kSeparatorHeight : FontCellHeight(kDefaultFontHeight) + 2 * kItemPadY;
}

bool HasSubmenu(const TMenuItem& item) { return item.Count() > 0; }

bool Selectable(const TMenuItem& item) { return !item.IsLine() && item.Enabled() && item.Visible(); }

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MBUTTONDBLCLK; }

bool IsButtonDown(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
           m == WM_RBUTTONDBLCLK || m == WM_MBUTTONDBLCLK;
}

struct MenuLevel {
    TMenuItem* parent = nullptr;
    std::weak_ptr<bool> parentAlive;
    std::vector<TMenuItem*> items;
    std::vector<std::weak_ptr<bool>> alive;
    std::vector<RECT> rects;  // client coordinates
    HWND hwnd = nullptr;
    RECT screen{};            // the window's rectangle on the screen
    int hot = -1;
};

class MenuTracker {
public:
    MenuTracker(HWND owner, MenuBarScope* bar, std::function<void(TMenuItem*)> onSelect)
        : owner_(owner), bar_(bar), onSelect_(std::move(onSelect)) {}
    ~MenuTracker() { CloseFrom(0); }

    TMenuItem* Run(TMenuItem& items, POINT at);
    void Cancel() { done_ = true; }

    MenuLevel* LevelOf(HWND hwnd) {
        for (auto& l : levels_)
            if (l.hwnd == hwnd) return &l;
        return nullptr;
    }
    const std::vector<MenuLevel>& Levels() const { return levels_; }

    void Paint(HWND hwnd);
    void Timer(HWND hwnd);
    void Mouse(UINT msg, POINT screen);
    void Key(int vk);
    void Char(unsigned char ch);

private:
    bool Open(TMenuItem* parent, POINT at, const RECT* besideItem);
    void CloseFrom(std::size_t level);
    void OpenSubmenu(std::size_t level, bool selectFirst);
    void Activate(std::size_t level, int index);
    void SetHot(std::size_t level, int index);
    void MoveHot(std::size_t level, int from, int step);
    bool ItemAlive(const MenuLevel& l, int index) const {
        return index >= 0 && index < static_cast<int>(l.items.size()) && !l.alive[static_cast<std::size_t>(index)].expired();
    }
    // Level and item under a screen point (deepest menu first); level -1 outside every menu.
    std::pair<int, int> HitTest(POINT screen) const;

    HWND owner_;
    MenuBarScope* bar_;
    std::function<void(TMenuItem*)> onSelect_;
    std::vector<MenuLevel> levels_;
    TMenuItem* picked_ = nullptr;
    bool done_ = false;
    // A button going up picks only after the pointer moved onto an item or a button went down
    // in the menu: the release of the press that opened the menu picks nothing.
    bool armed_ = false;
};

thread_local MenuTracker* t_tracker = nullptr;
thread_local MenuBarScope* t_bar = nullptr;

LRESULT CALLBACK_MenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MenuTracker* t = t_tracker;
    if (!t || !t->LevelOf(hwnd)) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT: t->Paint(hwnd); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_TIMER:
            if (wParam == kSubmenuTimer) t->Timer(hwnd);
            return 0;
        case WM_MOUSEACTIVATE: return 3;  // MA_NOACTIVATE: a menu never takes activation
        default:
            // Input sent straight to a menu window (rather than posted) is the loop's too.
            if (IsMouseMessage(msg)) {
                POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(hwnd, &p);
                t->Mouse(msg, p);
                return 0;
            }
            if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
                t->Key(static_cast<int>(wParam));
                return 0;
            }
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void RegisterMenuClass() {
    static const bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = CALLBACK_MenuProc;
        wc.lpszClassName = kMenuClass;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

bool MenuTracker::Open(TMenuItem* parent, POINT at, const RECT* besideItem) {
    MenuLevel l;
    l.parent = parent;
    l.parentAlive = parent->AliveToken();
    for (Integer i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        // Separators at either end or next to each other say nothing.
        if (item->IsLine() && (l.items.empty() || l.items.back()->IsLine())) continue;
        l.items.push_back(item);
    }
    while (!l.items.empty() && l.items.back()->IsLine()) l.items.pop_back();
    if (l.items.empty()) return false;

    int captionWidth = 0, shortcutWidth = 0;
    for (TMenuItem* item : l.items) {
        l.alive.push_back(item->AliveToken());
        if (item->IsLine()) continue;
        captionWidth = std::max<int>(captionWidth, TextExtent(ItemFont(*item), VisibleCaption(item->Caption(), nullptr)).cx);
        if (String sc = ShortCutToText(item->ShortCut()); !sc.empty())
            shortcutWidth = std::max<int>(shortcutWidth, TextExtent(FontSpec{}, sc).cx);
    }
    int width = kFrame + kGutter + captionWidth + (shortcutWidth ? kShortcutGap + shortcutWidth : 0) + kArrowArea + kFrame;
    width = std::max(width, kMinWidth);
    int y = kFrame + kPadY;
    for (TMenuItem* item : l.items) {
        int h = ItemHeight(*item);
        l.rects.push_back(RECT{kFrame, y, width - kFrame, y + h});
        y += h;
    }
    int height = y + kPadY + kFrame;

    // Stay on the screen: a menu that has no room below opens above; a sub-menu that has no
    // room to the right of its parent opens to the left of it.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    int x = at.x, top = at.y;
    if (besideItem) {
        x = besideItem->right - kSubmenuOverlap;
        top = besideItem->top - kPadY - kFrame;
        if (x + width > screenW) x = besideItem->left - width + kSubmenuOverlap;
        if (top + height > screenH) top = std::max(0, besideItem->bottom + kPadY + kFrame - height);
    } else {
        if (x + width > screenW) x = screenW - width;
        if (top + height > screenH && at.y - height >= 0) top = at.y - height;
    }
    x = std::max(x, 0);
    top = std::max(top, 0);
    l.screen = RECT{x, top, x + width, top + height};

    RegisterMenuClass();
    l.hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kMenuClass, "", WS_POPUP, x, top, width, height, owner_,
                             nullptr, nullptr, nullptr);
    if (!l.hwnd) return false;
    levels_.push_back(std::move(l));
    HWND h = levels_.back().hwnd;
    ShowWindow(h, SW_SHOWNOACTIVATE);
    UpdateWindow(h);
    return true;
}

void MenuTracker::CloseFrom(std::size_t level) {
    while (levels_.size() > level) {
        HWND h = levels_.back().hwnd;
        levels_.pop_back();
        if (IsWindow(h)) {
            KillTimer(h, kSubmenuTimer);
            DestroyWindow(h);
        }
    }
    if (!levels_.empty() && level > 0) InvalidateRect(levels_.back().hwnd, nullptr, FALSE_);
}

TMenuItem* MenuTracker::Run(TMenuItem& items, POINT at) {
    if (!Open(&items, at, nullptr)) return nullptr;
    HWND previousCapture = GetCapture();
    SetCapture(levels_.front().hwnd);
    LoopScope scope;
    PersonWait wait;
    while (!done_) {
        if (levels_.empty() || levels_.front().parentAlive.expired()) break;
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!wait.Idle()) break;
            continue;
        }
        wait.Handled();
        if (msg.message == WM_QUIT) {
            // The quit belongs to the loop outside; the menus just close.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (IsMouseMessage(msg.message) && msg.hwnd) {
            POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ClientToScreen(msg.hwnd, &p);
            Mouse(msg.message, p);
        } else if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            int vk = static_cast<int>(msg.wParam);
            // Letters and digits come back as characters, which is where the input method
            // and the keyboard layout have had their say.
            if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) TranslateMessage(&msg);
            Key(vk);
        } else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
            Char(static_cast<unsigned char>(msg.wParam));
        } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP || msg.message == WM_MOUSEWHEEL) {
            // The menu has the keyboard and the wheel; nothing underneath hears of them.
        } else {
            DispatchMessageA(&msg);
        }
    }
    CloseFrom(0);
    ReleaseCapture();
    if (previousCapture && IsWindow(previousCapture)) SetCapture(previousCapture);
    return picked_;
}

std::pair<int, int> MenuTracker::HitTest(POINT screen) const {
    for (int li = static_cast<int>(levels_.size()) - 1; li >= 0; --li) {
        const MenuLevel& l = levels_[static_cast<std::size_t>(li)];
        if (!PtInRect(&l.screen, screen)) continue;
        POINT p{screen.x - l.screen.left, screen.y - l.screen.top};
        for (std::size_t i = 0; i < l.rects.size(); ++i)
            if (PtInRect(&l.rects[i], p)) return {li, static_cast<int>(i)};
        return {li, -1};
    }
    return {-1, -1};
}

void MenuTracker::SetHot(std::size_t level, int index) {
    MenuLevel& l = levels_[level];
    if (index >= 0 && !Selectable(*l.items[static_cast<std::size_t>(index)])) index = -1;
    if (l.hot == index) return;
    l.hot = index;
    KillTimer(l.hwnd, kSubmenuTimer);
    InvalidateRect(l.hwnd, nullptr, FALSE_);
    if (index >= 0 && onSelect_) onSelect_(l.items[static_cast<std::size_t>(index)]);
}

void MenuTracker::MoveHot(std::size_t level, int from, int step) {
    MenuLevel& l = levels_[level];
    const int n = static_cast<int>(l.items.size());
    int i = from;
    for (int tries = 0; tries < n; ++tries) {
        i = ((i + step) % n + n) % n;
        if (Selectable(*l.items[static_cast<std::size_t>(i)])) {
            SetHot(level, i);
            return;
        }
    }
}

void MenuTracker::OpenSubmenu(std::size_t level, bool selectFirst) {
    MenuLevel& l = levels_[level];
    const int hot = l.hot;
    if (!ItemAlive(l, hot)) return;
    TMenuItem* item = l.items[static_cast<std::size_t>(hot)];
    if (!HasSubmenu(*item)) return;
    if (levels_.size() > level + 1 && levels_[level + 1].parent == item) {
        if (selectFirst && levels_[level + 1].hot < 0) MoveHot(level + 1, -1, 1);
        return;
    }
    CloseFrom(level + 1);
    // The item is clicked as its sub-menu opens: its handler may still change the sub-items.
    std::weak_ptr<bool> alive = item->AliveToken();
    item->Click();
    if (alive.expired() || done_ || levels_.size() <= level) return;
    RECT beside = levels_[level].rects[static_cast<std::size_t>(hot)];
    OffsetRect(&beside, levels_[level].screen.left, levels_[level].screen.top);
    if (Open(item, POINT{beside.right, beside.top}, &beside) && selectFirst) MoveHot(levels_.size() - 1, -1, 1);
}

void MenuTracker::Activate(std::size_t level, int index) {
    MenuLevel& l = levels_[level];
    if (!ItemAlive(l, index)) return;
    TMenuItem* item = l.items[static_cast<std::size_t>(index)];
    if (!Selectable(*item)) return;
    SetHot(level, index);
    if (HasSubmenu(*item)) {
        OpenSubmenu(level, true);
        return;
    }
    picked_ = item;
    done_ = true;
}

void MenuTracker::Timer(HWND hwnd) {
    KillTimer(hwnd, kSubmenuTimer);
    for (std::size_t i = 0; i < levels_.size(); ++i)
        if (levels_[i].hwnd == hwnd) {
            OpenSubmenu(i, false);
            return;
        }
}

void MenuTracker::Mouse(UINT msg, POINT screen) {
    if (levels_.empty()) return;
    auto [li, index] = HitTest(screen);
    if (li < 0) {
        // A press outside every menu closes them all; the press is spent on that.
        if (IsButtonDown(msg)) done_ = true;
        return;
    }
    const auto level = static_cast<std::size_t>(li);
    MenuLevel& l = levels_[level];
    if (msg == WM_MOUSEMOVE) {
        if (index >= 0 && index != l.hot) armed_ = true;
        const int before = l.hot;
        SetHot(level, index);
        if (l.hot == before) return;
        // Moving onto another item of a menu closes the sub-menus of the item left behind;
        // resting on an item with a sub-menu opens it.
        if (levels_.size() > level + 1) CloseFrom(level + 1);
        if (l.hot >= 0 && HasSubmenu(*l.items[static_cast<std::size_t>(l.hot)]))
            SetTimer(l.hwnd, kSubmenuTimer, kSubmenuDelayMillis, nullptr);
        return;
    }
    if (IsButtonDown(msg)) {
        armed_ = true;
        if (index >= 0 && HasSubmenu(*l.items[static_cast<std::size_t>(index)])) {
            SetHot(level, index);
            OpenSubmenu(level, false);
        }
        return;
    }
    if ((msg == WM_LBUTTONUP || msg == WM_RBUTTONUP) && armed_ && index >= 0 &&
        !HasSubmenu(*l.items[static_cast<std::size_t>(index)]))
        Activate(level, index);
}

void MenuTracker::Key(int vk) {
    if (levels_.empty()) return;
    const std::size_t level = levels_.size() - 1;
    MenuLevel& l = levels_[level];
    switch (vk) {
        case VK_DOWN: MoveHot(level, l.hot, 1); break;
        case VK_UP: MoveHot(level, l.hot < 0 ? 0 : l.hot, -1); break;
        case VK_HOME: MoveHot(level, -1, 1); break;
        case VK_END: MoveHot(level, 0, -1); break;
        case VK_RIGHT:
            if (l.hot >= 0 && HasSubmenu(*l.items[static_cast<std::size_t>(l.hot)])) {
                OpenSubmenu(level, true);
            } else if (bar_) {
                bar_->SetStep(1);
                done_ = true;
            }
            break;
        case VK_LEFT:
            if (level > 0) {
                CloseFrom(level);
            } else if (bar_) {
                bar_->SetStep(-1);
                done_ = true;
            }
            break;
        case VK_ESCAPE:
            if (level > 0)
                CloseFrom(level);
            else
                done_ = true;
            break;
        case VK_RETURN:
        case VK_SPACE: Activate(level, l.hot); break;
        case VK_MENU:
        case VK_F10:  // like Alt, leaves the menus
            done_ = true;
            break;
        default: break;
    }
}

void MenuTracker::Char(unsigned char ch) {
    if (levels_.empty() || ch < 0x20 || ch >= 0x80) return;
    const std::size_t level = levels_.size() - 1;
    MenuLevel& l = levels_[level];
    const char wanted = Upper(static_cast<char>(ch));
    // Items whose "&" letter is the key; in a menu without such letters, the first letters.
    std::vector<int> matches;
    bool anyMnemonic = false;
    for (std::size_t i = 0; i < l.items.size(); ++i) {
        std::size_t m;
        String text = VisibleCaption(l.items[i]->Caption(), &m);
        if (m != String::npos) anyMnemonic = true;
        if (m != String::npos && Upper(text[m]) == wanted && Selectable(*l.items[i])) matches.push_back(static_cast<int>(i));
    }
    if (!anyMnemonic)
        for (std::size_t i = 0; i < l.items.size(); ++i) {
            String text = VisibleCaption(l.items[i]->Caption(), nullptr);
            if (!text.empty() && Upper(text[0]) == wanted && Selectable(*l.items[i])) matches.push_back(static_cast<int>(i));
        }
    if (matches.empty()) return;
    if (matches.size() == 1) {
        Activate(level, matches[0]);
        return;
    }
    // Several items share the letter: each press moves to the next of them.
    auto next = std::find_if(matches.begin(), matches.end(), [&](int i) { return i > l.hot; });
    SetHot(level, next == matches.end() ? matches[0] : *next);
}

void MenuTracker::Paint(HWND hwnd) {
    MenuLevel* l = LevelOf(hwnd);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Canvas* c = CanvasOf(dc);
    if (!c || !l) {
        EndPaint(hwnd, &ps);
        return;
    }
    const MenuPalette& pal = MenuColors();
    RECT client{0, 0, l->screen.right - l->screen.left, l->screen.bottom - l->screen.top};
    c->brushClear = false;
    c->brushColor = pal.background;
    c->FillRect(client);
    c->brushColor = pal.border;
    c->FrameRect(client);
    c->bkMode = TRANSPARENT;
    const int cell = FontCellHeight(kDefaultFontHeight);
    for (std::size_t i = 0; i < l->items.size(); ++i) {
        if (l->alive[i].expired()) continue;
        const TMenuItem& item = *l->items[i];
        const RECT& r = l->rects[i];
        if (item.IsLine()) {
            const int mid = (r.top + r.bottom) / 2;
            c->penColor = pal.separator;
            c->MoveTo(r.left + 4, mid);
            c->LineTo(r.right - 4, mid);
            continue;
        }
        const bool hot = static_cast<int>(i) == l->hot;
        if (hot) {
            c->brushColor = pal.highlight;
            c->FillRect(r);
        }
        const COLORREF ink = !item.Enabled() ? pal.disabledText : hot ? pal.highlightText : pal.text;
        const int textTop = r.top + (r.bottom - r.top - cell) / 2;
        const int midY = (r.top + r.bottom) / 2;
        if (item.Checked()) {
            c->penColor = ink;
            c->brushColor = ink;
            const int cx = r.left + kGutter / 2;
            if (item.RadioItem()) {
                c->FillRect(RECT{cx - 3, midY - 3, cx + 3, midY + 3});
            } else {
                // A check mark, two pixels thick.
                for (int d = 0; d < 2; ++d) {
                    c->MoveTo(cx - 4, midY - 1 + d);
                    c->LineTo(cx - 1, midY + 2 + d);
                    c->LineTo(cx + 5, midY - 4 + d);
                }
            }
        }
        std::size_t mnemonic;
        String text = VisibleCaption(item.Caption(), &mnemonic);
        c->font = ItemFont(item);
        c->textColor = ink;
        const int x = r.left + kGutter;
        c->TextOut(x, textTop, text);
        if (mnemonic != String::npos) {
            const int from = x + TextExtent(c->font, std::string_view(text).substr(0, mnemonic)).cx;
            const int to = x + TextExtent(c->font, std::string_view(text).substr(0, mnemonic + 1)).cx;
            c->penColor = ink;
            c->MoveTo(from, textTop + cell - 1);
            c->LineTo(to, textTop + cell - 1);
        }
        if (String sc = ShortCutToText(item.ShortCut()); !sc.empty()) {
            c->font = FontSpec{};
            c->textColor = !item.Enabled() ? pal.disabledText : hot ? pal.highlightText : pal.shortcutText;
            c->TextOut(r.right - kArrowArea - TextExtent(c->font, sc).cx, textTop, sc);
        }
        if (HasSubmenu(item)) {
            // A small arrow pointing to where the sub-menu opens.
            const int ax = r.right - kArrowArea / 2 - 2;
            c->penColor = ink;
            for (int d = 0; d < 2; ++d) {
                c->MoveTo(ax + d, midY - 4);
                c->LineTo(ax + 4 + d, midY);
                c->LineTo(ax + d - 1, midY + 5);
            }
        }
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

const MenuPalette& MenuColors() { return kPalette; }

TMenuItem* TrackMenu(TMenuItem& Items, POINT At, HWND Owner, std::function<void(TMenuItem*)> OnSelect) {
    if (t_tracker) return nullptr;
    // Only the menu a bar drops down itself steps along the bar, not one opened from it.
    MenuBarScope* bar = t_bar;
    t_bar = nullptr;
    if (bar) bar->SetStep(0);
    MenuTracker tracker(Owner ? Owner : GetActiveWindow(), bar, std::move(OnSelect));
    t_tracker = &tracker;
    struct Reset {
        MenuBarScope* bar;
        ~Reset() {
            t_tracker = nullptr;
            t_bar = bar;
        }
    } reset{bar};
    TMenuItem* picked = tracker.Run(Items, At);
    return picked;
}

MenuBarScope::MenuBarScope() : outer_(t_bar) { t_bar = this; }
MenuBarScope::~MenuBarScope() { t_bar = outer_; }

int MenuBarScope::TakeStep() {
    const int step = step_;
    step_ = 0;
    return step;
}

MenuBarScope* CurrentMenuBar() { return t_bar; }

void EndMenu() {
    if (!t_tracker) return;
    t_tracker->Cancel();
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool InMenuLoop() { return t_tracker != nullptr; }

std::vector<HWND> OpenMenuWindows() {
    std::vector<HWND> out;
    if (t_tracker)
        for (const auto& l : t_tracker->Levels()) out.push_back(l.hwnd);
    return out;
}

std::vector<TMenuItem*> MenuWindowItems(HWND MenuWindow) {
    MenuLevel* l = t_tracker ? t_tracker->LevelOf(MenuWindow) : nullptr;
    return l ? l->items : std::vector<TMenuItem*>{};
}

int MenuHotItem(HWND MenuWindow) {
    MenuLevel* l = t_tracker ? t_tracker->LevelOf(MenuWindow) : nullptr;
    return l ? l->hot : -1;
}

RECT MenuItemRect(HWND MenuWindow, int Index) {
    MenuLevel* l = t_tracker ? t_tracker->LevelOf(MenuWindow) : nullptr;
    if (!l || Index < 0 || Index >= static_cast<int>(l->rects.size())) return RECT{};
    return l->rects[static_cast<std::size_t>(Index)];
}

}  // namespace platform
