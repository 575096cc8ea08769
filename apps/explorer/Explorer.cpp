// The explorer application: building the form over the database and the message loop.
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
#include <optional>

namespace orvel::explorer {

namespace {
constexpr int kBusyTimeoutMs = 200;
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
        BuildClassChoice();
    }
    BuildMenus();
    BuildDesigner();
    NameComponents();
    if (!TooSmall()) Layout();
    FForm->Show();
    if (FTree->CanFocus()) FTree->SetFocus();
    Application().ProcessMessages();
    AfterInput();
    WarnIfTreeEmpty();
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
    if (!IsPostgresName(FDatabaseFile) && !std::filesystem::exists(FDatabaseFile, ec))
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
    // A person at the keys is not kept waiting for another program's lock: a key that needs a
    // locked table fails soon and says so.
    FDatabase->Connection().SetBusyTimeout(kBusyTimeoutMs);

    std::string index = view.Index.empty() ? ParentFieldsOf(view.Links) : view.Index;
    FObjects = new TTable(FForm);
    FObjects->SetDatabase(FDatabase);
    FObjects->SetTableName(view.Table);
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

    // The options are checked against the table's fields before its index is set from them.
    FObjects->Open();
    CheckViewOptions();
    FObjects->SetIndexFieldNames(index);
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
    // The list is narrowed before it is bound, so its first load reads the top level's records
    // (as the tree does) instead of the whole table; the selected node's children follow once
    // the tree has a selection.
    std::vector<Variant> root = Elements(FTree->GetRootKeyValues());
    FChildren->SetRange(root, root);
    addColumns(FChildList, FChildrenSource);
    // A post in one panel is shown by the others after the input (ShowPostedEverywhere).
    FObjects->SetAfterPost([this](TDataSet*) { FObjectsPosted = true; });
    FChildren->SetAfterPost([this](TDataSet*) { FChildrenPosted = true; });
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
        "SELECT " + QuoteName(CSFNames[0]) + ", " + QuoteName(CSFNames[1]) + " FROM " +
        QuoteName(kStatusesTable) + " ORDER BY " + QuoteName(CSFNames[0]));
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
        // Names are quoted as the tables were made (the values' columns unquoted), so that a
        // server that keeps capitals finds them; the query is a SELECT, which an engine does not
        // take for a write.
        const std::string attributeId = "a." + QuoteName(CACFNames[1]);
        auto q = FDatabase->Connection().Prepare(
            "SELECT * FROM (WITH RECURSIVE chain(id) AS (SELECT " + QuoteName(COCFNames[4]) +
            " FROM " + QuoteName(kObjectsTable) + " WHERE " + QuoteName(COCFNames[0]) +
            " = ? AND " + QuoteName(COCFNames[1]) + " = ? UNION ALL SELECT c." +
            QuoteName(CCCFNames[1]) + " FROM " + QuoteName(kClassesTable) + " c JOIN chain ON c." +
            QuoteName(CCCFNames[0]) + " = chain.id WHERE c." + QuoteName(CCCFNames[1]) +
            " IS NOT NULL) SELECT " + attributeId + ", a." + QuoteName(CACFNames[2]) + ", a." +
            QuoteName(CACFNames[12]) + ", v.Value FROM " + QuoteName(kAttributesTable) +
            " a JOIN chain ON a." + QuoteName(CACFNames[0]) + " = chain.id LEFT JOIN " +
            QuoteName(kAttributeValuesTable) + " v ON v.AttributeID = " + attributeId +
            " AND v.OriginID = ? AND v.ObjectID = ?) q ORDER BY 1");
        for (int i = 0; i < 4; ++i)
            q->BindInt64(i, key[static_cast<std::size_t>(i % 2)].AsInt64());
        while (q->Step()) {
            FAttributeRows.push_back({static_cast<int>(q->ColumnInt64(0)),
                                      std::string(q->ColumnText(1)),
                                      std::string(q->ColumnText(2))});
            values.emplace_back(q->ColumnText(3));
        }
    }
    int rows = static_cast<int>(FAttributeRows.size());
    FAttributeSaved = values;
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
    if (row < 1 || row > static_cast<int>(FAttributeRows.size()) ||
        row > static_cast<int>(FAttributeSaved.size()))
        return;
    std::vector<Variant> key = Elements(FAttributeKey);
    if (key.size() != 2) return;
    const TAttributeRow& attribute = FAttributeRows[static_cast<std::size_t>(row - 1)];
    std::string& saved = FAttributeSaved[static_cast<std::size_t>(row - 1)];
    try {
        // An existing value is updated in place: a replacing insert would delete its row without
        // the engine reporting the deletion, and open views would take the new row for the old
        // one.
        auto save = FDatabase->Connection().Prepare(
            "INSERT INTO " + QuoteName(kAttributeValuesTable) +
            " (OriginID, ObjectID, AttributeID, Value) VALUES (?, ?, ?, ?) ON CONFLICT (OriginID, "
            "ObjectID, AttributeID) DO UPDATE SET Value = excluded.Value");
        save->BindInt64(0, key[0].AsInt64());
        save->BindInt64(1, key[1].AsInt64());
        save->BindInt64(2, attribute.Id);
        save->BindText(3, value);
        save->Step();
    } catch (const std::exception& e) {
        // The cell shows what the table holds, never a value that was not saved.
        FAttributes->SetCells(1, row, saved);
        if (FAttributes->Row() == row && FAttributes->EditorMode()) FAttributes->ShowEditor();
        ShowError("Could not save " + attribute.Name + ": " + e.what());
        return;
    }
    saved = value;
    ShowInfo("Saved " + attribute.Name + ": " + value);
}

