// The list view's main story on tables keyed otherwise than by the row id (no row id, a text
// key) beside one keyed by it: loading, choosing, renaming in place, records inserted and deleted
// through the table, and a record whose row id another connection or process gave to another
// key, with a tree on the same table beside the list.
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

class ListViewKeyedTables : public TUiTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        db = std::make_unique<TTestDatabase>(TStorage::TempFile);
        table = db->OpenTable(GetParam(), "ID");
        form = std::make_unique<TTestForm>();
        source = new TDataSource(&form->Form());
        source->SetDataSet(table.get());
        lv = &form->Place<TDBListView>(10, 10, 300, 200);
        lv->SetViewStyle(vsReport);
        lv->Columns()->Add()->SetWidth(100);
        lv->SetKeyFields("ID");
        lv->SetNameField("NAME");
        lv->SetStatusIDField("STATUS_ID");
        lv->SetImageIDField("IMAGE_ID");
        lv->SetColumnsFields("PARENT_ID");
        lv->SetDataSource(source);
        run_messages();
    }
    void TearDown() override {
        form.reset();
        table.reset();
        db.reset();
        TUiTest::TearDown();
    }

    std::string Table() const { return GetParam(); }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < lv->Items()->Count(); ++i)
            out.push_back(lv->Items()->Item(i)->Caption());
        return out;
    }
    std::vector<std::string> StoredNames() {
        std::vector<std::string> names;
        auto stmt =
            db->Database().Connection().Prepare("SELECT NAME FROM " + Table() + " ORDER BY ID");
        while (stmt->Step())
            names.emplace_back(stmt->ColumnText(0));
        return names;
    }
    TDBListItem* ItemAt(int i) const { return static_cast<TDBListItem*>(lv->Items()->Item(i)); }
    TPoint RowOf(int i) const { return center_of(ItemAt(i)->DisplayRect(drLabel)); }
    int CurrentID() const { return table->FieldByName("ID")->GetAsInteger(); }

    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    std::unique_ptr<TTestForm> form;
    TDataSource* source = nullptr;
    TDBListView* lv = nullptr;
};

TEST_P(ListViewKeyedTables, LoadsChoosesRenamesInsertsAndDeletesTheirOwnRecords) {
    EXPECT_EQ(Captions(), StoredNames());

    click(*lv, RowOf(4));
    EXPECT_EQ(CurrentID(), 5);
    press_key(*lv, VK_F2);
    ASSERT_TRUE(lv->IsEditing());
    type_caption(*lv, "Development");
    click(*lv, RowOf(1));
    EXPECT_EQ(CurrentID(), 2);
    EXPECT_EQ(db->Scalar("SELECT NAME FROM " + Table() + " WHERE ID = 5").AsString(),
              "Development");
    EXPECT_EQ(ItemAt(4)->Caption(), "Development");
    EXPECT_TRUE(table->BookmarkValid(ItemAt(4)->GetBookMark()));

    // Through the table, as a form's other controls would.
    table->Insert();
    table->FieldByName("ID")->SetAsInteger(9);
    table->FieldByName("PARENT_ID")->SetAsInteger(7);
    table->FieldByName("NAME")->SetAsString("Harbour");
    table->Post();
    run_messages();
    EXPECT_EQ(Captions(), StoredNames());
    EXPECT_EQ(lv->ItemFocused() ? lv->ItemFocused()->Caption() : "", "Harbour");

    ASSERT_TRUE(table->Locate("ID", Variant(3)));
    table->Delete();
    run_messages();
    EXPECT_EQ(Captions(), StoredNames());
    EXPECT_EQ(db->Count(Table()), 8);
    EXPECT_EQ(lv->LockCount(), 0);
    EXPECT_TRUE(Application().ShownErrors.empty());
}

