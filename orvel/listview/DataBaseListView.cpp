// The data-aware list view: configuration, loading, synchronisation with the dataset, in-place
// editing, deletion hooks, the posted reload and re-read requests, and the key index.
#include "orvel/listview/DataBaseListView.h"

#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/core/Exceptions.h"

#include <exception>
#include <functional>
#include <typeinfo>
#include <utility>

namespace orvel {

namespace {

void Mix(std::size_t& h, std::size_t x) {
    h ^= x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
}

bool IsFloatCode(TVarType t) {
    return t == varDouble || t == varSingle || t == varCurrency || t == varDate;
}

// The editing state a view keeps: edit and insert as they are, anything else browsing.
TDataSetState EditingStateOf(const TDataSet* DataSet) {
    if (!DataSet || !IsEditState(DataSet->State())) return dsBrowse;
    return DataSet->State();
}

// Lowers the busy counter for a scope and raises it again on every way out.
class TIdle {
public:
    explicit TIdle(int32_t& Count) : FCount(Count) { --FCount; }
    ~TIdle() { ++FCount; }
    TIdle(const TIdle&) = delete;
    TIdle& operator=(const TIdle&) = delete;

private:
    int32_t& FCount;
};

} // namespace

namespace {

// The part of an array's hash that its shape gives.
std::size_t ArrayHashStart(int32_t dims, int32_t low, int32_t high) {
    std::size_t h = 0x2000 + static_cast<std::size_t>(dims);
    Mix(h, static_cast<std::size_t>(static_cast<uint32_t>(low)));
    Mix(h, static_cast<std::size_t>(static_cast<uint32_t>(high)));
    return h;
}

} // namespace

std::size_t KeyVectorHashOfOne(const Variant& Element) {
    std::size_t h = ArrayHashStart(1, 0, 0);
    Mix(h, KeyVectorHash(Element));
    return h;
}

std::size_t KeyVectorHash(const Variant& Key) {
    TVarType t = Key.VarType();
    if (Key.IsArray()) {
        // VarEquality compares the dimension count, the bounds of dimension 1 and the elements
        // along it, whatever the array's own element type.
        int32_t dims = VarArrayDimCount(Key);
        int32_t low = VarArrayLowBound(Key, 1), high = VarArrayHighBound(Key, 1);
        std::size_t h = ArrayHashStart(dims, low, high);
        if (dims != 1) return h;
        for (int32_t i = low; i <= high; ++i)
            Mix(h, KeyVectorHash(Key[i]));
        return h;
    }
    if (IsFloatCode(t)) {
        double d = Key.AsDouble();
        std::size_t h = std::hash<uint16_t>()(t);
        if (d != d) return h; // every NaN alike, whatever its bits
        Mix(h, std::hash<double>()(d == 0 ? 0.0 : d));
        return h;
    }
    return VarHash(Key);
}

std::string JoinFieldList(const TStrings& List) {
    std::string text;
    for (int i = 0; i < List.Count(); ++i) {
        if (i > 0) text += ';';
        text += List.Get(i);
    }
    return text;
}

// ---- TListKeyIndex ------------------------------------------------------------------------------

void TListKeyIndex::Add(TDBListItem* Item) {
    if (!FKept || Item->FKeyPrev != Item) return;
    auto hash = static_cast<uint32_t>(Item->KeyHash());
    if (FCount + 1 > FBuckets.size()) Grow();
    Item->FKeyHash = hash;
    Link(Item);
    ++FCount;
}

void TListKeyIndex::Link(TDBListItem* Item) {
    TDBListItem*& head = FBuckets[Bucket(Item->FKeyHash)];
    Item->FKeyPrev = nullptr;
    Item->FKeyNext = head;
    if (head) head->FKeyPrev = Item;
    head = Item;
}

void TListKeyIndex::Remove(TDBListItem* Item) {
    if (Item->FKeyPrev == Item) return;
    if (Item->FKeyPrev)
        Item->FKeyPrev->FKeyNext = Item->FKeyNext;
    else
        FBuckets[Bucket(Item->FKeyHash)] = Item->FKeyNext;
    if (Item->FKeyNext) Item->FKeyNext->FKeyPrev = Item->FKeyPrev;
    Item->FKeyPrev = Item;
    Item->FKeyNext = nullptr;
    --FCount;
}

// Doubles the bucket table (the new table is made before the old one is touched).
void TListKeyIndex::Grow() {
    std::vector<TDBListItem*> fresh(FBuckets.empty() ? 64 : FBuckets.size() * 2, nullptr);
    fresh.swap(FBuckets);
    for (TDBListItem* item : fresh) {
        while (item) {
            TDBListItem* next = item->FKeyNext;
            Link(item);
            item = next;
        }
    }
}

// Chains every item of the list into a table of about one bucket per item. Items of other
// classes stand for no record and are left out, as a walk of the list would pass them by.
void TListKeyIndex::Build(const TListItems& Items) {
    std::size_t size = 64;
    while (size < static_cast<std::size_t>(Items.Count()))
        size *= 2;
    FBuckets.assign(size, nullptr);
    FKept = true;
    for (int i = 0; i < Items.Count(); ++i) {
        // The view's own items are known by their exact class without a search of the class
        // tree; a derived view's factory may make anything.
        TListItem* listed = Items.Item(i);
        auto* item = typeid(*listed) == typeid(TDBListItem) ? static_cast<TDBListItem*>(listed)
                                                            : dynamic_cast<TDBListItem*>(listed);
        if (!item || item->FKeyPrev != item) continue;
        item->FKeyHash = static_cast<uint32_t>(item->KeyHash());
        Link(item);
        ++FCount;
    }
}

void TListKeyIndex::Forget() {
    // An item made outside the list (position -1) may still be chained: the table stays for it.
    if (FCount != 0) return;
    FBuckets.clear();
    FBuckets.shrink_to_fit();
    FCount = 0;
    FKept = false;
}

// Items not yet placed in the list (position -1) are not part of it, as for a walk of the list.
TDBListItem* TListKeyIndex::Find(const Variant& Key, const TListItems& Items) {
    if (!FKept) Build(Items);
    if (FBuckets.empty()) return nullptr;
    auto hash = static_cast<uint32_t>(KeyVectorHash(Key));
    TDBListItem* best = nullptr;
    for (TDBListItem* item = FBuckets[Bucket(hash)]; item; item = item->FKeyNext) {
        if (item->FKeyHash != hash || item->Index() < 0) continue;
        if (best && item->Index() >= best->Index()) continue;
        if (item->IDEquals2(Key)) best = item;
    }
    return best;
}

// ---- TDBListItem --------------------------------------------------------------------------------

TDBListItem::TDBListItem(TListItems* AOwner, const Variant& AID, const TBookmark& ABookmark)
    : TListItem(AOwner) {
    SetID(AID);
    SetBookMark(ABookmark);
}

TDBListItem::TDBListItem(TListItems* AOwner, const Variant& AID, TListKeyIndex* Index)
    : TListItem(AOwner) {
    TakeID(AID, Index);
}

TDBListItem::TDBListItem(TListItems* AOwner, TElementTag, const Variant& Element,
                         TListKeyIndex* Index)
    : TListItem(AOwner) {
    FID = Element;
    FFolded = true;
    if (Index) Index->Add(this);
}

TDBListItem::~TDBListItem() {
    if (TListKeyIndex* index = KeyIndex()) index->Remove(this);
    FID.Clear();
    FFolded = false;
    SetBookMark(TBookmark());
}

// The index of the view the item belongs to; none for an item of another kind of view, or of a
// view being torn down below its data-aware part.
TListKeyIndex* TDBListItem::KeyIndex() const {
    auto* view = dynamic_cast<TDBCustomListView*>(ListView());
    return view ? view->KeyIndex() : nullptr;
}

void TDBListItem::SetID(const Variant& Value) {
    TakeID(Value, KeyIndex());
}

void TDBListItem::TakeID(const Variant& Value, TListKeyIndex* index) {
    // What reading a one-field key gives (a zero-based array of Variants with one plain value) is
    // kept as that value; the element is read once, for the test and as the key.
    bool fold = false;
    Variant id;
    if (Value.VarType() == (varArray | varVariant) && VarArrayDimCount(Value) == 1 &&
        VarArrayLowBound(Value, 1) == 0 && VarArrayHighBound(Value, 1) == 0) {
        id = Value[0];
        fold = !id.IsArray();
    }
    if (!fold) id = Value;
    SetBookMark(TBookmark());
    if (index) index->Remove(this);
    FID = std::move(id);
    FFolded = fold;
    if (index) index->Add(this);
}

// A folded key becomes its array again for good: a reference handed out stays valid.
const Variant& TDBListItem::GetID() const {
    if (FFolded) {
        FID = VarArrayOf({FID});
        FFolded = false;
    }
    return FID;
}

Variant TDBListItem::KeyElement(int Index) const {
    if ((FFolded || !FID.IsArray()) && Index == 0) return FID;
    const Variant& id = GetID();
    return id[VarArrayLowBound(id, 1) + Index];
}

std::size_t TDBListItem::KeyHash() const {
    return FFolded ? KeyVectorHashOfOne(FID) : KeyVectorHash(FID);
}

bool TDBListItem::CheckBookMark(TDataSet* DataSet) const {
    return DataSet && DataSet->BookmarkValid(FBookmark);
}

// For a folded key, what VarEquality answers for the array: Key must have the same shape, and
// its element must equal the value.
bool TDBListItem::IDEquals2(const Variant& Key) const {
    if (!FFolded) return VarEquality(FID, Key);
    if (!Key.IsArray() || VarArrayDimCount(Key) != 1 || VarArrayLowBound(Key, 1) != 0 ||
        VarArrayHighBound(Key, 1) != 0)
        return false;
    return VarEquality(FID, Key[0]);
}

bool TDBListItem::Seek(TDataSet* DataSet, const Variant& Key) {
    bool sameKey = IDEquals2(Key);
    bool validBookmark = CheckBookMark(DataSet);
    if (sameKey && !validBookmark) {
        SetBookMark(DataSet->GetBookmark());
    } else if (!sameKey && validBookmark) {
        TBookmark before = DataSet->GetBookmark();
        try {
            DataSet->GotoBookmark(FBookmark);
        } catch (...) {
            // The record was there a moment ago; a failed move leaves the cursor where it was.
            // A cursor that did move has reached the item's record, and the error is that of a
            // view following the move (the tree failing to read its way to the record): that
            // view is now out of step, so the user must hear of it.
            if (!(DataSet->GetBookmark() == before)) throw;
        }
    }
    return sameKey || validBookmark;
}

// ---- TDBListDataLink ----------------------------------------------------------------------------

TDBListDataLink::~TDBListDataLink() {
    FListView = nullptr;
}

void TDBListDataLink::ActiveChanged() {
    if (FListView) FListView->DataLinkActiveChanged();
    TDataLink::ActiveChanged();
}

void TDBListDataLink::CheckBrowseMode() {
    if (FListView) FListView->AddHooks(DataSet());
    TDataLink::CheckBrowseMode();
}

void TDBListDataLink::DataSetChanged() {
    if (FListView) FListView->DataLinkDataSetChanged();
    TDataLink::DataSetChanged();
}

void TDBListDataLink::EditingChanged() {
    if (FListView) FListView->DataLinkEditingChanged();
    TDataLink::EditingChanged();
}

void TDBListDataLink::RecordChanged(TField* Field) {
    if (FListView) FListView->DataLinkRecordChanged(Field);
    TDataLink::RecordChanged(Field);
}

void TDBListDataLink::UpdateData() {
    if (FListView) FListView->DataLinkUpdateData();
    TDataLink::UpdateData();
}

// ---- TDBCustomListView: life --------------------------------------------------------------------

TDBCustomListView::TDBCustomListView(TComponent* AOwner)
    : TCustomListView(AOwner), FColumnFieldList(std::make_unique<TStringList>()),
      FKeyFieldList(std::make_unique<TStringList>()), FItemQueue(std::make_unique<TKeysArray>()),
      FDataLink(std::make_unique<TDBListDataLink>(this)) {
    InitData();
}

// The items go first, while the view is whole; the hooks come off the dataset so that it never
// calls into a view that is gone; the link leaves its data source without further reports.
TDBCustomListView::~TDBCustomListView() {
    try {
        FreeHooks(FHookedDataSet);
    } catch (...) {
    }
    try {
        ClearList();
    } catch (...) {
    }
    FDataLink.reset();
}

// ---- configuration ------------------------------------------------------------------------------

int32_t TDBCustomListView::GetDefState() const {
    TCustomImageList* images = StateImages();
    if (images && FDefState >= 0 && FDefState < images->Count()) return FDefState;
    return 0;
}

// The large-image list decides in every view style.
int32_t TDBCustomListView::GetDefImage() const {
    TCustomImageList* images = LargeImages();
    if (images && FDefImage >= 0 && FDefImage < images->Count()) return FDefImage;
    return 0;
}

int32_t TDBCustomListView::GetKeyFieldsCount() const {
    const Variant& key = LastKey();
    if (!key.IsArray()) return 0;
    return VarArrayHighBound(key, 1) + 1;
}

const Variant& TDBCustomListView::LastKey() const {
    if (FLastKeyPending) {
        VarArrayRefill(FLastKey, 1, [this](std::size_t) { return FLoadKey; });
        FLastKeyPending = false;
    }
    return FLastKey;
}

TDataSource* TDBCustomListView::GetDataSource() const {
    return FDataLink->GetDataSource();
}

void TDBCustomListView::SetDataSource(TDataSource* Value) {
    if (Value == FDataLink->GetDataSource()) return;
    ClearList();
    InitData();
    FDataLink->SetDataSource(Value);
}

void TDBCustomListView::FieldTextChanged(std::string& Field, const std::string& Value) {
    if (Value == Field) return;
    Field = Value;
    DataLinkActiveChanged();
}

void TDBCustomListView::SetStatusIDField(const std::string& Value) {
    FieldTextChanged(FStatusIDField, Value);
}

void TDBCustomListView::SetImageIDField(const std::string& Value) {
    FieldTextChanged(FImageIDField, Value);
}

void TDBCustomListView::SetNameField(const std::string& Value) {
    FieldTextChanged(FNameField, Value);
}

void TDBCustomListView::SetKeyFields(const std::string& Value) {
    FieldTextChanged(FKeyFields, Value);
}

void TDBCustomListView::SetColumnsFields(const std::string& Value) {
    FieldTextChanged(FColumnsFields, Value);
}

// ---- menus --------------------------------------------------------------------------------------

// The host drops its free notification of a menu it stops showing, which may still be one of
// ours: both are asked for again after every switch.
void TDBCustomListView::SetHostPopup(TPopupMenu* Menu) {
    TCustomListView::SetPopupMenu(Menu);
    WatchMenus();
}

void TDBCustomListView::WatchMenus() {
    if (FObjectMenu) FreeNotification(FObjectMenu);
    if (FPopupMenu) FreeNotification(FPopupMenu);
}

void TDBCustomListView::ForgetMenu(TPopupMenu* Menu) {
    if (Menu && Menu != FObjectMenu && Menu != FPopupMenu && Menu != PopupMenu())
        RemoveFreeNotification(Menu);
}

void TDBCustomListView::WritePopupMenu(TPopupMenu* Value) {
    TPopupMenu* old = FPopupMenu;
    FPopupMenu = Value;
    SetHostPopup(Value);
    ForgetMenu(old);
}

// A menu that stops being the object menu no longer pops up over items: the control shows the
// general menu again.
void TDBCustomListView::SetObjectMenu(TPopupMenu* Value) {
    TPopupMenu* old = FObjectMenu;
    if (old == Value) return;
    FObjectMenu = Value;
    if (old && PopupMenu() == old)
        SetHostPopup(FPopupMenu);
    else
        WatchMenus();
    ForgetMenu(old);
}

void TDBCustomListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbRight && FObjectMenu) SetHostPopup(GetItemAt(X, Y) ? FObjectMenu : FPopupMenu);
    TCustomListView::MouseDown(Button, Shift, X, Y);
}

void TDBCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListView::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    if (FDataLink && AComponent == FDataLink->GetDataSource()) {
        FDataLink->SetDataSource(nullptr);
        InitData();
    }
    // A view whose hook this view keeps as the handler it stands in for is going: that hook goes
    // with it.
    auto boundToGoing = [&](const TDataSetNotifyEvent& e) {
        return e.Data() && (e.Data() == static_cast<void*>(AComponent) ||
                            e.Data() == dynamic_cast<void*>(AComponent));
    };
    if (boundToGoing(FOldBeforeDelete)) FOldBeforeDelete = nullptr;
    if (boundToGoing(FOldAfterDelete)) FOldAfterDelete = nullptr;
    if (AComponent == FHookedDataSet) {
        // A dataset being destroyed takes its events with it.
        FHookedDataSet = nullptr;
        FOldBeforeDelete = nullptr;
        FOldAfterDelete = nullptr;
        FBeforeHookPlaced = false;
        FAfterHookPlaced = false;
    }
    bool menuGone = false;
    if (AComponent == FObjectMenu) {
        FObjectMenu = nullptr;
        menuGone = true;
    }
    if (AComponent == FPopupMenu) {
        FPopupMenu = nullptr;
        menuGone = true;
    }
    // The host forgot the menu too when it was the one shown; the general menu takes its place.
    if (menuGone && !PopupMenu() && FPopupMenu) SetHostPopup(FPopupMenu);
}

