// TDataSet: the cursor over the records of a table or query, its states (inactive, browse,
// edit, insert, key entry), its fields, its editing operations and events, bookmarks, and the
// single data-event dispatcher through which every data source and data link hears of it.
//
// The records are not held in memory as a whole: the cursor keeps a window of records that
// follow one another in the dataset's order and asks its descendant (TTable, TQuery) for the
// next or previous window, for one record by its handle, for the first record that matches a
// locate, and to write records. A window is refilled from the key of its edge record, so moving,
// locating and returning to a bookmark cost a few indexed engine steps whatever the table's size.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DBCommon.h"
#include "orvel/host/data/Field.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

class TDataSet;
class TDataSource;
struct TMoveClimb;

using TDataSetNotifyEvent = TEvent<void(TDataSet*)>;

// One record as stored: its handle (the row id, or a number its dataset gives to its key; see
// TTableIdentity) and one stored value per field.
struct TRecordData {
    int64_t RowId = 0;
    std::vector<Variant> Values;
};

// One stored value as the engine holds it, read without a Variant: the engine's classes of
// values. A text or blob is a view of the engine's bytes, valid while its record view is.
struct TStoredCell {
    enum class TKind : uint8_t { Null, Integer, Float, Text, Blob };
    TKind Kind = TKind::Null;
    int64_t Integer = 0;
    double Float = 0;
    std::string_view Text;
};

// One record handed over by a bulk read (TDataSet::ReadRecords): the stored values of the fields
// the reader asked for, read where the engine (or the dataset) holds them, with no record buffer
// made for it. Valid only during the call that hands it over.
class TRecordView {
public:
    explicit TRecordView(const TDataSet* dataSet) : FDataSet(dataSet) {}
    virtual ~TRecordView() = default;
    TRecordView(const TRecordView&) = delete;
    TRecordView& operator=(const TRecordView&) = delete;

    // The record's handle, as its bookmark names it.
    virtual int64_t Handle() const = 0;
    // The stored value of a field asked for; Null for a field that was not asked for.
    virtual void Stored(int fieldNo, Variant& out) const = 0;
    // The stored text (or bytes) of a field asked for, without a copy, when it is held as such;
    // false for a number, Null, or a field not asked for.
    virtual bool StoredText(int fieldNo, std::string_view& out) const = 0;
    // The stored value of a field asked for as a cell, when the view can read it so; false sends
    // the reader to Stored.
    virtual bool StoredCell(int fieldNo, TStoredCell& out) const;

    // What the field's readers give while this record is the current one (TField::GetValue,
    // IsNull, GetAsString), and the record's bookmark (GetBookmark).
    Variant Value(const TField* field) const;
    bool IsNull(const TField* field) const;
    // Into out, whose buffer is reused.
    void AsString(const TField* field, std::string& out) const;
    // AsString as a view: of the engine's own text where the field takes it as it is, else of
    // scratch, which holds the text made. Valid until scratch changes or the view moves on.
    std::string_view AsText(const TField* field, std::string& scratch) const;
    // Value(field).AsInteger(), or ifNull when the value is Null: an image index or a key read
    // without a Variant where the stored value is an integer of the field's type.
    int32_t AsInteger(const TField* field, int32_t ifNull) const;
    TBookmark Bookmark() const;

private:
    const TDataSet* FDataSet;
};

// A record view over a stored record.
class TStoredRecordView : public TRecordView {
public:
    TStoredRecordView(const TDataSet* dataSet, const TRecordData* record)
        : TRecordView(dataSet), FRecord(record) {}
    void SetRecord(const TRecordData* record) { FRecord = record; }
    int64_t Handle() const override { return FRecord->RowId; }
    void Stored(int fieldNo, Variant& out) const override;
    bool StoredText(int fieldNo, std::string_view& out) const override;
    bool StoredCell(int fieldNo, TStoredCell& out) const override;

private:
    const TRecordData* FRecord;
};

using TRecordVisitor = std::function<void(const TRecordView& record)>;

// Getter and setter of one dataset event, and its field.
#define ORVEL_DATASET_EVENT(Name)                                                                  \
public:                                                                                            \
    const TDataSetNotifyEvent& Get##Name() const {                                                 \
        return F##Name;                                                                            \
    }                                                                                              \
    void Set##Name(TDataSetNotifyEvent value) {                                                    \
        F##Name = std::move(value);                                                                \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    TDataSetNotifyEvent F##Name;

