// The tree view and the list view as headless models: nodes and items with their captions,
// images and states, selection and focus with their change hooks, in-place caption editing,
// scrolling and pixel geometry (rows of fixed height, hit tests), drag feedback and sorting.
// The data-aware views derive from TCustomTreeView and TCustomListView and override the
// factories (CreateNode, CreateListItem) and the hooks (CanChange, Change, CanEdit, Edit, ...),
// each of which carries the host's own behaviour for the override to call.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/ListItemPool.h"
#include "orvel/host/controls/NodePool.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/PackedTexts.h"
#include "orvel/host/core/PointerSet.h"
#include "orvel/host/core/Sets.h"
#include "orvel/host/core/Strings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvel {

class TCustomImageList;
class TChangeLink;
class TCustomTreeView;
class TTreeNodes;
class TTreeNode;
class TCustomListView;
class TListItems;
class TListItem;

enum TSortType { stNone, stData, stText, stBoth };

// The one-line editor shown over a caption while it is edited in place. It opens with the whole
// text selected, so the first typed character replaces it; the editing keys of an edit box
// (TLineEditor) move the caret, select and delete.
class TInplaceEditor {
public:
    bool Active() const { return FActive; }
    const std::string& Text() const { return FLine.Text(); }
    bool AllSelected() const {
        return FLine.SelStart() == 0 && FLine.SelLength() == FLine.Length();
    }
    // The caret and the selection, in characters.
    int Caret() const { return FLine.Caret(); }
    int SelStart() const { return FLine.SelStart(); }
    int SelLength() const { return FLine.SelLength(); }
    void Open(const std::string& text);
    void Close();
    // Replaces the whole text (the caret goes to its end).
    void SetText(const std::string& text);
    void TypeChar(char c);
    // Removes the selection, else the character before the caret (a whole UTF-8 sequence).
    void Backspace();
    // Handles an editing key of a WM_KEYDOWN or WM_CHAR message: answers 1 for Enter (end and
    // keep), -1 for Escape (end and drop), 0 for anything else (edited or ignored).
    int HandleMessage(const TMessage& Message);

private:
    TLineEditor FLine;
    bool FActive = false;
};

// --- Tree view ----------------------------------------------------------------------------

enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

// Where a point lies relative to a tree's rows. htOnItem comes with htOnIcon, htOnLabel and
// htOnStateIcon; the four outside values tell on which sides of the client area a point lies.
enum THitTest {
    htAbove,
    htBelow,
    htNowhere,
    htOnItem,
    htOnButton,
    htOnIcon,
    htOnIndent,
    htOnLabel,
    htOnRight,
    htOnStateIcon,
    htToLeft,
    htToRight
};
using THitTests = TSet<THitTest, 12>;

// The outcome of an in-place caption edit: the node and the text typed.
struct TTVItem {
    TTreeNode* Node = nullptr;
    std::string Text;
};

using TTVChangingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVChangedEvent = TEvent<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = TEvent<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
using TTVExpandingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = TEvent<void(TObject* Sender, TTreeNode* Node)>;
using TTVCompareEvent =
    TEvent<void(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2, int Data, int& Compare)>;

// A node of a tree. Nodes are made by the tree's CreateNode (through the node collection) and
// belong to the collection, which links them into sibling chains (no per-node child array) and
// frees them. A node keeps no heap memory of its own beyond its caption. Siblings are chained
// forward to the last one and backward to the first one, whose backward link names the last
// sibling: a parent finds its last child without a field of its own.
class TTreeNode : public TPersistent {
public:
    explicit TTreeNode(TTreeNodes* AOwner);
    ~TTreeNode() override;

    // Nodes, of this class and of every derived one, live in the node pool (NodePool.h).
    static void* operator new(std::size_t size) { return AllocateNodeSlot(size); }
    static void operator delete(void* node, std::size_t size) noexcept {
        ReleaseNodeSlot(node, size);
    }

