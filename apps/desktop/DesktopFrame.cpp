// Composing the explorer's screen in pixels.
#include "apps/desktop/DesktopFrame.h"

#include "orvel/host/controls/Menus.h"

#include <algorithm>
#include <string_view>

namespace orvel::desktop {

using explorer::CellHeight;
using explorer::CellWidth;
using explorer::TCell;
using explorer::TCellAttr;
using explorer::TCellColor;
using explorer::TTextScreen;

namespace {

constexpr TColor kFace = RGB(240, 240, 240);
constexpr TColor kHighlight = RGB(0, 120, 215);
constexpr TColor kFrameLine = RGB(160, 160, 160);
constexpr TColor kFrameText = RGB(64, 64, 64);
constexpr TColor kTrack = RGB(232, 232, 232);
constexpr TColor kThumb = RGB(170, 170, 170);

struct TColors {
    TColor Fore;
    TColor Back;
};

TColors ColorsOf(const TCellAttr& attr) {
    if (attr == explorer::attr::Frame) return {kFrameText, BackColor(attr.Back)};
    if (attr == explorer::attr::FocusFrame) return {kHighlight, BackColor(attr.Back)};
    if (!attr.Reverse) return {ForeColor(attr.Fore), BackColor(attr.Back)};
    // Reversed (a selected row): the highlight, or the colours swapped.
    TColor back = attr.Fore == explorer::ccDefault ? kHighlight : ForeColor(attr.Fore);
    TColor fore = attr.Back == explorer::ccDefault ? clWhite : BackColor(attr.Back);
    return {fore, back};
}

// Line colour of frames: the plain frame grey, the focused frame in the highlight.
TColor LineColor(const TCellAttr& attr) {
    if (attr.Fore == explorer::ccCyan) return kFrameLine;
    if (attr.Fore == explorer::ccYellow) return kHighlight;
    return ColorsOf(attr).Fore;
}

// The four arms of a box-drawing character: left, right, up, down.
struct TArms {
    bool L, R, U, D;
};

bool BoxArms(std::string_view g, TArms& arms) {
    static const std::pair<std::string_view, TArms> kBoxes[] = {
        {"─", {true, true, false, false}}, {"│", {false, false, true, true}},
        {"┌", {false, true, false, true}}, {"┐", {true, false, false, true}},
        {"└", {false, true, true, false}}, {"┘", {true, false, true, false}},
        {"├", {false, true, true, true}},  {"┤", {true, false, true, true}},
        {"┬", {true, true, false, true}},  {"┴", {true, true, true, false}},
        {"┼", {true, true, true, true}},
    };
    for (const auto& [glyph, a] : kBoxes)
        if (g == glyph) {
            arms = a;
            return true;
        }
    return false;
}

// Glyphs drawn as shapes rather than through the font.
bool IsShape(std::string_view g) {
    static const std::string_view kShapes[] = {"░", "█", "▲", "▼", "▶", "▸", "▾", "●",
                                               "○", "◆", "◇", "■", "✖", "✓", "•"};
    TArms arms{};
    if (BoxArms(g, arms)) return true;
    return std::find(std::begin(kShapes), std::end(kShapes), g) != std::end(kShapes);
}

void Fill(TCanvas& canvas, const TRect& r, TColor color) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(color);
    canvas.FillRect(r);
}

// A triangle pointing up, down or right, filled, inside the cell at (x, y).
void Triangle(TCanvas& canvas, int x, int y, char direction, int size, TColor color) {
    int cx = x + CellWidth / 2, cy = y + CellHeight / 2;
    for (int i = 0; i < size; ++i) {
        switch (direction) {
        case 'u':
            Fill(canvas, {cx - i, cy - size / 2 + i, cx + i + 1, cy - size / 2 + i + 1}, color);
            break;
        case 'd':
            Fill(canvas, {cx - i, cy + size / 2 - i, cx + i + 1, cy + size / 2 - i + 1}, color);
            break;
        default:
            Fill(canvas,
                 {cx - size / 2 + i, cy - (size - 1 - i), cx - size / 2 + i + 1,
                  cy + (size - 1 - i) + 1},
                 color);
            break;
        }
    }
}

void Diamond(TCanvas& canvas, int x, int y, bool filled, TColor color) {
    int cx = x + CellWidth / 2 - 1, cy = y + CellHeight / 2;
    for (int i = -3; i <= 3; ++i) {
        int half = 3 - std::abs(i);
        if (filled)
            Fill(canvas, {cx - half, cy + i, cx + half + 1, cy + i + 1}, color);
        else {
            canvas.SetPixel(cx - half, cy + i, color);
            canvas.SetPixel(cx + half, cy + i, color);
        }
    }
}

void Disc(TCanvas& canvas, int x, int y, int radius, bool filled, TColor color) {
    int cx = x + CellWidth / 2 - 1, cy = y + CellHeight / 2;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            int d = dx * dx + dy * dy;
            bool inside = d <= radius * radius + radius / 2;
            bool edge = inside && d >= (radius - 1) * (radius - 1);
            if (filled ? inside : edge) canvas.SetPixel(cx + dx, cy + dy, color);
        }
}

