// The data-aware tree view: configuration and activation, nodes that remember their records,
// loading by key ranges with look-ahead, revealing a record, node display, keeping tree and
// dataset in step both ways, caption editing and insertion, re-parenting by drag and the
// removal of deleted records.
#include "orvel/treeview/DBCustomTreeView.h"

#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace orvel {

// ---- helpers ------------------------------------------------------------------------------------

namespace {

// Runs a series of clean-up steps, each of them whatever the others did, and raises the first
// failure once all have run.
class TCleanups {
public:
    template <class F> void Run(F&& step) {
        try {
            step();
        } catch (...) {
            if (!FFirst) FFirst = std::current_exception();
        }
    }
    void Finish() {
        if (FFirst) std::rethrow_exception(FFirst);
    }

private:
    std::exception_ptr FFirst;
};

// Runs body, then cleanup whether body failed or not. When body fails, its failure is the one
// raised (a failure of the clean-up is dropped).
template <class Body, class Cleanup> void TryFinally(Body&& body, Cleanup&& cleanup) {
    try {
        body();
    } catch (...) {
        try {
            cleanup();
        } catch (...) {
        }
        throw;
    }
    cleanup();
}

// Puts the cursor back after a scan (see CAMoveCursor); a failure is of no interest.
void RestoreCursor(TDataSet* dataSet, bool bof, bool eof, const TBookmark& bookmark) {
    try {
        CAMoveCursor[bof ? 1 : 0][eof ? 1 : 0](dataSet, bookmark);
    } catch (...) {
    }
}

std::size_t Mix(std::size_t h, std::size_t x) {
    return h ^ (x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

// A hash that agrees with key-vector equality: equal key vectors hash alike. Arrays hash by
// their dimension count and the bounds and elements of dimension 1 only (the array's own type
// code is left out, since equality ignores it); other values by the host's hash.
std::size_t KeyHash(const Variant& v) {
    if (!v.IsArray()) return VarHash(v);
    int32_t dims = VarArrayDimCount(v);
    std::size_t h = Mix(0x2545f491, static_cast<std::size_t>(dims));
    if (dims < 1) return h;
    int32_t low = VarArrayLowBound(v, 1), high = VarArrayHighBound(v, 1);
    h = Mix(h, static_cast<std::size_t>(static_cast<uint32_t>(low)));
    h = Mix(h, static_cast<std::size_t>(static_cast<uint32_t>(high)));
    if (dims == 1)
        for (int32_t i = low; i <= high; ++i)
            h = Mix(h, KeyHash(v[i]));
    return h;
}

uint32_t KeyHash32(const Variant& v) {
    std::size_t h = KeyHash(v);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

struct TKeyVectorHash {
    std::size_t operator()(const Variant& v) const { return KeyHash(v); }
};
struct TKeyVectorEqual {
    bool operator()(const Variant& a, const Variant& b) const { return VarEquality(a, b); }
};

std::string Join(const TStrings& list, const char* separator) {
    std::string text;
    for (int i = 0; i < list.Count(); ++i) {
        if (i > 0) text += separator;
        text += list.Get(i);
    }
    return text;
}

// A quoted root-key item: a doubled quote inside stands for one quote; the first and the last
// character are the quotes.
std::string Unquote(std::string item) {
    for (std::size_t i = 1; i + 1 < item.size(); ++i)
        if (item[i] == '\'' && item[i + 1] == '\'') item.erase(i, 1);
    if (item.size() < 2) return std::string();
    return item.substr(1, item.size() - 2);
}

Variant RootKeyItem(const std::string& item) {
    if (SameText(item, "Null")) return Variant::Null();
    if (!item.empty() && item[0] == '\'') return Variant(Unquote(item));
    int32_t whole = 0;
    if (TryStrToInt(item, whole)) return Variant(whole);
    TDateTime date = 0;
    if (TryStrToDateTime(item, date)) return Variant::FromDate(date);
    double number = 0;
    if (TryStrToFloat(item, number)) return Variant(number);
    RaiseRes<EConvertError>(SWrongRootExpression, {item});
}

// Whether a precedes b among the children of one parent.
bool SiblingPrecedes(const TTreeNode* a, const TTreeNode* b) {
    for (const TTreeNode* n = a->GetNextSibling(); n; n = n->GetNextSibling())
        if (n == b) return true;
    return false;
}

// Whether a precedes b in the tree's depth-first order, top to bottom.
bool TreePrecedes(const TTreeNode* a, const TTreeNode* b) {
    std::vector<const TTreeNode*> pathA, pathB;
    for (const TTreeNode* n = a; n; n = n->Parent())
        pathA.push_back(n);
    for (const TTreeNode* n = b; n; n = n->Parent())
        pathB.push_back(n);
    auto ia = pathA.rbegin(), ib = pathB.rbegin();
    while (ia != pathA.rend() && ib != pathB.rend() && *ia == *ib) {
        ++ia;
        ++ib;
    }
    if (ia == pathA.rend()) return ib != pathB.rend(); // a is b or an ancestor of b
    if (ib == pathB.rend()) return false;              // b is an ancestor of a
    return SiblingPrecedes(*ia, *ib);
}

TDBTreeNode* AsDBNode(TTreeNode* node) {
    // Every node of a data-aware tree is made by its CreateNode.
    return static_cast<TDBTreeNode*>(node);
}

} // namespace

// ---- SplitLine, FormLists -----------------------------------------------------------------------

void SplitLine(const std::string& Line, TStrings& List) {
    List.Clear();
    std::size_t pos = 0;
    while (pos < Line.size()) {
        std::size_t end = Line.find(';', pos);
        if (end == std::string::npos) end = Line.size();
        List.Add(Trim(Line.substr(pos, end - pos)));
        pos = end + 1;
    }
}

void FormLists(const TStrings& Items, TStrings& Left, TStrings& Right) {
    Left.Clear();
    Right.Clear();
    for (int i = 0; i < Items.Count(); ++i) {
        std::string item = Items.Get(i);
        std::size_t arrow = item.find("->");
        // The arrow's place counted from 1, 0 when there is none.
        std::size_t p = arrow == std::string::npos ? 0 : arrow + 1;
        Left.Add(item.substr(0, p == 0 ? 0 : p - 1));
        Right.Add(item.substr(std::min(p + 1, item.size())));
    }
}

// ---- the key index ------------------------------------------------------------------------------

// The tree's nodes chained by the hash of their key vectors: FindNode and FindInChildren look
// at the nodes of one key instead of walking the tree, and give the same answers as the walk.
// Nodes enter when they get a key vector and leave when they change it or die, so the index is
// exact under every insertion, deletion, move and SetID.
//
// A node keeps its chain link and the low 21 bits of its key's hash (a node's key does not change
// while it is indexed, since SetID takes it out first). The hash is not mixed further: the keys
// of records read in order fall into neighbouring chains, which keeps a load pass's lookups
// close together in memory.
class TNodeKeyIndex {
public:
    static constexpr uint32_t kKeptBits = 21;
    static constexpr uint32_t kKeptMask = (1U << kKeptBits) - 1;

    void Add(TDBTreeNode* Node) { Add(Node, KeyHash32(Node->FID)); }
    // The same for a node whose key's hash (KeyHash32) is known.
    void Add(TDBTreeNode* Node, uint32_t hash) {
        if (FCount >= FBuckets.size()) Rehash(FBuckets.empty() ? 16 : FBuckets.size() * 2);
        Node->FKeyHashBits = hash & kKeptMask;
        TDBTreeNode*& head = FBuckets[hash & (FBuckets.size() - 1)];
        Node->FNextInChain = head;
        head = Node;
        ++FCount;
    }

    void Remove(TDBTreeNode* Node) {
        if (FBuckets.empty()) return;
        TDBTreeNode** link = &FBuckets[BucketOf(Node, FBuckets.size())];
        while (*link && *link != Node)
            link = &(*link)->FNextInChain;
        if (!*link) return;
        *link = Node->FNextInChain;
        Node->FNextInChain = nullptr;
        if (--FCount == 0) std::vector<TDBTreeNode*>().swap(FBuckets);
    }

    // Calls f for every node whose key vector equals Key.
    template <class F> void ForEachEqual(const Variant& Key, F&& f) const {
        if (!FBuckets.empty()) ForEachEqual(Key, KeyHash32(Key), f);
    }
    // The same for a key whose hash (KeyHash32) is known.
    template <class F> void ForEachEqual(const Variant& Key, uint32_t hash, F&& f) const {
        if (FBuckets.empty()) return;
        for (TDBTreeNode* n = FBuckets[hash & (FBuckets.size() - 1)]; n; n = n->FNextInChain)
            if (n->FKeyHashBits == (hash & kKeptMask) && n->IDEquals2(Key)) f(n);
    }

    // Whether an indexed node's key may equal a key of that hash: a node whose kept bits differ
    // surely has another key.
    static bool MayEqual(const TDBTreeNode* Node, uint32_t hash) {
        return !Node->FIndexed || Node->FKeyHashBits == (hash & kKeptMask);
    }

private:
    // The node's chain in a table of size chains.
    static std::size_t BucketOf(const TDBTreeNode* Node, std::size_t size) {
        if (size - 1 <= kKeptMask) return Node->FKeyHashBits & (size - 1);
        return KeyHash32(Node->FID) & (size - 1);
    }

    void Rehash(std::size_t size) {
        std::vector<TDBTreeNode*> buckets(size, nullptr);
        for (TDBTreeNode* head : FBuckets) {
            while (head) {
                TDBTreeNode* next = head->FNextInChain;
                TDBTreeNode*& slot = buckets[BucketOf(head, size)];
                head->FNextInChain = slot;
                slot = head;
                head = next;
            }
        }
        FBuckets.swap(buckets);
    }

    std::vector<TDBTreeNode*> FBuckets; // a power of two of chains
    std::size_t FCount = 0;
};

// A node pointer held across calls that may delete nodes (application handlers, nested loads):
// it reads nil once its node has died. Guards nest: each lives on the tree's list while its
// scope runs.
class TNodeGuard {
public:
    TNodeGuard(TDBCustomTreeView& tree, TTreeNode* node)
        : FTree(tree), FIndex(tree.FWatched.size()) {
        tree.FWatched.push_back(node);
    }
    ~TNodeGuard() { FTree.FWatched.pop_back(); }
    TNodeGuard(const TNodeGuard&) = delete;
    TNodeGuard& operator=(const TNodeGuard&) = delete;

    TTreeNode* Get() const { return FTree.FWatched[FIndex]; }
    void Set(TTreeNode* node) { FTree.FWatched[FIndex] = node; }

private:
    TDBCustomTreeView& FTree;
    std::size_t FIndex;
};

// The busy counter raised for a scope, lowered on every way out.
class TTreeLock {
public:
    explicit TTreeLock(TDBCustomTreeView& tree) : FTree(tree) { ++FTree.FLockCount; }
    ~TTreeLock() { --FTree.FLockCount; }
    TTreeLock(const TTreeLock&) = delete;
    TTreeLock& operator=(const TTreeLock&) = delete;

private:
    TDBCustomTreeView& FTree;
};

// ---- TDBTreeNode --------------------------------------------------------------------------------

static_assert(sizeof(TDBTreeNode) <= 152 || sizeof(void*) != 8,
              "the marks and hash bits fit the host node's last bytes");

TDBTreeNode::TDBTreeNode(TTreeNodes* AOwner, const Variant& AID, const TBookmark& ABookmark)
    : TTreeNode(AOwner) {
    SetID(AID);
    SetBookMark(ABookmark);
}

TDBTreeNode::TDBTreeNode(TTreeNodes* AOwner, const Variant& AID, TDBCustomTreeView* ATree)
    : TTreeNode(AOwner), FID(AID) {
    AddToIndex(ATree);
}

TDBTreeNode::TDBTreeNode(TTreeNodes* AOwner, Variant&& AID, uint32_t AHash,
                         TDBCustomTreeView* ATree)
    : TTreeNode(AOwner), FID(std::move(AID)) {
    ATree->FNodeIndex->Add(this, AHash);
    FIndexed = true;
}

TDBTreeNode::~TDBTreeNode() {
    if (TDBCustomTreeView* tree = OwnerTree()) tree->NodeDestroyed(this);
}

// The data-aware tree the node belongs to; nil for a node of another tree, and while the tree
// is no longer a data-aware tree (its own destructor has finished).
TDBCustomTreeView* TDBTreeNode::OwnerTree() const {
    return dynamic_cast<TDBCustomTreeView*>(TreeView());
}

void TDBTreeNode::AddToIndex(TDBCustomTreeView* tree) {
    if (!tree) return;
    tree->FNodeIndex->Add(this);
    FIndexed = true;
}

void TDBTreeNode::RemoveFromIndex() {
    if (!FIndexed) return;
    if (TDBCustomTreeView* tree = OwnerTree()) tree->FNodeIndex->Remove(this);
    FIndexed = false;
}

void TDBTreeNode::SetID(const Variant& Value) {
    Variant id = Value; // Value may be this node's own FID
    FBookmark = TBookmark();
    if (FIndexed && VarEquality(FID, id)) {
        FID = std::move(id); // an equal key keeps its place in the index
        return;
    }
    RemoveFromIndex();
    FID = std::move(id);
    AddToIndex(OwnerTree());
}

bool TDBTreeNode::CheckBookMark(TDataSet* DataSet) const {
    return DataSet && DataSet->BookmarkValid(FBookmark);
}

bool TDBTreeNode::Seek(TDataSet* DataSet, const TDBTreeRefreshBookmarkHook& Hook) {
    auto moveTo = [&] {
        try {
            DataSet->GotoBookmark(FBookmark);
        } catch (...) {
            // The record was there a moment ago; the caller checks where the cursor is.
        }
    };
    if (CheckBookMark(DataSet)) {
        moveTo();
        return true;
    }
    if (Hook) {
        SetBookMark(Hook(FID));
        if (CheckBookMark(DataSet)) {
            moveTo();
            return true;
        }
    }
    return false;
}

bool TDBTreeNode::IDEquals2(const Variant& Key) const {
    return VarEquality(FID, Key);
}

void TDBTreeNode::Assign(TPersistent* Source) {
    if (auto* node = dynamic_cast<TDBTreeNode*>(Source)) {
        SetID(node->FID);
        SetBookMark(node->FBookmark);
        FComplete = node->FComplete;
        FVisited = node->FVisited;
    }
    TTreeNode::Assign(Source);
}

// ---- TDBTreeDataLink ----------------------------------------------------------------------------

void TDBTreeDataLink::ActiveChanged() {
    if (FTreeView) FTreeView->DataLinkActiveChanged();
    TFieldDataLink::ActiveChanged();
}

void TDBTreeDataLink::CheckBrowseMode() {
    if (FTreeView) FTreeView->DataLinkCheckBrowseMode();
    TFieldDataLink::CheckBrowseMode();
}

void TDBTreeDataLink::DataSetChanged() {
    if (FTreeView) FTreeView->DataLinkDataSetChanged();
    TFieldDataLink::DataSetChanged();
}

bool TDBTreeDataLink::ClimbAfterLocate(const std::vector<TField*>& fields,
                                       const std::vector<Variant>& values,
                                       TMoveClimb& climb) const {
    return FTreeView && FTreeView->ClimbAfterLocate(fields, values, climb);
}

void TDBTreeDataLink::EditingChanged() {
    if (FTreeView) FTreeView->DataLinkEditingChanged();
    TFieldDataLink::EditingChanged();
}

void TDBTreeDataLink::RecordChanged(TField* Field) {
    if (FTreeView) FTreeView->DataLinkRecordChanged(Field);
    TFieldDataLink::RecordChanged(Field);
}

void TDBTreeDataLink::UpdateData() {
    if (FTreeView) FTreeView->DataLinkUpdateData();
    TFieldDataLink::UpdateData();
}

// ---- TDBCustomTreeView: life --------------------------------------------------------------------

TDBCustomTreeView::TDBCustomTreeView(TComponent* AOwner)
    : TCustomTreeView(AOwner), FKeyFieldList(std::make_unique<TStringList>()),
      FParentFieldList(std::make_unique<TStringList>()),
      FBranchQueue(std::make_unique<TKeysArray>()), FNodeQueue(std::make_unique<TKeysArray>()),
      FDataLink(std::make_unique<TDBTreeDataLink>(this)),
      FNodeIndex(std::make_unique<TNodeKeyIndex>()) {
    FDataLink->SetControl(this);
}

TDBCustomTreeView::~TDBCustomTreeView() {
    try {
        ClearTree();
    } catch (...) {
        // An OnDeletion handler failed; the nodes are gone all the same.
    }
    FDataLink->SetTreeView(nullptr);
    // The dataset outlives the tree: its delete events must not keep the tree's hooks.
    FreeHooks(FHookedDataSet);
    FDataLink.reset();
    FRootKeyValues.Clear();
}

void TDBCustomTreeView::CreateWnd() {
    TCustomTreeView::CreateWnd();
    DataLinkActiveChanged();
}

void TDBCustomTreeView::DestroyWnd() {
    FQueuesPending = false;
    FCheckBrowsePosted = false;
    FBranchQueue->Clear();
    FNodeQueue->Clear();
    FPendingDrops.clear();
    TCustomTreeView::DestroyWnd();
}

void TDBCustomTreeView::Loaded() {
    TCustomTreeView::Loaded();
    DataLinkActiveChanged();
}

void TDBCustomTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomTreeView::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    // A view whose hook this tree keeps as the handler it stands in for is going: that hook
    // goes with it.
    auto boundToGoing = [&](const TDataSetNotifyEvent& e) {
        return e.Data() && (e.Data() == static_cast<void*>(AComponent) ||
                            e.Data() == dynamic_cast<void*>(AComponent));
    };
    if (boundToGoing(FOldBeforeDelete)) FOldBeforeDelete = TDataSetNotifyEvent();
    if (boundToGoing(FOldAfterDelete)) FOldAfterDelete = TDataSetNotifyEvent();
    if (AComponent == FHookedDataSet) {
        // A dataset being destroyed takes its events with it.
        FHookedDataSet = nullptr;
        FOldBeforeDelete = TDataSetNotifyEvent();
        FOldAfterDelete = TDataSetNotifyEvent();
        FBeforeHookPlaced = false;
        FAfterHookPlaced = false;
    }
    if (FDataLink && AComponent == FDataLink->GetDataSource()) {
        FDataLink->SetDataSource(nullptr);
        InitFields();
        FNotLoaded = true;
        DataLinkActiveChanged();
    }
}

void TDBCustomTreeView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_DBTREERELOAD:
        WMDoReload(Message);
        return;
    case WM_DBTREERELOADBRANCH:
        WMDoReloadBranch(Message);
        return;
    case WM_DBTREEREREADNODE:
        WMDoRereadNode(Message);
        return;
    case WM_DBTREEEDITBYDRAG:
        WMDoEditByDrag(Message);
        return;
    case WM_DBTREECHECKBROWSEMODE:
        WMDoCheckBrowseMode(Message);
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // No automatic drag starts on a dataset that cannot be modified.
        if (FDataLink->Active() && !DataSet()->CanModify()) {
            WithManualDrag(Message);
            return;
        }
        break;
    default:
        break;
    }
    TCustomTreeView::WndProc(Message);
}

