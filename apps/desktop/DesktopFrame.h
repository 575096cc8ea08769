// The desktop explorer's picture: the explorer's screen (the panels, the title, the status line,
// prompts, help, menus and the dialogs over them) composed in pixels, one text cell as
// CellWidth x CellHeight pixels. Frames, scroll bars and the picture glyphs are drawn as lines
// and shapes; text goes through the canvas's font, each word group at the cell where it starts.
// Composing needs no window: the same frame is presented in a window or written to a file.
#pragma once

#include "apps/explorer/TextScreen.h"
#include "orvel/host/controls/Graphics.h"

namespace orvel::desktop {

// The desktop colour of a text-screen colour, for text (fore) or for a background.
TColor ForeColor(explorer::TCellColor color);
TColor BackColor(explorer::TCellColor color);

class TDesktopFrame {
public:
    // Paints screen into into, which takes width x height pixels (at least the screen's cells;
    // the margin right and below the cells is the window's face colour). Answers the rectangle
    // whose pixels differ from the previous frame composed into the same bitmap (all of it after
    // a change of size; empty when nothing changed).
    TRect Compose(const explorer::TTextScreen& screen, TBitmap& into, int width, int height);

private:
    void PaintRow(const explorer::TTextScreen& screen, TCanvas& canvas, int y);
    void PaintText(TCanvas& canvas, int x, int y, int cells, const std::string& text,
                   const explorer::TCellAttr& attr);
    void PaintCursor(const explorer::TTextScreen& screen, TCanvas& canvas);

    TBitmap FPrevious;
};

} // namespace orvel::desktop
