// The tree and its table in step both ways: choosing a node moves the table to its record (by
// bookmark, by key when the bookmark is stale, dropping nodes whose records are gone), moving the
// table elsewhere selects the record's node and loads the branches down to it, the tree's own
// pending edit is posted before another node is chosen, and the work the tree defers to its
// message queue.
#include "tests/treeview/TreeTestSupport.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <algorithm>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

using TreeSyncTest = TreeTest;

TEST_F(TreeSyncTest, ChoosingANodeMovesTheTableToItsRecord) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    TDBTreeNode* branch = NodeNamed(*tree, "Branch office");
    std::vector<std::string> changes;
    tree->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n ? n->Text() : "(none)"); };

    click(*tree, LabelOf(branch));
    EXPECT_EQ(tree->Selected(), branch);
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(changes, std::vector<std::string>{"Branch office"});

    // Branch office is deleted and written again with the same key behind the tree's back: the
    // node's bookmark names no record any more, so the record is found by its key.
    click(*tree, LabelOf(head));
    TBookmark old = branch->GetBookMark();
    db->Execute("DELETE FROM ORGANIZATION WHERE ID = 7;"
                "INSERT INTO ORGANIZATION VALUES (7, NULL, 'Branch office', 1, 10)");
    EXPECT_FALSE(table->BookmarkValid(old));
    click(*tree, LabelOf(branch));
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_TRUE(table->BookmarkValid(branch->GetBookMark()));
    EXPECT_FALSE(branch->GetBookMark() == old);

    // Head office is gone from the table: choosing it removes it with its branch, and the
    // selection and the table go to the node selected instead.
    ASSERT_TRUE(table->Locate("ID", Variant(8)));
    EXPECT_EQ(SelectedText(*tree), "Depot");
    db->Execute("DELETE FROM ORGANIZATION WHERE ID = 1");
    changes.clear();
    click(*tree, LabelOf(head));
    EXPECT_EQ(Picture(*tree), "Branch office+ (Depot)");
    EXPECT_EQ(tree->FindNode(Key(2)), nullptr);
    EXPECT_EQ(SelectedText(*tree), "Branch office");
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(changes, std::vector<std::string>{"Branch office"});
    ExpectSettled();
}

TEST_F(TreeSyncTest, MovingTheTableSelectsTheRecordAndLoadsDownToIt) {
    OpenOrganization();
    Bind();
    int changes = 0;
    tree->OnChange = [&](TObject*, TTreeNode*) { ++changes; };

    // South's node is not loaded yet: its ancestors are opened on the way.
    ASSERT_TRUE(table->Locate("ID", Variant(4)));
    EXPECT_EQ(SelectedText(*tree), "South");
    EXPECT_TRUE(NodeNamed(*tree, "Head office")->Expanded());
    EXPECT_TRUE(NodeNamed(*tree, "Sales")->Expanded());
    // The selection followed the table; it did not move the table back.
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(changes, 0);
    ExpectSettled();

    // The next record in the table's order is Research, under another branch.
    table->Next();
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(SelectedText(*tree), "Research");
    EXPECT_TRUE(NodeNamed(*tree, "Engineering")->Expanded());

    // A record that cannot be revealed leaves the tree without a selection.
    db->Execute("INSERT INTO ORGANIZATION VALUES (20, 99, 'Orphan', NULL, NULL)");
    table->Refresh();
    ASSERT_TRUE(table->Locate("ID", Variant(20)));
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(CurrentId(), 20);
    ExpectSettled();
}

// The branches a reveal opens are painted together: the tree is painted once per reveal, not
// once per level, and shows every level opened.
TEST_F(TreeSyncTest, ARevealPaintsTheTreeOnceWithEveryBranchItOpened) {
    db->Execute("INSERT INTO ORGANIZATION VALUES (9, 4, 'Harbour', NULL, NULL), "
                "(10, 9, 'Quay', NULL, NULL), (11, 10, 'Crane', NULL, NULL)");
    OpenOrganization();
    Bind();
    int paints = tree->PaintCount();
    // Crane is five levels down: Head office, Sales, South, Harbour and Quay are opened.
    ASSERT_TRUE(table->Locate("ID", Variant(11)));
    EXPECT_EQ(SelectedText(*tree), "Crane");
    EXPECT_EQ(tree->PaintCount() - paints, 1);
    EXPECT_FALSE(tree->Selected()->DisplayRect(true).IsEmpty());
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")),
              "Sales+ (North, South+ (Harbour+ (Quay+ (Crane))))");
    ExpectSettled();
}