// ---- windows and messages -----------------------------------------------------------------------

// A view whose window appears after its dataset became active (a form read from a file, shown
// later) loads now: the request made without a window could not be posted.
void TDBCustomListView::CreateWnd() {
    TCustomListView::CreateWnd();
    if (LinkActive()) DataLinkActiveChanged();
}

// Messages still queued for the old window are dropped with it: nothing is pending any more.
void TDBCustomListView::DestroyWnd() {
    TCustomListView::DestroyWnd();
    FMessagePosted = false;
    FItemQueue->Clear();
}

void TDBCustomListView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_DBLV_RELOAD:
        WMDoReload(Message);
        return;
    case WM_DBLV_REREADITEM:
        WMDoRereadItem(Message);
        return;
    default:
        TCustomListView::WndProc(Message);
    }
}

void TDBCustomListView::PostReload() {
    if (!HandleAllocated()) return;
    if (FMessagePosted && FItemQueue->Count() == 0) return;
    FItemQueue->Clear(); // a reload covers every pending re-read
    FMessagePosted = PostMessage(Handle(), WM_DBLV_RELOAD, 0, 0);
}

// A request that could not be posted leaves no queue entry behind, so asking again posts again.
void TDBCustomListView::PostItemSetup(TDBListItem* Item) {
    if (!Item || !HandleAllocated()) return;
    if (FMessagePosted && FItemQueue->Count() == 0) return;
    if (FItemQueue->IndexOf(Item->GetID()) != -1) return;
    int32_t index = FItemQueue->Add(Item->GetID());
    FMessagePosted = PostMessage(Handle(), WM_DBLV_REREADITEM, static_cast<WPARAM>(index), 0);
    if (!FMessagePosted) FItemQueue->Disable(index);
}

void TDBCustomListView::WMDoReload(TMessage&) {
    try {
        DoReload();
    } catch (...) {
        FMessagePosted = false;
        throw;
    }
    FMessagePosted = false;
}

