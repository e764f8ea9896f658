#include "platform/Buttons.h"

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
    TCanvas& c = *Canvas();
    if (!flat_ || down_) {
        c.Brush()->SetColor(down_ ? clBtnShadow : clBtnHighlight);
        c.FrameRect(ClientRect());
    }
    Integer x = 4;
    if (!glyph_.Empty()) {
        c.Draw(x, (height_ - glyph_.Height()) / 2, &glyph_);
        x += glyph_.Width() + 4;
    }
    c.Brush()->SetStyle(bsClear);
    String text = GetText();
    if (glyph_.Empty()) x = (width_ - c.TextWidth(text)) / 2;
    c.TextOut(x, (height_ - c.TextHeight(text)) / 2, text);
}
