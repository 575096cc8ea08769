// The tree as its user meets it: filled by the message loop after the data source becomes
// active, each load style's expand buttons and loaded children, expanding that reads the table
// again, revealing a record deep down, a failing load that leaves the table as it found it, and
// the two-field key table whose top-level records have two null owner fields.
#include "tests/treeview/TreeTestSupport.h"

#include <string>
#include <vector>

namespace orvel::test {
namespace {

using TreeLoadingTest = TreeTest;

TEST_F(TreeLoadingTest, FillsFromTheMessageLoopNotInsideTheActivation) {
    OpenOrganization();
    source->SetDataSet(table.get());
    tree->SetDataSource(source);

    // Activation only asks for a reload.
    EXPECT_EQ(tree->Items()->Count(), 0);
    ASSERT_EQ(Application().QueuedCount(), 1u);
    EXPECT_EQ(Application().QueuedMessages()[0].Message, WM_USER + 160u);

    run_messages();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales), Branch office+ (Depot)");
    EXPECT_FALSE(tree->NotLoaded());
    EXPECT_FALSE(tree->IsStopped());
    // The table was on its first record, and stays there; that record's node is selected.
    EXPECT_EQ(CurrentId(), 1);
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "Head office");

    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    EXPECT_TRUE(head->IDEquals2(Key(1)));
    EXPECT_EQ(head->StateIndex(), 1);
    EXPECT_EQ(head->ImageIndex(), 10);
    EXPECT_EQ(head->SelectedIndex(), 10);
    EXPECT_TRUE(table->BookmarkValid(head->GetBookMark()));

    // Closing the table empties the tree; opening it again fills it through the loop again.
    table->Close();
    EXPECT_EQ(tree->Items()->Count(), 0);
    table->Open();
    EXPECT_EQ(tree->Items()->Count(), 0);
    run_messages();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales), Branch office+ (Depot)");

    // The application may also empty and fill the tree at once.
    tree->SetActive(false); // it was never switched on: nothing happens
    EXPECT_EQ(tree->Items()->Count(), 4);
    tree->SetActive(true);
    EXPECT_EQ(tree->Items()->Count(), 4);
    tree->SetActive(false);
    EXPECT_EQ(tree->Items()->Count(), 0);
}

// An empty table under a Null root: the empty record's Null key is the root's, yet the reload
// reads the top level once and fires each loading event once.
TEST_F(TreeLoadingTest, AnEmptyTableUnderANullRootIsReadOncePerReload) {
    db->Execute("DELETE FROM ORGANIZATION");
    OpenOrganization();
    int before = 0, after = 0;
    tree->SetBeforeNodesLoading([&](TObject*) { ++before; });
    tree->SetAfterNodesLoading([&](TObject*) { ++after; });
    Bind();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(tree->Items()->Count(), 0);
    EXPECT_EQ(tree->Selected(), nullptr);
    tree->PostReload();
    run_messages();
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    ExpectSettled();
}

// Between the table's opening and the reload it posts, a move of the cursor selects nothing and
// loads nothing inside the dataset's notification; the posted reload fills the tree once and
// selects the record the cursor is on.
TEST_F(TreeLoadingTest, ACursorMoveBeforeThePostedReloadLeavesTheFillingToIt) {
    OpenOrganization();
    Bind();
    int loads = 0;
    tree->SetBeforeNodesLoading([&](TObject*) { ++loads; });
    table->Close();
    table->Open();
    ASSERT_EQ(Application().QueuedCount(), 1u);
    for (int id : {7, 8}) {
        ASSERT_TRUE(table->Locate("ID", Variant(id)));
        EXPECT_EQ(tree->Items()->Count(), 0) << id;
        EXPECT_EQ(loads, 0) << id;
        EXPECT_EQ(CurrentId(), id);
    }
    run_messages();
    EXPECT_EQ(loads, 2); // the top level, then Branch office opened down to Depot
    EXPECT_EQ(SelectedText(*tree), "Depot");
    EXPECT_EQ(CurrentId(), 8);
    ExpectSettled();
}

