// Two sessions on one PostgreSQL database: one renames, inserts, re-parents and deletes; the tree
// of the other shows each change once it reads again (a reload, a branch reload, an expand),
// keeping its selection while the selected record exists. Needs the test server (ORVEL_PG).
#include "tests/treeview/TreeTestSupport.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <memory>
#include <string>

namespace orvel::test {
namespace {

using PostgresTreeSessions = TreeTest;

TEST_F(PostgresTreeSessions, AnotherSessionsChangesAppearWhenTheTreeReadsAgain) {
    db = std::make_unique<TTestDatabase>(TStorage::Server);
    OpenOrganization();
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    tree->SetSelected(sales);
    run_messages();
    ASSERT_EQ(CurrentId(), 2);
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());

    // Nothing changes on screen until the tree reads again.
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Marketing' WHERE ID = 2");
    EXPECT_EQ(sales->Text(), "Sales");
    tree->PostReload();
    run_messages();
    EXPECT_EQ(SelectedText(*tree), "Marketing");
    EXPECT_EQ(CurrentId(), 2);
    ExpectSettled();

    other->Execute("INSERT INTO ORGANIZATION (PARENT_ID, NAME) VALUES (1, 'Legal')");
    tree->ReloadBranch(NodeNamed(*tree, "Head office"));
    run_messages();
    ASSERT_NE(NodeNamed(*tree, "Legal"), nullptr);
    EXPECT_EQ(NodeNamed(*tree, "Legal")->Parent(), NodeNamed(*tree, "Head office"));
    // A branch reload selects its node and leaves the table's cursor where it was.
    EXPECT_EQ(SelectedText(*tree), "Head office");
    EXPECT_EQ(CurrentId(), 2);

    // Research moves from Engineering to Branch office: found there on expanding it.
    other->Execute("UPDATE ORGANIZATION SET PARENT_ID = 7 WHERE ID = 6");
    tree->PostReload();
    run_messages();
    ClickButton(NodeNamed(*tree, "Branch office"));
    run_messages();
    ASSERT_NE(NodeNamed(*tree, "Research"), nullptr);
    EXPECT_EQ(NodeNamed(*tree, "Research")->Parent(), NodeNamed(*tree, "Branch office"));
    EXPECT_EQ(Picture(*tree), "Head office+ (Marketing+ (North), Engineering, Legal), Branch "
                              "office+ (Research, Depot)");
    EXPECT_EQ(SelectedText(*tree), "Marketing");
    EXPECT_EQ(CurrentId(), 2);

    // The selected record goes: the tree shows the table as it is and selects a record that
    // exists, the table's current one.
    other->Execute("DELETE FROM ORGANIZATION WHERE PARENT_ID = 2; "
                   "DELETE FROM ORGANIZATION WHERE ID = 2");
    tree->PostReload();
    run_messages();
    EXPECT_EQ(NodeNamed(*tree, "Marketing"), nullptr);
    EXPECT_EQ(NodeNamed(*tree, "North"), nullptr);
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), table->FieldByName("NAME")->GetAsString());
    EXPECT_NE(CurrentId(), 2);
    ExpectSettled();
    // Every record left has its node once its branch is read.
    ClickButton(NodeNamed(*tree, "Head office"));
    run_messages();
    EXPECT_EQ(Picture(*tree), "Head office+ (Engineering, Legal), Branch office+ (Research)");
}

} // namespace
} // namespace orvel::test