void Shape(TCanvas& canvas, std::string_view g, int x, int y, const TCellAttr& attr) {
    TColors colors = ColorsOf(attr);
    TRect cell{x, y, x + CellWidth, y + CellHeight};
    TArms arms{};
    if (BoxArms(g, arms)) {
        TColor line = LineColor(attr);
        int cx = x + CellWidth / 2 - 1, cy = y + CellHeight / 2 - 1;
        if (arms.L) Fill(canvas, {x, cy, cx + 1, cy + 1}, line);
        if (arms.R) Fill(canvas, {cx, cy, x + CellWidth, cy + 1}, line);
        if (arms.U) Fill(canvas, {cx, y, cx + 1, cy + 1}, line);
        if (arms.D) Fill(canvas, {cx, cy, cx + 1, y + CellHeight}, line);
    } else if (g == "░") {
        Fill(canvas, cell, kTrack);
    } else if (g == "█") {
        Fill(canvas, {x + 1, y, x + CellWidth - 1, y + CellHeight}, kThumb);
    } else if (g == "▲") {
        Triangle(canvas, x, y, 'u', 4, colors.Fore);
    } else if (g == "▼" || g == "▾") {
        Triangle(canvas, x, y, 'd', g == "▼" ? 4 : 3, colors.Fore);
    } else if (g == "▶" || g == "▸") {
        Triangle(canvas, x, y, 'r', g == "▶" ? 5 : 4, colors.Fore);
    } else if (g == "●" || g == "○") {
        Disc(canvas, x, y, 3, g == "●", colors.Fore);
    } else if (g == "•") {
        Disc(canvas, x, y, 1, true, colors.Fore);
    } else if (g == "◆" || g == "◇") {
        Diamond(canvas, x, y, g == "◆", colors.Fore);
    } else if (g == "■") {
        Fill(canvas, {x + 1, y + 5, x + 7, y + 11}, colors.Fore);
    } else if (g == "✖") {
        for (int i = 0; i < 6; ++i) {
            Fill(canvas, {x + 1 + i, y + 5 + i, x + 3 + i, y + 6 + i}, colors.Fore);
            Fill(canvas, {x + 5 - i, y + 5 + i, x + 7 - i, y + 6 + i}, colors.Fore);
        }
    } else if (g == "✓") {
        for (int i = 0; i < 3; ++i)
            Fill(canvas, {x + 1 + i, y + 8 + i, x + 2 + i, y + 10 + i}, colors.Fore);
        for (int i = 0; i < 4; ++i)
            Fill(canvas, {x + 4 + i, y + 9 - 2 * i, x + 5 + i, y + 11 - 2 * i}, colors.Fore);
    }
}

bool SameGroup(const TCell& a, const TCell& b) {
    return a.Attr == b.Attr && !IsShape(b.Glyph);
}

} // namespace

