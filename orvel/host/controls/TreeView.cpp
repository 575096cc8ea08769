// The tree view: nodes linked in sibling chains, the node collection, selection, expansion,
// in-place caption editing, row geometry and scrolling.
#include "orvel/host/controls/ComCtrls.h"

#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>
#include <exception>

namespace orvel {

namespace {

// The next node of Root's branch in depth-first order, or none at its end.
TTreeNode* NextInBranch(TTreeNode* node, const TTreeNode* root) {
    if (node->GetFirstChild()) return node->GetFirstChild();
    while (node && node != root) {
        if (node->GetNextSibling()) return node->GetNextSibling();
        node = node->Parent();
    }
    return nullptr;
}

bool InBranch(const TTreeNode* node, const TTreeNode* root) {
    return node && (node == root || node->HasAsParent(root));
}

} // namespace

// --- TTreeNode ----------------------------------------------------------------------------

TTreeNode::TTreeNode(TTreeNodes* AOwner) : FOwner(AOwner) {}

TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const {
    return FOwner ? FOwner->Owner() : nullptr;
}

void TTreeNode::Changed() {
    if (TCustomTreeView* tv = TreeView()) tv->Invalidate();
}

void TTreeNode::SetText(const std::string& value) {
    if (value == FText) return;
    FText = value;
    TCustomTreeView* tv = TreeView();
    // A tree sorted by text keeps the node at its sorted place among its siblings.
    if (tv && (tv->SortType() == stText || tv->SortType() == stBoth) && !Deleting()) {
        FOwner->Unlink(this);
        FOwner->Link(this, FParent, FOwner->SortedPlace(FParent, FText));
        tv->NodesChanged();
        return;
    }
    Changed();
}

void TTreeNode::SetImageIndex(int value) {
    if (value == FImageIndex) return;
    FImageIndex = value;
    Changed();
}

void TTreeNode::SetSelectedIndex(int value) {
    if (value == FSelectedIndex) return;
    FSelectedIndex = value;
    Changed();
}

void TTreeNode::SetStateIndex(int value) {
    if (value == FStateIndex) return;
    FStateIndex = value;
    Changed();
}

void TTreeNode::SetOverlayIndex(int value) {
    if (value == FOverlayIndex) return;
    FOverlayIndex = value;
    Changed();
}

void TTreeNode::SetHasChildren(bool value) {
    if (value == HasChildren()) return;
    SetFlag(fHasChildren, value);
    Changed();
}

void TTreeNode::SetExpanded(bool value) {
    if (value)
        Expand(false);
    else
        Collapse(false);
}

void TTreeNode::Expand(bool Recurse) {
    if (TCustomTreeView* tv = TreeView()) tv->ExpandNode(this, Recurse);
}

void TTreeNode::Collapse(bool Recurse) {
    if (TCustomTreeView* tv = TreeView()) tv->CollapseNode(this, Recurse);
}

bool TTreeNode::IsNodeVisible() const {
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        if (!p->Expanded()) return false;
    return true;
}

TTreeNode* TTreeNode::GetNext() const {
    if (FFirstChild) return FFirstChild;
    for (const TTreeNode* n = this; n; n = n->FParent)
        if (n->FNextSibling) return n->FNextSibling;
    return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const {
    if (TTreeNode* p = GetPrevSibling()) {
        while (p->FFirstChild)
            p = p->GetLastChild();
        return p;
    }
    return FParent;
}

TTreeNode* TTreeNode::GetNextVisible() const {
    if (Expanded()) return FFirstChild;
    for (const TTreeNode* n = this; n; n = n->FParent)
        if (n->FNextSibling) return n->FNextSibling;
    return nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
    if (TTreeNode* p = GetPrevSibling()) {
        while (p->Expanded())
            p = p->GetLastChild();
        return p;
    }
    return FParent;
}

bool TTreeNode::HasAsParent(const TTreeNode* Node) const {
    if (!Node) return false;
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        if (p == Node) return true;
    return false;
}

TTreeNode* TTreeNode::Item(int Index) const {
    if (Index < 0 || Index >= FCount)
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    TTreeNode* n = FFirstChild;
    while (Index-- > 0)
        n = n->FNextSibling;
    return n;
}

int TTreeNode::IndexOf(const TTreeNode* Child) const {
    int i = 0;
    for (const TTreeNode* n = FFirstChild; n; n = n->FNextSibling, ++i)
        if (n == Child) return i;
    return -1;
}

int TTreeNode::Index() const {
    int i = 0;
    for (const TTreeNode* n = GetPrevSibling(); n; n = n->GetPrevSibling())
        ++i;
    return i;
}

int TTreeNode::Level() const {
    int level = 0;
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        ++level;
    return level;
}

int TTreeNode::AbsoluteIndex() const {
    int i = 0;
    for (const TTreeNode* n = FOwner->GetFirstNode(); n; n = n->GetNext(), ++i)
        if (n == this) return i;
    return -1;
}

bool TTreeNode::Selected() const {
    TCustomTreeView* tv = TreeView();
    return tv && tv->Selected() == this;
}

void TTreeNode::SetSelected(bool value) {
    TCustomTreeView* tv = TreeView();
    if (!tv) return;
    if (value)
        tv->SetSelected(this);
    else if (tv->Selected() == this)
        tv->SetSelected(nullptr);
}

bool TTreeNode::DropTarget() const {
    TCustomTreeView* tv = TreeView();
    return tv && tv->DropTarget() == this;
}

void TTreeNode::SetCut(bool value) {
    if (value == Cut()) return;
    SetFlag(fCut, value);
    Changed();
}

void TTreeNode::Delete() {
    FOwner->Delete(this);
}

void TTreeNode::DeleteChildren() {
    FOwner->BeginUpdate();
    try {
        while (FFirstChild)
            FOwner->Delete(FFirstChild);
    } catch (...) {
        FOwner->EndUpdate();
        throw;
    }
    FOwner->EndUpdate();
}

void TTreeNode::MoveTo(TTreeNode* Destination, TNodeAttachMode Mode) {
    if (Destination == this || InBranch(Destination, this)) return;
    if (Destination && Destination->FOwner != FOwner) return;
    TTreeNode* parent = nullptr;
    bool first = false;
    TTreeNode* before = nullptr;
    switch (Mode) {
    case naAdd:
    case naAddFirst:
        parent = Destination ? Destination->FParent : nullptr;
        first = Mode == naAddFirst;
        break;
    case naAddChild:
    case naAddChildFirst:
        parent = Destination;
        first = Mode == naAddChildFirst;
        break;
    case naInsert:
        parent = Destination ? Destination->FParent : nullptr;
        before = Destination;
        break;
    }
    TTreeNode* oldParent = FParent;
    FOwner->Unlink(this);
    if (first) before = parent ? parent->FFirstChild : FOwner->FFirst;
    FOwner->Link(this, parent, before);
    if (parent) parent->SetFlag(fHasChildren, true);
    if (oldParent && !oldParent->FFirstChild) oldParent->SetFlag(fHasChildren, false);
    if (TCustomTreeView* tv = TreeView()) tv->NodesChanged();
}

bool TTreeNode::EditText() {
    TCustomTreeView* tv = TreeView();
    return tv && tv->StartEdit(this);
}

void TTreeNode::EndEdit(bool Cancel) {
    TCustomTreeView* tv = TreeView();
    if (tv) tv->FinishEdit(Cancel);
}

void TTreeNode::MakeVisible() {
    if (TCustomTreeView* tv = TreeView()) tv->MakeNodeVisible(this);
}

TRect TTreeNode::DisplayRect(bool TextOnly) const {
    TCustomTreeView* tv = TreeView();
    if (!tv || !IsNodeVisible()) return {};
    int row = tv->VisibleIndexOf(this) - tv->VisibleIndexOf(tv->TopItem());
    int top = row * tv->ItemHeight();
    int bottom = top + tv->ItemHeight();
    if (!TextOnly) return {0, top, tv->ClientWidth(), bottom};
    int left = tv->LabelLeft(this);
    return {left, top, left + tv->LabelWidth(this), bottom};
}

void TTreeNode::AlphaSort(bool Recurse) {
    if (TCustomTreeView* tv = TreeView()) tv->SortSiblings(this, Recurse);
}

void TTreeNode::Assign(TPersistent* Source) {
    auto* node = dynamic_cast<TTreeNode*>(Source);
    if (!node) {
        TPersistent::Assign(Source);
        return;
    }
    SetText(node->FText);
    FData = node->FData;
    SetImageIndex(node->FImageIndex);
    SetSelectedIndex(node->FSelectedIndex);
    SetStateIndex(node->FStateIndex);
    SetOverlayIndex(node->FOverlayIndex);
}

// --- TTreeNodes ---------------------------------------------------------------------------

TTreeNodes::TTreeNodes(TCustomTreeView* AOwner) : FOwner(AOwner) {}

TTreeNodes::~TTreeNodes() {
    FreeAll();
}

void TTreeNodes::FreeAll() {
    while (FFirst)
        DeleteBranch(FFirst, false);
}

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const std::string& S) {
    return AddObject(Sibling, S, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const std::string& S, void* Data) {
    return InternalAdd(Sibling ? Sibling->Parent() : nullptr, nullptr, false, S, Data);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* Sibling, const std::string& S) {
    return AddObjectFirst(Sibling, S, nullptr);
}

TTreeNode* TTreeNodes::AddObjectFirst(TTreeNode* Sibling, const std::string& S, void* Data) {
    return InternalAdd(Sibling ? Sibling->Parent() : nullptr, nullptr, true, S, Data);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::string& S) {
    return AddChildObject(Parent, S, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const std::string& S, void* Data) {
    return InternalAdd(Parent, nullptr, false, S, Data);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const std::string& S) {
    return AddChildObjectFirst(Parent, S, nullptr);
}

TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* Parent, const std::string& S, void* Data) {
    return InternalAdd(Parent, nullptr, true, S, Data);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const std::string& S) {
    return InsertObject(Sibling, S, nullptr);
}

TTreeNode* TTreeNodes::InsertObject(TTreeNode* Sibling, const std::string& S, void* Data) {
    return InternalAdd(Sibling ? Sibling->Parent() : nullptr, Sibling, false, S, Data);
}

TTreeNode* TTreeNodes::InternalAdd(TTreeNode* Parent, TTreeNode* Before, bool First,
                                   const std::string& S, void* Data) {
    if (Parent && Parent->FOwner != this)
        throw ETreeViewError("A node can only be added under a node of the same tree");
    if (Parent && Parent->Deleting())
        throw ETreeViewError("A node cannot be added under a node that is being deleted");
    std::unique_ptr<TTreeNode> node(FOwner->CreateNode());
    if (!node) throw ETreeViewError("The tree made no node");
    node->FOwner = this;
    node->FText = S;
    node->FData = Data;
    TSortType sort = FOwner->SortType();
    if (sort == stText || sort == stBoth)
        Before = SortedPlace(Parent, S);
    else if (First)
        Before = Parent ? Parent->FFirstChild : FFirst;
    TTreeNode* added = node.release();
    Link(added, Parent, Before);
    ++FCount;
    if (Parent) Parent->SetFlag(TTreeNode::fHasChildren, true);
    FOwner->NodesChanged();
    return added;
}

// The first sibling's backward link names the last sibling (see TTreeNode).
void TTreeNodes::Link(TTreeNode* Node, TTreeNode* Parent, TTreeNode* Before) {
    TTreeNode*& first = Parent ? Parent->FFirstChild : FFirst;
    Node->FParent = Parent;
    if (!first) {
        Node->FPrevSibling = Node;
        Node->FNextSibling = nullptr;
        first = Node;
    } else if (!Before) {
        TTreeNode* last = first->FPrevSibling;
        last->FNextSibling = Node;
        Node->FPrevSibling = last;
        Node->FNextSibling = nullptr;
        first->FPrevSibling = Node;
    } else {
        Node->FNextSibling = Before;
        Node->FPrevSibling = Before->FPrevSibling; // the last sibling when Before is the first
        if (Before == first)
            first = Node;
        else
            Before->FPrevSibling->FNextSibling = Node;
        Before->FPrevSibling = Node;
    }
    if (Parent) ++Parent->FCount;
}

void TTreeNodes::Unlink(TTreeNode* Node) {
    TTreeNode* parent = Node->FParent;
    TTreeNode*& first = parent ? parent->FFirstChild : FFirst;
    TTreeNode* next = Node->FNextSibling;
    TTreeNode* prev = Node->FPrevSibling; // the last sibling when Node is the first
    if (Node == first) {
        first = next;
        if (next) next->FPrevSibling = prev;
    } else {
        prev->FNextSibling = next;
        if (next)
            next->FPrevSibling = prev;
        else
            first->FPrevSibling = prev; // Node was the last sibling
    }
    Node->FPrevSibling = nullptr;
    Node->FNextSibling = nullptr;
    Node->FParent = nullptr;
    if (parent) --parent->FCount;
}

TTreeNode* TTreeNodes::SortedPlace(TTreeNode* Parent, const std::string& S) const {
    for (TTreeNode* n = Parent ? Parent->FFirstChild : FFirst; n; n = n->FNextSibling)
        if (CompareText(n->FText, S) > 0) return n;
    return nullptr;
}

// Frees a branch children first, without recursion (a branch may be very deep). Every node of
// the branch is marked as deleting before the first goes, so that handlers of OnDeletion can
// neither delete them again nor add children to them. An exception of a handler does not stop
// the deletion; the first one is raised at the end.
void TTreeNodes::DeleteBranch(TTreeNode* Node, bool Events) {
    for (TTreeNode* n = Node; n; n = NextInBranch(n, Node))
        n->SetFlag(TTreeNode::fDeleting, true);
    std::exception_ptr error;
    TTreeNode* current = Node;
    for (;;) {
        while (current->FFirstChild)
            current = current->FFirstChild;
        TTreeNode* next = current == Node         ? nullptr
                          : current->FNextSibling ? current->FNextSibling
                                                  : current->FParent;
        if (Events) {
            try {
                FOwner->Delete(current);
            } catch (...) {
                if (!error) error = std::current_exception();
            }
        }
        Unlink(current);
        --FCount;
        delete current;
        if (!next) break;
        current = next;
    }
    if (error) std::rethrow_exception(error);
}

void TTreeNodes::Delete(TTreeNode* Node) {
    if (!Node || Node->FOwner != this || Node->Deleting()) return;
    TCustomTreeView* tv = FOwner;
    bool selectionInside = InBranch(tv->FSelected, Node);
    TTreeNode* newSelection = nullptr;
    if (selectionInside) {
        newSelection = Node->FNextSibling       ? Node->FNextSibling
                       : Node->GetPrevSibling() ? Node->GetPrevSibling()
                                                : Node->FParent;
    }
    tv->BeforeBranchDeleted(Node);
    TTreeNode* parent = Node->FParent;
    std::exception_ptr error;
    try {
        DeleteBranch(Node, true);
    } catch (...) {
        error = std::current_exception();
    }
    if (parent && !parent->FFirstChild) parent->SetFlag(TTreeNode::fHasChildren, false);
    tv->NodesChanged();
    if (selectionInside) {
        tv->FSelected = newSelection;
        tv->Change(newSelection);
    }
    if (error) std::rethrow_exception(error);
}

void TTreeNodes::Clear() {
    TCustomTreeView* tv = FOwner;
    tv->DropEditor();
    tv->FSelected = nullptr;
    tv->FDropTarget = nullptr;
    tv->FTopItem = nullptr;
    // Clearing a tree that has no nodes changes nothing on screen: no repaint is asked for.
    const bool hadNodes = FFirst != nullptr;
    std::exception_ptr error;
    while (FFirst) {
        try {
            DeleteBranch(FFirst, true);
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    if (hadNodes) tv->NodesChanged();
    if (error) std::rethrow_exception(error);
}

TTreeNode* TTreeNodes::Item(int Index) const {
    if (Index < 0 || Index >= FCount)
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    TTreeNode* n = FFirst;
    while (Index-- > 0)
        n = n->GetNext();
    return n;
}

bool TTreeNodes::Contains(const TTreeNode* Node) const {
    if (!Node) return false;
    for (const TTreeNode* n = FFirst; n; n = n->GetNext())
        if (n == Node) return true;
    return false;
}

void TTreeNodes::BeginUpdate() {
    ++FUpdateCount;
}

void TTreeNodes::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) FOwner->Invalidate();
}

void TTreeNodes::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TTreeNodes*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    if (source == this) return;
    BeginUpdate();
    try {
        Clear();
        // Depth-first copy: each source node is added under the copy of its parent.
        std::vector<std::pair<TTreeNode*, TTreeNode*>> parents; // source node, its copy
        for (TTreeNode* n = source->FFirst; n; n = n->GetNext()) {
            while (!parents.empty() && parents.back().first != n->Parent())
                parents.pop_back();
            TTreeNode* copyParent = parents.empty() ? nullptr : parents.back().second;
            TTreeNode* copy = InternalAdd(copyParent, nullptr, false, n->Text(), n->Data());
            copy->Assign(n);
            copy->SetHasChildren(n->HasChildren());
            parents.emplace_back(n, copy);
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- TCustomTreeView ----------------------------------------------------------------------

TCustomTreeView::TCustomTreeView(TComponent* AOwner)
    : TCustomControl(AOwner), FItems(std::make_unique<TTreeNodes>(this)),
      FImageChangeLink(std::make_unique<TChangeLink>()),
      FStateChangeLink(std::make_unique<TChangeLink>()) {
    FImageChangeLink->OnChange = [this](TObject*) { Invalidate(); };
    FStateChangeLink->OnChange = [this](TObject*) { Invalidate(); };
    SetBorderStyle(bsSingle);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TCustomTreeView::~TCustomTreeView() {
    DropEditor();
    FSelected = nullptr;
    FDropTarget = nullptr;
    FTopItem = nullptr;
    FItems->FreeAll();
}

TTreeNode* TCustomTreeView::CreateNode() {
    return new TTreeNode(FItems.get());
}

void TCustomTreeView::SetSelected(TTreeNode* Node) {
    if (Node == FSelected) return;
    if (Node && (Node->Owner() != FItems.get() || Node->Deleting())) return;
    if (IsEditing()) FinishEdit(false);
    if (!CanChange(Node)) return;
    FSelected = Node;
    if (Node) MakeNodeVisible(Node);
    Invalidate();
    Change(FSelected);
}

void TCustomTreeView::SetDropTarget(TTreeNode* Node) {
    if (Node == FDropTarget) return;
    FDropTarget = Node;
    Invalidate();
}

void TCustomTreeView::SetItemHeight(int value) {
    if (value < 1 || value == FItemHeight) return;
    FItemHeight = value;
    NodesChanged();
}

void TCustomTreeView::SetShowButtons(bool value) {
    if (value == FShowButtons) return;
    FShowButtons = value;
    Invalidate();
}

void TCustomTreeView::SetShowLines(bool value) {
    if (value == FShowLines) return;
    FShowLines = value;
    Invalidate();
}

void TCustomTreeView::SetShowRoot(bool value) {
    if (value == FShowRoot) return;
    FShowRoot = value;
    Invalidate();
}

void TCustomTreeView::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
    FReadOnly = value;
    if (value && IsEditing()) FinishEdit(true);
}

void TCustomTreeView::SetHideSelection(bool value) {
    if (value == FHideSelection) return;
    FHideSelection = value;
    Invalidate();
}

void TCustomTreeView::SetIndent(int value) {
    if (value < 0 || value == FIndent) return;
    FIndent = value;
    Invalidate();
}

void TCustomTreeView::SetSortType(TSortType value) {
    if (value == FSortType) return;
    FSortType = value;
    if (value != stNone) AlphaSort();
}

void TCustomTreeView::SetImages(TCustomImageList* value) {
    if (value == FImages) return;
    if (FImages) RemoveFreeNotification(FImages);
    FImages = value;
    FImageChangeLink->SetSender(value);
    if (value) FreeNotification(value);
    Invalidate();
}

void TCustomTreeView::SetStateImages(TCustomImageList* value) {
    if (value == FStateImages) return;
    if (FStateImages) RemoveFreeNotification(FStateImages);
    FStateImages = value;
    FStateChangeLink->SetSender(value);
    if (value) FreeNotification(value);
    Invalidate();
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    if (AComponent == FImages) {
        FImageChangeLink->SetSender(nullptr);
        FImages = nullptr;
        Invalidate();
    }
    if (AComponent == FStateImages) {
        FStateChangeLink->SetSender(nullptr);
        FStateImages = nullptr;
        Invalidate();
    }
}

void TCustomTreeView::Invalidate() {
    // While the nodes are being updated the tree repaints once, at the end.
    if (FItems && FItems->UpdateCount() > 0) return;
    TWinControl::Invalidate();
}

void TCustomTreeView::NodesChanged() {
    FRowCountCache = -1;
    FTopIndexCache = -1;
    Invalidate();
}

void TCustomTreeView::BeforeBranchDeleted(TTreeNode* Node) {
    if (InBranch(FEditNode, Node)) DropEditor();
    if (InBranch(FDropTarget, Node)) FDropTarget = nullptr;
    if (InBranch(FTopItem, Node))
        FTopItem = Node->IsNodeVisible() ? Node->GetPrevVisible() : Node->Parent();
    if (InBranch(FSelected, Node)) FSelected = nullptr;
}

// --- Hooks ---

bool TCustomTreeView::CanExpand(TTreeNode* Node) {
    bool allow = true;
    if (OnExpanding) OnExpanding(this, Node, allow);
    return allow;
}

void TCustomTreeView::Expand(TTreeNode* Node) {
    if (OnExpanded) OnExpanded(this, Node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* Node) {
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, Node, allow);
    return allow;
}

void TCustomTreeView::Collapse(TTreeNode* Node) {
    if (OnCollapsed) OnCollapsed(this, Node);
}

bool TCustomTreeView::CanChange(TTreeNode* Node) {
    bool allow = true;
    if (OnChanging) OnChanging(this, Node, allow);
    return allow;
}

void TCustomTreeView::Change(TTreeNode* Node) {
    if (OnChange) OnChange(this, Node);
}

bool TCustomTreeView::CanEdit(TTreeNode* Node) {
    bool allow = true;
    if (OnEditing) OnEditing(this, Node, allow);
    return allow;
}

void TCustomTreeView::Edit(const TTVItem& Item) {
    std::string text = Item.Text;
    if (OnEdited) OnEdited(this, Item.Node, text);
    if (Item.Node) Item.Node->SetText(text);
}

void TCustomTreeView::Delete(TTreeNode* Node) {
    if (OnDeletion) OnDeletion(this, Node);
}

void TCustomTreeView::GetImageIndex(TTreeNode* Node) {
    if (OnGetImageIndex) OnGetImageIndex(this, Node);
}

void TCustomTreeView::GetSelectedIndex(TTreeNode* Node) {
    if (OnGetSelectedIndex) OnGetSelectedIndex(this, Node);
}

// --- Expansion ---

void TCustomTreeView::ExpandNode(TTreeNode* Node, bool Recurse) {
    if (!Node->Expanded() && (Node->HasChildren() || Node->GetFirstChild())) {
        // CanExpand may load the children; without any the node stays closed.
        if (CanExpand(Node) && Node->GetFirstChild()) {
            Node->SetFlag(TTreeNode::fExpanded, true);
            NodesChanged();
            Expand(Node);
        }
    }
    if (!Recurse) return;
    for (TTreeNode* child = Node->GetFirstChild(); child;) {
        TTreeNode* next = child->GetNextSibling();
        ExpandNode(child, true);
        child = next;
    }
}

void TCustomTreeView::CollapseNode(TTreeNode* Node, bool Recurse) {
    if (Node->Expanded() && CanCollapse(Node)) {
        Node->SetFlag(TTreeNode::fExpanded, false);
        NodesChanged();
        // A selection hidden by the collapse moves to the collapsed node.
        if (FSelected && FSelected->HasAsParent(Node)) SetSelected(Node);
        Collapse(Node);
    }
    if (!Recurse) return;
    for (TTreeNode* child = Node->GetFirstChild(); child; child = child->GetNextSibling())
        CollapseNode(child, true);
}

void TCustomTreeView::ToggleNode(TTreeNode* Node) {
    if (Node->Expanded())
        CollapseNode(Node, false);
    else
        ExpandNode(Node, false);
}

void TCustomTreeView::FullExpand() {
    FItems->BeginUpdate();
    try {
        for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNextSibling())
            ExpandNode(n, true);
    } catch (...) {
        FItems->EndUpdate();
        throw;
    }
    FItems->EndUpdate();
}

void TCustomTreeView::FullCollapse() {
    FItems->BeginUpdate();
    try {
        for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNextSibling())
            CollapseNode(n, true);
    } catch (...) {
        FItems->EndUpdate();
        throw;
    }
    FItems->EndUpdate();
}

void TCustomTreeView::MakeNodeVisible(TTreeNode* Node) {
    std::vector<TTreeNode*> ancestors;
    for (TTreeNode* p = Node->Parent(); p; p = p->Parent())
        ancestors.push_back(p);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        if (!(*it)->Expanded()) ExpandNode(*it, false);
    if (!Node->IsNodeVisible()) return;
    int index = VisibleIndexOf(Node);
    int top = std::max(0, VisibleIndexOf(TopItem()));
    int page = std::max(1, VisibleCount());
    if (index < top)
        SetTopIndex(index);
    else if (index >= top + page)
        SetTopIndex(index - page + 1);
}

// --- In-place editing ---

bool TCustomTreeView::StartEdit(TTreeNode* Node) {
    if (!Node || FReadOnly || Node->Owner() != FItems.get()) return false;
    if (IsEditing()) {
        if (FEditNode == Node) return true;
        FinishEdit(false);
    }
    // The node being edited is the selected one.
    if (FSelected != Node) {
        SetSelected(Node);
        if (FSelected != Node) return false;
    }
    if (!CanEdit(Node)) return false;
    FEditNode = Node;
    FEditor.Open(Node->Text());
    Invalidate();
    return true;
}

bool TCustomTreeView::FinishEdit(bool Cancel) {
    if (!FEditor.Active()) return false;
    TTVItem item{FEditNode, FEditor.Text()};
    DropEditor();
    if (!Cancel && item.Node) Edit(item);
    return true;
}

void TCustomTreeView::DropEditor() {
    if (!FEditor.Active()) return;
    FEditor.Close();
    FEditNode = nullptr;
    Invalidate();
}

void TCustomTreeView::WndProc(TMessage& Message) {
    // While a caption is edited, the keys go to the editor.
    if (FEditor.Active()) {
        switch (Message.Msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_CHAR:
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            int result = FEditor.HandleMessage(Message);
            if (result != 0) FinishEdit(result < 0);
            return;
        }
        default:
            break;
        }
    }
    TWinControl::WndProc(Message);
}

void TCustomTreeView::CMExit(TMessage& Message) {
    if (IsEditing()) FinishEdit(false);
    TWinControl::CMExit(Message);
}

// --- Mouse and keys ---

void TCustomTreeView::DefaultMouseDown(TMouseButton Button, TShiftState, int X, int Y,
                                       bool DoubleClick) {
    FPressPoint = {X, Y};
    if (IsEditing()) FinishEdit(false);
    TTreeNode* node = GetNodeAt(X, Y);
    if (!node) return;
    THitTests hit = GetHitTestInfoAt(X, Y);
    if (Button == mbLeft) {
        if (hit.Contains(htOnButton)) {
            ToggleNode(node);
            return;
        }
        if (!hit.Contains(htOnItem)) return;
        SetSelected(node);
        // The selection change may have removed nodes: only the selection is used from here.
        if (DoubleClick && FSelected && FSelected == GetNodeAt(X, Y)) ToggleNode(FSelected);
    } else if (Button == mbRight && FRightClickSelect && hit.Contains(htOnItem)) {
        SetSelected(node);
    }
}

void TCustomTreeView::DefaultKeyDown(uint16_t& Key, TShiftState) {
    TTreeNode* s = FSelected;
    switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
        MoveSelectionByKey(Key);
        break;
    case VK_LEFT:
        if (!s) break;
        if (s->Expanded())
            CollapseNode(s, false);
        else if (s->Parent())
            SetSelected(s->Parent());
        break;
    case VK_RIGHT:
        if (!s) break;
        if (!s->Expanded())
            ExpandNode(s, false);
        else
            SetSelected(s->GetFirstChild());
        break;
    case VK_F2:
        if (s) s->EditText();
        break;
    default:
        break;
    }
}

