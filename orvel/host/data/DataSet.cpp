// TDataSet: states, the record window, navigation, editing and the data-event dispatcher.
#include "orvel/host/data/DataSet.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSource.h"

#include <algorithm>
#include <charconv>
#include <exception>

namespace orvel {

namespace {

// The window grows while the cursor walks in one direction, so a long scan reads in large steps
// while a short one (the first child of a record, a range of ten children) reads little more
// than it shows.
constexpr int MinFetch = 1;
constexpr int MaxFetch = 4096;
// The first window of a range follows what readers did with the ones before: one record while
// they read only the first record of each range (a look ahead), more while they read every
// record (a branch read whole), so that reading a short range whole takes one statement.
constexpr int MaxFirstFetch = 16;
// Windows kept for the ranges a scan comes back to: a tree's pass nests two ranges in the range
// of its caller.
constexpr std::size_t KeptWindows = 4;
// Records read alone kept during a scan: a tree's reveal reads one per level it climbs.
constexpr std::size_t KeptSingles = 32;

// What a moving operation reports after the move.
enum TMoveResult { mrNothing = 0, mrScrolled = 1, mrChanged = 2 };

} // namespace

const TClassInfo& TDataSet::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDataSet>("TDataSet", &TComponent::StaticClassInfo())
            .Property("Active", &TDataSet::GetActive, &TDataSet::SetActive, Variant(false))
            .Event("BeforeOpen", "TDataSetNotifyEvent", &TDataSet::GetBeforeOpen,
                   &TDataSet::SetBeforeOpen)
            .Event("AfterOpen", "TDataSetNotifyEvent", &TDataSet::GetAfterOpen,
                   &TDataSet::SetAfterOpen)
            .Event("BeforeClose", "TDataSetNotifyEvent", &TDataSet::GetBeforeClose,
                   &TDataSet::SetBeforeClose)
            .Event("AfterClose", "TDataSetNotifyEvent", &TDataSet::GetAfterClose,
                   &TDataSet::SetAfterClose)
            .Event("BeforeInsert", "TDataSetNotifyEvent", &TDataSet::GetBeforeInsert,
                   &TDataSet::SetBeforeInsert)
            .Event("AfterInsert", "TDataSetNotifyEvent", &TDataSet::GetAfterInsert,
                   &TDataSet::SetAfterInsert)
            .Event("BeforeEdit", "TDataSetNotifyEvent", &TDataSet::GetBeforeEdit,
                   &TDataSet::SetBeforeEdit)
            .Event("AfterEdit", "TDataSetNotifyEvent", &TDataSet::GetAfterEdit,
                   &TDataSet::SetAfterEdit)
            .Event("BeforePost", "TDataSetNotifyEvent", &TDataSet::GetBeforePost,
                   &TDataSet::SetBeforePost)
            .Event("AfterPost", "TDataSetNotifyEvent", &TDataSet::GetAfterPost,
                   &TDataSet::SetAfterPost)
            .Event("BeforeCancel", "TDataSetNotifyEvent", &TDataSet::GetBeforeCancel,
                   &TDataSet::SetBeforeCancel)
            .Event("AfterCancel", "TDataSetNotifyEvent", &TDataSet::GetAfterCancel,
                   &TDataSet::SetAfterCancel)
            .Event("BeforeDelete", "TDataSetNotifyEvent", &TDataSet::GetBeforeDelete,
                   &TDataSet::SetBeforeDelete)
            .Event("AfterDelete", "TDataSetNotifyEvent", &TDataSet::GetAfterDelete,
                   &TDataSet::SetAfterDelete)
            .Event("BeforeScroll", "TDataSetNotifyEvent", &TDataSet::GetBeforeScroll,
                   &TDataSet::SetBeforeScroll)
            .Event("AfterScroll", "TDataSetNotifyEvent", &TDataSet::GetAfterScroll,
                   &TDataSet::SetAfterScroll)
            .Event("OnNewRecord", "TDataSetNotifyEvent", &TDataSet::GetOnNewRecord,
                   &TDataSet::SetOnNewRecord)
            .Build();
    return info;
}

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

// Descendants close in their own destructors (through Destroying), while the cursor still exists.
TDataSet::~TDataSet() {
    DetachAllDataSources();
}

void TDataSet::Destroying() {
    TComponent::Destroying();
    DetachAllDataSources();
    if (FState == dsInactive) return;
    ReleaseEditBuffer();
    FState = dsInactive;
    try {
        CloseCursor();
    } catch (...) {
        // Nothing can be reported from a component being destroyed.
    }
    DestroyFields();
    ClearWindow();
}

void TDataSet::DetachAllDataSources() {
    while (!FDataSources.empty())
        FDataSources.back()->SetDataSet(nullptr);
}

void TDataSet::AttachDataSource(TDataSource* source) {
    if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
        FDataSources.push_back(source);
}

void TDataSet::DetachDataSource(TDataSource* source) {
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), source),
                       FDataSources.end());
}

// ---- state --------------------------------------------------------------------------------------

void TDataSet::SetActive(bool value) {
    if (IsLoading()) {
        FStreamedActive = value;
        return;
    }
    if (value == GetActive()) return;
    if (value)
        DoOpen();
    else
        DoClose();
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive) {
        FStreamedActive = false;
        SetActive(true);
    }
}

void TDataSet::DoOpen() {
    CallEvent(FBeforeOpen);
    try {
        OpenCursor();
        FFetchSize = MinFetch;
        FScopeFirstFetch = 0;
        LoadFirstWindow();
    } catch (...) {
        try {
            CloseCursor();
        } catch (...) {
        }
        DestroyFields();
        ClearWindow();
        throw;
    }
    SetState(dsBrowse);
    CallEvent(FAfterOpen);
}