    TTreeNodes* Owner() const { return FOwner; }
    TCustomTreeView* TreeView() const;

    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int value);
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int value);
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int value);

    // Whether the node shows an expand button. Adding a child sets it; removing the last child
    // clears it; a node may also claim children that are not loaded yet.
    bool HasChildren() const { return FFlags & fHasChildren; }
    void SetHasChildren(bool value);
    // Expanded: the node shows its children (a node without children is never expanded; it
    // keeps the wish, so children added later show at once).
    bool Expanded() const { return (FFlags & fExpanded) && FFirstChild; }
    void SetExpanded(bool value);
    // Opening runs the tree's CanExpand first (which may load the children) and Expand after;
    // Recurse opens the whole branch.
    void Expand(bool Recurse);
    void Collapse(bool Recurse);
    // Every ancestor is expanded (the node has a row, whether scrolled into view or not).
    bool IsNodeVisible() const;

    TTreeNode* Parent() const { return FParent; }
    TTreeNode* GetFirstChild() const { return FFirstChild; }
    TTreeNode* GetLastChild() const { return FFirstChild ? FFirstChild->FPrevSibling : nullptr; }
    TTreeNode* GetNextSibling() const { return FNextSibling; }
    // The first sibling's backward link names the last sibling, whose forward link is nil.
    TTreeNode* GetPrevSibling() const {
        return FPrevSibling && FPrevSibling->FNextSibling ? FPrevSibling : nullptr;
    }
    // Depth-first order, top to bottom: first child, else next sibling, else the next sibling of
    // the nearest ancestor that has one.
    TTreeNode* GetNext() const;
    TTreeNode* GetPrev() const;
    // The next and previous node that has a row (see IsNodeVisible), from a node that has one.
    TTreeNode* GetNextVisible() const;
    TTreeNode* GetPrevVisible() const;
    // True when Node is an ancestor of this node (not the node itself).
    bool HasAsParent(const TTreeNode* Node) const;
    int Count() const { return FCount; }
    TTreeNode* Item(int Index) const; // the Index-th child; EListError outside 0..Count-1
    int IndexOf(const TTreeNode* Child) const;
    int Index() const; // place among its siblings
    int Level() const; // 0 for a top-level node
    int AbsoluteIndex() const;

    bool Selected() const;
    void SetSelected(bool value);
    bool DropTarget() const;
    bool Deleting() const { return FFlags & fDeleting; }
    bool Cut() const { return FFlags & fCut; }
    void SetCut(bool value);

    // Removes the node with its branch (the collection's Delete).
    void Delete();
    void DeleteChildren();
    // Moves the node with its branch. naAdd: last sibling of Destination; naAddFirst: first
    // sibling; naAddChild: last child of Destination (top level for none); naAddChildFirst: first
    // child (first top-level node for none); naInsert: just before Destination. A move into the
    // node's own branch does nothing.
    virtual void MoveTo(TTreeNode* Destination, TNodeAttachMode Mode);

    // Starts editing the caption in place (the tree's CanEdit decides); false when it did not
    // start. EndEdit ends the tree's edit in progress (as the host's end-edit request does,
    // whichever node it is on): Cancel false keeps the typed text (the tree's Edit runs), true
    // drops it.
    bool EditText();
    void EndEdit(bool Cancel);
    // Makes the node's row visible: expands its ancestors and scrolls it into view.
    void MakeVisible();
    // The node's row (TextOnly: its label) in client coordinates; empty when it has no row.
    TRect DisplayRect(bool TextOnly) const;

    // Sorts the children by caption (or by the tree's OnCompare); Recurse sorts the branch.
    void AlphaSort(bool Recurse = false);

    // Takes the caption, the images and the data of another node.
    void Assign(TPersistent* Source) override;

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;

    enum : uint8_t { fExpanded = 1, fHasChildren = 2, fDeleting = 4, fCut = 8 };
    void SetFlag(uint8_t flag, bool on) {
        FFlags = static_cast<uint8_t>(on ? (FFlags | flag) : (FFlags & ~flag));
    }
    void Changed();

    TTreeNodes* FOwner;
    TTreeNode* FParent = nullptr;
    TTreeNode* FFirstChild = nullptr;
    TTreeNode* FPrevSibling = nullptr; // the last sibling for the first one
    TTreeNode* FNextSibling = nullptr;
    std::string FText;
    void* FData = nullptr;
    int32_t FImageIndex = 0;
    int32_t FSelectedIndex = 0;
    int32_t FStateIndex = -1;
    int32_t FOverlayIndex = -1;
    int32_t FCount = 0;
    uint8_t FFlags = 0;
};

// The nodes of a tree. Every node is made by the tree's CreateNode.
class TTreeNodes : public TPersistent {
public:
    explicit TTreeNodes(TCustomTreeView* AOwner);
    // Frees the nodes without events.
    ~TTreeNodes() override;

