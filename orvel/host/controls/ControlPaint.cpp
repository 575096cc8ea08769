// Painting pieces shared by the controls: edges, focus rectangles, frames, scroll bars and
// fitted text.
#include "orvel/host/controls/ControlPaint.h"

#include "orvel/host/core/Platform.h"

#include <algorithm>

namespace orvel {

namespace {

void FillIn(TCanvas& canvas, const TRect& r, TColor color) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(color);
    canvas.FillRect(r);
}

// A one-pixel line pair: top and left in one colour, bottom and right in another.
void PaintBevelLines(TCanvas& canvas, const TRect& r, TColor topLeft, TColor bottomRight) {
    if (r.IsEmpty()) return;
    FillIn(canvas, Rect(r.Left, r.Top, r.Right - 1, r.Top + 1), topLeft);
    FillIn(canvas, Rect(r.Left, r.Top, r.Left + 1, r.Bottom - 1), topLeft);
    FillIn(canvas, Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), bottomRight);
    FillIn(canvas, Rect(r.Right - 1, r.Top, r.Right, r.Bottom), bottomRight);
}

// The length of each arrow button of a bar whose long side is length: square buttons, halved
// when the bar is too short for two of them.
int ArrowLength(int length, int thickness) {
    return std::max(0, std::min(thickness, length / 2));
}

bool Scrolls(const TScrollBarState& s) {
    return s.Max - s.Min + 1 > std::max(1, s.Page);
}

// Number of code points in a UTF-8 string, and the byte offset of code point n.
std::size_t ByteOffsetOf(const std::string& text, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t cp = 0; i < text.size() && cp < n; ++cp) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

std::size_t CodePoints(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

} // namespace

void PaintEdge(TCanvas& canvas, const TRect& r, bool sunken) {
    TRect inner = r;
    InflateRect(inner, -1, -1);
    if (sunken) {
        PaintBevelLines(canvas, r, clBtnShadow, clBtnHighlight);
        PaintBevelLines(canvas, inner, cl3DDkShadow, cl3DLight);
    } else {
        PaintBevelLines(canvas, r, cl3DLight, cl3DDkShadow);
        PaintBevelLines(canvas, inner, clBtnHighlight, clBtnShadow);
    }
}

void PaintFocusRect(TCanvas& canvas, const TRect& r) {
    if (r.IsEmpty()) return;
    auto invert = [&canvas](int x, int y) {
        TColor c = canvas.Pixel(x, y);
        if (c != clNone) canvas.SetPixel(x, y, (~c) & 0xFFFFFF);
    };
    // Dots on even steps along the whole outline, each pixel touched once.
    for (int x = r.Left; x < r.Right; x += 2) {
        invert(x, r.Top);
        if (r.Bottom - 1 > r.Top && (x - r.Left + r.Height() - 1) % 2 == 0) invert(x, r.Bottom - 1);
    }
    for (int y = r.Top + 2; y < r.Bottom - 1; y += 2) {
        invert(r.Left, y);
        if (r.Right - 1 > r.Left && (y - r.Top + r.Width() - 1) % 2 == 0) invert(r.Right - 1, y);
    }
}

TRect ScrollBarRect(const TWinControl& control, TScrollBarKind kind) {
    if (!control.ScrollBarState(kind).Visible) return {};
    TRect client = control.ClientRect();
    if (kind == sbVertical)
        return Rect(client.Right, 0, client.Right + GetSystemMetrics(SM_CXVSCROLL), client.Bottom);
    return Rect(0, client.Bottom, client.Right, client.Bottom + GetSystemMetrics(SM_CYHSCROLL));
}

TRect ScrollThumbRect(const TWinControl& control, TScrollBarKind kind) {
    TScrollBarState state = control.ScrollBarState(kind);
    TRect bar = ScrollBarRect(control, kind);
    if (bar.IsEmpty() || !Scrolls(state)) return {};
    bool vertical = kind == sbVertical;
    int length = vertical ? bar.Height() : bar.Width();
    int thickness = vertical ? bar.Width() : bar.Height();
    int arrow = ArrowLength(length, thickness);
    int track = length - 2 * arrow;
    int range = state.Max - state.Min + 1;
    int page = std::max(1, state.Page);
    int thumb = std::max(std::min(8, track), static_cast<int>(int64_t{track} * page / range));
    if (thumb >= track) return {};
    int position = std::clamp(state.Position - state.Min, 0, range - page);
    int offset = arrow + static_cast<int>(int64_t{track - thumb} * position / (range - page));
    return vertical ? Rect(bar.Left, bar.Top + offset, bar.Right, bar.Top + offset + thumb)
                    : Rect(bar.Left + offset, bar.Top, bar.Left + offset + thumb, bar.Bottom);
}

