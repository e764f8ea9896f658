// Speed buttons: flat, windowless buttons drawn by their parent, often grouped so that one
// stays down. The system's page headers use them as link-like buttons with the hand cursor.
#pragma once

#include "platform/Controls.h"

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TSpeedButton"; }
    bool Flat() const { return flat_; }
    void SetFlat(bool Value) { flat_ = Value; Invalidate(); }
    bool Down() const { return down_; }
    // Within a group (GroupIndex above 0) one button is down; AllowAllUp lets all be up.
    void SetDown(bool Value);
    Integer GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(Integer Value) { groupIndex_ = Value; }
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool Value) { allowAllUp_ = Value; }
    TBitmap* Glyph() { return &glyph_; }
    void SetGlyph(TBitmap* Value) { glyph_.Assign(Value); Invalidate(); }
    // A grouped button goes down, then OnClick.
    void Click() override;

protected:
    void Paint() override;

private:
    bool flat_ = false;
    bool down_ = false;
    Integer groupIndex_ = 0;
    bool allowAllUp_ = false;
    TBitmap glyph_;
};