    TCustomTreeView* Owner() const { return FOwner; }
    int Count() const { return FCount; }

    // Add: last node at Sibling's level (top level for none). AddFirst: first at that level.
    // AddChild: last child of Parent (top level for none). AddChildFirst: first child.
    // Insert: just before Sibling (last top-level node for none). While the tree sorts by text
    // (SortType stText or stBoth) a new node goes to its sorted place among its siblings.
    TTreeNode* Add(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddObject(TTreeNode* Sibling, const std::string& S, void* Data);
    TTreeNode* AddFirst(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddObjectFirst(TTreeNode* Sibling, const std::string& S, void* Data);
    TTreeNode* AddChild(TTreeNode* Parent, const std::string& S);
    TTreeNode* AddChildObject(TTreeNode* Parent, const std::string& S, void* Data);
    TTreeNode* AddChildFirst(TTreeNode* Parent, const std::string& S);
    TTreeNode* AddChildObjectFirst(TTreeNode* Parent, const std::string& S, void* Data);
    TTreeNode* Insert(TTreeNode* Sibling, const std::string& S);
    TTreeNode* InsertObject(TTreeNode* Sibling, const std::string& S, void* Data);

    // Removes a node with its branch (children first, OnDeletion for each). When the selection
    // lies in the branch it moves to the node's next sibling, else its previous sibling, else its
    // parent, else none, and the tree's Change runs for it (CanChange does not).
    void Delete(TTreeNode* Node);
    // Removes every node (OnDeletion for each) without selection events.
    void Clear();

    TTreeNode* GetFirstNode() const { return FFirst; }
    // The last top-level node.
    TTreeNode* GetLastNode() const { return FFirst ? FFirst->FPrevSibling : nullptr; }
    // The node at an absolute (depth-first) position; EListError outside 0..Count-1.
    TTreeNode* Item(int Index) const;
    TTreeNode* operator[](int Index) const { return Item(Index); }
    // Whether a node pointer still names a node of this collection. Only pointers are
    // compared, so a pointer kept across events that may have deleted its node (a node carried
    // in a posted message) can be checked safely.
    bool Contains(const TTreeNode* Node) const;

    // Batches changes: the tree repaints once, at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Copies the structure, captions, images and data of another collection.
    void Assign(TPersistent* Source) override;

private:
    friend class TTreeNode;
    friend class TCustomTreeView;

    TTreeNode* InternalAdd(TTreeNode* Parent, TTreeNode* Before, bool First, const std::string& S,
                           void* Data);
    void Link(TTreeNode* Node, TTreeNode* Parent, TTreeNode* Before);
    void Unlink(TTreeNode* Node);
    TTreeNode* SortedPlace(TTreeNode* Parent, const std::string& S) const;
    void DeleteBranch(TTreeNode* Node, bool Events);
    void FreeAll();

    TCustomTreeView* FOwner;
    TTreeNode* FFirst = nullptr;
    int FCount = 0;
    int FUpdateCount = 0;
};

class TCustomTreeView : public TCustomControl {
    ORVEL_PUBLISHED(TCustomTreeView)
public:
    explicit TCustomTreeView(TComponent* AOwner);
    ~TCustomTreeView() override;

    TTreeNodes* Items() const { return FItems.get(); }

    // Writing runs CanChange (which may refuse), then Change; the node is made visible (its
    // ancestors expanded) and a caption edit in progress ends first, keeping its text.
    TTreeNode* Selected() const { return FSelected; }
    void SetSelected(TTreeNode* Node);
    // The node highlighted as the place a drag would drop on.
    TTreeNode* DropTarget() const { return FDropTarget; }
    void SetDropTarget(TTreeNode* Node);

    bool IsEditing() const { return FEditor.Active(); }
    TTreeNode* EditingNode() const { return FEditNode; }
    // The text in the in-place editor while a caption is edited.
    const std::string& EditorText() const { return FEditor.Text(); }
    // The caret of the caption being edited, in characters.
    int EditorCaret() const { return FEditor.Caret(); }

    // Geometry. Rows are ItemHeight pixels high from the top of the client area, starting with
    // TopItem. A node's label starts after its indentation ((Level + ShowRoot) * Indent), its
    // state image and its image.
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);
    // The node whose row holds the point (client coordinates); none over empty space and
    // outside the client area.
    TTreeNode* GetNodeAt(int X, int Y) const;
    THitTests GetHitTestInfoAt(int X, int Y) const;
    // The node of the Row-th row shown (0: TopItem), or none.
    TTreeNode* NodeAtRow(int Row) const;
    // Rows that fit in the client area completely.
    int VisibleCount() const;
    // Nodes that have a row (shown or scrolled out of view).
    int RowCount() const;

    // Scrolling: the first node shown. Scrolling stops where the last row fills the client area.
    TTreeNode* TopItem() const;
    void SetTopItem(TTreeNode* Node);
    void ScrollBy(int Rows);

    void FullExpand();
    void FullCollapse();
    // Sorts every level by caption (or OnCompare).
    void AlphaSort();

    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool value);
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool value);
    // A read-only tree does not edit captions in place.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool RightClickSelect() const { return FRightClickSelect; }
    void SetRightClickSelect(bool value) { FRightClickSelect = value; }
    bool AutoExpand() const { return FAutoExpand; }
    void SetAutoExpand(bool value) { FAutoExpand = value; }
    int Indent() const { return FIndent; }
    void SetIndent(int value);
    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType value);
    // Image lists; the references are cleared when the lists are destroyed.
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* value);

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    void Invalidate() override;
    // The selected node's image and caption as they follow the mouse while it is dragged; the
    // hot spot is where the button was pressed, relative to the picture.
    bool GetDragImage(TBitmap& image, TPoint& hotSpot) override;

    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVExpandedEvent OnDeletion;
    TTVExpandedEvent OnGetImageIndex;
    TTVExpandedEvent OnGetSelectedIndex;
    TTVCompareEvent OnCompare;

    static const TClassInfo& HostProperties();