void TCustomTreeView::MoveSelectionByKey(uint16_t Key) {
    TTreeNode* first = FItems->GetFirstNode();
    if (!first) return;
    int rows = RowCount();
    int current = FSelected && FSelected->IsNodeVisible() ? VisibleIndexOf(FSelected) : -1;
    int page = std::max(1, VisibleCount() - 1);
    int target = current;
    switch (Key) {
    case VK_UP:
        target = current < 0 ? 0 : current - 1;
        break;
    case VK_DOWN:
        target = current + 1;
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = rows - 1;
        break;
    case VK_PRIOR:
        target = current - page;
        break;
    case VK_NEXT:
        target = current + page;
        break;
    default:
        break;
    }
    target = std::clamp(target, 0, rows - 1);
    if (target != current) SetSelected(NodeAtVisibleIndex(target));
}

// --- Drag feedback ---

void TCustomTreeView::DragOverFeedback(TDragState State, int X, int Y, bool Accept) {
    SetDropTarget(State != dsDragLeave && Accept ? GetNodeAt(X, Y) : nullptr);
}

void TCustomTreeView::DragCanceled() {
    SetDropTarget(nullptr);
    TWinControl::DragCanceled();
}

// --- Geometry ---

TTreeNode* TCustomTreeView::TopItem() const {
    TTreeNode* top = FTopItem;
    if (!top) return FItems->GetFirstNode();
    while (!top->IsNodeVisible())
        top = top->Parent();
    return top;
}

