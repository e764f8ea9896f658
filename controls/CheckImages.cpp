// The module's check images and the CHECK_LIGHT resource they are cut from.
#include "controls/CheckImages.h"

#include <cstring>
#include <vector>

#include "platform/Graphics.h"
#include "platform/Resources.h"

namespace controls::resources {
extern const unsigned char kCheckLightBitmap[];
extern const std::size_t kCheckLightBitmapSize;
}  // namespace controls::resources

namespace {

// Registered before the list below is made: both live in this file, in this order.
const platform::ResourceRegistration g_checkLight(RT_BITMAP, "CHECK_LIGHT", controls::resources::kCheckLightBitmap,
                                                  controls::resources::kCheckLightBitmapSize);

// Palette entries the pictures are drawn with, replaced before cutting.
constexpr std::size_t kShadowEntry = 7;
constexpr std::size_t kFaceEntry = 8;
constexpr std::size_t kFileHeaderSize = 14;

std::uint32_t Le32(const Byte* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Writes colour as the palette's blue, green, red, 0 at entry, when the bitmap has a palette
// holding that entry (a bitmap without one keeps its colours).
void SetPaletteEntry(std::vector<Byte>& bmp, std::size_t entry, COLORREF colour) {
    std::size_t info = bmp.size() >= 2 && bmp[0] == 'B' && bmp[1] == 'M' ? kFileHeaderSize : 0;
    if (bmp.size() < info + 40) return;
    const Byte* header = bmp.data() + info;
    std::uint32_t headerSize = Le32(header);
    unsigned bits = static_cast<unsigned>(header[14]) | static_cast<unsigned>(header[15]) << 8;
    std::uint32_t used = Le32(header + 32);
    if (bits > 8) return;
    std::size_t entries = used ? used : (std::size_t{1} << bits);
    std::size_t at = info + headerSize + 4 * entry;
    if (entry >= entries || headerSize < 40 || at + 4 > bmp.size()) return;
    bmp[at] = GetBValue(colour);
    bmp[at + 1] = GetGValue(colour);
    bmp[at + 2] = GetRValue(colour);
    bmp[at + 3] = 0;
}

// The module's list lives from module start to module end.
struct CheckImagesLifetime {
    CheckImagesLifetime() {
        CheckImages = new TImageList(nullptr);
        LoadCheckImages(CheckImages);
    }
    ~CheckImagesLifetime() { FreeAndNil(CheckImages); }
};

}  // namespace

TImageList* CheckImages = nullptr;

namespace {
const CheckImagesLifetime g_lifetime;
}

void controls::detail::LoadCheckStrip(TCustomImageList* List, const char* Name, COLORREF Shadow, COLORREF Face) {
    HRSRC found = FindResourceA(platform::ModuleInstance(), Name, RT_BITMAP);
    if (!found) throw EResNotFound(String("Resource ") + Name + " not found");
    const auto* data = static_cast<const Byte*>(LockResource(LoadResource(platform::ModuleInstance(), found)));
    std::vector<Byte> bytes(data, data + SizeofResource(platform::ModuleInstance(), found));
    SetPaletteEntry(bytes, kShadowEntry, Shadow);
    SetPaletteEntry(bytes, kFaceEntry, Face);
    TBitmap strip;
    strip.LoadFromResourceData(bytes.data(), bytes.size());

    List->Clear();
    List->SetHeight(strip.Height());
    List->SetWidth(strip.Height());
    const Integer w = List->Width(), h = List->Height();
    if (w <= 0) return;
    const TColor mask = strip.Pixel(0, 0);
    TBitmap frame(w, h);
    // Only whole squares: a strip whose width is no multiple of its height drops the rest.
    for (Integer n = 0; n < strip.Width() / h; ++n) {
        frame.CopyFrom(strip, n * w, 0, w, h);
        List->AddMasked(&frame, mask);
    }
}

void LoadCheckImages(TCustomImageList* List) {
    controls::detail::LoadCheckStrip(List, "CHECK_LIGHT", ColorToRGB(clBtnShadow), ColorToRGB(clBtnFace));
}
