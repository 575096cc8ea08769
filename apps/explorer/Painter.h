// Drawing the headless controls into the text screen. The painter reads only what the controls
// themselves report (their bounds, rows, item rectangles, scroll positions, selection, focus,
// drop target and in-place editor) and turns pixels into cells: one cell is 8 x 16 pixels.
// Images come from the controls' image lists: each picture is shown as one glyph in the colour
// that dominates it.
#pragma once

#include "apps/explorer/TextScreen.h"
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/controls/StdCtrls.h"

#include <string>
#include <vector>

namespace orvel::explorer {

// The cells a control covers on screen.
TCellRect CellsOf(const TControl& control);
// The screen pixel at the middle of a cell.
TPoint PixelOfCell(int x, int y);

// A picture of an image list as one character and its colour.
struct TGlyph {
    std::string Text = " ";
    TCellAttr Attr;
};
TGlyph ImageGlyph(const TCustomImageList* list, int index, bool ascii);

// What the explorer marks on a tree beyond what the tree shows itself.
struct TTreeMarks {
    const TTreeNode* PickedUp = nullptr; // the node picked up for a keyboard move
};

class TPainter {
public:
    explicit TPainter(TTextScreen& screen) : FScreen(screen) {}
    // Whether controls (and dialogs) are drawn as text; a front end whose controls paint
    // themselves turns it off, so the screen holds only what lies around them.
    void SetDrawControls(bool value) { FDrawControls = value; }

    // Any control and the controls inside it, each drawn by its kind (a form or panel as a
    // frame, labels, edit boxes, buttons, check boxes, list and combo boxes, grids, trees and
    // lists); focused is the control with the keyboard focus.
    void Control(const TControl& control, const TControl* focused);
    void Tree(const TCustomTreeView& tree, bool focused, const TTreeMarks& marks = {});
    void List(const TCustomListView& list, bool focused);
    // A menu's visible items in a box at (x, y), the item at highlight shown selected; answers
    // the box.
    TCellRect Menu(const TMenuItem& menu, int x, int y, int highlight);
    // The cell of a tree row's label, where a click on the label's first character lands.
    static int TreeLabelCell(const TCustomTreeView& tree, const TTreeNode& node);
    // Where the drop-down lists of combos and pick lists are kept (Width 0: the whole screen):
    // below their control, or above it where there is more room.
    void SetDropArea(const TCellRect& area) { FDropArea = area; }

private:
    void TreeRow(const TCustomTreeView& tree, const TTreeNode& node, int y, bool focused,
                 const TTreeMarks& marks);
    void ListReport(const TCustomListView& list, const TCellRect& cells, bool focused);
    void ListCells(const TCustomListView& list, const TCellRect& cells, bool focused);
    void ScrollBar(const TCellRect& track, int first, int shown, int total);
    void CheckBox(const TCustomCheckBox& box, bool focused);
    void Edit(const TCustomEdit& edit, bool focused);
    void ListBox(const TCustomListBox& box, bool focused);
    void Combo(const TCustomComboBox& combo, bool focused);
    void DroppedList(const TCustomComboBox& combo);
    void Grid(const TCustomGrid& grid, bool focused);
    void PickList(const TCustomGrid& grid);
    void Button(const TButton& button, bool focused);
    int Images(const TCustomImageList* list, int index, int x, int y, int cells);

    // Rows for a drop-down list of wanted entries under or over the control rows top..bottom.
    TCellRect DropRows(const TCellRect& control, int wanted) const;

    TTextScreen& FScreen;
    bool FDrawControls = true;
    TCellRect FDropArea;
};

} // namespace orvel::explorer