void TDBCustomTreeView::WithManualDrag(TMessage& Message) {
    TDragMode mode = DragMode();
    SetDragMode(dmManual);
    TryFinally([&] { TCustomTreeView::WndProc(Message); }, [&] { SetDragMode(mode); });
}

TTreeNode* TDBCustomTreeView::CreateNode() {
    if (FLoadingKey) {
        // The key the load pass read for this record moves into the node; a node made before
        // the set-up (by a handler) reads the dataset as any other.
        Variant* key = std::exchange(FLoadingKey, nullptr);
        auto* node = new TDBTreeNode(Items(), std::move(*key), FLoadingHash, this);
        FKeyTakenBy = node;
        return node;
    }
    Variant key;
    if (FDataLink && FDataLink->Active()) GetKeyValues(key);
    return new TDBTreeNode(Items(), key, this);
}

void TDBCustomTreeView::NodeDestroyed(TDBTreeNode* Node) {
    if (Node->FIndexed) {
        FNodeIndex->Remove(Node);
        Node->FIndexed = false;
    }
    if (FDeletingNode == Node) FDeletingNode = nullptr;
    if (FPendingNode == Node) FPendingNode = nullptr;
    if (FKeyTakenBy == Node) FKeyTakenBy = nullptr;
    for (TTreeNode*& watched : FWatched)
        if (watched == Node) watched = nullptr;
}

// ---- configuration ------------------------------------------------------------------------------

int TDBCustomTreeView::GetDefState() const {
    TCustomImageList* images = StateImages();
    return images && FDefState >= 0 && FDefState < images->Count() ? FDefState : -1;
}

int TDBCustomTreeView::GetDefImage() const {
    TCustomImageList* images = Images();
    return images && FDefImage >= 0 && FDefImage < images->Count() ? FDefImage : -1;
}

int TDBCustomTreeView::GetKeyFieldsCount() const {
    if (!FRootKeyValues.IsArray()) return 0;
    return VarArrayHighBound(FRootKeyValues, 1) + 1;
}