class TDataSet : public TComponent {
    ORVEL_PUBLISHED(TDataSet)

public:
    explicit TDataSet(TComponent* owner);
    ~TDataSet() override;

    // ---- state --------------------------------------------------------------------------------
    bool GetActive() const { return FState != dsInactive; }
    // While the dataset is being loaded from a form, opening waits for Loaded.
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return FState; }
    void Loaded() override;

    // ---- navigation ---------------------------------------------------------------------------
    void First();
    void Next();
    void Prior();
    void Last();
    // Moves up to distance records (negative: backwards); answers how many were passed.
    int MoveBy(int distance);
    // Start and end of data: First sets Bof, Next on the last record sets Eof; an empty dataset
    // has both.
    bool Bof() const { return FBof; }
    bool Eof() const;
    bool IsEmpty() const;
    // The number of records in the dataset's current range (asks the engine).
    int64_t RecordCount();
    // Reads the records again from the engine; the cursor stays on its record when it still
    // exists, else moves to the nearest following one.
    void Refresh();

    // ---- fields -------------------------------------------------------------------------------
    int FieldCount() const { return static_cast<int>(FFields.size()); }
    TField* Fields(int index) const;
    // The field of that name (without regard to case), or nullptr.
    TField* FindField(const std::string& name) const;
    // The field of that name, or EDatabaseError "Field 'x' not found".
    TField* FieldByName(const std::string& name) const;
    // The names of the dataset's fields; a closed dataset answers from its definition.
    virtual void GetFieldNames(TStrings& list);
    // A name list containing ";" (even one name followed by ";") gives a zero-based variant array,
    // one element per name; one bare name gives that field's value. Unknown names raise
    // EDatabaseError before anything is read or written.
    Variant GetFieldValue(const std::string& fieldNames) const;
    // The same into values, whose own array is refilled when it has the list's length and no
    // other Variant shares it.
    void GetFieldValue(const std::string& fieldNames, Variant& values) const;
    // Takes an array (element i for name i, from the array's low bound) for a list with ";", else
    // the value. All values are converted before any field is written, so a failure changes
    // nothing.
    void SetFieldValue(const std::string& fieldNames, const Variant& value);

    // Makes the first record (in the dataset's order) whose fields equal the values current and
    // answers true; answers false and leaves the cursor where it was when there is none. Values
    // are a single value for one field, else an array; Null finds null fields. Exact and with
    // regard to case unless options say otherwise.
    bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options = 0);

    // Hands every record of the current range, in order, to visit, reading the fields asked for
    // straight from where the records are held: no record is made current, so the cursor stays
    // where it is and no scroll event or notification is given for the records read. A pending
    // edit or insert is finished first, as a move finishes it (CheckBrowseMode). Fields of
    // another dataset raise EDatabaseError before anything is read. A failing read raises with
    // the engine's message after the records read before it were handed over.
    void ReadRecords(const std::vector<TField*>& fields, const TRecordVisitor& visit);

    // ---- controls -----------------------------------------------------------------------------
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }

    // ---- editing ------------------------------------------------------------------------------
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Finishes a pending edit or insert: posted when modified, else cancelled.
    void CheckBrowseMode();
    // Asks the data links to put their values into the record.
    void UpdateRecord();
    virtual bool CanModify() const;
    // Raises the error that tells why the records cannot be modified, when they cannot.
    virtual void CheckModifiable() const;
    bool Modified() const { return FModified; }

    // ---- bookmarks ----------------------------------------------------------------------------
    // The current record's bookmark; a null bookmark when there is no stored current record
    // (empty dataset, a record being inserted).
    TBookmark GetBookmark() const;
    void FreeBookmark(TBookmark& bookmark) const { bookmark = TBookmark(); }
    // True only for the bookmark of a record of this dataset that still exists and lies in the
    // current range.
    bool BookmarkValid(const TBookmark& bookmark);
    // Makes the bookmark's record current; EDatabaseError when it is not valid.
    void GotoBookmark(const TBookmark& bookmark);

    // ---- data sources -------------------------------------------------------------------------
    int DataSourceCount() const { return static_cast<int>(FDataSources.size()); }
    TDataSource* DataSources(int index) const {
        return FDataSources.at(static_cast<std::size_t>(index));
    }

    // ---- events -------------------------------------------------------------------------------
    ORVEL_DATASET_EVENT(BeforeOpen)
    ORVEL_DATASET_EVENT(AfterOpen)
    ORVEL_DATASET_EVENT(BeforeClose)
    ORVEL_DATASET_EVENT(AfterClose)
    ORVEL_DATASET_EVENT(BeforeInsert)
    ORVEL_DATASET_EVENT(AfterInsert)
    ORVEL_DATASET_EVENT(BeforeEdit)
    ORVEL_DATASET_EVENT(AfterEdit)
    ORVEL_DATASET_EVENT(BeforePost)
    ORVEL_DATASET_EVENT(AfterPost)
    ORVEL_DATASET_EVENT(BeforeCancel)
    ORVEL_DATASET_EVENT(AfterCancel)
    ORVEL_DATASET_EVENT(BeforeDelete)
    ORVEL_DATASET_EVENT(AfterDelete)
    ORVEL_DATASET_EVENT(BeforeScroll)
    ORVEL_DATASET_EVENT(AfterScroll)
    ORVEL_DATASET_EVENT(OnNewRecord)

