// Bitmap buttons: push buttons of a kind (OK, Cancel, Yes, Close, ...) that bring the kind's
// caption, modal result and default or cancel role, with an optional glyph drawn beside the
// caption.
#pragma once

#include "orvel/host/controls/StdCtrls.h"

#include <memory>

namespace orvel {

enum TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A push button of a kind. Setting Kind gives the button the kind's caption (unless the caption
// was changed from the previous kind's), its modal result, and for bkOK the default role, for
// bkCancel the cancel role. A bkClose button closes its form when clicked.
class TBitBtn : public TButton {
    ORVEL_PUBLISHED(TBitBtn)
public:
    explicit TBitBtn(TComponent* AOwner);
    ~TBitBtn() override;

    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind value);
    // The picture drawn beside the caption (owned; an empty bitmap draws nothing).
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* value); // copies the pixels
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);

    void Click() override;

    // The caption and modal result a kind brings.
    static std::string KindCaption(TBitBtnKind Kind);
    static TModalResult KindModalResult(TBitBtnKind Kind);

protected:
    void Paint() override;

private:
    TBitBtnKind FKind = bkCustom;
    std::unique_ptr<TBitmap> FGlyph;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
};

} // namespace orvel