void TDBCustomTreeView::SetDataSource(TDataSource* Value) {
    ClearTree();
    FDataLink->SetDataSource(Value);
    if (Value) FreeNotification(Value);
}

void TDBCustomTreeView::SetStatusIDField(const std::string& Value) {
    if (Value == FStatusIDField) return;
    FStatusIDField = Value;
    DataLinkActiveChanged();
}

void TDBCustomTreeView::SetImageIDField(const std::string& Value) {
    if (Value == FImageIDField) return;
    FImageIDField = Value;
    DataLinkActiveChanged();
}

void TDBCustomTreeView::SetNameField(const std::string& Value) {
    if (Value == FNameField) return;
    FNameField = Value;
    FDataLink->SetFieldName(Value);
    DataLinkActiveChanged();
}

void TDBCustomTreeView::SetRelations(const std::string& Value) {
    if (Value == FLinksFields) return;
    std::string previous = std::exchange(FLinksFields, Value);
    try {
        DataLinkActiveChanged();
    } catch (...) {
        // A relation text the bound dataset refuses leaves the tree on the one it had.
        FLinksFields = std::move(previous);
        try {
            DataLinkActiveChanged();
        } catch (...) {
        }
        throw;
    }
}

void TDBCustomTreeView::SetTopParentKey(const std::string& Value) {
    TStringList items;
    SplitLine(Value, items);
    Variant keys = VarArrayCreate({0, items.Count() - 1}, varVariant);
    for (int i = 0; i < items.Count(); ++i)
        VarArrayPut(keys, RootKeyItem(items.Get(i)), {i});
    if (VarEquality(keys, FRootKeyValues)) return;
    FRootKey = Value;
    FRootKeyValues = std::move(keys);
    DataLinkActiveChanged();
}

// ---- keys and activation ------------------------------------------------------------------------

void TDBCustomTreeView::GetKeyValues(Variant& Key) const {
    TDataSet* dataSet = DataSet();
    if (!dataSet) {
        Key.Clear();
        return;
    }
    dataSet->GetFieldValue(FKeyList, Key);
}

Variant TDBCustomTreeView::GetKeyValues() const {
    Variant key;
    GetKeyValues(key);
    return key;
}

bool TDBCustomTreeView::CreateKeyValues(Variant& Key) {
    GetKeyValues(Key);
    return true;
}

bool TDBCustomTreeView::KeysAreEquals(const Variant& Key) const {
    if (!FDataLink->Active()) return false;
    return VarEquality(Key, GetKeyValues());
}

bool TDBCustomTreeView::AllDataObjectsAreSet() const {
    return FDataLink->GetDataSource() && FDataLink->GetDataSource()->GetDataSet();
}

void TDBCustomTreeView::SetActive(bool Value) {
    if (Value == FActive) return;
    if (Value)
        DoReload();
    else
        ClearTree();
    FActive = Value;
}

void TDBCustomTreeView::InitFields() {
    FImageField = nullptr;
    FStatusField = nullptr;
    FTextField = nullptr;
}

bool TDBCustomTreeView::ActivateDataSet() {
    TTreeLock lock(*this);
    ActiveChanging(FDataLink->Active());
    // Nothing of an earlier binding survives a failed one.
    InitFields();
    if (!FDataLink->Active()) {
        FreeHooks(FHookedDataSet);
        // The host detaches the links of a data source before it tells of its removal: a link
        // left without one is how the removal shows.
        if (!FDataLink->GetDataSource()) FNotLoaded = true;
        return false;
    }
    TDataSet* dataSet = DataSet();
    FImageField = dataSet->FindField(FImageIDField);
    FStatusField = dataSet->FindField(FStatusIDField);
    FTextField = dataSet->FieldByName(FNameField);
    try {
        ParseRelations(*dataSet);
    } catch (...) {
        FreeHooks(FHookedDataSet);
        throw;
    }
    AddHooks(dataSet);
    return true;
}

namespace {

// Why a relation item does not make a pair of the dataset's fields ("" when it does).
std::string RelationFault(const TDataSet& DataSet, const std::string& Item, const std::string& Left,
                          const std::string& Right) {
    if (Item.find("->") == std::string::npos) return "'" + Item + "' is not PARENT->KEY";
    if (!DataSet.FindField(Left)) return "'" + Item + "': no field '" + Left + "'";
    if (!DataSet.FindField(Right)) return "'" + Item + "': no field '" + Right + "'";
    return "'" + Item + "' repeats a field";
}

} // namespace

// Keeps the relation pairs whose two fields exist and whose names are not used by an earlier
// pair; the others are dropped without a word. A text that names pairs but none that fits is
// refused: every key vector would be empty, and each level would show one node standing for all
// its records.
void TDBCustomTreeView::ParseRelations(TDataSet& DataSet) {
    TStringList items, left, right;
    SplitLine(FLinksFields, items);
    FormLists(items, left, right);
    std::string faults;
    bool named = false;
    int i = 0;
    while (i < items.Count()) {
        std::string leftName = left.Get(i), rightName = right.Get(i);
        named = named || !items.Get(i).empty();
        bool valid = DataSet.FindField(rightName) && DataSet.FindField(leftName) &&
                     left.IndexOf(leftName) == i && right.IndexOf(rightName) == i;
        if (valid) {
            ++i;
            continue;
        }
        if (!items.Get(i).empty())
            faults += (faults.empty() ? "" : "; ") +
                      RelationFault(DataSet, items.Get(i), leftName, rightName);
        items.Delete(i);
        left.Delete(i);
        right.Delete(i);
    }
    if (named && items.Count() == 0) {
        FKeyFieldList->Clear();
        FParentFieldList->Clear();
        FKeyLinks.clear();
        FKeyList = ";";
        FParentLinks.clear();
        throw ETreeViewError("LinksFields '" + FLinksFields +
                             "' names no pair of the dataset's fields: " + faults);
    }
    FKeyFieldList->Assign(&right);
    FParentFieldList->Assign(&left);
    FKeyLinks = Join(right, ";");
    FKeyList = FKeyLinks + ";";
    FParentLinks = Join(left, ";") + ";";
}

void TDBCustomTreeView::DataLinkActiveChanged() {
    if (IsStopped()) return;
    TTreeLock lock(*this);
    bool active = false;
    try {
        active = ActivateDataSet();
    } catch (...) {
        ClearTree(); // no node stays from a binding that failed
        throw;
    }
    if (active && !DataSet()->IsLoading())
        PostReload();
    else
        ClearTree();
}

void TDBCustomTreeView::DataLinkRecordChanged(TField* Field) {
    if (IsStopped()) return;
    TTreeLock lock(*this);
    // Only a selected node that shows the changed record takes the change (not, say, the node
    // left selected when an insertion got no node of its own).
    auto* selected = dynamic_cast<TDBTreeNode*>(Selected());
    if (selected && selected == RecordNode()) RefreshNode(selected, Field);
}

void TDBCustomTreeView::DoBeforeLoading() {
    if (FBeforeNodesLoading) FBeforeNodesLoading(this);
}

void TDBCustomTreeView::DoAfterLoading() {
    if (FAfterNodesLoading) FAfterNodesLoading(this);
}

TTable* TDBCustomTreeView::TableOf() const {
    TDataSet* dataSet = DataSet();
    if (dataSet && dataSet == FTableOfSource && typeid(*dataSet) == *FTableOfClass)
        return FTableOfResult;
    auto* table = dynamic_cast<TTable*>(dataSet);
    if (!table) RaiseRes<EInvalidCast>(SInvalidCast);
    FTableOfSource = dataSet;
    FTableOfClass = &typeid(*dataSet);
    FTableOfResult = table;
    return table;
}

TDBTreeRefreshBookmarkHook TDBCustomTreeView::BookmarkHook() {
    return TDBTreeRefreshBookmarkHook::Bind<&TDBCustomTreeView::RefreshBookmarkHook>(this);
}

// ---- deferred work ------------------------------------------------------------------------------

void TDBCustomTreeView::PostReload() {
    if (!HandleAllocated()) return;
    // A reload already on its way covers this one.
    if (FQueuesPending && FBranchQueue->Count() == 0 && FNodeQueue->Count() == 0) return;
    // Branch reloads and re-reads still queued find their entries gone and do nothing.
    FBranchQueue->Clear();
    FNodeQueue->Clear();
    FQueuesPending = PostMessage(Handle(), WM_DBTREERELOAD, 0, 0);
}

void TDBCustomTreeView::WMDoReload(TMessage&) {
    TryFinally([&] { DoReload(); }, [&] { FQueuesPending = false; });
}

// ---- loading ------------------------------------------------------------------------------------

void TDBCustomTreeView::DoReload() {
    TTreeLock lock(*this);
    ClearTree();
    if (!FDataLink->Active()) return;
    // One scan for the load and the selection after it: the records the load read serve the
    // selection as any of one scan's reads serve the next (on a server, moving back to the first
    // record then costs no further round trip).
    TDataSet* dataSet = DataSet();
    dataSet->DisableControls();
    TryFinally(
        [&] {
            LoadRoot();
            SyncronizeTree();
        },
        [&] { dataSet->EnableControls(); });
}

void TDBCustomTreeView::ReloadTree() {
    if (!FDataLink->Active()) return;
    TDataSet* dataSet = DataSet();
    dataSet->Close();
    dataSet->Open();
}

void TDBCustomTreeView::ClearTree() {
    TryFinally([&] { Items()->Clear(); }, [&] { Update(); });
}

void TDBCustomTreeView::LoadRoot() {
    if (!FDataLink->Active() || IsDesigning()) return;
    FNotLoaded = false;
    TTreeLock lock(*this);
    bool updating = false;
    TryFinally(
        [&] {
            DoBeforeLoading();
            Items()->BeginUpdate();
            updating = true;
            LoadNodes(nullptr, FRootKeyValues, 1, Variant());
        },
        [&] {
            TCleanups steps;
            if (updating) steps.Run([&] { Items()->EndUpdate(); });
            steps.Run([&] { Update(); });
            steps.Run([&] { DoAfterLoading(); });
            steps.Finish();
        });
}

void TDBCustomTreeView::LoadBranch(TTreeNode* ANode) {
    auto* node = dynamic_cast<TDBTreeNode*>(ANode);
    if (!node || !FDataLink->Active() || DataSet()->State() != dsBrowse) return;
    TTreeLock lock(*this);
    TDataSet* dataSet = DataSet();
    dataSet->DisableControls();
    TBookmark bookmark = dataSet->GetBookmark();
    bool bof = dataSet->Bof(), eof = dataSet->Eof();
    TNodeGuard guard(*this, node);
    bool updating = false;
    TryFinally(
        [&] {
            DoBeforeLoading();
            // A node whose record is gone keeps its branch as it is.
            if (!node->IDEquals2(GetKeyValues()) && !node->Seek(dataSet, BookmarkHook())) return;
            if (!guard.Get()) return;
            Items()->BeginUpdate();
            updating = true;
            Variant id = node->FID;
            LoadNodes(node, id, 1, Variant());
        },
        [&] {
            TCleanups steps;
            RestoreCursor(dataSet, bof, eof, bookmark);
            if (updating) steps.Run([&] { Items()->EndUpdate(); });
            steps.Run([&] { UpdateAfterBranch(); });
            steps.Run([&] { dataSet->EnableControls(); });
            steps.Run([&] { DoAfterLoading(); });
            steps.Finish();
        });
}

