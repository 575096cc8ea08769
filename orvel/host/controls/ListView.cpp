// The list view: items with captions, images and column texts, selection and focus with their
// change hooks, in-place caption editing, the four view styles' layouts and scrolling.
#include "orvel/host/controls/ComCtrls.h"

#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>
#include <exception>

namespace orvel {

// --- Columns and icon options -------------------------------------------------------------

void TListColumn::Changed() {
    if (FOwner) FOwner->Changed();
}

void TListColumn::SetCaption(const std::string& value) {
    if (value == FCaption) return;
    FCaption = value;
    Changed();
}

void TListColumn::SetWidth(int value) {
    value = std::max(0, value);
    if (value == FWidth) return;
    FWidth = value;
    Changed();
}

void TListColumn::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    Changed();
}

int TListColumn::Index() const {
    return FOwner ? FOwner->IndexOf(this) : -1;
}

void TListColumn::Assign(TPersistent* Source) {
    auto* column = dynamic_cast<TListColumn*>(Source);
    if (!column) {
        TPersistent::Assign(Source);
        return;
    }
    FCaption = column->FCaption;
    FWidth = column->FWidth;
    FAlignment = column->FAlignment;
    Changed();
}

void TListColumns::Changed() {
    if (FOwner) FOwner->Invalidate();
}

TListColumn* TListColumns::Add() {
    FItems.push_back(std::make_unique<TListColumn>(this));
    Changed();
    return FItems.back().get();
}

TListColumn* TListColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    return FItems[static_cast<std::size_t>(Index)].get();
}

void TListColumns::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TListColumns::Clear() {
    FItems.clear();
    Changed();
}

int TListColumns::IndexOf(const TListColumn* Column) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Column) return static_cast<int>(i);
    return -1;
}

void TListColumns::Assign(TPersistent* Source) {
    auto* columns = dynamic_cast<TListColumns*>(Source);
    if (!columns) {
        TPersistent::Assign(Source);
        return;
    }
    if (columns == this) return;
    FItems.clear();
    for (const auto& c : columns->FItems)
        Add()->Assign(c.get());
    Changed();
}

void TIconOptions::Assign(TPersistent* Source) {
    auto* options = dynamic_cast<TIconOptions*>(Source);
    if (!options) {
        TPersistent::Assign(Source);
        return;
    }
    FArrangement = options->FArrangement;
    FAutoArrange = options->FAutoArrange;
    FWrapText = options->FWrapText;
    if (FOwner) FOwner->Invalidate();
}

const TClassInfo& TIconOptions::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TIconOptions>("TIconOptions", &TPersistent::StaticClassInfo())
            .Enum("Arrangement", "TIconArrangement", {"iaTop", "iaLeft"},
                  &TIconOptions::Arrangement, &TIconOptions::SetArrangement,
                  std::optional<TIconArrangement>(iaTop))
            .Property("AutoArrange", &TIconOptions::AutoArrange, &TIconOptions::SetAutoArrange,
                      Variant(false))
            .Property("WrapText", &TIconOptions::WrapText, &TIconOptions::SetWrapText,
                      Variant(true))
            .Build();
    return info;
}

// --- TListItem ----------------------------------------------------------------------------

TListItem::TListItem(TListItems* AOwner) : FOwner(AOwner) {}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const {
    return FOwner ? FOwner->Owner() : nullptr;
}

void TListItem::Changed() {
    if (TCustomListView* lv = ListView()) lv->Invalidate();
}

void TListItem::SetCaption(std::string_view value) {
    if (value == FCaption) return;
    FCaption.assign(value);
    Changed();
}

void TListItem::SetImageIndex(int value) {
    if (value == FImageIndex) return;
    FImageIndex = value;
    Changed();
}

void TListItem::SetStateIndex(int value) {
    if (value == FStateIndex) return;
    FStateIndex = value;
    Changed();
}

void TListItem::SetOverlayIndex(int value) {
    if (value == FOverlayIndex) return;
    FOverlayIndex = value;
    Changed();
}

TStrings* TListItem::SubItems() const {
    return &FSubItems;
}

void TListItem::SetSelected(bool value) {
    if (TCustomListView* lv = ListView())
        lv->SelectItem(this, value);
    else
        FSelected = value;
}

void TListItem::SetFocused(bool value) {
    if (TCustomListView* lv = ListView())
        lv->FocusItem(this, value);
    else
        FFocused = value;
}

void TListItem::Delete() {
    if (FOwner) FOwner->Delete(FIndex);
}

void TListItem::MakeVisible(bool) {
    if (TCustomListView* lv = ListView()) lv->MakeItemVisible(this);
}

bool TListItem::EditCaption() {
    TCustomListView* lv = ListView();
    return lv && lv->StartEdit(this);
}

void TListItem::CancelEdit() {
    TCustomListView* lv = ListView();
    if (lv) lv->FinishEdit(true);
}

