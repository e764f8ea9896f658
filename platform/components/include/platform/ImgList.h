// Image lists: images of one size with masks, built from BMP bitmaps.
//
// A list hands its handle (HIMAGELIST) to controls that draw from it; drawing goes to the
// canvas's display list as an image item naming the list and the index. Controls that keep a
// list register a TChangeLink and hear every change of it.
#pragma once

#include <functional>
#include <vector>

#include "platform/Components.h"
#include "platform/Graphics.h"

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

class TCustomImageList;

class TChangeLink : public TObject {
public:
    ~TChangeLink() override;
    const char* ClassName() const noexcept override { return "TChangeLink"; }
    TCustomImageList* Sender() const { return sender_; }
    TNotifyEvent OnChange;

private:
    friend class TCustomImageList;
    TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner);
    TCustomImageList(Integer AWidth, Integer AHeight, TComponent* AOwner);
    ~TCustomImageList() override;
    const char* ClassName() const noexcept override { return "TImageList"; }

    Integer Width() const { return width_; }
    Integer Height() const { return height_; }
    // Changing the size clears the list.
    void SetWidth(Integer Value);
    void SetHeight(Integer Value);
    Integer Count() const { return static_cast<Integer>(images_.size()); }
    bool Masked() const { return masked_; }
    void SetMasked(bool Value) { masked_ = Value; }
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor Value) { bkColor_ = Value; }

    // Adds the bitmap cut into images of Width (a strip gives several); Mask, when given,
    // marks transparent pixels white. Returns the index of the first image added.
    Integer Add(TBitmap* Image, TBitmap* Mask);
    // As Add, with the pixels of MaskColor transparent.
    Integer AddMasked(TBitmap* Image, TColor MaskColor);
    Integer AddIcon(TIcon* Image);
    void Delete(Integer Index);
    void Clear();
    void Replace(Integer Index, TBitmap* Image, TBitmap* Mask);
    // Copies image Index (and its mask) out; raise EInvalidOperation "Invalid image list index".
    void GetBitmap(Integer Index, TBitmap* Image) const;
    void GetIcon(Integer Index, TIcon* Image) const;
    bool IsTransparentPixel(Integer Index, Integer X, Integer Y) const;
    void Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true) const;

    HIMAGELIST Handle() const { return reinterpret_cast<HIMAGELIST>(const_cast<TCustomImageList*>(this)); }
    bool HandleAllocated() const { return true; }
    // The list behind a handle given out by Handle(), or nullptr.
    static TCustomImageList* FromHandle(HIMAGELIST Handle);

    void RegisterChanges(TChangeLink* Value);
    void UnRegisterChanges(TChangeLink* Value);
    TNotifyEvent OnChange;

protected:
    virtual void Change();

private:
    struct Image {
        TBitmap bitmap;
        std::vector<bool> mask;  // true = transparent
    };
    void CheckIndex(Integer Index) const;
    Integer AddCut(TBitmap* Image, const std::function<bool(Integer, Integer)>& Transparent);

    Integer width_ = 16;
    Integer height_ = 16;
    bool masked_ = true;
    TColor bkColor_ = clNone;
    std::vector<Image> images_;
    std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
public:
    explicit TImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
    TImageList(Integer AWidth, Integer AHeight, TComponent* AOwner) : TCustomImageList(AWidth, AHeight, AOwner) {}
};
