// Drawing the explorer's screens into the text screen.
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

// --- drawing ------------------------------------------------------------------------------

void TExplorer::Render() {
    FScreen.Clear();
    FOverlayCells.clear();
    if (TooSmall()) return RenderTooSmall();
    if (!FForm) return;
    RenderTitle();
    if (FDesigning)
        RenderDesigner();
    else
        RenderMain();
    RenderStatus();
    if (FDrawMenus) {
        RenderMenus();
    } else {
        // Only the boxes are wanted: the cells under them are kept.
        TTextScreen under = FScreen;
        RenderMenus();
        FScreen = under;
    }
    if (FHelp) RenderHelp();
    for (TCustomForm* form : FModalForms)
        FPainter.Control(*form, FocusedControl());
    RenderPrompt();
}

std::string TExplorer::TitleText() const {
    // A server's database is shown by its connection text, never with its password.
    std::string file = IsPostgresName(FDatabaseFile)
                           ? MaskPassword(FDatabaseFile)
                           : std::filesystem::path(FDatabaseFile).filename().string();
    return "Orvel Explorer │ " + file + " │ " + FOptions.View.Table +
           " │ Insert: " + InsertModeName(FTree->GetInsertMode());
}

void TExplorer::RenderTitle() {
    FScreen.Fill({0, 0, FScreen.Width(), 1}, attr::Title);
    std::string left = " " + TitleText();
    if (FScreen.Ascii())
        for (std::size_t p; (p = left.find("│")) != std::string::npos;)
            left.replace(p, std::string("│").size(), "|");
    std::string right = "?:Help ";
    FScreen.Print(0, 0, FitText(left, FScreen.Width() - TextCells(right) - 1), attr::Title);
    FScreen.Print(FScreen.Width() - TextCells(right), 0, right, attr::Title);
}

void TExplorer::RenderMain() {
    TWinControl* focused = FocusedPanel();
    FScreen.Frame(FTreeFrame, FOptions.View.Table,
                  focused == FTree ? attr::FocusFrame : attr::Frame);
    TTreeMarks marks;
    if (!VarIsEmpty(FPickedKey)) marks.PickedUp = FTree->FindNode(FPickedKey);
    FPainter.Tree(*FTree, focused == FTree, marks);
    // The frame points at the selected row, so a text dump shows the selection too.
    if (TTreeNode* selected = FTree->Selected())
        MarkRow(FTreeFrame, *FTree, selected->DisplayRect(false));

    TDBListView* list = FShowInventory ? FInventoryList : FChildList;
    std::string title;
    if (FShowInventory) {
        title = "Inventory";
    } else {
        TTreeNode* selected = FTree->Selected();
        title = selected ? "Owned by " + selected->Text() : "Top level";
    }
    FScreen.Frame(FListFrame, title, focused == list ? attr::FocusFrame : attr::Frame);
    FPainter.List(*list, focused == list);
    RenderRecordPanel();
    if (TListItem* item = list->Selected()) MarkRow(FListFrame, *list, item->DisplayRect(drBounds));
}

void TExplorer::RenderRecordPanel() {
    if (!FStatusCombo) return;
    TWinControl* focused = FocusedControl();
    FScreen.Frame(FRecordFrame, "Record", InRecordPanel(focused) ? attr::FocusFrame : attr::Frame);
    // Drop-down lists stay inside the panel.
    FPainter.SetDropArea({FRecordFrame.Left + 1, FRecordFrame.Top + 1, FRecordFrame.Width - 2,
                          FRecordFrame.Height - 2});
    int x = FRecordFrame.Left + 2, y = FRecordFrame.Top + 1;
    FScreen.Print(x, y, "Name", attr::Bold);
    std::string name;
    if (FObjects->GetActive() && !FObjects->IsEmpty())
        name = FObjects->FieldByName(FOptions.View.NameField)->GetDisplayText();
    if (Pending(FObjects)) name += FObjects->State() == dsInsert ? "  (new)" : "  (changed)";
    FScreen.Print(x + 8, y, name, {}, FRecordFrame.Width - 12);
    FScreen.Print(x, y + 1, "Status", attr::Bold);
    FScreen.Print(x, y + 2, "Flags", attr::Bold);
    for (TDBBitCheckBox* box : FFlagBoxes)
        FPainter.Control(*box, focused);
    if (FAttributes) {
        FPainter.Control(*FAttributes, focused);
        if (FAttributeRows.empty())
            FScreen.Print(CellsOf(*FAttributes).Left, CellsOf(*FAttributes).Top + 1,
                          "(no attributes)", attr::Dim);
    }
    // The combos last: their dropped-down lists lie over what is below them.
    if (FClassCombo) {
        TCellRect cells = CellsOf(*FClassCombo);
        FScreen.Print(cells.Left - 6, cells.Top, "Class", attr::Bold);
        if (!FClassCombo->DroppedDown()) FPainter.Control(*FClassCombo, focused);
    }
    FPainter.Control(*FStatusCombo, focused);
    if (FClassCombo && FClassCombo->DroppedDown()) FPainter.Control(*FClassCombo, focused);
    // An attribute's pick list may cover the rows above the grid: it is drawn over them.
    if (auto* editor = FAttributes
                           ? dynamic_cast<TExtGridInplaceEdit*>(FAttributes->InplaceEditor())
                           : nullptr;
        editor && editor->ListVisible())
        FPainter.Control(*FAttributes, focused);
    FPainter.SetDropArea({});
    MarkFocus(focused);
}