TRect TListItem::DisplayRect(TDisplayCode Code) const {
    TCustomListView* lv = ListView();
    if (!lv) return {};
    TRect cell = lv->ItemCell(FIndex);
    if (lv->ViewStyle() == vsReport && lv->Columns()->Count() > 0 && Code != drSelectBounds &&
        Code != drBounds)
        cell.Right = cell.Left + lv->Columns()->Items(0)->Width();
    if (Code == drBounds || Code == drSelectBounds) return cell;
    if (lv->ViewStyle() == vsIcon) {
        // Large icons: the icon centred at the top of the cell, the caption below it.
        const TCustomImageList* large = lv->LargeImages();
        int width = large ? large->Width() : 0;
        int height = large ? large->Height() : 0;
        int left = cell.Left + (cell.Width() - width) / 2;
        int iconBottom = std::min(cell.Bottom, cell.Top + TCustomListView::IconMargin + height);
        if (Code == drIcon)
            return {left, cell.Top + TCustomListView::IconMargin, left + width, iconBottom};
        return {cell.Left, iconBottom, cell.Right, cell.Bottom};
    }
    const TCustomImageList* images =
        lv->ViewStyle() == vsIcon ? lv->LargeImages() : lv->SmallImages();
    int iconWidth = images ? images->Width() : 0;
    TRect icon{cell.Left, cell.Top, std::min(cell.Right, cell.Left + iconWidth), cell.Bottom};
    if (Code == drIcon) return icon;
    return {icon.Right, cell.Top, cell.Right, cell.Bottom};
}

void TListItem::Assign(TPersistent* Source) {
    auto* item = dynamic_cast<TListItem*>(Source);
    if (!item) {
        TPersistent::Assign(Source);
        return;
    }
    SetCaption(item->FCaption);
    FData = item->FData;
    SetImageIndex(item->FImageIndex);
    SetStateIndex(item->FStateIndex);
    SetOverlayIndex(item->FOverlayIndex);
    if (item->FSubItems.Count() != 0 || FSubItems.Count() != 0) FSubItems.Assign(&item->FSubItems);
}

// --- TListSubItems -------------------------------------------------------------------------

void TListSubItems::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
}

std::string TListSubItems::Get(int index) const {
    CheckIndex(index);
    return std::string(FTexts.Get(index));
}

void TListSubItems::Put(int index, const std::string& s) {
    CheckIndex(index);
    FTexts.Put(index, s);
    Changed();
}

TObject* TListSubItems::GetObject(int index) const {
    CheckIndex(index);
    return FObjects ? (*FObjects)[static_cast<std::size_t>(index)] : nullptr;
}

void TListSubItems::PutObject(int index, TObject* object) {
    CheckIndex(index);
    if (!FObjects && object)
        FObjects = std::make_unique<std::vector<TObject*>>(static_cast<std::size_t>(Count()));
    if (FObjects) (*FObjects)[static_cast<std::size_t>(index)] = object;
    Changed();
}

// The object slot is made room for first, so that a failure leaves texts and slots in step.
void TListSubItems::InsertObject(int index, const std::string& s, TObject* object) {
    if (index < 0 || index > Count()) IndexError(index);
    if (!FObjects && object)
        FObjects = std::make_unique<std::vector<TObject*>>(static_cast<std::size_t>(Count()));
    if (FObjects) FObjects->insert(FObjects->begin() + index, object);
    try {
        FTexts.Insert(index, s);
    } catch (...) {
        if (FObjects) FObjects->erase(FObjects->begin() + index);
        throw;
    }
    Changed();
}

void TListSubItems::AddText(std::string_view s) {
    if (FObjects) FObjects->push_back(nullptr);
    try {
        FTexts.Insert(Count(), s);
    } catch (...) {
        if (FObjects) FObjects->pop_back();
        throw;
    }
    Changed();
}

void TListSubItems::Delete(int index) {
    CheckIndex(index);
    FTexts.Delete(index);
    if (FObjects) FObjects->erase(FObjects->begin() + index);
    Changed();
}

void TListSubItems::Clear() {
    if (Count() == 0) return;
    FTexts.Clear();
    FObjects.reset();
    Changed();
}

void TListSubItems::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    if (a != b) {
        std::string first(FTexts.Get(a));
        std::string second(FTexts.Get(b));
        FTexts.Put(a, second);
        try {
            FTexts.Put(b, first);
        } catch (...) {
            FTexts.Put(a, first); // back to its old length: the room is there
            throw;
        }
        if (FObjects)
            std::swap((*FObjects)[static_cast<std::size_t>(a)],
                      (*FObjects)[static_cast<std::size_t>(b)]);
    }
    Changed();
}

void TListSubItems::SetUpdateState(bool updating) {
    if (!updating) FItem->Changed();
}

void TListSubItems::Changed() {
    if (UpdateCount() == 0) FItem->Changed();
}

// --- TListItems ---------------------------------------------------------------------------

TListItems::TListItems(TCustomListView* AOwner) : FOwner(AOwner) {}

TListItems::~TListItems() = default;

TListItem* TListItems::Item(int Index) const {
    if (Index < 0 || Index >= Count())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    return FItems[static_cast<std::size_t>(Index)].get();
}

