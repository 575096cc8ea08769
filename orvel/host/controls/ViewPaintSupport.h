// Small pieces the tree view, the list view and the menus paint with: keeping a canvas's state
// across a paint, dotted lines, images centred in a row and the in-place caption editor.
#pragma once

#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/Graphics.h"

namespace orvel {

class TCustomImageList;

// Restores the canvas's font colour, brush, pen, pen position and origin however painting ends,
// so that a paint routine handed someone else's canvas leaves it as it found it.
class TCanvasState {
public:
    explicit TCanvasState(TCanvas& canvas);
    ~TCanvasState();
    TCanvasState(const TCanvasState&) = delete;
    TCanvasState& operator=(const TCanvasState&) = delete;

private:
    TCanvas& FCanvas;
    TColor FFontColor;
    TColor FBrushColor;
    TBrushStyle FBrushStyle;
    TColor FPenColor;
    TPoint FPenPos;
    TPoint FOrigin;
};

// A one-pixel line of every other pixel, aligned to even (x + y) so that lines meet cleanly.
void DottedHLine(TCanvas& canvas, int x1, int x2, int y, TColor color);
void DottedVLine(TCanvas& canvas, int x, int y1, int y2, TColor color);

// Fills r with a colour (a solid brush for the fill; the brush style is restored by the
// caller's TCanvasState).
void FillSolid(TCanvas& canvas, const TRect& r, TColor color);

// Writes text with its top-left at (x, y) without a background, in a colour.
void PlainText(TCanvas& canvas, int x, int y, const std::string& text, TColor color);

// Draws image index of list with its top-left at x and centred vertically in [top, bottom).
void DrawImageCentred(TCanvas& canvas, const TCustomImageList* list, int index, int x, int top,
                      int bottom);

// The in-place editor over a caption: a framed white box from r's left, as wide as the text
// needs (at least r's width, at most up to maxRight), with the selection highlighted and the
// caret drawn when nothing is selected. Answers the box.
TRect PaintInplaceEditor(TCanvas& canvas, const TInplaceEditor& editor, const TRect& r,
                         int maxRight);

} // namespace orvel