int TCustomTreeView::VisibleIndexOf(const TTreeNode* Node) const {
    if (!Node) return -1;
    int i = 0;
    for (const TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNextVisible(), ++i)
        if (n == Node) return i;
    return -1;
}

TTreeNode* TCustomTreeView::NodeAtVisibleIndex(int Index) const {
    if (Index < 0) return nullptr;
    TTreeNode* n = FItems->GetFirstNode();
    while (n && Index-- > 0)
        n = n->GetNextVisible();
    return n;
}

int TCustomTreeView::RowCount() const {
    if (FRowCountCache < 0) {
        int count = 0;
        for (const TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNextVisible())
            ++count;
        FRowCountCache = count;
    }
    return FRowCountCache;
}

int TCustomTreeView::VisibleCount() const {
    return std::max(0, ClientHeight() / FItemHeight);
}

int TCustomTreeView::MaxTopIndex() const {
    return std::max(0, RowCount() - std::max(1, VisibleCount()));
}

void TCustomTreeView::SetTopIndex(int Index) {
    Index = std::clamp(Index, 0, MaxTopIndex());
    TTreeNode* top = Index == 0 ? nullptr : NodeAtVisibleIndex(Index);
    if (top == FTopItem) return;
    FTopItem = top;
    FTopIndexCache = Index;
    Invalidate();
}