namespace {

// The first window of a level read whole: a level of a few dozen records in one statement, a
// larger one in windows that double from there.
constexpr int WholeLevelReads = 64;

// The caption a node is made with before its set-up gives it its record's (one text for every
// node a pass makes, not one built per node).
const std::string NoCaption;

} // namespace

void TDBCustomTreeView::LoadNodes(TDBTreeNode* Parent, const Variant& ParentKey, int Level,
                                  const Variant& OuterKey) {
    TTreeLock lock(*this);
    ++FLoadDepth;
    struct TPassEnd {
        int& Depth;
        ~TPassEnd() { --Depth; }
    } passEnd{FLoadDepth};
    TTable* table = TableOf();
    table->DisableControls();
    TBookmark bookmark = table->GetBookmark();
    bool bof = table->Bof(), eof = table->Eof();
    TNodeGuard parent(*this, Parent);
    std::exception_ptr failure;
    try {
        bool rangeWasApplied = table->RangeApplied();
        // A level is read whole, except the first child read ahead of each node.
        bool firstOnly = Level == 2 && FLoadStyle == lsOneAhead;
        ProduceGeneration(ParentKey, firstOnly ? 1 : WholeLevelReads);
        // Cancelling a range goes to the first record; with no range there was nothing to cancel.
        if (ParentKey.IsEmpty() && !rangeWasApplied) table->First();
        // Each record's own range follows, its first record read ahead: the table may read the
        // first records of them all at once.
        std::optional<TLookAheadScope> lookAhead;
        if (Level == 1 && FLoadStyle == lsOneAhead)
            lookAhead.emplace(*table, FParentLinks, FKeyLinks, 1);
        bool anyRecord = false;
        // One key vector refilled record after record; a new node keeps its own copy of it.
        Variant key;
        while (!table->Eof()) {
            if (Parent && !parent.Get()) break; // a handler removed the parent
            GetKeyValues(key);
            // Hashed once for the look for the record among the branch and among the children.
            uint32_t hash = KeyHash32(key);
            if (InOwnBranch(AsDBNode(parent.Get()), key, hash)) {
                table->Next();
                continue;
            }
            anyRecord = true;
            TNodeGuard node(*this, FindInChildren(Parent, key, hash));
            if (!node.Get()) {
                // The record's key, just read, moves into the new node (the next record's key
                // is read afresh) and serves its set-up.
                FLoadingKey = &key;
                FLoadingHash = hash;
                struct TLoadingKey {
                    TDBCustomTreeView& Tree;
                    ~TLoadingKey() {
                        Tree.FLoadingKey = nullptr;
                        Tree.FKeyTakenBy = nullptr;
                    }
                } loadingKey{*this};
                node.Set(Items()->AddChild(Parent, NoCaption));
                SetupNode(AsDBNode(node.Get()));
            }
            if (TDBTreeNode* n = AsDBNode(node.Get())) {
                n->FVisited = true;
                if (!Parent || !Parent->FComplete)
                    n->SetHasChildren(!Parent || (Level == 1 && FLoadStyle == lsExplorer));
                if (Level == 2 && FLoadStyle == lsOneAhead) break;
                if (Level == 1 && FLoadStyle != lsExplorer) {
                    Variant id = n->FID;
                    LoadNodes(n, id, 2, ParentKey);
                }
            }
            table->Next();
        }
        if (Parent && parent.Get()) {
            Parent->FComplete = Level == 1 || FLoadStyle == lsAllAhead || !anyRecord;
            Parent->SetHasChildren(anyRecord);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    TCleanups steps;
    steps.Run([&] { ProduceGeneration(OuterKey); });
    RestoreCursor(table, bof, eof, bookmark);
    if (!Parent || parent.Get()) steps.Run([&] { SweepChildren(Parent); });
    steps.Run([&] { table->EnableControls(); });
    if (failure) std::rethrow_exception(failure);
    steps.Finish();
}

// A record whose key is that of Parent or of one of its ancestors would show inside its own
// branch, and again under itself without end (a record naming itself or a descendant as its
// parent, or keys shared by several records): it is not shown there.
bool TDBCustomTreeView::InOwnBranch(TDBTreeNode* Parent, const Variant& Key, uint32_t Hash) const {
    for (TTreeNode* n = Parent; n; n = n->Parent()) {
        TDBTreeNode* node = AsDBNode(n);
        if (TNodeKeyIndex::MayEqual(node, Hash) && node->IDEquals2(Key)) return true;
    }
    return false;
}

// Deletes the children of Parent (the top-level nodes for nil) that the pass did not meet, then
// clears the marks of the others.
void TDBCustomTreeView::SweepChildren(TDBTreeNode* Parent) {
    TNodeGuard parent(*this, Parent);
    auto firstChild = [&]() -> TTreeNode* {
        return Parent ? parent.Get() ? parent.Get()->GetFirstChild() : nullptr
                      : Items()->GetFirstNode();
    };
    TCleanups steps;
    TNodeGuard next(*this, nullptr);
    TTreeNode* n = firstChild();
    while (n) {
        TTreeNode* expected = n->GetNextSibling();
        next.Set(expected);
        if (!AsDBNode(n)->FVisited) steps.Run([&] { Items()->Delete(n); });
        // A deletion handler that removed the next node as well sends the sweep back to the
        // start; the marks are still in place, so the outcome is the same.
        n = next.Get() == expected ? expected : firstChild();
    }
    for (n = firstChild(); n; n = n->GetNextSibling())
        AsDBNode(n)->FVisited = false;
    steps.Finish();
}

int TDBCustomTreeView::RangeFieldCount() const {
    // A range over no field would be the whole table: without a root key vector (or with an
    // empty one) a range cannot be made.
    if (!FRootKeyValues.IsArray()) RaiseRes<EVariantError>(SVarNotArray);
    int count = GetKeyFieldsCount();
    if (count < 1) RaiseRes<EVariantError>(SVarArrayBounds);
    return count;
}

void TDBCustomTreeView::ProduceGeneration(const Variant& Key) {
    ProduceGeneration(Key, 0);
}

void TDBCustomTreeView::ProduceGeneration(const Variant& Key, int Reads) {
    TTable* table = TableOf();
    if (Key.IsEmpty()) {
        try {
            table->CancelRange();
        } catch (...) {
        }
        return;
    }
    int count = RangeFieldCount();
    try {
        // The range start and end both take Key for the parent links with count fields.
        table->ApplyEqualRange(FParentLinks, Key, count, Reads);
    } catch (...) {
        // Leave the key entry, so the table is browsing again.
        if (table->State() == dsSetKey) {
            try {
                table->Cancel();
            } catch (...) {
            }
        }
        throw;
    }
}

void TDBCustomTreeView::FindKeyByValue(const Variant& Key) {
    TTreeLock lock(*this);
    TTable* table = TableOf();
    if (Key.IsArray() && VarArrayDimCount(Key) == 1 && VarKeysCount(Key) == 1)
        table->Locate(FKeyLinks, Key[VarArrayLowBound(Key, 1)]);
    else
        table->Locate(FKeyLinks, Key);
}

TDBTreeNode* TDBCustomTreeView::FindNode(const Variant& Key) const {
    TDBTreeNode* first = nullptr;
    FNodeIndex->ForEachEqual(Key, [&](TDBTreeNode* n) {
        if (!first || TreePrecedes(n, first)) first = n;
    });
    return first;
}

TDBTreeNode* TDBCustomTreeView::FindInChildren(TTreeNode* Parent, const Variant& Key) const {
    return FindInChildren(Parent, Key, KeyHash32(Key));
}

TDBTreeNode* TDBCustomTreeView::FindInChildren(TTreeNode* Parent, const Variant& Key,
                                               uint32_t Hash) const {
    TDBTreeNode* first = nullptr;
    FNodeIndex->ForEachEqual(Key, Hash, [&](TDBTreeNode* n) {
        if (n->Parent() != Parent) return;
        if (!first || SiblingPrecedes(n, first)) first = n;
    });
    return first;
}

bool TDBCustomTreeView::CanExpand(TTreeNode* Node) {
    LoadBranch(Node);
    return TCustomTreeView::CanExpand(Node);
}

TDBTreeNode* TDBCustomTreeView::SuperLoad(const Variant& Key) {
    TTreeLock lock(*this);
    TTable* table = TableOf();
    table->DisableControls();
    TBookmark bookmark = table->GetBookmark();
    bool bof = table->Bof(), eof = table->Eof();
    TDBTreeNode* result = nullptr;
    ++FRevealDepth;
    TryFinally([&] { result = Reveal(Key); },
               [&] {
                   TCleanups steps;
                   RestoreCursor(table, bof, eof, bookmark);
                   steps.Run([&] { table->EnableControls(); });
                   steps.Run([&] { EndReveal(); });
                   steps.Finish();
               });
    return result;
}

void TDBCustomTreeView::UpdateAfterBranch() {
    if (FRevealDepth > 0) {
        FRevealUpdate = true;
        return;
    }
    Update();
}

// The branches the outermost reveal opened are painted together, as the last of them would
// have left the display.
void TDBCustomTreeView::EndReveal() {
    if (--FRevealDepth > 0 || !FRevealUpdate) return;
    FRevealUpdate = false;
    Update();
}

bool TDBCustomTreeView::ClimbAfterLocate(const std::vector<TField*>& fields,
                                         const std::vector<Variant>& values,
                                         TMoveClimb& climb) const {
    TDataSet* dataSet = DataSet();
    int count = FKeyFieldList->Count();
    if (IsStopped() || !FDataLink->Active() || FNotLoaded || !dataSet || count == 0 ||
        fields.size() != static_cast<std::size_t>(count) || dataSet->State() != dsBrowse)
        return false;
    // The key as the tree reads it from the record: the values in the order of its key fields.
    std::vector<Variant> key;
    for (int i = 0; i < count; ++i) {
        auto at =
            std::find(fields.begin(), fields.end(), dataSet->FindField(FKeyFieldList->Get(i)));
        if (at == fields.end()) return false;
        key.push_back(values[static_cast<std::size_t>(at - fields.begin())]);
    }
    climb.Key = count == 1 ? key[0] : VarArrayOf(key);
    // A shown node is selected without reading anything.
    TDBTreeNode* node = FindNode(climb.Key);
    if (node && node->IsNodeVisible()) return false;
    climb.KeyFields = FKeyLinks;
    climb.ParentFields = FParentLinks;
    climb.LevelRowsEach = FLoadStyle == lsOneAhead ? 1 : 0;
    return true;
}

// Climbs from Key through the parent references to the first record whose node is shown, then
// opens the branches down again. A chain that comes back to a key it has climbed already, or
// that ends at a record without a shown node, reveals nothing.
TDBTreeNode* TDBCustomTreeView::Reveal(const Variant& Key) {
    std::vector<Variant> chain{Key};
    std::unordered_set<Variant, TKeyVectorHash, TKeyVectorEqual> climbed{Key};
    TDBTreeNode* anchor = nullptr;
    for (;;) {
        TDBTreeNode* n = FindNode(chain.back());
        if (n && n->IsNodeVisible()) {
            anchor = n;
            break;
        }
        // The records of the climb may all come from one statement, and with them the levels
        // opened below (those of the chain's records under the first shown node).
        if (chain.size() == 1 && FDataLink->Active())
            TableOf()->ReadAncestorsAhead(FKeyLinks, FParentLinks, Key,
                                          FLoadStyle == lsOneAhead ? 1 : 0);
        // A top-level record without a node is not read here: SuperLoad runs inside dataset
        // notifications, and the top level is read only by the reload (an empty table's Null
        // key under a Null root would otherwise read it twice per reload).
        Variant parentKey;
        if (!GetParentReference(chain.back(), parentKey)) return nullptr;
        if (!climbed.insert(parentKey).second) return nullptr;
        chain.push_back(std::move(parentKey));
    }
    // The levels opened below read their records ahead from one statement (none when the climb
    // read them already).
    if (chain.size() > 1 && FLoadStyle == lsOneAhead && FDataLink->Active())
        TableOf()->ReadLevelsAhead(FParentLinks, FKeyLinks, 1,
                                   std::vector<Variant>(chain.rbegin(), chain.rend() - 1));
    TNodeGuard node(*this, anchor);
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        OpenForReveal(AsDBNode(node.Get()));
        if (!node.Get()) return nullptr;
        node.Set(FindInChildren(node.Get(), chain[i]));
        if (!node.Get()) return nullptr;
    }
    return AsDBNode(node.Get());
}

// Expands Node so that its children are read again. A node that is open already, or that shows
// no expand button, is read directly: expanding it would not read it.
void TDBCustomTreeView::OpenForReveal(TDBTreeNode* Node) {
    if (!Node->Expanded() && (Node->HasChildren() || Node->GetFirstChild())) {
        Node->Expand(false);
        return;
    }
    TNodeGuard guard(*this, Node);
    LoadBranch(Node);
    if (guard.Get() && !Node->Expanded() && Node->GetFirstChild()) Node->Expand(false);
}

// ---- display ------------------------------------------------------------------------------------

void TDBCustomTreeView::SetupNode(TDBTreeNode* Node) {
    if (!Node || !FDataLink->Active()) return;
    try {
        TDataSet* dataSet = DataSet();
        // A node made from the load pass's key has that key already (and its place in the
        // index); only its bookmark is still to come.
        if (Node != FKeyTakenBy || !Node->FIndexed)
            Node->SetID(FLoadingKey ? *FLoadingKey : GetKeyValues());
        FLoadingKey = nullptr; // from here on handlers may move the dataset
        FKeyTakenBy = nullptr;
        Node->SetBookMark(dataSet->GetBookmark());
        SetText(FTextField, Node);
        SetStatusID(FStatusField, Node);
        SetImageID(FImageField, Node);
        if (FOnNodeSetup) FOnNodeSetup(this, Node, dataSet);
    } catch (...) {
        RaiseRes<ETreeViewError>(SCannotSetupNode);
    }
}

void TDBCustomTreeView::SetText(TField* Field, TDBTreeNode* Node) {
    if (!Node) return;
    Node->SetText(Field ? Field->GetAsString() : std::string());
}

void TDBCustomTreeView::SetStatusID(TField* Field, TDBTreeNode* Node) {
    if (!Node) return;
    Node->SetStateIndex(Field ? Field->GetAsIntegerOr(GetDefState()) : GetDefState());
}

void TDBCustomTreeView::SetImageID(TField* Field, TDBTreeNode* Node) {
    if (!Node) return;
    int index = Field ? Field->GetAsIntegerOr(GetDefImage()) : GetDefImage();
    Node->SetImageIndex(index);
    Node->SetSelectedIndex(index);
}

void TDBCustomTreeView::RefreshNode(TDBTreeNode*, TField* Field) {
    auto* selected = dynamic_cast<TDBTreeNode*>(Selected());
    if (Field == FStatusField)
        SetStatusID(Field, selected);
    else if (Field == FImageField)
        SetImageID(Field, selected);
    else if (Field == FTextField)
        SetText(Field, selected);
    else
        RefreshRest(selected, Field);
}

void TDBCustomTreeView::RefreshRest(TDBTreeNode* Node, TField* Field) {
    if (!Node || !Field || !FDataLink->Active()) return;
    TDataSet* dataSet = DataSet();
    for (int i = 0; i < FKeyFieldList->Count(); ++i) {
        if (dataSet->FindField(FKeyFieldList->Get(i)) != Field) continue;
        // The node follows its record's new identity; its bookmark is found again by key.
        Node->SetID(GetKeyValues());
        break;
    }
    for (int i = 0; i < FParentFieldList->Count(); ++i) {
        if (dataSet->FindField(FParentFieldList->Get(i)) != Field) continue;
        // Where the new parent is not in the tree the node stays; the post removes it then.
        CorrectNode(Node);
        break;
    }
}

void TDBCustomTreeView::UpdateName(TDBTreeNode* Node) {
    if (Node && FTextField) FTextField->SetAsString(Node->Text());
}

void TDBCustomTreeView::SyncronizeTree() {
    TDBTreeNode* node = SuperLoad(GetKeyValues());
    SetSelected(node);
}

// ---- records ------------------------------------------------------------------------------------

void TDBCustomTreeView::CheckNode(TDBTreeNode* Node) {
    if (Node && !Node->Seek(DataSet(), BookmarkHook())) DeleteBranch(Node, true);
}

TBookmark TDBCustomTreeView::RefreshBookmarkHook(const Variant& AID) {
    if (!FDataLink->Active()) return TBookmark();
    TTreeLock lock(*this);
    FindKeyByValue(AID);
    return KeysAreEquals(AID) ? DataSet()->GetBookmark() : TBookmark();
}

bool TDBCustomTreeView::FillParentValues(Variant& Values) {
    Values = DataSet()->GetFieldValue(FParentLinks);
    return !VarEquality(Values, FRootKeyValues);
}

bool TDBCustomTreeView::GetParentReference(const Variant& Key, Variant& ParentValues) {
    if (!FDataLink->Active()) return true;
    TTreeLock lock(*this);
    FindKeyByValue(Key);
    // A key no record has leaves the cursor elsewhere: that record's parent is not Key's.
    if (!KeysAreEquals(Key)) return false;
    bool hasParent = FillParentValues(ParentValues);
    return hasParent && !VarEquality(ParentValues, Key);
}

void TDBCustomTreeView::SetAsChildOf(const Variant& ParentKey) {
    DataSet()->SetFieldValue(FParentLinks, ParentKey);
}

void TDBCustomTreeView::SetAsTopParent() {
    DataSet()->SetFieldValue(FParentLinks, FRootKeyValues);
}

void TDBCustomTreeView::DeleteBranch(TTreeNode* Node, bool DeleteSelf) {
    if (!Node) return;
    TNodeGuard node(*this, Node);
    Items()->BeginUpdate();
    // A node is gone once its deletion returns, even when the selection change that follows
    // fails (moving the dataset to the newly selected node's record): the rest of the branch
    // still goes, and that failure is raised afterwards, so no node of a removed branch stays.
    TCleanups steps;
    TryFinally(
        [&] {
            while (TTreeNode* child = Node->GetFirstChild()) {
                if (child->Deleting()) break; // its deletion is under way already
                steps.Run([&] { Items()->Delete(child); });
                if (!node.Get()) return steps.Finish();
                if (Node->GetFirstChild() == child) break; // it could not be removed
            }
            if (auto* dbNode = dynamic_cast<TDBTreeNode*>(Node)) dbNode->FComplete = false;
            if (DeleteSelf) {
                TNodeGuard parent(*this, Node->Parent());
                steps.Run([&] { Items()->Delete(Node); });
                KeepButton(parent.Get());
            }
            steps.Finish();
        },
        [&] { Items()->EndUpdate(); });
    Update();
}

// ---- delete hooks -------------------------------------------------------------------------------

// Only controls are views whose hooks stand in a chain.
static bool IsHookView(const TComponent* Component) {
    return dynamic_cast<const TControl*>(Component) != nullptr;
}

// This tree's hook on the before-delete event (Before) or the after-delete event, the handler
// it stands in for, and whether it stands in the event's chain.
TDBCustomTreeView::THookSlot TDBCustomTreeView::HookSlot(bool Before) {
    if (Before)
        return {TDataSetNotifyEvent::Bind<&TDBCustomTreeView::RecordBeingDeleted>(this),
                FOldBeforeDelete, FBeforeHookPlaced, &TDataSet::GetBeforeDelete,
                &TDataSet::SetBeforeDelete};
    return {TDataSetNotifyEvent::Bind<&TDBCustomTreeView::RecordDeleted>(this), FOldAfterDelete,
            FAfterHookPlaced, &TDataSet::GetAfterDelete, &TDataSet::SetAfterDelete};
}

void TDBCustomTreeView::PlaceHook(TDataSet* DataSet, bool Before) {
    // A view's hook kept here must not outlive the view.
    if (TComponent* view = PlaceDeleteHook(*DataSet, HookSlot(Before), *this, &IsHookView))
        FreeNotification(view);
}

void TDBCustomTreeView::RemoveHook(TDataSet* DataSet, bool Before) {
    RemoveDeleteHook(*DataSet, HookSlot(Before), *this, &IsHookView);
}

void TDBCustomTreeView::AddHooks(TDataSet* DataSet) {
    if (!DataSet) return;
    if (FHookedDataSet && FHookedDataSet != DataSet) FreeHooks(FHookedDataSet);
    PlaceHook(DataSet, true);
    PlaceHook(DataSet, false);
    if (FHookedDataSet != DataSet) {
        FHookedDataSet = DataSet;
        FreeNotification(DataSet);
    }
}

void TDBCustomTreeView::FreeHooks(TDataSet* DataSet) {
    if (!DataSet) return;
    RemoveHook(DataSet, true);
    RemoveHook(DataSet, false);
    if (DataSet == FHookedDataSet) {
        RemoveFreeNotification(DataSet);
        FHookedDataSet = nullptr;
    }
}

void TDBCustomTreeView::RecordBeingDeleted(TDataSet* DataSet) {
    // The node that goes with the record is the one showing it: the selected node as a rule,
    // else (the dataset moved while the tree was not listening) the record's node elsewhere in
    // the tree. A selection left on another record stays.
    FDeletingNode = SelectedRecordNode();
    if (!FDeletingNode && FDataLink->Active()) FDeletingNode = FindNode(GetKeyValues());
    if (!FOldBeforeDelete) return;
    TDataSetNotifyEvent old = std::move(FOldBeforeDelete);
    FOldBeforeDelete = TDataSetNotifyEvent();
    FBeforeHookPlaced = false;
    DataSet->SetBeforeDelete(old);
    old(DataSet);
}

// The application's handler is called whatever happens to the nodes; a failure of the removal
// is raised after it.
void TDBCustomTreeView::RecordDeleted(TDataSet* DataSet) {
    TCleanups steps;
    steps.Run([&] {
        if (FDeletingNode && !FDeletingNode->IDEquals2(GetKeyValues()))
            DeleteBranch(FDeletingNode, true);
    });
    FDeletingNode = nullptr;
    if (FOldAfterDelete) {
        TDataSetNotifyEvent old = std::move(FOldAfterDelete);
        FOldAfterDelete = TDataSetNotifyEvent();
        FAfterHookPlaced = false;
        DataSet->SetAfterDelete(old);
        steps.Run([&] { old(DataSet); });
    }
    steps.Finish();
}

void TDBCustomTreeView::AfterDeleteProcess() {
    DeleteBranch(Selected(), true);
}

// ---- the dataset's notifications ----------------------------------------------------------------

// The node that shows the dataset's current record: during an edit or insertion the tree has
// seen begin, the node of that record (none when it got no node); otherwise the selected node
// when it carries the current key vector.
TDBTreeNode* TDBCustomTreeView::RecordNode() const {
    if (!FDataLink->Active()) return nullptr;
    if (IsEditState(DataSet()->State()) && FLastState != dsBrowse) return FPendingNode;
    return SelectedRecordNode();
}

TDBTreeNode* TDBCustomTreeView::SelectedRecordNode() const {
    auto* selected = dynamic_cast<TDBTreeNode*>(Selected());
    return selected && KeysAreEquals(selected->FID) ? selected : nullptr;
}

// The node of the current record, selected or not: a branch reload selects its node without
// moving the cursor, so another control may edit a record whose node is not the selected one.
TDBTreeNode* TDBCustomTreeView::CurrentRecordNode() const {
    if (TDBTreeNode* selected = SelectedRecordNode()) return selected;
    return FDataLink->Active() && DataSet()->State() != dsInsert ? FindNode(GetKeyValues())
                                                                 : nullptr;
}

// The dataset moved, or a post or cancel ended: the pending edit is settled on the tree's side,
// and the selection goes to the current record's node, loading the branches down to it.
void TDBCustomTreeView::DataLinkDataSetChanged() {
    if (IsStopped() || !FDataLink->Active() || DataSet()->State() != dsBrowse || FNotLoaded) return;
    TTreeLock lock(*this);
    EndEdit(Selected());
    TCleanups steps;
    steps.Run([&] { PerformEditCancel(FPendingNode); });
    steps.Run([&] { PerformInsert(FPendingNode); });
    FPendingNode = nullptr;
    steps.Finish();
    Variant key = GetKeyValues();
    auto* selected = dynamic_cast<TDBTreeNode*>(Selected());
    if (selected && selected->IDEquals2(key)) return;
    // The branches opened on the way are painted with the new selection.
    ++FRevealDepth;
    TryFinally([&] { SetSelected(SuperLoad(key)); }, [&] { EndReveal(); });
    Update();
}

void TDBCustomTreeView::DataLinkEditingChanged() {
    if (IsStopped() || !FDataLink->Active()) return;
    TTreeLock lock(*this);
    switch (DataSet()->State()) {
    case dsBrowse:
        // An insertion that ended without being posted takes its node with it.
        if (FLastState == dsInsert && !FInserting) {
            TDBTreeNode* node = FPendingNode;
            FPendingNode = nullptr;
            DeleteBranch(node, true);
        }
        EndEdit(Selected());
        break;
    case dsEdit:
        if (FLastState == dsBrowse) {
            FLastState = dsEdit;
            FPendingNode = CurrentRecordNode();
        }
        break;
    case dsInsert:
        if (FLastState == dsBrowse) {
            FPendingNode = nullptr;
            ExternalInsert();
            FLastState = dsInsert;
        }
        break;
    default:
        break;
    }
}

// The dataset gathers the values of a record it is about to post.
void TDBCustomTreeView::DataLinkUpdateData() {
    if (IsStopped() || !FDataLink->Active()) return;
    TTreeLock lock(*this);
    TDataSet* dataSet = DataSet();
    FInserting = dataSet->State() == dsInsert && dataSet->Modified();
    try {
        UpdateRecordNode(dataSet->State());
    } catch (...) {
        // The post fails here: the insertion is not being posted.
        FInserting = false;
        throw;
    }
    FPostStarted = FInserting;
}

// Sets the node of the record about to be posted up from it (or, for an edit the tree did not
// see begin, writes the node's caption into it), and moves the node where the record says.
void TDBCustomTreeView::UpdateRecordNode(TDataSetState State) {
    switch (State) {
    case dsBrowse:
        SetupNode(SelectedRecordNode());
        break;
    case dsEdit:
    case dsInsert: {
        TDBTreeNode* node = nullptr;
        if (FLastState == dsBrowse) {
            node = SelectedRecordNode();
            UpdateName(node);
        } else {
            node = FPendingNode;
            SetupNode(node);
        }
        // A node whose new parent is not in the tree is removed rather than misplaced.
        if (node && !CorrectNode(node)) DeleteBranch(node, true);
        break;
    }
    default:
        break;
    }
}

// Before every post, cancel and deletion (and whenever the dataset settles a pending edit).
void TDBCustomTreeView::DataLinkCheckBrowseMode() {
    AddHooks(DataSet());
    // The check that belongs to the post of an inserted record follows that post's gathering of
    // the values; any other check means that post failed, and the insertion is no longer being
    // posted (a cancel then removes its node).
    if (FPostStarted)
        FPostStarted = false;
    else
        FInserting = false;
}

// ---- deferred work: branches, nodes, the pending edit -------------------------------------------

// A reload of the whole tree is on its way: it covers every other request.
bool TDBCustomTreeView::ReloadPending() const {
    return FQueuesPending && FBranchQueue->Count() == 0 && FNodeQueue->Count() == 0;
}

void TDBCustomTreeView::PostReloadBranch(TTreeNode* Node) {
    auto* node = dynamic_cast<TDBTreeNode*>(Node);
    if (!node || !HandleAllocated() || ReloadPending()) return;
    if (FBranchQueue->IndexOf(node->FID) >= 0) return;
    PostQueued(*FBranchQueue, FBranchQueue->Add(node->FID), WM_DBTREERELOADBRANCH);
}

void TDBCustomTreeView::PostNodeSetup(TTreeNode* Node) {
    auto* node = dynamic_cast<TDBTreeNode*>(Node);
    if (!node || !HandleAllocated() || ReloadPending()) return;
    // A branch reload on its way reads the node again anyway.
    auto* parent = dynamic_cast<TDBTreeNode*>(node->Parent());
    if (parent && FBranchQueue->IndexOf(parent->FID) >= 0) return;
    if (FNodeQueue->IndexOf(node->FID) >= 0) return;
    PostQueued(*FNodeQueue, FNodeQueue->Add(node->FID), WM_DBTREEREREADNODE);
}

void TDBCustomTreeView::PostQueued(TKeysArray& Queue, int Index, UINT Msg) {
    bool posted = PostMessage(Handle(), Msg, static_cast<WPARAM>(Index), 0);
    // A refused request leaves no entry behind: asked again, it is queued again.
    if (!posted) Queue.Disable(Index);
    FQueuesPending = posted;
}

// The entry of a handled message is emptied in place, so that the indexes of messages still
// queued stay valid.
void TDBCustomTreeView::FinishQueued(TKeysArray& Queue, WPARAM Index) {
    if (Index < static_cast<WPARAM>(Queue.Count()) && !Queue.IsNull(static_cast<int>(Index)))
        Queue.Disable(static_cast<int>(Index));
    FQueuesPending = FBranchQueue->Count() > 0 || FNodeQueue->Count() > 0;
}

void TDBCustomTreeView::PostCheckBrowseMode() {
    if (!HandleAllocated() || FCheckBrowsePosted) return;
    FCheckBrowsePosted = PostMessage(Handle(), WM_DBTREECHECKBROWSEMODE, 0, 0);
}

void TDBCustomTreeView::WMDoReloadBranch(TMessage& Message) {
    if (Message.WParam >= static_cast<WPARAM>(FBranchQueue->Count())) return;
    Variant key;
    FBranchQueue->Get(static_cast<int>(Message.WParam), key);
    TryFinally(
        [&] {
            TDBTreeNode* node = key.IsEmpty() ? nullptr : FindNode(key);
            if (node && node->IsNodeVisible() && node->Expanded()) ReloadBranch(node);
        },
        [&] { FinishQueued(*FBranchQueue, Message.WParam); });
}

void TDBCustomTreeView::WMDoRereadNode(TMessage& Message) {
    if (Message.WParam >= static_cast<WPARAM>(FNodeQueue->Count())) return;
    Variant key;
    FNodeQueue->Get(static_cast<int>(Message.WParam), key);
    TryFinally([&] { RereadNode(key); }, [&] { FinishQueued(*FNodeQueue, Message.WParam); });
}

// Sets the shown node of the record with key Key up from its record again, and puts the cursor
// back; a node whose record is gone is removed.
void TDBCustomTreeView::RereadNode(const Variant& Key) {
    if (!FDataLink->Active() || Key.IsEmpty()) return;
    TDBTreeNode* node = FindNode(Key);
    if (!node || !node->IsNodeVisible()) return;
    TDataSet* dataSet = DataSet();
    TTreeLock lock(*this);
    dataSet->DisableControls();
    TBookmark bookmark = dataSet->GetBookmark();
    bool bof = dataSet->Bof(), eof = dataSet->Eof();
    TNodeGuard guard(*this, node);
    TryFinally(
        [&] {
            CheckNode(node);
            if (guard.Get()) SetupNode(node);
        },
        [&] {
            RestoreCursor(dataSet, bof, eof, bookmark);
            dataSet->EnableControls();
        });
}

void TDBCustomTreeView::WMDoCheckBrowseMode(TMessage&) {
    TryFinally(
        [&] {
            if (FDataLink->Active()) DataSet()->CheckBrowseMode();
        },
        [&] { FCheckBrowsePosted = false; });
}

// ---- selection ----------------------------------------------------------------------------------

bool TDBCustomTreeView::CanChange(TTreeNode* Node) {
    if (IsStopped() || !FDataLink->Active() || !IsEditState(DataSet()->State()) ||
        FLastState == dsBrowse)
        return TCustomTreeView::CanChange(Node);
    // The tree's own edit is posted before another node is chosen; if that fails the user sees
    // why and the selection stays.
    TNodeGuard node(*this, Node);
    try {
        DataSet()->CheckBrowseMode();
    } catch (...) {
        Application().HandleException();
        return false;
    }
    // The post may have removed the node that was to be chosen.
    return !Node || node.Get();
}

void TDBCustomTreeView::Change(TTreeNode* Node) {
    if (IsStopped() || !FDataLink->Active() || DataSet()->IsDestroying()) return;
    ++FLockCount;
    TNodeGuard chosen(*this, Node);
    TCleanups steps;
    steps.Run([&] {
        GoToRecordOf(static_cast<TDBTreeNode*>(Node));
        // A node whose record is gone has left the tree and the selection has moved on: the
        // dataset follows to the node selected now.
        while (Node && !chosen.Get() && Selected()) {
            chosen.Set(Selected());
            GoToRecordOf(static_cast<TDBTreeNode*>(chosen.Get()));
        }
        FLastState = DataSet()->State();
        FPendingNode = FLastState == dsBrowse ? nullptr : SelectedRecordNode();
    });
    steps.Run([&] { TCustomTreeView::Change(Node ? chosen.Get() : nullptr); });
    --FLockCount;
    steps.Finish();
}

// Moves the dataset to Node's record (CheckNode). During the tree's own pending edit the counter
// is lowered meanwhile, so that the tree hears the post that the move causes.
void TDBCustomTreeView::GoToRecordOf(TDBTreeNode* Node) {
    if (FLastState == dsBrowse) {
        CheckNode(Node);
        return;
    }
    FLastState = dsBrowse;
    --FLockCount;
    TryFinally([&] { CheckNode(Node); }, [&] { ++FLockCount; });
}

void TDBCustomTreeView::DoEnter() {
    if (IsStopped()) return;
    {
        TTreeLock lock(*this);
        if (FLastState == dsEdit || FLastState == dsInsert) EditNode(Selected());
    }
    TCustomTreeView::DoEnter();
}

// ---- caption editing ----------------------------------------------------------------------------

bool TDBCustomTreeView::CanEdit(TTreeNode* Node) {
    bool allow = TCustomTreeView::CanEdit(Node);
    TDataSet* dataSet = DataSet();
    allow = allow && dataSet && dataSet->CanModify() && FTextField && FTextField->CanModify();
    if (!allow || IsStopped() || !FDataLink->Active()) return allow;
    auto* node = dynamic_cast<TDBTreeNode*>(Node);
    bool failed = false;
    {
        TTreeLock lock(*this);
        try {
            // The record edited is the node's own, wherever the cursor was.
            failed = !node || (!KeysAreEquals(node->FID) &&
                               !(node->Seek(dataSet, BookmarkHook()) && KeysAreEquals(node->FID)));
            if (!failed) {
                dataSet->Edit();
                FLastState = dataSet->State();
                FPendingNode = node;
            }
        } catch (...) {
            failed = true;
        }
    }
    if (failed) RaiseRes<ETreeViewError>(SCantEditUnexistingRecordTree);
    return allow;
}

void TDBCustomTreeView::Edit(const TTVItem& Item) {
    if (IsStopped() || !FDataLink->Active() || !Selected()) return;
    TTreeLock lock(*this);
    TCustomTreeView::Edit(Item);
    TDataSet* dataSet = DataSet();
    // The caption goes into the record only from the node that shows it.
    TDBTreeNode* node = RecordNode();
    if (node != Selected()) node = nullptr;
    switch (dataSet->State()) {
    case dsInsert:
        if (!node) break;
        UpdateName(node);
        CorrectTable(node, node->Parent());
        FLastState = dsInsert;
        node->SetBookMark(dataSet->GetBookmark());
        break;
    case dsEdit:
        if (!node) break;
        UpdateName(node);
        FLastState = dsEdit;
        node->SetBookMark(dataSet->GetBookmark());
        break;
    default:
        FDataLink->UpdateRecord();
        break;
    }
}

void TDBCustomTreeView::EndEdit(TTreeNode* Node) {
    if (Node && IsEditing()) Node->EndEdit(false);
}

void TDBCustomTreeView::EditNode(TTreeNode* Node) {
    if (Node && Enabled() && !ReadOnly() && Focused()) Node->EditText();
}

// Node shows its record again after a post or cancel (the cancelled caption returns, or the
// posted values show) and stands where the record says.
void TDBCustomTreeView::PerformEditCancel(TDBTreeNode* Node) {
    TryFinally(
        [&] {
            if (FLastState != dsEdit || !Node) return;
            TNodeGuard node(*this, Node);
            SetupNode(Node);
            if (node.Get() && !CorrectNode(Node)) DeleteBranch(Node, true);
        },
        [&] { FLastState = dsBrowse; });
}

void TDBCustomTreeView::PerformInsert(TDBTreeNode* Node) {
    TryFinally(
        [&] {
            if (FInserting) SetupNode(Node);
        },
        [&] { FInserting = false; });
}

// ---- insertion ----------------------------------------------------------------------------------

void TDBCustomTreeView::ExternalInsert() {
    switch (FInsertMode) {
    case imAddChild:
        InsertChild();
        break;
    case imAddSibling:
        InsertSibling();
        break;
    case imAddRootNode:
        InsertRootNode();
        break;
    case imAddFromTable:
        InsertDefault();
        break;
    }
}

bool TDBCustomTreeView::AllowedBy(const TDBTEEBeforeChildInsert& Event, TTreeNode* Parent) {
    bool allow = true;
    if (Event) Event(this, Parent, allow);
    return allow;
}

// Writes the new record's parent reference: Parent's key vector, or the root key vector.
void TDBCustomTreeView::WriteParentReference(TTreeNode* Parent) {
    try {
        if (Parent)
            SetAsChildOf(static_cast<TDBTreeNode*>(Parent)->FID);
        else
            SetAsTopParent();
    } catch (...) {
        // The new node's caption is the record's name, empty as a rule at this point.
        std::string caption;
        try {
            if (FTextField) caption = FTextField->GetAsString();
        } catch (...) {
        }
        RaiseRes<ETreeViewError>(Parent ? SCantSetAsChild : SCantSetAsTopParent, {caption});
    }
}

void TDBCustomTreeView::InsertChild() {
    if (!FDataLink->Active() || DataSet()->State() != dsInsert) return;
    TTreeLock lock(*this);
    TTreeNode* parent = Selected();
    if (!AllowedBy(FBeforeChildInsert, parent)) return;
    WriteParentReference(parent);
    InsertNode(parent);
}

void TDBCustomTreeView::InsertSibling() {
    if (!FDataLink->Active() || DataSet()->State() != dsInsert) return;
    TTreeLock lock(*this);
    TTreeNode* parent = Selected() ? Selected()->Parent() : nullptr;
    if (!AllowedBy(FBeforeNodeInsert, parent)) return;
    WriteParentReference(parent);
    InsertNode(parent);
}

void TDBCustomTreeView::InsertRootNode() {
    if (!FDataLink->Active() || DataSet()->State() != dsInsert) return;
    TTreeLock lock(*this);
    if (!AllowedBy(FBeforeChildInsert, Selected())) return;
    WriteParentReference(nullptr);
    InsertNode(nullptr);
}

// The record keeps its own parent reference; its node goes under that parent's node, or nowhere
// while that node is not in the tree (the record shows once its branch is loaded).
void TDBCustomTreeView::InsertDefault() {
    if (!FDataLink->Active() || DataSet()->State() != dsInsert) return;
    TTreeLock lock(*this);
    if (!AllowedBy(FBeforeChildInsert, Selected())) return;
    Variant values;
    bool hasParent = FillParentValues(values);
    TDBTreeNode* parent = FindNode(values);
    if (hasParent && !parent) return;
    InsertNode(parent);
}

void TDBCustomTreeView::InsertNode(TTreeNode* Parent) {
    TTreeLock lock(*this);
    TTreeNode* added =
        Parent ? Items()->AddChild(Parent, "") : Items()->Add(Items()->GetFirstNode(), "");
    auto* node = AsDBNode(added);
    // A new record has no children yet.
    node->FComplete = true;
    FPendingNode = node;
    TNodeGuard guard(*this, node);
    SetSelected(node);
    if (guard.Get() && FAfterInsert) FAfterInsert(this, node);
}

// ---- re-parenting -------------------------------------------------------------------------------

void TDBCustomTreeView::CorrectTable(TTreeNode* Node, TTreeNode* NewParent) {
    try {
        if (NewParent)
            SetAsChildOf(static_cast<TDBTreeNode*>(NewParent)->FID);
        else
            SetAsTopParent();
    } catch (...) {
        RaiseRes<ETreeViewError>(NewParent ? SCantSetAsChild : SCantSetAsTopParent,
                                 {Node ? Node->Text() : std::string()});
    }
}

bool TDBCustomTreeView::IsRelation(const TTreeNode* Node, const TTreeNode* Target) {
    return Node && Target && (Target == Node || Target->HasAsParent(Node));
}

void TDBCustomTreeView::ChangeParent(TTreeNode* Node, TTreeNode* NewParent) {
    if (!Node || IsRelation(Node, NewParent)) return;
    // Moved during a loading pass, the node counts as met by it; outside a pass a mark would
    // outlive it and keep the node through the next sweep.
    if (FLoadDepth > 0) AsDBNode(Node)->FVisited = true;
    TTreeNode* oldParent = Node->Parent();
    Node->MoveTo(NewParent, NewParent == oldParent ? naAddChildFirst : naAddChild);
    if (oldParent == NewParent) return;
    KeepButton(oldParent);
    OfferUncountedChildren(Node, oldParent);
}

// A node read only by a look-ahead pass (its parent's own children not all loaded) has never had
// its own children counted, so it shows no button. Moved to a parent whose children are all
// loaded, or to the top, it would then hide a branch the user could not open: it offers the
// button until a read of its branch decides it.
void TDBCustomTreeView::OfferUncountedChildren(TTreeNode* Node, TTreeNode* OldParent) {
    auto* oldParent = dynamic_cast<TDBTreeNode*>(OldParent);
    auto* node = AsDBNode(Node);
    if (oldParent && !oldParent->FComplete && !node->FComplete && !node->GetFirstChild())
        node->SetHasChildren(true);
}

// A parent whose children were not all loaded may have more of them in the table: it keeps its
// expand button when its last loaded child leaves it.
void TDBCustomTreeView::KeepButton(TTreeNode* Parent) {
    auto* parent = dynamic_cast<TDBTreeNode*>(Parent);
    if (parent && !parent->FComplete && !parent->GetFirstChild()) parent->SetHasChildren(true);
}

bool TDBCustomTreeView::CorrectNode(TDBTreeNode* Node) {
    if (!Node) return true;
    Variant values;
    bool hasParent = FillParentValues(values);
    TTreeNode* parent = Node->Parent();
    if (!hasParent) {
        if (parent) ChangeParent(Node, nullptr);
        return true;
    }
    if (parent && AsDBNode(parent)->IDEquals2(values)) return true;
    TDBTreeNode* newParent = FindNode(values);
    // A parent inside the node's own branch cannot be shown: the node is not left in a place
    // its record no longer names.
    if (!newParent || !newParent->FComplete || IsRelation(Node, newParent)) return false;
    ChangeParent(Node, newParent);
    return true;
}

bool TDBCustomTreeView::AllowEditByDrag() {
    TDataSet* dataSet = DataSet();
    if (!dataSet || FParentFieldList->Count() == 0) return false;
    try {
        for (int i = 0; i < FParentFieldList->Count(); ++i)
            if (!dataSet->FieldByName(FParentFieldList->Get(i))->CanModify()) return false;
        return true;
    } catch (...) {
        return false;
    }
}

void TDBCustomTreeView::ReloadBranch(TTreeNode* Node) {
    auto* node = dynamic_cast<TDBTreeNode*>(Node);
    if (!node || !FDataLink->Active() || DataSet()->State() != dsBrowse) return;
    TTreeLock lock(*this);
    TNodeGuard guard(*this, node);
    Items()->BeginUpdate();
    TryFinally(
        [&] {
            DeleteBranch(node, false);
            if (guard.Get()) LoadBranch(node);
            // Chosen under the lock: a branch reload the application posts does not move the
            // cursor that grids and other controls share. A pending rename or insert still goes
            // to the node's own record (CanEdit and Edit find it by key).
            if (guard.Get()) SetSelected(node);
        },
        [&] { Items()->EndUpdate(); });
    Update();
}

// ---- dragging -----------------------------------------------------------------------------------

// Only this tree's own nodes are taken, never onto themselves or into their own branches. An
// OnDragOver handler may refuse as well.
void TDBCustomTreeView::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    TCustomTreeView::DragOver(Source, X, Y, State, Accept);
    bool handlerAccepts = OnDragOver ? Accept : true;
    Accept = handlerAccepts && Source == static_cast<TObject*>(this) &&
             !IsRelation(Selected(), GetNodeAt(X, Y));
}

