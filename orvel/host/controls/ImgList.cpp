// TCustomImageList, TImageList and TChangeLink.
#include "orvel/host/controls/ImgList.h"

#include "orvel/host/controls/BmpCodec.h"
#include "orvel/host/controls/PngCodec.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Streams.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>

namespace orvel {

// ---- TChangeLink ----

TChangeLink::~TChangeLink() {
    if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::SetSender(TCustomImageList* value) {
    if (value == FSender) return;
    if (FSender) FSender->UnRegisterChanges(this);
    if (value) value->RegisterChanges(this);
}

void TChangeLink::Change() {
    if (OnChange) OnChange(FSender);
}

// ---- TCustomImageList: construction and properties ----

const TClassInfo& TCustomImageList::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCustomImageList>("TCustomImageList", &TComponent::StaticClassInfo()).Build();
    return info;
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height) : TComponent(owner) {
    SetSize(width, height);
}

TCustomImageList::~TCustomImageList() {
    for (TChangeLink* link : FChangeLinks)
        link->FSender = nullptr;
}

void TCustomImageList::SetWidth(int value) {
    SetSize(value, FHeight);
}

void TCustomImageList::SetHeight(int value) {
    SetSize(FWidth, value);
}

void TCustomImageList::SetSize(int width, int height) {
    if (width < 1 || height < 1 || int64_t{width} * height > TBitmap::MaxPixels)
        throw EInvalidOperation("Invalid image size");
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    FImages.clear();
    Change();
}

void TCustomImageList::SetAllocBy(int value) {
    FAllocBy = value;
}

void TCustomImageList::SetBkColor(TColor value) {
    if (value == FBkColor) return;
    FBkColor = value;
    Change();
}

void TCustomImageList::SetBlendColor(TColor value) {
    if (value == FBlendColor) return;
    FBlendColor = value;
    Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle value) {
    if (value == FDrawingStyle) return;
    FDrawingStyle = value;
    Change();
}

void TCustomImageList::SetImageType(TImageType value) {
    if (value == FImageType) return;
    FImageType = value;
    Change();
}

void TCustomImageList::SetMasked(bool value) {
    if (value == FMasked) return;
    FMasked = value;
    Change();
}

void TCustomImageList::SetShareImages(bool value) {
    FShareImages = value;
}

// ---- change notification ----

void TCustomImageList::BeginUpdate() {
    ++FUpdateCount;
}

void TCustomImageList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged) {
        FChanged = false;
        Change();
    }
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
    if (!link || link->FSender == this) return;
    if (link->FSender) link->FSender->UnRegisterChanges(link);
    FChangeLinks.push_back(link);
    link->FSender = this;
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
    if (!link) return;
    FChangeLinks.erase(std::remove(FChangeLinks.begin(), FChangeLinks.end(), link),
                       FChangeLinks.end());
    if (link->FSender == this) link->FSender = nullptr;
}

void TCustomImageList::Change() {
    if (FUpdateCount > 0) {
        FChanged = true;
        return;
    }
    // A copy: a handler may register or unregister links.
    std::vector<TChangeLink*> links = FChangeLinks;
    for (TChangeLink* link : links)
        if (std::find(FChangeLinks.begin(), FChangeLinks.end(), link) != FChangeLinks.end())
            link->Change();
    if (OnChange) OnChange(this);
}

// ---- images ----

namespace {

uint32_t Plain(TColor color) {
    return static_cast<uint32_t>(ColorToRGB(color));
}

// Mixes colour b into a by weight/256.
uint32_t Blend(uint32_t a, uint32_t b, unsigned weight) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        unsigned ca = (a >> shift) & 0xFF;
        unsigned cb = (b >> shift) & 0xFF;
        out |= ((ca * (256 - weight) + cb * weight) / 256) << shift;
    }
    return out;
}

uint32_t GrayShade(uint32_t c) {
    unsigned r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    unsigned gray = (r * 30 + g * 59 + b * 11) / 100;
    return gray | (gray << 8) | (gray << 16);
}

bool EndsWithPng(const std::string& fileName) {
    return fileName.size() >= 4 && SameText(fileName.substr(fileName.size() - 4), ".png");
}

void WriteFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

} // namespace

void TCustomImageList::CheckIndex(int index, int limit, const char* operation) const {
    if (index < 0 || index >= limit)
        throw EInvalidOperation(Format("Cannot %s image: index %d out of bounds",
                                       {std::string(operation), static_cast<long long>(index)}));
}