void TCustomTreeView::SetTopItem(TTreeNode* Node) {
    if (!Node || Node->Owner() != FItems.get() || !Node->IsNodeVisible()) return;
    SetTopIndex(VisibleIndexOf(Node));
}

void TCustomTreeView::ScrollBy(int Rows) {
    SetTopIndex(std::max(0, VisibleIndexOf(TopItem())) + Rows);
}

TTreeNode* TCustomTreeView::NodeAtRow(int Row) const {
    if (Row < 0) return nullptr;
    TTreeNode* n = TopItem();
    while (n && Row-- > 0)
        n = n->GetNextVisible();
    return n;
}

TTreeNode* TCustomTreeView::GetNodeAt(int X, int Y) const {
    if (!ClientRect().Contains({X, Y})) return nullptr;
    return NodeAtRow(Y / FItemHeight);
}

bool TCustomTreeView::VertScrollBarVisible() const {
    int inner = Height() - 2 * BorderWidth();
    return RowCount() * FItemHeight > inner;
}

TScrollBarState TCustomTreeView::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state = TCustomControl::ScrollBarState(Kind);
    if (Kind != sbVertical) return state;
    if (FTopIndexCache < 0 || !FTopItem || !FTopItem->IsNodeVisible())
        FTopIndexCache = std::max(0, VisibleIndexOf(TopItem()));
    state.Max = RowCount() - 1;
    state.Page = std::max(1, VisibleCount());
    state.Position = FTopIndexCache;
    return state;
}

