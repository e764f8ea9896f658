// TPicture: holds one graphic, a bitmap or an icon, chosen by the file it loads.
//
// Above the bitmaps and icons it makes (Bitmap.cpp), which sit above the graphics base classes
// (Graphics.cpp); nothing below calls up (see the layout note in CMakeLists.txt).
#include "platform/Graphics.h"

#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

void TPicture::Changed() {
    if (OnChange) OnChange(this);
}

TBitmap* TPicture::Bitmap() {
    if (!dynamic_cast<TBitmap*>(graphic_.get())) {
        graphic_ = std::make_unique<TBitmap>();
        graphic_->OnChange = [this](TObject*) { Changed(); };
    }
    return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon() {
    if (!dynamic_cast<TIcon*>(graphic_.get())) {
        graphic_ = std::make_unique<TIcon>();
        graphic_->OnChange = [this](TObject*) { Changed(); };
    }
    return static_cast<TIcon*>(graphic_.get());
}

void TPicture::SetGraphic(TGraphic* Value) {
    if (!Value) {
        graphic_.reset();
    } else if (dynamic_cast<TIcon*>(Value)) {
        Icon()->Assign(Value);
    } else {
        Bitmap()->Assign(Value);
    }
    Changed();
}

void TPicture::LoadFromFile(const String& FileName) {
    String ext = UpperCase(FileName.size() >= 4 ? FileName.substr(FileName.size() - 4) : FileName);
    if (ext == ".BMP")
        Bitmap()->LoadFromFile(FileName);
    else if (ext == ".ICO")
        Icon()->LoadFromFile(FileName);
    else
        throw EInvalidGraphic(platform::detail::LayerFormat("Unknown picture file extension (%s)", {ext}));
    Changed();
}

void TPicture::SaveToFile(const String& FileName) const {
    if (graphic_) graphic_->SaveToFile(FileName);
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    if (auto* p = dynamic_cast<TPicture*>(Source)) {
        SetGraphic(p->graphic_.get());
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    TPersistent::Assign(Source);
}