protected:
    friend class TTreeNode;
    friend class TTreeNodes;

    // Makes every node of the tree (also those the host adds): a TTreeNode of Items().
    virtual TTreeNode* CreateNode();

    // Hooks; each base version raises its event.
    virtual bool CanExpand(TTreeNode* Node);   // OnExpanding
    virtual void Expand(TTreeNode* Node);      // OnExpanded
    virtual bool CanCollapse(TTreeNode* Node); // OnCollapsing
    virtual void Collapse(TTreeNode* Node);    // OnCollapsed
    virtual bool CanChange(TTreeNode* Node);   // OnChanging, with the node to be selected
    virtual void Change(TTreeNode* Node);      // OnChange, with the node now selected
    virtual bool CanEdit(TTreeNode* Node);     // OnEditing
    // The edit ended with a text: OnEdited (whose handler may change the text), then the node
    // takes the final text as its caption.
    virtual void Edit(const TTVItem& Item);
    virtual void Delete(TTreeNode* Node); // OnDeletion, before the node goes
    // Asked for each row as it is painted.
    virtual void GetImageIndex(TTreeNode* Node);    // OnGetImageIndex
    virtual void GetSelectedIndex(TTreeNode* Node); // OnGetSelectedIndex

    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DragOverFeedback(TDragState State, int X, int Y, bool Accept) override;
    void DragCanceled() override;
    void CMExit(TMessage& Message) override;
    // Paints the rows shown, asking each painted row's images (GetImageIndex, then
    // GetSelectedIndex) as it goes.
    void Paint() override;
    bool VertScrollBarVisible() const override;
    TScrollBarState ScrollBarState(TScrollBarKind Kind) const override;