TColor ForeColor(TCellColor color) {
    switch (color) {
    case explorer::ccRed:
        return RGB(200, 30, 30);
    case explorer::ccGreen:
        return RGB(0, 140, 60);
    case explorer::ccYellow:
        return RGB(215, 150, 0);
    case explorer::ccBlue:
        return RGB(0, 90, 180);
    case explorer::ccMagenta:
        return RGB(150, 50, 160);
    case explorer::ccCyan:
        return RGB(0, 130, 150);
    case explorer::ccWhite:
        return clWhite;
    default:
        return RGB(20, 20, 20);
    }
}

TColor BackColor(TCellColor color) {
    switch (color) {
    case explorer::ccBlack:
        return RGB(40, 40, 40);
    case explorer::ccRed:
        return RGB(196, 43, 28);
    case explorer::ccGreen:
        return RGB(200, 235, 200);
    case explorer::ccYellow:
        return RGB(255, 250, 210);
    case explorer::ccBlue:
        return RGB(0, 84, 153);
    case explorer::ccMagenta:
        return RGB(235, 215, 240);
    default:
        // Around the controls the window has the face of dialogs, as the controls' own
        // backgrounds expect (and a dark system colour table darkens it too).
        return ColorToRGB(clBtnFace);
    }
}

void TDesktopFrame::PaintText(TCanvas& canvas, int x, int y, int cells, const std::string& text,
                              const TCellAttr& attr) {
    TColors colors = ColorsOf(attr);
    canvas.Font()->SetColor(colors.Fore);
    canvas.Font()->SetStyle(attr.Bold ? fsBold : 0);
    canvas.Brush()->SetStyle(bsClear);
    int px = x * CellWidth, py = y * CellHeight;
    int top = py + (CellHeight - canvas.TextHeight("Ag")) / 2;
    // A proportional font may run a little past the cells: up to two cells more.
    TRect clip{px, py, px + (cells + 2) * CellWidth, py + CellHeight};
    canvas.TextRect(clip, px, top, text);
    if (attr.Underline) {
        int w = std::min(canvas.TextWidth(text), clip.Width());
        Fill(canvas, {px, py + CellHeight - 2, px + w, py + CellHeight - 1}, colors.Fore);
    }
}

void TDesktopFrame::PaintRow(const TTextScreen& screen, TCanvas& canvas, int y) {
    int width = screen.Width();
    // Backgrounds and shapes cell by cell.
    for (int x = 0; x < width; ++x) {
        const TCell& cell = screen.At(x, y);
        TRect r{x * CellWidth, y * CellHeight, (x + 1) * CellWidth, (y + 1) * CellHeight};
        Fill(canvas, r, ColorsOf(cell.Attr).Back);
        if (IsShape(cell.Glyph)) Shape(canvas, cell.Glyph, r.Left, r.Top, cell.Attr);
    }
    // Text in groups: the characters of one colour with single blanks between them, each group
    // at its first cell, so columns laid out in cells stay aligned whatever the font's widths.
    for (int x = 0; x < width;) {
        const TCell& first = screen.At(x, y);
        if (first.Glyph == " " || first.Glyph.empty() || IsShape(first.Glyph)) {
            ++x;
            continue;
        }
        std::string text;
        int end = x;
        while (end < width) {
            const TCell& c = screen.At(end, y);
            if (!SameGroup(first, c)) break;
            if (c.Glyph == " " && (end + 1 >= width || screen.At(end + 1, y).Glyph == " " ||
                                   !SameGroup(first, screen.At(end + 1, y))))
                break;
            text += c.Glyph;
            ++end;
        }
        PaintText(canvas, x, y, end - x, text, first.Attr);
        x = end;
    }
}

void TDesktopFrame::PaintCursor(const TTextScreen& screen, TCanvas& canvas) {
    int cx = screen.CursorX(), cy = screen.CursorY();
    if (cx < 0 || cy < 0 || cx > screen.Width() || cy >= screen.Height()) return;
    // The caret stands after the text drawn before it in its group.
    int start = cx;
    while (start > 0) {
        const TCell& before = screen.At(start - 1, cy);
        if (before.Glyph == " " && (start < 2 || screen.At(start - 2, cy).Glyph == " ")) break;
        if (IsShape(before.Glyph)) break;
        --start;
    }
    std::string text;
    for (int x = start; x < cx && x < screen.Width(); ++x)
        text += screen.At(x, cy).Glyph;
    const TCellAttr& attr = screen.At(std::min(cx, screen.Width() - 1), cy).Attr;
    canvas.Font()->SetStyle(attr.Bold ? fsBold : 0);
    int x = start * CellWidth + canvas.TextWidth(text);
    Fill(canvas, {x, cy * CellHeight + 2, x + 1, (cy + 1) * CellHeight - 2}, ColorsOf(attr).Fore);
}

