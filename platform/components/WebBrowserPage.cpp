// The web-browser control's page: layout on demand, painting, scrolling and links.
#include <algorithm>

#include "platform/ImgList.h"
#include "platform/Style.h"
#include "platform/WebBrowser.h"
#include "platform/display/Page.h"
#include "detail/FileBytes.h"

namespace {

using platform::DrawItem;
using platform::DrawOp;

constexpr int kScrollBarWidth = 12;
constexpr int kWheelStep = 48;  // pixels per notch: three lines of text
constexpr int kKeyStep = 40;    // pixels per arrow key

bool StartsWithNoCase(const String& s, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= s.size()) return false;
        char ch = s[i];
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
        if (ch != prefix[i]) return false;
    }
    return true;
}

void Offset(DrawItem& item, int dx, int dy) {
    item.rect.left += dx;
    item.rect.right += dx;
    item.rect.top += dy;
    item.rect.bottom += dy;
    item.from.x += dx;
    item.from.y += dy;
    item.to.x += dx;
    item.to.y += dy;
}

// A scroll bar's thumb along the track beside a view of `view` pixels, of `content` pixels
// scrolled by `offset`: its start and length.
std::pair<int, int> Thumb(int view, int content, Integer offset) {
    if (content <= view) return {0, view};
    const int length = std::max(20, static_cast<int>(static_cast<long long>(view) * view / content));
    return {static_cast<int>((view - length) * static_cast<long long>(offset) / (content - view)), length};
}

}  // namespace

TWebBrowser::~TWebBrowser() = default;

bool TWebBrowser::ReadPicture(const String& src, std::vector<Byte>* bytes) const {
    String name = src.substr(0, src.find_first_of("?#"));
    if (name.empty() || StartsWithNoCase(name, "http:") || StartsWithNoCase(name, "https:") || StartsWithNoCase(name, "data:"))
        return false;
    const String prefix = "file:///";
    const bool url = StartsWithNoCase(name, "file:///");
    if (url) name = name.substr(prefix.size());
    // In the separator the page's location uses; relative to the page unless it names a drive
    // or the root.
    const char sep = url ? '\\' : !folder_.empty() ? folder_.back() : '\\';
    const bool absolute = url || (name.size() > 1 && name[1] == ':') || name[0] == '\\' || name[0] == '/';
    for (char& ch : name)
        if (ch == '/' || ch == '\\') ch = sep;
    return platform::detail::TryReadFileBytes(absolute ? name : folder_ + name, *bytes);
}

namespace {

// The picture as an image list of one image, which is what canvases draw; pixels less than
// half covered are left out.
std::unique_ptr<TCustomImageList> PictureList(const platform::display::PagePicture& picture) {
    auto list = std::make_unique<TCustomImageList>(picture.width, picture.height, nullptr);
    if (picture.width <= 0 || picture.height <= 0) return list;
    TBitmap image(picture.width, picture.height), mask(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            std::uint32_t p = picture.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)];
            image.SetPixel(x, y, static_cast<TColor>(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)));
            mask.SetPixel(x, y, (p >> 24) < 128 ? clWhite : clBlack);
        }
    list->Add(&image, &mask);
    return list;
}

}  // namespace

const platform::display::PageLayout* TWebBrowser::Page() {
    if (!HandleAllocated() || !platform::display::CanLayoutPages()) return nullptr;
    RECT client;
    GetClientRect(Handle(), &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0) return nullptr;
    if (page_ && (page_->width == width || page_->width == width - kScrollBarWidth)) return page_.get();
    auto page = std::make_shared<platform::display::PageLayout>();
    page->readPicture = [this](const String& src, std::vector<Byte>* bytes) { return ReadPicture(src, bytes); };
    if (!platform::display::LayoutPage(text_, width, page.get())) return nullptr;
    // Too tall for the window (less a bar for a page too wide): laid out again beside the
    // scroll bar.
    const int across = page->contentWidth > width ? kScrollBarWidth : 0;
    if (page->height > height - across && width > kScrollBarWidth)
        platform::display::LayoutPage(text_, width - kScrollBarWidth, page.get());
    page->readPicture = nullptr;
    pictures_.clear();
    for (const platform::display::PagePicture& picture : page->pictures) pictures_.push_back(PictureList(picture));
    page_ = std::move(page);
    ScrollTo(scrollTop_, scrollLeft_);
    return page_.get();
}