int TListItems::IndexOf(const TListItem* Item) const {
    if (Item && Item == FKnownMember && FKnownMemberMark == FRemovals) return Item->FIndex;
    return Live().Contains(Item) ? Item->FIndex : -1;
}

const TPointerSet& TListItems::Live() const {
    if (!FLiveKept) {
        FLive.Clear();
        FLive.Reserve(FItems.size());
        for (const auto& item : FItems)
            FLive.Insert(item.get());
        FLiveKept = true;
    }
    return FLive;
}

void TListItems::Renumber(int From) {
    for (std::size_t i = static_cast<std::size_t>(std::max(0, From)); i < FItems.size(); ++i)
        FItems[i]->FIndex = static_cast<int32_t>(i);
}

TListItem* TListItems::Add() {
    return Insert(Count());
}

TListItem* TListItems::Insert(int Index) {
    Index = std::clamp(Index, 0, Count());
    std::unique_ptr<TListItem> item(FOwner->CreateListItem());
    if (!item) throw EListError("The list view made no item");
    item->FOwner = this;
    TListItem* added = item.get();
    if (FLiveKept) FLive.Insert(added);
    try {
        FItems.insert(FItems.begin() + Index, std::move(item));
    } catch (...) {
        if (FLiveKept) FLive.Erase(added);
        throw;
    }
    Renumber(Index);
    FOwner->ItemsChanged();
    FOwner->ItemInserted(added);
    return added;
}

void TListItems::Delete(int Index) {
    TListItem* item = Item(Index);
    if (item->FDeleting) return;
    item->FDeleting = true;
    FOwner->ItemLeaving(item);
    std::exception_ptr error;
    try {
        FOwner->Delete(item);
    } catch (...) {
        error = std::current_exception();
    }
    // The handler may have changed the list: the item is found again by identity.
    int at = IndexOf(item);
    if (at >= 0) {
        FOwner->ItemRemoved(item);
        if (FLiveKept) FLive.Erase(item);
        ++FRemovals;
        FItems.erase(FItems.begin() + at);
        Renumber(at);
    }
    FOwner->ItemsChanged();
    if (error) std::rethrow_exception(error);
}

void TListItems::Clear() {
    FOwner->DropEditor();
    FOwner->FFocusedItem = nullptr;
    FOwner->FTopLine = 0;
    for (auto& item : FItems)
        item->FDeleting = true;
    std::exception_ptr error;
    std::vector<TListItem*> items;
    items.reserve(FItems.size());
    for (auto& item : FItems)
        items.push_back(item.get());
    for (TListItem* item : items) {
        try {
            FOwner->Delete(item);
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    FOwner->FSelection.clear();
    FLive.Clear();
    FLiveKept = false;
    ++FRemovals;
    FItems.clear();
    FOwner->ItemsChanged();
    if (error) std::rethrow_exception(error);
}

void TListItems::BeginUpdate() {
    ++FUpdateCount;
}

void TListItems::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) FOwner->ItemsChanged();
}