int TCustomTreeView::ImageWidth(const TCustomImageList* List) const {
    return List ? List->Width() : 0;
}

int TCustomTreeView::LabelLeft(const TTreeNode* Node) const {
    int x = (Node->Level() + (FShowRoot ? 1 : 0)) * FIndent;
    if (FStateImages && Node->StateIndex() >= 0) x += ImageWidth(FStateImages);
    if (FImages) x += ImageWidth(FImages);
    return x;
}

int TCustomTreeView::LabelWidth(const TTreeNode* Node) const {
    return Font()->TextWidth(Node->Text()) + 4;
}

THitTests TCustomTreeView::GetHitTestInfoAt(int X, int Y) const {
    THitTests result;
    TRect client = ClientRect();
    if (X < 0)
        result.Include(htToLeft);
    else if (X >= client.Right)
        result.Include(htToRight);
    if (Y < 0)
        result.Include(htAbove);
    else if (Y >= client.Bottom)
        result.Include(htBelow);
    if (!result.Empty()) return result;

    TTreeNode* node = NodeAtRow(Y / FItemHeight);
    if (!node) return THitTests{htNowhere};
    int level = node->Level();
    int contentLeft = (level + (FShowRoot ? 1 : 0)) * FIndent;
    if (X < contentLeft) {
        bool button = FShowButtons && (level > 0 || FShowRoot) && node->HasChildren();
        return THitTests{button && X >= contentLeft - FIndent ? htOnButton : htOnIndent};
    }
    int x = contentLeft;
    if (FStateImages && node->StateIndex() >= 0) {
        x += ImageWidth(FStateImages);
        if (X < x) return THitTests{htOnItem, htOnStateIcon};
    }
    if (FImages) {
        x += ImageWidth(FImages);
        if (X < x) return THitTests{htOnItem, htOnIcon};
    }
    if (X < x + LabelWidth(node)) return THitTests{htOnItem, htOnLabel};
    return THitTests{htOnRight};
}