std::vector<TRect> MenuBoxes(TCanvas& canvas, const TMenuViews& menus, int width, int height) {
    std::vector<TRect> boxes;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        const auto& menu = menus[i];
        TSize size = MenuBoxSize(canvas, *menu.Menu);
        TPoint at{menu.X * CellWidth, menu.Y * CellHeight};
        if (i > 0) {
            // Beside the parent's item that opened it, overlapping the parent's edge a little.
            const TRect& parent = boxes.back();
            TRect item = MenuBoxItemRect(canvas, *menus[i - 1].Menu, menus[i - 1].Highlight);
            at = {parent.Right - 3, parent.Top + item.Top - 3};
        }
        at.X = std::max(0, std::min(at.X, width - size.cx));
        at.Y = std::max(0, std::min(at.Y, height - size.cy));
        boxes.push_back({at.X, at.Y, at.X + size.cx, at.Y + size.cy});
    }
    return boxes;
}

bool MenuMouseToCells(TCanvas& canvas, const TMenuViews& menus, int width, int height,
                      explorer::TInputEvent& event) {
    if (menus.empty() || event.Kind != explorer::TInputKind::Mouse || !event.Pixels) return false;
    std::vector<TRect> boxes = MenuBoxes(canvas, menus, width, height);
    event.Pixels = false;
    for (std::size_t level = boxes.size(); level-- > 0;) {
        const TRect& box = boxes[level];
        if (event.X < box.Left || event.X >= box.Right || event.Y < box.Top ||
            event.Y >= box.Bottom)
            continue;
        const explorer::TCellRect& cells = menus[level].Box;
        int item = MenuBoxItemAt(canvas, *menus[level].Menu, event.Y - box.Top);
        event.X = cells.Left + (item >= 0 ? 1 : 0);
        event.Y = item >= 0 ? cells.Top + 1 + item : cells.Top;
        return true;
    }
    event.X = -1;
    event.Y = -1;
    return true;
}

TRect TDesktopFrame::Compose(const TTextScreen& screen, TBitmap& into, int width, int height,
                             const TMenuViews& menus) {
    Paint(screen, into, width, height, menus);
    return Damage(into);
}

namespace {

// The explorer's controls paint themselves over the cells the text screen drew for them, the
// dialogs open over the form after them; the help and a prompt stay on top of both.
void PaintControls(explorer::TExplorer& explorer, TCanvas& canvas) {
    canvas.ResetClip();
    for (const explorer::TCellRect& r : explorer.OverlayCells())
        canvas.ExcludeClipRect({r.Left * CellWidth, r.Top * CellHeight,
                                (r.Left + r.Width) * CellWidth, (r.Top + r.Height) * CellHeight});
    TForm* form = explorer.Form();
    for (int i = 0; i < form->ControlCount(); ++i) {
        auto* control = dynamic_cast<TWinControl*>(form->Controls(i));
        if (control && control->Visible() && control->Width() > 0 && control->Height() > 0)
            control->PaintTo(canvas, control->Left(), control->Top());
    }
    // A dialog shows as a window: frame and caption bar around its client area, which stays where
    // the explorer placed it (and where its controls take the mouse).
    for (TCustomForm* dialog : explorer.ModalForms())
        PaintFormWindow(canvas, *dialog, dialog->Left() - FormFrameWidth,
                        dialog->Top() - FormFrameWidth - FormCaptionHeight);
    canvas.ResetClip();
}

// How much of the drag image covers the frame under it (of 255): the rows it passes over, the
// drop target among them, stay readable while it moves.
constexpr uint32_t kDragImageCoverage = 160;

// Each colour channel of front over back at coverage/255; the back pixel's top byte is kept.
uint32_t MixPixel(uint32_t front, uint32_t back, uint32_t coverage) {
    uint32_t mixed = back & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t f = (front >> shift) & 0xFFu, b = (back >> shift) & 0xFFu;
        mixed |= ((f * coverage + b * (255u - coverage) + 127u) / 255u) << shift;
    }
    return mixed;
}