TWebBrowser::View TWebBrowser::ViewOf(const platform::display::PageLayout& page) {
    RECT client;
    GetClientRect(Handle(), &client);
    View v;
    v.down = page.width < client.right;  // laid out beside the bar
    v.width = client.right - (v.down ? kScrollBarWidth : 0);
    v.across = page.contentWidth > v.width;
    v.height = client.bottom - (v.across ? kScrollBarWidth : 0);
    if (!v.down && page.height > v.height) {
        v.down = true;
        v.width = client.right - kScrollBarWidth;
    }
    return v;
}

void TWebBrowser::ScrollTo(Integer top, Integer left) {
    Integer bottom = 0, right = 0;
    if (page_ && HandleAllocated()) {
        const View v = ViewOf(*page_);
        bottom = std::max<Integer>(0, page_->height - v.height);
        right = std::max<Integer>(0, page_->contentWidth - v.width);
    }
    top = std::clamp<Integer>(top, 0, bottom);
    left = std::clamp<Integer>(left, 0, right);
    if (top == scrollTop_ && left == scrollLeft_) return;
    scrollTop_ = top;
    scrollLeft_ = left;
    Invalidate();
}

void TWebBrowser::WndProc(TMessage& Message) {
    if (Message.Msg == WM_PAINT && platform::display::CanLayoutPages() && HandleAllocated()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintWindow(dc);
        EndPaint(Handle(), &ps);
        return;
    }
    if (Message.Msg == WM_MOUSEWHEEL && Page()) {
        auto delta = static_cast<short>(HIWORD(static_cast<std::uintptr_t>(Message.WParam)));
        const Integer step = delta * kWheelStep / 120;
        if (LOWORD(static_cast<std::uintptr_t>(Message.WParam)) & MK_SHIFT)
            ScrollTo(scrollTop_, scrollLeft_ - step);
        else
            ScrollTo(scrollTop_ - step, scrollLeft_);
        Message.Result = 0;
        return;
    }
    if (Message.Msg == WM_KEYDOWN && Page()) {
        const WPARAM key = Message.WParam;
        TWinControl::WndProc(Message);  // the key's events first; they may navigate
        const platform::display::PageLayout* page = Page();
        if (!page) return;
        const View v = ViewOf(*page);
        const Integer screen = std::max(kKeyStep, v.height - kKeyStep);
        Integer top = scrollTop_, left = scrollLeft_;
        switch (key) {
            case VK_UP: top -= kKeyStep; break;
            case VK_DOWN: top += kKeyStep; break;
            case VK_LEFT: left -= kKeyStep; break;
            case VK_RIGHT: left += kKeyStep; break;
            case VK_PRIOR: top -= screen; break;
            case VK_NEXT: top += screen; break;
            case VK_HOME: top = 0, left = 0; break;
            case VK_END: top = page->height; break;
            default: return;
        }
        ScrollTo(top, left);
        return;
    }
    if (Message.Msg == WM_SETFOCUS || Message.Msg == WM_KILLFOCUS) Invalidate();  // its focus mark
    if (Message.Msg == WM_PAINT && HandleAllocated()) platform::display::NotePageAwaitingRenderer(Handle());
    TWinControl::WndProc(Message);
}

void TWebBrowser::PaintWindow(HDC DC) {
    platform::Canvas* canvas = platform::CanvasOf(DC);
    const platform::display::PageLayout* page = Page();
    if (!canvas || !page) return;
    RECT client;
    GetClientRect(Handle(), &client);
    canvas->brushColor = RGB(255, 255, 255);
    canvas->FillRect(client);
    canvas->bkMode = TRANSPARENT;
    for (DrawItem item : page->items) {
        Offset(item, -scrollLeft_, -scrollTop_);
        if (item.op == DrawOp::Text) {
            if (item.from.y > client.bottom || item.from.y < -200) continue;
            canvas->font = item.font;
            canvas->textColor = item.textColor;
            canvas->TextOut(item.from.x, item.from.y, item.text);
        } else if (item.op == DrawOp::Image) {
            if (item.imageIndex < 0 || item.imageIndex >= static_cast<int>(pictures_.size())) continue;
            if (item.rect.top <= client.bottom && item.rect.bottom >= 0)
                canvas->DrawImage(reinterpret_cast<std::uintptr_t>(pictures_[static_cast<std::size_t>(item.imageIndex)]->Handle()),
                                  0, item.from.x, item.from.y, true);
        } else if (item.rect.top <= client.bottom && item.rect.bottom >= 0) {
            canvas->brushColor = item.color;
            if (item.op == DrawOp::FrameRect)
                canvas->FrameRect(item.rect);
            else
                canvas->FillRect(item.rect);
        }
    }
    // The scroll bars: a track and a thumb as long as the visible share of the page.
    const View v = ViewOf(*page);
    if (v.down) {
        RECT track{client.right - kScrollBarWidth, 0, client.right, client.bottom};
        canvas->brushColor = RGB(240, 240, 240);
        canvas->FillRect(track);
        const auto [top, length] = Thumb(v.height, page->height, scrollTop_);
        canvas->brushColor = RGB(192, 192, 192);
        canvas->FillRect(RECT{track.left + 3, top + 2, track.right - 3, top + length - 2});
    }
    if (v.across) {
        RECT track{0, client.bottom - kScrollBarWidth, v.width, client.bottom};
        canvas->brushColor = RGB(240, 240, 240);
        canvas->FillRect(track);
        const auto [left, length] = Thumb(v.width, page->contentWidth, scrollLeft_);
        canvas->brushColor = RGB(192, 192, 192);
        canvas->FillRect(RECT{left + 2, track.top + 3, left + length - 2, track.bottom - 3});
    }
    if (Focused()) platform::Style::Current().FocusMark(*canvas, client);  // the page takes the keys
}

