// The explorer application: building the form over the database, handling input, drawing.
#include "apps/explorer/Explorer.h"

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

namespace {

const char* InsertModeName(TInsertMode mode) {
    switch (mode) {
    case imAddChild:
        return "add child";
    case imAddSibling:
        return "add sibling";
    case imAddRootNode:
        return "add root node";
    case imAddFromTable:
        return "from table";
    }
    return "";
}

// The parent-reference fields of a relation text, joined with ";": the table's index must lead
// with them for the tree to read children by key range.
std::string ParentFieldsOf(const std::string& links) {
    TStringList items, left, right;
    SplitLine(links, items);
    FormLists(items, left, right);
    std::string text;
    for (int i = 0; i < left.Count(); ++i) {
        if (left[i].empty()) continue;
        if (!text.empty()) text += ";";
        text += left[i];
    }
    return text;
}

std::vector<Variant> Elements(const Variant& vector) {
    std::vector<Variant> out;
    if (!VarIsArray(vector)) return out;
    for (int32_t i = VarArrayLowBound(vector, 1); i <= VarArrayHighBound(vector, 1); ++i)
        out.push_back(vector[i]);
    return out;
}

bool IsChar(const TInputEvent& e, const char* text) {
    return e.Kind == TInputKind::Char && e.Text == text;
}

bool IsKey(const TInputEvent& e, uint16_t key) {
    return e.Kind == TInputKind::Key && e.Key == key && !e.Ctrl && !e.Alt;
}

TPoint Center(const TRect& r) {
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

bool Pending(const TDataSet* dataSet) {
    return dataSet && (dataSet->State() == dsEdit || dataSet->State() == dsInsert);
}

} // namespace

int TTerminalPlatform::GetSystemMetrics(int index) const {
    switch (index) {
    case SM_CXVSCROLL:
        return CellWidth;
    case SM_CYHSCROLL:
        return CellHeight;
    default:
        return TSystemPlatform::GetSystemMetrics(index);
    }
}

TExplorer::TExplorer(const TOptions& options, TTextScreen& screen)
    : FOptions(options), FScreen(screen), FPainter(screen) {
    FScreen.SetAscii(options.Ascii);
}

TExplorer::~TExplorer() {
    SetModalDriver({});
    Application().OnException = {};
    if (FForm) FForm->Free();
    Application().ClearQueue();
    SetPlatform(nullptr);
}

// --- building -----------------------------------------------------------------------------

void TExplorer::Start() {
    SetPlatform(&FPlatform);
    FPlatform.SetScreenSize(FScreen.Width() * CellWidth, FScreen.Height() * CellHeight);
    Application().OnException = [this](const std::string& text) { ShowError(text); };
    SetModalDriver([this](TCustomForm& form) { RunModal(form); });
    OpenDatabase();
    BuildComponents();
    if (SampleSchema()) {
        BuildImages();
        BuildRecordPanel();
        BuildAttributeGrid();
    }
    BuildMenus();
    BuildDesigner();
    NameComponents();
    Layout();
    FForm->Show();
    if (FTree->CanFocus()) FTree->SetFocus();
    Application().ProcessMessages();
    AfterInput();
    Render();
}

void TExplorer::OpenDatabase() {
    if (FOptions.Database.empty()) {
        FDatabaseFile = DefaultDatabasePath();
        if (EnsureSampleDatabase(FDatabaseFile))
            ShowInfo("Created the sample database " + FDatabaseFile);
        return;
    }
    FDatabaseFile = FOptions.Database;
    std::error_code ec;
    if (!std::filesystem::exists(FDatabaseFile, ec))
        throw EDatabaseError("no database file '" + FDatabaseFile + "'");
}

bool TExplorer::SampleSchema() const {
    return !FOptions.CustomView;
}

void TExplorer::BuildComponents() {
    const TViewOptions& view = FOptions.View;
    FForm = new TForm(nullptr);
    FForm->SetBounds(0, 0, FScreen.Width() * CellWidth, FScreen.Height() * CellHeight);

    FDatabase = new TDatabase(FForm);
    FDatabase->SetDatabaseName(FDatabaseFile);
    FDatabase->Open();

    std::string index = view.Index.empty() ? ParentFieldsOf(view.Links) : view.Index;
    FObjects = new TTable(FForm);
    FObjects->SetDatabase(FDatabase);
    FObjects->SetTableName(view.Table);
    FObjects->SetIndexFieldNames(index);
    if (SampleSchema()) FObjects->SetOnNewRecord([this](TDataSet* ds) { NewObject(ds); });
    FObjectsSource = new TDataSource(FForm);
    FObjectsSource->SetDataSet(FObjects);

    FTree = new TDBTreeView(FForm);
    FTree->SetParent(FForm);
    FTree->SetTabStop(true);
    FTree->SetTabOrder(0);
    FTree->SetIndent(2 * CellWidth);
    FTree->SetHideSelection(false);
    FTree->SetDragMode(dmAutomatic);
    FTree->SetNameField(view.NameField);
    FTree->SetImageIDField(view.ImageField);
    FTree->SetStatusIDField(view.StatusField);
    FTree->SetRelations(view.Links);
    FTree->SetTopParentKey(view.Root);

    // The list of the selected record's children: the same table on the same index, limited to
    // the children by a key range.
    FChildren = new TTable(FForm);
    FChildren->SetDatabase(FDatabase);
    FChildren->SetTableName(view.Table);
    FChildren->SetIndexFieldNames(index);
    FChildrenSource = new TDataSource(FForm);
    FChildrenSource->SetDataSet(FChildren);
    FChildList = new TDBListView(FForm);
    FChildList->SetParent(FForm);
    FChildList->SetTabStop(true);
    FChildList->SetTabOrder(1);
    FChildList->SetViewStyle(vsReport);
    FChildList->SetHideSelection(false);
    FChildList->SetKeyFields(view.KeyFields);
    FChildList->SetNameField(view.NameField);
    FChildList->SetImageIDField(view.ImageField);
    FChildList->SetStatusIDField(view.StatusField);
    FChildList->SetColumnsFields(view.Columns);
    FChildList->Columns()->Add()->SetCaption(view.NameField);

    if (SampleSchema()) {
        const TTableNames& inv = CSTable5;
        FInventory = new TTable(FForm);
        FInventory->SetDatabase(FDatabase);
        FInventory->SetTableName(kInventoryTable);
        FInventorySource = new TDataSource(FForm);
        FInventorySource->SetDataSet(FInventory);
        FInventoryList = new TDBListView(FForm);
        FInventoryList->SetParent(FForm);
        FInventoryList->SetTabStop(true);
        FInventoryList->SetTabOrder(2);
        FInventoryList->SetViewStyle(vsReport);
        FInventoryList->SetHideSelection(false);
        FInventoryList->SetKeyFields(inv[tiKey]);
        FInventoryList->SetNameField(inv[tiName]);
        FInventoryList->SetImageIDField(inv[tiImage]);
        FInventoryList->SetColumnsFields(inv[tiColumns]);
        FInventoryList->Columns()->Add()->SetCaption(inv[tiName]);
        FInventoryList->SetVisible(false);
    }

    FObjects->Open();
    FChildren->Open();
    // The column headers: the caption, then the column fields the dataset has (the list keeps
    // only those in ColumnsFields after binding).
    auto addColumns = [](TDBListView* list, TDataSource* source) {
        list->SetDataSource(source);
        TStringList names;
        SplitLine(list->GetColumnsFields(), names);
        for (int i = 0; i < names.Count(); ++i)
            list->Columns()->Add()->SetCaption(names[i]);
    };
    FTree->SetDataSource(FObjectsSource);
    addColumns(FChildList, FChildrenSource);
    if (FInventory) {
        FInventory->Open();
        addColumns(FInventoryList, FInventorySource);
    }
}

TDBImageList* TExplorer::ImageList(const std::string& table, const std::string& idField) {
    auto* pictures = new TTable(FForm);
    pictures->SetDatabase(FDatabase);
    pictures->SetTableName(table);
    auto* list = new TDBImageList(FForm);
    list->SetIDField(idField);
    list->SetImageField("SmallImage");
    list->SetDataSet(pictures);
    list->Refresh();
    return list;
}

void TExplorer::BuildImages() {
    // Picture n of each table is image n: classes for the tree's images, statuses for its state
    // images, inventory pictures for the inventory list.
    FClassImages = ImageList(kClassImagesTable, CCCFNames[0]);
    FStatusImages = ImageList(kStatusesTable, CSFNames[0]);
    FInventoryImages = ImageList(kInventoryImagesTable, CICFNames[6]);
    FTree->SetImages(FClassImages);
    FTree->SetStateImages(FStatusImages);
    FChildList->SetSmallImages(FClassImages);
    FChildList->SetStateImages(FStatusImages);
    FInventoryList->SetSmallImages(FInventoryImages);
}

void TExplorer::BuildRecordPanel() {
    // The status as a lookup combo whose entries are the status names with their codes.
    FStatusCombo = new TDBValueLookupCombo(FForm);
    FStatusCombo->SetParent(FForm);
    FStatusCombo->SetTabStop(true);
    FStatusCombo->SetTabOrder(3);
    FStatusCombo->SetStyle(csDropDownList);
    TStringList entries;
    auto statuses = FDatabase->Connection().Prepare(
        "SELECT StatusID, Name FROM " + QuoteName(kStatusesTable) + " ORDER BY StatusID");
    while (statuses->Step())
        entries.AddObject(std::string(statuses->ColumnText(1)),
                          IntToObject(static_cast<int32_t>(statuses->ColumnInt64(0))));
    FStatusCombo->SetItems(&entries);
    FStatusCombo->SetDataField(FOptions.View.StatusField);
    FStatusCombo->SetDataSource(FObjectsSource);
    // The history flags as bit check boxes; Belongings covers two bits and shows grayed when
    // only one of them is set.
    struct TFlag {
        const char* Caption;
        int32_t Mask;
    };
    static const TFlag flags[] = {
        {"&History", 1 << hfMakeHistory},
        {"&Belongings", (1 << hfDoBelongingsOnMake) | (1 << hfDoBelongingsOnBecome)},
        {"M&ove", 1 << hfMoveToHistory},
        {"&Copy", 1 << hfCopyToHistory},
        {"&Field", 1 << hfAgricultureField}};
    int order = 4;
    for (const TFlag& flag : flags) {
        auto* box = new TDBBitCheckBox(FForm);
        box->SetParent(FForm);
        box->SetTabStop(true);
        box->SetTabOrder(order++);
        box->SetCaption(flag.Caption);
        box->SetMask(flag.Mask);
        box->SetDataField(kFlagsField);
        box->SetDataSource(FObjectsSource);
        FFlagBoxes.push_back(box);
    }
}

void TExplorer::BuildAttributeGrid() {
    FAttributes = new TExtendedGrid(FForm);
    FAttributes->SetParent(FForm);
    FAttributes->SetTabStop(true);
    FAttributes->SetTabOrder(20);
    FAttributes->SetColCount(2);
    FAttributes->SetRowCount(2);
    FAttributes->SetFixedCols(1);
    FAttributes->SetFixedRows(1);
    FAttributes->SetDefaultRowHeight(CellHeight);
    FAttributes->SetGridLineWidth(0);
    FAttributes->SetOptions({goEditing, goAlwaysShowEditor});
    FAttributes->SetValColumn(1);
    FAttributes->SetCells(0, 0, "Attribute");
    FAttributes->SetCells(1, 0, "Value");
    FAttributes->SetOnSelectValue([this](TObject*, int, int row, int index) {
        TStrings* values = FAttributes->GetValuesList();
        if (index >= 0 && index < values->Count()) SaveAttribute(row, (*values)[index]);
    });
}

void TExplorer::FillAttributes(const Variant& objectKey) {
    if (!FAttributes || (!VarIsEmpty(FAttributeKey) && VarEquality(FAttributeKey, objectKey)))
        return;
    FAttributeKey = objectKey;
    FAttributeRows.clear();
    std::vector<Variant> key = Elements(objectKey);
    std::vector<std::string> values;
    if (key.size() == 2 && !key[0].IsNull() && !key[1].IsNull()) {
        // The attributes of the object's class and of every ancestor class, with its values.
        auto q = FDatabase->Connection().Prepare(
            "WITH RECURSIVE chain(id) AS (SELECT ClassID FROM Objects WHERE OriginID = ?1 AND "
            "ObjectID = ?2 UNION ALL SELECT c.AncestorID FROM Classes c JOIN chain ON c.ClassID "
            "= chain.id WHERE c.AncestorID IS NOT NULL) "
            "SELECT a.AttributeID, a.Name, a.Params, v.Value FROM Attributes a JOIN chain ON "
            "a.ClassID = chain.id LEFT JOIN AttributeValues v ON v.AttributeID = a.AttributeID "
            "AND v.OriginID = ?1 AND v.ObjectID = ?2 ORDER BY a.AttributeID");
        q->BindInt64(0, key[0].AsInt64());
        q->BindInt64(1, key[1].AsInt64());
        while (q->Step()) {
            FAttributeRows.push_back({static_cast<int>(q->ColumnInt64(0)),
                                      std::string(q->ColumnText(1)),
                                      std::string(q->ColumnText(2))});
            values.emplace_back(q->ColumnText(3));
        }
    }
    int rows = static_cast<int>(FAttributeRows.size());
    FAttributes->SetRowCount(std::max(2, rows + 1));
    for (int r = 0; r < std::max(1, rows); ++r) {
        FAttributes->SetCells(0, r + 1, r < rows ? FAttributeRows[r].Name : "");
        FAttributes->SetCells(1, r + 1, r < rows ? values[static_cast<std::size_t>(r)] : "");
    }
    FPickListRow = -1;
    ShowPickListOfRow();
}

void TExplorer::ShowPickListOfRow() {
    int row = FAttributes->Row();
    if (row == FPickListRow) return;
    FPickListRow = row;
    TStringList choices;
    if (row >= 1 && row <= static_cast<int>(FAttributeRows.size()))
        SplitLine(FAttributeRows[static_cast<std::size_t>(row - 1)].Choices, choices);
    bool shown = FAttributes->EditorMode();
    FAttributes->SetValuesList(&choices);
    // The editor chooses between a plain and a pick-list cell when it is placed on a cell: place
    // it again on the same cell so the new choices take effect.
    if (shown) FAttributes->ShowEditor();
}

void TExplorer::SaveAttribute(int row, const std::string& value) {
    if (row < 1 || row > static_cast<int>(FAttributeRows.size())) return;
    std::vector<Variant> key = Elements(FAttributeKey);
    if (key.size() != 2) return;
    const TAttributeRow& attribute = FAttributeRows[static_cast<std::size_t>(row - 1)];
    auto save = FDatabase->Connection().Prepare(
        "INSERT OR REPLACE INTO " + QuoteName(kAttributeValuesTable) +
        " (OriginID, ObjectID, AttributeID, Value) VALUES (?, ?, ?, ?)");
    save->BindInt64(0, key[0].AsInt64());
    save->BindInt64(1, key[1].AsInt64());
    save->BindInt64(2, attribute.Id);
    save->BindText(3, value);
    save->Step();
    ShowInfo("Saved " + attribute.Name + ": " + value);
}

bool TExplorer::InRecordPanel(const TWinControl* control) const {
    if (!control) return false;
    if (control == FStatusCombo) return true;
    return std::find(FFlagBoxes.begin(), FFlagBoxes.end(), control) != FFlagBoxes.end();
}

void TExplorer::BuildMenus() {
    auto item = [this](TMenuItem* parent, const std::string& caption, std::function<void()> run) {
        auto* mi = new TMenuItem(FForm);
        mi->SetCaption(caption);
        if (run) mi->OnClick = [run](TObject*) { run(); };
        parent->Add(mi);
        return mi;
    };
    FTreeMenu = new TPopupMenu(FForm);
    TMenuItem* root = FTreeMenu->Items();
    item(root, "&Expand or collapse\tEnter", [this] { ToggleExpand(); });
    item(root, "&Rename\tF2", [this] {
        if (FTree->Selected()) FTree->Selected()->EditText();
    });
    item(root, "&Insert\tIns", [this] { StartInsert(); });
    item(root, "&Delete\tDel", [this] { AskDelete(); });
    item(root, "&Move under...\tm", [this] { PickUpOrDrop(); });
    FInsertModeMenu = item(root, "Insert &mode", nullptr);
    for (TInsertMode mode : {imAddChild, imAddSibling, imAddRootNode, imAddFromTable}) {
        TMenuItem* m = item(FInsertModeMenu, InsertModeName(mode), [this, mode] {
            FTree->SetInsertMode(mode);
            ShowInfo(std::string("Insert mode: ") + InsertModeName(mode));
        });
        m->SetRadioItem(true);
        m->SetTag(static_cast<int>(mode));
    }
    item(root, "Re&load\tF5", [this] { Reload(); });
    item(root, "Save &images as PNG\tp", [this] { SaveImages(); });
    FTree->SetPopupMenu(FTreeMenu);

    FListMenu = new TPopupMenu(FForm);
    auto onStyle = [this](TObject* sender) {
        auto* mi = static_cast<TMenuItem*>(sender);
        TDBListView* list = FShowInventory ? FInventoryList : FChildList;
        list->SetViewStyle(static_cast<TViewStyle>(mi->Tag()));
        mi->SetChecked(true);
    };
    FListMenu->Items()->Add(ViewMenu(FForm, vsReport, onStyle));
    item(FListMenu->Items(), "Re&load\tF5", [this] { Reload(); });
    item(FListMenu->Items(), "&Delete\tDel", [this] { AskDelete(); });
    FChildList->SetPopupMenu(FListMenu);
    if (FInventoryList) FInventoryList->SetPopupMenu(FListMenu);
}

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
                                                        FStatusCombo, FAttributes})
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
    try {
        if (auto editor = SelectedPropertyEditor())
            if (editor->GetAttributes() & paValueList)
                editor->GetValues([&](const std::string& v) { values.Add(v); });
    } catch (...) {
        Application().HandleException();
    }
    FValues->SetItems(&values);
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
        try {
            auto editor = SelectedPropertyEditor();
            if (!editor) return true;
            if (focused == FValues && FValues->ItemIndex() >= 0) {
                editor->SetValue((*FValues->Items())[FValues->ItemIndex()]);
                ShowInfo(editor->GetName() + " = " + editor->GetValue());
            } else if (editor->GetAttributes() & paDialog) {
                editor->Edit();
                ShowInfo(editor->GetName() + " = " + editor->GetValue());
            }
        } catch (...) {
            Application().HandleException();
        }
        FillDesignerProperties();
        return true;
    }
    return false;
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
    FScreen.Frame(props, c ? "Properties of " + c->ClassInfo().Name : "Properties",
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
        if (b->ItemIndex() >= 0) {
            TRect r = b->ItemRect(b->ItemIndex());
            MarkRow(b == FPalette ? palette : b == FProperties ? props : values, *b, r);
        }
    }
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
    int recordHeight = FStatusCombo ? (FAttributes ? 12 : 6) : 0;
    FListFrame = {treeWidth, panelTop, w - treeWidth, panelHeight - recordHeight};
    FRecordFrame = {treeWidth, panelTop + FListFrame.Height, w - treeWidth, recordHeight};
    PlaceControl(*FTree, {1, panelTop + 1, treeWidth - 2, panelHeight - 2});
    TCellRect listCells{FListFrame.Left + 1, panelTop + 1, FListFrame.Width - 2,
                        FListFrame.Height - 2};
    if (FStatusCombo) {
        int left = FRecordFrame.Left + 10;
        PlaceControl(*FStatusCombo, {left, FRecordFrame.Top + 2, 20, 1});
        // The check boxes in a row, wrapping onto the next line where the panel ends.
        int x = left, y = FRecordFrame.Top + 3;
        for (TDBBitCheckBox* box : FFlagBoxes) {
            int width = TextCells(StripHotkey(box->Caption())) + 5;
            if (x > left && x + width > FRecordFrame.Right() - 1) {
                x = left;
                ++y;
            }
            PlaceControl(*box, {x, y, width - 1, 1});
            x += width;
        }
        if (FAttributes) {
            TCellRect grid{FRecordFrame.Left + 1, FRecordFrame.Top + 5, FRecordFrame.Width - 2,
                           recordHeight - 6};
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

// --- the message loop ---------------------------------------------------------------------

void TExplorer::Run(TInputSource& input, const std::function<void(const TInputEvent&)>& after) {
    FInput = &input;
    FAfter = after;
    TInputEvent event;
    while (!FFinished && input.Next(event)) {
        // Whatever fails while handling an input is shown in the message line; the explorer
        // goes on.
        try {
            Handle(event);
        } catch (...) {
            Application().HandleException();
        }
        Render();
        if (after) after(event);
    }
    FInput = nullptr;
    FAfter = {};
}

void TExplorer::RunModal(TCustomForm& form) {
    if (!FInput) return; // no one to answer: the form ends as its close box would end it
    FModalForms.push_back(&form);
    // The dialog stands in the middle of the screen, its size rounded to whole cells.
    int w = std::min(FScreen.Width(), (form.Width() + CellWidth - 1) / CellWidth);
    int h = std::min(FScreen.Height(), (form.Height() + CellHeight - 1) / CellHeight);
    form.SetBounds((FScreen.Width() - w) / 2 * CellWidth, (FScreen.Height() - h) / 2 * CellHeight,
                   w * CellWidth, h * CellHeight);
    Render();
    if (FAfter) {
        TInputEvent opened;
        opened.Kind = TInputKind::Redraw;
        opened.Name = "dialog " + form.Caption();
        FAfter(opened);
    }
    TInputEvent event;
    while (form.ModalResult() == mrNone && form.Visible() && FInput->Next(event)) {
        if (event.Kind == TInputKind::Resize) {
            Resize(event.X, event.Y);
        } else if (event.Kind == TInputKind::Mouse) {
            HandleMouse(event);
        } else if (event.Kind == TInputKind::Key || event.Kind == TInputKind::Char) {
            DeliverKey(event);
        }
        try {
            Application().ProcessMessages();
        } catch (...) {
            Application().HandleException();
        }
        Render();
        if (FAfter) FAfter(event);
    }
    FModalForms.pop_back();
}

void TExplorer::Resize(int columns, int rows) {
    FScreen.Resize(columns, rows);
    if (FForm) Layout();
    Render();
}

void TExplorer::Handle(const TInputEvent& event) {
    if (event.Kind == TInputKind::Dump || event.Kind == TInputKind::Redraw) return;
    if (event.Kind == TInputKind::Resize) {
        Resize(event.X, event.Y);
        return;
    }
    if (!FPrompt) {
        FMessage.clear();
        FMessageIsError = false;
    }
    if (!HandleOverlay(event)) {
        if (FDesigning && event.Kind != TInputKind::Mouse) {
            if (!HandleDesignerKey(event)) DeliverKey(event);
        } else if (event.Kind == TInputKind::Mouse) {
            HandleMouse(event);
        } else if (Editing() || !(HandleGlobalKey(event) || HandleTreeKey(event))) {
            bool wasEditing = Editing();
            TDBListView* list = FShowInventory ? FInventoryList : FChildList;
            TDataSet* editedSet = FTree->IsEditing()          ? static_cast<TDataSet*>(FObjects)
                                  : list && list->IsEditing() ? list->DataLink()->DataSet()
                                                              : nullptr;
            // Leaving the record panel's control (Tab), or Enter in it, saves the record first:
            // the control hands its value over as the record is posted, before another control
            // (the tree) takes the focus.
            bool save = (IsKey(event, VK_TAB) || IsKey(event, VK_RETURN)) && SaveRecordPanel();
            if (!(save && IsKey(event, VK_RETURN))) DeliverKey(event);
            // An in-place edit that ended settles the record it changed: Enter posts it, Escape
            // drops it.
            if (wasEditing && !Editing() && Pending(editedSet)) {
                try {
                    if (IsKey(event, VK_ESCAPE))
                        editedSet->Cancel();
                    else
                        editedSet->CheckBrowseMode();
                } catch (...) {
                    Application().HandleException();
                }
            }
        }
    }
    AfterInput();
}

void TExplorer::AfterInput() {
    Application().ProcessMessages();
    // The list on the right follows the tree's selection (and the records posted or deleted).
    if (ShowChildrenOf(FTree->Selected())) Application().ProcessMessages();
    if (FAttributes) {
        auto* node = dynamic_cast<TDBTreeNode*>(FTree->Selected());
        if (node && FObjects->State() != dsInsert) FillAttributes(node->GetID());
        ShowPickListOfRow();
    }
    if (FDesigning) {
        if (FPalette->ItemIndex() != FShownPaletteIndex)
            FillDesignerProperties();
        else if (FProperties->ItemIndex() != FShownPropertyIndex)
            FillDesignerValues();
    }
    OpenPopup();
}

bool TExplorer::Editing() const {
    if (FTree && FTree->IsEditing()) return true;
    if (FAttributes &&
        (FocusedControl() == FAttributes || FocusedControl() == FAttributes->InplaceEditor()))
        return true; // the grid takes every key (typing searches its pick list)
    if (FStatusCombo && FStatusCombo->DroppedDown()) return true;
    if (FChildList && FChildList->IsEditing()) return true;
    return FInventoryList && FInventoryList->IsEditing();
}

void TExplorer::DeliverKey(const TInputEvent& event) {
    if (event.Kind == TInputKind::Char)
        FDelivery.Char(FForm, event.Text);
    else if (event.Kind == TInputKind::Key)
        FDelivery.Key(FForm, event.Key, event.Shift, event.Ctrl, event.Alt);
}

bool TExplorer::HandleOverlay(const TInputEvent& event) {
    if (FPrompt) {
        if (event.Kind != TInputKind::Mouse) HandlePromptKey(event);
        return true;
    }
    if (!FMenus.empty())
        return event.Kind == TInputKind::Mouse ? HandleMenuMouse(event) : HandleMenuKey(event);
    if (FHelp) {
        FHelp = false;
        return true;
    }
    return false;
}

bool TExplorer::HandlePromptKey(const TInputEvent& event) {
    TPrompt prompt = *FPrompt;
    if (prompt.Answer(event)) FPrompt.reset();
    return true;
}

void TExplorer::Ask(std::string text, std::function<bool(const TInputEvent&)> answer) {
    FPrompt = TPrompt{std::move(text), std::move(answer)};
}

bool TExplorer::HandleGlobalKey(const TInputEvent& event) {
    if (IsChar(event, "?") || IsKey(event, VK_F1)) {
        FHelp = true;
    } else if (IsChar(event, "q") || IsKey(event, VK_F10)) {
        AskQuit();
    } else if (IsKey(event, VK_F5)) {
        Reload();
    } else if (IsKey(event, VK_INSERT)) {
        StartInsert();
    } else if (IsKey(event, VK_DELETE)) {
        AskDelete();
    } else if (IsChar(event, "i")) {
        CycleInsertMode();
    } else if (IsChar(event, "m")) {
        PickUpOrDrop();
    } else if (IsChar(event, "p")) {
        SaveImages();
    } else if (IsKey(event, VK_F1 + 5)) {
        ToggleRightPanel();
    } else if (IsChar(event, "d") || IsKey(event, VK_F1 + 6)) {
        ToggleDesigner();
    } else if (IsKey(event, VK_F1 + 8) ||
               (event.Kind == TInputKind::Key && event.Shift && event.Key == VK_F10)) {
        // The keyboard's way to a popup menu: the focused panel's, at its selection.
        TWinControl* panel = FocusedPanel();
        if (panel && panel->PopupMenu()) {
            TCellRect cells = CellsOf(*panel);
            int y = cells.Top;
            if (panel == FTree && FTree->Selected()) {
                TRect r = FTree->Selected()->DisplayRect(true);
                y += r.Top / CellHeight;
            }
            TPoint p = PixelOfCell(cells.Left + 2, y);
            panel->PopupMenu()->SetPopupComponent(panel);
            panel->PopupMenu()->Popup(p.X, p.Y);
        }
    } else if (IsKey(event, VK_ESCAPE) && !VarIsEmpty(FPickedKey)) {
        FPickedKey.Clear();
        ShowInfo("Move cancelled");
    } else if (IsKey(event, VK_ESCAPE) && Pending(FObjects)) {
        try {
            FObjects->Cancel();
            ShowInfo("Changes cancelled");
        } catch (...) {
            Application().HandleException();
        }
    } else {
        return false;
    }
    return true;
}

bool TExplorer::HandleTreeKey(const TInputEvent& event) {
    if (FocusedPanel() != FTree) return false;
    if (IsKey(event, VK_RETURN)) {
        ToggleExpand();
        return true;
    }
    return false;
}

TWinControl* TExplorer::FocusedPanel() const {
    TWinControl* focused = FocusedControl();
    for (TWinControl* panel :
         {static_cast<TWinControl*>(FTree), static_cast<TWinControl*>(FChildList),
          static_cast<TWinControl*>(FInventoryList)})
        if (panel && focused == panel) return panel;
    return nullptr;
}

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

// --- actions ------------------------------------------------------------------------------

void TExplorer::ToggleExpand() {
    TTreeNode* node = FTree->Selected();
    if (!node) return;
    try {
        if (node->Expanded())
            node->Collapse(false);
        else
            node->Expand(false);
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::NewObject(TDataSet* dataSet) {
    // A new object gets the next free key of its origin: the origin of the selected object.
    int origin = 1;
    if (auto* node = dynamic_cast<TDBTreeNode*>(FTree->Selected())) {
        std::vector<Variant> key = Elements(node->GetID());
        if (!key.empty() && !key[0].IsNull()) origin = key[0].AsInteger();
    }
    auto next = FDatabase->Connection().Prepare("SELECT COALESCE(MAX(ObjectID), 0) + 1 FROM " +
                                                QuoteName(kObjectsTable) + " WHERE OriginID = ?");
    next->BindInt64(0, origin);
    next->Step();
    dataSet->FieldByName(COCFNames[0])->SetAsInteger(origin);
    dataSet->FieldByName(COCFNames[1])->SetAsInteger(static_cast<int32_t>(next->ColumnInt64(0)));
    dataSet->FieldByName(COCFNames[4])->SetAsInteger(1);
    dataSet->FieldByName(COCFNames[7])->SetAsInteger(0);
    dataSet->FieldByName(kFlagsField)->SetAsInteger(0);
}

void TExplorer::StartInsert() {
    if (FocusedPanel() != FTree) {
        ShowError("Records are inserted in the tree: Tab to the tree first");
        return;
    }
    try {
        // A child goes into a branch shown whole: the parent is opened first.
        TTreeNode* parent = FTree->Selected();
        if (parent && FTree->GetInsertMode() == imAddChild && !parent->Expanded()) {
            parent->Expand(false);
            Application().ProcessMessages();
        }
        FObjects->Insert();
        Application().ProcessMessages();
        TTreeNode* node = FTree->Selected();
        if (node && FObjects->State() == dsInsert) {
            node->EditText();
            ShowInfo(std::string("New record (") + InsertModeName(FTree->GetInsertMode()) +
                     "): type its name, Enter saves, Esc cancels");
        } else if (FObjects->State() == dsInsert) {
            ShowInfo("New record: not shown in the tree here; Esc cancels");
        }
    } catch (...) {
        Application().HandleException();
    }
}

bool TExplorer::HasChildren(const TDBTreeNode& node) {
    const TStringList& parents = FTree->ParentFieldList();
    std::vector<Variant> key = Elements(node.GetID());
    if (parents.Count() == 0 || static_cast<int>(key.size()) != parents.Count()) return false;
    std::string sql = "SELECT 1 FROM " + QuoteName(FOptions.View.Table) + " WHERE ";
    for (int i = 0; i < parents.Count(); ++i)
        sql += (i ? " AND " : "") + QuoteName(parents[i]) + " IS ?";
    sql += " LIMIT 1";
    auto stmt = FDatabase->Connection().Prepare(sql);
    for (int i = 0; i < parents.Count(); ++i) {
        const Variant& v = key[static_cast<std::size_t>(i)];
        if (v.IsNull())
            stmt->BindNull(i);
        else if (v.VarType() == varString)
            stmt->BindText(i, v.AsString());
        else
            stmt->BindInt64(i, v.AsInt64());
    }
    return stmt->Step();
}

void TExplorer::AskDelete() {
    TWinControl* panel = FocusedPanel();
    TDataSet* dataSet = nullptr;
    std::string caption;
    if (panel == FTree) {
        auto* node = static_cast<TDBTreeNode*>(FTree->Selected());
        if (!node) return;
        // Delete acts on the dataset's current record: it must be the selected node's.
        if (!FTree->KeysAreEquals(node->GetID())) {
            ShowError("The table is not on '" + node->Text() + "': select it again");
            return;
        }
        if (HasChildren(*node)) {
            ShowError("'" + node->Text() + "' owns records: delete or move them first");
            return;
        }
        dataSet = FObjects;
        caption = node->Text();
    } else if (panel) {
        auto* list = static_cast<TDBListView*>(panel);
        auto* item = static_cast<TDBListItem*>(list->ItemFocused());
        TDataSet* ds = list->DataLink()->DataSet();
        if (!item || !ds) return;
        std::string keys = list->GetKeyFields() + ";";
        if (!VarEquality(item->GetID(), ds->GetFieldValue(keys))) {
            ShowError("The table is not on '" + item->Caption() + "': select it again");
            return;
        }
        dataSet = ds;
        caption = item->Caption();
    }
    if (!dataSet) return;
    Ask("Delete '" + caption + "'?  y: delete   n/Esc: keep",
        [this, dataSet](const TInputEvent& e) {
            if (IsChar(e, "y") || IsChar(e, "Y")) {
                DeleteCurrent(*dataSet);
                return true;
            }
            return IsChar(e, "n") || IsChar(e, "N") || IsKey(e, VK_ESCAPE);
        });
}

void TExplorer::DeleteCurrent(TDataSet& dataSet) {
    try {
        dataSet.Delete();
        ShowInfo("Deleted");
        // The tree reads the branch of the deleted child again.
        if (&dataSet == FChildren && FTree->Selected()) FTree->PostReloadBranch(FTree->Selected());
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::Reload() {
    FTree->PostReload();
    if (FChildList) FChildList->PostReload();
    if (FInventoryList) FInventoryList->PostReload();
    ShowInfo("Reloaded");
}

void TExplorer::CycleInsertMode() {
    auto mode = static_cast<TInsertMode>((static_cast<int>(FTree->GetInsertMode()) + 1) % 4);
    FTree->SetInsertMode(mode);
    ShowInfo(std::string("Insert mode: ") + InsertModeName(mode));
}

void TExplorer::PickUpOrDrop() {
    auto* node = static_cast<TDBTreeNode*>(FTree->Selected());
    if (!node) {
        ShowError("Select a node first");
        return;
    }
    if (VarIsEmpty(FPickedKey)) {
        FPickedKey = node->GetID();
        ShowInfo("Picked up '" + node->Text() +
                 "': select its new owner and press m (Esc cancels)");
        return;
    }
    DropPickedUp(node);
}

void TExplorer::DropPickedUp(TDBTreeNode* target) {
    Variant key = FPickedKey;
    FPickedKey.Clear();
    TDBTreeNode* picked = FTree->FindNode(key);
    if (!picked) {
        ShowError("The picked-up record is not in the tree any more");
        return;
    }
    if (picked == target || target->HasAsParent(picked)) {
        ShowError("'" + picked->Text() + "' cannot move under itself");
        return;
    }
    // The move is a drag from the picked-up node onto the target, as the mouse would make it:
    // the tree checks, writes and posts the new parent reference itself.
    FTree->SetSelected(picked);
    Application().ProcessMessages();
    if (FTree->Selected() != picked || !FTree->Items()->Contains(target)) return;
    target->MakeVisible();
    TPoint point = FTree->ClientToScreen(Center(target->DisplayRect(true)));
    FTree->BeginDrag(true);
    FDelivery.Move(point);
    FDelivery.Release(point, mbLeft);
}

void TExplorer::ToggleRightPanel() {
    if (!FInventoryList) return;
    FShowInventory = !FShowInventory;
    FInventoryList->SetVisible(FShowInventory);
    FChildList->SetVisible(!FShowInventory);
    TDBListView* shown = FShowInventory ? FInventoryList : FChildList;
    if (shown->CanFocus()) shown->SetFocus();
}

void TExplorer::SaveImages() {
    std::vector<std::pair<std::string, TCustomImageList*>> lists;
    if (FTree->Images()) lists.emplace_back("orvel-images.png", FTree->Images());
    if (FTree->StateImages()) lists.emplace_back("orvel-state-images.png", FTree->StateImages());
    if (lists.empty()) {
        ShowError("No image list is shown");
        return;
    }
    std::string written;
    try {
        for (auto& [file, list] : lists) {
            list->SaveToFile(file);
            written += (written.empty() ? "" : ", ") + file;
        }
        ShowInfo("Images written to " + written);
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::AskQuit() {
    std::vector<TDataSet*> pending;
    for (TDataSet* ds : {static_cast<TDataSet*>(FObjects), static_cast<TDataSet*>(FChildren),
                         static_cast<TDataSet*>(FInventory)})
        if (Pending(ds)) pending.push_back(ds);
    if (pending.empty()) {
        FFinished = true;
        return;
    }
    Ask("Unsaved changes.  p: post and quit   c: cancel them and quit   Esc: go back",
        [this, pending](const TInputEvent& e) {
            bool post = IsChar(e, "p") || IsChar(e, "P");
            bool cancel = IsChar(e, "c") || IsChar(e, "C");
            if (!post && !cancel) return IsKey(e, VK_ESCAPE);
            try {
                for (TDataSet* ds : pending)
                    if (Pending(ds)) post ? ds->Post() : ds->Cancel();
                FFinished = true;
            } catch (...) {
                Application().HandleException(); // a failed post: stay, with the error shown
            }
            return true;
        });
}

bool TExplorer::ShowChildrenOf(TTreeNode* node) {
    if (!FChildren || !FChildren->GetActive()) return false;
    auto* dbNode = dynamic_cast<TDBTreeNode*>(node);
    Variant id = dbNode ? dbNode->GetID() : FTree->GetRootKeyValues();
    std::vector<Variant> key = Elements(id);
    // A record being inserted has no key yet: its children follow once it is posted.
    if (key.empty() || FObjects->State() == dsInsert) return false;
    if (!VarIsEmpty(FShownKey) && VarEquality(FShownKey, id)) return false;
    FShownKey = id;
    try {
        FChildren->SetRange(key, key);
        FChildList->PostReload();
    } catch (...) {
        Application().HandleException();
    }
    return true;
}

// --- messages -----------------------------------------------------------------------------

void TExplorer::ShowError(const std::string& text) {
    FMessage = text;
    FMessageIsError = true;
}

void TExplorer::ShowInfo(const std::string& text) {
    FMessage = text;
    FMessageIsError = false;
}

// --- drawing ------------------------------------------------------------------------------

void TExplorer::Render() {
    FScreen.Clear();
    if (!FForm) return;
    RenderTitle();
    if (FDesigning)
        RenderDesigner();
    else
        RenderMain();
    RenderStatus();
    RenderMenus();
    if (FHelp) RenderHelp();
    for (TCustomForm* form : FModalForms)
        FPainter.Control(*form, FocusedControl());
    RenderPrompt();
}

void TExplorer::RenderTitle() {
    FScreen.Fill({0, 0, FScreen.Width(), 1}, attr::Title);
    std::string file = std::filesystem::path(FDatabaseFile).filename().string();
    std::string left = " Orvel Explorer │ " + file + " │ " + FOptions.View.Table +
                       " │ Insert: " + InsertModeName(FTree->GetInsertMode());
    if (FScreen.Ascii())
        for (std::size_t p; (p = left.find("│")) != std::string::npos;)
            left.replace(p, std::string("│").size(), "|");
    FScreen.Print(0, 0, left, attr::Title, FScreen.Width());
    std::string right = "?:Help ";
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
    // The combo last: its dropped-down list lies over what is below it.
    FPainter.Control(*FStatusCombo, focused);
}

void TExplorer::MarkRow(const TCellRect& frame, const TControl& control, const TRect& row) {
    if (row.IsEmpty()) return;
    int y = control.ClientToScreen({0, (row.Top + row.Bottom) / 2}).Y / CellHeight;
    TCellRect cells = CellsOf(control);
    if (y < cells.Top || y >= cells.Bottom()) return;
    FScreen.PutGlyph(frame.Left, y, FScreen.Ascii() ? ">" : "▶", attr::FocusFrame);
}

void TExplorer::RenderStatus() {
    int h = FScreen.Height();
    if (!FMessage.empty())
        FScreen.Print(0, h - 2, FitText(" " + FMessage, FScreen.Width(), true),
                      FMessageIsError ? attr::Error : attr::Bold);
    std::string keys;
    if (FAttributes &&
        (FocusedControl() == FAttributes || FocusedControl() == FAttributes->InplaceEditor()))
        keys = " Up/Down:Attribute  Alt-Down:Choices  typing:Search  Enter:Take  Tab:Next panel";
    else if (FStatusCombo && FStatusCombo->DroppedDown())
        keys = " Up/Down:Choose  Enter:Take  Esc:Close";
    else if (Editing())
        keys = " Enter:Save  Esc:Cancel  BS:Erase";
    else if (FDesigning)
        keys = " Tab:Panel  Up/Down:Choose  Enter:Set value or open dialog  d/Esc:Back  q:Quit";
    else if (InRecordPanel(FocusedControl()))
        keys = " Up/Down or F4:Status  Space:Toggle  Enter:Save  Esc:Cancel  Tab:Next  q:Quit";
    else if (!VarIsEmpty(FPickedKey))
        keys = " m:Drop under the selected node  Esc:Cancel the move  arrows:Choose";
    else
        keys = " ?Help Tab Enter:Open F2:Rename Ins Del F5:Reload i:Mode m:Move "
               "F6:Inventory d:Designer q:Quit";
    FScreen.Fill({0, h - 1, FScreen.Width(), 1}, attr::Status);
    FScreen.Print(0, h - 1, FitText(keys, FScreen.Width(), true), attr::Status);
}

void TExplorer::RenderMenus() {
    for (TOpenMenu& open : FMenus)
        open.Box = FPainter.Menu(*open.Menu, open.X, open.Y, open.Highlight);
}

void TExplorer::RenderPrompt() {
    if (!FPrompt) return;
    int width = std::min(FScreen.Width() - 4, TextCells(FPrompt->Text) + 4);
    TCellRect box{(FScreen.Width() - width) / 2, FScreen.Height() / 2 - 2, width, 3};
    FScreen.Fill(box, {ccBlack, ccWhite});
    FScreen.Frame(box, "Confirm", {ccBlack, ccWhite, true});
    FScreen.Print(box.Left + 2, box.Top + 1, FPrompt->Text, {ccBlack, ccWhite}, width - 4);
}

void TExplorer::RenderHelp() {
    static const char* const lines[] = {
        "Keys",
        "  Up Down PgUp PgDn Home End   move in the focused panel",
        "  Enter / Right, Left          expand / collapse the selected node",
        "  Tab, Shift-Tab               next / previous panel",
        "  F2                           rename in place (Enter keeps, Esc cancels)",
        "  Ins                          insert a record (placed by the insert mode)",
        "  i                            cycle the insert mode",
        "  Del                          delete the selected record (asks first)",
        "  m ... m                      pick up a node, then drop it under another",
        "  mouse drag                   move a node under another (empty space: top level)",
        "  F5                           reload",
        "  F6                           children / inventory on the right",
        "  F9, right click              popup menu (view style, insert mode, PNG images)",
        "  p                            write the image lists to PNG files",
        "  q, F10                       quit (asks about unsaved changes)",
        "",
        "Any key closes this help.",
    };
    int width = 0;
    for (const char* l : lines)
        width = std::max(width, TextCells(l));
    width = std::min(FScreen.Width() - 2, width + 4);
    int height = std::min(FScreen.Height() - 2, static_cast<int>(std::size(lines)) + 2);
    TCellRect box{(FScreen.Width() - width) / 2, (FScreen.Height() - height) / 2, width, height};
    FScreen.Fill(box, {ccBlack, ccWhite});
    FScreen.Frame(box, "Help", {ccBlack, ccWhite, true});
    for (int i = 0; i < height - 2; ++i)
        FScreen.Print(box.Left + 2, box.Top + 1 + i, lines[i], {ccBlack, ccWhite, i == 0},
                      width - 4);
}

} // namespace orvel::explorer