bool TExplorer::InRecordPanel(const TWinControl* control) const {
    if (!control) return false;
    if (control == FStatusCombo || (FClassCombo && control == FClassCombo)) return true;
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
    item(root, "Re&load\tF5", [this] { SettleThen("reload", [this] { Reload(); }); });
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
    item(FListMenu->Items(), "Re&load\tF5", [this] { SettleThen("reload", [this] { Reload(); }); });
    item(FListMenu->Items(), "&Delete\tDel", [this] { AskDelete(); });
    FChildList->SetPopupMenu(FListMenu);
    if (FInventoryList) FInventoryList->SetPopupMenu(FListMenu);
    FChildList->OnDblClick = [this](TObject*) { OpenListItem(); };
    FTree->OnEndDrag = [this](TObject*, TObject* target, int, int) { NoteDrag(target); };
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
    FDialogSizes.push_back({form.Width(), form.Height()});
    PlaceDialogs();
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
        } else if (TooSmall()) {
            // The dialog is not drawn: nothing in it may be answered unseen.
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
    FDialogSizes.pop_back();
}

void TExplorer::Resize(int columns, int rows) {
    FScreen.Resize(columns, rows);
    // An open menu stood where the old screen had room: it closes rather than act unseen.
    CloseMenus();
    if (FForm && !TooSmall()) {
        Layout();
        PlaceDialogs();
    }
    Render();
}

