#include "platform/ImgList.h"

#include <algorithm>
#include <set>

#include "platform/TreeView.h"

namespace {

std::set<const TCustomImageList*>& LiveLists() {
    static std::set<const TCustomImageList*> lists;
    return lists;
}

// The tree window class sits below the components and knows image lists only by handle.
bool TreeImageSize(HIMAGELIST list, int* width, int* height) {
    const TCustomImageList* images = TCustomImageList::FromHandle(list);
    if (!images) return false;
    *width = images->Width();
    *height = images->Height();
    return true;
}

HIMAGELIST TreeDragImage(const TreeDragPicture& p) {
    auto* list = new TImageList(p.width, p.height, nullptr);
    TBitmap picture(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) picture.SetPixel(x, y, static_cast<TColor>(p.background));
    if (TCustomImageList* icons = p.icons ? TCustomImageList::FromHandle(p.icons) : nullptr;
        icons && p.iconIndex >= 0 && p.iconIndex < icons->Count()) {
        TBitmap icon;
        icons->GetBitmap(p.iconIndex, &icon);
        const int top = std::max((p.height - icon.Height()) / 2, 0);
        for (int y = 0; y < icon.Height() && top + y < p.height; ++y)
            for (int x = 0; x < icon.Width() && x < p.width; ++x) picture.SetPixel(x, top + y, icon.Pixel(x, y));
    }
    for (int y = 0; y < p.height; ++y)
        for (int x = p.labelLeft; x < p.width; ++x) picture.SetPixel(x, y, static_cast<TColor>(p.accent));
    const int baseline = p.height / 2;
    for (int x = p.textLeft; x < p.textRight; ++x)
        if ((x - p.textLeft) % 3 != 2) picture.SetPixel(x, baseline, static_cast<TColor>(p.ink));
    list->Add(&picture, nullptr);
    return list->Handle();
}

const bool g_treeHooksInstalled = [] {
    SetTreeImageSizeQuery(TreeImageSize);
    SetTreeDragImageFactory(TreeDragImage);
    return true;
}();

}  // namespace

TChangeLink::~TChangeLink() {
    if (sender_) sender_->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) { LiveLists().insert(this); }

TCustomImageList::TCustomImageList(Integer AWidth, Integer AHeight, TComponent* AOwner)
    : TComponent(AOwner), width_(std::max(AWidth, 1)), height_(std::max(AHeight, 1)) {
    LiveLists().insert(this);
}

TCustomImageList::~TCustomImageList() {
    LiveLists().erase(this);
    for (TChangeLink* link : links_) link->sender_ = nullptr;
}

TCustomImageList* TCustomImageList::FromHandle(HIMAGELIST Handle) {
    auto* list = reinterpret_cast<TCustomImageList*>(Handle);
    return LiveLists().count(list) ? list : nullptr;
}

void TCustomImageList::SetWidth(Integer Value) {
    if (Value == width_ || Value < 1) return;
    width_ = Value;
    images_.clear();
    Change();
}

void TCustomImageList::SetHeight(Integer Value) {
    if (Value == height_ || Value < 1) return;
    height_ = Value;
    images_.clear();
    Change();
}

void TCustomImageList::CheckIndex(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index");
}

Integer TCustomImageList::AddCut(TBitmap* Source, const std::function<bool(Integer, Integer)>& Transparent) {
    if (!Source || Source->Empty()) return -1;
    Integer first = Count();
    Integer pieces = std::max<Integer>(Source->Width() / width_, 1);
    for (Integer p = 0; p < pieces; ++p) {
        Image image;
        image.bitmap.CopyFrom(*Source, p * width_, 0, width_, height_);
        image.mask.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), false);
        for (Integer y = 0; y < height_; ++y)
            for (Integer x = 0; x < width_; ++x)
                image.mask[static_cast<std::size_t>(y) * width_ + x] = Transparent(p * width_ + x, y);
        images_.push_back(std::move(image));
    }
    Change();
    return first;
}

Integer TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    return AddCut(Image, [Mask](Integer x, Integer y) {
        return Mask && !Mask->Empty() && (static_cast<COLORREF>(Mask->Pixel(x, y)) & 0xFFFFFF) == 0xFFFFFF;
    });
}

Integer TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    COLORREF mask = ColorToRGB(MaskColor == clDefault && Image ? Image->TransparentColor() : MaskColor);
    return AddCut(Image, [Image, mask](Integer x, Integer y) {
        return (static_cast<COLORREF>(Image->Pixel(x, y)) & 0xFFFFFF) == mask;
    });
}

Integer TCustomImageList::AddIcon(TIcon* Icon) {
    if (!Icon || Icon->Empty()) return -1;
    const std::vector<bool>& m = Icon->Mask();
    Integer w = Icon->Width();
    return AddCut(&Icon->Image(), [&m, w](Integer x, Integer y) {
        std::size_t i = static_cast<std::size_t>(y) * w + x;
        return i < m.size() && m[i];
    });
}

void TCustomImageList::Delete(Integer Index) {
    CheckIndex(Index);
    images_.erase(images_.begin() + Index);
    Change();
}

void TCustomImageList::Clear() {
    images_.clear();
    Change();
}

void TCustomImageList::Replace(Integer Index, TBitmap* Image, TBitmap* Mask) {
    CheckIndex(Index);
    TCustomImageList scratch(width_, height_, nullptr);
    scratch.Add(Image, Mask);
    if (scratch.Count() == 0) return;
    images_[static_cast<std::size_t>(Index)] = scratch.images_[0];
    Change();
}

void TCustomImageList::GetBitmap(Integer Index, TBitmap* Image) const {
    CheckIndex(Index);
    if (Image) Image->Assign(const_cast<TBitmap*>(&images_[static_cast<std::size_t>(Index)].bitmap));
}

void TCustomImageList::GetIcon(Integer Index, TIcon* Image) const {
    CheckIndex(Index);
    if (!Image) return;
    Image->Image().Assign(const_cast<TBitmap*>(&images_[static_cast<std::size_t>(Index)].bitmap));
    Image->Mask() = images_[static_cast<std::size_t>(Index)].mask;
}

bool TCustomImageList::IsTransparentPixel(Integer Index, Integer X, Integer Y) const {
    CheckIndex(Index);
    if (X < 0 || Y < 0 || X >= width_ || Y >= height_) return true;
    return images_[static_cast<std::size_t>(Index)].mask[static_cast<std::size_t>(Y) * width_ + X];
}

void TCustomImageList::Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled) const {
    if (!Canvas || Index < 0 || Index >= Count()) return;
    HDC dc = Canvas->Handle();
    if (platform::Canvas* c = platform::CanvasOf(dc))
        c->DrawImage(reinterpret_cast<std::uintptr_t>(Handle()), Index, X + Canvas->Origin().x, Y + Canvas->Origin().y, Enabled);
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
    if (!Value) return;
    if (Value->sender_ && Value->sender_ != this) Value->sender_->UnRegisterChanges(Value);
    Value->sender_ = this;
    if (std::find(links_.begin(), links_.end(), Value) == links_.end()) links_.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
    links_.erase(std::remove(links_.begin(), links_.end(), Value), links_.end());
    if (Value && Value->sender_ == this) Value->sender_ = nullptr;
}

void TCustomImageList::Change() {
    for (TChangeLink* link : std::vector<TChangeLink*>(links_))
        if (link->OnChange) link->OnChange(this);
    if (OnChange && !Destroying()) OnChange(this);
}