public:
    // ---- for fields and data sources ----------------------------------------------------------
    // The stored value of a field in the active record: the record being edited or inserted, the
    // key being entered, or the current record; nullptr when there is none.
    const Variant* ActiveStoredValue(int fieldNo) const;
    // Writes a field's stored value into the active record (see TField::SetValue).
    void SetStoredValue(TField* field, Variant stored);
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);

protected:
    // The fields of a list of names as kept (parsed once per text): valid until the next list is
    // parsed, so hold it only while reading values.
    const std::vector<TField*>& KeptFieldList(const std::string& fieldNames) const;

    // ---- what a descendant provides -----------------------------------------------------------
    // Prepares the cursor and creates the fields (AddField) in record order.
    virtual void OpenCursor() = 0;
    virtual void CloseCursor() = 0;
    // Reads up to count records that follow (forward) or precede from in the dataset's order;
    // from the first (forward) or last record when from is nullptr. Records come in reading order
    // (backward: nearest first) into out[0..n), out growing as needed; answers n.
    virtual int FetchRecords(const TRecordData* from, bool forward, int count,
                             std::vector<TRecordData>& out) = 0;
    // Set by FetchRecords when it knows whether its rows reach the end of the scope going forward
    // (rows held already may be fewer than asked for and still not the last); unset, a window
    // shorter than asked for ends the scope. Cleared before every window read forward.
    std::optional<bool> FFetchAtEnd;
    // Reads the record of that handle (never one with another key) when it exists and is visible.
    virtual bool FetchRecord(int64_t rowId, TRecordData& out) = 0;
    // Reads the first record, in the dataset's order, whose fields match the values.
    virtual bool LocateRecord(const std::vector<TField*>& fields,
                              const std::vector<Variant>& values, TLocateOptions options,
                              TRecordData& out) = 0;
    // The first link that will climb from the record of values once Locate has moved to it
    // (TDataLink::ClimbAfterLocate); false when none will.
    bool LinkClimbAfterLocate(const std::vector<TField*>& fields,
                              const std::vector<Variant>& values, TMoveClimb& climb) const;
    // A Locate has ended, on every path, its move announced to the links. Must not throw.
    virtual void LocateEnded() noexcept {}
    virtual int64_t CountRecords() = 0;
    // The reading of ReadRecords, for the fields of fieldNos (ascending). The default reads
    // windows through FetchRecords.
    virtual void VisitRecords(const std::vector<int>& fieldNos, const TRecordVisitor& visit);
    // Writes: answer the handle of the written record. The default raises the read-only error.
    virtual int64_t InsertRecord(const TRecordData& record, const std::vector<bool>& assigned);
    virtual int64_t ModifyRecord(const TRecordData& original, const TRecordData& record,
                                 const std::vector<bool>& modified);
    virtual void DeleteRecord(const TRecordData& record);
    virtual TBookmark MakeBookmark(int64_t rowId) const = 0;
    // The bookmark belongs to this dataset and its record has not been deleted since.
    virtual bool BookmarkIdentityValid(const TBookmark& bookmark) const = 0;
    // Key entry (tables): the buffer written in dsSetKey state, and the check and bookkeeping of
    // a field written there.
    virtual std::vector<Variant>* KeyEntryValues() { return nullptr; }
    virtual void KeyFieldWritten(TField* field);

    // Records read in windows may carry only the fields read so far (the others Empty): a field
    // becomes demanded the first time its value is read from such a record, which is then read
    // whole, and later windows include it. Descendants that read windows partly ask here.
    bool FieldDemanded(int fieldNo) const {
        return fieldNo >= 0 && fieldNo < static_cast<int>(FDemanded.size()) &&
               FDemanded[static_cast<std::size_t>(fieldNo)];
    }
    uint32_t DemandVersion() const { return FDemandVersion; }

    TField* AddField(const std::string& name, TFieldType dataType, int size = 0);
    void DestroyFields();
    void CheckActive() const;
    void CheckInactive() const;

    // The dispatcher: tells every data source (and so every link), unless controls are disabled.
    void DataEvent(TDataEvent event, TField* field = nullptr, int info = 0);
    // Changes the state and tells the links (active changes pass even with controls disabled).
    void SetState(TDataSetState value);
    // Runs a moving operation: the dataset's CheckBrowseMode, BeforeScroll, the move, then
    // DataSetChanged when the cursor moved and AfterScroll unless the move found nothing.
    template <class F> void MoveWith(F&& move);
    // Cursor work for descendants' range changes: the first record of the (new) range.
    void ResetCursorToFirst();
    // A range change: the records shown change to those of scope (a descendant's number for a
    // range; 0 for all records), the cursor on the first of them. The first window is read when
    // first looked at; windows of earlier scopes are kept while the controls are disabled (a
    // scan in progress), so that coming back to a range and to a record read before costs no
    // engine work while nothing has been written since. firstReads is the number of records the
    // reader expects to read from the range's start (0: not known; the first window is then
    // sized after what the readers of earlier ranges read).
    void ChangeCursorScope(uint64_t scope, int firstReads = 0);
    // The windows kept are no longer of any use (the order of the records changed).
    void ForgetKeptWindows();
    // Records read one by one during a scan (shown alone, or read ahead by a descendant) are kept
    // as windows are: each stands for the stored record while nothing has been written.
    void KeepSingle(const TRecordData& record);
    // The first record kept alone at the current data version that match accepts, while no range
    // limits the cursor's records (scope 0); nullptr when none.
    const TRecordData* FindSingle(const std::function<bool(const TRecordData&)>& match) const;
    // A number that grows with every change to the stored records; false when the dataset
    // cannot tell (then no window is kept).
    virtual bool DataVersion(uint64_t& /*version*/) const { return false; }
    // The controls were disabled (Scanning true) or enabled again: a scan begins or ends.
    virtual void ScanChanged(bool /*Scanning*/) {}
    // The handle of the record the cursor is on, when a window holding it was read already
    // (nothing is read for it); false otherwise.
    bool CurrentHandleHeld(int64_t& rowId) const {
        if (FWindowPending || FWindowPos < 0 || FWindowPos >= FWindowCount) return false;
        rowId = FWindow[static_cast<std::size_t>(FWindowPos)].RowId;
        return true;
    }
    void Destroying() override;