void TListItems::Assign(TPersistent* Source) {
    auto* items = dynamic_cast<TListItems*>(Source);
    if (!items) {
        TPersistent::Assign(Source);
        return;
    }
    if (items == this) return;
    BeginUpdate();
    try {
        Clear();
        for (const auto& item : items->FItems)
            Add()->Assign(item.get());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- TCustomListView ----------------------------------------------------------------------

TCustomListView::TCustomListView(TComponent* AOwner)
    : TCustomControl(AOwner), FItems(std::make_unique<TListItems>(this)),
      FColumns(std::make_unique<TListColumns>(this)),
      FIconOptions(std::make_unique<TIconOptions>(this)),
      FLargeChangeLink(std::make_unique<TChangeLink>()),
      FSmallChangeLink(std::make_unique<TChangeLink>()),
      FStateChangeLink(std::make_unique<TChangeLink>()) {
    for (TChangeLink* link :
         {FLargeChangeLink.get(), FSmallChangeLink.get(), FStateChangeLink.get()})
        link->OnChange = [this](TObject*) { Invalidate(); };
    SetBorderStyle(bsSingle);
    SetTabStop(true);
    SetBounds(0, 0, 250, 150);
}

TCustomListView::~TCustomListView() {
    FEditor.Close();
    FEditItem = nullptr;
    FFocusedItem = nullptr;
    FItems.reset();
}

TListItem* TCustomListView::CreateListItem() {
    return new TListItem(FItems.get());
}

namespace {

uint32_t RemovalMark(const TListItems* Items) {
    return Items ? Items->RemovalCount() : 0;
}

// Whether an item that was in the list when its removal count read Mark still is: the list is
// asked only when something was removed since.
bool AliveSince(const TListItems* Items, const TListItem* Item, uint32_t Mark) {
    if (!Items || !Item) return false;
    return Items->RemovalCount() == Mark || Items->IndexOf(Item) >= 0;
}

} // namespace

bool TCustomListView::Alive(const TListItem* Item) const {
    return Item && FItems && FItems->IndexOf(Item) >= 0;
}

// --- Selection and focus ---

// Changes the selected and focused state of one item as one change: CanChange (which may
// refuse), the new state, Change.
//
// Item is one of the view's items on entry (every caller knows it: it checked, or took the item
// from the selection or the focus, which lose an item as it is removed). So are the items of
// SelectedItems when it answers. Such an item needs the membership check only once anything was
// removed since (the handlers run in between may remove items): AliveSince.
bool TCustomListView::ApplyState(TListItem* Item, bool Select, bool Focus) {
    if (Item->FSelected == Select && Item->FFocused == Focus) return true;
    uint32_t mark = RemovalMark(FItems.get());
    if (!CanChange(Item, ctState)) return false;
    if (!AliveSince(FItems.get(), Item, mark)) return false;
    if (Focus && FFocusedItem && FFocusedItem != Item) FFocusedItem->FFocused = false;
    Item->FSelected = Select;
    if (Select)
        FSelection.insert(Item);
    else
        FSelection.erase(Item);
    Item->FFocused = Focus;
    if (Focus)
        FFocusedItem = Item;
    else if (FFocusedItem == Item)
        FFocusedItem = nullptr;
    Invalidate();
    Change(Item, ctState);
    return true;
}

bool TCustomListView::SelectItem(TListItem* Item, bool Value) {
    if (Value && !FMultiSelect) {
        uint32_t mark = RemovalMark(FItems.get());
        for (TListItem* other : SelectedItems(Item, false))
            if (AliveSince(FItems.get(), other, mark) && !ApplyState(other, false, other->FFocused))
                return false;
    }
    if (!Alive(Item)) return false;
    return ApplyState(Item, Value, Item->FFocused);
}

bool TCustomListView::FocusItem(TListItem* Item, bool Value) {
    if (Value) {
        TListItem* old = FFocusedItem;
        if (old && old != Item && !ApplyState(old, old->FSelected, false)) return false;
        if (!Alive(Item)) return false;
    }
    return ApplyState(Item, Item->FSelected, Value);
}

// A click on an item: without Toggle the other items lose selection and focus, then the item
// gains both; with Toggle (a multi-selection Ctrl click) the focus moves to the item and its
// selection flips.
void TCustomListView::ClickItem(TListItem* Item, bool Toggle) {
    if (Toggle) {
        TListItem* old = FFocusedItem;
        if (old && old != Item && !ApplyState(old, old->FSelected, false)) return;
        if (Alive(Item)) ApplyState(Item, !Item->FSelected, true);
        return;
    }
    uint32_t mark = RemovalMark(FItems.get());
    for (TListItem* other : SelectedItems(Item, true))
        if (AliveSince(FItems.get(), other, mark) && !ApplyState(other, false, false)) return;
    if (Alive(Item) && ApplyState(Item, true, true) && Alive(Item)) MakeItemVisible(Item);
}

TListItem* TCustomListView::Selected() const {
    TListItem* first = nullptr;
    for (TListItem* item : FSelection)
        if (!first || item->FIndex < first->FIndex) first = item;
    return first;
}

std::vector<TListItem*> TCustomListView::SelectedItems(const TListItem* Except,
                                                       bool Focused) const {
    std::vector<TListItem*> items;
    items.reserve(FSelection.size() + 1);
    for (TListItem* item : FSelection)
        if (item != Except) items.push_back(item);
    if (Focused && FFocusedItem && FFocusedItem != Except && !FFocusedItem->FSelected)
        items.push_back(FFocusedItem);
    std::sort(items.begin(), items.end(),
              [](const TListItem* a, const TListItem* b) { return a->FIndex < b->FIndex; });
    return items;
}

void TCustomListView::ItemRemoved(TListItem* Item) {
    FSelection.erase(Item);
}

void TCustomListView::SetSelected(TListItem* Item) {
    if (Item && !Alive(Item)) return;
    uint32_t mark = RemovalMark(FItems.get());
    for (TListItem* other : SelectedItems(Item, false))
        if (AliveSince(FItems.get(), other, mark) && !ApplyState(other, false, other->FFocused))
            return;
    if (Item && AliveSince(FItems.get(), Item, mark)) ApplyState(Item, true, Item->FFocused);
}

void TCustomListView::SetItemFocused(TListItem* Item) {
    if (Item) {
        if (Alive(Item)) FocusItem(Item, true);
    } else if (FFocusedItem) {
        FocusItem(FFocusedItem, false);
    }
}

int TCustomListView::SelCount() const {
    return static_cast<int>(FSelection.size());
}

void TCustomListView::ClearSelection() {
    SetSelected(nullptr);
}

void TCustomListView::ItemLeaving(TListItem* Item) {
    if (FEditItem == Item) DropEditor();
    if (FFocusedItem == Item) FFocusedItem = nullptr;
}

void TCustomListView::ItemsChanged() {
    // During an update the scroll position is settled once, at the end.
    if (FItems && FItems->UpdateCount() > 0) return;
    TLayout layout = Layout();
    int maxTop = std::max(0, LineCount(layout) - std::max(1, VisibleLines(layout)));
    if (FTopLine > maxTop) FTopLine = maxTop;
    Invalidate();
}

void TCustomListView::Invalidate() {
    // While the items are being updated the view repaints once, at the end.
    if (FItems && FItems->UpdateCount() > 0) return;
    TWinControl::Invalidate();
}

// --- Hooks ---

bool TCustomListView::CanChange(TListItem* Item, TItemChange Change) {
    bool allow = true;
    if (OnChanging) OnChanging(this, Item, Change, allow);
    return allow;
}

void TCustomListView::Change(TListItem* Item, TItemChange Change) {
    if (OnChange) OnChange(this, Item, Change);
}

bool TCustomListView::CanEdit(TListItem* Item) {
    bool allow = true;
    if (OnEditing) OnEditing(this, Item, allow);
    return allow;
}

void TCustomListView::Edit(const TLVItem& Item) {
    std::string text = Item.Text;
    if (OnEdited) OnEdited(this, Item.Item, text);
    if (Item.Item) Item.Item->SetCaption(text);
}

void TCustomListView::Delete(TListItem* Item) {
    if (OnDeletion) OnDeletion(this, Item);
}

void TCustomListView::ItemInserted(TListItem* Item) {
    if (OnInsert) OnInsert(this, Item);
}

void TCustomListView::ColumnClicked(TListColumn* Column) {
    if (OnColumnClick) OnColumnClick(this, Column);
}

// --- In-place editing ---

bool TCustomListView::StartEdit(TListItem* Item) {
    if (!Item || FReadOnly || !Alive(Item)) return false;
    if (IsEditing()) {
        if (FEditItem == Item) return true;
        FinishEdit(false);
        if (!Alive(Item)) return false;
    }
    if (!CanEdit(Item) || !Alive(Item)) return false;
    FEditItem = Item;
    FEditor.Open(Item->Caption());
    Invalidate();
    return true;
}

bool TCustomListView::FinishEdit(bool Cancel) {
    if (!FEditor.Active()) return false;
    TLVItem item{FEditItem, FEditor.Text()};
    DropEditor();
    if (!Cancel && Alive(item.Item)) Edit(item);
    return true;
}

void TCustomListView::DropEditor() {
    if (!FEditor.Active()) return;
    FEditor.Close();
    FEditItem = nullptr;
    Invalidate();
}

void TCustomListView::WndProc(TMessage& Message) {
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

void TCustomListView::CMExit(TMessage& Message) {
    if (IsEditing()) FinishEdit(false);
    TWinControl::CMExit(Message);
}

// --- Mouse and keys ---

void TCustomListView::DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool) {
    FPressPoint = {X, Y};
    if (IsEditing()) FinishEdit(false);
    if (Button == mbLeft) {
        // A press on a divider between headers starts resizing the column left of it.
        int divider = GetColumnDividerAt(X, Y);
        if (divider >= 0) {
            FResizeColumn = divider;
            return;
        }
        if (TListColumn* column = GetColumnAt(X, Y)) {
            if (FColumnClick) ColumnClicked(column);
            return;
        }
    }
    TListItem* item = GetItemAt(X, Y);
    if (Button == mbLeft) {
        if (item) {
            ClickItem(item, FMultiSelect && Shift.Contains(ssCtrl));
            return;
        }
        // A click on empty space clears the selection; the focus stays.
        for (TListItem* s : SelectedItems(nullptr, false))
            if (Alive(s) && !ApplyState(s, false, s->FFocused)) return;
    } else if (Button == mbRight && item && !item->FSelected) {
        ClickItem(item, false);
    }
}

void TCustomListView::MouseMove(TShiftState Shift, int X, int Y) {
    // Resizing lasts while the press holds the mouse; a lost capture (cancelled) ends it.
    if (FResizeColumn >= 0 && !MouseCapture()) FResizeColumn = -1;
    if (FResizeColumn >= 0) TrackDivider(X);
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomListView::DefaultMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && FResizeColumn >= 0) {
        TrackDivider(X);
        FResizeColumn = -1;
    }
    TCustomControl::DefaultMouseUp(Button, Shift, X, Y);
}

// The column being resized follows the mouse: its right edge is where the mouse is (never left
// of its own left edge).
void TCustomListView::TrackDivider(int X) {
    if (FResizeColumn >= FColumns->Count()) {
        FResizeColumn = -1; // the column went away meanwhile
        return;
    }
    FColumns->Items(FResizeColumn)->SetWidth(X - ColumnLeft(FResizeColumn));
}

void TCustomListView::DefaultKeyDown(uint16_t& Key, TShiftState) {
    switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
        MoveFocusByKey(Key);
        break;
    case VK_F2:
        if (FFocusedItem) FFocusedItem->EditCaption();
        break;
    default:
        break;
    }
}

