// The data-aware tree view: the records of one self-referencing table shown as a hierarchy.
// A record is identified by its key vector (the values of its key fields); its parent is the
// record whose key fields equal its parent-reference fields (the LinksFields pairs), and
// top-level records carry the root key vector (RootKey). Children are read through key ranges on
// the table's index, branch by branch, with the look-ahead LoadStyle asks for.
//
// TDBCustomTreeView holds the logic, TDBTreeView publishes its properties, TDBTreeNode remembers
// its record by key vector and bookmark, TDBTreeDataLink brings the dataset's notifications.
// The tree is filled by a message it posts to its own window, never inside the notification that
// made the dataset available.
#pragma once

#include "orvel/containers/DeleteHooks.h"
#include "orvel/containers/TreeAndList.h"
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace orvel {

class TDBCustomTreeView;
class TDBTreeNode;
class TNodeKeyIndex;
class TNodeGuard;
class TTreeLock;

// Where a record inserted into the dataset gets its node.
enum TInsertMode { imAddChild, imAddSibling, imAddRootNode, imAddFromTable };
// How far a load reads ahead: only the requested level (lsExplorer), one child of each node read
// (lsOneAhead), or all children of each node read (lsAllAhead).
enum TLoadStyle { lsExplorer, lsOneAhead, lsAllAhead };

// The messages the tree posts to its own window; the second parameter is always 0.
enum : UINT {
    WM_DBTREERELOAD = WM_USER + 160,          // reload the whole tree
    WM_DBTREERELOADBRANCH = WM_USER + 161,    // reload a branch: index into the branch queue
    WM_DBTREEREREADNODE = WM_USER + 162,      // re-read a node: index into the node queue
    WM_DBTREEEDITBYDRAG = WM_USER + 163,      // re-parent after a drag: the drop-target node
    WM_DBTREECHECKBROWSEMODE = WM_USER + 167, // settle the dataset's pending edit
};

using TDBTEEBeforeNodesLoading = TEvent<void(TObject* Sender)>;
using TDBTEEAfterNodesLoading = TEvent<void(TObject* Sender)>;
using TDBTEEBeforeChildInsert = TEvent<void(TObject* Sender, TTreeNode* Parent, bool& AllowInsert)>;
using TDBTEEBeforeNodeInsert = TEvent<void(TObject* Sender, TTreeNode* Parent, bool& AllowInsert)>;
using TDBTEEAfterInsert = TEvent<void(TObject* Sender, TTreeNode* Node)>;
using TDBLVOnNodeSetup = TEvent<void(TObject* Sender, TTreeNode* ANode, TDataSet* ADataSet)>;
// The bookmark of the record whose key vector is AID, or a null bookmark.
using TDBTreeRefreshBookmarkHook = TEvent<TBookmark(const Variant& AID)>;

// Splits Line at ";" into List (cleared first): each item trimmed of blanks and control
// characters; empty items between two ";" are kept, a trailing ";" adds no item.
void SplitLine(const std::string& Line, TStrings& List);
// Halves every "left->right" item of Items into Left and Right (both cleared first), at the
// first "->" and without trimming. An item without "->" gives an empty left half and the item
// without its first character as right half.
void FormLists(const TStrings& Items, TStrings& Left, TStrings& Right);

// A node of the data-aware tree: its record's key vector and bookmark, whether all its children
// are loaded, and the mark a loading pass sets on the nodes it meets. The key vector changes
// only through SetID, which keeps the tree's key index in step.
class TDBTreeNode : public TTreeNode {
public:
    TDBTreeNode(TTreeNodes* AOwner, const Variant& AID, const TBookmark& ABookmark);
    ~TDBTreeNode() override;

    const Variant& GetID() const { return FID; }
    // A node whose identity changes forgets where its record was: the bookmark is dropped.
    void SetID(const Variant& Value);
    const TBookmark& GetBookMark() const { return FBookmark; }
    void SetBookMark(const TBookmark& Value) { FBookmark = Value; }
    bool GetComplete() const { return FComplete; }
    void SetComplete(bool Value) { FComplete = Value; }
    bool GetVisited() const { return FVisited; }
    void SetVisited(bool Value) { FVisited = Value; }

    // The dataset still accepts the node's bookmark (false without a dataset or a bookmark).
    bool CheckBookMark(TDataSet* DataSet) const;
    // Moves DataSet to the node's record: by its bookmark when still valid, else by the bookmark
    // Hook finds for the key vector (kept in the node). False when neither names the record.
    bool Seek(TDataSet* DataSet, const TDBTreeRefreshBookmarkHook& Hook);
    // The node's key vector equals Key (key-vector equality, the node's vector first).
    bool IDEquals2(const Variant& Key) const;
    // Takes the key vector, bookmark and marks of another data node, then the host's caption,
    // images and data. The bookmark is a value: each node holds its own copy.
    void Assign(TPersistent* Source) override;

private:
    friend class TDBCustomTreeView;
    friend class TNodeKeyIndex;

    // Made by the tree's own CreateNode, which names itself: no search for the node's tree.
    TDBTreeNode(TTreeNodes* AOwner, const Variant& AID, TDBCustomTreeView* ATree);
    // Made by a load pass: the key vector it read moves in, indexed by the hash it computed
    // (KeyHash32 of the key).
    TDBTreeNode(TTreeNodes* AOwner, Variant&& AID, uint32_t AHash, TDBCustomTreeView* ATree);

    TDBCustomTreeView* OwnerTree() const;
    void AddToIndex(TDBCustomTreeView* Tree);
    void RemoveFromIndex();

    // The marks and the low bits of the key's hash come first, in the three bytes the host node
    // leaves after its own fields. The key index chains its nodes by those bits and compares
    // them before it compares keys; a table of more chains than they can name computes the
    // hash again.
    bool FComplete : 1 = false;
    bool FVisited : 1 = false;
    bool FIndexed : 1 = false; // the node is in the tree's key index
    uint32_t FKeyHashBits : 21 = 0;
    TDBTreeNode* FNextInChain = nullptr; // the next node of its chain in the key index
    Variant FID;
    TBookmark FBookmark;
};

// The tree's data link: a field data link on the name field that passes the dataset's
// notifications to its tree before the host handles them.
class TDBTreeDataLink : public TFieldDataLink {
public:
    explicit TDBTreeDataLink(TDBCustomTreeView* ATreeView) : FTreeView(ATreeView) {}

    TDBCustomTreeView* TreeView() const { return FTreeView; }
    // Cleared by a dying tree, so that no later notification reaches it.
    void SetTreeView(TDBCustomTreeView* Value) { FTreeView = Value; }

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void DataSetChanged() override;
    void EditingChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;

public:
    bool ClimbAfterLocate(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                          TMoveClimb& climb) const override;

private:
    TDBCustomTreeView* FTreeView;
};

class TDBCustomTreeView : public TCustomTreeView {
    ORVEL_PUBLISHED(TDBCustomTreeView)

public:
    explicit TDBCustomTreeView(TComponent* AOwner);
    ~TDBCustomTreeView() override;

    using TControl::SetText;

    // ---- configuration ------------------------------------------------------------------------
    // DefStatus and DefImage read back as -1 unless they index an image of the attached list.
    int GetDefState() const;
    void SetDefState(int Value) { FDefState = Value; }
    int GetDefImage() const;
    void SetDefImage(int Value) { FDefImage = Value; }
    TInsertMode GetInsertMode() const { return FInsertMode; }
    void SetInsertMode(TInsertMode Value) { FInsertMode = Value; }
    // The element count of the root key vector; 0 before any RootKey was given.
    int GetKeyFieldsCount() const;
    TDataSource* GetDataSource() const { return FDataLink->GetDataSource(); }
    void SetDataSource(TDataSource* Value);
    // Takes effect at the next load.
    TLoadStyle GetLoadStyle() const { return FLoadStyle; }
    void SetLoadStyle(TLoadStyle Value) { FLoadStyle = Value; }
    const std::string& GetStatusIDField() const { return FStatusIDField; }
    void SetStatusIDField(const std::string& Value);
    const std::string& GetImageIDField() const { return FImageIDField; }
    void SetImageIDField(const std::string& Value);
    const std::string& GetNameField() const { return FNameField; }
    void SetNameField(const std::string& Value);
    // The relation text: pairs "parent field->key field" separated by ";".
    const std::string& GetLinksFields() const { return FLinksFields; }
    void SetRelations(const std::string& Value);
    // The root expression: the parent key of the top-level records, items separated by ";"
    // (Null, a quoted string, a whole number, a date or a number). A bad item raises
    // EConvertError and keeps the previous root key.
    const std::string& GetRootKey() const { return FRootKey; }
    void SetTopParentKey(const std::string& Value);
    const Variant& GetRootKeyValues() const { return FRootKeyValues; }

    const TDBTEEBeforeNodesLoading& GetBeforeNodesLoading() const { return FBeforeNodesLoading; }
    void SetBeforeNodesLoading(TDBTEEBeforeNodesLoading Value) { FBeforeNodesLoading = Value; }
    const TDBTEEAfterNodesLoading& GetAfterNodesLoading() const { return FAfterNodesLoading; }
    void SetAfterNodesLoading(TDBTEEAfterNodesLoading Value) { FAfterNodesLoading = Value; }
    const TDBTEEBeforeChildInsert& GetBeforeChildInsert() const { return FBeforeChildInsert; }
    void SetBeforeChildInsert(TDBTEEBeforeChildInsert Value) { FBeforeChildInsert = Value; }
    const TDBTEEBeforeNodeInsert& GetBeforeNodeInsert() const { return FBeforeNodeInsert; }
    void SetBeforeNodeInsert(TDBTEEBeforeNodeInsert Value) { FBeforeNodeInsert = Value; }
    const TDBTEEAfterInsert& GetAfterInsert() const { return FAfterInsert; }
    void SetAfterInsert(TDBTEEAfterInsert Value) { FAfterInsert = Value; }
    const TDBLVOnNodeSetup& GetOnNodeSetup() const { return FOnNodeSetup; }
    void SetOnNodeSetup(TDBLVOnNodeSetup Value) { FOnNodeSetup = Value; }

    // ---- keys and state -----------------------------------------------------------------------
    TDBTreeDataLink* DataLink() const { return FDataLink.get(); }
    // The key fields joined by ";", and the parent-reference fields joined and ended by ";".
    void KeyLinks(std::string& S) const { S = FKeyLinks; }
    void ParentLinks(std::string& S) const { S = FParentLinks; }
    const TStringList& KeyFieldList() const { return *FKeyFieldList; }
    const TStringList& ParentFieldList() const { return *FParentFieldList; }
    // The current record's key vector: always an array, one element per key field.
    void GetKeyValues(Variant& Key) const;
    Variant GetKeyValues() const;
    virtual bool CreateKeyValues(Variant& Key);
    // Key equals the current record's key vector; false while the link is inactive.
    bool KeysAreEquals(const Variant& Key) const;
    bool AllDataObjectsAreSet() const;
    // Busy: a load, an activation or a synchronisation step is running, and dataset
    // notifications are ignored.
    bool IsStopped() const { return FLockCount != 0; }
    // The tree has not been loaded from its data source yet.
    bool NotLoaded() const { return FNotLoaded; }
    // The dataset state the tree last brought about or saw for the selected node's record.
    TDataSetState GetLastState() const { return static_cast<TDataSetState>(FLastState); }
    // An insertion through the tree is being posted.
    bool GetInserting() const { return FInserting; }
    // False from a cancelled drag until the drag's end.
    bool GetDragNotCanceled() const { return FDragNotCanceled; }
    bool GetActive() const { return FActive; }
    // True reloads the tree now, false clears it.
    void SetActive(bool Value);
    // Binds the fields, the relation lists and the delete hooks to the dataset; false when the
    // link is inactive (the bindings are dropped then).
    bool ActivateDataSet();

    // ---- loading ------------------------------------------------------------------------------
    // Clears and reloads the whole tree, then selects the current record's node.
    void DoReload();
    // Closes and reopens the dataset (its notifications reload the tree).
    void ReloadTree();
    void ClearTree();
    void LoadRoot();
    // Reads Node's children again from the table.
    void LoadBranch(TTreeNode* Node);
    // One pass over the children of ParentKey (Parent nil: the top level). OuterKey is the key
    // whose range is put back afterwards (Empty: the range is cancelled).
    void LoadNodes(TDBTreeNode* Parent, const Variant& ParentKey, int Level,
                   const Variant& OuterKey);
    // Limits the table to the children of Key, or cancels its range when Key is Empty.
    void ProduceGeneration(const Variant& Key);
    // The same for a pass that means to read Reads children from the first (0: not known).
    void ProduceGeneration(const Variant& Key, int Reads);
    // Positions the table on the record with key vector Key (callers check the key after).
    void FindKeyByValue(const Variant& Key);
    // Makes the node of the record with key vector Key present and visible, loading and
    // expanding its ancestors; nil when the record or one of its ancestors cannot be reached.
    TDBTreeNode* SuperLoad(const Variant& Key);
    // The first node, in depth-first order, whose key vector equals Key; nil when none.
    TDBTreeNode* FindNode(const Variant& Key) const;
    // The first child of Parent (a top-level node for nil) whose key vector equals Key.
    TDBTreeNode* FindInChildren(TTreeNode* Parent, const Variant& Key) const;

    // ---- display ------------------------------------------------------------------------------
    // Sets Node up from the current record: identity, bookmark, caption, images, OnNodeSetup.
    // Any failure becomes ETreeViewError "Cannot setup a node".
    void SetupNode(TDBTreeNode* Node);
    void SetText(TField* Field, TDBTreeNode* Node);
    void SetStatusID(TField* Field, TDBTreeNode* Node);
    void SetImageID(TField* Field, TDBTreeNode* Node);
    // Shows a change of Field of the current record on the selected node.
    void RefreshNode(TDBTreeNode* Node, TField* Field);
    void RefreshRest(TDBTreeNode* Node, TField* Field);
    // Writes Node's caption into the name field.
    void UpdateName(TDBTreeNode* Node);
    // Selects the current record's node (none when it cannot be revealed).
    void SyncronizeTree();

    // ---- records ------------------------------------------------------------------------------
    // Moves the dataset to Node's record; a node whose record is gone is removed with its branch.
    void CheckNode(TDBTreeNode* Node);
    TBookmark RefreshBookmarkHook(const Variant& AID);
    // The current record's parent reference; true when it is not the root key vector.
    bool FillParentValues(Variant& Values);
    // Positions the dataset on the record with key Key and reads its parent reference; true when
    // that record exists and has a parent other than itself.
    bool GetParentReference(const Variant& Key, Variant& ParentValues);
    void SetAsChildOf(const Variant& ParentKey);
    virtual void SetAsTopParent();
    // Removes Node's children (and Node itself when DeleteSelf); Node's children count as not
    // loaded afterwards. A parent whose children were not all loaded keeps its expand button.
    void DeleteBranch(TTreeNode* Node, bool DeleteSelf);

    // ---- re-parenting -------------------------------------------------------------------------
    // Writes into the current record (in edit or insert state) the parent reference that puts
    // Node under NewParent (top level for none); a failure raises "Can't set '%s'-node as
    // child" or "... as top parent" with Node's caption.
    void CorrectTable(TTreeNode* Node, TTreeNode* NewParent);
    // Target is Node itself or lies in Node's branch; false for no target.
    static bool IsRelation(const TTreeNode* Node, const TTreeNode* Target);
    // Moves Node with its branch under NewParent (top level for none): last among the new
    // parent's children, or first when NewParent is its parent already. Never into its own
    // branch.
    void ChangeParent(TTreeNode* Node, TTreeNode* NewParent);
    // Moves Node to the place the current record's parent reference names; false when that
    // place is not in the tree (the new parent's node is missing or its children are not all
    // loaded), and the node is left where it is.
    bool CorrectNode(TDBTreeNode* Node);
    // Every parent-reference field can be modified, so a drop may change the parent reference.
    bool AllowEditByDrag();
    // Reads Node's children again and selects Node (the dataset goes to its record).
    void ReloadBranch(TTreeNode* Node);
    // Removes the selected node with its branch.
    void AfterDeleteProcess();

    // ---- editing and insertion ----------------------------------------------------------------
    // Adds the node of a record the dataset began to insert, where InsertMode says.
    void ExternalInsert();
    // Each acts only while the dataset is inserting: asks the veto event, writes the new
    // record's parent reference and adds its node (as the selected node's child, as its sibling,
    // at the top level, or under the parent the record names).
    void InsertChild();
    void InsertSibling();
    void InsertRootNode();
    void InsertDefault();
    // Adds an empty node for the record being inserted under Parent (top level for none),
    // selects it and announces it through AfterInsert.
    void InsertNode(TTreeNode* Parent);
    // Ends a caption edit in progress, keeping the typed text.
    void EndEdit(TTreeNode* Node);
    // Starts a caption edit of Node when the tree is enabled, editable and focused.
    void EditNode(TTreeNode* Node);
    // After the dataset's post or cancel: Node, the node of the record that was edited, shows
    // the record again and stands where it says; the insertion just posted is set up.
    void PerformEditCancel(TDBTreeNode* Node);
    void PerformInsert(TDBTreeNode* Node);

    // ---- deferred work ------------------------------------------------------------------------
    // Each asks for work through the tree's own message queue, and does nothing while the window
    // does not exist or while a reload of the whole tree is pending. PostReload: reload the whole
    // tree. PostReloadBranch: read a node's children again (once however often it is asked).
    // PostNodeSetup: read a node from its record again. PostCheckBrowseMode: settle the
    // dataset's pending edit.
    void PostReload();
    void PostReloadBranch(TTreeNode* Node);
    void PostNodeSetup(TTreeNode* Node);
    void PostCheckBrowseMode();

    // ---- delete hooks -------------------------------------------------------------------------
    // The tree stands in for the dataset's before- and after-delete handlers and passes every
    // call on to the handlers it replaced.
    void AddHooks(TDataSet* DataSet);
    void FreeHooks(TDataSet* DataSet);
    void RecordBeingDeleted(TDataSet* DataSet);
    void RecordDeleted(TDataSet* DataSet);

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;

protected:
    friend class TDBTreeDataLink;
    friend class TDBTreeNode;
    friend class TNodeGuard;
    friend class TTreeLock;

    // Every node of the tree is a TDBTreeNode made here, starting with the key vector of the
    // dataset's current record (Empty while the link is inactive). An override must return a
    // TDBTreeNode too.
    TTreeNode* CreateNode() override;
    virtual void RefreshGeneralTable() {}
    virtual void DataLinkActiveChanged();
    virtual void ActiveChanging(bool /*Active*/) {}
    virtual void DataLinkDataSetChanged();
    // Whether a move of the dataset to the record of values (by fields) will reveal it: true,
    // with the climb the reveal reads, when its node is not shown.
    bool ClimbAfterLocate(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                          TMoveClimb& climb) const;
    virtual void DoBeforeLoading();
    virtual void DoAfterLoading();
    virtual void NodeIsNotFound() {}

    void InitFields();
    void DataLinkRecordChanged(TField* Field);
    void DataLinkEditingChanged();
    void DataLinkUpdateData();
    void DataLinkCheckBrowseMode();
    void WMDoReload(TMessage& Message);
    void WMDoReloadBranch(TMessage& Message);
    void WMDoRereadNode(TMessage& Message);
    void WMDoEditByDrag(TMessage& Message);
    void WMDoCheckBrowseMode(TMessage& Message);

    // Expanding a node reads its children again.
    bool CanExpand(TTreeNode* Node) override;
    // Selecting a node settles the tree's own pending edit first, then moves the dataset to the
    // node's record.
    bool CanChange(TTreeNode* Node) override;
    void Change(TTreeNode* Node) override;
    // Coming back to the tree during its own edit reopens the caption editor.
    void DoEnter() override;
    // A caption edit puts the record into edit state; its text goes into the name field.
    bool CanEdit(TTreeNode* Node) override;
    void Edit(const TTVItem& Item) override;
    // Dragging a node onto another node (or onto empty space) re-parents its record.
    void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
    void DragCanceled() override;
    void DoEndDrag(TObject* Target, int X, int Y) override;
    void CreateWnd() override;
    // The messages still queued for the window go with it: nothing stays pending.
    void DestroyWnd() override;

    TDataSet* DataSet() const { return FDataLink->DataSet(); }
    // The data link's dataset as a table; EInvalidCast for any other dataset (or none).
    TTable* TableOf() const;
    // The dataset TableOf answered for last, its class and the table it is: a pass asks for the
    // table per record, and the same object of the same class is the same table.
    mutable const TDataSet* FTableOfSource = nullptr;
    mutable const std::type_info* FTableOfClass = nullptr;
    mutable TTable* FTableOfResult = nullptr;
    TDBTreeRefreshBookmarkHook BookmarkHook();

private:
    void ParseRelations(TDataSet& DataSet);
    int RangeFieldCount() const;
    TDBTreeNode* Reveal(const Variant& Key);
    void OpenForReveal(TDBTreeNode* Node);
    // Updates the display after a branch was loaded, or, inside a reveal, when the reveal ends.
    void UpdateAfterBranch();
    void EndReveal();
    bool InOwnBranch(TDBTreeNode* Parent, const Variant& Key, uint32_t Hash) const;
    TDBTreeNode* FindInChildren(TTreeNode* Parent, const Variant& Key, uint32_t Hash) const;
    void SweepChildren(TDBTreeNode* Parent);
    void WithManualDrag(TMessage& Message);
    void NodeDestroyed(TDBTreeNode* Node);
    bool ReloadPending() const;
    void PostQueued(TKeysArray& Queue, int Index, UINT Msg);
    void FinishQueued(TKeysArray& Queue, WPARAM Index);
    void RereadNode(const Variant& Key);
    void UpdateRecordNode(TDataSetState State);
    TDBTreeNode* RecordNode() const;
    TDBTreeNode* SelectedRecordNode() const;
    TDBTreeNode* CurrentRecordNode() const;
    bool AllowedBy(const TDBTEEBeforeChildInsert& Event, TTreeNode* Parent);
    void WriteParentReference(TTreeNode* Parent);
    void KeepButton(TTreeNode* Parent);
    void OfferUncountedChildren(TTreeNode* Node, TTreeNode* OldParent);
    void PostEditByDrag(TTreeNode* Target);
    void EditByDrag(TTreeNode* Target, const Variant& TargetKey, const Variant& MovedKey);
    void MoveRecordUnder(TDBTreeNode* Node, TTreeNode* Target);
    void GoToRecordOf(TDBTreeNode* Node);
    // This tree's hook on one of the dataset's two delete events, the handler it stands in for,
    // whether it stands in the event's chain, and the event's reader and writer.
    using THookSlot = TDeleteHookSlot;
    THookSlot HookSlot(bool Before);
    void PlaceHook(TDataSet* DataSet, bool Before);
    void RemoveHook(TDataSet* DataSet, bool Before);

    std::string FStatusIDField;
    std::string FImageIDField;
    std::string FNameField;
    TField* FImageField = nullptr;
    TField* FStatusField = nullptr;
    TField* FTextField = nullptr;
    std::unique_ptr<TStringList> FKeyFieldList;
    std::unique_ptr<TStringList> FParentFieldList;
    std::string FLinksFields;
    std::string FRootKey;
    std::string FKeyLinks;
    std::string FKeyList =
        ";"; // FKeyLinks as a list (ending in ';'): GetKeyValues reads one per record
    std::string FParentLinks = ";";
    TInsertMode FInsertMode = imAddFromTable;
    Variant FRootKeyValues;
    bool FActive = false;
    bool FInserting = false;
    bool FDragNotCanceled = true;
    TLoadStyle FLoadStyle = lsOneAhead;
    std::unique_ptr<TKeysArray> FBranchQueue;
    std::unique_ptr<TKeysArray> FNodeQueue;
    bool FQueuesPending = false;
    bool FCheckBrowsePosted = false;
    bool FNotLoaded = true;
    int32_t FLockCount = 0;
    int32_t FDefState = -1;
    int32_t FDefImage = -1;
    std::unique_ptr<TDBTreeDataLink> FDataLink;
    uint8_t FLastState = dsBrowse;
    TDBTEEBeforeNodesLoading FBeforeNodesLoading;
    TDBTEEAfterNodesLoading FAfterNodesLoading;
    TDBTEEBeforeChildInsert FBeforeChildInsert;
    TDBTEEBeforeNodeInsert FBeforeNodeInsert;
    TDBTEEAfterInsert FAfterInsert;
    TDBLVOnNodeSetup FOnNodeSetup;
    TDBTreeNode* FDeletingNode = nullptr;
    TDataSetNotifyEvent FOldBeforeDelete;
    TDataSetNotifyEvent FOldAfterDelete;

    // The dataset whose delete events hold this tree's hooks (it may no longer be the link's).
    TDataSet* FHookedDataSet = nullptr;
    // This tree's hook stands in the event's chain (in front, or kept by a view in front of it)
    // and has not handed its saved handler back yet.
    bool FBeforeHookPlaced = false;
    bool FAfterHookPlaced = false;
    // Nodes by key vector, so that finding a node does not walk the tree.
    std::unique_ptr<TNodeKeyIndex> FNodeIndex;
    // Node pointers held across calls that may delete nodes, innermost last; an entry becomes
    // nil when its node dies.
    std::vector<TTreeNode*> FWatched;
    // The node of the record being edited or inserted while FLastState is not browse (nil when
    // that record has no node); cleared when the node dies.
    TDBTreeNode* FPendingNode = nullptr;
    // An inserted record's post has gathered the values and not yet reached the dataset's own
    // check of the links: a check that finds this clear belongs to another post or a cancel.
    bool FPostStarted = false;
    // Loading passes under way: a node moved meanwhile counts as met by the pass.
    int FLoadDepth = 0;
    // Reveals under way, and whether a branch they opened asked for the display to be updated:
    // the tree is painted once, when the outermost reveal ends, instead of once per level.
    int FRevealDepth = 0;
    bool FRevealUpdate = false;
    // The key of the record a load pass is making a node for, read once for the pass, the new
    // node and its set-up (nil outside that step), and its hash. CreateNode moves the key into
    // the node it makes and names that node in FKeyTakenBy, whose set-up then keeps it.
    Variant* FLoadingKey = nullptr;
    uint32_t FLoadingHash = 0;
    TDBTreeNode* FKeyTakenBy = nullptr;
    // Drops posted and not yet handled: the drop target (none for the top level) and the key
    // vectors of the target and of the dragged node, by which both are found again.
    struct TPendingDrop {
        TTreeNode* Target;
        Variant TargetKey;
        Variant MovedKey;
    };
    std::vector<TPendingDrop> FPendingDrops;
};

// The published tree: the host tree's usual properties and events and the data properties.
class TDBTreeView : public TDBCustomTreeView {
    ORVEL_PUBLISHED(TDBTreeView)

public:
    explicit TDBTreeView(TComponent* AOwner) : TDBCustomTreeView(AOwner) {}
};

} // namespace orvel