// Cuts image into entries of the list's size (all: as many as fit side by side, at least one).
// The transparent pixels come from the mask bitmap or, with useColor, from maskColor.
std::vector<TCustomImageList::TImageEntry>
TCustomImageList::SplitImage(const TBitmap* image, const TBitmap* mask, TColor maskColor,
                             bool useColor, bool all) const {
    if (!image || image->Empty())
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("no image to add")});
    if (useColor && maskColor == clDefault) maskColor = image->TransparentColor();
    const bool keyed = useColor && maskColor != clNone;
    const uint32_t key = keyed ? Plain(maskColor) : 0;
    const int count = all ? std::max(1, image->Width() / FWidth) : 1;
    const size_t area = static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight);

    std::vector<TImageEntry> entries(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        TImageEntry& e = entries[static_cast<size_t>(k)];
        // The part the image does not cover stays black and transparent.
        e.Pixels.assign(area, 0);
        e.Mask.assign(area, 1);
        const int left = k * FWidth;
        const int w = std::min(FWidth, image->Width() - left);
        const int h = std::min(FHeight, image->Height());
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = image->ScanLine(y);
            for (int x = 0; x < w; ++x) {
                size_t i = static_cast<size_t>(y) * FWidth + x;
                uint32_t c = row[left + x];
                e.Pixels[i] = c;
                bool transparent = false;
                if (keyed)
                    transparent = c == key;
                else if (mask && !useColor) {
                    TColor m = mask->Pixel(left + x, y);
                    transparent = m != clNone && m != clBlack;
                }
                e.Mask[i] = transparent ? 1 : 0;
            }
        }
    }
    return entries;
}

void TCustomImageList::InsertEntries(int index, std::vector<TImageEntry>&& entries) {
    // Storage grows by whole multiples of AllocBy images.
    size_t needed = FImages.size() + entries.size();
    if (needed > FImages.capacity()) {
        size_t step = static_cast<size_t>(std::max(FAllocBy, 1));
        FImages.reserve((needed + step - 1) / step * step);
    }
    FImages.insert(FImages.begin() + index, std::make_move_iterator(entries.begin()),
                   std::make_move_iterator(entries.end()));
    Change();
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    int index = Count();
    InsertEntries(index, SplitImage(image, mask, clNone, false, true));
    return index;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
    int index = Count();
    InsertEntries(index, SplitImage(image, nullptr, maskColor, true, true));
    return index;
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index, Count() + 1, "insert");
    InsertEntries(index, SplitImage(image, mask, clNone, false, false));
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index, Count(), "replace");
    FImages[static_cast<size_t>(index)] =
        std::move(SplitImage(image, mask, clNone, false, false)[0]);
    Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* newImage, TColor maskColor) {
    CheckIndex(index, Count(), "replace");
    FImages[static_cast<size_t>(index)] =
        std::move(SplitImage(newImage, nullptr, maskColor, true, false)[0]);
    Change();
}

void TCustomImageList::Delete(int index) {
    CheckIndex(index, Count(), "delete");
    FImages.erase(FImages.begin() + index);
    Change();
}

void TCustomImageList::Move(int curIndex, int newIndex) {
    CheckIndex(curIndex, Count(), "move");
    CheckIndex(newIndex, Count(), "move");
    if (curIndex == newIndex) return;
    auto first = FImages.begin();
    if (curIndex < newIndex)
        std::rotate(first + curIndex, first + curIndex + 1, first + newIndex + 1);
    else
        std::rotate(first + newIndex, first + curIndex, first + curIndex + 1);
    Change();
}

void TCustomImageList::Clear() {
    FImages.clear();
    Change();
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image) const {
    if (!image || index < 0 || index >= Count()) return false;
    const TImageEntry& e = FImages[static_cast<size_t>(index)];
    image->SetSize(FWidth, FHeight);
    for (int y = 0; y < FHeight; ++y)
        std::copy_n(e.Pixels.begin() + static_cast<ptrdiff_t>(y) * FWidth, FWidth,
                    image->ScanLine(y));
    image->Changed();
    return true;
}

bool TCustomImageList::GetMask(int index, TBitmap* mask) const {
    if (!mask || index < 0 || index >= Count()) return false;
    const TImageEntry& e = FImages[static_cast<size_t>(index)];
    mask->SetSize(FWidth, FHeight);
    for (int y = 0; y < FHeight; ++y) {
        uint32_t* row = mask->ScanLine(y);
        for (int x = 0; x < FWidth; ++x)
            row[x] = e.Mask[static_cast<size_t>(y) * FWidth + x] ? Plain(clWhite) : Plain(clBlack);
    }
    mask->Changed();
    return true;
}

