// Re-parenting by drag and drop: a node dropped onto another node or onto empty space, drops the
// tree refuses (onto the node's own branch, from another control, Escape), drops that change
// nothing (outside the client area, read-only parent fields), a failing write or post, and a
// drop whose target or dragged node changed before the message loop came to it.
#include "tests/treeview/TreeTestSupport.h"

#include <string>
#include <vector>

namespace orvel::test {
namespace {

class TreeDragTest : public TreeTest, public ::testing::WithParamInterface<const char*> {
protected:
    // Every branch open: Head office (Sales (North, South), Engineering (Research)),
    // Branch office (Depot), one row of 16 pixels each.
    void SetUp() override {
        treeTable = GetParam();
        TreeTest::SetUp();
        OpenOrganization();
        tree->SetDragMode(dmAutomatic);
        Bind();
        tree->FullExpand();
    }
    TDBTreeNode* N(const std::string& caption) {
        TDBTreeNode* node = NodeNamed(*tree, caption);
        EXPECT_NE(node, nullptr) << caption;
        return node;
    }
    void Drag(const std::string& from, TPoint to) { drag_to(*tree, LabelOf(N(from)), *tree, to); }
    void Drag(const std::string& from, const std::string& onto) { Drag(from, LabelOf(N(onto))); }
    // Empty space below the rows, inside the client area.
    static TPoint Below() { return {60, 300}; }
};

TEST_P(TreeDragTest, ADropMakesTheNodeUnderThePointTheNewParent) {
    int posts = 0;
    table->SetAfterPost([&](TDataSet*) { ++posts; });

    Drag("North", "Engineering");
    // The record changes when the message loop comes to it, not inside the drop.
    EXPECT_EQ(Application().QueuedCount(), 1u);
    EXPECT_EQ(StoredParent(3), "2");
    run_messages();
    EXPECT_EQ(Branch(N("Engineering")), "Engineering+ (Research, North)");
    EXPECT_EQ(Branch(N("Sales")), "Sales+ (South)");
    EXPECT_EQ(StoredParent(3), "5");
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(SelectedText(*tree), "North");
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(tree->DropTarget(), nullptr);
    ExpectSettled();

    // Onto empty space below the rows: the top level.
    Drag("Research", Below());
    run_messages();
    EXPECT_EQ(StoredParent(6), "(null)");
    EXPECT_EQ(tree->Items()->GetLastNode(), N("Research"));
    EXPECT_EQ(Branch(N("Engineering")), "Engineering+ (North)");

    // Onto its own parent: first among its siblings, its record written again as it was.
    Drag("Engineering", "Head office");
    run_messages();
    EXPECT_EQ(Branch(N("Head office")), "Head office+ (Engineering+ (North), Sales+ (South))");
    EXPECT_EQ(StoredParent(5), "1");
    EXPECT_EQ(posts, 3);
    ExpectSettled();
    EXPECT_TRUE(Application().ShownErrors.empty());
}

TEST_P(TreeDragTest, ANodeIsNeverDroppedIntoItsOwnBranch) {
    std::string before = Picture(*tree);
    for (const char* target : {"North", "Sales"}) {
        Drag("Sales", target);
        EXPECT_EQ(Application().QueuedCount(), 0u) << target;
        EXPECT_TRUE(tree->GetDragNotCanceled());
    }
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(StoredParent(2), "1");

    // Escape during a drag re-parents nothing; the next drag works.
    drag_and_cancel(*tree, LabelOf(N("Depot")), *tree, LabelOf(N("Head office")));
    EXPECT_EQ(Application().QueuedCount(), 0u);
    EXPECT_TRUE(tree->GetDragNotCanceled());
    EXPECT_EQ(tree->DropTarget(), nullptr);
    EXPECT_EQ(StoredParent(8), "7");
    Drag("Depot", "Head office");
    run_messages();
    EXPECT_EQ(StoredParent(8), "1");

    // Nothing dragged from another control is taken.
    auto& other = form->Place<TTreeView>(320, 0, 200, 200);
    other.SetDragMode(dmAutomatic);
    TTreeNode* stranger = other.Items()->Add(nullptr, "Stranger");
    drag_to(other, LabelOf(stranger), *tree, LabelOf(N("Sales")));
    EXPECT_EQ(Application().QueuedCount(), 0u);
    ExpectSettled();
}

TEST_P(TreeDragTest, DropsThatChangeNoRecord) {
    std::vector<bool> ended;
    tree->OnEndDrag = [&](TObject*, TObject* target, int, int) { ended.push_back(target == tree); };

    // On the frame, outside the client area: the drag ends there, and nothing is written.
    Drag("North", TPoint{-1, 40});
    EXPECT_EQ(ended, std::vector<bool>{true});
    EXPECT_EQ(Application().QueuedCount(), 0u);

    // A read-only parent reference: the drop is taken, but nothing is written.
    table->FieldByName("PARENT_ID")->SetReadOnly(true);
    Drag("North", "Engineering");
    EXPECT_EQ(ended.size(), 2u);
    EXPECT_EQ(Application().QueuedCount(), 0u);
    EXPECT_EQ(StoredParent(3), "2");
    EXPECT_EQ(N("North")->Parent(), N("Sales"));
    ExpectSettled();
}

TEST_P(TreeDragTest, AFailingPostLeavesNodeAndRecordWhereTheyWere) {
    db->Execute("CREATE TRIGGER NORTH_STAYS BEFORE UPDATE ON " + treeTable +
                " WHEN OLD.ID = 3 AND "
                "NEW.PARENT_ID IS NOT OLD.PARENT_ID BEGIN SELECT RAISE(ABORT, 'North stays in "
                "Sales'); END");
    std::string before = Picture(*tree);
    Drag("North", "Engineering");
    run_messages();
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_NE(Application().ShownErrors[0].find("North stays in Sales"), std::string::npos);
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(StoredParent(3), "2");
    EXPECT_EQ(table->FieldByName("PARENT_ID")->GetAsInteger(), 2);
    ExpectSettled();

    // The next drop goes through.
    Drag("South", "Engineering");
    run_messages();
    EXPECT_EQ(StoredParent(4), "5");
    EXPECT_EQ(Branch(N("Engineering")), "Engineering+ (Research, South)");
}

// A tree whose top-level reference cannot be written.
class TNoTopLevelTree : public TDBTreeView {
public:
    using TDBTreeView::TDBTreeView;
    void SetAsTopParent() override { throw EDatabaseError("no top level here"); }
};

TEST_P(TreeDragTest, AFailingWriteOfTheParentReferenceNamesTheNode) {
    tree->SetDataSource(nullptr);
    auto& other = form->Place<TNoTopLevelTree>(320, 0, 300, 400);
    other.SetNameField("NAME");
    other.SetRelations("PARENT_ID->ID");
    other.SetTopParentKey("Null");
    other.SetDragMode(dmAutomatic);
    other.SetDataSource(source);
    run_messages();
    other.FullExpand();

    drag_to(other, LabelOf(NodeNamed(other, "North")), other, Below());
    run_messages();
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Can't set 'North'-node as top parent");
    EXPECT_EQ(NodeNamed(other, "North")->Parent(), NodeNamed(other, "Sales"));
    EXPECT_EQ(StoredParent(3), "2");
    // The edit the drop began does not stay behind.
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_FALSE(other.IsStopped());
}

TEST_P(TreeDragTest, TheDropIsCarriedOutOnlyForTheNodesItWasMadeWith) {
    // The node dropped on is gone by the time the loop comes to the drop, with its record.
    Drag("North", "Depot");
    db->Execute("DELETE FROM " + treeTable + " WHERE ID = 8");
    ClickButton(N("Branch office"));
    ClickButton(N("Branch office"));
    ASSERT_EQ(NodeNamed(*tree, "Depot"), nullptr);
    run_messages();
    EXPECT_EQ(StoredParent(3), "2");
    EXPECT_EQ(N("North")->Parent(), N("Sales"));

    // The tree was read again meanwhile: the drop goes to the nodes now showing the records.
    Drag("North", "Engineering");
    tree->DoReload();
    run_messages();
    EXPECT_EQ(StoredParent(3), "5");
    EXPECT_EQ(SelectedText(*tree), "North");
    EXPECT_EQ(N("North")->Parent(), N("Engineering"));

    // Another node was chosen meanwhile: neither record changes.
    tree->FullExpand();
    Drag("South", "Branch office");
    click(*tree, LabelOf(N("Research")));
    run_messages();
    EXPECT_EQ(StoredParent(4), "2");
    EXPECT_EQ(StoredParent(6), "5");
    EXPECT_TRUE(Application().ShownErrors.empty());
    ExpectSettled();
}

TEST_P(TreeDragTest, ARenamePendingOnTheDraggedNodeIsPostedWithIt) {
    click(*tree, LabelOf(N("North")));
    press_key(*tree, VK_F2);
    type_caption(*tree, "Northern");
    ASSERT_EQ(table->State(), dsEdit);
    Drag("Northern", "Engineering");
    run_messages();
    EXPECT_EQ(StoredName(3), "Northern");
    EXPECT_EQ(StoredParent(3), "5");
    EXPECT_EQ(Branch(N("Engineering")), "Engineering+ (Research, Northern)");
    EXPECT_EQ(tree->GetLastState(), dsBrowse);
    ExpectSettled();
}

// A node read only as its parent's look-ahead has never had its own children counted. Dropped
// under a node whose children are all read, it offers the expand button, and opening it shows
// its branch.
TEST_F(TreeTest, ALookAheadNodeDroppedUnderAReadBranchOffersItsChildren) {
    OpenOrganization(lsOneAhead);
    tree->SetDragMode(dmAutomatic);
    Bind();
    TDBTreeNode* branchOffice = NodeNamed(*tree, "Branch office");
    ClickButton(branchOffice);
    ASSERT_EQ(Branch(branchOffice), "Branch office+ (Depot)");
    // Opened while the dataset edits, the head office shows its look-ahead child unread.
    table->Edit();
    NodeNamed(*tree, "Head office")->Expand(false);
    table->Cancel();
    run_messages();
    ASSERT_EQ(Branch(NodeNamed(*tree, "Head office")), "Head office+ (Sales)");

    drag_to(*tree, LabelOf(NodeNamed(*tree, "Sales")), *tree, LabelOf(branchOffice));
    run_messages();
    EXPECT_EQ(StoredParent(2), "7");
    EXPECT_EQ(Branch(branchOffice), "Branch office+ (Depot, Sales+)");
    // The parent it left may still have unread children: it keeps its button.
    EXPECT_EQ(Branch(NodeNamed(*tree, "Head office")), "Head office+");
    ClickButton(NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (North, South)");
    ExpectSettled();
}

// The organisation's records keyed by the row id, in a table without row id, and under a text
// key.
INSTANTIATE_TEST_SUITE_P(Tables, TreeDragTest,
                         ::testing::Values("ORGANIZATION", "PLACES", "DIVISIONS"));

} // namespace
} // namespace orvel::test
