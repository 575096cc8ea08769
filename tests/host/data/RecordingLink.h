// A data link and dataset handlers that write every notification they receive into one log, so
// tests can compare the order in which a dataset tells its links and handlers.
#pragma once

#include "orvel/host/data/DataSource.h"

#include <functional>
#include <string>
#include <vector>

namespace orvel::test {

using TLog = std::vector<std::string>;

class TRecordingLink : public TDataLink {
public:
    explicit TRecordingLink(TLog& log, std::string prefix = "")
        : FLog(log), FPrefix(std::move(prefix)) {}
    std::function<void()> OnUpdateData;

protected:
    void ActiveChanged() override { Add("ActiveChanged"); }
    void CheckBrowseMode() override { Add("CheckBrowseMode"); }
    void DataSetChanged() override { Add("DataSetChanged"); }
    void EditingChanged() override { Add("EditingChanged"); }
    void RecordChanged(TField* field) override {
        Add("RecordChanged(" + (field ? field->FieldName() : std::string()) + ")");
    }
    void UpdateData() override {
        Add("UpdateData");
        if (OnUpdateData) OnUpdateData();
    }

private:
    void Add(const std::string& s) { FLog.push_back(FPrefix + s); }
    TLog& FLog;
    std::string FPrefix;
};

// Records every Before/After/On event of the dataset under its own name.
inline void RecordEvents(TDataSet& ds, TLog& log) {
    auto rec = [&log](const char* name) {
        return TDataSetNotifyEvent([&log, name](TDataSet*) { log.push_back(name); });
    };
    ds.SetBeforeOpen(rec("BeforeOpen"));
    ds.SetAfterOpen(rec("AfterOpen"));
    ds.SetBeforeClose(rec("BeforeClose"));
    ds.SetAfterClose(rec("AfterClose"));
    ds.SetBeforeInsert(rec("BeforeInsert"));
    ds.SetAfterInsert(rec("AfterInsert"));
    ds.SetBeforeEdit(rec("BeforeEdit"));
    ds.SetAfterEdit(rec("AfterEdit"));
    ds.SetBeforePost(rec("BeforePost"));
    ds.SetAfterPost(rec("AfterPost"));
    ds.SetBeforeCancel(rec("BeforeCancel"));
    ds.SetAfterCancel(rec("AfterCancel"));
    ds.SetBeforeDelete(rec("BeforeDelete"));
    ds.SetAfterDelete(rec("AfterDelete"));
    ds.SetBeforeScroll(rec("BeforeScroll"));
    ds.SetAfterScroll(rec("AfterScroll"));
    ds.SetOnNewRecord(rec("OnNewRecord"));
}

} // namespace orvel::test
