// The explorer's designer screen: the palette page, published properties, property editors.
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

// --- the designer screen ------------------------------------------------------------------

void TExplorer::NameComponents() {
    // Names, as a form file would give them: the designer shows references by name.
    std::pair<TComponent*, const char*> names[] = {{FDatabase, "Database"},
                                                   {FObjects, "ObjectsTable"},
                                                   {FObjectsSource, "ObjectsSource"},
                                                   {FChildren, "ChildrenTable"},
                                                   {FChildrenSource, "ChildrenSource"},
                                                   {FInventory, "InventoryTable"},
                                                   {FInventorySource, "InventorySource"},
                                                   {FTree, "ObjectsTree"},
                                                   {FChildList, "ChildList"},
                                                   {FInventoryList, "InventoryList"},
                                                   {FClassImages, "ClassImages"},
                                                   {FStatusImages, "StatusImages"},
                                                   {FInventoryImages, "InventoryImages"},
                                                   {FStatusCombo, "StatusCombo"},
                                                   {FAttributes, "AttributeGrid"},
                                                   {FTreeMenu, "TreeMenu"},
                                                   {FListMenu, "ListMenu"}};
    for (auto& [component, name] : names)
        if (component) component->SetName(name);
    int n = 0;
    for (TDBBitCheckBox* box : FFlagBoxes)
        box->SetName("FlagBox" + std::to_string(++n));
}

void TExplorer::BuildDesigner() {
    static bool registered = false;
    if (!registered) {
        OrvelReg::Register();
        registered = true;
    }
    auto box = [this](int order) {
        auto* b = new TListBox(FForm);
        b->SetParent(FForm);
        b->SetTabStop(true);
        b->SetTabOrder(order);
        b->SetVisible(false);
        return b;
    };
    FPalette = box(30);
    FProperties = box(31);
    FValues = box(32);
    TStringList names;
    for (const TClassInfo* info : PaletteComponents("Orvel"))
        names.Add(info->Name);
    FPalette->SetItems(&names);
    if (names.Count() > 0) FPalette->SetItemIndex(0);
}

void TExplorer::ShowMainControls(bool shown) {
    for (TControl* c : std::initializer_list<TControl*>{FTree, FChildList, FInventoryList,
                                                        FStatusCombo, FAttributes, FClassCombo})
        if (c)
            c->SetVisible(shown && (c != FInventoryList || FShowInventory) &&
                          (c != FChildList || !FShowInventory));
    for (TDBBitCheckBox* b : FFlagBoxes)
        b->SetVisible(shown);
    for (TListBox* b : {FPalette, FProperties, FValues})
        b->SetVisible(!shown);
}

void TExplorer::ToggleDesigner() {
    FDesigning = !FDesigning;
    ShowMainControls(!FDesigning);
    FShownPaletteIndex = FShownPropertyIndex = -2;
    if (FDesigning) {
        FPalette->SetFocus();
        FillDesignerProperties();
    } else if (FTree->CanFocus()) {
        FTree->SetFocus();
    }
}

TComponent* TExplorer::DesignedComponent() const {
    int i = FPalette->ItemIndex();
    if (i < 0) return nullptr;
    std::string name = (*FPalette->Items())[i];
    TComponent* candidates[] = {FTree,         FChildList,
                                FStatusCombo,  FFlagBoxes.empty() ? nullptr : FFlagBoxes[0],
                                FStatusImages, FAttributes};
    for (TComponent* c : candidates)
        if (c && c->ClassInfo().Name == name) return c;
    return nullptr;
}

void TExplorer::FillDesignerProperties() {
    FShownPaletteIndex = FPalette->ItemIndex();
    TStringList lines;
    if (TComponent* c = DesignedComponent()) {
        for (const TPropInfo* p : c->ClassInfo().AllProperties()) {
            std::string value;
            try {
                value = GetPropertyEditor(&FDesigner, {c}, p->Name)->GetValue();
            } catch (const std::exception& e) {
                value = std::string("(") + e.what() + ")";
            }
            lines.Add(p->Name + " = " + value);
        }
    }
    int keep = FProperties->ItemIndex();
    FProperties->SetItems(&lines);
    if (lines.Count() > 0) FProperties->SetItemIndex(std::clamp(keep, 0, lines.Count() - 1));
    FillDesignerValues();
}

std::unique_ptr<TPropertyEditor> TExplorer::SelectedPropertyEditor() {
    TComponent* c = DesignedComponent();
    int i = FProperties->ItemIndex();
    if (!c || i < 0) return nullptr;
    std::string line = (*FProperties->Items())[i];
    return GetPropertyEditor(&FDesigner, {c}, line.substr(0, line.find(" = ")));
}