// --- Sorting ---

int TCustomTreeView::CompareNodes(TTreeNode* A, TTreeNode* B) {
    if (OnCompare) {
        int result = 0;
        OnCompare(this, A, B, 0, result);
        return result;
    }
    return CompareText(A->Text(), B->Text());
}

void TCustomTreeView::SortSiblings(TTreeNode* Parent, bool Recurse) {
    std::vector<TTreeNode*> nodes;
    for (TTreeNode* n = Parent ? Parent->GetFirstChild() : FItems->GetFirstNode(); n;
         n = n->GetNextSibling())
        nodes.push_back(n);
    std::stable_sort(nodes.begin(), nodes.end(),
                     [this](TTreeNode* a, TTreeNode* b) { return CompareNodes(a, b) < 0; });
    for (TTreeNode* n : nodes)
        FItems->Unlink(n);
    for (TTreeNode* n : nodes)
        FItems->Link(n, Parent, nullptr);
    if (Recurse)
        for (TTreeNode* n : nodes)
            if (n->GetFirstChild()) SortSiblings(n, true);
    NodesChanged();
}

void TCustomTreeView::AlphaSort() {
    SortSiblings(nullptr, true);
}

// --- Published properties ---

const TClassInfo& TCustomTreeView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCustomTreeView>("TCustomTreeView", &TWinControl::StaticClassInfo()).Build();
    return info;
}