void TDBCustomListView::WMDoRereadItem(TMessage& Message) {
    if (Message.WParam >= static_cast<WPARAM>(FItemQueue->Count())) return; // stale
    int32_t index = static_cast<int32_t>(Message.WParam);
    std::exception_ptr failure;
    try {
        TDBListItem* item = FindItem(FItemQueue->Get(index));
        TDataSet* ds = DataSet();
        if (item && LinkActive()) {
            TBusy busy(FLockCount);
            TBookmark bookmark = ds->GetBookmark();
            bool eof = ds->Eof(), bof = ds->Bof();
            ds->DisableControls();
            try {
                uint32_t mark = FDeletions;
                CheckItem(item);
                if (StillHas(item, mark)) SetupItem(item);
            } catch (...) {
                failure = std::current_exception();
            }
            try {
                CAMoveCursor[bof][eof](ds, bookmark);
            } catch (...) {
            }
            ds->FreeBookmark(bookmark);
            ds->EnableControls();
        }
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    // A reload asked for meanwhile may have emptied the queue already.
    if (index < FItemQueue->Count()) FItemQueue->Disable(index);
    FMessagePosted = FItemQueue->Count() != 0;
    if (failure) std::rethrow_exception(failure);
}

// ---- loading ------------------------------------------------------------------------------------

Variant TDBCustomListView::ReadKey(TDataSet* DataSet) const {
    return DataSet->GetFieldValue(FKeyFields + ";");
}

TDBListItem* TDBCustomListView::FocusedDBItem() const {
    return dynamic_cast<TDBListItem*>(ItemFocused());
}

void TDBCustomListView::Reload() {
    if (!LinkActive()) return;
    TDataSet* ds = DataSet();
    ds->Close();
    ds->Open();
}

void TDBCustomListView::ClearList() {
    try {
        Items()->Clear();
    } catch (...) {
        if (Items()->Count() == 0) FKeyIndex.Forget();
        Update();
        throw;
    }
    if (Items()->Count() == 0) FKeyIndex.Forget();
    Update();
}

bool TDBCustomListView::InitData() {
    FStatusField = nullptr;
    FImageField = nullptr;
    FTextField = nullptr;
    FColumnFields.clear();
    FColumnFieldsOf = nullptr;
    return true;
}

void TDBCustomListView::SplitLine2List(const std::string& Line, TStrings* List) {
    std::string rest = Line;
    try {
        List->Clear();
        TDataSet* ds = DataSet();
        while (!rest.empty()) {
            std::size_t separator = rest.find(';');
            std::string name = rest.substr(0, separator);
            rest = separator == std::string::npos ? std::string() : rest.substr(separator + 1);
            if (!name.empty() && ds && ds->FindField(name)) List->Add(name);
        }
    } catch (...) {
        RaiseRes<EListError>(SCannotSplitLine, {rest});
    }
}

bool TDBCustomListView::ActivateDataSet() {
    TBusy busy(FLockCount);
    bool result = false;
    if (LinkActive()) {
        TDataSet* ds = DataSet();
        FImageField = ds->FindField(FImageIDField);
        FStatusField = ds->FindField(FStatusIDField);
        FTextField = ds->FieldByName(FNameField);
        SplitLine2List(FKeyFields, FKeyFieldList.get());
        SplitLine2List(FColumnsFields, FColumnFieldList.get());
        FColumnsFields = JoinFieldList(*FColumnFieldList);
        FindColumnFields(ds);
        result = true;
    } else {
        InitData();
    }
    if (LinkActive())
        AddHooks(DataSet());
    else
        FreeHooks(FHookedDataSet);
    return result;
}

void TDBCustomListView::DoBeforeLoading() {
    if (FBeforeItemsLoading) FBeforeItemsLoading(this);
}

void TDBCustomListView::DoAfterLoading() {
    if (FAfterItemsLoading) FAfterItemsLoading(this);
}

void TDBCustomListView::LoadItems() {
    if (!LinkActive() || IsDesigning() || FKeyFieldList->Count() == 0) return;
    TDataSet* ds = DataSet();
    TBusy busy(FLockCount);
    TBookmark bookmark = ds->GetBookmark();
    bool bof = ds->Bof(), eof = ds->Eof();
    ds->DisableControls();
    std::exception_ptr failure;
    bool updating = false;
    try {
        DoBeforeLoading();
        Items()->BeginUpdate();
        updating = true;
        if (!(bof && eof)) {
            TBulkFields fields;
            if (CanLoadInBulk(ds, fields))
                LoadInBulk(ds, fields);
            else
                LoadRecordByRecord(ds);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        CAMoveCursor[bof][eof](ds, bookmark);
    } catch (...) {
    }
    ds->FreeBookmark(bookmark);
    if (updating) Items()->EndUpdate();
    Update();
    try {
        ds->EnableControls();
        DoAfterLoading();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void TDBCustomListView::LoadRecordByRecord(TDataSet* DataSet) {
    FLastKeyPending = false;
    DataSet->First();
    while (!DataSet->Eof()) {
        // The items keep one-field keys folded, so FLastKey's array is its own again here and is
        // refilled rather than made anew for every record.
        DataSet->GetFieldValue(FKeyFields + ";", FLastKey);
        FLoadingItem = true;
        try {
            SetupItem(InsertItem());
        } catch (...) {
            FLoadingItem = false;
            throw;
        }
        FLoadingItem = false;
        DataSet->Next();
    }
}

bool TDBCustomListView::CanLoadInBulk(TDataSet* DataSet, TBulkFields& Fields) const {
    if (FOnItemSetup || OnInsert || DataSet->GetBeforeScroll() || DataSet->GetAfterScroll())
        return false;
    for (const TField* field : {FTextField, FStatusField, FImageField})
        if (field && field->DataSet() != DataSet) return false;
    // The key fields as a key vector's read parses them; a name the dataset lacks is left to
    // the record-by-record load, which raises its error where it always has.
    std::string keys = FKeyFields + ";";
    int pos = 1;
    while (pos <= static_cast<int>(keys.size())) {
        std::string name = ExtractFieldName(keys, pos);
        if (name.empty()) continue;
        TField* field = DataSet->FindField(name);
        if (!field) return false;
        Fields.Keys.push_back(field);
    }
    if (Fields.Keys.empty()) return false;
    for (int i = 0; i < FColumnFieldList->Count(); ++i) {
        TField* field =
            DataSet == FColumnFieldsOf &&
                    FColumnFields.size() == static_cast<std::size_t>(FColumnFieldList->Count())
                ? FColumnFields[static_cast<std::size_t>(i)]
                : DataSet->FindField(FColumnFieldList->Get(i));
        if (!field) return false;
        Fields.Columns.push_back(field);
    }
    return true;
}

// What LoadRecordByRecord gives, with the records read in one pass and never made current. The
// dataset's cursor is where it was; the caller puts it back as after any load.
void TDBCustomListView::LoadInBulk(TDataSet* DataSet, const TBulkFields& Fields) {
    std::vector<TField*> read = Fields.Keys;
    for (TField* field : {FTextField, FStatusField, FImageField})
        if (field) read.push_back(field);
    read.insert(read.end(), Fields.Columns.begin(), Fields.Columns.end());
    // Nothing runs during the load that could change the image lists.
    int32_t defState = GetDefState();
    int32_t defImage = GetDefImage();
    const std::vector<TField*>& keys = Fields.Keys;
    try {
        DataSet->ReadRecords(read, [&](const TRecordView& record) {
            ReadLoadKey(record, keys);
            FLoadingItem = true;
            TDBListItem* item = nullptr;
            try {
                item = InsertItem();
            } catch (...) {
                FLoadingItem = false;
                throw;
            }
            FLoadingItem = false;
            if (!LinkActive()) return;
            try {
                SetupFromView(item, record, Fields, defState, defImage);
            } catch (...) {
                RaiseRes<EListError>(SCannotSetupItem);
            }
        });
    } catch (...) {
        SettleLoadKey();
        throw;
    }
    SettleLoadKey();
}

// A one-field key is read as its element alone (the item factory folds it from there); any
// other key into FLastKey's own array.
void TDBCustomListView::ReadLoadKey(const TRecordView& Record, const std::vector<TField*>& Keys) {
    if (Keys.size() == 1) {
        FLoadKey = Record.Value(Keys[0]);
        // An element that is an array itself is not folded by the items: its vector is made.
        FLastKeyPending = !FLoadKey.IsArray();
        if (FLastKeyPending) return;
    }
    FLastKeyPending = false;
    VarArrayRefill(FLastKey, Keys.size(), [&](std::size_t i) { return Record.Value(Keys[i]); });
}

// After a bulk load, whichever way it ends, FLastKey is the last record's key vector, as after a
// load record by record.
void TDBCustomListView::SettleLoadKey() {
    LastKey();
    FLoadKey.Clear();
}

namespace {

// An image index from a record: the field's integer value, or Default when there is no field or
// its value is Null (what SetStatusID and SetImageID give), the value read once.
int32_t IndexOf(const TRecordView& Record, const TField* Field, int32_t Default) {
    return Field ? Record.AsInteger(Field, Default) : Default;
}

} // namespace

// SetupFromRecord for an item made with the record's key vector, from the record as read.
void TDBCustomListView::SetupFromView(TDBListItem* Item, const TRecordView& Record,
                                      const TBulkFields& Fields, int32_t DefState,
                                      int32_t DefImage) {
    Item->SetBookMark(Record.Bookmark());
    // The caption goes from the engine's text into the item in one copy where the field shows
    // the text as it is stored.
    Item->SetCaption(FTextField ? Record.AsText(FTextField, FLoadText) : std::string_view());
    Item->SetStateIndex(IndexOf(Record, FStatusField, DefState));
    Item->SetImageIndex(IndexOf(Record, FImageField, DefImage));
    // An item's column texts are always its TListSubItems.
    auto* columns = static_cast<TListSubItems*>(Item->SubItems());
    columns->BeginUpdate();
    try {
        columns->Clear();
        // A text goes from the record to the item without a copy in between where the field
        // takes the engine's text as it is, as AsString would read it.
        for (const TField* field : Fields.Columns)
            columns->AddText(Record.AsText(field, FLoadText));
    } catch (...) {
        columns->EndUpdate();
        throw;
    }
    columns->EndUpdate();
}

void TDBCustomListView::DoReload() {
    TBusy busy(FLockCount);
    FDeletingItem = nullptr;
    ClearList();
    if (LinkActive()) {
        LoadItems();
        SyncronizeList();
    }
}

TListItem* TDBCustomListView::CreateListItem() {
    // A load hands its key over without a copy of its own (the item keeps the one-field key
    // folded anyway).
    if (FLoadingItem) {
        if (FLastKeyPending)
            return new TDBListItem(Items(), TDBListItem::TElementTag{}, FLoadKey, &FKeyIndex);
        return new TDBListItem(Items(), FLastKey, &FKeyIndex);
    }
    Variant key;
    if (LinkActive()) key = ReadKey(DataSet());
    // Items added by application code while no dataset is active stand for no record: Empty.
    return new TDBListItem(Items(), key, &FKeyIndex);
}

TDBListItem* TDBCustomListView::InsertItem() {
    TBusy busy(FLockCount);
    TDBListItem* item = nullptr;
    try {
        TListItem* added = Items()->Add();
        // The items this view's own factory makes are known by their exact class without a
        // search of the class tree; a derived view's factory may make anything.
        item = added && typeid(*added) == typeid(TDBListItem) ? static_cast<TDBListItem*>(added)
                                                              : dynamic_cast<TDBListItem*>(added);
        Arrange(arDefault);
    } catch (...) {
        RaiseRes<EListError>(SCannotAddItem);
    }
    if (!item) RaiseRes<EListError>(SCannotAddItem);
    return item;
}

void TDBCustomListView::SetupItem(TDBListItem* Item) {
    if (!Item || !LinkActive()) return;
    try {
        SetupFromRecord(Item, DataSet());
    } catch (...) {
        RaiseRes<EListError>(SCannotSetupItem);
    }
}

void TDBCustomListView::SetupFromRecord(TDBListItem* Item, TDataSet* DataSet) {
    if (FLoadingItem && Item->IDEquals2(LastKey()))
        Item->SetBookMark(TBookmark()); // what SetID does with the key it already has
    else
        Item->SetID(ReadKey(DataSet));
    FLoadingItem = false; // from here on handlers may move the dataset
    Item->SetBookMark(DataSet->GetBookmark());
    SetCaption(Item);
    SetStatusID(Item);
    SetImageID(Item);
    SetColumns(Item);
    if (FOnItemSetup) FOnItemSetup(this, Item, DataSet);
}

void TDBCustomListView::SetCaption(TListItem* Item) {
    if (!Item) return;
    Item->SetCaption(FTextField ? FTextField->GetAsString() : std::string());
}

void TDBCustomListView::SetStatusID(TListItem* Item) {
    if (!Item) return;
    if (!FStatusField || FStatusField->IsNull())
        Item->SetStateIndex(GetDefState());
    else
        Item->SetStateIndex(FStatusField->GetAsInteger());
}

void TDBCustomListView::SetImageID(TListItem* Item) {
    if (!Item) return;
    if (!FImageField || FImageField->IsNull())
        Item->SetImageIndex(GetDefImage());
    else
        Item->SetImageIndex(FImageField->GetAsInteger());
}

// Column texts are the raw values, not display texts.
void TDBCustomListView::SetColumns(TListItem* Item) {
    if (!Item) return;
    TStrings* columns = Item->SubItems();
    TDataSet* ds = DataSet();
    columns->BeginUpdate();
    try {
        columns->Clear();
        columns->SetCapacity(FColumnFieldList->Count());
        if (ds)
            for (int i = 0; i < FColumnFieldList->Count(); ++i)
                columns->Add(ColumnField(ds, i)->GetAsString());
    } catch (...) {
        columns->EndUpdate();
        throw;
    }
    columns->EndUpdate();
}

void TDBCustomListView::FindColumnFields(TDataSet* DataSet) {
    FColumnFields.clear();
    FColumnFieldsOf = nullptr;
    for (int i = 0; i < FColumnFieldList->Count(); ++i)
        FColumnFields.push_back(DataSet->FieldByName(FColumnFieldList->Get(i)));
    FColumnFieldsOf = DataSet;
}

// The field of column i: the one found on binding while the view is still bound to that dataset,
// otherwise found by name (which raises when the dataset no longer has it).
TField* TDBCustomListView::ColumnField(TDataSet* DataSet, int i) const {
    if (DataSet == FColumnFieldsOf &&
        FColumnFields.size() == static_cast<std::size_t>(FColumnFieldList->Count()))
        return FColumnFields[static_cast<std::size_t>(i)];
    return DataSet->FieldByName(FColumnFieldList->Get(i));
}

void TDBCustomListView::SetBarAt(TListItem* Item, bool) {
    if (!Item) {
        SetItemFocused(nullptr);
        return;
    }
    uint32_t mark = FDeletions;
    if (!MultiSelect()) SetSelected(Item);
    if (StillHas(Item, mark)) SetItemFocused(Item);
    if (StillHas(Item, mark)) Item->MakeVisible(false);
}

// ---- data-link handlers -------------------------------------------------------------------------

// While busy the view does not re-bind; but it never keeps field references into a dataset that
// has gone inactive, since the dataset frees its fields when it closes.
void TDBCustomListView::DataLinkActiveChanged() {
    if (IsStopped()) {
        if (!LinkActive()) InitData();
        return;
    }
    TBusy busy(FLockCount);
    if (ActivateDataSet() && !DataSet()->IsLoading())
        PostReload();
    else
        ClearList();
}

void TDBCustomListView::DataLinkDataSetChanged() {
    if (IsStopped() || !LinkActive()) return;
    TDataSet* ds = DataSet();
    if (ds->State() != dsBrowse) return;
    TBusy busy(FLockCount);
    if (IsEditing() && ItemFocused()) ItemFocused()->CancelEdit();
    PerformInsert(ItemFocused());
    PerformEditCancel(ItemFocused());
    Variant key = ReadKey(ds);
    TDBListItem* focused = FocusedDBItem();
    if (focused && focused->IDEquals2(key)) return;
    if (TDBListItem* item = FindItem(key))
        SetBarAt(item, false);
    else if (ds->IsEmpty())
        ClearList();
    else
        PostReload(); // a record the list does not show: the whole list is read again later
}

void TDBCustomListView::DataLinkEditingChanged() {
    if (IsStopped() || !LinkActive()) return;
    TBusy busy(FLockCount);
    switch (DataSet()->State()) {
    case dsBrowse:
        // An insert that was cancelled takes its provisional item with it.
        if (FLastState == dsInsert && !FInserting && ItemFocused())
            DeleteItem(ItemFocused()->Index());
        if (ItemFocused()) ItemFocused()->CancelEdit();
        break;
    case dsEdit:
        if (FLastState == dsBrowse) FLastState = dsEdit;
        break;
    case dsInsert:
        if (FLastState == dsBrowse) {
            TDBListItem* item = InsertItem();
            uint32_t mark = FDeletions;
            SetSelected(item);
            if (StillHas(item, mark)) SetItemFocused(item);
            FLastState = dsInsert;
        }
        break;
    default:
        break;
    }
}

void TDBCustomListView::DataLinkUpdateData() {
    if (IsStopped() || !LinkActive()) return;
    TDataSet* ds = DataSet();
    TBusy busy(FLockCount);
    FInserting = ds->State() == dsInsert && ds->Modified();
    switch (ds->State()) {
    case dsBrowse:
        SetupItem(FocusedDBItem());
        break;
    case dsEdit:
    case dsInsert:
        if (FLastState == dsBrowse)
            UpdateName(ItemFocused());
        else
            SetupItem(FocusedDBItem());
        break;
    default:
        break;
    }
}

void TDBCustomListView::DataLinkRecordChanged(TField* Field) {
    if (IsStopped()) return;
    TBusy busy(FLockCount);
    RefreshItem(ItemFocused(), Field);
}

// References are compared in this order, so a report without a field matches the first reference
// that is not bound.
void TDBCustomListView::RefreshItem(TListItem* Item, TField* Field) {
    if (Field == FStatusField)
        SetStatusID(Item);
    else if (Field == FImageField)
        SetImageID(Item);
    else if (Field == FTextField)
        SetCaption(Item);
    else
        RefreshRest(Item, Field);
}

void TDBCustomListView::RefreshRest(TListItem* Item, TField* Field) {
    if (!Item || !Field) return;
    if (FKeyFieldList->IndexOf(Field->FieldName()) >= 0) {
        if (auto* item = dynamic_cast<TDBListItem*>(Item)) item->SetID(ReadKey(Field->DataSet()));
    }
    TStrings* columns = Item->SubItems();
    for (int j = 0; j < FColumnFieldList->Count() && j < columns->Count(); ++j)
        if (SameText(FColumnFieldList->Get(j), Field->FieldName()))
            columns->Put(j, Field->GetAsString());
}

// ---- lookups ------------------------------------------------------------------------------------

TDBListItem* TDBCustomListView::FindItem(const Variant& Key) const {
    TDBListItem* item = FKeyIndex.Find(Key, *Items());
    // The index holds this view's items until they are destroyed, and one placed in the list
    // (position 0 or more) is in it: the selection and focus that follow need not check.
    if (item) Items()->NoteMember(item);
    return item;
}

void TDBCustomListView::SyncronizeList() {
    if (!LinkActive()) return;
    Variant key = ReadKey(DataSet());
    TDBListItem* focused = FocusedDBItem();
    if (!focused || !focused->IDEquals2(key)) SetBarAt(FindItem(key), true);
}

void TDBCustomListView::CheckItem(TDBListItem* Item) {
    if (!Item || !LinkActive()) return;
    TDataSet* ds = DataSet();
    if (!Item->Seek(ds, ReadKey(ds))) DeleteItem(Item->Index());
}

void TDBCustomListView::DeleteItem(int Index) {
    if (Index < 0 || Index >= Items()->Count()) return;
    Items()->Delete(Index);
    Arrange(arDefault);
    int nearest = GetNearestIndex(Index);
    if (nearest < 0 || nearest >= Items()->Count()) return;
    TListItem* item = Items()->Item(nearest);
    uint32_t mark = FDeletions;
    SetItemFocused(item);
    if (StillHas(item, mark)) item->MakeVisible(false);
}

// The item that stood before the removed one, or the first.
int TDBCustomListView::GetNearestIndex(int Index) const {
    if (Items()->Count() == 0) return -1;
    if (Index <= 1) return 0;
    return Index - 1;
}

void TDBCustomListView::Delete(TListItem* Item) {
    ++FDeletions;
    if (Item == FDeletingItem) FDeletingItem = nullptr;
    TCustomListView::Delete(Item);
}

// ---- selection ----------------------------------------------------------------------------------

void TDBCustomListView::ChangeGate(TListItem* Item, TItemChange Change) {
    TCustomListView::Change(Item, Change);
}

// A pending edit or insert of the view's own is posted (or cancelled when nothing was changed)
// before the selection moves.
bool TDBCustomListView::CanChange(TListItem* Item, TItemChange Change) {
    bool allow = TCustomListView::CanChange(Item, Change);
    if (IsStopped() || !LinkActive()) return allow;
    TDataSet* ds = DataSet();
    if (IsEditState(ds->State()) && FLastState != dsBrowse && Item) ds->CheckBrowseMode();
    return allow;
}

void TDBCustomListView::Change(TListItem* Item, TItemChange Change) {
    if (IsStopped() || !LinkActive()) return;
    if (DataSet()->IsDestroying()) return;
    TBusy busy(FLockCount);
    TCustomListView::Change(Item, Change);
    if (FLastState == dsBrowse) {
        CheckItem(FocusedDBItem());
    } else {
        // The dataset's reports of leaving the edit are the view's to hear this time.
        TIdle idle(FLockCount);
        FLastState = dsBrowse;
        CheckItem(FocusedDBItem());
    }
    FLastState = EditingStateOf(DataSet());
}

// ---- in-place editing ---------------------------------------------------------------------------

bool TDBCustomListView::CanEdit(TListItem* Item) {
    TDataSet* ds = DataSet();
    bool allow = TCustomListView::CanEdit(Item) && FTextField && ds && ds->CanModify() &&
                 FTextField->CanModify();
    if (IsStopped() || !LinkActive() || !allow) return allow;
    TBusy busy(FLockCount);
    bool failed = false;
    try {
        failed = !EditRecordOf(dynamic_cast<TDBListItem*>(Item), ds);
    } catch (...) {
        failed = true;
    }
    if (failed) RaiseRes<EListError>(SCantEditUnexistingRecordList);
    FLastState = EditingStateOf(ds);
    return allow;
}

// Puts the dataset into edit state on Item's own record, wherever the cursor was (a move to the
// item's record that failed earlier leaves the cursor on another record, whose name must not take
// the item's caption); false when that record cannot be reached.
bool TDBCustomListView::EditRecordOf(TDBListItem* Item, TDataSet* DataSet) {
    if (!Item) return false;
    if (DataSet->State() == dsBrowse && !Item->IDEquals2(ReadKey(DataSet)))
        Item->Seek(DataSet, ReadKey(DataSet));
    // The provisional item of an insert has no key of its own yet.
    if (DataSet->State() != dsInsert && !Item->IDEquals2(ReadKey(DataSet))) return false;
    DataSet->Edit();
    return true;
}

void TDBCustomListView::Edit(const TLVItem& Item) {
    if (IsStopped() || !LinkActive()) return;
    TBusy busy(FLockCount);
    TCustomListView::Edit(Item);
    TDataSet* ds = DataSet();
    switch (ds->State()) {
    case dsEdit:
    case dsInsert:
        // The caption goes only into the focused item's own record.
        if (ds->State() == dsEdit && !(FocusedDBItem() && FocusedDBItem()->IDEquals2(ReadKey(ds))))
            break;
        UpdateName(ItemFocused());
        FLastState = ds->State();
        if (TDBListItem* focused = FocusedDBItem()) focused->SetBookMark(ds->GetBookmark());
        break;
    default:
        FDataLink->UpdateRecord();
        break;
    }
}

void TDBCustomListView::UpdateName(TListItem* Item) {
    if (!Item || !FTextField) return;
    if (FTextField->GetAsString() != Item->Caption()) FTextField->SetAsString(Item->Caption());
}

void TDBCustomListView::EditItem(TListItem* Item) {
    if (Item && Enabled() && !ReadOnly() && Focused()) Item->EditCaption();
}

void TDBCustomListView::PerformInsert(TListItem* Item) {
    bool pending = FInserting;
    FInserting = false;
    if (Item && pending) SetupItem(dynamic_cast<TDBListItem*>(Item));
}

void TDBCustomListView::PerformEditCancel(TListItem* Item) {
    bool editing = FLastState == dsEdit;
    FLastState = dsBrowse;
    if (Item && editing) SetupItem(dynamic_cast<TDBListItem*>(Item));
}

// Gaining the focus during an edit of the view's own reopens the in-place editor.
void TDBCustomListView::DoEnter() {
    if (IsStopped()) return;
    {
        TBusy busy(FLockCount);
        if (FLastState == dsEdit || FLastState == dsInsert) EditItem(ItemFocused());
    }
    TCustomListView::DoEnter();
}

// ---- deletion hooks -----------------------------------------------------------------------------

// Only controls are views whose hooks stand in a chain.
static bool IsHookView(const TComponent* Component) {
    return dynamic_cast<const TControl*>(Component) != nullptr;
}

TDBCustomListView::THookSlot TDBCustomListView::HookSlot(bool Before) {
    if (Before)
        return {TDataSetNotifyEvent::Bind<&TDBCustomListView::RecordBeingDeleted>(this),
                FOldBeforeDelete, FBeforeHookPlaced, &TDataSet::GetBeforeDelete,
                &TDataSet::SetBeforeDelete};
    return {TDataSetNotifyEvent::Bind<&TDBCustomListView::RecordDeleted>(this), FOldAfterDelete,
            FAfterHookPlaced, &TDataSet::GetAfterDelete, &TDataSet::SetAfterDelete};
}

void TDBCustomListView::PlaceHook(TDataSet* DataSet, bool Before) {
    // A view's hook kept here must not outlive the view.
    if (TComponent* view = PlaceDeleteHook(*DataSet, HookSlot(Before), *this, &IsHookView))
        FreeNotification(view);
}

void TDBCustomListView::RemoveHook(TDataSet* DataSet, bool Before) {
    RemoveDeleteHook(*DataSet, HookSlot(Before), *this, &IsHookView);
}

void TDBCustomListView::AddHooks(TDataSet* DataSet) {
    if (!DataSet) return;
    if (FHookedDataSet && FHookedDataSet != DataSet) FreeHooks(FHookedDataSet);
    PlaceHook(DataSet, true);
    PlaceHook(DataSet, false);
    if (FHookedDataSet != DataSet) {
        FHookedDataSet = DataSet;
        FreeNotification(DataSet);
    }
}

void TDBCustomListView::FreeHooks(TDataSet* DataSet) {
    if (!DataSet) return;
    RemoveHook(DataSet, true);
    RemoveHook(DataSet, false);
    if (DataSet == FHookedDataSet) {
        FHookedDataSet = nullptr;
        RemoveFreeNotification(DataSet);
    }
}

void TDBCustomListView::RecordBeingDeleted(TDataSet* DataSet) {
    FDeletingItem = FocusedDBItem();
    if (!DataSet || !FOldBeforeDelete) return;
    HandOn(DataSet, true);
}

// The handler this hook replaced is called whatever happens here.
void TDBCustomListView::RecordDeleted(TDataSet* DataSet) {
    std::exception_ptr failure;
    try {
        TDBListItem* noted = FDeletingItem;
        TDataSet* ds = DataSet ? DataSet : this->DataSet();
        if (noted && ds && !noted->IDEquals2(ReadKey(ds))) {
            FDeletingItem = nullptr;
            DeleteItem(noted->Index());
            FInserting = false;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    FDeletingItem = nullptr;
    if (DataSet && FOldAfterDelete) {
        try {
            HandOn(DataSet, false);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

// Passes a deletion on to the handler this hook stands in for. Where this hook still stands, the
// handler takes its place again (this view places itself anew before the next deletion). Where
// another view has placed itself in front meanwhile (the items removed here moved the dataset,
// and the views' checks placed their hooks), that view keeps this hook: writing the handler back
// would throw the other view out of the chain, so this hook stays, with the handler behind it.
void TDBCustomListView::HandOn(TDataSet* DataSet, bool Before) {
    THookSlot slot = HookSlot(Before);
    TDataSetNotifyEvent handler = slot.Saved;
    if ((DataSet->*slot.Get)().SameMethod(slot.Hook)) {
        (DataSet->*slot.Set)(handler);
        slot.Saved = TDataSetNotifyEvent();
        slot.Placed = false;
    }
    if (handler) handler(DataSet);
}

// ---- published properties -----------------------------------------------------------------------

const TClassInfo& TDBCustomListView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDBCustomListView>("TDBCustomListView", &TCustomListView::StaticClassInfo())
            .Build();
    return info;
}

const TClassInfo& TDBListView::StaticClassInfo() {
    using T = TDBListView;
    using B = TDBCustomListView;
    static const TClassInfo info =
        TClassBuilder<T>("TDBListView", &TDBCustomListView::StaticClassInfo())
            .Property("DefStatus", MemberOf<T>(&B::GetDefState), MemberOf<T>(&B::SetDefState),
                      Variant(0))
            .Property("DefImage", MemberOf<T>(&B::GetDefImage), MemberOf<T>(&B::SetDefImage),
                      Variant(0))
            .Property("KeyFieldsCount", MemberOf<T>(&B::GetKeyFieldsCount))
            .Object("DataSource", "TDataSource", MemberOf<T>(&B::GetDataSource),
                    MemberOf<T>(&B::SetDataSource))
            .Property("StatusIDField", MemberOf<T>(&B::GetStatusIDField),
                      MemberOf<T>(&B::SetStatusIDField), Variant(""))
            .Property("ImageIDField", MemberOf<T>(&B::GetImageIDField),
                      MemberOf<T>(&B::SetImageIDField), Variant(""))
            .Property("NameField", MemberOf<T>(&B::GetNameField), MemberOf<T>(&B::SetNameField),
                      Variant(""))
            .Property("KeyFields", MemberOf<T>(&B::GetKeyFields), MemberOf<T>(&B::SetKeyFields),
                      Variant(""))
            .Property("ColumnsFields", MemberOf<T>(&B::GetColumnsFields),
                      MemberOf<T>(&B::SetColumnsFields), Variant(""))
            .Event("BeforeItemsLoading", "TDBLVBeforeItemsLoading",
                   MemberOf<T>(&B::GetBeforeItemsLoading), MemberOf<T>(&B::SetBeforeItemsLoading))
            .Event("AfterItemsLoading", "TDBLVAfterItemsLoading",
                   MemberOf<T>(&B::GetAfterItemsLoading), MemberOf<T>(&B::SetAfterItemsLoading))
            .Event("OnItemSetup", "TDBLVOnItemSetup", MemberOf<T>(&B::GetOnItemSetup),
                   MemberOf<T>(&B::SetOnItemSetup))
            .Object("PopupMenu", "TPopupMenu", MemberOf<T>(&B::ReadPopupMenu),
                    MemberOf<T>(&B::WritePopupMenu))
            .Object("ObjectMenu", "TPopupMenu", MemberOf<T>(&B::GetObjectMenu),
                    MemberOf<T>(&B::SetObjectMenu))
            .Republish(TCustomListView::HostProperties(),
                       {"Align",       "BorderStyle",    "Color",       "ColumnClick",
                        "OnClick",     "OnDblClick",     "Columns",     "Ctl3D",
                        "DragMode",    "ReadOnly",       "Font",        "HideSelection",
                        "IconOptions", "AllocBy",        "MultiSelect", "OnChange",
                        "OnChanging",  "OnColumnClick",  "OnCompare",   "OnDeletion",
                        "OnEdited",    "OnEditing",      "OnEnter",     "OnExit",
                        "OnInsert",    "OnDragDrop",     "OnDragOver",  "DragCursor",
                        "OnStartDrag", "OnEndDrag",      "OnMouseDown", "OnMouseMove",
                        "OnMouseUp",   "ParentShowHint", "ShowHint",    "ShowColumnHeaders",
                        "SortType",    "TabOrder",       "TabStop",     "ViewStyle",
                        "Visible",     "OnKeyDown",      "OnKeyPress",  "OnKeyUp",
                        "LargeImages", "SmallImages",    "StateImages"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