void TDBCustomTreeView::DragCanceled() {
    FDragNotCanceled = false;
    TCustomTreeView::DragCanceled();
}

void TDBCustomTreeView::DoEndDrag(TObject* Target, int X, int Y) {
    if (!Selected() || Target != static_cast<TObject*>(this) || !FDragNotCanceled) {
        FDragNotCanceled = true;
        return;
    }
    THitTests hit = GetHitTestInfoAt(X, Y);
    TTreeNode* at = GetNodeAt(X, Y);
    TNodeGuard node(*this, at);
    if (!IsRelation(Selected(), at)) TCustomTreeView::DoEndDrag(Target, X, Y);
    // Outside the client area (over a scroll bar, say) the drop changes nothing.
    const THitTests outside{htAbove, htBelow, htToLeft, htToRight};
    if (!hit.Empty() && (hit - outside).Empty()) return;
    // The OnEndDrag handler may have removed the node dropped on, or the dragged one.
    if ((at && !node.Get()) || !Selected()) return;
    if (FDataLink->Active() && AllowEditByDrag() && HandleAllocated()) PostEditByDrag(node.Get());
}

// The drop is carried out later, by a message; the target (none: the top level) and the dragged
// node are then found again by their key vectors.
void TDBCustomTreeView::PostEditByDrag(TTreeNode* Target) {
    Variant targetKey = Target ? AsDBNode(Target)->FID : Variant();
    FPendingDrops.push_back({Target, targetKey, AsDBNode(Selected())->FID});
    if (!PostMessage(Handle(), WM_DBTREEEDITBYDRAG, reinterpret_cast<WPARAM>(Target), 0))
        FPendingDrops.pop_back();
}