private:
    friend class TTreeViewPainter;
    bool StartEdit(TTreeNode* Node);
    bool FinishEdit(bool Cancel);
    void DropEditor();
    void ExpandNode(TTreeNode* Node, bool Recurse);
    void CollapseNode(TTreeNode* Node, bool Recurse);
    void ToggleNode(TTreeNode* Node);
    void MakeNodeVisible(TTreeNode* Node);
    void NodesChanged();
    void BeforeBranchDeleted(TTreeNode* Node);
    int VisibleIndexOf(const TTreeNode* Node) const;
    TTreeNode* NodeAtVisibleIndex(int Index) const;
    void SetTopIndex(int Index);
    int MaxTopIndex() const;
    int LabelLeft(const TTreeNode* Node) const;
    int LabelWidth(const TTreeNode* Node) const;
    int ImageWidth(const TCustomImageList* List) const;
    void SortSiblings(TTreeNode* Parent, bool Recurse);
    int CompareNodes(TTreeNode* A, TTreeNode* B);
    void MoveSelectionByKey(uint16_t Key);

    std::unique_ptr<TTreeNodes> FItems;
    TTreeNode* FSelected = nullptr;
    TTreeNode* FDropTarget = nullptr;
    TTreeNode* FTopItem = nullptr; // none: the first node
    TTreeNode* FEditNode = nullptr;
    TInplaceEditor FEditor;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    std::unique_ptr<TChangeLink> FImageChangeLink;
    std::unique_ptr<TChangeLink> FStateChangeLink;
    mutable int FRowCountCache = -1;
    // The row of FTopItem, remembered so that painting a scroll bar does not count the rows
    // above it; -1 when unknown.
    mutable int FTopIndexCache = -1;
    TPoint FPressPoint; // where the last mouse press was, for the drag image's hot spot
    int FItemHeight = 16;
    int FIndent = 19;
    TSortType FSortType = stNone;
    bool FShowButtons = true;
    bool FShowLines = true;
    bool FShowRoot = true;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FRightClickSelect = false;
    bool FAutoExpand = false;
};

class TTreeView : public TCustomTreeView {
    ORVEL_PUBLISHED(TTreeView)
public:
    explicit TTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {}
};

// --- List view ----------------------------------------------------------------------------

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
enum TListArrangement {
    arAlignBottom,
    arAlignLeft,
    arAlignRight,
    arAlignTop,
    arDefault,
    arSnapToGrid
};
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
enum TIconArrangement { iaTop, iaLeft };

class TListColumn;

// The outcome of an in-place caption edit: the item and the text typed.
struct TLVItem {
    TListItem* Item = nullptr;
    std::string Text;
};

using TLVChangeEvent = TEvent<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVChangingEvent =
    TEvent<void(TObject* Sender, TListItem* Item, TItemChange Change, bool& AllowChange)>;
using TLVEditingEvent = TEvent<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = TEvent<void(TObject* Sender, TListItem* Item, std::string& S)>;
using TLVDeletedEvent = TEvent<void(TObject* Sender, TListItem* Item)>;
using TLVColumnClickEvent = TEvent<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent =
    TEvent<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;

class TListColumns;

// A column of the report style.
class TListColumn : public TPersistent {
public:
    explicit TListColumn(TListColumns* AOwner) : FOwner(AOwner) {}
    TListColumns* Owner() const { return FOwner; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    int Index() const;
    void Assign(TPersistent* Source) override;

private:
    void Changed();
    TListColumns* FOwner;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
};

class TListColumns : public TPersistent {
public:
    explicit TListColumns(TCustomListView* AOwner) : FOwner(AOwner) {}
    TCustomListView* Owner() const { return FOwner; }
    TListColumn* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    // EListError outside 0..Count-1.
    TListColumn* Items(int Index) const;
    TListColumn* operator[](int Index) const { return Items(Index); }
    void Delete(int Index);
    void Clear();
    int IndexOf(const TListColumn* Column) const;
    void Assign(TPersistent* Source) override;

private:
    friend class TListColumn;
    void Changed();
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListColumn>> FItems;
};

class TIconOptions : public TPersistent {
public:
    explicit TIconOptions(TCustomListView* AOwner) : FOwner(AOwner) {}
    TIconArrangement Arrangement() const { return FArrangement; }
    void SetArrangement(TIconArrangement value) { FArrangement = value; }
    bool AutoArrange() const { return FAutoArrange; }
    void SetAutoArrange(bool value) { FAutoArrange = value; }
    bool WrapText() const { return FWrapText; }
    void SetWrapText(bool value) { FWrapText = value; }
    void Assign(TPersistent* Source) override;
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

private:
    TCustomListView* FOwner;
    TIconArrangement FArrangement = iaTop;
    bool FAutoArrange = false;
    bool FWrapText = true;
};

// The texts of a list item's further columns, each with an object slot: a plain list (never
// sorted) kept inside its item, telling the item of each change, or once per update batch. The
// texts are packed into one block (usually inside the list itself); the object slots take memory
// only once one of them holds an object.
class TListSubItems : public TStrings {
public:
    explicit TListSubItems(TListItem* AItem) : FItem(AItem) {}
    TListSubItems(const TListSubItems&) = delete;
    TListSubItems& operator=(const TListSubItems&) = delete;

