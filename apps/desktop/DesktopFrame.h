// The desktop explorer's picture: the explorer's screen composed in pixels. The chrome (title,
// panel frames, status line, prompts, help) comes from the text screen, one text cell as
// CellWidth x CellHeight pixels, frames drawn as lines and text through the canvas's font; the
// form's controls and the dialogs over it paint themselves on top, at their own bounds, and the
// popup menus are painted last. Composing needs no window: the same frame is presented in a
// window or written to a file.
#pragma once

#include "apps/explorer/Explorer.h"
#include "apps/explorer/TextScreen.h"
#include "orvel/host/controls/Graphics.h"

#include <vector>

namespace orvel::desktop {

// The desktop colour of a text-screen colour, for text (fore) or for a background.
TColor ForeColor(explorer::TCellColor color);
TColor BackColor(explorer::TCellColor color);

using TMenuViews = std::vector<explorer::TExplorer::TMenuView>;

// Where the open menus stand in pixels, painted with canvas's font: the outermost at its cell,
// each submenu beside the item of its parent that opened it, every box kept inside width x
// height.
std::vector<TRect> MenuBoxes(TCanvas& canvas, const TMenuViews& menus, int width, int height);
// A mouse event in pixels while menus are open, turned into the cells the explorer's menus take
// on its text screen: on an item, that item's row; on a box but no item, the box's frame; beside
// every box, a cell outside them all (the menus close). Answers whether it changed the event.
bool MenuMouseToCells(TCanvas& canvas, const TMenuViews& menus, int width, int height,
                      explorer::TInputEvent& event);

class TDesktopFrame {
public:
    // Paints screen into into, which takes width x height pixels (at least the screen's cells;
    // the margin right and below the cells is the window's face colour). Answers the rectangle
    // whose pixels differ from the previous frame composed into the same bitmap (all of it after
    // a change of size; empty when nothing changed).
    TRect Compose(const explorer::TTextScreen& screen, TBitmap& into, int width, int height,
                  const TMenuViews& menus = {});
    // The same, with the explorer's open menus and, while a control is dragged, its drag image
    // at the mouse.
    TRect Compose(explorer::TExplorer& explorer, const explorer::TTextScreen& screen, TBitmap& into,
                  int width, int height);

private:
    // The text screen's cells, then (given the explorer) the form's controls and the dialogs
    // open over it painting themselves where the screen drew them, then the menus.
    void Paint(const explorer::TTextScreen& screen, TBitmap& into, int width, int height,
               const TMenuViews& menus, explorer::TExplorer* explorer = nullptr);
    void PaintRow(const explorer::TTextScreen& screen, TCanvas& canvas, int y);
    void PaintText(TCanvas& canvas, int x, int y, int cells, const std::string& text,
                   const explorer::TCellAttr& attr);
    void PaintCursor(const explorer::TTextScreen& screen, TCanvas& canvas);
    TRect Damage(TBitmap& into);

    TBitmap FPrevious;
};

} // namespace orvel::desktop
