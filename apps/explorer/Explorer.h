// The explorer application: one form holding the database components and the data-aware
// controls, the screens drawn from them, and what the person's keys and mouse do. The front
// ends (the terminal, or a key script) only hand it input and show its text screen; everything
// else goes through the components, the datasets and the message loop.
#pragma once

#include "apps/explorer/Delivery.h"
#include "apps/explorer/Input.h"
#include "apps/explorer/Options.h"
#include "apps/explorer/Painter.h"
#include "apps/explorer/TextScreen.h"
#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/DBImLst.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/grid/ExtendedGrid.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/host/design/DesignIntf.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvel::explorer {

// Screen metrics that fit text cells: a scroll bar or a combo box's button is one cell wide.
class TTerminalPlatform : public TSystemPlatform {
public:
    int GetSystemMetrics(int index) const override;
};

class TExplorer {
public:
    TExplorer(const TOptions& options, TTextScreen& screen);
    ~TExplorer();
    TExplorer(const TExplorer&) = delete;
    TExplorer& operator=(const TExplorer&) = delete;

    // Opens the database (the sample one by default), builds the form and fills the views.
    void Start();
    // Reads input until the person quits or the input ends; after is called after every
    // handled input (the front end shows the screen there).
    void Run(TInputSource& input, const std::function<void(const TInputEvent&)>& after);
    void Handle(const TInputEvent& event);
    // Draws the current state into the screen.
    void Render();
    void Resize(int columns, int rows);
    bool Finished() const { return FFinished; }
    // What a front end shows around the text screen: the window's title, the form with the
    // controls and the dialogs open over it (innermost last).
    std::string TitleText() const;
    TForm* Form() const { return FForm; }
    const std::vector<TCustomForm*>& ModalForms() const { return FModalForms; }
    // The cells the text screen draws over the form's controls as the last Render left them (the
    // help, a prompt): a front end that lets the controls paint themselves keeps these cells as
    // the screen has them. ShowsForm is false while the screen only says it is too small.
    const std::vector<TCellRect>& OverlayCells() const { return FOverlayCells; }
    bool ShowsForm() const { return FForm && !TooSmall(); }
    // An open popup menu (innermost last): its items, the cell of its top-left corner, the
    // highlighted visible item and the cells its box takes on the text screen (where a mouse
    // event in cells chooses its items).
    struct TMenuView {
        const TMenuItem* Menu = nullptr;
        int X = 0;
        int Y = 0;
        int Highlight = 0;
        TCellRect Box;
    };
    std::vector<TMenuView> OpenMenus() const;
    // Whether Render draws the open menus into the text screen; a front end that paints them
    // itself turns it off (their boxes are still worked out, for the mouse).
    void SetDrawMenus(bool value) { FDrawMenus = value; }
    // Whether Render draws the form's controls and dialogs as text; a front end whose controls
    // paint themselves turns it off.
    void SetDrawControls(bool value) { FPainter.SetDrawControls(value); }
    const std::string& DatabaseFile() const { return FDatabaseFile; }

private:
    // ---- building ----
    void OpenDatabase();
    void BuildComponents();
    void BuildMenus();
    void BuildImages();
    void BuildRecordPanel();
    TDBImageList* ImageList(const std::string& table, const std::string& idField);
    bool InRecordPanel(const TWinControl* control) const;
    // Posts the record the record panel changed when one of its controls has the focus; answers
    // whether it did.
    bool SaveRecordPanel();
    void RenderRecordPanel();
    void BuildAttributeGrid();
    void FillAttributes(const Variant& objectKey);
    void ShowPickListOfRow();
    void SaveAttribute(int row, const std::string& value);
    void Layout();
    bool SampleSchema() const;
    void PlaceControl(TControl& control, const TCellRect& cells);