TEST_F(TreeLoadingTest, OneAheadShowsOneChildAndButtonsOnlyWhereChildrenExist) {
    OpenOrganization(lsOneAhead);
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North), Engineering+ (Research)), "
                              "Branch office+ (Depot)");
    EXPECT_TRUE(NodeNamed(*tree, "Head office")->Expanded());
    EXPECT_TRUE(NodeNamed(*tree, "Head office")->GetComplete());
    EXPECT_FALSE(NodeNamed(*tree, "Sales")->GetComplete());

    ClickButton(NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Picture(NodeNamed(*tree, "Sales")->GetFirstChild()), "North, South");
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(TreeLoadingTest, ExplorerGivesEveryNodeAButtonUntilItIsOpened) {
    OpenOrganization(lsExplorer);
    Bind();
    EXPECT_EQ(Picture(*tree), "Head office+, Branch office+");

    ClickButton(NodeNamed(*tree, "Head office"));
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+, Engineering+), Branch office+");
    ClickButton(NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (North+, South+)");

    // A node without children loses its button when it is opened, and stays closed.
    TDBTreeNode* north = NodeNamed(*tree, "North");
    ClickButton(north);
    EXPECT_FALSE(north->HasChildren());
    EXPECT_FALSE(north->Expanded());
    EXPECT_TRUE(north->GetComplete());
}

TEST_F(TreeLoadingTest, AllAheadReadsEveryChildOfEachShownNode) {
    OpenOrganization(lsAllAhead);
    Bind();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales, Engineering), Branch office+ (Depot)");
    EXPECT_TRUE(NodeNamed(*tree, "Head office")->GetComplete());
    EXPECT_TRUE(NodeNamed(*tree, "Branch office")->GetComplete());

    ClickButton(NodeNamed(*tree, "Head office"));
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North, South), Engineering+ (Research)), "
                              "Branch office+ (Depot)");
}

TEST_F(TreeLoadingTest, OpeningABranchAgainShowsRecordsAddedAndDroppedMeanwhile) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");

    db->Execute("INSERT INTO ORGANIZATION VALUES (9, 1, 'Legal', NULL, NULL);"
                "DELETE FROM ORGANIZATION WHERE ID = 5;"
                "DELETE FROM ORGANIZATION WHERE ID = 6;");
    ClickButton(head); // closes
    ClickButton(head); // opens, reading the children again
    EXPECT_EQ(Branch(head), "Head office+ (Sales+ (North), Legal)");
    // A node that was there before is the same node, in its place.
    EXPECT_EQ(head->GetFirstChild(), sales);
    EXPECT_EQ(NodeNamed(*tree, "Legal")->ImageIndex(), -1);
}

TEST_F(TreeLoadingTest, RevealsTheCurrentRecordThreeLevelsDown) {
    OpenOrganization();
    ASSERT_TRUE(table->Locate("ID", Variant(3)));
    Bind();

    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "North");
    EXPECT_TRUE(NodeNamed(*tree, "Head office")->Expanded());
    EXPECT_TRUE(NodeNamed(*tree, "Sales")->Expanded());
    EXPECT_FALSE(NodeNamed(*tree, "Branch office")->Expanded());
    // The table is still on North, without a range.
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_FALSE(tree->IsStopped());
}