// The drag image over the frame with its top left corner at `at`, mixed with what it covers;
// the parts outside the frame are left out.
void BlendDragImage(TBitmap& into, const TBitmap& image, TPoint at) {
    const int left = std::max(0, at.X), right = std::min(into.Width(), at.X + image.Width());
    const int top = std::max(0, at.Y), bottom = std::min(into.Height(), at.Y + image.Height());
    for (int y = top; y < bottom; ++y) {
        const uint32_t* from = image.ScanLine(y - at.Y);
        uint32_t* to = into.ScanLine(y);
        for (int x = left; x < right; ++x)
            to[x] = MixPixel(from[x - at.X], to[x], kDragImageCoverage);
    }
}

} // namespace

void TDesktopFrame::Paint(const TTextScreen& screen, TBitmap& into, int width, int height,
                          const TMenuViews& menus, explorer::TExplorer* explorer) {
    width = std::max(width, screen.Width() * CellWidth);
    height = std::max(height, screen.Height() * CellHeight);
    into.SetSize(width, height);
    TCanvas& canvas = *into.Canvas();
    canvas.ResetClip();
    Fill(canvas, {0, 0, width, height}, kFace);
    for (int y = 0; y < screen.Height(); ++y)
        PaintRow(screen, canvas, y);
    PaintCursor(screen, canvas);
    if (explorer && explorer->ShowsForm()) PaintControls(*explorer, canvas);
    canvas.Font()->SetStyle(0);
    canvas.Font()->SetColor(clMenuText);
    std::vector<TRect> boxes = MenuBoxes(canvas, menus, width, height);
    for (std::size_t i = 0; i < menus.size(); ++i)
        PaintMenuBox(canvas, *menus[i].Menu, boxes[i].Left, boxes[i].Top, menus[i].Highlight);
}

TRect TDesktopFrame::Compose(explorer::TExplorer& explorer, const TTextScreen& screen,
                             TBitmap& into, int width, int height) {
    // The pixels are composed from the screen without the controls' text (the controls paint
    // themselves there); the screen is then drawn whole again, as key scripts and dumps read it.
    explorer.SetDrawControls(false);
    explorer.Render();
    Paint(screen, into, width, height, explorer.OpenMenus(), &explorer);
    explorer.SetDrawControls(true);
    explorer.Render();
    // The drag image follows the mouse, the point it was picked up at under the cursor.
    TDragManager& drag = TDragManager::Instance();
    TBitmap image;
    TPoint hotSpot;
    if (drag.Started() && drag.Source() && drag.Source()->GetDragImage(image, hotSpot)) {
        TPoint at = Mouse().CursorPos();
        BlendDragImage(into, image, {at.X - hotSpot.X, at.Y - hotSpot.Y});
    }
    return Damage(into);
}

TRect TDesktopFrame::Damage(TBitmap& into) {
    int width = into.Width(), height = into.Height();
    // The damaged rectangle: where this frame differs from the last one.
    TRect damaged{0, 0, width, height};
    if (FPrevious.Width() == width && FPrevious.Height() == height) {
        damaged = {width, height, 0, 0};
        for (int y = 0; y < height; ++y) {
            const uint32_t* now = into.ScanLine(y);
            const uint32_t* before = FPrevious.ScanLine(y);
            if (std::equal(now, now + width, before)) continue;
            int left = 0, right = width;
            while (now[left] == before[left])
                ++left;
            while (now[right - 1] == before[right - 1])
                --right;
            damaged.Left = std::min(damaged.Left, left);
            damaged.Right = std::max(damaged.Right, right);
            damaged.Top = std::min(damaged.Top, y);
            damaged.Bottom = y + 1;
        }
        if (damaged.Left >= damaged.Right) damaged = {};
    }
    FPrevious.Assign(&into);
    return damaged;
}

} // namespace orvel::desktop
