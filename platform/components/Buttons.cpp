#include "platform/Buttons.h"
#include "platform/ControlStyle.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 23;
    height_ = 22;
}

void TSpeedButton::SetDown(bool Value) {
    if (groupIndex_ == 0) Value = false;
    if (down_ == Value) return;
    if (!Value && !allowAllUp_) return;
    down_ = Value;
    if (Value && Parent())
        for (Integer i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
                other && other != this && other->groupIndex_ == groupIndex_)
                other->down_ = false;
    Invalidate();
}

void TSpeedButton::Click() {
    if (!Enabled() || Destroying()) return;
    if (groupIndex_ != 0) SetDown(allowAllUp_ ? !down_ : true);
    TGraphicControl::Click();
}

void TSpeedButton::Paint() {
    TCanvas& canvas = *Canvas();
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    platform::PartState state = ControlPartState(*this, false);
    if (down_) state |= platform::psChecked;
    String text = platform::Style::CaptionText(GetText());
    SIZE size = c.TextExtent(text);
    // A flat button with a caption alone is a link: its own colours (the page headers give
    // theirs), underlined under the pointer, with no face of its own.
    bool link = flat_ && glyph_.Empty();
    if (link) {
        platform::FontSpec font = c.font;
        c.font.underline = (state & platform::psHover) != 0;
        style.Text(c, (width_ - size.cx) / 2, (height_ - size.cy) / 2, text, ColorToRGB(Font()->Color()), state);
        c.font = font;
        return;
    }
    if (flat_)
        style.FlatButton(c, ClientRect(), state);
    else
        style.Button(c, ClientRect(), state);
    Integer x = 4;
    if (!glyph_.Empty()) {
        canvas.Draw(x, (height_ - glyph_.Height()) / 2, &glyph_);
        x += glyph_.Width() + 4;
    } else {
        x = (width_ - size.cx) / 2;
    }
    style.Text(c, x, (height_ - size.cy) / 2, text, ColorToRGB(Font()->Color()), state);
}
