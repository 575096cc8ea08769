// How the standard controls look: labels, push buttons, check boxes and group boxes, painted in
// system colours with the control's font.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/StdCtrls.h"

#include <algorithm>

namespace orvel {

namespace {

// The text colour of a control: its font's, grey while disabled.
void UseTextColour(TCanvas& canvas, const TControl& control) {
    canvas.Font()->Assign(control.Font());
    if (!control.IsEnabledWithParents()) canvas.Font()->SetColor(clGrayText);
}

} // namespace

void TCustomLabel::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(FTransparent ? bsClear : bsSolid);
    canvas->FillRect(r);
    canvas->Brush()->SetStyle(bsClear);
    UseTextColour(*canvas, *this);
    std::string text = DisplayText();
    int width = canvas->TextWidth(text);
    int x = FAlignment == taRightJustify ? r.Right - width
            : FAlignment == taCenter     ? (r.Width() - width) / 2
                                         : 0;
    canvas->TextRect(r, x, 0, text);
    canvas->Brush()->SetStyle(bsSolid);
}

// A push button: a raised face (flat and dark while pressed), a dark outline when it is the
// default button or has the focus, the caption in the middle (moved down and right while
// pressed) and a dotted focus rectangle inside the face while focused.
void TButton::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    bool pressed = ControlState().Contains(csLButtonDown);
    bool focused = Focused();
    bool outlined = (FDefault || focused) && IsEnabledWithParents();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    TRect face = r;
    if (outlined) InflateRect(face, -1, -1);
    UINT state = DFCS_BUTTONPUSH;
    if (pressed) state |= DFCS_PUSHED;
    if (!IsEnabledWithParents()) state |= DFCS_INACTIVE;
    canvas->DrawFrameControl(face, DFC_BUTTON, state);
    if (outlined) {
        canvas->Brush()->SetColor(clWindowFrame);
        canvas->FrameRect(r);
    }
    std::string text = StripAccelChars(Caption());
    UseTextColour(*canvas, *this);
    canvas->Brush()->SetStyle(bsClear);
    TRect textArea = face;
    InflateRect(textArea, -2, -2);
    if (pressed) OffsetRect(textArea, 1, 1);
    PaintTextInRect(*canvas, textArea, text, taCenter, 2);
    canvas->Brush()->SetStyle(bsSolid);
    if (focused) {
        TRect dots = face;
        InflateRect(dots, -4, -4);
        PaintFocusRect(*canvas, dots);
    }
}

// A check box: the box (checked, unchecked, or checked in grey for the third state) beside its
// caption, with a dotted focus rectangle around the caption while focused.
void TCustomCheckBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    const int box = 13;
    int top = (r.Height() - box) / 2;
    int boxLeft = FAlignment == taRightJustify ? 0 : r.Width() - box;
    UINT state = DFCS_BUTTONCHECK;
    if (FState == cbChecked) state |= DFCS_CHECKED;
    if (FState == cbGrayed) state |= DFCS_CHECKED | DFCS_BUTTON3STATE | DFCS_INACTIVE;
    if (FPressed) state |= DFCS_PUSHED;
    if (!IsEnabledWithParents()) state |= DFCS_INACTIVE;
    canvas->DrawFrameControl(Bounds(boxLeft, top, box, box), DFC_BUTTON, state);
    std::string text = StripAccelChars(Caption());
    UseTextColour(*canvas, *this);
    canvas->Brush()->SetStyle(bsClear);
    int textLeft = FAlignment == taRightJustify ? box + 4 : 0;
    int textRight = FAlignment == taRightJustify ? r.Right : boxLeft - 4;
    std::string shown = FitText(*canvas, text, std::max(0, textRight - textLeft - 2));
    TSize extent = canvas->TextExtent(shown);
    int textTop = (r.Height() - extent.cy) / 2;
    TRect textRect{textLeft, 0, textRight, r.Bottom};
    canvas->TextRect(textRect, textLeft + 1, textTop, shown);
    canvas->Brush()->SetStyle(bsSolid);
    if (Focused() && !shown.empty()) {
        TRect dots{textLeft, std::max(0, textTop - 1), textLeft + extent.cx + 2,
                   std::min(r.Bottom, textTop + extent.cy + 1)};
        PaintFocusRect(*canvas, dots);
    }
}

// A group box: an etched frame (a shadow line with a highlight line inside it) that the caption
// interrupts at the top left.
void TCustomGroupBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    canvas->Font()->Assign(Font());
    int textHeight = canvas->TextHeight("Wg");
    TRect frame{r.Left, r.Top + textHeight / 2, r.Right - 1, r.Bottom - 1};
    TRect light = frame;
    OffsetRect(light, 1, 1);
    canvas->Brush()->SetColor(clBtnHighlight);
    canvas->FrameRect(light);
    canvas->Brush()->SetColor(clBtnShadow);
    canvas->FrameRect(frame);
    std::string text = StripAccelChars(Caption());
    if (text.empty()) return;
    UseTextColour(*canvas, *this);
    std::string shown = FitText(*canvas, text, std::max(0, r.Width() - 20));
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(Bounds(6, 0, canvas->TextWidth(shown) + 4, textHeight));
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(8, 0, shown);
    canvas->Brush()->SetStyle(bsSolid);
}

} // namespace orvel