void TDataSet::DoClose() {
    if (FState != dsBrowse) {
        // A pending edit, insert or key entry is dropped without further notice: the links are
        // told of the close itself.
        ReleaseEditBuffer();
        FState = dsBrowse;
    }
    if (!IsDestroying()) CallEvent(FBeforeClose);
    SetState(dsInactive);
    try {
        CloseCursor();
    } catch (...) {
        DestroyFields();
        ClearWindow();
        throw;
    }
    DestroyFields();
    ClearWindow();
    if (!IsDestroying()) CallEvent(FAfterClose);
}

void TDataSet::SetState(TDataSetState value) {
    if (FState == value) return;
    bool activeChanged = (FState == dsInactive) != (value == dsInactive);
    FState = value;
    // Active changes reach the links even while controls are disabled.
    if (activeChanged)
        NotifyDataSources(TDataEvent::deUpdateState, nullptr, 0);
    else
        DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::CheckActive() const {
    if (FState == dsInactive) RaiseRes<EDatabaseError>(SDataSetClosed);
}

void TDataSet::CheckInactive() const {
    if (FState != dsInactive) RaiseRes<EDatabaseError>(SDataSetOpen);
}

// ---- the dispatcher ----------------------------------------------------------------------------

void TDataSet::DataEvent(TDataEvent event, TField* field, int info) {
    if (!ControlsDisabled()) NotifyDataSources(event, field, info);
}

void TDataSet::NotifyDataSources(TDataEvent event, TField* field, int info) {
    if (FDataSources.empty()) return;
    // Every data source hears of the event even when one of its links fails; the first failure
    // is raised once all have been told, so no link is left behind the dataset.
    std::exception_ptr failure;
    std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* source : sources) {
        if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
            continue;
        try {
            source->DataEvent(event, field, info);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void TDataSet::DisableControls() {
    if (++FDisableCount != 1) return;
    FScanHome = FScope;
    ScanChanged(true);
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return;
    if (--FDisableCount != 0) return;
    // A scan has ended: windows kept for it would only grow stale.
    ForgetKeptWindows();
    ScanChanged(false);
    // Links compare their editing flag with the state now and report a change they missed.
    DataEvent(TDataEvent::deUpdateState);
    if (GetActive()) DataEvent(TDataEvent::deDataSetChange);
}

// ---- fields -------------------------------------------------------------------------------------

TField* TDataSet::AddField(const std::string& name, TFieldType dataType, int size) {
    FFieldLists.clear();
    FFields.push_back(CreateField(this, name, dataType, FieldCount(), size));
    return FFields.back().get();
}

void TDataSet::DestroyFields() {
    ForgetKeptWindows();
    FFieldLists.clear();
    FFields.clear();
    FDemanded.clear();
    ++FDemandVersion;
}

TField* TDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(index)});
    return FFields[static_cast<std::size_t>(index)].get();
}

TField* TDataSet::FindField(const std::string& name) const {
    for (const auto& f : FFields)
        if (SameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) RaiseRes<EDatabaseError>(SFieldNotFound, {name});
    return f;
}

