// The explorer on a terminal of any size: a screen smaller than the layout (or than an open
// dialog) shows a notice and takes no input but a new size, so nothing acts that is not drawn;
// and the mouse's right button selects what it points at before the popup menu opens.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"

#include <algorithm>

namespace orvel::explorer {

TPoint TExplorer::NeededCells() const {
    // The layout's minimum, or more while a dialog is open that asked for more: its buttons
    // must be seen before a key can press them.
    TPoint need{TOptions::MinColumns, TOptions::MinRows};
    for (TPoint asked : FDialogSizes) {
        // Its cells and the frame drawn around them.
        need.X = std::max(need.X, (asked.X + CellWidth - 1) / CellWidth + 2);
        need.Y = std::max(need.Y, (asked.Y + CellHeight - 1) / CellHeight + 2);
    }
    return need;
}

bool TExplorer::TooSmall() const {
    TPoint need = NeededCells();
    return FScreen.Width() < need.X || FScreen.Height() < need.Y;
}

void TExplorer::RenderTooSmall() {
    FScreen.Clear();
    std::string size = std::to_string(FScreen.Width()) + "x" + std::to_string(FScreen.Height());
    TPoint needed = NeededCells();
    std::string need = std::to_string(needed.X) + "x" + std::to_string(needed.Y);
    const std::string lines[] = {"terminal too small", size + ", needs " + need,
                                 "enlarge it to go on (q quits)"};
    int top = std::max(0, FScreen.Height() / 2 - 1);
    for (int i = 0; i < 3; ++i) {
        const std::string& line = lines[i];
        int left = std::max(0, (FScreen.Width() - TextCells(line)) / 2);
        FScreen.Print(left, top + i, FitText(line, FScreen.Width() - left, true),
                      i == 0 ? attr::Error : attr::Normal);
    }
}

void TExplorer::SelectUnderPoint(TPoint p) {
    auto shows = [&](const TControl& control) {
        TPoint client = control.ScreenToClient(p);
        return control.Visible() && client.X >= 0 && client.Y >= 0 && client.X < control.Width() &&
               client.Y < control.Height();
    };
    if (shows(*FTree)) {
        TPoint client = FTree->ScreenToClient(p);
        if (TTreeNode* node = FTree->GetNodeAt(client.X, client.Y))
            if (node != FTree->Selected()) FTree->SetSelected(node);
        return;
    }
    for (TDBListView* list : {FChildList, FInventoryList}) {
        if (!list || !shows(*list)) continue;
        TPoint client = list->ScreenToClient(p);
        // A report-style list takes a point anywhere on an item's row as one on the item.
        if (list->ViewStyle() == vsReport && list->Columns()->Count() > 0) {
            int first = list->Columns()->Items(0)->Width();
            if (client.X >= first) client.X = first / 2;
        }
        if (TListItem* item = list->GetItemAt(client.X, client.Y))
            if (item != list->Selected()) {
                list->SetSelected(item);
                list->SetItemFocused(item);
            }
        return;
    }
}

void TExplorer::PlaceDialogs() {
    for (std::size_t i = 0; i < FModalForms.size() && i < FDialogSizes.size(); ++i) {
        // The dialog stands in the middle of the screen, its size rounded to whole cells.
        TPoint asked = FDialogSizes[i];
        int w = std::clamp((asked.X + CellWidth - 1) / CellWidth, 1, FScreen.Width() - 2);
        int h = std::clamp((asked.Y + CellHeight - 1) / CellHeight, 1, FScreen.Height() - 2);
        FModalForms[i]->SetBounds((FScreen.Width() - w) / 2 * CellWidth,
                                  (FScreen.Height() - h) / 2 * CellHeight, w * CellWidth,
                                  h * CellHeight);
    }
}

} // namespace orvel::explorer
