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

TPoint TExplorer::EventPoint(const TInputEvent& event, bool second) const {
    int x = second ? event.X2 : event.X, y = second ? event.Y2 : event.Y;
    return event.Pixels ? TPoint{x, y} : MousePoint(x, y);
}

void TExplorer::HandleMouse(const TInputEvent& event) {
    if (event.Action != TMouseAction::Move && event.Action != TMouseAction::Release &&
        event.Action != TMouseAction::Wheel)
        SaveRecordPanel();
    TPoint p = EventPoint(event, false);
    switch (event.Action) {
    case TMouseAction::Press:
        FDelivery.Press(p, mbLeft);
        break;
    case TMouseAction::DoublePress:
        FDelivery.Press(p, mbLeft, true);
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
        SelectUnderPoint(event.Pixels ? p : PixelOfCell(event.X, event.Y));
        Application().ProcessMessages();
        FDelivery.Press(p, mbRight);
        FDelivery.Release(p, mbRight);
        break;
    case TMouseAction::Drag: {
        TPoint to = EventPoint(event, true);
        FDelivery.Press(p, mbLeft);
        FDelivery.Move({(p.X + to.X) / 2, (p.Y + to.Y) / 2});
        FDelivery.Move(to);
        FDelivery.Release(to, mbLeft);
        break;
    }
    case TMouseAction::Wheel:
        ScrollAt(p, event.Wheel);
        break;
    }
}

namespace {

bool ShowsPoint(const TControl* control, TPoint screen) {
    if (!control || !control->Visible()) return false;
    TPoint client = control->ScreenToClient(screen);
    return client.X >= 0 && client.Y >= 0 && client.X < control->Width() &&
           client.Y < control->Height();
}

} // namespace

void TExplorer::ScrollAt(TPoint screen, int notches) {
    // Three lines a notch, as desktops scroll; the selection stays where it is.
    constexpr int kLinesPerNotch = 3;
    int lines = -notches * kLinesPerNotch;
    if (ShowsPoint(FTree, screen)) {
        FTree->ScrollBy(lines);
        return;
    }
    for (TDBListView* list : {FChildList, FInventoryList})
        if (ShowsPoint(list, screen)) {
            list->Scroll(0, lines * CellHeight);
            return;
        }
    for (TListBox* box : {FPalette, FProperties, FValues})
        if (ShowsPoint(box, screen)) {
            box->SetTopIndex(box->TopIndex() + lines);
            return;
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
    // Menus stand on text cells on every front end.
    int x = event.Pixels ? event.X / CellWidth : event.X;
    int y = event.Pixels ? event.Y / CellHeight : event.Y;
    for (std::size_t level = FMenus.size(); level-- > 0;) {
        TOpenMenu& open = FMenus[level];
        if (!open.Box.Contains(x, y)) continue;
        FMenus.resize(level + 1);
        int index = y - open.Box.Top - 1;
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
