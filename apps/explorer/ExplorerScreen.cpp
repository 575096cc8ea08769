// The explorer on a terminal of any size: a screen smaller than the layout shows a notice and
// takes no input but a new size (so nothing acts that is not drawn), and the mouse's right
// button selects what it points at before the popup menu opens.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"

#include <algorithm>

namespace orvel::explorer {

bool TExplorer::TooSmall() const {
    return FScreen.Width() < TOptions::MinColumns || FScreen.Height() < TOptions::MinRows;
}

void TExplorer::RenderTooSmall() {
    FScreen.Clear();
    std::string size = std::to_string(FScreen.Width()) + "x" + std::to_string(FScreen.Height());
    std::string need =
        std::to_string(TOptions::MinColumns) + "x" + std::to_string(TOptions::MinRows);
    const std::string lines[] = {"terminal too small", size + ", needs " + need,
                                 "enlarge it to go on"};
    int top = std::max(0, FScreen.Height() / 2 - 1);
    for (int i = 0; i < 3; ++i) {
        const std::string& line = lines[i];
        int left = std::max(0, (FScreen.Width() - TextCells(line)) / 2);
        FScreen.Print(left, top + i, FitText(line, FScreen.Width() - left, true),
                      i == 0 ? attr::Error : attr::Normal);
    }
}

void TExplorer::SelectUnderMouse(int x, int y) {
    TPoint p = PixelOfCell(x, y);
    if (FTree->Visible() && CellsOf(*FTree).Contains(x, y)) {
        TPoint client = FTree->ScreenToClient(p);
        if (TTreeNode* node = FTree->GetNodeAt(client.X, client.Y))
            if (node != FTree->Selected()) FTree->SetSelected(node);
        return;
    }
    for (TDBListView* list : {FChildList, FInventoryList}) {
        if (!list || !list->Visible() || !CellsOf(*list).Contains(x, y)) continue;
        TPoint client = list->ScreenToClient(MousePoint(x, y));
        if (TListItem* item = list->GetItemAt(client.X, client.Y))
            if (item != list->Selected()) {
                list->SetSelected(item);
                list->SetItemFocused(item);
            }
        return;
    }
}

} // namespace orvel::explorer