void TDataSet::GetFieldNames(TStrings& list) {
    list.BeginUpdate();
    try {
        list.Clear();
        for (const auto& f : FFields)
            list.Add(f->FieldName());
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

bool TDataSet::ListHasSeparator(const std::string& fieldNames) const {
    return fieldNames.find(';') != std::string::npos;
}

std::vector<TField*> TDataSet::FieldList(const std::string& fieldNames) const {
    return KeptFieldList(fieldNames);
}

const std::vector<TField*>& TDataSet::KeptFieldList(const std::string& fieldNames) const {
    constexpr std::size_t kept = 8;
    for (const auto& [text, fields] : FFieldLists)
        if (text == fieldNames) return fields;
    std::vector<TField*> fields;
    int pos = 1;
    while (pos <= static_cast<int>(fieldNames.size())) {
        std::string name = ExtractFieldName(fieldNames, pos);
        if (!name.empty()) fields.push_back(FieldByName(name)); // an unknown name raises here
    }
    if (FFieldLists.size() >= kept) FFieldLists.erase(FFieldLists.begin());
    FFieldLists.emplace_back(fieldNames, std::move(fields));
    return FFieldLists.back().second;
}

Variant TDataSet::GetFieldValue(const std::string& fieldNames) const {
    Variant values;
    GetFieldValue(fieldNames, values);
    return values;
}

void TDataSet::GetFieldValue(const std::string& fieldNames, Variant& values) const {
    if (!ListHasSeparator(fieldNames)) {
        values = FieldByName(Trim(fieldNames))->GetValue();
        return;
    }
    const std::vector<TField*>& fields = KeptFieldList(fieldNames);
    VarArrayRefillWith(values, fields.size(),
                       [&fields](std::size_t i) { return fields[i]->GetValue(); });
}

void TDataSet::SetFieldValue(const std::string& fieldNames, const Variant& value) {
    if (!ListHasSeparator(fieldNames)) {
        SetOneFieldValue(FieldByName(Trim(fieldNames)), value);
        return;
    }
    const std::vector<TField*>& kept = KeptFieldList(fieldNames);
    if (kept.size() == 1) {
        // A list of one name (a tree's parent link): no lists built, the same checks.
        TField* field = kept[0];
        SetOneFieldValue(field, VarArrayGet(value, {VarArrayLowBound(value, 1)}));
        return;
    }
    // A copy: setting a value tells the links, whose handlers may read other lists meanwhile.
    std::vector<TField*> fields = kept;
    std::vector<Variant> values;
    int32_t low = fields.empty() ? 0 : VarArrayLowBound(value, 1);
    for (std::size_t i = 0; i < fields.size(); ++i)
        values.push_back(VarArrayGet(value, {low + static_cast<int32_t>(i)}));
    // Everything that can fail is checked before the first write.
    CheckWritable();
    std::vector<Variant> stored;
    stored.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        stored.push_back(CheckedStored(fields[i], values[i]));
    for (std::size_t i = 0; i < fields.size(); ++i)
        SetStoredValue(fields[i], std::move(stored[i]));
}

// A single name: the same checks as a list, without building lists (a tree sets a range's
// parent key this way for every node it reads ahead).
void TDataSet::SetOneFieldValue(TField* field, const Variant& value) {
    CheckWritable();
    Variant stored = CheckedStored(field, value);
    SetStoredValue(field, std::move(stored));
}

void TDataSet::CheckWritable() const {
    CheckActive();
    if (FState == dsBrowse) RaiseRes<EDatabaseError>(SNotEditing);
}

// The stored form of value for field, once the field may take it.
Variant TDataSet::CheckedStored(TField* field, const Variant& value) {
    if (IsEditState(FState) && field->GetReadOnly())
        RaiseRes<EDatabaseError>(SFieldReadOnly, {field->FieldName()});
    if (FState == dsSetKey) KeyFieldWritten(field);
    return field->ValueToStored(value);
}

const Variant* TDataSet::ActiveStoredValue(int fieldNo) const {
    auto at = [fieldNo](const std::vector<Variant>& values) -> const Variant* {
        return fieldNo >= 0 && fieldNo < static_cast<int>(values.size())
                   ? &values[static_cast<std::size_t>(fieldNo)]
                   : nullptr;
    };
    switch (FState) {
    case dsEdit:
    case dsInsert:
        return at(FEditRecord.Values);
    case dsSetKey: {
        auto* key = const_cast<TDataSet*>(this)->KeyEntryValues();
        return key ? at(*key) : nullptr;
    }
    case dsBrowse:
        if (!HasCurrent()) return nullptr;
        if (fieldNo >= 0 && fieldNo < static_cast<int>(Current().Values.size()) &&
            Current().Values[static_cast<std::size_t>(fieldNo)].IsEmpty())
            const_cast<TDataSet*>(this)->LoadFieldOfCurrent(fieldNo);
        return at(Current().Values);
    default:
        return nullptr;
    }
}

void TDataSet::LoadFieldOfCurrent(int fieldNo) {
    if (FDemanded.size() != FFields.size()) FDemanded.assign(FFields.size(), false);
    if (!FDemanded[static_cast<std::size_t>(fieldNo)]) {
        FDemanded[static_cast<std::size_t>(fieldNo)] = true;
        ++FDemandVersion;
    }
    TRecordData whole;
    // A record gone meanwhile keeps its Empty values, which read as Null.
    if (FetchRecord(Current().RowId, whole))
        FWindow[static_cast<std::size_t>(FWindowPos)] = std::move(whole);
}

void TDataSet::KeyFieldWritten(TField*) {}

void TDataSet::SetStoredValue(TField* field, Variant stored) {
    std::size_t no = static_cast<std::size_t>(field->FieldNo());
    switch (FState) {
    case dsSetKey: {
        std::vector<Variant>* key = KeyEntryValues();
        KeyFieldWritten(field);
        if (key && no < key->size()) (*key)[no] = std::move(stored);
        return;
    }
    case dsEdit:
    case dsInsert:
        if (field->GetReadOnly()) RaiseRes<EDatabaseError>(SFieldReadOnly, {field->FieldName()});
        FEditRecord.Values[no] = std::move(stored);
        FWritten[no] = true;
        FModified = true;
        DataEvent(TDataEvent::deFieldChange, field);
        return;
    case dsInactive:
        RaiseRes<EDatabaseError>(SDataSetClosed);
    default:
        RaiseRes<EDatabaseError>(SNotEditing);
    }
}

// ---- the window ---------------------------------------------------------------------------------

void TDataSet::ClearWindow() {
    FWindowCount = 0;
    FWindowPos = -1;
    FWindowAtStart = FWindowAtEnd = false;
    FWindowPending = false;
    FBof = FEof = true;
}

void TDataSet::ShowSingle(const TRecordData& record) {
    if (FWindow.empty()) FWindow.emplace_back();
    FWindow[0] = record;
    FWindowCount = 1;
    FWindowPos = 0;
    FWindowAtStart = FWindowAtEnd = false;
    FWindowPending = false;
    DataVersion(FWindowVersion);
    FBof = FEof = false;
    FFetchSize = MinFetch;
    KeepSingle(record);
}

// Windows read earlier may stand in for engine work only inside a scan (controls disabled) and
// only while no record of the dataset has changed since they were read.
bool TDataSet::ReuseAllowed(uint64_t& version) const {
    return FDisableCount > 0 && DataVersion(version);
}

void TDataSet::ForgetKeptWindows() {
    FKept.clear();
    FChecked.Valid = false;
    FSingles.clear();
    FSingleNext = 0;
}

void TDataSet::KeepSingle(const TRecordData& record) {
    uint64_t version = 0;
    if (!ReuseAllowed(version)) return;
    TSingleRecord* slot = nullptr;
    for (TSingleRecord& single : FSingles)
        if (single.Record.RowId == record.RowId) slot = &single;
    if (!slot && FSingles.size() < KeptSingles) slot = &FSingles.emplace_back();
    if (!slot) {
        slot = &FSingles[FSingleNext];
        FSingleNext = (FSingleNext + 1) % FSingles.size();
    }
    slot->Version = version;
    slot->Record = record;
}

const TRecordData*
TDataSet::FindSingle(const std::function<bool(const TRecordData&)>& match) const {
    uint64_t version = 0;
    if (FSingles.empty() || FScope != 0 || !ReuseAllowed(version)) return nullptr;
    for (const TSingleRecord& single : FSingles)
        if (single.Version == version && match(single.Record)) return &single.Record;
    return nullptr;
}

// The current window goes to the kept ones: in the place of one of the same scope, else in an
// empty place, else in that of the one kept longest ago.
void TDataSet::KeepWindow() {
    uint64_t version = 0;
    if (FWindowPending || !ReuseAllowed(version) || version != FWindowVersion) return;
    TKeptWindow* slot = nullptr;
    for (TKeptWindow& kept : FKept)
        if (kept.Scope == FScope) slot = &kept;
    for (std::size_t i = 0; !slot && i < FKept.size(); ++i)
        if (FKept[i].Scope == UINT64_MAX) slot = &FKept[i];
    if (!slot && FKept.size() < KeptWindows) slot = &FKept.emplace_back();
    // The window of the scope the scan began in goes last: the scan puts its cursor back there
    // when it ends, however many ranges it entered meanwhile.
    if (!slot) {
        for (TKeptWindow& kept : FKept)
            if (kept.Scope != FScanHome && (!slot || kept.Stamp < slot->Stamp)) slot = &kept;
        if (!slot) slot = &FKept.front();
    }
    slot->Stamp = ++FKeptClock;
    slot->Scope = FScope;
    slot->Version = FWindowVersion;
    std::swap(slot->Rows, FWindow);
    slot->Count = FWindowCount;
    slot->AtStart = FWindowAtStart;
    slot->AtEnd = FWindowAtEnd;
    slot->FetchSize = FFetchSize;
    slot->Pos = FWindowPos;
    FWindowCount = 0;
    FWindowPos = -1;
}

// Makes a kept window of the current scope current: the one that starts the scope (atStart), or
// the one holding the record rowId, with the cursor on it. False when none is usable.
bool TDataSet::AdoptKeptWindow(bool atStart, int64_t rowId) {
    uint64_t version = 0;
    if (!ReuseAllowed(version)) return false;
    if (!atStart && !FWindowPending && FWindowVersion == version) {
        int at = RowIndex(FWindow, FWindowCount, FWindowPos, rowId);
        if (at >= 0) {
            FWindowPos = at;
            return true;
        }
    }
    for (TKeptWindow& kept : FKept) {
        if (kept.Scope != FScope || kept.Version != version) continue;
        if (atStart) {
            if (!kept.AtStart) continue;
            TakeWindow(kept, kept.Count > 0 ? 0 : -1);
            return true;
        }
        int at = RowIndex(kept.Rows, kept.Count, kept.Pos, rowId);
        if (at >= 0) {
            TakeWindow(kept, at);
            return true;
        }
    }
    return false;
}

// The place of the record rowId among the first count rows, or -1. A scan comes back to the
// record it left (the cursor's place when the window was left), so that place is tried first:
// a window may hold thousands of rows.
int TDataSet::RowIndex(const std::vector<TRecordData>& rows, int count, int hint, int64_t rowId) {
    if (hint >= 0 && hint < count && rows[static_cast<std::size_t>(hint)].RowId == rowId)
        return hint;
    for (int i = 0; i < count; ++i)
        if (rows[static_cast<std::size_t>(i)].RowId == rowId) return i;
    return -1;
}

// The kept window becomes the current one; the current one is kept in its stead.
void TDataSet::TakeWindow(TKeptWindow& kept, int position) {
    TKeptWindow taken;
    std::swap(taken.Rows, kept.Rows);
    taken.Count = kept.Count;
    taken.AtStart = kept.AtStart;
    taken.AtEnd = kept.AtEnd;
    taken.FetchSize = kept.FetchSize;
    taken.Version = kept.Version;
    kept.Count = 0;
    kept.Scope = UINT64_MAX; // an empty place
    KeepWindow();
    std::swap(FWindow, taken.Rows);
    // The buffers of the window given up (a pending one, or one displaced by keeping it) stay in
    // the emptied place: the next window kept there hands them to a fresh read, which refills
    // them instead of allocating a row, its values and its texts for every range a scan enters.
    if (kept.Scope == UINT64_MAX && kept.Rows.empty()) std::swap(kept.Rows, taken.Rows);
    FWindowCount = taken.Count;
    FWindowPos = position;
    FWindowAtStart = taken.AtStart;
    FWindowAtEnd = taken.AtEnd;
    FWindowVersion = taken.Version;
    FFetchSize = std::max(taken.FetchSize, MinFetch);
    FWindowPending = false;
}

void TDataSet::LoadFirstWindow() {
    FWindowPending = false;
    if (!AdoptKeptWindow(true, 0)) {
        FFetchSize = FScopeFirstFetch > 0 ? FScopeFirstFetch : FFirstFetch;
        DataVersion(FWindowVersion);
        FFetchAtEnd.reset();
        int n = FetchRecords(nullptr, true, FFetchSize, FWindow);
        FWindowCount = n;
        FWindowPos = n > 0 ? 0 : -1;
        FWindowAtStart = true;
        FWindowAtEnd = FFetchAtEnd.value_or(n < FFetchSize);
    }
    FBof = true;
    FEof = FWindowCount == 0;
}

void TDataSet::LoadLastWindow() {
    FWindowPending = false;
    FFetchSize = MinFetch;
    DataVersion(FWindowVersion);
    int n = FetchRecords(nullptr, false, FFetchSize, FWindow);
    std::reverse(FWindow.begin(), FWindow.begin() + n);
    FWindowCount = n;
    FWindowPos = n - 1;
    FWindowAtEnd = true;
    FWindowAtStart = n < FFetchSize;
    FEof = true;
    FBof = n == 0;
}

bool TDataSet::StepForward() {
    if (!HasCurrent()) return false;
    if (FWindowPos + 1 < FWindowCount) {
        ++FWindowPos;
        return true;
    }
    if (FWindowAtEnd) return false;
    // The reader wants more of a range than its first window held (a window sized by its
    // reader's own expectation teaches nothing about other ranges).
    if (FWindowAtStart && FScopeFirstFetch == 0)
        FFirstFetch = std::min(FFirstFetch * 2, MaxFirstFetch);
    FFetchSize = std::min(FFetchSize * 2, MaxFetch);
    uint64_t version = 0;
    DataVersion(version);
    FFetchAtEnd.reset();
    int n = FetchRecords(&Current(), true, FFetchSize, FFetchBuffer);
    if (n == 0) {
        FWindowAtEnd = true;
        return false;
    }
    std::swap(FWindow, FFetchBuffer);
    FWindowVersion = version;
    FWindowCount = n;
    FWindowPos = 0;
    FWindowAtStart = false;
    FWindowAtEnd = FFetchAtEnd.value_or(n < FFetchSize);
    return true;
}

bool TDataSet::StepBackward() {
    if (!HasCurrent()) return false;
    if (FWindowPos > 0) {
        --FWindowPos;
        return true;
    }
    if (FWindowAtStart) return false;
    FFetchSize = std::min(FFetchSize * 2, MaxFetch);
    uint64_t version = 0;
    DataVersion(version);
    int n = FetchRecords(&Current(), false, FFetchSize, FFetchBuffer);
    if (n == 0) {
        FWindowAtStart = true;
        return false;
    }
    std::reverse(FFetchBuffer.begin(), FFetchBuffer.begin() + n);
    std::swap(FWindow, FFetchBuffer);
    FWindowVersion = version;
    FWindowCount = n;
    FWindowPos = n - 1;
    FWindowAtEnd = false;
    FWindowAtStart = n < FFetchSize;
    return true;
}

void TDataSet::SeekNear(const TRecordData& key) {
    FWindowPending = false;
    FFetchSize = MinFetch;
    DataVersion(FWindowVersion);
    int n = FetchRecords(&key, true, FFetchSize, FFetchBuffer);
    if (n > 0) {
        std::swap(FWindow, FFetchBuffer);
        FWindowCount = n;
        FWindowPos = 0;
        FWindowAtStart = false;
        FWindowAtEnd = n < FFetchSize;
        FBof = FEof = false;
        return;
    }
    n = FetchRecords(&key, false, FFetchSize, FFetchBuffer);
    if (n == 0) {
        ClearWindow();
        return;
    }
    std::reverse(FFetchBuffer.begin(), FFetchBuffer.begin() + n);
    std::swap(FWindow, FFetchBuffer);
    FWindowCount = n;
    FWindowPos = n - 1;
    FWindowAtEnd = true;
    FWindowAtStart = n < FFetchSize;
    FBof = FEof = false;
}

// The cursor goes to the record after the deleted one, else the previous one. The deletion is
// done when this runs: a failing read must not leave the dataset half way (no current record, no
// report to the links), so the cursor then takes the record before in the window, or the first
// record when it is next looked at.
void TDataSet::SeekNearAfterDelete(const TRecordData& deleted) {
    try {
        SeekNear(deleted);
    } catch (const EDatabaseError&) {
        if (FWindowCount > 0) {
            FWindowPos = FWindowCount - 1;
            FBof = FEof = false;
        } else {
            FWindowPending = true;
            FBof = true;
        }
    }
}

void TDataSet::ResetCursorToFirst() {
    LoadFirstWindow();
}

void TDataSet::ChangeCursorScope(uint64_t scope, int firstReads) {
    // A first window left on its first record read more than its reader wanted.
    if (FScopeFirstFetch == 0 && !FWindowPending && FWindowAtStart && FWindowCount > 1 &&
        FWindowPos == 0)
        FFirstFetch = std::max(FFirstFetch / 2, MinFetch);
    KeepWindow();
    FScope = scope;
    FScopeFirstFetch = std::clamp(firstReads, 0, MaxFetch);
    FChecked.Valid = false;
    FWindowCount = 0;
    FWindowPos = -1;
    FWindowAtStart = FWindowAtEnd = false;
    FWindowPending = true;
    FBof = true;
}

bool TDataSet::Eof() const {
    EnsureWindow();
    return FEof;
}

// ---- navigation ---------------------------------------------------------------------------------

void TDataSet::First() {
    MoveWith([this] {
        LoadFirstWindow();
        return mrChanged;
    });
}

void TDataSet::Last() {
    MoveWith([this] {
        LoadLastWindow();
        return mrChanged;
    });
}

void TDataSet::Next() {
    MoveBy(1);
}
void TDataSet::Prior() {
    MoveBy(-1);
}

int TDataSet::MoveBy(int distance) {
    int moved = 0;
    MoveWith([&] {
        EnsureWindow();
        if ((distance > 0 && !FEof) || (distance < 0 && !FBof)) {
            FBof = FEof = false;
            while (distance > 0) {
                if (!StepForward()) {
                    FEof = true;
                    break;
                }
                ++moved;
                --distance;
            }
            while (distance < 0) {
                if (!StepBackward()) {
                    FBof = true;
                    break;
                }
                --moved;
                ++distance;
            }
        }
        return moved != 0 ? mrChanged : mrScrolled;
    });
    return moved;
}

bool TDataSet::IsEmpty() const {
    return FState != dsInsert && !HasCurrent();
}

int64_t TDataSet::RecordCount() {
    CheckActive();
    return CountRecords();
}

void TDataSet::Refresh() {
    MoveWith([this] {
        if (!HasCurrent()) {
            LoadFirstWindow();
            return mrChanged;
        }
        TRecordData current = Current();
        TRecordData fresh;
        if (FetchRecord(current.RowId, fresh))
            ShowSingle(fresh);
        else
            SeekNear(current);
        return mrChanged;
    });
}

bool TDataSet::Locate(const std::string& keyFields, const Variant& keyValues,
                      TLocateOptions options) {
    CheckActive();
    std::vector<TField*> fields = FieldList(keyFields);
    if (fields.empty()) return false;
    std::vector<Variant> values;
    if (fields.size() == 1) {
        values.push_back(keyValues.IsArray()
                             ? VarArrayGet(keyValues, {VarArrayLowBound(keyValues, 1)})
                             : keyValues);
    } else {
        int32_t low = VarArrayLowBound(keyValues, 1);
        for (std::size_t i = 0; i < fields.size(); ++i)
            values.push_back(VarArrayGet(keyValues, {low + static_cast<int32_t>(i)}));
    }
    bool found = false;
    struct TEnded {
        TDataSet& DataSet;
        ~TEnded() { DataSet.LocateEnded(); }
    } ended{*this};
    MoveWith([&] {
        TRecordData record;
        found = LocateRecord(fields, values, options, record);
        if (!found) return mrNothing;
        ShowSingle(record);
        return mrChanged;
    });
    return found;
}

bool TDataSet::LinkClimbAfterLocate(const std::vector<TField*>& fields,
                                    const std::vector<Variant>& values, TMoveClimb& climb) const {
    for (TDataSource* source : FDataSources)
        for (int i = 0; i < source->DataLinkCount(); ++i)
            if (source->DataLinks(i)->ClimbAfterLocate(fields, values, climb)) return true;
    return false;
}

// ---- bookmarks ----------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
    if (FState == dsInactive || FState == dsInsert || !HasCurrent()) return TBookmark();
    return MakeBookmark(Current().RowId);
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
    if (FState == dsInactive || bookmark.IsNull() || !BookmarkIdentityValid(bookmark)) return false;
    // The record read is kept: a move to the bookmark checked just now reads it no more.
    FChecked.Valid = false;
    if (!RecordReadInScan(bookmark.RowId, FChecked.Record) &&
        !FetchRecord(bookmark.RowId, FChecked.Record))
        return false;
    FChecked.Valid = DataVersion(FChecked.Version);
    FChecked.Scope = FScope;
    return true;
}

// The record of rowId as a window of this scan read it, in any scope, while nothing limits the
// cursor's records (scope 0): then it stands for the stored one as a kept window of the cursor's
// own scope would.
bool TDataSet::RecordReadInScan(int64_t rowId, TRecordData& record) const {
    uint64_t version = 0;
    if (FScope != 0 || !ReuseAllowed(version)) return false;
    auto take = [&](const std::vector<TRecordData>& rows, int count, int hint) {
        int at = RowIndex(rows, count, hint, rowId);
        if (at < 0) return false;
        record = rows[static_cast<std::size_t>(at)];
        return true;
    };
    if (!FWindowPending && FWindowVersion == version && take(FWindow, FWindowCount, FWindowPos))
        return true;
    for (const TKeptWindow& kept : FKept)
        if (kept.Scope != UINT64_MAX && kept.Version == version &&
            take(kept.Rows, kept.Count, kept.Pos))
            return true;
    const TRecordData* single =
        FindSingle([rowId](const TRecordData& kept) { return kept.RowId == rowId; });
    if (!single) return false;
    record = *single;
    return true;
}

// The record of rowId as BookmarkValid read it, while it is still the stored one.
bool TDataSet::TakeCheckedRecord(int64_t rowId, TRecordData& record) {
    if (!FChecked.Valid || FChecked.Record.RowId != rowId || FChecked.Scope != FScope) return false;
    FChecked.Valid = false;
    uint64_t version = 0;
    if (!DataVersion(version) || version != FChecked.Version) return false;
    std::swap(record, FChecked.Record);
    return true;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    MoveWith([&] {
        if (bookmark.IsNull() || !BookmarkIdentityValid(bookmark))
            RaiseRes<EDatabaseError>(SInvalidBookmark);
        // During a scan the record may lie in a window read for it (the scan's own range, left
        // for a nested one and come back to).
        if (AdoptKeptWindow(false, bookmark.RowId)) {
            FBof = FEof = false;
            return mrChanged;
        }
        TRecordData record;
        if (!TakeCheckedRecord(bookmark.RowId, record) &&
            !RecordReadInScan(bookmark.RowId, record) && !FetchRecord(bookmark.RowId, record))
            RaiseRes<EDatabaseError>(SRecordNotFound);
        ShowSingle(record);
        return mrChanged;
    });
}

// ---- editing ------------------------------------------------------------------------------------

bool TDataSet::CanModify() const {
    return GetActive();
}

void TDataSet::CheckModifiable() const {
    if (!CanModify()) RaiseRes<EDatabaseError>(SDataSetReadOnly);
}

int64_t TDataSet::InsertRecord(const TRecordData&, const std::vector<bool>&) {
    RaiseRes<EDatabaseError>(SDataSetReadOnly);
}

int64_t TDataSet::ModifyRecord(const TRecordData&, const TRecordData&, const std::vector<bool>&) {
    RaiseRes<EDatabaseError>(SDataSetReadOnly);
}

void TDataSet::DeleteRecord(const TRecordData&) {
    RaiseRes<EDatabaseError>(SDataSetReadOnly);
}

void TDataSet::ReleaseEditBuffer() {
    FEditRecord.Values.clear();
    FEditRecord.RowId = 0;
    FWritten.clear();
    FModified = false;
}

void TDataSet::Edit() {
    CheckActive();
    if (IsEditState(FState)) return;
    if (!HasCurrent()) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckModifiable();
    CallEvent(FBeforeEdit);
    // The edit starts from what is stored now; a record deleted meanwhile cannot be edited.
    TRecordData fresh;
    if (!FetchRecord(Current().RowId, fresh)) RaiseRes<EDatabaseError>(SRecordNotFound);
    FWindow[static_cast<std::size_t>(FWindowPos)] = fresh;
    FEditRecord = std::move(fresh);
    FWritten.assign(FFields.size(), false);
    FModified = false;
    SetState(dsEdit);
    DataEvent(TDataEvent::deRecordChange);
    CallEvent(FAfterEdit);
}

void TDataSet::StartInsert() {
    EnsureWindow();
    FEditRecord.RowId = 0;
    FEditRecord.Values.assign(FFields.size(), Variant::Null());
    FWritten.assign(FFields.size(), false);
    FModified = false;
    FSavedBof = FBof;
    FSavedEof = FEof;
    FBof = FEof = false;
}

void TDataSet::Insert() {
    CheckActive();
    CheckBrowseMode();
    CheckModifiable();
    CallEvent(FBeforeInsert);
    StartInsert();
    SetState(dsInsert);
    try {
        CallEvent(FOnNewRecord);
    } catch (...) {
        ReleaseEditBuffer();
        FBof = FSavedBof;
        FEof = FSavedEof;
        SetState(dsBrowse);
        throw;
    }
    FModified = false;
    DataEvent(TDataEvent::deDataSetChange);
    CallEvent(FAfterInsert);
}

void TDataSet::Append() {
    Insert();
}

void TDataSet::PositionAfterWrite(int64_t rowId, const TRecordData& key) {
    TRecordData record;
    if (FetchRecord(rowId, record)) {
        ShowSingle(record);
        return;
    }
    // The record lies outside the range now: the cursor goes to its neighbour in order.
    TRecordData near = key;
    near.RowId = rowId;
    SeekNear(near);
}

void TDataSet::Post() {
    CheckActive();
    if (FState == dsSetKey) {
        SetState(dsBrowse);
        return;
    }
    if (!IsEditState(FState)) RaiseRes<EDatabaseError>(SNotEditing);
    UpdateRecord();
    DataEvent(TDataEvent::deCheckBrowseMode);
    CallEvent(FBeforePost);
    // A failing write raises here: the state and the typed values stay as they are.
    int64_t rowId = 0;
    if (FState == dsEdit) {
        rowId = FModified ? ModifyRecord(Current(), FEditRecord, FWritten) : Current().RowId;
    } else {
        rowId = InsertRecord(FEditRecord, FWritten);
    }
    TRecordData written = std::move(FEditRecord);
    written.RowId = rowId;
    ReleaseEditBuffer();
    try {
        PositionAfterWrite(rowId, written);
    } catch (const EDatabaseError&) {
        // The record is stored: the post has succeeded and must end as one, or a second post
        // would write it twice. The cursor shows it as written; the next move reads it again.
        ShowSingle(written);
    }
    SetState(dsBrowse);
    DataEvent(TDataEvent::deDataSetChange);
    CallEvent(FAfterPost);
}

void TDataSet::Cancel() {
    CheckActive();
    if (FState == dsSetKey) {
        SetState(dsBrowse);
        return;
    }
    if (!IsEditState(FState)) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    CallEvent(FBeforeCancel);
    if (FState == dsInsert) {
        FBof = FSavedBof;
        FEof = FSavedEof;
    }
    ReleaseEditBuffer();
    SetState(dsBrowse);
    DataEvent(TDataEvent::deDataSetChange);
    CallEvent(FAfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (!HasCurrent()) RaiseRes<EDatabaseError>(SDataSetEmpty);
    CheckModifiable();
    DataEvent(TDataEvent::deCheckBrowseMode);
    CallEvent(FBeforeDelete);
    TRecordData deleted = Current();
    DeleteRecord(deleted); // a failure raises here and removes nothing
    if (FState == dsEdit) ReleaseEditBuffer();
    FWindow.erase(FWindow.begin() + FWindowPos);
    --FWindowCount;
    if (FWindowPos >= FWindowCount)
        SeekNearAfterDelete(deleted);
    else
        FBof = FEof = false;
    SetState(dsBrowse);
    // The record is gone whatever a link makes of the change: the after-delete handlers (where
    // views drop the record's node or item) still run when a link fails to follow, and that
    // link's error is raised after them.
    std::exception_ptr linkFailure;
    try {
        DataEvent(TDataEvent::deDataSetChange);
    } catch (...) {
        linkFailure = std::current_exception();
    }
    CallEvent(FAfterDelete);
    if (linkFailure) std::rethrow_exception(linkFailure);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    if (IsEditState(FState)) {
        UpdateRecord();
        if (FModified)
            Post();
        else
            Cancel();
    } else if (FState == dsSetKey) {
        SetState(dsBrowse);
    }
}

void TDataSet::UpdateRecord() {
    if (!IsEditState(FState) && FState != dsSetKey) RaiseRes<EDatabaseError>(SNotEditing);
    DataEvent(TDataEvent::deUpdateRecord);
}

// ---- bulk reads ---------------------------------------------------------------------------------

bool TRecordView::StoredCell(int, TStoredCell&) const {
    return false;
}

// The typed reads below answer from a cell what StoredToValue and StoredAsString answer from the
// same value as a Variant; every other case goes the Variant's way.
Variant TRecordView::Value(const TField* field) const {
    TStoredCell cell;
    if (StoredCell(field->FieldNo(), cell)) {
        if (cell.Kind == TStoredCell::TKind::Null) return Variant::Null();
        if (cell.Kind == TStoredCell::TKind::Integer) {
            TVarType type = field->IntegerValueType(cell.Integer);
            if (type != varEmpty) return Variant::FromInteger(type, cell.Integer);
        }
    }
    Variant stored;
    Stored(field->FieldNo(), stored);
    return field->StoredToValue(stored);
}

bool TRecordView::IsNull(const TField* field) const {
    TStoredCell cell;
    if (StoredCell(field->FieldNo(), cell)) return cell.Kind == TStoredCell::TKind::Null;
    Variant stored;
    Stored(field->FieldNo(), stored);
    return stored.IsNull() || stored.IsEmpty();
}

void TRecordView::AsString(const TField* field, std::string& out) const {
    std::string_view text = AsText(field, out);
    // Texts of text fields are taken as they are: the one copy is into out.
    if (text.data() != out.data() || text.size() != out.size()) out.assign(text);
}

std::string_view TRecordView::AsText(const TField* field, std::string& scratch) const {
    TStoredCell cell;
    if (StoredCell(field->FieldNo(), cell)) {
        switch (cell.Kind) {
        case TStoredCell::TKind::Null:
            return {};
        case TStoredCell::TKind::Text:
        case TStoredCell::TKind::Blob:
            if (field->TextStoredAsIs()) return cell.Text;
            break;
        case TStoredCell::TKind::Integer:
            // An integer value, or a text field's integer, reads as its decimal digits.
            if (field->TextStoredAsIs() || field->IntegerValueType(cell.Integer) != varEmpty) {
                char digits[24];
                auto end = std::to_chars(digits, digits + sizeof digits, cell.Integer).ptr;
                scratch.assign(digits, end);
                return scratch;
            }
            break;
        case TStoredCell::TKind::Float:
            break;
        }
    } else {
        std::string_view text;
        if (field->TextStoredAsIs() && StoredText(field->FieldNo(), text)) return text;
    }
    Variant stored;
    Stored(field->FieldNo(), stored);
    scratch = field->StoredAsString(stored);
    return scratch;
}

int32_t TRecordView::AsInteger(const TField* field, int32_t ifNull) const {
    TStoredCell cell;
    if (StoredCell(field->FieldNo(), cell)) {
        if (cell.Kind == TStoredCell::TKind::Null) return ifNull;
        if (cell.Kind == TStoredCell::TKind::Integer && cell.Integer >= INT32_MIN &&
            cell.Integer <= INT32_MAX && field->IntegerValueType(cell.Integer) != varEmpty)
            return static_cast<int32_t>(cell.Integer);
    }
    Variant value = Value(field);
    return value.IsNull() ? ifNull : value.AsInteger();
}

TBookmark TRecordView::Bookmark() const {
    return FDataSet->MakeBookmark(Handle());
}

void TStoredRecordView::Stored(int fieldNo, Variant& out) const {
    if (fieldNo >= 0 && fieldNo < static_cast<int>(FRecord->Values.size()))
        out = FRecord->Values[static_cast<std::size_t>(fieldNo)];
    else
        out = Variant::Null();
}

// Numbers and Null as they are; a Variant lends no view of its text, which readers take
// through Stored.
bool TStoredRecordView::StoredCell(int fieldNo, TStoredCell& out) const {
    if (fieldNo < 0 || fieldNo >= static_cast<int>(FRecord->Values.size())) {
        out.Kind = TStoredCell::TKind::Null;
        return true;
    }
    const Variant& stored = FRecord->Values[static_cast<std::size_t>(fieldNo)];
    TVarType type = stored.VarType();
    if (type == varNull || type == varEmpty) {
        out.Kind = TStoredCell::TKind::Null;
    } else if (type == varInt64) {
        out.Kind = TStoredCell::TKind::Integer;
        out.Integer = stored.AsInt64();
    } else if (type == varDouble) {
        out.Kind = TStoredCell::TKind::Float;
        out.Float = stored.AsDouble();
    } else {
        return false;
    }
    return true;
}

// A Variant lends no view of its text: readers take it through Stored.
bool TStoredRecordView::StoredText(int, std::string_view&) const {
    return false;
}

void TDataSet::ReadRecords(const std::vector<TField*>& fields, const TRecordVisitor& visit) {
    CheckActive();
    std::vector<int> fieldNos;
    fieldNos.reserve(fields.size());
    for (const TField* field : fields) {
        if (!field || field->DataSet() != this || field->FieldNo() >= FieldCount() ||
            Fields(field->FieldNo()) != field)
            DatabaseError("A field of another dataset cannot be read here");
        fieldNos.push_back(field->FieldNo());
    }
    std::sort(fieldNos.begin(), fieldNos.end());
    fieldNos.erase(std::unique(fieldNos.begin(), fieldNos.end()), fieldNos.end());
    CheckBrowseMode();
    // The fields read are demanded, as reading them from the current record would make them:
    // later windows carry them.
    if (FDemanded.size() != FFields.size()) FDemanded.assign(FFields.size(), false);
    for (int no : fieldNos) {
        if (FDemanded[static_cast<std::size_t>(no)]) continue;
        FDemanded[static_cast<std::size_t>(no)] = true;
        ++FDemandVersion;
    }
    VisitRecords(fieldNos, visit);
}

// Windows of growing size, each read into one buffer; a record read partly is read whole when it
// lacks a field asked for.
void TDataSet::VisitRecords(const std::vector<int>& fieldNos, const TRecordVisitor& visit) {
    std::vector<TRecordData> rows;
    TRecordData edge;
    TRecordData whole;
    TStoredRecordView view(this, nullptr);
    int count = 64;
    FFetchAtEnd.reset();
    int n = FetchRecords(nullptr, true, count, rows);
    while (n > 0) {
        for (int i = 0; i < n; ++i) {
            const TRecordData* row = &rows[static_cast<std::size_t>(i)];
            for (int no : fieldNos) {
                if (static_cast<std::size_t>(no) < row->Values.size() &&
                    !row->Values[static_cast<std::size_t>(no)].IsEmpty())
                    continue;
                // A record gone meanwhile keeps its Empty values, which read as Null.
                if (FetchRecord(row->RowId, whole)) row = &whole;
                break;
            }
            view.SetRecord(row);
            visit(view);
        }
        if (FFetchAtEnd.value_or(n < count)) break;
        // The edge record is copied out first: the next window is read into the same buffer.
        edge = rows[static_cast<std::size_t>(n - 1)];
        count = std::min(count * 2, MaxFetch);
        FFetchAtEnd.reset();
        n = FetchRecords(&edge, true, count, rows);
    }
}

} // namespace orvel