namespace {

void PaintScrollBar(TCanvas& canvas, const TWinControl& control, TScrollBarKind kind) {
    TRect bar = ScrollBarRect(control, kind);
    if (bar.IsEmpty()) return;
    TScrollBarState state = control.ScrollBarState(kind);
    bool vertical = kind == sbVertical;
    int length = vertical ? bar.Height() : bar.Width();
    int arrow = ArrowLength(length, vertical ? bar.Width() : bar.Height());
    UINT inactive =
        (Scrolls(state) && control.IsEnabledWithParents()) ? 0u : static_cast<UINT>(DFCS_INACTIVE);
    TRect first = vertical ? Rect(bar.Left, bar.Top, bar.Right, bar.Top + arrow)
                           : Rect(bar.Left, bar.Top, bar.Left + arrow, bar.Bottom);
    TRect last = vertical ? Rect(bar.Left, bar.Bottom - arrow, bar.Right, bar.Bottom)
                          : Rect(bar.Right - arrow, bar.Top, bar.Right, bar.Bottom);
    TRect track = vertical ? Rect(bar.Left, first.Bottom, bar.Right, last.Top)
                           : Rect(first.Right, bar.Top, last.Left, bar.Bottom);
    FillIn(canvas, track, clScrollBar);
    if (arrow > 0) {
        canvas.DrawFrameControl(first, DFC_SCROLL,
                                static_cast<UINT>(vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) |
                                    inactive);
        canvas.DrawFrameControl(last, DFC_SCROLL,
                                static_cast<UINT>(vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) |
                                    inactive);
    }
    TRect thumb = ScrollThumbRect(control, kind);
    if (!thumb.IsEmpty()) {
        FillIn(canvas, thumb, clBtnFace);
        PaintEdge(canvas, thumb, false);
    }
}

} // namespace

void PaintScrollBars(TCanvas& canvas, const TWinControl& control) {
    PaintScrollBar(canvas, control, sbVertical);
    PaintScrollBar(canvas, control, sbHorizontal);
    TRect v = ScrollBarRect(control, sbVertical), h = ScrollBarRect(control, sbHorizontal);
    if (!v.IsEmpty() && !h.IsEmpty())
        FillIn(canvas, Rect(v.Left, h.Top, v.Right, h.Bottom), clBtnFace);
}

void PaintBorder(TCanvas& canvas, const TWinControl& control) {
    int b = control.BorderWidth();
    if (b <= 0) return;
    TRect outer = Rect(-b, -b, control.Width() - b, control.Height() - b);
    if (b >= 2) {
        PaintEdge(canvas, outer, true);
        return;
    }
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(clWindowFrame);
    canvas.FrameRect(outer);
}

std::string FitText(const TCanvas& canvas, const std::string& text, int width) {
    if (canvas.TextWidth(text) <= width) return text;
    static const std::string dots = "...";
    if (canvas.TextWidth(dots) > width) return "";
    // The widths grow with the number of code points kept: the longest start that fits is found
    // by halving.
    std::size_t low = 0, high = CodePoints(text);
    while (low < high) {
        std::size_t mid = (low + high + 1) / 2;
        if (canvas.TextWidth(text.substr(0, ByteOffsetOf(text, mid)) + dots) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return text.substr(0, ByteOffsetOf(text, low)) + dots;
}

void PaintTextInRect(TCanvas& canvas, const TRect& r, const std::string& text, TAlignment alignment,
                     int indent) {
    if (r.IsEmpty()) return;
    int room = std::max(0, r.Width() - 2 * indent);
    std::string shown = FitText(canvas, text, room);
    int width = canvas.TextWidth(shown);
    int x = alignment == taRightJustify ? r.Right - indent - width
            : alignment == taCenter     ? r.Left + (r.Width() - width) / 2
                                        : r.Left + indent;
    int y = r.Top + (r.Height() - canvas.TextHeight(shown)) / 2;
    canvas.TextRect(r, x, y, shown);
}

} // namespace orvel