void TCustomListView::MoveFocusByKey(uint16_t Key) {
    int count = FItems->Count();
    if (count == 0) return;
    TLayout layout = Layout();
    int per = layout.PerLine;
    int page = std::max(1, VisibleLines(layout)) * per;
    int current = FFocusedItem ? FFocusedItem->Index() : -1;
    int step = 0;
    switch (Key) {
    case VK_UP:
        step = FViewStyle == vsReport || FViewStyle == vsList ? -1 : -per;
        break;
    case VK_DOWN:
        step = FViewStyle == vsReport || FViewStyle == vsList ? 1 : per;
        break;
    case VK_LEFT:
        step = FViewStyle == vsReport ? 0 : FViewStyle == vsList ? -per : -1;
        break;
    case VK_RIGHT:
        step = FViewStyle == vsReport ? 0 : FViewStyle == vsList ? per : 1;
        break;
    case VK_PRIOR:
        step = -page;
        break;
    case VK_NEXT:
        step = page;
        break;
    default:
        break;
    }
    int target = Key == VK_HOME ? 0 : Key == VK_END ? count - 1 : current < 0 ? 0 : current + step;
    target = std::clamp(target, 0, count - 1);
    if (target != current || !FItems->Item(target)->FSelected)
        ClickItem(FItems->Item(target), false);
}