    // ---- input ----
    bool HandleOverlay(const TInputEvent& event);
    bool HandlePromptKey(const TInputEvent& event);
    bool HandleMenuKey(const TInputEvent& event);
    bool HandleMenuMouse(const TInputEvent& event);
    bool HandleGlobalKey(const TInputEvent& event);
    bool HandleTreeKey(const TInputEvent& event);
    void HandleMouse(const TInputEvent& event);
    // The screen pixel of a mouse event (its second point for a drag's end).
    TPoint EventPoint(const TInputEvent& event, bool second) const;
    // The wheel over a tree, list or list box scrolls it.
    void ScrollAt(TPoint screen, int notches);
    void DeliverKey(const TInputEvent& event);
    void AfterInput();
    bool Editing() const;
    TPoint MousePoint(int x, int y) const;

    // ---- actions ----
    void ToggleExpand();
    void StartInsert();
    void AskDelete();
    void DeleteCurrent(TDataSet& dataSet);
    void Reload();
    void CycleInsertMode();
    void PickUpOrDrop();
    void DropPickedUp(TDBTreeNode* target);
    void ToggleRightPanel();
    // ---- the designer screen ----
    void BuildDesigner();
    void NameComponents();
    void ToggleDesigner();
    void ShowMainControls(bool shown);
    TComponent* DesignedComponent() const;
    void FillDesignerProperties();
    void FillDesignerValues();
    std::unique_ptr<TPropertyEditor> SelectedPropertyEditor();
    bool HandleDesignerKey(const TInputEvent& event);
    void RenderDesigner();
    void SaveImages();
    void AskQuit();
    // The datasets holding an edit or insert not yet posted.
    std::vector<TDataSet*> PendingDataSets() const;
    // Limits the list of children to the node's children; false when it shows them already.
    bool ShowChildrenOf(TTreeNode* node);
    void NewObject(TDataSet* dataSet);
    bool HasChildren(const TDBTreeNode& node);

    // ---- modal forms ----
    // The modal driver: runs a form shown modally with the input the explorer is reading, drawn
    // over the screen, until its ModalResult is set or the input ends.
    void RunModal(TCustomForm& form);

    // ---- messages and overlays ----
    void ShowError(const std::string& text);
    void ShowInfo(const std::string& text);
    struct TPrompt {
        std::string Text;
        std::function<bool(const TInputEvent&)> Answer; // true: the prompt is done
        std::string Title = "Confirm";
        bool Entry = false; // a line of typed text: drawn wider, with the cursor at its end
    };
    void Ask(std::string text, std::function<bool(const TInputEvent&)> answer);
    // Where the prompt stands on the screen; its text is on the middle row, two cells in.
    TCellRect PromptBox() const;
    // A click on one of the prompt's answers ("y: delete") gives that answer's key.
    bool HandlePromptMouse(const TInputEvent& event);
    void OpenPopup();
    void CloseMenus();

    // ---- drawing ----
    void RenderTitle();
    void RenderMain();
    void RenderMenus();
    void RenderPrompt();
    void RenderHelp();
    void RenderStatus();
    void MarkRow(const TCellRect& frame, const TControl& control, const TRect& row);
    TWinControl* FocusedPanel() const;

    // ---- checking the view options; a terminal too small for the layout ----
    TField* OptionField(const std::string& option, const std::string& name) const;
    void CheckLinks() const;
    void CheckRoot() const;
    // Throws EConvertError naming the option and the part of it the table does not have.
    void CheckViewOptions() const;
    // A tree without a node says why on the message line.
    void WarnIfTreeEmpty();
    TPoint NeededCells() const;
    bool TooSmall() const;
    void RenderTooSmall();
    // Selects the tree node or list item under a screen pixel, as a right click does before
    // its menu.
    void SelectUnderPoint(TPoint screen);
    // Centres the open dialogs on the screen, each at the size it asked for or the screen's.
    void PlaceDialogs();
    std::vector<TPoint> FDialogSizes; // in pixels, one for each of FModalForms

