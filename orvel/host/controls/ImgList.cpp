// TCustomImageList, TImageList and TChangeLink.
#include "orvel/host/controls/ImgList.h"

#include "orvel/host/core/Exceptions.h"

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