void TExplorer::Handle(const TInputEvent& event) {
    if (event.Kind == TInputKind::Dump || event.Kind == TInputKind::Redraw) return;
    if (event.Kind == TInputKind::Resize) {
        Resize(event.X, event.Y);
        return;
    }
    // Too small a screen shows only its notice: no key may act on a prompt or panel not drawn.
    // Quitting asks nothing when no change is pending, so it alone needs no room.
    if (TooSmall()) {
        bool quit = IsChar(event, "q") || IsKey(event, VK_F10);
        if (quit && !FPrompt && PendingDataSets().empty()) FFinished = true;
        return;
    }
    if (!FPrompt && FMenus.empty() && !FDesigning && SwallowAfterFailedEdit(event)) {
        AfterInput();
        return;
    }
    bool editingBefore = Editing();
    if (!FPrompt) {
        FMessage.clear();
        FMessageIsError = false;
    }
    if (!HandleOverlay(event)) {
        if (FDesigning && event.Kind != TInputKind::Mouse) {
            if (!HandleDesignerKey(event)) DeliverKey(event);
        } else if (event.Kind == TInputKind::Mouse) {
            HandleMouse(event);
        } else if (Editing() ||
                   !(HandleGlobalKey(event) || HandleTreeKey(event) || HandleBrowseKey(event))) {
            bool wasEditing = Editing();
            TDBListView* list = FShowInventory ? FInventoryList : FChildList;
            TDataSet* editedSet = FTree->IsEditing()          ? static_cast<TDataSet*>(FObjects)
                                  : list && list->IsEditing() ? list->DataLink()->DataSet()
                                                              : nullptr;
            // Leaving the record panel's control (Tab), or Enter in it, saves the record first:
            // the control hands its value over as the record is posted, before another control
            // (the tree) takes the focus.
            bool save = (IsKey(event, VK_TAB) || IsKey(event, VK_RETURN)) && SaveRecordPanel();
            if (!(save && IsKey(event, VK_RETURN)) && !RefuseEmptyName(event)) DeliverKey(event);
            // Enter saves what was typed in the attribute grid.
            if (IsKey(event, VK_RETURN)) SaveTypedAttributes(true);
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
    // After the pass that follows the input, whose own failures may have replaced the message.
    NoteFailedEditStart(editingBefore, event);
}

void TExplorer::AfterInput() {
    // Leaving an attribute's cell or the grid saves what was typed there (before the grid shows
    // another record's attributes).
    SaveTypedAttributes(false);
    Application().ProcessMessages();
    ShowMoved();
    ShowPostedEverywhere();
    KeepPanelsTogether();
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
        if (event.Kind == TInputKind::Mouse)
            HandlePromptMouse(event);
        else
            HandlePromptKey(event);
        return true;
    }
    if (!FMenus.empty())
        return event.Kind == TInputKind::Mouse ? HandleMenuMouse(event) : HandleMenuKey(event);
    if (FHelp) return HandleHelpKey(event);
    return false;
}

bool TExplorer::HandleHelpKey(const TInputEvent& event) {
    // A help longer than the screen scrolls; any other key closes it.
    int step = IsKey(event, VK_UP)      ? -1
               : IsKey(event, VK_DOWN)  ? 1
               : IsKey(event, VK_PRIOR) ? -HelpRows()
               : IsKey(event, VK_NEXT)  ? HelpRows()
                                        : 0;
    if (step != 0 && HelpLineCount() + 1 > HelpRows()) {
        FHelpTop += step;
        return true;
    }
    FHelp = false;
    return true;
}

bool TExplorer::HandlePromptKey(const TInputEvent& event) {
    TPrompt prompt = *FPrompt;
    int serial = FPromptSerial;
    // An answer that asks the next question keeps that one open.
    if (prompt.Answer(event) && serial == FPromptSerial) FPrompt.reset();
    return true;
}

namespace {

// One answer a prompt offers in its text ("y: delete", "n/Esc: keep"): the cells it takes on the
// text's line and the key it stands for (the first of those named before the colon).
struct TPromptChoice {
    int First = 0, Last = 0; // cells from the text's start, Last excluded
    TInputEvent Key;
};

// The key a name before an answer's colon stands for: one character, or Esc or Enter.
std::optional<TInputEvent> ChoiceKey(const std::string& name) {
    TInputEvent key;
    if (name == "Esc" || name == "Enter") {
        key.Kind = TInputKind::Key;
        key.Key = name == "Esc" ? VK_ESCAPE : VK_RETURN;
        return key;
    }
    if (SplitCharacters(name).size() != 1 || name == " ") return std::nullopt;
    key.Kind = TInputKind::Char;
    key.Text = name;
    return key;
}

// The answers of a prompt's text: the parts after its question, set apart by two spaces or more,
// that read "keys: what it does".
std::vector<TPromptChoice> PromptChoices(const std::string& text) {
    std::vector<TPromptChoice> choices;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t gap = text.find("  ", start);
        std::string part = text.substr(start, gap == std::string::npos ? gap : gap - start);
        std::size_t colon = part.find(": ");
        if (colon != std::string::npos && colon > 0 && part.find(' ') > colon) {
            std::string names = part.substr(0, colon);
            if (auto key = ChoiceKey(names.substr(0, names.find('/')))) {
                int first = TextCells(text.substr(0, start));
                choices.push_back({first, first + TextCells(part), *key});
            }
        }
        if (gap == std::string::npos) break;
        start = text.find_first_not_of(' ', gap);
    }
    return choices;
}

} // namespace

bool TExplorer::HandlePromptMouse(const TInputEvent& event) {
    bool press = event.Action == TMouseAction::Press || event.Action == TMouseAction::DoublePress;
    bool give = event.Action == TMouseAction::Click || event.Action == TMouseAction::Release;
    if (FPrompt->Entry || (!press && !give)) return true;
    int x = event.Pixels ? event.X / CellWidth : event.X;
    int y = event.Pixels ? event.Y / CellHeight : event.Y;
    TCellRect box = PromptBox();
    std::vector<TPromptChoice> choices = PromptChoices(FPrompt->Text);
    int at = -1;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        int column = x - box.Left - 2;
        // A part cut off at the box's edge cannot be clicked.
        if (y == box.Top + 1 && column >= choices[i].First && column < choices[i].Last &&
            choices[i].Last <= box.Width - 4)
            at = static_cast<int>(i);
    }
    // A release answers only where its own press went down, so a click that opened the prompt
    // does not also answer it.
    std::pair<int, int> here{FPromptSerial, at};
    if (press) FPromptPress = here;
    bool answered =
        give && at >= 0 && (event.Action == TMouseAction::Click || FPromptPress == here);
    if (!press) FPromptPress = {-1, -1};
    if (answered) HandlePromptKey(choices[static_cast<std::size_t>(at)].Key);
    return true;
}

void TExplorer::Ask(std::string text, std::function<bool(const TInputEvent&)> answer) {
    FPrompt = TPrompt{std::move(text), std::move(answer)};
    ++FPromptSerial;
}

bool TExplorer::HandleGlobalKey(const TInputEvent& event) {
    if (IsChar(event, "?") || IsKey(event, VK_F1)) {
        FHelp = true;
        FHelpTop = 0;
    } else if (IsChar(event, "q") || IsKey(event, VK_F10)) {
        AskQuit();
    } else if (IsKey(event, VK_F5)) {
        SettleThen("reload", [this] { Reload(); });
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
        SettleThen("switch panels", [this] { ToggleRightPanel(); });
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

} // namespace orvel::explorer