TEST_F(TreeLoadingTest, RevealReachesARecordAddedUnderAnOpenBranch) {
    OpenOrganization();
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");
    ClickButton(head);
    db->Execute("INSERT INTO ORGANIZATION VALUES (9, 1, 'Legal', NULL, NULL)");

    TDBTreeNode* legal = tree->SuperLoad(Key(9));
    ASSERT_NE(legal, nullptr);
    EXPECT_EQ(legal->Text(), "Legal");
    EXPECT_EQ(legal->Parent(), head);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(TreeLoadingTest, RevealGivesUpOnBrokenAndLoopingParentChains) {
    OpenOrganization();
    db->Execute("INSERT INTO ORGANIZATION VALUES (20, 99, 'Orphan', NULL, NULL);"
                "INSERT INTO ORGANIZATION VALUES (21, 22, 'Loop A', NULL, NULL);"
                "INSERT INTO ORGANIZATION VALUES (22, 23, 'Loop B', NULL, NULL);"
                "INSERT INTO ORGANIZATION VALUES (23, 21, 'Loop C', NULL, NULL);"
                "INSERT INTO ORGANIZATION VALUES (24, 24, 'Own parent', NULL, NULL);");
    Bind();
    ASSERT_TRUE(table->Locate("ID", Variant(4)));

    EXPECT_EQ(tree->SuperLoad(Key(20)), nullptr); // its parent 99 does not exist
    EXPECT_EQ(tree->SuperLoad(Key(21)), nullptr); // 21 -> 22 -> 23 -> 21
    EXPECT_EQ(tree->SuperLoad(Key(24)), nullptr);
    EXPECT_EQ(tree->SuperLoad(Key(77)), nullptr); // no such record
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_FALSE(tree->IsStopped());
    EXPECT_FALSE(table->ControlsDisabled());

    TDBTreeNode* research = tree->SuperLoad(Key(6));
    ASSERT_NE(research, nullptr);
    EXPECT_EQ(research->Text(), "Research");
    EXPECT_TRUE(research->IsNodeVisible());
}

// A root key may lead into records that name each other (or themselves) as parent: each is
// shown once on its way down, never again inside its own branch, so loading ends.
TEST_F(TreeLoadingTest, DepartureParentLoopsUnderTheRootAreShownOnceAndLoadingEnds) {
    for (TLoadStyle style : {lsOneAhead, lsAllAhead, lsExplorer}) {
        SCOPED_TRACE(static_cast<int>(style));
        TearDown();
        SetUp();
        OpenOrganization(style);
        db->Execute("INSERT INTO ORGANIZATION VALUES (21, 22, 'Loop A', NULL, NULL);"
                    "INSERT INTO ORGANIZATION VALUES (22, 21, 'Loop B', NULL, NULL);"
                    "INSERT INTO ORGANIZATION VALUES (24, 24, 'Own parent', NULL, NULL);");
        tree->SetTopParentKey("21");
        Bind();
        tree->FullExpand();
        run_messages();
        EXPECT_EQ(Picture(*tree), "Loop B+ (Loop A)");

        tree->SetTopParentKey("24");
        run_messages();
        tree->FullExpand();
        run_messages();
        EXPECT_EQ(Picture(*tree), "Own parent");
        ExpectSettled();
    }
}

TEST_F(TreeLoadingTest, EveryLoadPutsTheCursorBackAndLeavesNoRange) {
    OpenOrganization(lsAllAhead);
    Bind();
    TDBTreeNode* head = NodeNamed(*tree, "Head office");

    // A record in the middle: the cursor returns to it. (The tree follows the move, opening
    // Head office on the way to Engineering; a click on Head office's button would close it and
    // select it.)
    ASSERT_TRUE(table->Locate("ID", Variant(5)));
    EXPECT_TRUE(head->Expanded());
    tree->LoadBranch(head);
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(tree->Selected()->Text(), "Engineering");
    EXPECT_FALSE(table->RangeApplied());

    // At the start: back to the first record.
    table->First();
    tree->LoadBranch(head);
    EXPECT_TRUE(table->Bof());
    EXPECT_EQ(CurrentId(), 1);

    // Past the end: back to the last record.
    table->Last();
    table->Next();
    ASSERT_TRUE(table->Eof());
    tree->LoadBranch(head);
    EXPECT_TRUE(table->Eof());
    EXPECT_EQ(CurrentId(), 8);

    // A range the application set is gone after the reload; the nodes come from ranges of the
    // tree's own.
    table->SetRange({Variant(2)}, {Variant(2)});
    tree->DoReload();
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales, Engineering), Branch office+ (Depot)");
    EXPECT_FALSE(table->ControlsDisabled());
}