// --- Geometry ---

TRect TCustomListView::InnerRect() const {
    int b = BorderWidth();
    return {0, 0, std::max(0, Width() - 2 * b), std::max(0, Height() - 2 * b)};
}

int TCustomListView::HeaderExtent() const {
    return FViewStyle == vsReport && FShowColumnHeaders ? HeaderHeight : 0;
}

TCustomListView::TLayout TCustomListView::Layout() const {
    TLayout layout;
    TRect inner = InnerRect();
    int count = FItems ? FItems->Count() : 0;
    auto lines = [count](int perLine) { return count == 0 ? 0 : (count + perLine - 1) / perLine; };
    switch (FViewStyle) {
    case vsReport:
        layout.CellWidth = inner.Width();
        layout.CellHeight = RowHeight;
        layout.LineExtent = RowHeight;
        break;
    case vsList: {
        int height = inner.Height();
        int rows = std::max(1, height / RowHeight);
        if (lines(rows) * ListColumnWidth > inner.Width()) {
            height -= GetSystemMetrics(SM_CYHSCROLL);
            rows = std::max(1, height / RowHeight);
        }
        layout.PerLine = rows;
        layout.CellWidth = ListColumnWidth;
        layout.CellHeight = RowHeight;
        layout.LineExtent = ListColumnWidth;
        layout.Horizontal = true;
        break;
    }
    case vsIcon:
    case vsSmallIcon: {
        int cellWidth = FViewStyle == vsIcon ? IconCellWidth : SmallIconCellWidth;
        int cellHeight = FViewStyle == vsIcon ? IconCellHeight : RowHeight;
        int width = inner.Width();
        int perLine = std::max(1, width / cellWidth);
        if (lines(perLine) * cellHeight > inner.Height()) {
            width -= GetSystemMetrics(SM_CXVSCROLL);
            perLine = std::max(1, width / cellWidth);
        }
        layout.PerLine = perLine;
        layout.CellWidth = cellWidth;
        layout.CellHeight = cellHeight;
        layout.LineExtent = cellHeight;
        break;
    }
    }
    return layout;
}

int TCustomListView::LineCount(const TLayout& L) const {
    int count = FItems ? FItems->Count() : 0;
    return count == 0 ? 0 : (count + L.PerLine - 1) / L.PerLine;
}

int TCustomListView::VisibleLines(const TLayout& L) const {
    int extent = L.Horizontal ? ClientWidth() : ClientHeight() - HeaderExtent();
    return std::max(0, extent / L.LineExtent);
}

bool TCustomListView::VertScrollBarVisible() const {
    if (FViewStyle == vsList) return false;
    TLayout layout = Layout();
    return LineCount(layout) * layout.LineExtent > InnerRect().Height() - HeaderExtent();
}

bool TCustomListView::HorzScrollBarVisible() const {
    if (FViewStyle != vsList) return false;
    return LineCount(Layout()) * ListColumnWidth > InnerRect().Width();
}

TScrollBarState TCustomListView::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state = TCustomControl::ScrollBarState(Kind);
    TLayout layout = Layout();
    if (layout.Horizontal != (Kind == sbHorizontal)) return state;
    state.Max = LineCount(layout) - 1;
    state.Page = std::max(1, VisibleLines(layout));
    state.Position = FTopLine;
    return state;
}

TRect TCustomListView::ItemCell(int Index) const {
    TLayout layout = Layout();
    int line = Index / layout.PerLine - FTopLine;
    int pos = Index % layout.PerLine;
    switch (FViewStyle) {
    case vsReport: {
        int top = HeaderExtent() + line * RowHeight;
        return {0, top, ClientWidth(), top + RowHeight};
    }
    case vsList:
        return {line * ListColumnWidth, pos * RowHeight, (line + 1) * ListColumnWidth,
                (pos + 1) * RowHeight};
    default:
        return {pos * layout.CellWidth, line * layout.CellHeight, (pos + 1) * layout.CellWidth,
                (line + 1) * layout.CellHeight};
    }
}