    int Count() const override { return FTexts.Count(); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void InsertObject(int index, const std::string& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int a, int b) override;
    // Add without an object, straight from a text (a load filling an item's columns).
    void AddText(std::string_view s);

protected:
    void SetUpdateState(bool updating) override;

private:
    void Changed();
    void CheckIndex(int index) const;

    TPackedTexts FTexts;
    // One slot per text while any object was given, else none.
    std::unique_ptr<std::vector<TObject*>> FObjects;
    TListItem* FItem;
};

// An item of a list view, made by the view's CreateListItem and owned by its item collection.
class TListItem : public TPersistent {
public:
    explicit TListItem(TListItems* AOwner);
    ~TListItem() override;

    // Items, of this class and of every derived one, live in the list item pool (ListItemPool.h).
    static void* operator new(std::size_t size) { return AllocateListItemSlot(size); }
    static void operator delete(void* item, std::size_t size) noexcept {
        ReleaseListItemSlot(item, size);
    }

    TListItems* Owner() const { return FOwner; }
    TCustomListView* ListView() const;

    const std::string& Caption() const { return FCaption; }
    // Taken as a view, so that a text read from elsewhere is copied once, into the item.
    void SetCaption(std::string_view value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int value);
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int value);
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }
    // The texts of the further columns (created on first use).
    TStrings* SubItems() const;

    // Selection and focus. Each change of an item's state runs the view's CanChange and Change
    // with ctState; the item that loses a state changes first. Without MultiSelect, selecting
    // an item takes the selection from the others; only one item has the focus.
    bool Selected() const { return FSelected; }
    void SetSelected(bool value);
    bool Focused() const { return FFocused; }
    void SetFocused(bool value);

    int Index() const { return FIndex; }
    void Delete();
    void MakeVisible(bool PartialOK);
    // Starts editing the caption in place (the view's CanEdit decides); false when it did not
    // start. CancelEdit ends the view's edit in progress (as the host's cancel request does,
    // whichever item it is on) without the view's Edit.
    bool EditCaption();
    void CancelEdit();
    // The item's cell (drBounds), image, or label in client coordinates. In large icons the
    // image is centred at the top of the cell and the label fills the cell below it; in the
    // other styles the label follows the image.
    TRect DisplayRect(TDisplayCode Code) const;

    // Takes the caption, images, data and column texts of another item.
    void Assign(TPersistent* Source) override;

private:
    friend class TListItems;
    friend class TCustomListView;
    friend class TListSubItems;
    void Changed();

    TListItems* FOwner;
    std::string FCaption;
    void* FData = nullptr;
    mutable TListSubItems FSubItems{this};
    int32_t FImageIndex = 0;
    int32_t FStateIndex = -1;
    int32_t FOverlayIndex = -1;
    int32_t FIndex = -1;
    bool FSelected = false;
    bool FFocused = false;
    bool FDeleting = false;
};

class TListItems : public TPersistent {
public:
    explicit TListItems(TCustomListView* AOwner);
    // Frees the items without events.
    ~TListItems() override;

    TCustomListView* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // EListError outside 0..Count-1.
    TListItem* Item(int Index) const;
    TListItem* operator[](int Index) const { return Item(Index); }
    // The position of an item, -1 when it is not in the list; only pointers are compared, so
    // a pointer to a deleted item is safe to pass.
    int IndexOf(const TListItem* Item) const;

    // Appends (Add) or inserts an item made by the view's CreateListItem; OnInsert follows.
    TListItem* Add();
    TListItem* Insert(int Index);
    // Removes an item (OnDeletion first) without selection or focus events: the focus simply
    // leaves it.
    void Delete(int Index);
    // Removes every item (OnDeletion for each) without selection or focus events.
    void Clear();

    // Batches changes: the view repaints once, at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Told by a caller that knows it (from an index of its own that drops an item as it is
    // destroyed) that Item is in this list: until the next removal IndexOf answers for that
    // item without making the set of every item's address.
    void NoteMember(const TListItem* Item) const {
        FKnownMember = Item;
        FKnownMemberMark = FRemovals;
    }
    // Items taken out of the list so far: an item known to be in the list when the count read
    // some value still is while the count has not moved.
    uint32_t RemovalCount() const { return FRemovals; }