private:
    friend class TRecordView;
    void DoOpen();
    void DoClose();
    // Calls a copy: a handler may replace itself (the views hand the delete handlers back from
    // inside them) without destroying the routine that is running.
    void CallEvent(const TDataSetNotifyEvent& event) {
        if (!event) return;
        TDataSetNotifyEvent running = event;
        running(this);
    }
    bool HasCurrent() const {
        EnsureWindow();
        return FWindowPos >= 0 && FWindowPos < FWindowCount;
    }
    const TRecordData& Current() const { return FWindow[static_cast<std::size_t>(FWindowPos)]; }
    void ClearWindow();
    void ShowSingle(const TRecordData& record);
    // Reads the first window of a range change when the cursor is first looked at.
    void EnsureWindow() const {
        if (FWindowPending) const_cast<TDataSet*>(this)->LoadFirstWindow();
    }
    // Kept windows and the record BookmarkValid read last, usable while nothing was written.
    struct TKeptWindow {
        uint64_t Scope = 0;
        uint64_t Version = 0;
        std::vector<TRecordData> Rows;
        int Count = 0;
        bool AtStart = false;
        bool AtEnd = false;
        int FetchSize = 0;
        int Pos = -1;       // the cursor's place when the window was left
        uint64_t Stamp = 0; // when it was kept
    };
    bool ReuseAllowed(uint64_t& version) const;
    void KeepWindow();
    bool AdoptKeptWindow(bool atStart, int64_t rowId);
    static int RowIndex(const std::vector<TRecordData>& rows, int count, int hint, int64_t rowId);
    bool TakeCheckedRecord(int64_t rowId, TRecordData& record);
    bool RecordReadInScan(int64_t rowId, TRecordData& record) const;
    void TakeWindow(TKeptWindow& kept, int position);
    void LoadFirstWindow();
    void LoadLastWindow();
    bool StepForward();
    bool StepBackward();
    // Puts the cursor on the record after key in order, else the one before, else nowhere.
    void SeekNear(const TRecordData& key);
    void SeekNearAfterDelete(const TRecordData& deleted);
    void PositionAfterWrite(int64_t rowId, const TRecordData& key);
    void StartInsert();
    void ReleaseEditBuffer();
    // The fields of a list of names, parsed once per text: views read the same key list for
    // every record they load.
    std::vector<TField*> FieldList(const std::string& fieldNames) const;
    void SetOneFieldValue(TField* field, const Variant& value);
    void CheckWritable() const;
    Variant CheckedStored(TField* field, const Variant& value);
    bool ListHasSeparator(const std::string& fieldNames) const;
    void DetachAllDataSources();
    void NotifyDataSources(TDataEvent event, TField* field, int info);
    void LoadFieldOfCurrent(int fieldNo);

    TDataSetState FState = dsInactive;
    std::vector<std::unique_ptr<TField>> FFields;
    // Lists parsed lately, with their texts; emptied whenever the fields change.
    mutable std::vector<std::pair<std::string, std::vector<TField*>>> FFieldLists;
    std::vector<TDataSource*> FDataSources;
    int FDisableCount = 0;
    bool FStreamedActive = false;

    // The window: FWindow[0..FWindowCount) follow one another in order; FWindowAtStart and
    // FWindowAtEnd tell that nothing precedes or follows them.
    std::vector<TRecordData> FWindow;
    std::vector<TRecordData> FFetchBuffer;
    int FWindowCount = 0;
    int FWindowPos = -1;
    bool FWindowAtStart = false;
    bool FWindowAtEnd = false;
    int FFetchSize = 16;
    int FFirstFetch = 1;      // the size of the next first window of a range
    int FScopeFirstFetch = 0; // the first window's size its reader asked for; 0: FFirstFetch
    bool FBof = true;
    bool FEof = true;
    // The current window is that of a range change, not read yet.
    bool FWindowPending = false;
    uint64_t FScope = 0;
    uint64_t FScanHome = 0; // the scope the cursor was in when the controls were disabled
    // The data version the current window was read at.
    uint64_t FWindowVersion = 0;
    std::vector<TKeptWindow> FKept;
    uint64_t FKeptClock = 0;
    struct TSingleRecord {
        uint64_t Version = 0;
        TRecordData Record;
    };
    std::vector<TSingleRecord> FSingles; // a ring: the next one replaces FSingles[FSingleNext]
    std::size_t FSingleNext = 0;
    struct TCheckedRecord {
        bool Valid = false;
        uint64_t Scope = 0;
        uint64_t Version = 0;
        TRecordData Record;
    } FChecked;

    // The record being edited or inserted, which fields were written, and the flags to restore
    // when an insert is cancelled.
    TRecordData FEditRecord;
    std::vector<bool> FWritten;
    bool FModified = false;
    std::vector<bool> FDemanded;
    uint32_t FDemandVersion = 0;
    bool FSavedBof = false;
    bool FSavedEof = false;
};

template <class F> void TDataSet::MoveWith(F&& move) {
    CheckActive();
    CheckBrowseMode();
    CallEvent(FBeforeScroll);
    int result = move(); // 0: nothing happened, 1: no record changed, 2: the cursor moved
    if (result == 0) return;
    if (result == 2) DataEvent(TDataEvent::deDataSetChange);
    CallEvent(FAfterScroll);
}

} // namespace orvel
