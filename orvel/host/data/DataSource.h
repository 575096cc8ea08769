// Data sources and data links: TDataSource connects controls to a dataset, TDataLink is a
// control's end of that connection and receives the dataset's notifications, and TFieldDataLink
// binds one field of the dataset by name for the field-bound controls.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSet.h"

#include <string>
#include <vector>

namespace orvel {

class TDataLink;

// A climb a link makes once the dataset has moved to a record by its primary key: from that
// record (whose KeyFields hold Key) through the parent references named by ParentFields, paired
// with KeyFields by place, with LevelRowsEach as the dataset's ReadAncestorsAhead takes it.
struct TMoveClimb {
    std::string KeyFields;
    std::string ParentFields;
    Variant Key;
    int LevelRowsEach = 0;
};

class TDataSource : public TComponent {
    ORVEL_PUBLISHED(TDataSource)

public:
    explicit TDataSource(TComponent* owner);
    ~TDataSource() override;

    TDataSet* GetDataSet() const { return FDataSet; }
    // Giving another dataset passes every link through inactive.
    void SetDataSet(TDataSet* value);
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool value);
    // The dataset's state, or dsInactive without a dataset or while disabled.
    TDataSetState State() const;
    // Puts the dataset into edit state when it is browsing.
    void Edit();

    int DataLinkCount() const { return static_cast<int>(FDataLinks.size()); }
    TDataLink* DataLinks(int index) const { return FDataLinks.at(static_cast<std::size_t>(index)); }

    void Notification(TComponent* component, TOperation operation) override;

    // For the dataset's dispatcher and the links.
    void DataEvent(TDataEvent event, TField* field, int info);
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);

protected:
    void Destroying() override;

private:
    void DetachLinks();

    TDataSet* FDataSet = nullptr;
    bool FEnabled = true;
    std::vector<TDataLink*> FDataLinks;
};

class TDataLink : public TPersistent {
public:
    TDataLink() = default;
    ~TDataLink() override;

    TDataSource* GetDataSource() const { return FDataSource; }
    // Giving another data source passes through inactive; a fixed data source cannot change.
    void SetDataSource(TDataSource* value);
    bool GetDataSourceFixed() const { return FDataSourceFixed; }
    void SetDataSourceFixed(bool value) { FDataSourceFixed = value; }
    TDataSet* DataSet() const { return FDataSource ? FDataSource->GetDataSet() : nullptr; }
    // True while the data source has an open dataset (and is enabled).
    bool Active() const { return FActive; }
    // True while that dataset is in edit or insert state and the link is not read-only.
    virtual bool Editing() const { return FEditing; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // The link sees one record: the dataset's active record.
    int GetActiveRecord() const { return 0; }
    void SetActiveRecord(int /*value*/) {}
    int BufferCount() const { return 1; }
    // Puts the dataset into edit state when the link is not read-only and the dataset is
    // browsing; answers Editing.
    virtual bool Edit();
    // Calls UpdateData, during which the link is not told of the fields it writes.
    void UpdateRecord();
    bool Updating() const { return FUpdating; }

    // For TDataSource's dispatch.
    void DataEvent(TDataEvent event, TField* field, int info);
    // Asked by a dataset about to move to the record whose fields hold values (an exact Locate):
    // true, with climb filled in, when the link will climb from that record as soon as it hears
    // of the move, so that a dataset a round trip away may read the climb with the record.
    virtual bool ClimbAfterLocate(const std::vector<TField*>& /*fields*/,
                                  const std::vector<Variant>& /*values*/,
                                  TMoveClimb& /*climb*/) const {
        return false;
    }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    // A change of the records shown; by default a change of the record.
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // A move of the cursor; by default reported as DataSetChanged.
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateData() {}

private:
    void UpdateState();
    bool ComputeActive() const;

    TDataSource* FDataSource = nullptr;
    bool FDataSourceFixed = false;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
};

class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;

    const std::string& GetFieldName() const { return FFieldName; }
    // Re-binds Field when the name differs.
    void SetFieldName(const std::string& value);
    // The bound field: the dataset's field named FieldName while active, else nullptr.
    TField* Field() const { return FField; }
    TComponent* GetControl() const { return FControl; }
    void SetControl(TComponent* value) { FControl = value; }

    // The link's editing and the field's CanModify.
    bool Editing() const override { return FFieldEditing; }
    bool CanModify() const;
    // Asks for edit state only when the field can be modified; answers Editing.
    bool Edit() override;
    // Marks the control's value as changed, to be written at the next UpdateData.
    void Modified() { FModified = true; }
    bool IsModified() const { return FModified; }
    // Reports the field's value again (dropping the control's change).
    void Reset() { RecordChanged(nullptr); }

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* value);
    void SetFieldEditing(bool value);

    std::string FFieldName;
    TField* FField = nullptr;
    TComponent* FControl = nullptr;
    bool FFieldEditing = false;
    bool FModified = false;
};

} // namespace orvel