TListItem* TCustomListView::GetItemAt(int X, int Y) const {
    if (!ClientRect().Contains({X, Y})) return nullptr;
    int header = HeaderExtent();
    if (Y < header) return nullptr;
    TLayout layout = Layout();
    int index = -1;
    switch (FViewStyle) {
    case vsReport:
        if (FColumns->Count() > 0 && X >= FColumns->Items(0)->Width()) return nullptr;
        index = FTopLine + (Y - header) / RowHeight;
        break;
    case vsList: {
        int row = Y / RowHeight;
        if (row >= layout.PerLine) return nullptr;
        index = (FTopLine + X / ListColumnWidth) * layout.PerLine + row;
        break;
    }
    default: {
        int column = X / layout.CellWidth;
        if (column >= layout.PerLine) return nullptr;
        index = (FTopLine + Y / layout.CellHeight) * layout.PerLine + column;
        break;
    }
    }
    return index >= 0 && index < FItems->Count() ? FItems->Item(index) : nullptr;
}

TListColumn* TCustomListView::GetColumnAt(int X, int Y) const {
    if (HeaderExtent() == 0 || Y < 0 || Y >= HeaderHeight || X < 0) return nullptr;
    int left = 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        TListColumn* column = FColumns->Items(i);
        if (X < left + column->Width()) return column;
        left += column->Width();
    }
    return nullptr;
}

int TCustomListView::ColumnLeft(int Index) const {
    int left = 0;
    for (int i = 0; i < Index; ++i)
        left += FColumns->Items(i)->Width();
    return left;
}

int TCustomListView::GetColumnDividerAt(int X, int Y) const {
    if (HeaderExtent() == 0 || Y < 0 || Y >= HeaderHeight) return -1;
    int found = -1;
    int right = 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        right += FColumns->Items(i)->Width();
        if (X >= right - DividerReach && X <= right + DividerReach) found = i;
        if (right - DividerReach > X) break;
    }
    return found;
}

void TCustomListView::SetTopLine(int Line) {
    TLayout layout = Layout();
    int maxTop = std::max(0, LineCount(layout) - std::max(1, VisibleLines(layout)));
    Line = std::clamp(Line, 0, maxTop);
    if (Line == FTopLine) return;
    FTopLine = Line;
    Invalidate();
}

TListItem* TCustomListView::TopItem() const {
    int index = FTopLine * Layout().PerLine;
    return index < FItems->Count() ? FItems->Item(index) : nullptr;
}

int TCustomListView::VisibleRowCount() const {
    return VisibleLines(Layout());
}

void TCustomListView::Scroll(int DX, int DY) {
    TLayout layout = Layout();
    int pixels = layout.Horizontal ? DX : DY;
    SetTopLine(FTopLine + pixels / layout.LineExtent);
}

void TCustomListView::MakeItemVisible(const TListItem* Item) {
    TLayout layout = Layout();
    int line = Item->Index() / layout.PerLine;
    int visible = std::max(1, VisibleLines(layout));
    if (line < FTopLine)
        SetTopLine(line);
    else if (line >= FTopLine + visible)
        SetTopLine(line - visible + 1);
}

void TCustomListView::Arrange(TListArrangement) {
    Invalidate();
}

int TCustomListView::CompareItems(TListItem* A, TListItem* B) {
    if (OnCompare) {
        int result = 0;
        OnCompare(this, A, B, 0, result);
        return result;
    }
    return CompareText(A->Caption(), B->Caption());
}

void TCustomListView::AlphaSort() {
    std::stable_sort(
        FItems->FItems.begin(), FItems->FItems.end(),
        [this](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
            return CompareItems(a.get(), b.get()) < 0;
        });
    FItems->Renumber(0);
    Invalidate();
}

// --- Properties ---

void TCustomListView::SetViewStyle(TViewStyle value) {
    if (value == FViewStyle) return;
    FViewStyle = value;
    FTopLine = 0;
    if (FFocusedItem) MakeItemVisible(FFocusedItem);
    Invalidate();
}

void TCustomListView::SetMultiSelect(bool value) {
    FMultiSelect = value;
}

void TCustomListView::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
    FReadOnly = value;
    if (value && IsEditing()) FinishEdit(true);
}

void TCustomListView::SetShowColumnHeaders(bool value) {
    if (value == FShowColumnHeaders) return;
    FShowColumnHeaders = value;
    Invalidate();
}

void TCustomListView::SetHideSelection(bool value) {
    if (value == FHideSelection) return;
    FHideSelection = value;
    Invalidate();
}

void TCustomListView::SetSortType(TSortType value) {
    if (value == FSortType) return;
    FSortType = value;
    if (value != stNone) AlphaSort();
}