    TOptions FOptions;
    TTextScreen& FScreen;
    TPainter FPainter;
    TInputDelivery FDelivery;
    TTerminalPlatform FPlatform;
    std::string FDatabaseFile;

    // The form owns every component below (a null pointer: not made for this database).
    TForm* FForm = nullptr;
    TDatabase* FDatabase = nullptr;
    TTable* FObjects = nullptr;
    TDataSource* FObjectsSource = nullptr;
    TTable* FChildren = nullptr;
    TDataSource* FChildrenSource = nullptr;
    TTable* FInventory = nullptr;
    TDataSource* FInventorySource = nullptr;
    TDBTreeView* FTree = nullptr;
    TDBListView* FChildList = nullptr;
    TDBListView* FInventoryList = nullptr;
    TPopupMenu* FTreeMenu = nullptr;
    TPopupMenu* FListMenu = nullptr;
    TMenuItem* FInsertModeMenu = nullptr;
    // Pictures of classes, statuses and inventory (sample schema).
    TDBImageList* FClassImages = nullptr;
    TDBImageList* FStatusImages = nullptr;
    TDBImageList* FInventoryImages = nullptr;
    // The record panel: the selected object's status and history flags.
    TDBValueLookupCombo* FStatusCombo = nullptr;
    std::vector<TDBBitCheckBox*> FFlagBoxes;
    TCellRect FRecordFrame;
    // The designer screen: the palette page, the chosen component's published properties and
    // the value list of the chosen property's editor.
    bool FDesigning = false;
    TDesigner FDesigner;
    TListBox* FPalette = nullptr;
    TListBox* FProperties = nullptr;
    TListBox* FValues = nullptr;
    int FShownPaletteIndex = -2;
    int FShownPropertyIndex = -2;
    // The selected object's attributes (its class's and its ancestors'), values picked from the
    // attribute's list of choices.
    TExtendedGrid* FAttributes = nullptr;
    struct TAttributeRow {
        int Id = 0;
        std::string Name;
        std::string Choices; // ";"-separated
    };
    std::vector<TAttributeRow> FAttributeRows; // grid row r + 1 is FAttributeRows[r]
    Variant FAttributeKey;                     // the object whose attributes are shown
    int FPickListRow = -1;                     // the row whose choices ValuesList holds

    // Panel frames, in cells.
    TCellRect FTreeFrame;
    TCellRect FListFrame;

    bool FShowInventory = false;
    bool FDrawMenus = true;
    std::vector<TCellRect> FOverlayCells;
    bool FHelp = false;
    bool FFinished = false;
    std::string FMessage;
    bool FMessageIsError = false;
    std::optional<TPrompt> FPrompt;
    struct TOpenMenu {
        TMenuItem* Menu;
        int X;
        int Y;
        int Highlight;
        TCellRect Box;
    };
    std::vector<TOpenMenu> FMenus;
    // While Run reads input: where from, and what to do after each input.
    TInputSource* FInput = nullptr;
    std::function<void(const TInputEvent&)> FAfter;
    std::vector<TCustomForm*> FModalForms; // innermost last
    // The key vector of the node picked up for a keyboard move (Empty: none).
    Variant FPickedKey;
    // The key vector whose children the list shows (Empty: to be read again).
    Variant FShownKey;

    // ---- finding and going to records, prompts for text (ExplorerFind.cpp) ----
    // A prompt for a line of text; done gets it on Enter (Esc drops it).
    void AskText(std::string title, std::string label, std::string initial,
                 std::function<void(const std::string&)> done);
    // Find (/), next match (n), Backspace (parent), Enter on a list item (open it).
    bool HandleBrowseKey(const TInputEvent& event);
    void AskFind();
    void FindNext();
    bool FindRecord(const Variant& after, Variant& key, std::string& name);
    bool RevealRecord(const Variant& key);
    void OpenListItem();
    void GoToParent();
    Variant ParentReferenceOf(const Variant& key);
    // A drag from the tree ended: the dragged record is noted, and once the drop is carried out
    // its node is shown under its new parent.
    void NoteDrag(TObject* target);
    void ShowMoved();
    std::string FFindText;  // what the last find looked for
    Variant FFoundKey;      // the key vector of the last match (Empty: none)
    Variant FMovedKey;      // the record of a drop not yet carried out (Empty: none)
    std::string FMovedFrom; // its parent reference before the drop
    int FPromptSerial = 0;  // counts the prompts asked, so an answer may ask the next one
    // The prompt (by its serial) and the answer a mouse button went down on; its release on the
    // same answer gives it.
    std::pair<int, int> FPromptPress{-1, -1};