String TWebBrowser::LinkAt(int X, int Y) {
    const platform::display::PageLayout* page = Page();
    if (!page) return String();
    const View v = ViewOf(*page);
    if (X >= v.width || Y >= v.height) return String();  // on a scroll bar
    const platform::display::PageLink* link = platform::display::LinkAt(*page, POINT{X + scrollLeft_, Y + scrollTop_});
    return link ? link->href : String();
}

// A click on a scroll bar's track pages toward it; its thumb is dragged.
void TWebBrowser::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TWinControl::MouseDown(Button, Shift, X, Y);
    const platform::display::PageLayout* page = Page();
    if (Button != mbLeft || !page) return;
    const View v = ViewOf(*page);
    if (v.down && X >= v.width && Y < v.height) {
        const auto [top, length] = Thumb(v.height, page->height, scrollTop_);
        if (Y < top || Y >= top + length)
            ScrollTo(scrollTop_ + (Y < top ? -1 : 1) * std::max(kKeyStep, v.height - kKeyStep), scrollLeft_);
        else
            drag_ = Drag{true, false, Y, scrollTop_};
    } else if (v.across && Y >= v.height && X < v.width) {
        const auto [left, length] = Thumb(v.width, page->contentWidth, scrollLeft_);
        if (X < left || X >= left + length)
            ScrollTo(scrollTop_, scrollLeft_ + (X < left ? -1 : 1) * std::max(kKeyStep, v.width - kKeyStep));
        else
            drag_ = Drag{true, true, X, scrollLeft_};
    }
    if (drag_.active) SetCapture(Handle());
}

void TWebBrowser::MouseMove(TShiftState Shift, int X, int Y) {
    TWinControl::MouseMove(Shift, X, Y);
    const platform::display::PageLayout* page = Page();
    if (!drag_.active || !page) return;
    // The thumb follows the pointer: its travel along the track spans the page's.
    const View v = ViewOf(*page);
    const int track = drag_.across ? v.width : v.height;
    const int content = drag_.across ? page->contentWidth : page->height;
    const int travel = track - Thumb(track, content, 0).second;
    if (travel <= 0) return;
    const Integer moved = static_cast<Integer>(static_cast<long long>((drag_.across ? X : Y) - drag_.from) * (content - track) / travel);
    if (drag_.across)
        ScrollTo(scrollTop_, drag_.offset + moved);
    else
        ScrollTo(drag_.offset + moved, scrollLeft_);
}

void TWebBrowser::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TWinControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    if (drag_.active) {
        drag_ = Drag{};
        if (GetCapture() == Handle()) ReleaseCapture();
        return;
    }
    String href = LinkAt(X, Y);
    if (!href.empty()) FollowLink(href);
}

void TWebBrowser::FollowLink(const String& href) {
    if (href[0] == '#') return;  // a place on this page
    if (StartsWithNoCase(href, "http:") || StartsWithNoCase(href, "https:") || StartsWithNoCase(href, "mailto:")) {
        ShellExecuteA(Handle(), "open", href.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    if (StartsWithNoCase(href, "file:")) {
        Navigate(href);
        return;
    }
    // Relative to the page shown, in the separator the location uses.
    String location = locationURL_;
    auto slash = location.find_last_of("\\/");
    const char sep = slash != String::npos ? location[slash] : '\\';
    String target = href.substr(0, href.find('#'));
    for (char& ch : target)
        if (ch == '/' || ch == '\\') ch = sep;
    Navigate((slash == String::npos ? String() : location.substr(0, slash + 1)) + target);
}
