// Painting pieces shared by the tree view, the list view and the menus.
#include "orvel/host/controls/ViewPaintSupport.h"

#include "orvel/host/controls/ImgList.h"

#include <algorithm>
#include <string>

namespace orvel {

TCanvasState::TCanvasState(TCanvas& canvas)
    : FCanvas(canvas), FFontColor(canvas.Font()->Color()), FBrushColor(canvas.Brush()->Color()),
      FBrushStyle(canvas.Brush()->Style()), FPenColor(canvas.Pen()->Color()),
      FPenPos(canvas.PenPos()), FOrigin(canvas.WindowOrg()) {}

TCanvasState::~TCanvasState() {
    FCanvas.Font()->SetColor(FFontColor);
    FCanvas.Brush()->SetColor(FBrushColor);
    FCanvas.Brush()->SetStyle(FBrushStyle);
    FCanvas.Pen()->SetColor(FPenColor);
    FCanvas.MoveTo(FPenPos.X, FPenPos.Y);
    FCanvas.SetWindowOrg(FOrigin);
}

void DottedHLine(TCanvas& canvas, int x1, int x2, int y, TColor color) {
    canvas.DottedHLine(x1, x2, y, color);
}

void DottedVLine(TCanvas& canvas, int x, int y1, int y2, TColor color) {
    canvas.DottedVLine(x, y1, y2, color);
}

void FillSolid(TCanvas& canvas, const TRect& r, TColor color) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(color);
    canvas.FillRect(r);
}

void PlainText(TCanvas& canvas, int x, int y, const std::string& text, TColor color) {
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(color);
    canvas.TextOut(x, y, text);
}

void DrawImageCentred(TCanvas& canvas, const TCustomImageList* list, int index, int x, int top,
                      int bottom) {
    if (!list) return;
    list->Draw(&canvas, x, top + (bottom - top - list->Height()) / 2, index);
}

namespace {

// The byte offset of the character-th code point of text (its length past the end).
std::size_t ByteOffset(const std::string& text, int character) {
    std::size_t at = 0;
    for (int n = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
        if (n++ == character) break;
    }
    return at;
}

} // namespace

TRect PaintInplaceEditor(TCanvas& canvas, const TInplaceEditor& editor, const TRect& r,
                         int maxRight) {
    const std::string& text = editor.Text();
    int needed = canvas.TextWidth(text) + canvas.TextWidth("W") + 6;
    TRect box{r.Left, r.Top, std::min(maxRight, r.Left + std::max(r.Width(), needed)), r.Bottom};
    FillSolid(canvas, box, clWindow);
    canvas.Brush()->SetColor(clWindowFrame);
    canvas.FrameRect(box);
    int textLeft = box.Left + 3;
    int textTop = box.Top + (box.Height() - canvas.TextHeight(text.empty() ? "W" : text)) / 2;
    auto xAt = [&](int character) {
        return textLeft + canvas.TextWidth(text.substr(0, ByteOffset(text, character)));
    };
    // Text that does not fit stays inside the frame.
    TRect inside{box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1};
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(clWindowText);
    canvas.TextRect(inside, textLeft, textTop, text);
    if (editor.SelLength() > 0) {
        int from = editor.SelStart();
        int to = from + editor.SelLength();
        std::size_t a = ByteOffset(text, from);
        std::size_t b = ByteOffset(text, to);
        int left = xAt(from);
        TRect selection{left, box.Top + 2, std::min(xAt(to), inside.Right), box.Bottom - 2};
        FillSolid(canvas, selection, clHighlight);
        canvas.Brush()->SetStyle(bsClear);
        canvas.Font()->SetColor(clHighlightText);
        canvas.TextRect(selection, left, textTop, text.substr(a, b - a));
    } else {
        int x = std::min(xAt(editor.Caret()), inside.Right - 1);
        canvas.Pen()->SetColor(clWindowText);
        canvas.MoveTo(x, box.Top + 2);
        canvas.LineTo(x, box.Bottom - 2);
    }
    return box;
}

} // namespace orvel
