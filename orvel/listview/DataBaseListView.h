// The data-aware list view: shows the records of one dataset as list items identified by key
// vectors, and keeps items and dataset in step in both directions. Selecting an item moves the
// dataset; moving, editing, inserting or deleting records elsewhere moves the focus and refreshes,
// adds or removes items; captions are edited in place and written into the record's name field.
// Full reloads and single-item re-reads are deferred to the view's own message loop.
#pragma once

#include "orvel/containers/DeleteHooks.h"
#include "orvel/containers/TreeAndList.h"
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/DataSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvel {

class TDBCustomListView;
class TDBListItem;

using TDBLVBeforeItemsLoading = TEvent<void(TObject* Sender)>;
using TDBLVAfterItemsLoading = TEvent<void(TObject* Sender)>;
using TDBLVOnItemSetup = TEvent<void(TObject* Sender, TListItem* AItem, TDataSet* ADataSet)>;
// A handle of dropped files; declared for applications, no property of the view uses it.
using TLLVAcceptFilesEvent = TEvent<void(TObject* Sender, int32_t AHDropFiles)>;

// The view's private messages to its own window (second parameter always 0).
inline constexpr UINT WM_DBLV_RELOAD = WM_USER + 0xA5;     // reload the whole list
inline constexpr UINT WM_DBLV_REREADITEM = WM_USER + 0xA6; // re-read one item: queue index

// A hash of a key vector that agrees with VarEquality: key vectors VarEquality calls equal always
// hash alike (the array's element type is left out, as VarEquality leaves it out).
std::size_t KeyVectorHash(const Variant& Key);
// KeyVectorHash of a zero-based one-dimensional array whose only element is Element.
std::size_t KeyVectorHashOfOne(const Variant& Element);

// The names of a field-name list joined into its text: each followed by ";", the last ";" left
// out; the empty text for an empty list.
std::string JoinFieldList(const TStrings& List);

// Finds the items of one view by key vector without walking the list. Items are chained through
// links of their own, so adding, removing and re-keying an item cost constant time and no memory
// outside the item. The answer is the one a walk of the list in order would give: the equal item
// with the lowest position. The index is made at the first question, from the list as it stands
// then, and kept up from then on until the list is emptied: a load asks nothing while it adds
// its items, so they are chained once, into a table of the right size.
class TListKeyIndex {
public:
    TListKeyIndex() = default;
    TListKeyIndex(const TListKeyIndex&) = delete;
    TListKeyIndex& operator=(const TListKeyIndex&) = delete;

    void Add(TDBListItem* Item);
    void Remove(TDBListItem* Item);
    // Items are the list the index stands for.
    TDBListItem* Find(const Variant& Key, const TListItems& Items);
    // The list has been emptied: the index waits for the next question.
    void Forget();
    bool Kept() const { return FKept; }
    std::size_t Count() const { return FCount; }

private:
    void Link(TDBListItem* Item);
    void Grow();
    void Build(const TListItems& Items);
    std::size_t Bucket(uint32_t Hash) const { return Hash & (FBuckets.size() - 1); }

    std::vector<TDBListItem*> FBuckets; // heads of the chains; the size is a power of two
    std::size_t FCount = 0;
    bool FKept = false;
};

// One list item standing for one record: its key vector and, where known, a bookmark. The usual
// key vector of a one-field key (a zero-based array of one value) is kept as that value alone and
// made into its array again only when someone asks for it, so that a loaded list keeps no heap
// block per item for its keys.
class TDBListItem : public TListItem {
public:
    TDBListItem(TListItems* AOwner, const Variant& AID, const TBookmark& ABookmark);
    ~TDBListItem() override;

    const Variant& GetID() const;
    // The key vector's element at Index, counted from its first (a key that is not a vector is
    // its own only element), read without making the array of a folded key.
    Variant KeyElement(int Index) const;
    // Drops the bookmark (it was taken with the old key), then takes the new key vector.
    void SetID(const Variant& Value);
    const TBookmark& GetBookMark() const { return FBookmark; }
    void SetBookMark(const TBookmark& Value) { FBookmark = Value; }
    // The dataset still knows the item's bookmark.
    bool CheckBookMark(TDataSet* DataSet) const;
    bool IDEquals2(const Variant& Key) const;
    // Key is the key vector of the dataset's current record. True when the dataset is, or has
    // just been moved, on the item's record: a matching key refreshes the bookmark; otherwise a
    // valid bookmark moves the dataset (a failure of that move is swallowed).
    bool Seek(TDataSet* DataSet, const Variant& Key);

private:
    friend class TListKeyIndex;
    friend class TDBCustomListView;
    // The item a view makes for itself, given the view's key index: the index need not be
    // looked up through the view.
    TDBListItem(TListItems* AOwner, const Variant& AID, TListKeyIndex* Index);
    // The item of a one-field key, given the key's only element (not an array): kept folded
    // from the start, without the array ever being made.
    struct TElementTag {};
    TDBListItem(TListItems* AOwner, TElementTag, const Variant& Element, TListKeyIndex* Index);
    TListKeyIndex* KeyIndex() const;
    std::size_t KeyHash() const;
    void TakeID(const Variant& Value, TListKeyIndex* Index);

    // Set while FID holds the only element of the key vector rather than the vector.
    mutable bool FFolded = false;
    uint32_t FKeyHash = 0;
    mutable Variant FID;
    TBookmark FBookmark;
    // Links of the owning view's key index; FKeyPrev names the item itself while the item is not
    // in the index.
    TDBListItem* FKeyPrev = this;
    TDBListItem* FKeyNext = nullptr;
};

// The view's data link: every notification goes to the view first, then to the host's link.
class TDBListDataLink : public TDataLink {
public:
    explicit TDBListDataLink(TDBCustomListView* AListView) : FListView(AListView) {}
    ~TDBListDataLink() override;
    TDBCustomListView* ListView() const { return FListView; }

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void DataSetChanged() override;
    void EditingChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;

private:
    TDBCustomListView* FListView;
};

class TDBCustomListView : public TCustomListView {
    ORVEL_PUBLISHED(TDBCustomListView)
public:
    explicit TDBCustomListView(TComponent* AOwner);
    ~TDBCustomListView() override;

    // ---- configuration --------------------------------------------------------------------
    // The effective defaults: the stored number while it names an image of the state-image (or
    // large-image) list, else 0.
    int32_t GetDefState() const;
    void SetDefState(int32_t Value) { FDefState = Value; }
    int32_t GetDefImage() const;
    void SetDefImage(int32_t Value) { FDefImage = Value; }
    // Elements of the key vector last read by a load; 0 before the first load.
    int32_t GetKeyFieldsCount() const;
    TDataSource* GetDataSource() const;
    void SetDataSource(TDataSource* Value);
    // The five field texts: a different text re-binds the fields and reloads (or clears) the list.
    const std::string& GetStatusIDField() const { return FStatusIDField; }
    void SetStatusIDField(const std::string& Value);
    const std::string& GetImageIDField() const { return FImageIDField; }
    void SetImageIDField(const std::string& Value);
    const std::string& GetNameField() const { return FNameField; }
    void SetNameField(const std::string& Value);
    const std::string& GetKeyFields() const { return FKeyFields; }
    void SetKeyFields(const std::string& Value);
    const std::string& GetColumnsFields() const { return FColumnsFields; }
    void SetColumnsFields(const std::string& Value);

    const TDBLVBeforeItemsLoading& GetBeforeItemsLoading() const { return FBeforeItemsLoading; }
    void SetBeforeItemsLoading(TDBLVBeforeItemsLoading Value) {
        FBeforeItemsLoading = std::move(Value);
    }
    const TDBLVAfterItemsLoading& GetAfterItemsLoading() const { return FAfterItemsLoading; }
    void SetAfterItemsLoading(TDBLVAfterItemsLoading Value) {
        FAfterItemsLoading = std::move(Value);
    }
    const TDBLVOnItemSetup& GetOnItemSetup() const { return FOnItemSetup; }
    void SetOnItemSetup(TDBLVOnItemSetup Value) { FOnItemSetup = std::move(Value); }

    // The general popup menu as the user set it. While ObjectMenu is set, a right click over an
    // item pops up ObjectMenu instead, and one away from items this menu.
    TPopupMenu* ReadPopupMenu() const { return FPopupMenu; }
    void WritePopupMenu(TPopupMenu* Value);
    void SetPopupMenu(TPopupMenu* Value) override { WritePopupMenu(Value); }
    TPopupMenu* GetObjectMenu() const { return FObjectMenu; }
    void SetObjectMenu(TPopupMenu* Value);

    TDBListDataLink* DataLink() const { return FDataLink.get(); }
    TField* StatusField() const { return FStatusField; }
    TField* ImageField() const { return FImageField; }
    TField* TextField() const { return FTextField; }
    const TStrings& KeyFieldList() const { return *FKeyFieldList; }
    const TStrings& ColumnFieldList() const { return *FColumnFieldList; }
    const TKeysArray& ItemQueue() const { return *FItemQueue; }
    // The key vector of the record last loaded (during a load, of the record being added).
    const Variant& LastKey() const;
    TDataSetState LastState() const { return FLastState; }
    bool Inserting() const { return FInserting; }
    bool MessagePosted() const { return FMessagePosted; }
    int32_t LockCount() const { return FLockCount; }
    TDBListItem* DeletingItem() const { return FDeletingItem; }

    // ---- the busy counter -----------------------------------------------------------------
    // Applications bracket their own bulk dataset work with these so that the view does not
    // react to it. EndUpdate never takes the counter below zero.
    void BeginUpdate() { ++FLockCount; }
    void EndUpdate() {
        if (FLockCount > 0) --FLockCount;
    }
    bool IsStopped() const { return FLockCount != 0; }

    // ---- loading --------------------------------------------------------------------------
    int GetCount() const { return Items()->Count(); }
    // Closes and reopens an active dataset; the reload follows from the link's reports.
    void Reload();
    void ClearList();
    bool InitData();
    bool ActivateDataSet();
    void LoadItems();
    void DoReload();
    void SetupItem(TDBListItem* Item);
    void SetCaption(TListItem* Item);
    void SetStatusID(TListItem* Item);
    void SetImageID(TListItem* Item);
    void SetColumns(TListItem* Item);
    void FindColumnFields(TDataSet* DataSet);
    TField* ColumnField(TDataSet* DataSet, int i) const;
    TDBListItem* InsertItem();
    // Refills List with the names of Line (separated by ";") that the bound dataset has.
    void SplitLine2List(const std::string& Line, TStrings* List);

    // ---- synchronisation ------------------------------------------------------------------
    // The host's own change behaviour, bypassing the view's synchronisation.
    void ChangeGate(TListItem* Item, TItemChange Change);
    void PostReload();
    void PostItemSetup(TDBListItem* Item);
    void SyncronizeList();
    TDBListItem* FindItem(const Variant& Key) const;
    void CheckItem(TDBListItem* Item);
    void RefreshItem(TListItem* Item, TField* Field);
    void RefreshRest(TListItem* Item, TField* Field);
    void DeleteItem(int Index);
    int GetNearestIndex(int Index) const;
    void UpdateName(TListItem* Item);
    void EditItem(TListItem* Item);
    void PerformInsert(TListItem* Item);
    void PerformEditCancel(TListItem* Item);

    // ---- deletion hooks -------------------------------------------------------------------
    void AddHooks(TDataSet* DataSet);
    void FreeHooks(TDataSet* DataSet);
    void RecordBeingDeleted(TDataSet* DataSet);
    void RecordDeleted(TDataSet* DataSet);

    void WMDoReload(TMessage& Message);
    void WMDoRereadItem(TMessage& Message);

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;

protected:
    friend class TDBListDataLink;
    friend class TDBListItem;

    TListItem* CreateListItem() override;
    virtual void SetBarAt(TListItem* Item, bool Flag);
    virtual void DataLinkActiveChanged();
    virtual void DataLinkRecordChanged(TField* Field);
    virtual void DataLinkDataSetChanged();
    virtual void DoBeforeLoading();
    virtual void DoAfterLoading();
    void DataLinkEditingChanged();
    void DataLinkUpdateData();

    bool CanChange(TListItem* Item, TItemChange Change) override;
    void Change(TListItem* Item, TItemChange Change) override;
    bool CanEdit(TListItem* Item) override;
    void Edit(const TLVItem& Item) override;
    void Delete(TListItem* Item) override;
    void DoEnter() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void CreateWnd() override;
    void DestroyWnd() override;

private:
    bool EditRecordOf(TDBListItem* Item, TDataSet* DataSet);
    // Raises the busy counter for a scope; lowers it on every way out.
    class TBusy {
    public:
        explicit TBusy(int32_t& Count) : FCount(Count) { ++FCount; }
        ~TBusy() {
            if (FCount > 0) --FCount;
        }
        TBusy(const TBusy&) = delete;
        TBusy& operator=(const TBusy&) = delete;

    private:
        int32_t& FCount;
    };

    TDataSet* DataSet() const { return FDataLink ? FDataLink->DataSet() : nullptr; }
    bool LinkActive() const { return FDataLink && FDataLink->Active(); }
    // The key vector of the dataset's current record, read in one call.
    Variant ReadKey(TDataSet* DataSet) const;
    TDBListItem* FocusedDBItem() const;
    bool HasItem(const TListItem* Item) const { return Items()->IndexOf(Item) >= 0; }
    // Whether an item known to be in the list at the time FDeletions read Mark still is: only a
    // deletion since then (counted by Delete) can have taken it, and only then is the list walked.
    bool StillHas(const TListItem* Item, uint32_t Mark) const {
        return Mark == FDeletions || HasItem(Item);
    }
    TListKeyIndex* KeyIndex() { return &FKeyIndex; }
    // This view's hook on one of the dataset's two delete events, the handler it stands in for,
    // whether it stands in the event's chain, and the event's reader and writer.
    using THookSlot = TDeleteHookSlot;
    THookSlot HookSlot(bool Before);
    void PlaceHook(TDataSet* DataSet, bool Before);
    void RemoveHook(TDataSet* DataSet, bool Before);
    void HandOn(TDataSet* DataSet, bool Before);
    void SetHostPopup(TPopupMenu* Menu);
    void WatchMenus();
    void ForgetMenu(TPopupMenu* Menu);
    void FieldTextChanged(std::string& Field, const std::string& Value);
    void SetupFromRecord(TDBListItem* Item, TDataSet* DataSet);
    // Loading in bulk: the records are read straight from the dataset into the items, without
    // making each one current, when nothing could tell the difference: no handler that may look
    // at the dataset during the load (item set-up, item insertion, the dataset's scroll events),
    // and every field the items show found. Fills Fields with the key and column fields, else
    // answers false.
    struct TBulkFields {
        std::vector<TField*> Keys;
        std::vector<TField*> Columns;
    };
    bool CanLoadInBulk(TDataSet* DataSet, TBulkFields& Fields) const;
    void LoadInBulk(TDataSet* DataSet, const TBulkFields& Fields);
    void ReadLoadKey(const TRecordView& Record, const std::vector<TField*>& Keys);
    void SettleLoadKey();
    void SetupFromView(TDBListItem* Item, const TRecordView& Record, const TBulkFields& Fields,
                       int32_t DefState, int32_t DefImage);
    void LoadRecordByRecord(TDataSet* DataSet);

    std::string FStatusIDField;
    std::string FImageIDField;
    std::string FNameField;
    TField* FStatusField = nullptr;
    TField* FImageField = nullptr;
    TField* FTextField = nullptr;
    bool FInserting = false;
    bool FMessagePosted = false;
    int32_t FDefState = 0;
    int32_t FDefImage = 0;
    std::unique_ptr<TStringList> FColumnFieldList;
    // The fields of FColumnFieldList in the dataset they were found in, found once on binding
    // rather than by name for every item; empty while no dataset is bound.
    std::vector<TField*> FColumnFields;
    TDataSet* FColumnFieldsOf = nullptr;
    std::unique_ptr<TStringList> FKeyFieldList;
    std::unique_ptr<TKeysArray> FItemQueue;
    std::string FKeyFields;
    std::string FColumnsFields;
    mutable Variant FLastKey;
    std::unique_ptr<TDBListDataLink> FDataLink;
    TDataSetState FLastState = dsBrowse;
    TDBLVBeforeItemsLoading FBeforeItemsLoading;
    TDBLVAfterItemsLoading FAfterItemsLoading;
    TDBLVOnItemSetup FOnItemSetup;
    TDBListItem* FDeletingItem = nullptr;
    TDataSetNotifyEvent FOldBeforeDelete;
    TDataSetNotifyEvent FOldAfterDelete;
    TPopupMenu* FObjectMenu = nullptr;
    TPopupMenu* FPopupMenu = nullptr;
    int32_t FLockCount = 0;

    // The dataset the delete hooks were placed on, so they come off it whatever happens to the
    // link; cleared when that dataset is destroyed.
    TDataSet* FHookedDataSet = nullptr;
    // This view's hook stands in the event's chain (in front, or kept by a view in front of it)
    // and has not handed its saved handler back yet.
    bool FBeforeHookPlaced = false;
    bool FAfterHookPlaced = false;
    // While a load adds and sets up the item of one record, FLastKey is that record's key vector:
    // the item factory and the set-up take it instead of reading it again.
    bool FLoadingItem = false;
    // A bulk load of a one-field key keeps the record's key as its only element in FLoadKey and
    // makes FLastKey's array from it only when someone asks (LastKey): the view's own items keep
    // such keys folded anyway.
    mutable bool FLastKeyPending = false;
    Variant FLoadKey;
    // The text buffer of a load in bulk: field texts the engine does not hold as they are shown
    // are made in it on their way to the items.
    std::string FLoadText;
    uint32_t FDeletions = 0; // items removed so far
    // Made by the first lookup, which may come from a const question.
    mutable TListKeyIndex FKeyIndex;
};

// The published list view: adds no behaviour.
class TDBListView : public TDBCustomListView {
    ORVEL_PUBLISHED(TDBListView)
public:
    explicit TDBListView(TComponent* AOwner) : TDBCustomListView(AOwner) {}
};

} // namespace orvel
