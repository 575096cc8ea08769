// How a grid looks: fixed cells in their colour with a raised edge, grid lines, the cells' own
// drawing (DrawCell, OnDrawCell) and a dotted focus rectangle around the current cell.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/Grids.h"

namespace orvel {

void TCustomGrid::PaintFixedCellEdge(TCanvas& canvas, const TRect& cell) {
    if (cell.Width() < 2 || cell.Height() < 2) return;
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(clBtnHighlight);
    canvas.FillRect({cell.Left, cell.Top, cell.Right - 1, cell.Top + 1});
    canvas.FillRect({cell.Left, cell.Top, cell.Left + 1, cell.Bottom - 1});
    canvas.Brush()->SetColor(clBtnShadow);
    canvas.FillRect({cell.Left, cell.Bottom - 1, cell.Right, cell.Bottom});
    canvas.FillRect({cell.Right - 1, cell.Top, cell.Right, cell.Bottom});
}

// The lines right of and below a cell: dark between fixed cells, the face colour between the
// others; a line option switched off leaves the background.
void TCustomGrid::PaintCellLines(TCanvas& canvas, int ACol, int ARow, const TRect& cell,
                                 bool fixed) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(fixed ? cl3DDkShadow : clBtnFace);
    canvas.FillRect(
        {cell.Right, cell.Top, cell.Right + ColLine(ACol), cell.Bottom + RowLine(ARow)});
    canvas.FillRect({cell.Left, cell.Bottom, cell.Right, cell.Bottom + RowLine(ARow)});
}

void TCustomGrid::Paint() {
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(client);
    for (int r = 0; r < FRowCount; ++r) {
        for (int c = 0; c < FColCount; ++c) {
            TRect cell = CellRect(c, r);
            if (cell.IsEmpty() && RowTop(r) < 0) break;
            if (cell.IsEmpty()) continue;
            TGridDrawState state;
            bool fixed = c < FFixedCols || r < FFixedRows;
            if (fixed) state.Include(gdFixed);
            PaintCellLines(*canvas, c, r, cell, fixed);
            bool current = c == FCol && r == FRow;
            if (current && Focused()) state.Include(gdFocused);
            if (current && (!Focused() || FOptions.Contains(goDrawFocusSelected)) && !fixed)
                state.Include(gdSelected);
            DrawCell(c, r, cell, state);
            // The focus shows on the current cell unless the editor covers it.
            if (state.Contains(gdFocused) && !fixed && !FEditorMode) PaintFocusRect(*canvas, cell);
        }
    }
}

} // namespace orvel
