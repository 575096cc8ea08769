// Data sources, data links and field data links.
#include "orvel/host/data/DataSource.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/TypInfo.h"

#include <algorithm>
#include <exception>

namespace orvel {

// ---- TDataSource --------------------------------------------------------------------------------

const TClassInfo& TDataSource::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDataSource>("TDataSource", &TComponent::StaticClassInfo())
            .Object("DataSet", "TDataSet", &TDataSource::GetDataSet, &TDataSource::SetDataSet)
            .Property("Enabled", &TDataSource::GetEnabled, &TDataSource::SetEnabled, Variant(true))
            .Creatable()
            .Build();
    return info;
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    DetachLinks();
}

// The links hear that they are no longer active while every component is still whole, before
// the component notifications of the destruction run.
void TDataSource::Destroying() {
    TComponent::Destroying();
    DetachLinks();
}

void TDataSource::DetachLinks() {
    while (!FDataLinks.empty())
        FDataLinks.back()->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* value) {
    if (value == FDataSet) return;
    std::exception_ptr failure;
    auto updateLinks = [&] {
        std::vector<TDataLink*> links = FDataLinks;
        for (TDataLink* link : links) {
            try {
                link->DataEvent(TDataEvent::deUpdateState, nullptr, 0);
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
    };
    if (FDataSet) {
        FDataSet->DetachDataSource(this);
        RemoveFreeNotification(FDataSet);
        FDataSet = nullptr;
        updateLinks();
    }
    FDataSet = value;
    if (FDataSet) {
        FDataSet->AttachDataSource(this);
        FreeNotification(FDataSet);
        updateLinks();
    }
    if (failure) std::rethrow_exception(failure);
}

void TDataSource::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    std::vector<TDataLink*> links = FDataLinks;
    for (TDataLink* link : links)
        link->DataEvent(TDataEvent::deUpdateState, nullptr, 0);
}

TDataSetState TDataSource::State() const {
    return FDataSet && FEnabled ? FDataSet->State() : dsInactive;
}

void TDataSource::Edit() {
    if (State() == dsBrowse) FDataSet->Edit();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FDataSet) SetDataSet(nullptr);
}

void TDataSource::DataEvent(TDataEvent event, TField* field, int info) {
    std::exception_ptr failure;
    std::vector<TDataLink*> links = FDataLinks;
    for (TDataLink* link : links) {
        if (std::find(FDataLinks.begin(), FDataLinks.end(), link) == FDataLinks.end()) continue;
        try {
            link->DataEvent(event, field, info);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void TDataSource::AddDataLink(TDataLink* link) {
    if (std::find(FDataLinks.begin(), FDataLinks.end(), link) == FDataLinks.end())
        FDataLinks.push_back(link);
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), link), FDataLinks.end());
}

// ---- TDataLink ----------------------------------------------------------------------------------

// A link being destroyed tells no one: its owner is going too.
TDataLink::~TDataLink() {
    FActive = FEditing = false;
    if (FDataSource) FDataSource->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* value) {
    if (value == FDataSource) return;
    if (FDataSourceFixed) RaiseRes<EDatabaseError>(SDataSourceChange);
    if (FDataSource) {
        FDataSource->RemoveDataLink(this);
        FDataSource = nullptr;
        UpdateState();
    }
    FDataSource = value;
    if (FDataSource) {
        FDataSource->AddDataLink(this);
        UpdateState();
    }
}

void TDataLink::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
    FReadOnly = value;
    UpdateState();
}

bool TDataLink::ComputeActive() const {
    return FDataSource && FDataSource->State() != dsInactive;
}

// An activity change is reported alone (ActiveChanged also covers the editing flag); otherwise a
// change of the editing flag is reported as EditingChanged.
void TDataLink::UpdateState() {
    bool active = ComputeActive();
    bool editing = active && IsEditState(FDataSource->State()) && !FReadOnly;
    if (active != FActive) {
        FActive = active;
        FEditing = editing;
        ActiveChanged();
        return;
    }
    if (editing != FEditing) {
        FEditing = editing;
        EditingChanged();
    }
}

bool TDataLink::Edit() {
    if (!FReadOnly && FDataSource && FDataSource->State() == dsBrowse) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDataLink::DataEvent(TDataEvent event, TField* field, int info) {
    if (event == TDataEvent::deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
        if (!FUpdating) RecordChanged(field);
        break;
    case TDataEvent::deDataSetChange:
        DataSetChanged();
        break;
    case TDataEvent::deDataSetScroll:
        DataSetScrolled(info);
        break;
    case TDataEvent::deUpdateRecord:
        UpdateRecord();
        break;
    case TDataEvent::deCheckBrowseMode:
        CheckBrowseMode();
        break;
    default:
        break;
    }
}

// ---- TFieldDataLink -----------------------------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string& value) {
    if (value == FFieldName) return;
    FFieldName = value;
    UpdateField();
}

bool TFieldDataLink::CanModify() const {
    return !GetReadOnly() && FField && FField->CanModify();
}

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return FFieldEditing;
}

void TFieldDataLink::UpdateField() {
    TField* field = nullptr;
    if (Active() && !FFieldName.empty()) field = DataSet()->FieldByName(FFieldName);
    SetField(field);
}

void TFieldDataLink::SetField(TField* value) {
    if (value == FField) return;
    FField = value;
    EditingChanged();
    RecordChanged(nullptr);
}

void TFieldDataLink::SetFieldEditing(bool value) {
    if (value == FFieldEditing) return;
    FFieldEditing = value;
    FModified = false;
    if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
    SetFieldEditing(TDataLink::Editing() && CanModify());
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != FField) return;
    if (OnDataChange) OnDataChange(this);
    FModified = false;
}

void TFieldDataLink::UpdateData() {
    if (!FModified) return;
    if (FField && OnUpdateData) OnUpdateData(this);
    FModified = false;
}

} // namespace orvel