// The frame of the record panel points at the row of its focused control, so a text dump shows
// where the focus is, as the colours do on a terminal.
void TExplorer::MarkFocus(const TWinControl* focused) {
    if (!focused || (FStatusCombo && FStatusCombo->DroppedDown()) ||
        (FClassCombo && FClassCombo->DroppedDown()))
        return;
    int y = -1;
    if (focused == FStatusCombo || (FClassCombo && focused == FClassCombo))
        y = CellsOf(*focused).Top;
    for (TDBBitCheckBox* box : FFlagBoxes)
        if (focused == box) y = CellsOf(*box).Top;
    if (FAttributes && (focused == FAttributes || focused == FAttributes->InplaceEditor())) {
        TRect r = FAttributes->CellRect(1, FAttributes->Row());
        if (!r.IsEmpty())
            y = FAttributes->ClientToScreen({0, (r.Top + r.Bottom) / 2}).Y / CellHeight;
    }
    if (y < FRecordFrame.Top + 1 || y >= FRecordFrame.Bottom() - 1) return;
    FScreen.PutGlyph(FRecordFrame.Left, y, FScreen.Ascii() ? ">" : "▶", attr::FocusFrame);
}

void TExplorer::MarkRow(const TCellRect& frame, const TControl& control, const TRect& row) {
    if (row.IsEmpty()) return;
    int y = control.ClientToScreen({0, (row.Top + row.Bottom) / 2}).Y / CellHeight;
    TCellRect cells = CellsOf(control);
    if (y < cells.Top || y >= cells.Bottom()) return;
    FScreen.PutGlyph(frame.Left, y, FScreen.Ascii() ? ">" : "▶", attr::FocusFrame);
}

// The keys the focused control takes, for the status line.
std::string TExplorer::FocusedKeys() const {
    TWinControl* focused = FocusedControl();
    if (FAttributes && (focused == FAttributes || focused == FAttributes->InplaceEditor()))
        return " Up/Down:Attribute  Alt-Down:Choices  typing:Search  Enter:Take  Tab:Next panel";
    if ((FStatusCombo && FStatusCombo->DroppedDown()) ||
        (FClassCombo && FClassCombo->DroppedDown()))
        return " Up/Down:Choose  Enter:Take  Esc:Close";
    if (Editing()) return " Enter:Save  Esc:Cancel  BS:Erase";
    if (FDesigning)
        return " Tab:Panel  Up/Down:Choose  Enter:Set, type or open the dialog  d/Esc:Back  "
               "q:Quit";
    if (focused && focused == FStatusCombo)
        return " Status: Up/Down:Choose  F4/Alt-Down:List  Enter:Save  Esc:Cancel  Tab:Next  "
               "q:Quit";
    if (focused && focused == FClassCombo)
        return " Class: Up/Down:Choose  F4/Alt-Down:List  Enter:Save  Esc:Cancel  Tab:Next  "
               "q:Quit";
    for (TDBBitCheckBox* box : FFlagBoxes)
        if (focused == box)
            return " " + StripHotkey(box->Caption()) +
                   ": Space:Toggle  Enter:Save  Esc:Cancel  Tab:Next  q:Quit";
    if (!VarIsEmpty(FPickedKey))
        return " m:Drop under the selected node  Esc:Cancel the move  arrows:Choose";
    if (focused && focused == FChildList)
        return " ?Help Enter:Open BS:Up /:Find F2:Rename Del F5:Reload F6:Inventory F9:Menu "
               "q:Quit";
    if (focused && focused == FInventoryList)
        return " ?Help F2:Rename Del F5:Reload F6:Children F9:Menu q:Quit";
    return " ?Help Enter:Open BS:Up /:Find F2:Rename Ins Del F5:Reload m:Move F6:Inventory "
           "d:Designer q:Quit";
}

void TExplorer::RenderStatus() {
    int h = FScreen.Height();
    if (!FMessage.empty())
        FScreen.Print(0, h - 2, FitText(" " + FMessage, FScreen.Width(), true),
                      FMessageIsError ? attr::Error : attr::Bold);
    std::string keys = FocusedKeys();
    FScreen.Fill({0, h - 1, FScreen.Width(), 1}, attr::Status);
    FScreen.Print(0, h - 1, FitText(keys, FScreen.Width(), true), attr::Status);
}

std::vector<TExplorer::TMenuView> TExplorer::OpenMenus() const {
    std::vector<TMenuView> menus;
    for (const TOpenMenu& open : FMenus)
        menus.push_back({open.Menu, open.X, open.Y, open.Highlight, open.Box});
    return menus;
}