TEST_F(TreeSyncTest, TheTreesOwnEditIsPostedBeforeAnotherNodeIsChosen) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    TDBTreeNode* branch = NodeNamed(*tree, "Branch office");
    press_key(*tree, VK_F2);
    type_caption(*tree, "Headquarters");
    ASSERT_EQ(table->State(), dsEdit);
    EXPECT_EQ(StoredName(1), "Head office");

    // The engine refuses the name: the user sees why, and Head office stays chosen and edited.
    db->Execute("CREATE TRIGGER NO_HQ BEFORE UPDATE ON ORGANIZATION WHEN NEW.NAME = "
                "'Headquarters' BEGIN SELECT RAISE(ABORT, 'that name is taken'); END");
    click(*tree, LabelOf(branch));
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_NE(Application().ShownErrors[0].find("that name is taken"), std::string::npos);
    EXPECT_EQ(tree->Selected(), head);
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_FALSE(tree->IsStopped());

    // The user gives another name, and the next choice goes through.
    press_key(*tree, VK_F2);
    type_caption(*tree, "Main office");
    click(*tree, LabelOf(branch));
    EXPECT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(tree->Selected(), branch);
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(StoredName(1), "Main office");
    EXPECT_EQ(head->Text(), "Main office");
    EXPECT_EQ(tree->GetLastState(), dsBrowse);
    ExpectSettled();
}

// Another program's rename reaches a node re-read afterwards: rows the tree's table read before
// that commit are not taken for current ones.
TEST_F(TreeSyncTest, ARereadAfterAnotherProgramsRenameShowsTheNewName) {
    db = std::make_unique<TTestDatabase>(TStorage::TempFile);
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    tree->SetSelected(sales);
    run_messages();
    ASSERT_EQ(CurrentId(), 2);

    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Marketing' WHERE ID = 2");
    tree->PostNodeSetup(sales);
    run_messages();
    EXPECT_EQ(sales->Text(), "Marketing");
    ExpectSettled();
}

// The same for a node read ahead under a collapsed parent: the application's reload of the
// parent's branch reads its children from the table again, not from rows read before the other
// program's commit.
TEST_F(TreeSyncTest, ABranchReloadAfterAnotherProgramsRenameShowsTheNewName) {
    db = std::make_unique<TTestDatabase>(TStorage::TempFile);
    OpenOrganization();
    Bind();
    TDBTreeNode* depot = NodeNamed(*tree, "Depot");
    ASSERT_NE(depot, nullptr);
    ASSERT_FALSE(depot->IsNodeVisible());
    TTreeNode* branch = depot->Parent();

    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Warehouse' WHERE ID = 8");
    tree->ReloadBranch(branch);
    run_messages();
    EXPECT_EQ(NodeNamed(*tree, "Depot"), nullptr);
    EXPECT_NE(NodeNamed(*tree, "Warehouse"), nullptr);
    ExpectSettled();
}

// A branch reload selects its node without moving the cursor; a rename of the current record
// posted from elsewhere then still reaches that record's own node, not selected.
TEST_F(TreeSyncTest, AnEditOfTheCurrentRecordReachesItsNodeWhenAnotherIsSelected) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    tree->SetSelected(sales);
    run_messages();
    tree->ReloadBranch(head);
    run_messages();
    ASSERT_EQ(tree->Selected(), head);
    ASSERT_EQ(CurrentId(), 2);

    table->Edit();
    table->FieldByName("NAME")->SetAsString("Marketing");
    table->Post();
    run_messages();
    EXPECT_EQ(StoredName(2), "Marketing");
    EXPECT_EQ(NodeNamed(*tree, "Sales"), nullptr);
    ASSERT_NE(NodeNamed(*tree, "Marketing"), nullptr);
    EXPECT_EQ(head->Text(), "Head office");
    ExpectSettled();
}