TEST_F(TreeLoadingTest, ALoadFailingHalfWayRestoresTableAndTree) {
    OpenOrganization();
    std::vector<std::string> loads;
    tree->SetBeforeNodesLoading([&](TObject*) { loads.push_back("before"); });
    tree->SetAfterNodesLoading([&](TObject*) { loads.push_back("after"); });
    int setups = 0;
    int failAt = 3;
    tree->SetOnNodeSetup([&](TObject*, TTreeNode*, TDataSet*) {
        if (++setups == failAt) throw EDatabaseError("no picture for this record");
    });
    ASSERT_TRUE(table->Locate("ID", Variant(5)));
    Bind();

    // Head office, Sales ahead of it, then Branch office fails: the node made for it is gone.
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Cannot setup a node");
    EXPECT_EQ(loads, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales)");
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_FALSE(tree->IsStopped());

    // A branch whose load fails keeps the children met before the failure.
    Application().ShownErrors.clear();
    setups = 0;
    failAt = 2;
    ClickButton(NodeNamed(*tree, "Head office"));
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    // Sales was there before and read one child ahead; Engineering failed and is gone.
    EXPECT_EQ(Branch(NodeNamed(*tree, "Head office")), "Head office+ (Sales+ (North))");
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_FALSE(tree->IsStopped());

    // Once the handler behaves, the next load is whole.
    failAt = 0;
    tree->DoReload();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North), Engineering+ (Research)), "
                              "Branch office+ (Depot)");
    EXPECT_EQ(tree->Selected()->Text(), "Engineering");
}

TEST_F(TreeLoadingTest, TwoFieldKeysWithTwoNullRoots) {
    db->CreateUnits();
    table = db->OpenTable("UNITS", "OWNER_GROUP;OWNER_ID");
    tree->SetNameField("NAME");
    tree->SetStatusIDField("STATUS_ID");
    tree->SetRelations("OWNER_GROUP->UNIT_GROUP;OWNER_ID->UNIT_ID");
    tree->SetTopParentKey("Null;Null");
    EXPECT_EQ(tree->GetKeyFieldsCount(), 2);
    ASSERT_TRUE(table->Locate("UNIT_GROUP;UNIT_ID", VarArrayOf({Variant(3), Variant(1)})));
    Bind();

    EXPECT_EQ(Picture(*tree), "Alpha+ (Gamma, Delta+ (Epsilon)), Beta+ (Zeta)");
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "Epsilon");
    EXPECT_TRUE(static_cast<TDBTreeNode*>(tree->Selected())
                    ->IDEquals2(VarArrayOf({Variant(3), Variant(1)})));
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Epsilon");
    EXPECT_FALSE(table->RangeApplied());

    ClickButton(NodeNamed(*tree, "Beta"));
    EXPECT_EQ(Branch(NodeNamed(*tree, "Beta")), "Beta+ (Zeta)");
    EXPECT_TRUE(NodeNamed(*tree, "Beta")->GetComplete());
}

