// Painting pieces shared by the controls: 3-D edges, focus rectangles, a control's frame and
// scroll bars, and text fitted into a rectangle. Everything is drawn in system colours, so a
// change of the system colour table changes every control's look at once.
#pragma once

#include "orvel/host/controls/Controls.h"

#include <string>

namespace orvel {

// A sunken (or raised) 3-D edge, two pixels wide, along the inside of r, in the system colours.
void PaintEdge(TCanvas& canvas, const TRect& r, bool sunken);
// A focus rectangle (dotted) along the inside of r: every other pixel inverted, so that it shows
// on any background and a second call takes it away again.
void PaintFocusRect(TCanvas& canvas, const TRect& r);

// Where a scroll bar of the control lies, in the control's client coordinates (the bars lie just
// outside the client rectangle, on the right and along the bottom); empty when it is not shown.
TRect ScrollBarRect(const TWinControl& control, TScrollBarKind kind);
// The thumb of a scroll bar, in client coordinates: sized from the page against the range and
// placed from the position; empty when the bar is hidden or everything is in view.
TRect ScrollThumbRect(const TWinControl& control, TScrollBarKind kind);
// Draws the control's visible scroll bars (vertical along the right, horizontal along the bottom,
// with arrows, track and a thumb sized and placed from the control's scroll position and range),
// in the control's client coordinates; the corner between two bars in clBtnFace.
void PaintScrollBars(TCanvas& canvas, const TWinControl& control);
// Draws the frame of the control's BorderStyle (bsSingle: a sunken 3-D edge with Ctl3D, else a
// one-pixel frame in clWindowFrame) around its client area, in client coordinates.
void PaintBorder(TCanvas& canvas, const TWinControl& control);

// Writes text inside r with the canvas's font and brush: vertically centred from the font's
// metrics, placed by alignment, cut with "..." when it does not fit and clipped to r.
void PaintTextInRect(TCanvas& canvas, const TRect& r, const std::string& text,
                     TAlignment alignment = taLeftJustify, int indent = 2);
// The longest start of text that, followed by "...", fits in width pixels with the canvas's
// font (the whole text when it fits; "" when not even the dots fit).
std::string FitText(const TCanvas& canvas, const std::string& text, int width);

} // namespace orvel