const TClassInfo& TCustomTreeView::HostProperties() {
    using T = TCustomTreeView;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomTreeView properties", &TWinControl::HostProperties())
            .Property("AutoExpand", &T::AutoExpand, &T::SetAutoExpand, Variant(false))
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsSingle))
            .Property("HideSelection", &T::HideSelection, &T::SetHideSelection, Variant(true))
            .Object("Images", "TCustomImageList", &T::Images, &T::SetImages)
            .Property("Indent", &T::Indent, &T::SetIndent, Variant(19))
            .Property("ReadOnly", &T::ReadOnly, &T::SetReadOnly, Variant(false))
            .Property("RightClickSelect", &T::RightClickSelect, &T::SetRightClickSelect,
                      Variant(false))
            .Property("ShowButtons", &T::ShowButtons, &T::SetShowButtons, Variant(true))
            .Property("ShowLines", &T::ShowLines, &T::SetShowLines, Variant(true))
            .Property("ShowRoot", &T::ShowRoot, &T::SetShowRoot, Variant(true))
            .Enum("SortType", "TSortType", {"stNone", "stData", "stText", "stBoth"}, &T::SortType,
                  &T::SetSortType, std::optional<TSortType>(stNone))
            .Object("StateImages", "TCustomImageList", &T::StateImages, &T::SetStateImages)
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Event("OnChange", "TTVChangedEvent", &T::OnChange)
            .Event("OnChanging", "TTVChangingEvent", &T::OnChanging)
            .Event("OnCollapsed", "TTVExpandedEvent", &T::OnCollapsed)
            .Event("OnCollapsing", "TTVCollapsingEvent", &T::OnCollapsing)
            .Event("OnCompare", "TTVCompareEvent", &T::OnCompare)
            .Event("OnDeletion", "TTVExpandedEvent", &T::OnDeletion)
            .Event("OnEdited", "TTVEditedEvent", &T::OnEdited)
            .Event("OnEditing", "TTVEditingEvent", &T::OnEditing)
            .Event("OnExpanded", "TTVExpandedEvent", &T::OnExpanded)
            .Event("OnExpanding", "TTVExpandingEvent", &T::OnExpanding)
            .Event("OnGetImageIndex", "TTVExpandedEvent", &T::OnGetImageIndex)
            .Event("OnGetSelectedIndex", "TTVExpandedEvent", &T::OnGetSelectedIndex)
            .Build();
    return info;
}