void TDBCustomTreeView::WMDoEditByDrag(TMessage& Message) {
    auto* target = reinterpret_cast<TTreeNode*>(Message.WParam);
    auto drop = std::find_if(FPendingDrops.begin(), FPendingDrops.end(),
                             [&](const TPendingDrop& d) { return d.Target == target; });
    if (drop == FPendingDrops.end()) {
        // Posted by the application: the node must still be one of this tree's.
        if (target && !Items()->Contains(target)) return;
        auto* selected = dynamic_cast<TDBTreeNode*>(Selected());
        EditByDrag(target, target ? AsDBNode(target)->FID : Variant(),
                   selected ? selected->FID : Variant());
        return;
    }
    TPendingDrop pending = std::move(*drop);
    FPendingDrops.erase(drop);
    EditByDrag(pending.Target, pending.TargetKey, pending.MovedKey);
}

void TDBCustomTreeView::EditByDrag(TTreeNode* Target, const Variant& TargetKey,
                                   const Variant& MovedKey) {
    if (!FDataLink->Active()) return;
    // A pending edit is settled first, with the tree listening, so that the drop's own edit and
    // post carry nothing else.
    TDataSet* dataSet = DataSet();
    if (IsEditState(dataSet->State())) dataSet->CheckBrowseMode();
    // A node removed since the drop is never used; the record's node shown now is.
    TDBTreeNode* target = Target ? FindNode(TargetKey) : nullptr;
    if (Target && !target) return;
    auto* node = dynamic_cast<TDBTreeNode*>(Selected());
    if (!node || !node->IDEquals2(MovedKey) || IsRelation(node, target)) return;
    MoveRecordUnder(node, target);
}