TEST_F(TreeSyncTest, BranchReloadsAndRereadsWaitForTheMessageLoop) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    ASSERT_TRUE(table->Locate("ID", Variant(7)));

    // Asked twice, a branch is reloaded once; a re-read of a node in it is covered by the reload.
    tree->PostReloadBranch(head);
    tree->PostReloadBranch(head);
    tree->PostNodeSetup(sales);
    EXPECT_EQ(Application().QueuedCount(), 1u);
    db->Execute("INSERT INTO ORGANIZATION VALUES (9, 1, 'Legal', NULL, NULL);"
                "UPDATE ORGANIZATION SET NAME = 'Marketing' WHERE ID = 2");
    run_messages();
    EXPECT_EQ(Branch(head), "Head office+ (Marketing+ (North), Engineering+ (Research), Legal)");
    // The reloaded node is chosen; the table the grids share stays where it was.
    EXPECT_EQ(tree->Selected(), head);
    EXPECT_EQ(CurrentId(), 7);

    // A re-read shows the record's present values and leaves the table where it was.
    TDBTreeNode* branch = NodeNamed(*tree, "Branch office");
    db->Execute("UPDATE ORGANIZATION SET NAME = 'Regional office', STATUS_ID = 5 WHERE ID = 7");
    tree->PostNodeSetup(branch);
    tree->PostNodeSetup(branch);
    EXPECT_EQ(Application().QueuedCount(), 1u);
    run_messages();
    EXPECT_EQ(branch->Text(), "Regional office");
    EXPECT_EQ(branch->StateIndex(), 5);
    EXPECT_EQ(CurrentId(), 7);
    ExpectSettled();

    // A reload of the whole tree swallows a re-read still queued: the record is set up once, by
    // the reload, though the re-read's message comes first.
    db->Execute("UPDATE ORGANIZATION SET NAME = 'Branch' WHERE ID = 7");
    std::vector<std::string> setUp;
    tree->SetOnNodeSetup(
        [&](TObject*, TTreeNode* node, TDataSet*) { setUp.push_back(node->Text()); });
    tree->PostNodeSetup(branch);
    tree->PostReload();
    EXPECT_EQ(Application().QueuedCount(), 2u);
    tree->PostReloadBranch(head); // the reload covers it
    EXPECT_EQ(Application().QueuedCount(), 2u);
    run_messages();
    EXPECT_EQ(Picture(*tree), "Head office+ (Marketing), Branch+ (Depot)");
    EXPECT_EQ(std::count(setUp.begin(), setUp.end(), "Branch"), 1)
        << ::testing::PrintToString(setUp);
    tree->SetOnNodeSetup(nullptr);

    // A request the queue refused is not remembered as pending: asked again, it is posted.
    head = NodeNamed(*tree, "Head office");
    Application().RefusePosts(true);
    tree->PostReloadBranch(head);
    tree->PostNodeSetup(head);
    Application().RefusePosts(false);
    EXPECT_EQ(Application().QueuedCount(), 0u);
    tree->PostReloadBranch(head);
    tree->PostNodeSetup(NodeNamed(*tree, "Branch"));
    EXPECT_EQ(Application().QueuedCount(), 2u);
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
    ExpectSettled();
}

// A branch reload chooses its node without moving the table, so the two differ until the user
// moves: a rename then still goes into the chosen node's own record, not the current one.
TEST_F(TreeSyncTest, DepartureARenameAfterABranchReloadGoesIntoTheChosenNodesRecord) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    ASSERT_TRUE(table->Locate("ID", Variant(7)));
    tree->PostReloadBranch(head);
    run_messages();
    ASSERT_EQ(tree->Selected(), head);
    ASSERT_EQ(CurrentId(), 7);

    press_key(*tree, VK_F2);
    type_caption(*tree, "Headquarters");
    ASSERT_EQ(table->State(), dsEdit);
    EXPECT_EQ(CurrentId(), 1);
    table->Post();
    EXPECT_EQ(StoredName(1), "Headquarters");
    EXPECT_EQ(StoredName(7), "Branch office");
    EXPECT_EQ(head->Text(), "Headquarters");
    EXPECT_EQ(NodeNamed(*tree, "Branch office")->Text(), "Branch office");
    ExpectSettled();
}

TEST_F(TreeSyncTest, APostedCheckSettlesThePendingEditOnce) {
    OpenOrganization();
    Bind();
    table->Edit();
    table->FieldByName("NAME")->SetAsString("Head office East");
    tree->PostCheckBrowseMode();
    tree->PostCheckBrowseMode();
    EXPECT_EQ(Application().QueuedCount(), 1u);
    run_messages();
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(StoredName(1), "Head office East");
    EXPECT_EQ(NodeNamed(*tree, "Head office East"), tree->Selected());

    // A failing post is shown, and the next request is posted again.
    db->Execute("CREATE TRIGGER NO_RENAME BEFORE UPDATE ON ORGANIZATION "
                "BEGIN SELECT RAISE(ABORT, 'frozen'); END");
    table->Edit();
    table->FieldByName("NAME")->SetAsString("Head office West");
    tree->PostCheckBrowseMode();
    run_messages();
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(table->State(), dsEdit);
    tree->PostCheckBrowseMode();
    EXPECT_EQ(Application().QueuedCount(), 1u);
    table->Cancel();
    run_messages();
    EXPECT_EQ(SelectedText(*tree), "Head office East");
    ExpectSettled();
}

} // namespace
} // namespace orvel::test
