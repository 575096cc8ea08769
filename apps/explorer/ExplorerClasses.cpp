// Classes and statuses in the record panel (sample schema): the class combo that sets a
// record's class, the class a new record starts with, and the status list narrowed to the
// statuses that fit the record's class.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "apps/explorer/SampleData.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/data/sql/SqlEngine.h"
#include "orvel/schema/FieldNames.h"

#include <algorithm>
#include <cctype>

namespace orvel::explorer {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

void TExplorer::BuildClassChoice() {
    // The classes a record can have: every class that is not abstract.
    auto classes = FDatabase->Connection().Prepare(
        "SELECT " + QuoteName(CCCFNames[0]) + ", " + QuoteName(CCCFNames[1]) + ", " +
        QuoteName(CCCFNames[3]) + ", " + QuoteName(CCCFNames[6]) + ", " + QuoteName(CCCFNames[8]) +
        " FROM " + QuoteName(kClassesTable) + " ORDER BY " + QuoteName(CCCFNames[0]));
    TStringList entries;
    while (classes->Step()) {
        TClassRow row;
        row.Id = static_cast<int>(classes->ColumnInt64(0));
        row.Ancestor = classes->ColumnType(1) == TSqlType::Null
                           ? 0
                           : static_cast<int>(classes->ColumnInt64(1));
        row.Name = std::string(classes->ColumnText(2));
        row.Abstract = classes->ColumnInt64(3) != 0;
        row.MayOwn = std::string(classes->ColumnText(4));
        if (!row.Abstract) entries.AddObject(row.Name, IntToObject(row.Id));
        FClassRows.push_back(std::move(row));
    }
    auto statuses = FDatabase->Connection().Prepare(
        "SELECT " + QuoteName(CSFNames[0]) + ", " + QuoteName(CSFNames[1]) + ", " +
        QuoteName(CSFNames[2]) + " FROM " + QuoteName(kStatusesTable) + " ORDER BY " +
        QuoteName(CSFNames[0]));
    while (statuses->Step())
        FStatusRows.push_back({static_cast<int>(statuses->ColumnInt64(0)),
                               std::string(statuses->ColumnText(1)),
                               Lower(std::string(statuses->ColumnText(2)))});

    FClassCombo = new TDBValueLookupCombo(FForm);
    FClassCombo->SetParent(FForm);
    FClassCombo->SetName("ClassCombo");
    // Last in the tab order: Shift-Tab from the tree reaches it at once.
    FClassCombo->SetTabStop(true);
    FClassCombo->SetStyle(csDropDownList);
    FClassCombo->SetItems(&entries);
    FClassCombo->SetDataField(COCFNames[4]);
    FClassCombo->SetOnDataChanged([this](TObject*) { FitStatusesToClass(); });
    FClassCombo->SetDataSource(FObjectsSource);
}

// The class combo stands right of the status combo on the status row.
void TExplorer::PlaceClassChoice() {
    if (!FClassCombo || !FStatusCombo) return;
    TCellRect status = CellsOf(*FStatusCombo);
    int left = status.Right() + 8;
    int width = std::clamp(FRecordFrame.Right() - 1 - left, 4, 20);
    PlaceControl(*FClassCombo, {left, status.Top, width, 1});
}

// The names of a class and of all its ancestors, lower case; empty for an unknown class.
std::vector<std::string> TExplorer::ClassLine(int classId) const {
    std::vector<std::string> names;
    for (int id = classId, steps = 0; id != 0 && steps <= static_cast<int>(FClassRows.size());
         ++steps) {
        auto row = std::find_if(FClassRows.begin(), FClassRows.end(),
                                [id](const TClassRow& r) { return r.Id == id; });
        if (row == FClassRows.end()) break;
        names.push_back(Lower(row->Name));
        id = row->Ancestor;
    }
    return names;
}

// A status is for every class ("all" or nothing said) or for the class it names and that
// class's descendants.
void TExplorer::FitStatusesToClass() {
    if (!FStatusCombo || FStatusRows.empty() || !FObjects->GetActive()) return;
    TField* classField = FObjects->FindField(COCFNames[4]);
    TField* statusField = FObjects->FindField(FOptions.View.StatusField);
    bool known = classField && !classField->IsNull() && !FObjects->IsEmpty();
    std::vector<std::string> line =
        known ? ClassLine(classField->GetAsInteger()) : std::vector<std::string>{};
    int current = statusField && !statusField->IsNull() ? statusField->GetAsInteger() : -1;
    TStringList entries;
    std::string shown;
    for (const TStatusRow& status : FStatusRows) {
        bool fits = status.AllowedFor.empty() || status.AllowedFor == "all" || !known ||
                    std::find(line.begin(), line.end(), status.AllowedFor) != line.end();
        // The record's own status stays listed, so the combo never hides what the record holds.
        if (!fits && status.Id != current) continue;
        entries.AddObject(status.Name, IntToObject(status.Id));
        shown += std::to_string(status.Id) + ";";
    }
    if (shown == FShownStatuses) return;
    FShownStatuses = shown;
    FStatusCombo->SetItems(&entries);
}

// The class a new record starts with: the first class its owner may own, else the first class
// that is not abstract. The tree has written the owner's reference into the new record already.
int TExplorer::DefaultClassOf(TDataSet* dataSet) {
    TField* ownerOrigin = dataSet->FindField(COCFNames[2]);
    TField* ownerObject = dataSet->FindField(COCFNames[3]);
    if (ownerOrigin && ownerObject && !ownerOrigin->IsNull() && !ownerObject->IsNull()) {
        auto q = FDatabase->Connection().Prepare(
            "SELECT " + QuoteName(COCFNames[4]) + " FROM " + QuoteName(kObjectsTable) + " WHERE " +
            QuoteName(COCFNames[0]) + " = ? AND " + QuoteName(COCFNames[1]) + " = ?");
        q->BindInt64(0, ownerOrigin->GetAsInteger());
        q->BindInt64(1, ownerObject->GetAsInteger());
        int ownerClass = q->Step() ? static_cast<int>(q->ColumnInt64(0)) : 0;
        for (const TClassRow& row : FClassRows) {
            if (row.Id != ownerClass) continue;
            TStringList owned;
            SplitLine(row.MayOwn, owned);
            for (int i = 0; i < owned.Count(); ++i) {
                int id = std::atoi(owned[i].c_str());
                for (const TClassRow& c : FClassRows)
                    if (c.Id == id && !c.Abstract) return id;
            }
        }
    }
    for (const TClassRow& row : FClassRows)
        if (!row.Abstract) return row.Id;
    return 1;
}

} // namespace orvel::explorer