TEST_F(TreeLoadingTest, ATreeWaitsForItsWindowAndAReloadIsAskedForOnce) {
    OpenOrganization();
    source->SetDataSet(table.get());
    auto* loose = new TDBTreeView(&form->Form());
    loose->SetNameField("NAME");
    loose->SetRelations("PARENT_ID->ID");
    loose->SetTopParentKey("Null");
    loose->SetDataSource(source);
    run_messages();
    EXPECT_EQ(loose->Items()->Count(), 0); // no window: nothing was posted

    loose->SetParent(&form->Form()); // the window is made: the reload is asked for
    EXPECT_EQ(Application().QueuedCount(), 1u);
    loose->SetStatusIDField("STATUS_ID");
    loose->SetImageIDField("IMAGE_ID");
    EXPECT_EQ(Application().QueuedCount(), 1u); // a reload is pending already
    run_messages();
    EXPECT_EQ(Picture(*loose), "Head office+ (Sales), Branch office+ (Depot)");

    // A reload asked for just before the window goes is asked for again by the new window.
    loose->SetStatusIDField("");
    ASSERT_EQ(Application().QueuedCount(), 1u);
    loose->DestroyHandle();
    loose->Items()->Clear();
    loose->HandleNeeded();
    run_messages();
    EXPECT_EQ(Picture(*loose), "Head office+ (Sales), Branch office+ (Depot)");

    // A refused post leaves nothing pending, so the next request posts again.
    Application().RefusePosts(true);
    loose->SetStatusIDField("IMAGE_ID");
    Application().RefusePosts(false);
    loose->SetImageIDField("");
    EXPECT_EQ(Application().QueuedCount(), 1u);
}

TEST_F(TreeLoadingTest, DesignTimeAndOtherDatasetsLoadNothing) {
    OpenOrganization();
    tree->SetDesigning(true);
    Bind();
    EXPECT_EQ(tree->Items()->Count(), 0);

    // A query cannot give ranges: the load fails with the invalid cast and nothing stays busy.
    tree->SetDesigning(false);
    auto query = db->OpenQuery("SELECT * FROM ORGANIZATION");
    source->SetDataSet(query.get());
    Application().ShownErrors.clear();
    run_messages();
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Invalid class typecast");
    EXPECT_FALSE(tree->IsStopped());
    EXPECT_FALSE(query->ControlsDisabled());
    source->SetDataSet(nullptr);
}

// The tree reads through whichever table its data source gives at the moment: after a swap to
// another table (made where a dropped one was, or of the same class) the records come from it and
// the dropped one is not touched; a dataset that is no table is refused each time it is given.
TEST_F(TreeLoadingTest, ASwappedDatasetIsTheOneReadEvenWhereAnotherOneWas) {
    OpenOrganization();
    Bind();
    const std::string full = "Head office+ (Sales), Branch office+ (Depot)";
    ASSERT_EQ(Picture(*tree), full);
    auto query = db->OpenQuery("SELECT * FROM ORGANIZATION");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        auto next = db->OpenTable("ORGANIZATION", "PARENT_ID");
        // The table read before is dropped: the next round's table may be made where it was.
        source->SetDataSet(next.get());
        table.swap(next);
        next.reset();
        run_messages();
        EXPECT_EQ(Picture(*tree), full);
        tree->Items()->GetFirstNode()->Expand(false);
        EXPECT_NE(tree->Items()->GetFirstNode()->GetFirstChild(), nullptr);
        ExpectSettled();
        Application().ShownErrors.clear();
        source->SetDataSet(query.get());
        run_messages();
        ASSERT_EQ(Application().ShownErrors.size(), 1u);
        EXPECT_EQ(Application().ShownErrors[0], "Invalid class typecast");
        EXPECT_FALSE(query->ControlsDisabled());
    }
    source->SetDataSet(nullptr);
}

TEST_F(TreeLoadingTest, RemovingTheDataSourceEmptiesTheTree) {
    OpenOrganization();
    Bind();
    ASSERT_GT(tree->Items()->Count(), 0);
    source->Free();
    source = nullptr;
    EXPECT_EQ(tree->Items()->Count(), 0);
    EXPECT_EQ(tree->GetDataSource(), nullptr);
    EXPECT_TRUE(tree->NotLoaded());
    EXPECT_EQ(tree->KeysAreEquals(Key(1)), false);
}

} // namespace
} // namespace orvel::test