const TClassInfo& TTreeView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTreeView>("TTreeView", &TCustomTreeView::StaticClassInfo())
            .Republish(TCustomTreeView::HostProperties(), {"Align",
                                                           "AutoExpand",
                                                           "BorderStyle",
                                                           "Color",
                                                           "Ctl3D",
                                                           "DragCursor",
                                                           "DragMode",
                                                           "Enabled",
                                                           "Font",
                                                           "HideSelection",
                                                           "Images",
                                                           "Indent",
                                                           "ParentColor",
                                                           "ParentCtl3D",
                                                           "ParentFont",
                                                           "ParentShowHint",
                                                           "PopupMenu",
                                                           "ReadOnly",
                                                           "RightClickSelect",
                                                           "ShowButtons",
                                                           "ShowHint",
                                                           "ShowLines",
                                                           "ShowRoot",
                                                           "SortType",
                                                           "StateImages",
                                                           "TabOrder",
                                                           "TabStop",
                                                           "Visible",
                                                           "OnChange",
                                                           "OnChanging",
                                                           "OnClick",
                                                           "OnCollapsed",
                                                           "OnCollapsing",
                                                           "OnCompare",
                                                           "OnDblClick",
                                                           "OnDeletion",
                                                           "OnDragDrop",
                                                           "OnDragOver",
                                                           "OnEdited",
                                                           "OnEditing",
                                                           "OnEndDrag",
                                                           "OnEnter",
                                                           "OnExit",
                                                           "OnExpanded",
                                                           "OnExpanding",
                                                           "OnGetImageIndex",
                                                           "OnGetSelectedIndex",
                                                           "OnKeyDown",
                                                           "OnKeyPress",
                                                           "OnKeyUp",
                                                           "OnMouseDown",
                                                           "OnMouseMove",
                                                           "OnMouseUp",
                                                           "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