    // ---- help and key hints ----
    int HelpRows() const;      // rows of the help box inside its frame
    int HelpLineCount() const; // lines of the help text
    bool HandleHelpKey(const TInputEvent& event);
    std::string FocusedKeys() const;
    void MarkFocus(const TWinControl* focused);
    int FHelpTop = 0; // the first help line shown

    // ---- picture export ----
    // Writes the tree's image lists as PNG files; an existing file is overwritten only when the
    // person says so.
    void WriteImages(std::string file, bool overwrite);

    // ---- classes and statuses (ExplorerClasses.cpp, sample schema) ----
    void BuildClassChoice();
    void PlaceClassChoice();
    std::vector<std::string> ClassLine(int classId) const;
    void FitStatusesToClass();
    int DefaultClassOf(TDataSet* dataSet);
    struct TClassRow {
        int Id = 0;
        int Ancestor = 0; // 0: none
        std::string Name;
        bool Abstract = false;
        std::string MayOwn; // ";"-separated class identifiers
    };
    struct TStatusRow {
        int Id = 0;
        std::string Name;
        std::string AllowedFor; // lower case: "all" or the name of a class
    };
    TDBValueLookupCombo* FClassCombo = nullptr;
    std::vector<TClassRow> FClassRows;
    std::vector<TStatusRow> FStatusRows;
    std::string FShownStatuses; // the codes the status combo lists now

    // ---- the designer's values ----
    void SetDesignerValue(TWinControl* focused);
    void SetTypedValue(const std::string& text);
    std::string ListPosition(const TListBox& box) const;
    void MarkScrolled(const TCellRect& frame, const TListBox& box);
    // ---- keeping every edit: typed attributes, pending changes, edits that cannot begin ----
    // Saves the typed attribute values that differ from the stored ones: every row when all,
    // else every row but the one the grid's editor is on while the grid has the focus.
    void SaveTypedAttributes(bool all);
    // Runs an action that would drop a pending change (reload, switching the right panel) once
    // the change is settled: at once when nothing is pending, else after asking to post or
    // cancel it ("what" names the action in the question).
    void SettleThen(const std::string& what, std::function<void()> action);
    // Whether the key ends an in-place rename with an empty name the name field refuses (NOT
    // NULL): the editor stays open with a message instead.
    bool RefuseEmptyName(const TInputEvent& event);
    // An in-place edit (F2, Ins) that did not begin: says why once, and until Enter or Escape
    // the keys typed for it are dropped instead of being read as commands.
    bool SwallowAfterFailedEdit(const TInputEvent& event);
    void NoteFailedEditStart(bool wasEditing, const TInputEvent& event);
    // After a post or delete in one dataset over the explorer's table, the other panels read
    // the changed record again.
    void ShowPostedEverywhere();
    // When the table could not follow the tree to another node (a lock, a failed read), the
    // tree goes back to the record the other panels show.
    void KeepPanelsTogether();
    std::vector<std::string> FAttributeSaved; // the stored value of each attribute row
    bool FSwallowTyping = false;              // an edit failed to begin: typing is not commands
    bool FObjectsPosted = false;              // posted by the tree or the record panel
    bool FChildrenPosted = false;             // posted by the list of children
};

} // namespace orvel::explorer