void TExplorer::FillDesignerValues() {
    FShownPropertyIndex = FProperties->ItemIndex();
    TStringList values;
    std::string current;
    try {
        if (auto editor = SelectedPropertyEditor())
            if (editor->GetAttributes() & paValueList) {
                editor->GetValues([&](const std::string& v) { values.Add(v); });
                current = editor->GetValue();
            }
    } catch (...) {
        Application().HandleException();
    }
    FValues->SetItems(&values);
    // The list opens on the value the property has.
    for (int i = 0; i < values.Count(); ++i)
        if (values[i] == current) FValues->SetItemIndex(i);
}

bool TExplorer::HandleDesignerKey(const TInputEvent& event) {
    if (IsChar(event, "d") || IsKey(event, VK_F1 + 6) || IsKey(event, VK_ESCAPE)) {
        ToggleDesigner();
        return true;
    }
    if (IsChar(event, "q") || IsKey(event, VK_F10)) {
        AskQuit();
        return true;
    }
    TWinControl* focused = FocusedControl();
    if (IsKey(event, VK_RETURN) || IsKey(event, VK_F2)) {
        SetDesignerValue(focused);
        return true;
    }
    return false;
}

// Enter on a value of the value list sets it at once; on a property it opens its dialog, moves
// to its value list, or asks for the value to be typed.
void TExplorer::SetDesignerValue(TWinControl* focused) {
    try {
        auto editor = SelectedPropertyEditor();
        if (!editor) return;
        TPropertyAttributes attributes = editor->GetAttributes();
        if (focused == FValues && FValues->ItemIndex() >= 0) {
            editor->SetValue((*FValues->Items())[FValues->ItemIndex()]);
            ShowInfo(editor->GetName() + " = " + editor->GetValue());
        } else if (attributes & paDialog) {
            editor->Edit();
            ShowInfo(editor->GetName() + " = " + editor->GetValue());
        } else if ((attributes & paValueList) && FValues->Items()->Count() > 0) {
            FValues->SetFocus();
            ShowInfo("Choose a value of " + editor->GetName() + ": Enter sets it");
        } else if (attributes & paReadOnly) {
            ShowError(editor->GetName() + " cannot be typed here");
        } else {
            std::string name = editor->GetName();
            AskText("Set " + name, name + " = ", editor->GetValue(),
                    [this](const std::string& text) { SetTypedValue(text); });
        }
    } catch (...) {
        Application().HandleException();
    }
    FillDesignerProperties();
}

void TExplorer::SetTypedValue(const std::string& text) {
    try {
        auto editor = SelectedPropertyEditor();
        if (!editor) return;
        editor->SetValue(text);
        ShowInfo(editor->GetName() + " = " + editor->GetValue());
    } catch (...) {
        Application().HandleException();
    }
    FillDesignerProperties();
}

void TExplorer::RenderDesigner() {
    int w = FScreen.Width(), h = FScreen.Height();
    int third = w / 4;
    TWinControl* focused = FocusedControl();
    TCellRect palette{0, 1, third, h - 3}, props{third, 1, w - 2 * third, h - 3},
        values{w - third, 1, third, h - 3};
    PlaceControl(*FPalette, {palette.Left + 1, 2, palette.Width - 2, palette.Height - 2});
    PlaceControl(*FProperties, {props.Left + 1, 2, props.Width - 2, props.Height - 2});
    PlaceControl(*FValues, {values.Left + 1, 2, values.Width - 2, values.Height - 2});
    FScreen.Frame(palette, "Palette: Orvel", focused == FPalette ? attr::FocusFrame : attr::Frame);
    TComponent* c = DesignedComponent();
    FScreen.Frame(props,
                  (c ? "Properties of " + c->ClassInfo().Name : std::string("Properties")) +
                      ListPosition(*FProperties),
                  focused == FProperties ? attr::FocusFrame : attr::Frame);
    std::string valuesTitle = "Values";
    try {
        if (auto editor = SelectedPropertyEditor())
            if (editor->GetAttributes() & paDialog) valuesTitle = "Values (Enter: dialog)";
    } catch (...) {
    }
    FScreen.Frame(values, valuesTitle, focused == FValues ? attr::FocusFrame : attr::Frame);
    for (TListBox* b : {FPalette, FProperties, FValues}) {
        FPainter.Control(*b, focused);
        MarkScrolled(b == FPalette ? palette : b == FProperties ? props : values, *b);
        if (b->ItemIndex() >= 0) {
            TRect r = b->ItemRect(b->ItemIndex());
            MarkRow(b == FPalette ? palette : b == FProperties ? props : values, *b, r);
        }
    }
}