TEST_P(ListViewKeyedTables, ARecordReplacedBehindTheViewIsNeverWrittenThroughItsOldItem) {
    int last = lv->Items()->Count() - 1;
    click(*lv, RowOf(last));
    TBookmark depot = ItemAt(last)->GetBookMark();
    ASSERT_EQ(ItemAt(last)->Caption(), "Depot");
    // Another program deletes the highest record and gives its row id to a new one (the same ID
    // where the ID is the row id).
    std::unique_ptr<TSqlConnection> other = OpenSqliteConnection(db->FileName());
    other->Execute("DELETE FROM " + Table() + " WHERE ID = 8");
    if (Table() == "DIVISIONS")
        other->Execute("INSERT INTO DIVISIONS (CODE, ID, NAME) VALUES ('C99', 99, 'Intruder')");
    else
        other->Execute("INSERT INTO " + Table() + " (ID, NAME) VALUES (99, 'Intruder')");
    other.reset();

    EXPECT_FALSE(table->BookmarkValid(depot));
    // Renaming the vanished record's item writes nothing.
    press_key(*lv, VK_F2);
    if (lv->IsEditing()) type_caption(*lv, "Renamed");
    if (table->State() != dsBrowse) {
        EXPECT_ANY_THROW(table->Post());
    }
    table->Cancel();
    EXPECT_EQ(db->Scalar("SELECT NAME FROM " + Table() + " WHERE ID = 99").AsString(), "Intruder");
    EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM " + Table() + " WHERE NAME = 'Renamed'").AsInteger(),
              0);

    // A reload shows the table as it is.
    table->Refresh();
    lv->Reload();
    run_messages();
    EXPECT_EQ(Captions(), StoredNames());
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_P(ListViewKeyedTables, ATreeAndTheListReloadCleanlyAfterAnotherProcessReusedARowId) {
    auto branches = db->OpenTable(Table(), "PARENT_ID");
    auto* treeSource = new TDataSource(&form->Form());
    treeSource->SetDataSet(branches.get());
    auto& tree = form->Place<TDBTreeView>(320, 10, 250, 300);
    tree.SetNameField("NAME");
    tree.SetRelations("PARENT_ID->ID");
    tree.SetTopParentKey("Null");
    tree.SetDataSource(treeSource);
    run_messages();
    tree.FullExpand();
    run_messages();
    TDBTreeNode* depotNode = tree.FindNode(VarArrayOf({Variant(8)}));
    ASSERT_NE(depotNode, nullptr);
    TBookmark depotInTree = depotNode->GetBookMark();
    TBookmark depotInList = ItemAt(lv->Items()->Count() - 1)->GetBookMark();

    // The other process deletes the highest record and inserts one that takes its row id.
    std::string sql =
        "DELETE FROM " + Table() + " WHERE ID = 8;" +
        (Table() == "DIVISIONS"
             ? "INSERT INTO DIVISIONS (CODE, ID, PARENT_ID, NAME) VALUES ('C99', "
               "99, 7, 'Intruder');"
             : "INSERT INTO " + Table() + " (ID, PARENT_ID, NAME) VALUES (99, 7, 'Intruder');");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sqlite3* other = nullptr;
        int rc = sqlite3_open(db->FileName().c_str(), &other);
        if (rc == SQLITE_OK) rc = sqlite3_exec(other, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(other);
        _exit(rc == SQLITE_OK ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_FALSE(branches->BookmarkValid(depotInTree));
    EXPECT_FALSE(table->BookmarkValid(depotInList));
    EXPECT_THROW(branches->GotoBookmark(depotInTree), EDatabaseError);

    tree.ReloadTree();
    table->Refresh();
    lv->Reload();
    run_messages();
    tree.FullExpand();
    run_messages();
    EXPECT_EQ(tree.FindNode(VarArrayOf({Variant(8)})), nullptr);
    TDBTreeNode* intruder = tree.FindNode(VarArrayOf({Variant(99)}));
    ASSERT_NE(intruder, nullptr);
    EXPECT_EQ(intruder->Text(), "Intruder");
    EXPECT_EQ(intruder->Parent()->Text(), "Branch office");
    EXPECT_EQ(Captions(), StoredNames());
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{"Head office", "Sales", "North", "South", "Engineering",
                                        "Research", "Branch office", "Intruder"}));
    EXPECT_FALSE(branches->ControlsDisabled());
    EXPECT_EQ(lv->LockCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Tables, ListViewKeyedTables,
                         ::testing::Values("ORGANIZATION", "PLACES", "DIVISIONS"));

} // namespace
} // namespace orvel::test