    void Assign(TPersistent* Source) override;

private:
    friend class TListItem;
    friend class TCustomListView;
    void Renumber(int From);

    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListItem>> FItems;
    // The items of the list by address, so that IndexOf answers without a search and without
    // reading a pointer that may name a deleted item. Made at the first question and kept up
    // from then on: filling a list asks none, and pays nothing for it.
    const TPointerSet& Live() const;
    mutable TPointerSet FLive;
    mutable bool FLiveKept = false;
    int FUpdateCount = 0;
    // Items taken out of the list so far (Delete, Clear), and the item NoteMember vouched for.
    uint32_t FRemovals = 0;
    mutable const TListItem* FKnownMember = nullptr;
    mutable uint32_t FKnownMemberMark = 0;
};

class TCustomListView : public TCustomControl {
    ORVEL_PUBLISHED(TCustomListView)
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;

    TListItems* Items() const { return FItems.get(); }
    TListColumns* Columns() const { return FColumns.get(); }
    TIconOptions* IconOptions() const { return FIconOptions.get(); }

    // The first selected item; writing selects one item (none: clears the selection), the
    // others losing the selection first.
    TListItem* Selected() const;
    void SetSelected(TListItem* Item);
    TListItem* ItemFocused() const { return FFocusedItem; }
    void SetItemFocused(TListItem* Item);
    int SelCount() const;
    void ClearSelection();

    bool IsEditing() const { return FEditor.Active(); }
    TListItem* EditingItem() const { return FEditItem; }
    const std::string& EditorText() const { return FEditor.Text(); }
    // The caret of the caption being edited, in characters.
    int EditorCaret() const { return FEditor.Caret(); }

    // Geometry. The items are laid out in index order: one row each (vsReport, under the
    // column header), in columns of rows (vsList), or in rows of cells (vsIcon, vsSmallIcon).
    // Rows are RowHeight pixels high; the header HeaderHeight; list columns ListColumnWidth;
    // icon cells IconCellWidth by IconCellHeight, small-icon cells SmallIconCellWidth wide.
    static constexpr int RowHeight = 16;
    static constexpr int HeaderHeight = 20;
    static constexpr int ListColumnWidth = 120;
    static constexpr int IconCellWidth = 76;
    static constexpr int IconCellHeight = 64;
    static constexpr int SmallIconCellWidth = 120;
    // Space above a large icon in its cell.
    static constexpr int IconMargin = 2;
    // The item whose cell holds the point (in report style: its first column); none elsewhere.
    TListItem* GetItemAt(int X, int Y) const;
    // The column whose header holds the point (report style with headers), or none.
    TListColumn* GetColumnAt(int X, int Y) const;
    // The column whose right-hand divider in the header lies within DividerReach pixels of the
    // point (the last such column when several meet there), or -1. Pressing there and moving
    // the mouse resizes that column instead of clicking a header.
    int GetColumnDividerAt(int X, int Y) const;
    static constexpr int DividerReach = 3;
    // The column being resized with the mouse, or -1.
    int ResizingColumn() const { return FResizeColumn; }
    // Scrolling by whole lines (rows, or columns in vsList): the first item shown.
    TListItem* TopItem() const;
    // Lines of items that fit in the client area completely.
    int VisibleRowCount() const;
    // Scrolls by pixels (rounded down to whole lines) along the style's direction.
    void Scroll(int DX, int DY);
    // The items keep their index order in the layout; Arrange repaints them.
    void Arrange(TListArrangement Code);
    void AlphaSort();

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    // A read-only view does not edit captions in place.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool ColumnClick() const { return FColumnClick; }
    void SetColumnClick(bool value) { FColumnClick = value; }
    bool ShowColumnHeaders() const { return FShowColumnHeaders; }
    void SetShowColumnHeaders(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    int AllocBy() const { return FAllocBy; }
    void SetAllocBy(int value) { FAllocBy = value; }
    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType value);
    TCustomImageList* LargeImages() const { return FLargeImages; }
    void SetLargeImages(TCustomImageList* value);
    TCustomImageList* SmallImages() const { return FSmallImages; }
    void SetSmallImages(TCustomImageList* value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* value);

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    void Invalidate() override;
    // The focused (else the first selected) item's image and caption as they follow the mouse
    // while it is dragged; the hot spot is where the button was pressed, relative to the
    // picture.
    bool GetDragImage(TBitmap& image, TPoint& hotSpot) override;