bool TCustomImageList::IsTransparentPixel(int index, int x, int y) const {
    if (index < 0 || index >= Count() || x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return false;
    return FImages[static_cast<size_t>(index)].Mask[static_cast<size_t>(y) * FWidth + x] != 0;
}

// ---- drawing and writing ----

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const {
    Draw(canvas, x, y, index, FDrawingStyle, FImageType, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style,
                            TImageType type, bool enabled) const {
    if (!canvas || index < 0 || index >= Count()) return;
    DrawEntry(*canvas, x, y, FImages[static_cast<size_t>(index)], style, type, enabled);
}

void TCustomImageList::DrawEntry(TCanvas& canvas, int x, int y, const TImageEntry& entry,
                                 TDrawingStyle style, TImageType type, bool enabled) const {
    const bool useBk = FBkColor != clNone && style != dsTransparent;
    const unsigned weight = style == dsFocus ? 64 : style == dsSelected ? 128 : 0;
    const uint32_t blend = Plain(FBlendColor == clNone ? clHighlight : FBlendColor);
    for (int py = 0; py < FHeight; ++py) {
        for (int px = 0; px < FWidth; ++px) {
            size_t i = static_cast<size_t>(py) * FWidth + px;
            bool transparent = FMasked && entry.Mask[i];
            uint32_t c;
            if (type == itMask) {
                c = transparent ? Plain(clWhite) : Plain(clBlack);
            } else if (transparent) {
                if (!useBk) continue;
                c = Plain(FBkColor);
            } else {
                c = entry.Pixels[i];
                if (weight) c = Blend(c, blend, weight);
                if (!enabled) c = GrayShade(c);
            }
            canvas.SetPixel(x + px, y + py, static_cast<TColor>(c));
        }
    }
}

void TCustomImageList::GetStrip(TBitmap* strip) const {
    if (!strip) return;
    if (int64_t{Count()} * FWidth * FHeight > TBitmap::MaxPixels)
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("the strip would be too large")});
    strip->SetSize(Count() * FWidth, Count() ? FHeight : 0);
    for (int k = 0; k < Count(); ++k) {
        const TImageEntry& e = FImages[static_cast<size_t>(k)];
        for (int y = 0; y < FHeight; ++y) {
            uint32_t* row = strip->ScanLine(y) + static_cast<size_t>(k) * FWidth;
            for (int x = 0; x < FWidth; ++x) {
                size_t i = static_cast<size_t>(y) * FWidth + x;
                bool transparent = FMasked && e.Mask[i];
                row[x] = transparent && FBkColor != clNone ? Plain(FBkColor) : e.Pixels[i];
            }
        }
    }
    strip->Changed();
}

void TCustomImageList::SaveToFile(const std::string& fileName) const {
    if (Count() == 0) throw EInvalidOperation("The image list is empty: there is nothing to write");
    TBitmap strip;
    GetStrip(&strip);
    if (!EndsWithPng(fileName)) {
        const uint32_t* pixels = strip.ScanLine(0);
        WriteFile(fileName, WriteBmp(strip.Width(), strip.Height(), pixels));
        return;
    }
    // See-through where the mask says so and no background colour is set.
    std::vector<uint8_t> alpha(static_cast<size_t>(strip.Width()) * strip.Height(), 255);
    if (FMasked && FBkColor == clNone)
        for (int k = 0; k < Count(); ++k)
            for (int y = 0; y < FHeight; ++y)
                for (int x = 0; x < FWidth; ++x)
                    if (FImages[static_cast<size_t>(k)].Mask[static_cast<size_t>(y) * FWidth + x])
                        alpha[static_cast<size_t>(y) * strip.Width() +
                              static_cast<size_t>(k) * FWidth + x] = 0;
    WriteFile(fileName, WritePng(strip.Width(), strip.Height(), strip.ScanLine(0), alpha.data()));
}

void TCustomImageList::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TCustomImageList*>(source);
    if (!other) {
        TComponent::Assign(source);
        return;
    }
    if (other == this) return;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FAllocBy = other->FAllocBy;
    FBkColor = other->FBkColor;
    FBlendColor = other->FBlendColor;
    FDrawingStyle = other->FDrawingStyle;
    FImageType = other->FImageType;
    FMasked = other->FMasked;
    FShareImages = other->FShareImages;
    FImages = other->FImages;
    Change();
}

// ---- TImageList ----

const TClassInfo& TImageList::StaticClassInfo() {
    static const TClassInfo info = [] {
        using C = TImageList;
        TClassInfo ci =
            TClassBuilder<C>("TImageList", &TCustomImageList::StaticClassInfo())
                .Property<TColor>("BlendColor", &C::BlendColor, &C::SetBlendColor, Variant(clNone))
                .Property<TColor>("BkColor", &C::BkColor, &C::SetBkColor, Variant(clNone))
                .Property<int>("AllocBy", &C::AllocBy, &C::SetAllocBy, Variant(4))
                .Enum<TDrawingStyle>("DrawingStyle", "TDrawingStyle",
                                     {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"},
                                     &C::DrawingStyle, &C::SetDrawingStyle, dsNormal)
                .Property<int>("Height", &C::Height, &C::SetHeight, Variant(16))
                .Enum<TImageType>("ImageType", "TImageType", {"itImage", "itMask"}, &C::ImageType,
                                  &C::SetImageType, itImage)
                .Property<bool>("Masked", &C::Masked, &C::SetMasked, Variant(true))
                .Event<TNotifyEvent>("OnChange", "TNotifyEvent", &C::OnChange)
                .Property<bool>("ShareImages", &C::ShareImages, &C::SetShareImages, Variant(false))
                .Property<int>("Width", &C::Width, &C::SetWidth, Variant(16))
                .Creatable()
                .Build();
        for (TPropInfo& p : ci.Properties)
            if (p.Name == "BlendColor" || p.Name == "BkColor") p.TypeName = "TColor";
        return ci;
    }();
    return info;
}

} // namespace orvel
