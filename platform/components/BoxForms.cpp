#include "platform/BoxForms.h"

#include <algorithm>

#include "platform/Canvas.h"
#include "platform/Forms.h"
#include "platform/MenuLoop.h"
#include "platform/StdCtrls.h"

namespace platform {
namespace {

// Geometry of a box, in pixels.
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kMaxTextWidth = 360;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;
constexpr int kEditWidth = 300;
constexpr int kEditHeight = 23;
constexpr int kMinClientWidth = 200;

// The icon's colour and the sign drawn on it, by the MB_ICON flags (0: no icon).
struct IconLook {
    COLORREF color;
    const char* sign;
};
bool IconOf(UINT type, IconLook& look) {
    switch (type & 0xF0) {
        case MB_ICONERROR: look = {RGB(204, 51, 51), "x"}; return true;
        case MB_ICONQUESTION: look = {RGB(48, 140, 198), "?"}; return true;
        case MB_ICONWARNING: look = {RGB(230, 160, 0), "!"}; return true;
        case MB_ICONINFORMATION: look = {RGB(48, 140, 198), "i"}; return true;
        default: return false;
    }
}

std::size_t Utf8Length(const String& s, std::size_t at) {
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return std::min(n, s.size() - at);
}

// Breaks the text into lines no wider than maxWidth: at its line breaks, between words, and
// inside a word too long for a line (never inside a character).
std::vector<String> WrapText(const FontSpec& font, const String& text, int maxWidth) {
    std::vector<String> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        String para = text.substr(start, end == String::npos ? String::npos : end - start);
        if (!para.empty() && para.back() == '\r') para.pop_back();
        String line;
        std::size_t i = 0;
        while (i < para.size()) {
            std::size_t wordEnd = para.find(' ', i);
            if (wordEnd == String::npos) wordEnd = para.size();
            String word = para.substr(i, wordEnd - i);
            String candidate = line.empty() ? word : line + " " + word;
            if (TextExtent(font, candidate).cx <= maxWidth) {
                line = candidate;
            } else {
                if (!line.empty()) lines.push_back(line);
                line.clear();
                // A word wider than a whole line is cut between characters.
                std::size_t k = 0;
                while (k < word.size()) {
                    std::size_t n = Utf8Length(word, k);
                    if (!line.empty() && TextExtent(font, line + word.substr(k, n)).cx > maxWidth) {
                        lines.push_back(line);
                        line.clear();
                    }
                    line += word.substr(k, n);
                    k += n;
                }
            }
            i = wordEnd + 1;
        }
        lines.push_back(line);
        if (end == String::npos) break;
        start = end + 1;
    }
    return lines;
}

char Mnemonic(const String& caption) {
    auto at = caption.find('&');
    if (at == String::npos || at + 1 >= caption.size()) return 0;
    char c = caption[at + 1];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The form of one box. It is the layer's own: it belongs to no module's form list.
class TBoxForm : public TCustomForm {
public:
    explicit TBoxForm(const DialogRequest& request) : TCustomForm(nullptr, ModuleContext{}), type_(request.buttons) {
        recordsModal_ = false;
        SetBorderStyle(bsDialog);
        SetPosition(poMainFormCenter);
        SetCaption(request.caption);
        hasIcon_ = request.kind == DialogKind::MessageBox && IconOf(type_, icon_);
        lines_ = WrapText(FontSpec{}, request.text, kMaxTextWidth);
        const int lineHeight = FontCellHeight(kDefaultFontHeight) + 2;
        int textWidth = 0;
        for (const String& l : lines_) textWidth = std::max<int>(textWidth, TextExtent(FontSpec{}, l).cx);
        textLeft_ = kMargin + (hasIcon_ ? kIconSize + kIconGap : 0);
        int top = kMargin + std::max(hasIcon_ ? kIconSize : 0, static_cast<int>(lines_.size()) * lineHeight);
        int clientWidth = std::max(textLeft_ + textWidth + kMargin, kMinClientWidth);

        std::vector<BoxButton> buttons = BoxButtons(type_);
        const int defaultIndex = BoxDefaultButton(type_);
        const int cancelIndex = BoxCancelButton(type_);
        if (request.kind == DialogKind::InputBox) {
            edit_ = new TEdit(this);
            edit_->SetParent(this);
            edit_->SetText(request.value);
            edit_->SetBounds(kMargin, top + kMargin / 2, kEditWidth, kEditHeight);
            edit_->OnKeyDown = [this](TObject*, Word& key, TShiftState shift) { Key(edit_, key, shift); };
            top += kMargin / 2 + kEditHeight;
            clientWidth = std::max(clientWidth, kEditWidth + 2 * kMargin);
        }
        const int rowWidth = static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
        clientWidth = std::max(clientWidth, rowWidth + 2 * kMargin);
        const int buttonTop = top + kMargin;
        // The buttons sit at the right, as the desktop's own dialogs have them.
        int x = clientWidth - kMargin - rowWidth;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            auto* b = new TButton(this);
            b->SetParent(this);
            b->SetCaption(buttons[i].caption);
            b->SetModalResult(buttons[i].answer);
            b->SetDefault(static_cast<int>(i) == defaultIndex);
            b->SetCancel(static_cast<int>(i) == cancelIndex);
            b->SetBounds(x, buttonTop, kButtonWidth, kButtonHeight);
            b->OnKeyDown = [this, b](TObject*, Word& key, TShiftState shift) { Key(b, key, shift); };
            buttons_.push_back(b);
            x += kButtonWidth + kButtonGap;
        }
        Handle();  // the frame of the dialog border is known from here on: the client size counts it
        SetClientWidth(clientWidth);
        SetClientHeight(buttonTop + kButtonHeight + kMargin);
        SetActiveControl(edit_ ? static_cast<TWinControl*>(edit_) : buttons_[static_cast<std::size_t>(defaultIndex)]);
    }

    const char* ClassName() const noexcept override { return "TMessageForm"; }
    TEdit* Edit() const { return edit_; }
    UINT Type() const { return type_; }

protected:
    void PaintWindow(HDC DC) override {
        if (Canvas* c = CanvasOf(DC)) {
            if (hasIcon_) PaintIcon(*c);
            const MenuPalette& pal = MenuColors();
            const int lineHeight = FontCellHeight(kDefaultFontHeight) + 2;
            c->font = FontSpec{};
            c->textColor = pal.text;
            c->bkMode = TRANSPARENT;
            int y = kMargin;
            if (hasIcon_ && static_cast<int>(lines_.size()) * lineHeight < kIconSize)
                y += (kIconSize - static_cast<int>(lines_.size()) * lineHeight) / 2;
            for (const String& l : lines_) {
                c->TextOut(textLeft_, y, l);
                y += lineHeight;
            }
        }
        TCustomForm::PaintWindow(DC);
    }

private:
    // A flat disc in the icon's colour, drawn a row at a time, with its sign in white.
    void PaintIcon(Canvas& c) {
        c.brushClear = false;
        c.brushColor = icon_.color;
        const int r = kIconSize / 2, cx = kMargin + r, cy = kMargin + r;
        for (int dy = -r; dy < r; ++dy) {
            const double y = dy + 0.5;
            int half = 0;
            while ((half + 0.5) * (half + 0.5) + y * y <= static_cast<double>(r * r)) ++half;
            if (half > 0) c.FillRect(RECT{cx - half, cy + dy, cx + half, cy + dy + 1});
        }
        FontSpec sign;
        sign.height = -20;
        sign.weight = FW_BOLD;
        c.font = sign;
        c.textColor = RGB(255, 255, 255);
        c.bkMode = TRANSPARENT;
        const SIZE s = TextExtent(sign, icon_.sign);
        c.TextOut(cx - s.cx / 2, cy - s.cy / 2, icon_.sign);
    }

    // The keys of the box: Return presses the focused button, Tab and the arrows move between
    // the controls, a button's letter presses it. Escape and Return in the edit reach the
    // cancel and default buttons through the form.
    void Key(TWinControl* from, Word& key, TShiftState shift) {
        std::vector<TWinControl*> order;
        if (edit_) order.push_back(edit_);
        for (TButton* b : buttons_) order.push_back(b);
        auto at = std::find(order.begin(), order.end(), from) - order.begin();
        const auto n = static_cast<std::ptrdiff_t>(order.size());
        auto focus = [&](std::ptrdiff_t i) {
            TWinControl* next = order[static_cast<std::size_t>((i % n + n) % n)];
            if (next->CanFocus()) next->SetFocus();
            key = 0;
        };
        const bool onButton = from != edit_;
        switch (key) {
            case VK_TAB: focus(at + ((shift & ssShift) ? -1 : 1)); return;
            case VK_RIGHT:
            case VK_DOWN:
                if (onButton) focus(at + 1);
                return;
            case VK_LEFT:
            case VK_UP:
                if (onButton) focus(at - 1);
                return;
            case VK_RETURN:
            case VK_SPACE:
                if (onButton) {
                    key = 0;
                    static_cast<TButton*>(from)->Click();
                }
                return;
            default: break;
        }
        if (!onButton && !(shift & ssAlt)) return;
        for (TButton* b : buttons_)
            if (key < 0x80 && Mnemonic(b->Caption()) == static_cast<char>(key)) {
                key = 0;
                b->Click();
                return;
            }
    }

    UINT type_;
    bool hasIcon_ = false;
    IconLook icon_{};
    std::vector<String> lines_;
    int textLeft_ = kMargin;
    TEdit* edit_ = nullptr;
    std::vector<TButton*> buttons_;
};

int RunBox(DialogRequest& request) {
    auto* form = new TBoxForm(request);
    int answer = 0;
    try {
        answer = form->ShowModal();
        if (request.kind == DialogKind::InputBox && answer == IDOK) request.value = form->Edit()->Text();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    // Closed by the window manager: a box without a cancel button gives its default answer.
    if (answer == IDCANCEL && request.kind == DialogKind::MessageBox && BoxCancelButton(request.buttons) < 0)
        answer = DefaultDialogAnswer(request);
    return answer;
}

}  // namespace

std::vector<BoxButton> BoxButtons(UINT type) {
    const BoxButton ok{"OK", IDOK}, cancel{"Cancel", IDCANCEL}, abort{"&Abort", IDABORT}, retry{"&Retry", IDRETRY},
        ignore{"&Ignore", IDIGNORE}, yes{"&Yes", IDYES}, no{"&No", IDNO};
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: return {ok, cancel};
        case MB_ABORTRETRYIGNORE: return {abort, retry, ignore};
        case MB_YESNOCANCEL: return {yes, no, cancel};
        case MB_YESNO: return {yes, no};
        case MB_RETRYCANCEL: return {retry, cancel};
        default: return {ok};
    }
}

int BoxDefaultButton(UINT type) {
    const int wanted = static_cast<int>((type >> 8) & 0x3);
    const int count = static_cast<int>(BoxButtons(type).size());
    return wanted < count ? wanted : 0;
}

int BoxCancelButton(UINT type) {
    std::vector<BoxButton> buttons = BoxButtons(type);
    if (buttons.size() == 1) return 0;
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].answer == IDCANCEL) return static_cast<int>(i);
    return -1;
}

void InstallBoxForms() {
    static const bool installed = [] {
        SetBoxRunner(&RunBox);
        return true;
    }();
    (void)installed;
}

}  // namespace platform