    TLVChangeEvent OnChange;
    TLVChangingEvent OnChanging;
    TLVEditedEvent OnEdited;
    TLVEditingEvent OnEditing;
    TLVDeletedEvent OnDeletion;
    TLVDeletedEvent OnInsert;
    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;

    static const TClassInfo& HostProperties();

protected:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumns;

    // Makes every item of the view: a TListItem of Items().
    virtual TListItem* CreateListItem();

    // Hooks; each base version raises its event.
    virtual bool CanChange(TListItem* Item, TItemChange Change); // OnChanging
    virtual void Change(TListItem* Item, TItemChange Change);    // OnChange
    virtual bool CanEdit(TListItem* Item);                       // OnEditing
    // The edit ended with a text: OnEdited (whose handler may change the text), then the item
    // takes the final text as its caption.
    virtual void Edit(const TLVItem& Item);
    virtual void Delete(TListItem* Item);            // OnDeletion, before the item goes
    virtual void ItemInserted(TListItem* Item);      // OnInsert
    virtual void ColumnClicked(TListColumn* Column); // OnColumnClick

    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void CMExit(TMessage& Message) override;
    void Paint() override;
    bool VertScrollBarVisible() const override;
    bool HorzScrollBarVisible() const override;
    TScrollBarState ScrollBarState(TScrollBarKind Kind) const override;

private:
    friend class TListViewPainter;
    int ColumnLeft(int Index) const;
    void TrackDivider(int X);
    struct TLayout {
        int PerLine = 1;    // items in one line (row or list column)
        int LineExtent = 1; // pixels of one line along the scrolling direction
        int CellWidth = 0;
        int CellHeight = 0;
        bool Horizontal = false; // lines are columns (vsList)
    };
    TLayout Layout() const;
    int LineCount(const TLayout& L) const;
    int VisibleLines(const TLayout& L) const;
    int HeaderExtent() const;
    TRect InnerRect() const; // the bounds without the frame
    TRect ItemCell(int Index) const;
    void SetTopLine(int Line);

    bool ApplyState(TListItem* Item, bool Select, bool Focus);
    bool SelectItem(TListItem* Item, bool Value);
    bool FocusItem(TListItem* Item, bool Value);
    void ClickItem(TListItem* Item, bool Toggle);
    bool StartEdit(TListItem* Item);
    bool FinishEdit(bool Cancel);
    void DropEditor();
    // Whether an item pointer still names an item of this view (compares pointers only, so it
    // is safe after a handler may have deleted the item).
    bool Alive(const TListItem* Item) const;
    void MakeItemVisible(const TListItem* Item);
    int CompareItems(TListItem* A, TListItem* B);
    void ItemLeaving(TListItem* Item);
    void ItemRemoved(TListItem* Item);
    void ItemsChanged();
    // The selected items in index order, leaving out Except; with Focused, the focused item too.
    std::vector<TListItem*> SelectedItems(const TListItem* Except, bool Focused) const;
    void MoveFocusByKey(uint16_t Key);

    std::unique_ptr<TListItems> FItems;
    std::unique_ptr<TListColumns> FColumns;
    std::unique_ptr<TIconOptions> FIconOptions;
    TListItem* FFocusedItem = nullptr;
    // The selected items (those whose FSelected is set), so that selection changes of a long
    // list need not visit every item.
    std::unordered_set<TListItem*> FSelection;
    TListItem* FEditItem = nullptr;
    TInplaceEditor FEditor;
    TCustomImageList* FLargeImages = nullptr;
    TCustomImageList* FSmallImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    std::unique_ptr<TChangeLink> FLargeChangeLink;
    std::unique_ptr<TChangeLink> FSmallChangeLink;
    std::unique_ptr<TChangeLink> FStateChangeLink;
    int FTopLine = 0;
    int FResizeColumn = -1;
    TPoint FPressPoint; // where the last mouse press was, for the drag image's hot spot
    int FAllocBy = 0;
    TViewStyle FViewStyle = vsIcon;
    TSortType FSortType = stNone;
    bool FMultiSelect = false;
    bool FReadOnly = false;
    bool FColumnClick = true;
    bool FShowColumnHeaders = true;
    bool FHideSelection = true;
};

class TListView : public TCustomListView {
    ORVEL_PUBLISHED(TListView)
public:
    explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
};

} // namespace orvel