namespace {

// Points a view's image list reference at a new list, with its change link and the free
// notification that clears the reference.
void SwapImageList(TComponent* view, TCustomImageList*& field, TChangeLink& link,
                   TCustomImageList* value) {
    if (value == field) return;
    if (field) view->RemoveFreeNotification(field);
    field = value;
    link.SetSender(value);
    if (value) view->FreeNotification(value);
}

} // namespace

void TCustomListView::SetLargeImages(TCustomImageList* value) {
    SwapImageList(this, FLargeImages, *FLargeChangeLink, value);
    Invalidate();
}

void TCustomListView::SetSmallImages(TCustomImageList* value) {
    SwapImageList(this, FSmallImages, *FSmallChangeLink, value);
    Invalidate();
}

void TCustomListView::SetStateImages(TCustomImageList* value) {
    SwapImageList(this, FStateImages, *FStateChangeLink, value);
    Invalidate();
}

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    if (AComponent == FLargeImages) {
        FLargeChangeLink->SetSender(nullptr);
        FLargeImages = nullptr;
    }
    if (AComponent == FSmallImages) {
        FSmallChangeLink->SetSender(nullptr);
        FSmallImages = nullptr;
    }
    if (AComponent == FStateImages) {
        FStateChangeLink->SetSender(nullptr);
        FStateImages = nullptr;
    }
}

// --- Published properties ---

const TClassInfo& TCustomListView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCustomListView>("TCustomListView", &TWinControl::StaticClassInfo()).Build();
    return info;
}

const TClassInfo& TCustomListView::HostProperties() {
    using T = TCustomListView;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomListView properties", &TWinControl::HostProperties())
            .Property("AllocBy", &T::AllocBy, &T::SetAllocBy, Variant(0))
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsSingle))
            .Property("ColumnClick", &T::ColumnClick, &T::SetColumnClick, Variant(true))
            .Object("Columns", "TListColumns", &T::Columns)
            .Property("HideSelection", &T::HideSelection, &T::SetHideSelection, Variant(true))
            .Object("IconOptions", "TIconOptions", &T::IconOptions)
            .Object("LargeImages", "TCustomImageList", &T::LargeImages, &T::SetLargeImages)
            .Property("MultiSelect", &T::MultiSelect, &T::SetMultiSelect, Variant(false))
            .Property("ReadOnly", &T::ReadOnly, &T::SetReadOnly, Variant(false))
            .Property("ShowColumnHeaders", &T::ShowColumnHeaders, &T::SetShowColumnHeaders,
                      Variant(true))
            .Object("SmallImages", "TCustomImageList", &T::SmallImages, &T::SetSmallImages)
            .Enum("SortType", "TSortType", {"stNone", "stData", "stText", "stBoth"}, &T::SortType,
                  &T::SetSortType, std::optional<TSortType>(stNone))
            .Object("StateImages", "TCustomImageList", &T::StateImages, &T::SetStateImages)
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Enum("ViewStyle", "TViewStyle", {"vsIcon", "vsSmallIcon", "vsList", "vsReport"},
                  &T::ViewStyle, &T::SetViewStyle, std::optional<TViewStyle>(vsIcon))
            .Event("OnChange", "TLVChangeEvent", &T::OnChange)
            .Event("OnChanging", "TLVChangingEvent", &T::OnChanging)
            .Event("OnColumnClick", "TLVColumnClickEvent", &T::OnColumnClick)
            .Event("OnCompare", "TLVCompareEvent", &T::OnCompare)
            .Event("OnDeletion", "TLVDeletedEvent", &T::OnDeletion)
            .Event("OnEdited", "TLVEditedEvent", &T::OnEdited)
            .Event("OnEditing", "TLVEditingEvent", &T::OnEditing)
            .Event("OnInsert", "TLVDeletedEvent", &T::OnInsert)
            .Build();
    return info;
}

const TClassInfo& TListView::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TListView>("TListView", &TCustomListView::StaticClassInfo())
            .Republish(TCustomListView::HostProperties(),
                       {"Align",       "AllocBy",     "BorderStyle",
                        "Color",       "ColumnClick", "Columns",
                        "Ctl3D",       "DragCursor",  "DragMode",
                        "Enabled",     "Font",        "HideSelection",
                        "IconOptions", "LargeImages", "MultiSelect",
                        "ParentColor", "ParentFont",  "ParentShowHint",
                        "PopupMenu",   "ReadOnly",    "ShowColumnHeaders",
                        "ShowHint",    "SmallImages", "SortType",
                        "StateImages", "TabOrder",    "TabStop",
                        "ViewStyle",   "Visible",     "OnChange",
                        "OnChanging",  "OnClick",     "OnColumnClick",
                        "OnCompare",   "OnDblClick",  "OnDeletion",
                        "OnDragDrop",  "OnDragOver",  "OnEdited",
                        "OnEditing",   "OnEndDrag",   "OnEnter",
                        "OnExit",      "OnInsert",    "OnKeyDown",
                        "OnKeyPress",  "OnKeyUp",     "OnMouseDown",
                        "OnMouseMove", "OnMouseUp",   "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
