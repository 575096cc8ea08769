// What the reliability tests share: a form as an application builds it over the organisation
// table of a database file (a tree view and a list view on one dataset, a value lookup combo on
// the status and a bit check box on the image number), the table as a second connection sees it,
// and the checks that the views show what the table holds.
#pragma once

#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/data/sql/SqlEngine.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orvel::test {

// The rows of ORGANIZATION as another connection reads them, in ID order: "ID|PARENT|NAME|
// STATUS|IMAGE" with "-" for null.
inline std::vector<std::string> Snapshot(const std::string& fileName) {
    std::unique_ptr<TSqlConnection> other = OpenSqliteConnection(fileName);
    auto stmt = other->Prepare(
        "SELECT ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID FROM ORGANIZATION ORDER BY ID");
    std::vector<std::string> rows;
    while (stmt->Step()) {
        std::string row;
        for (int c = 0; c < stmt->ColumnCount(); ++c) {
            if (c) row += "|";
            row += stmt->ColumnType(c) == TSqlType::Null ? "-" : std::string(stmt->ColumnText(c));
        }
        rows.push_back(row);
    }
    return rows;
}

// One record as the views must show it.
struct TStoredRecord {
    std::string Name;
    Variant Parent; // Null at the top
};

inline std::map<int64_t, TStoredRecord> StoredRecords(const std::string& fileName) {
    std::unique_ptr<TSqlConnection> other = OpenSqliteConnection(fileName);
    auto stmt = other->Prepare("SELECT ID, PARENT_ID, NAME FROM ORGANIZATION");
    std::map<int64_t, TStoredRecord> records;
    while (stmt->Step()) {
        Variant parent =
            stmt->ColumnType(1) == TSqlType::Null ? Variant::Null() : Variant(stmt->ColumnInt64(1));
        records[stmt->ColumnInt64(0)] = {std::string(stmt->ColumnText(2)), parent};
    }
    return records;
}

class ReliabilityWorld : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        SetPlatform(&platform);
        db = std::make_unique<TTestDatabase>(TStorage::TempFile);
        table = db->OpenTable("ORGANIZATION", "PARENT_ID");
        form = std::make_unique<TTestForm>(900, 600);
        source = new TDataSource(&form->Form());
        source->SetDataSet(table.get());
        tree = &form->Place<TDBTreeView>(0, 0, 300, 400);
        tree->SetNameField("NAME");
        tree->SetRelations("PARENT_ID->ID");
        tree->SetTopParentKey("Null");
        tree->SetLoadStyle(lsOneAhead);
        list = &form->Place<TDBListView>(310, 0, 300, 400);
        list->SetViewStyle(vsReport);
        list->Columns()->Add()->SetWidth(150);
        list->SetKeyFields("ID");
        list->SetNameField("NAME");
        list->SetColumnsFields("PARENT_ID");
        combo = &form->Place<TDBValueLookupCombo>(620, 0, 145, 24);
        TStringList values;
        values.AddObject("Open", IntToObject(0));
        values.AddObject("Running", IntToObject(1));
        values.AddObject("Closed", IntToObject(2));
        values.AddObject("Archived", IntToObject(3));
        combo->SetItems(&values);
        combo->SetDataField("STATUS_ID");
        flag = &form->Place<TDBBitCheckBox>(620, 40, 145, 20);
        flag->SetDataField("IMAGE_ID");
        flag->SetMask(1);
        other = &form->Place<TEdit>(620, 80, 100, 21);
    }

    void TearDown() override {
        form.reset();
        table.reset();
        std::string file = db->FileName();
        db.reset();
        std::remove(file.c_str());
        SetPlatform(nullptr);
        TUiTest::TearDown();
    }

    // The views and controls take the data source; the message loop fills the views.
    void Bind(bool listFirst = false) {
        if (listFirst) list->SetDataSource(source);
        tree->SetDataSource(source);
        if (!listFirst) list->SetDataSource(source);
        combo->SetDataSource(source);
        flag->SetDataSource(source);
        run_messages();
    }

    TDBTreeNode* Node(const std::string& caption) const {
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == caption) return static_cast<TDBTreeNode*>(n);
        return nullptr;
    }
    int ItemIndex(const std::string& caption) const {
        for (int i = 0; i < list->Items()->Count(); ++i)
            if (list->Items()->Item(i)->Caption() == caption) return i;
        return -1;
    }
    TPoint ItemPoint(int index) const {
        return center_of(list->Items()->Item(index)->DisplayRect(drLabel));
    }
    int64_t CurrentId() const { return table->FieldByName("ID")->GetAsInteger(); }

    // What is wrong with the tree's picture of the table (empty when nothing): every node stands
    // for a stored record, under the node of the record its parent field names (at the top when
    // it names none), with the stored name; with every branch open, every record that can be
    // reached from the top has its node, once.
    std::string TreeMismatch() {
        auto records = StoredRecords(db->FileName());
        tree->FullExpand();
        run_messages();
        std::string wrong;
        std::set<int64_t> shown;
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
            auto* node = static_cast<TDBTreeNode*>(n);
            int64_t id = node->GetID()[0].AsInteger();
            auto it = records.find(id);
            if (it == records.end()) {
                wrong += "node of a deleted record " + std::to_string(id) + "; ";
                continue;
            }
            if (!shown.insert(id).second) wrong += "record " + std::to_string(id) + " twice; ";
            if (node->Text() != it->second.Name)
                wrong += "record " + std::to_string(id) + " shown as " + node->Text() + "; ";
            auto* parent = static_cast<TDBTreeNode*>(node->Parent());
            Variant shownParent =
                parent ? Variant(int64_t(parent->GetID()[0].AsInteger())) : Variant::Null();
            bool samePlace = it->second.Parent.IsNull()
                                 ? shownParent.IsNull()
                                 : !shownParent.IsNull() &&
                                       shownParent.AsInteger() == it->second.Parent.AsInteger();
            if (!samePlace) wrong += "record " + std::to_string(id) + " at a wrong place; ";
        }
        for (const auto& [id, record] : records)
            if (!shown.count(id) && Reachable(records, id))
                wrong += "record " + std::to_string(id) + " not shown; ";
        return wrong;
    }

    // The list shows the table's names, one item per record.
    std::string ListMismatch() {
        std::multiset<std::string> stored, shown;
        for (const auto& [id, record] : StoredRecords(db->FileName()))
            stored.insert(record.Name);
        for (int i = 0; i < list->Items()->Count(); ++i)
            shown.insert(list->Items()->Item(i)->Caption());
        return stored == shown ? std::string() : std::string("the list differs from the table");
    }

    TTestPlatform platform;
    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    std::unique_ptr<TTestForm> form;
    TDataSource* source = nullptr;
    TDBTreeView* tree = nullptr;
    TDBListView* list = nullptr;
    TDBValueLookupCombo* combo = nullptr;
    TDBBitCheckBox* flag = nullptr;
    TEdit* other = nullptr;

private:
    // The record's chain of parents ends at the top without a cycle or a missing parent.
    static bool Reachable(const std::map<int64_t, TStoredRecord>& records, int64_t id) {
        std::set<int64_t> seen;
        for (;;) {
            auto it = records.find(id);
            if (it == records.end() || !seen.insert(id).second) return false;
            if (it->second.Parent.IsNull()) return true;
            id = it->second.Parent.AsInteger();
        }
    }
};

} // namespace orvel::test