// Writes and posts the parent reference that puts Node's record under Target's (top level for
// none), then moves the node. A failed write or post cancels the edit: node and record stay.
void TDBCustomTreeView::MoveRecordUnder(TDBTreeNode* Node, TTreeNode* Target) {
    TTreeLock lock(*this);
    TDataSet* dataSet = DataSet();
    TNodeGuard node(*this, Node), target(*this, Target);
    Items()->BeginUpdate();
    TryFinally(
        [&] {
            if (!KeysAreEquals(Node->FID) &&
                !(Node->Seek(dataSet, BookmarkHook()) && KeysAreEquals(Node->FID)))
                return; // the record is gone
            dataSet->Edit();
            try {
                CorrectTable(Node, Target);
                dataSet->Post();
            } catch (...) {
                try {
                    dataSet->Cancel();
                } catch (...) {
                }
                throw;
            }
            if (node.Get() && (!Target || target.Get())) ChangeParent(Node, Target);
        },
        [&] {
            TCleanups steps;
            steps.Run([&] { Update(); });
            steps.Run([&] { Items()->EndUpdate(); });
            steps.Finish();
        });
}

// ---- published properties -----------------------------------------------------------------------

const TClassInfo& TDBCustomTreeView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDBCustomTreeView>("TDBCustomTreeView", &TCustomTreeView::StaticClassInfo())
            .Build();
    return info;
}