void TExplorer::RenderMenus() {
    for (TOpenMenu& open : FMenus)
        open.Box = FPainter.Menu(*open.Menu, open.X, open.Y, open.Highlight);
}

TCellRect TExplorer::PromptBox() const {
    int wanted = TextCells(FPrompt->Text) + 4 + (FPrompt->Entry ? 1 : 0);
    if (FPrompt->Entry) wanted = std::max(wanted, 50);
    int width = std::min(FScreen.Width() - 4, wanted);
    return {(FScreen.Width() - width) / 2, FScreen.Height() / 2 - 2, width, 3};
}

void TExplorer::RenderPrompt() {
    if (!FPrompt) return;
    TCellRect box = PromptBox();
    int width = box.Width;
    FOverlayCells.push_back(box);
    FScreen.Fill(box, {ccBlack, ccWhite});
    FScreen.Frame(box, FPrompt->Title, {ccBlack, ccWhite, true});
    std::string text = FPrompt->Text;
    int room = std::max(1, width - 4);
    if (FPrompt->Entry) {
        // Typed text longer than the box shows its end, where the cursor is.
        std::vector<std::string> chars = SplitCharacters(text);
        std::size_t first = 0;
        while (first < chars.size() && TextCells(text) > room - 1) {
            text.erase(0, chars[first].size());
            ++first;
        }
        FScreen.SetCursor(box.Left + 2 + TextCells(text), box.Top + 1);
    }
    FScreen.Print(box.Left + 2, box.Top + 1, text, {ccBlack, ccWhite}, room);
}

namespace {

const char* const kHelpLines[] = {
    "Keys",
    "  Up Down PgUp PgDn Home End   move in the focused panel",
    "  Enter / Right, Left          expand / collapse the selected node",
    "  Enter, double click          open a list item: select and expand its node",
    "  Backspace                    go to the parent",
    "  / or Ctrl-F, n or F3         find by name in the whole table, next match",
    "  Tab, Shift-Tab               next / previous panel (tree, list, record panel)",
    "  F2                           rename in place (Enter keeps, Esc cancels)",
    "  Ins                          insert a record (placed by the insert mode)",
    "  i                            cycle the insert mode",
    "  Del                          delete the selected record (asks first)",
    "  m ... m                      pick up a node, then drop it under another",
    "  mouse drag                   move a node under another (empty space: top level)",
    "  Esc                          cancel a move or the record panel's change",
    "  click on an answer           answer a question (e.g. \"y: delete\")",
    "  F5                           reload",
    "  F6                           children / inventory on the right",
    "  F4, Alt-Down                 open the status list or an attribute's choices",
    "  Space                        toggle the focused history flag",
    "  d, F7                        the designer screen (d, F7 or Esc: back)",
    "  F9, Shift-F10, right click   popup menu (view style, insert mode, PNG images)",
    "  p                            write the image lists to PNG files (asks where)",
    "  ?, F1                        this help",
    "  q, F10                       quit (asks about unsaved changes)",
};

} // namespace

int TExplorer::HelpRows() const {
    return std::max(1, std::min(FScreen.Height() - 2, static_cast<int>(std::size(kHelpLines)) + 3) -
                           2);
}

int TExplorer::HelpLineCount() const {
    return static_cast<int>(std::size(kHelpLines));
}

void TExplorer::RenderHelp() {
    int width = 0;
    for (const char* l : kHelpLines)
        width = std::max(width, TextCells(l));
    width = std::min(FScreen.Width() - 2, width + 4);
    int rows = HelpRows();
    TCellRect box{(FScreen.Width() - width) / 2, (FScreen.Height() - rows - 2) / 2, width,
                  rows + 2};
    FOverlayCells.push_back(box);
    FScreen.Fill(box, {ccBlack, ccWhite});
    FScreen.Frame(box, "Help", {ccBlack, ccWhite, true});
    // The last row says how to close the help, and where it is scrolled when it does not fit.
    int count = HelpLineCount();
    bool scrolls = count + 1 > rows;
    int lines = scrolls ? rows - 1 : count;
    FHelpTop = std::clamp(FHelpTop, 0, std::max(0, count - lines));
    for (int i = 0; i < lines && FHelpTop + i < count; ++i) {
        int k = FHelpTop + i;
        FScreen.Print(box.Left + 2, box.Top + 1 + i, kHelpLines[k], {ccBlack, ccWhite, k == 0},
                      width - 4);
    }
    std::string last = "Any key closes this help.";
    if (scrolls)
        last = "Lines " + std::to_string(FHelpTop + 1) + "-" +
               std::to_string(std::min(count, FHelpTop + lines)) + " of " + std::to_string(count) +
               "  Up/Down: scroll  other keys: close";
    FScreen.Print(box.Left + 2, box.Top + rows, last, {ccBlack, ccWhite}, width - 4);
}

} // namespace orvel::explorer