// Where a list longer than its box is: the chosen entry and the number of entries.
std::string TExplorer::ListPosition(const TListBox& box) const {
    int count = box.Items()->Count();
    int rows = std::max(1, box.ClientHeight() / std::max(1, box.ItemHeight()));
    if (count <= rows) return "";
    return " " + std::to_string(box.ItemIndex() + 1) + "/" + std::to_string(count);
}

// Arrows on the right edge of a list's frame where entries lie above or below what it shows.
void TExplorer::MarkScrolled(const TCellRect& frame, const TListBox& box) {
    int count = box.Items()->Count();
    int rows = std::max(1, box.ClientHeight() / std::max(1, box.ItemHeight()));
    if (count <= rows) return;
    int x = frame.Right() - 1;
    if (box.TopIndex() > 0)
        FScreen.PutGlyph(x, frame.Top + 1, FScreen.Ascii() ? "^" : "▲", attr::FocusFrame);
    if (box.TopIndex() + rows < count)
        FScreen.PutGlyph(x, frame.Bottom() - 2, FScreen.Ascii() ? "v" : "▼", attr::FocusFrame);
}

void TExplorer::PlaceControl(TControl& control, const TCellRect& cells) {
    // The explorer draws the frames itself: the control's client area is its whole bounds.
    if (auto* window = dynamic_cast<TWinControl*>(&control)) window->SetBorderStyle(bsNone);
    control.SetBounds(cells.Left * CellWidth, cells.Top * CellHeight, cells.Width * CellWidth,
                      cells.Height * CellHeight);
}

void TExplorer::Layout() {
    int w = FScreen.Width(), h = FScreen.Height();
    FPlatform.SetScreenSize(w * CellWidth, h * CellHeight);
    FForm->SetBounds(0, 0, w * CellWidth, h * CellHeight);
    int panelTop = 1, panelHeight = h - 3;
    int treeWidth = std::max(28, w * 2 / 5);
    FTreeFrame = {0, panelTop, treeWidth, panelHeight};
    // The check boxes in a row, wrapping onto the next line where the panel ends: the record
    // panel grows by the lines they take beyond two, so nothing below is drawn over them.
    int flagLeft = treeWidth + 10, flagRight = w - 1;
    std::vector<TCellRect> flagCells;
    int flagLines = 0;
    for (int x = flagLeft, y = 0; TDBBitCheckBox * box : FFlagBoxes) {
        int width = TextCells(StripHotkey(box->Caption())) + 5;
        if (x > flagLeft && x + width > flagRight) {
            x = flagLeft;
            ++y;
        }
        flagCells.push_back({x, y, width - 1, 1});
        flagLines = y + 1;
        x += width;
    }
    int extraLines = std::max(0, flagLines - 2);
    int recordHeight = FStatusCombo ? (FAttributes ? 12 : 6) + extraLines : 0;
    // On a short screen the attribute grid gives up rows (down to its header and one row) so
    // the list keeps a few items in view.
    if (FAttributes)
        recordHeight = std::max(8 + extraLines, std::min(recordHeight, panelHeight - 7));
    FListFrame = {treeWidth, panelTop, w - treeWidth, panelHeight - recordHeight};
    FRecordFrame = {treeWidth, panelTop + FListFrame.Height, w - treeWidth, recordHeight};
    PlaceControl(*FTree, {1, panelTop + 1, treeWidth - 2, panelHeight - 2});
    TCellRect listCells{FListFrame.Left + 1, panelTop + 1, FListFrame.Width - 2,
                        FListFrame.Height - 2};
    if (FStatusCombo) {
        int left = FRecordFrame.Left + 10;
        PlaceControl(*FStatusCombo, {left, FRecordFrame.Top + 2, 20, 1});
        for (std::size_t i = 0; i < FFlagBoxes.size(); ++i) {
            TCellRect cells = flagCells[i];
            cells.Top += FRecordFrame.Top + 3;
            PlaceControl(*FFlagBoxes[i], cells);
        }
        PlaceClassChoice();
        if (FAttributes) {
            TCellRect grid{FRecordFrame.Left + 1, FRecordFrame.Top + 5 + extraLines,
                           FRecordFrame.Width - 2, recordHeight - 6 - extraLines};
            PlaceControl(*FAttributes, grid);
            FAttributes->SetColWidths(0, 16 * CellWidth);
            FAttributes->SetColWidths(1, std::max(8, grid.Width - 17) * CellWidth);
        }
    }
    for (TDBListView* list : {FChildList, FInventoryList}) {
        if (!list) continue;
        PlaceControl(*list, listCells);
        int columns = list->Columns()->Count();
        int rest = 12 * (columns - 1);
        int first = std::max(10, listCells.Width - 1 - rest);
        for (int c = 0; c < columns; ++c)
            list->Columns()->Items(c)->SetWidth((c == 0 ? first : 12) * CellWidth);
    }
}

} // namespace orvel::explorer