const TClassInfo& TDBTreeView::StaticClassInfo() {
    using T = TDBTreeView;
    using B = TDBCustomTreeView;
    static const TClassInfo info =
        TClassBuilder<T>("TDBTreeView", &TDBCustomTreeView::StaticClassInfo())
            .Republish(TCustomTreeView::HostProperties(), {"Align",
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
            .Property("DefStatus", MemberOf<T>(&B::GetDefState), &B::SetDefState, Variant(-1))
            .Property("DefImage", MemberOf<T>(&B::GetDefImage), &B::SetDefImage, Variant(-1))
            .Enum("InsertMode", "TInsertMode",
                  {"imAddChild", "imAddSibling", "imAddRootNode", "imAddFromTable"},
                  MemberOf<T>(&B::GetInsertMode), &B::SetInsertMode,
                  std::optional<TInsertMode>(imAddFromTable))
            .Property("KeyFieldsCount", MemberOf<T>(&B::GetKeyFieldsCount))
            .Object("DataSource", "TDataSource", MemberOf<T>(&B::GetDataSource), &B::SetDataSource)
            .Enum("LoadStyle", "TLoadStyle", {"lsExplorer", "lsOneAhead", "lsAllAhead"},
                  MemberOf<T>(&B::GetLoadStyle), &B::SetLoadStyle,
                  std::optional<TLoadStyle>(lsOneAhead))
            .Property("StatusIDField", MemberOf<T>(&B::GetStatusIDField), &B::SetStatusIDField)
            .Property("ImageIDField", MemberOf<T>(&B::GetImageIDField), &B::SetImageIDField)
            .Property("NameField", MemberOf<T>(&B::GetNameField), &B::SetNameField)
            .Property("LinksFields", MemberOf<T>(&B::GetLinksFields), &B::SetRelations)
            .Property("RootKey", MemberOf<T>(&B::GetRootKey), &B::SetTopParentKey)
            .Event("BeforeNodesLoading", "TDBTEEBeforeNodesLoading",
                   MemberOf<T>(&B::GetBeforeNodesLoading), &B::SetBeforeNodesLoading)
            .Event("AfterNodesLoading", "TDBTEEAfterNodesLoading",
                   MemberOf<T>(&B::GetAfterNodesLoading), &B::SetAfterNodesLoading)
            .Event("BeforeChildInsert", "TDBTEEBeforeChildInsert",
                   MemberOf<T>(&B::GetBeforeChildInsert), &B::SetBeforeChildInsert)
            .Event("BeforeNodeInsert", "TDBTEEBeforeNodeInsert",
                   MemberOf<T>(&B::GetBeforeNodeInsert), &B::SetBeforeNodeInsert)
            .Event("AfterInsert", "TDBTEEAfterInsert", MemberOf<T>(&B::GetAfterInsert),
                   &B::SetAfterInsert)
            .Event("OnNodeSetup", "TDBLVOnNodeSetup", MemberOf<T>(&B::GetOnNodeSetup),
                   &B::SetOnNodeSetup)
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
