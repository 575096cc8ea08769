// Bitmap buttons.
#include "orvel/host/controls/Buttons.h"

namespace orvel {

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), FGlyph(std::make_unique<TBitmap>()) {}

TBitBtn::~TBitBtn() = default;

std::string TBitBtn::KindCaption(TBitBtnKind Kind) {
    static const char* const captions[] = {"",       "OK",    "Cancel", "&Help",   "&Yes", "&No",
                                           "&Close", "Abort", "&Retry", "&Ignore", "&All"};
    return captions[Kind];
}

TModalResult TBitBtn::KindModalResult(TBitBtnKind Kind) {
    static const TModalResult results[] = {mrNone, mrOk,    mrCancel, mrNone,   mrYes, mrNo,
                                           mrNone, mrAbort, mrRetry,  mrIgnore, mrAll};
    return results[Kind];
}

void TBitBtn::SetKind(TBitBtnKind value) {
    if (value == FKind) return;
    TBitBtnKind previous = FKind;
    FKind = value;
    if (value == bkCustom) return;
    if (Caption().empty() || Caption() == KindCaption(previous)) SetCaption(KindCaption(value));
    SetModalResult(KindModalResult(value));
    SetDefault(value == bkOK || value == bkYes);
    SetCancel(value == bkCancel || value == bkNo);
    Invalidate();
}

void TBitBtn::SetGlyph(TBitmap* value) {
    if (value)
        FGlyph->Assign(value);
    else
        FGlyph->SetSize(0, 0);
    Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout value) {
    FLayout = value;
    Invalidate();
}

void TBitBtn::SetMargin(int value) {
    FMargin = value < -1 ? -1 : value;
    Invalidate();
}

void TBitBtn::Click() {
    TButton::Click();
    if (FKind == bkClose)
        if (TCustomForm* form = GetParentForm(this)) form->Close();
}

void TBitBtn::Paint() {
    TButton::Paint();
    if (FGlyph->Empty()) return;
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    int margin = FMargin < 0 ? 4 : FMargin;
    int x = r.Left + margin, y = (r.Height() - FGlyph->Height()) / 2;
    switch (FLayout) {
    case blGlyphRight:
        x = r.Right - margin - FGlyph->Width();
        break;
    case blGlyphTop:
        x = (r.Width() - FGlyph->Width()) / 2;
        y = r.Top + margin;
        break;
    case blGlyphBottom:
        x = (r.Width() - FGlyph->Width()) / 2;
        y = r.Bottom - margin - FGlyph->Height();
        break;
    default:
        break;
    }
    canvas->Draw(x, y, FGlyph.get());
}

const TClassInfo& TBitBtn::StaticClassInfo() {
    using T = TBitBtn;
    static const TClassInfo info =
        TClassBuilder<T>("TBitBtn", &TButton::StaticClassInfo())
            .Object("Glyph", "TBitmap", &T::Glyph, &T::SetGlyph)
            .Enum("Kind", "TBitBtnKind",
                  {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort",
                   "bkRetry", "bkIgnore", "bkAll"},
                  &T::Kind, &T::SetKind, std::optional<TBitBtnKind>(bkCustom))
            .Enum("Layout", "TButtonLayout",
                  {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, &T::Layout,
                  &T::SetLayout, std::optional<TButtonLayout>(blGlyphLeft))
            .Property("Margin", &T::Margin, &T::SetMargin, Variant(-1))
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
