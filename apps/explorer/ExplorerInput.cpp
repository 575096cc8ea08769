// The explorer's mouse and menus: clicks and drags mapped from cells to pixels, popup menus.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "apps/explorer/SampleData.h"
#include "orvel/containers/TreeAndList.h"
#include "orvel/design/OrvelReg.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/listview/ListViewMenus.h"
#include "orvel/schema/FieldNames.h"
#include "orvel/schema/LudraTypes.h"

#include <algorithm>
#include <filesystem>

namespace orvel::explorer {

// --- mouse --------------------------------------------------------------------------------

TPoint TExplorer::MousePoint(int x, int y) const {
    TPoint p = PixelOfCell(x, y);
    // The controls measure captions in their own font, narrower than a text cell: a cell over a
    // drawn caption is mapped onto the same character of the caption the tree measures.
    TCellRect tree = CellsOf(*FTree);
    if (tree.Contains(x, y)) {
        TPoint client = FTree->ScreenToClient(p);
        if (TTreeNode* node = FTree->GetNodeAt(client.X, client.Y)) {
            int first = TPainter::TreeLabelCell(*FTree, *node);
            int chars = TextCells(node->Text());
            TRect label = node->DisplayRect(true);
            if (chars > 0 && x >= first && x < first + chars) {
                int k = x - first;
                client.X = label.Left + ((2 * k + 1) * label.Width()) / (2 * chars);
                return FTree->ClientToScreen(client);
            }
        }
    }
    // A report-style list takes a click anywhere on an item's row as a click on the item.
    for (TDBListView* list : {FChildList, FInventoryList}) {
        if (!list || !list->Visible() || list->ViewStyle() != vsReport) continue;
        TCellRect cells = CellsOf(*list);
        if (!cells.Contains(x, y) || list->Columns()->Count() == 0) continue;
        TPoint client = list->ScreenToClient(p);
        int first = list->Columns()->Items(0)->Width();
        if (client.X >= first) client.X = first / 2;
        if (list->GetItemAt(client.X, client.Y)) return list->ClientToScreen(client);
    }
    return p;
}

bool TExplorer::SaveRecordPanel() {
    if (!InRecordPanel(FocusedControl()) || !Pending(FObjects) || Editing()) return false;
    try {
        FObjects->CheckBrowseMode();
    } catch (...) {
        Application().HandleException();
    }
    return true;
}

void TExplorer::HandleMouse(const TInputEvent& event) {
    if (event.Action != TMouseAction::Move && event.Action != TMouseAction::Release)
        SaveRecordPanel();
    TPoint p = MousePoint(event.X, event.Y);
    switch (event.Action) {
    case TMouseAction::Press:
        FDelivery.Press(p, mbLeft);
        break;
    case TMouseAction::Release:
        FDelivery.Release(p, mbLeft);
        break;
    case TMouseAction::Move:
        FDelivery.Move(p);
        break;
    case TMouseAction::Click:
        FDelivery.Press(p, mbLeft);
        FDelivery.Release(p, mbLeft);
        break;
    case TMouseAction::DoubleClick:
        FDelivery.Press(p, mbLeft);
        FDelivery.Release(p, mbLeft);
        FDelivery.Press(p, mbLeft, true);
        FDelivery.Release(p, mbLeft);
        break;
    case TMouseAction::RightClick:
        // The menu acts on what the mouse points at, not on the earlier selection.
        SelectUnderMouse(event.X, event.Y);
        Application().ProcessMessages();
        FDelivery.Press(p, mbRight);
        FDelivery.Release(p, mbRight);
        break;
    case TMouseAction::Drag: {
        TPoint to = MousePoint(event.X2, event.Y2);
        FDelivery.Press(p, mbLeft);
        FDelivery.Move({(p.X + to.X) / 2, (p.Y + to.Y) / 2});
        FDelivery.Move(to);
        FDelivery.Release(to, mbLeft);
        break;
    }
    }
}

// --- menus --------------------------------------------------------------------------------

void TExplorer::OpenPopup() {
    TPopupRecord popup = LastPopup();
    if (!popup.Menu) return;
    TMenuItem* items = popup.Menu->Items();
    ClearLastPopup();
    if (items->Count() == 0) return;
    // The insert-mode items show the tree's mode.
    if (FInsertModeMenu)
        for (int i = 0; i < FInsertModeMenu->Count(); ++i)
            FInsertModeMenu->Items(i)->SetChecked(FInsertModeMenu->Items(i)->Tag() ==
                                                  static_cast<int>(FTree->GetInsertMode()));
    CloseMenus();
    FMenus.push_back({items, popup.Point.X / CellWidth, popup.Point.Y / CellHeight, 0, {}});
}

void TExplorer::CloseMenus() {
    FMenus.clear();
}

namespace {

std::vector<TMenuItem*> VisibleItems(TMenuItem* menu) {
    std::vector<TMenuItem*> items;
    for (int i = 0; i < menu->Count(); ++i)
        if (menu->Items(i)->Visible()) items.push_back(menu->Items(i));
    return items;
}

} // namespace

bool TExplorer::HandleMenuKey(const TInputEvent& event) {
    TOpenMenu& open = FMenus.back();
    std::vector<TMenuItem*> items = VisibleItems(open.Menu);
    int count = static_cast<int>(items.size());
    auto choose = [&](int index) {
        if (index < 0 || index >= count) return;
        TMenuItem* item = items[static_cast<std::size_t>(index)];
        if (!item->Enabled() || item->Caption() == "-") return;
        if (item->Count() > 0) {
            FMenus.push_back({item, open.Box.Right() - 1, open.Box.Top + 1 + index, 0, {}});
            return;
        }
        CloseMenus();
        try {
            item->Click();
        } catch (...) {
            Application().HandleException();
        }
    };
    if (IsKey(event, VK_UP) || IsKey(event, VK_DOWN)) {
        int step = event.Key == VK_UP ? -1 : 1;
        for (int n = 0; n < count; ++n) {
            open.Highlight = (open.Highlight + step + count) % count;
            if (items[static_cast<std::size_t>(open.Highlight)]->Caption() != "-") break;
        }
    } else if (IsKey(event, VK_HOME) || IsKey(event, VK_END) || IsKey(event, VK_PRIOR) ||
               IsKey(event, VK_NEXT)) {
        // To the first or the last item that can be chosen.
        bool first = event.Key == VK_HOME || event.Key == VK_PRIOR;
        for (int n = 0; n < count; ++n) {
            int i = first ? n : count - 1 - n;
            if (items[static_cast<std::size_t>(i)]->Caption() != "-") {
                open.Highlight = i;
                break;
            }
        }
    } else if (IsKey(event, VK_RETURN) || IsKey(event, VK_RIGHT) || IsKey(event, VK_SPACE)) {
        choose(open.Highlight);
    } else if (IsKey(event, VK_ESCAPE) || IsKey(event, VK_LEFT)) {
        FMenus.pop_back();
    } else if (event.Kind == TInputKind::Char) {
        // A character chooses the item whose caption marks it with '&'.
        for (int i = 0; i < count; ++i) {
            const std::string& caption = items[static_cast<std::size_t>(i)]->Caption();
            std::size_t amp = caption.find('&');
            if (amp != std::string::npos && amp + 1 < caption.size() &&
                std::tolower(static_cast<unsigned char>(caption[amp + 1])) ==
                    std::tolower(static_cast<unsigned char>(event.Text[0]))) {
                open.Highlight = i;
                choose(i);
                break;
            }
        }
    }
    return true;
}

bool TExplorer::HandleMenuMouse(const TInputEvent& event) {
    if (event.Action != TMouseAction::Click && event.Action != TMouseAction::Release &&
        event.Action != TMouseAction::RightClick)
        return true;
    for (std::size_t level = FMenus.size(); level-- > 0;) {
        TOpenMenu& open = FMenus[level];
        if (!open.Box.Contains(event.X, event.Y)) continue;
        FMenus.resize(level + 1);
        int index = event.Y - open.Box.Top - 1;
        std::vector<TMenuItem*> items = VisibleItems(open.Menu);
        if (index < 0 || index >= static_cast<int>(items.size())) return true;
        open.Highlight = index;
        TInputEvent enter;
        enter.Kind = TInputKind::Key;
        enter.Key = VK_RETURN;
        return HandleMenuKey(enter);
    }
    CloseMenus();
    return true;
}

} // namespace orvel::explorer
