// Editing through the tree and beside it: renaming a record by editing its caption in place,
// captions that cannot be edited, a record inserted by other code getting its node where the
// insert mode says (vetoed, cancelled, posted, failing), and a parent reference changed in
// another control moving the node.
#include "orvel/host/controls/StdCtrls.h"
#include "tests/treeview/TreeTestSupport.h"

#include <string>
#include <vector>

namespace orvel::test {
namespace {

class TreeEditTest : public TreeTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        treeTable = GetParam();
        TreeTest::SetUp();
    }
    // The tree filled with Head office open, and the user on the node of the given name.
    void Choose(const std::string& caption) {
        TDBTreeNode* node = NodeNamed(*tree, caption);
        ASSERT_NE(node, nullptr) << caption;
        click(*tree, LabelOf(node));
        ASSERT_EQ(SelectedText(*tree), caption);
    }
    void OpenHeadOffice() {
        OpenOrganization();
        Bind();
        ClickButton(NodeNamed(*tree, "Head office"));
    }
    int64_t Records() { return db->Count(treeTable); }
};

TEST_P(TreeEditTest, RenamingWritesTheNameAndCancellingRestoresTheCaption) {
    OpenHeadOffice();
    Choose("Engineering");
    TDBTreeNode* engineering = NodeNamed(*tree, "Engineering");

    press_key(*tree, VK_F2);
    ASSERT_TRUE(tree->IsEditing());
    EXPECT_EQ(table->State(), dsEdit);
    type_caption(*tree, "Development");
    EXPECT_EQ(engineering->Text(), "Development");
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Development");
    EXPECT_TRUE(table->BookmarkValid(engineering->GetBookMark()));
    EXPECT_EQ(StoredName(5), "Engineering"); // not posted yet
    EXPECT_EQ(tree->GetLastState(), dsEdit);

    // Choosing another node posts the name.
    Choose("Sales");
    EXPECT_EQ(StoredName(5), "Development");
    EXPECT_EQ(CurrentId(), 2);
    ExpectSettled();

    // A rename the dataset cancels shows the stored name again.
    press_key(*tree, VK_F2);
    type_caption(*tree, "Selling");
    EXPECT_EQ(NodeNamed(*tree, "Selling"), tree->Selected());
    table->Cancel();
    EXPECT_EQ(SelectedText(*tree), "Sales");
    EXPECT_EQ(StoredName(2), "Sales");
    EXPECT_EQ(tree->GetLastState(), dsBrowse);

    // Escape drops the typed text; the untouched record is not written.
    int posts = 0;
    table->SetAfterPost([&](TDataSet*) { ++posts; });
    press_key(*tree, VK_F2);
    type_caption(*tree, "Selling", TEditEnd::Cancel);
    EXPECT_EQ(SelectedText(*tree), "Sales");
    Choose("Development");
    EXPECT_EQ(posts, 0);
    EXPECT_EQ(StoredName(2), "Sales");
    ExpectSettled();
}

TEST_P(TreeEditTest, ComingBackDuringTheTreesOwnEditReopensTheEditor) {
    OpenHeadOffice();
    auto& other = form->Place<TEdit>(320, 10, 120, 24);
    Choose("Engineering");
    press_key(*tree, VK_F2);
    type_caption(*tree, "Development");
    other.SetFocus();
    EXPECT_FALSE(tree->IsEditing());
    tree->SetFocus();
    ASSERT_TRUE(tree->IsEditing());
    EXPECT_EQ(tree->EditorText(), "Development");
    type_caption(*tree, "Research and development");
    Choose("Sales");
    EXPECT_EQ(StoredName(5), "Research and development");
    ExpectSettled();
}

TEST_P(TreeEditTest, CaptionsThatCannotBeEdited) {
    OpenHeadOffice();
    Choose("Sales");

    // The record was deleted behind the tree's back: the user is told.
    db->Execute("DELETE FROM " + treeTable + " WHERE ID = 2");
    press_key(*tree, VK_F2);
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Can't edit unexisting record");
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(tree->GetLastState(), dsBrowse);
    ExpectSettled();

    // A read-only name field, or a read-only tree, starts no edit.
    Choose("Engineering");
    table->FieldByName("NAME")->SetReadOnly(true);
    press_key(*tree, VK_F2);
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(table->State(), dsBrowse);
    table->FieldByName("NAME")->SetReadOnly(false);
    tree->SetReadOnly(true);
    press_key(*tree, VK_F2);
    EXPECT_FALSE(tree->IsEditing());
    tree->SetReadOnly(false);
}

TEST_P(TreeEditTest, AnInsertBegunElsewhereGetsItsNodeByInsertMode) {
    OpenHeadOffice();
    std::vector<std::string> announced;
    tree->SetAfterInsert([&](TObject*, TTreeNode* n) { announced.push_back(Branch(n)); });
    Choose("Sales");

    // As a child of the selected node, with its key vector as parent reference.
    tree->SetInsertMode(imAddChild);
    table->Insert();
    // Sales was closed, with North read ahead: it opens on the new node.
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (North, )");
    EXPECT_EQ(tree->Selected()->Parent(), NodeNamed(*tree, "Sales"));
    EXPECT_EQ(table->FieldByName("PARENT_ID")->GetAsInteger(), 2);
    EXPECT_FALSE(table->Modified());
    EXPECT_EQ(announced.size(), 1u);
    // The record is filled in another control; the node shows it, and keeps it once posted.
    table->FieldByName("NAME")->SetAsString("Export");
    EXPECT_EQ(SelectedText(*tree), "Export");
    table->Post();
    auto* added = static_cast<TDBTreeNode*>(tree->Selected());
    EXPECT_EQ(added->Text(), "Export");
    EXPECT_TRUE(added->IDEquals2(Key(CurrentId())));
    EXPECT_TRUE(table->BookmarkValid(added->GetBookMark()));
    EXPECT_EQ(StoredParent(CurrentId()), "2");
    EXPECT_FALSE(tree->GetInserting());
    ExpectSettled();

    // As a sibling of a child: under the same parent.
    Choose("North");
    tree->SetInsertMode(imAddSibling);
    table->Insert();
    table->FieldByName("NAME")->SetAsString("Import");
    table->Post();
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (North, Export, Import)");
    EXPECT_EQ(StoredParent(CurrentId()), "2");

    // As a sibling of a top-level node, and at the top level: the root key vector.
    Choose("Branch office");
    table->Insert();
    table->FieldByName("NAME")->SetAsString("Annex");
    table->Post();
    tree->SetInsertMode(imAddRootNode);
    Choose("Import");
    table->Insert();
    table->FieldByName("NAME")->SetAsString("Subsidiary");
    table->Post();
    EXPECT_EQ(StoredParent(CurrentId()), "(null)");
    std::string top;
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNextSibling())
        top += n->Text() + ";";
    EXPECT_EQ(top, "Head office;Branch office;Annex;Subsidiary;");
    EXPECT_EQ(SelectedText(*tree), "Subsidiary");

    // As a child with nothing selected: at the top level.
    tree->SetInsertMode(imAddChild);
    tree->SetSelected(nullptr);
    table->Insert();
    EXPECT_EQ(tree->Selected()->Parent(), nullptr);
    EXPECT_TRUE(table->FieldByName("PARENT_ID")->IsNull());
    table->Cancel();
    EXPECT_EQ(announced.size(), 5u);
    EXPECT_EQ(Records(), 12);
    ExpectSettled();
}

TEST_P(TreeEditTest, InsertsTakenFromTheTableGoUnderTheParentTheRecordNames) {
    OpenHeadOffice();
    Choose("Sales");
    tree->SetInsertMode(imAddFromTable);

    // The record names its parent before the tree hears of the insertion.
    table->DisableControls();
    table->Insert();
    table->FieldByName("PARENT_ID")->SetAsInteger(5);
    table->FieldByName("NAME")->SetAsString("Testing");
    table->EnableControls();
    EXPECT_EQ(Branch(NodeNamed(*tree, "Engineering")), "Engineering+ (Research, )");
    table->Post();
    EXPECT_EQ(Branch(NodeNamed(*tree, "Engineering")), "Engineering+ (Research, Testing)");
    EXPECT_EQ(SelectedText(*tree), "Testing");
    EXPECT_EQ(StoredParent(CurrentId()), "5");

    // A parent whose node is not loaded: no node while inserting; after the post the tree
    // follows the table down to the new record.
    table->DisableControls();
    table->Insert();
    table->FieldByName("PARENT_ID")->SetAsInteger(4);
    table->FieldByName("NAME")->SetAsString("Yard");
    table->EnableControls();
    EXPECT_EQ(NodeNamed(*tree, "Yard"), nullptr);
    EXPECT_EQ(SelectedText(*tree), "Testing");
    table->Post();
    EXPECT_EQ(SelectedText(*tree), "Yard");
    EXPECT_EQ(tree->Selected()->Parent(), NodeNamed(*tree, "South"));

    // A record begun without a parent reference stands at the top level until it names one.
    Choose("Research");
    table->Insert();
    EXPECT_EQ(tree->Selected()->Parent(), nullptr);
    table->FieldByName("NAME")->SetAsString("Lab");
    table->FieldByName("PARENT_ID")->SetAsInteger(1);
    EXPECT_EQ(tree->Selected()->Parent(), NodeNamed(*tree, "Head office"));
    table->Post();
    EXPECT_EQ(SelectedText(*tree), "Lab");
    EXPECT_EQ(NodeNamed(*tree, "Head office")->GetLastChild(), tree->Selected());
    ExpectSettled();
}

TEST_P(TreeEditTest, DepartureTypingIntoAVetoedInsertLeavesTheNodeLeftSelectedAlone) {
    OpenHeadOffice();
    Choose("Sales");
    std::string before = Picture(*tree);
    bool allow = false;
    std::vector<std::string> asked;
    tree->SetBeforeChildInsert([&](TObject*, TTreeNode* parent, bool& AllowInsert) {
        asked.push_back(parent ? parent->Text() : "(none)");
        AllowInsert = allow;
    });
    tree->SetInsertMode(imAddChild);

    // Vetoed: no node, no parent reference, the table still inserting.
    table->Insert();
    EXPECT_EQ(asked, std::vector<std::string>{"Sales"});
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(table->State(), dsInsert);
    EXPECT_TRUE(table->FieldByName("PARENT_ID")->IsNull());
    // What is typed into the new record does not reach the node left selected.
    table->FieldByName("NAME")->SetAsString("Ghost");
    EXPECT_EQ(SelectedText(*tree), "Sales");
    // Cancelled, it takes no node with it.
    table->Cancel();
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(SelectedText(*tree), "Sales");
    EXPECT_EQ(CurrentId(), 2);

    // Vetoed and posted: Sales keeps its record. The new top-level record has no node until the
    // top level is read again: that happens in a reload, never inside the dataset's notification.
    table->Insert();
    table->FieldByName("NAME")->SetAsString("Ghost");
    int loads = 0;
    tree->SetBeforeNodesLoading([&](TObject*) { ++loads; });
    table->Post();
    auto* sales = static_cast<TDBTreeNode*>(NodeNamed(*tree, "Sales"));
    ASSERT_NE(sales, nullptr);
    EXPECT_TRUE(sales->IDEquals2(Key(2)));
    EXPECT_EQ(NodeNamed(*tree, "Ghost"), nullptr);
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(tree->Selected(), nullptr);
    tree->PostReload();
    run_messages();
    EXPECT_EQ(SelectedText(*tree), "Ghost");
    EXPECT_EQ(tree->Selected()->Parent(), nullptr);
    tree->SetBeforeNodesLoading(nullptr);
    ClickButton(NodeNamed(*tree, "Head office")); // the reload left it closed

    // Allowed and cancelled: the provisional node goes, and the tree is back on the record the
    // table returns to.
    allow = true;
    Choose("Sales");
    before = Picture(*tree);
    table->Insert();
    EXPECT_NE(Picture(*tree), before);
    table->Cancel();
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(SelectedText(*tree), "Sales");
    EXPECT_EQ(CurrentId(), 2);
    ExpectSettled();
}

TEST_P(TreeEditTest, AFailingPostOfAnInsertKeepsNodeAndRecordTogether) {
    OpenHeadOffice();
    Choose("Sales");
    db->Execute("CREATE TRIGGER NO_DUPLICATE BEFORE INSERT ON " + treeTable +
                " WHEN NEW.NAME = "
                "'North' BEGIN SELECT RAISE(ABORT, 'North exists'); END");
    tree->SetInsertMode(imAddChild);
    std::string before = Picture(*tree);

    table->Insert();
    table->FieldByName("NAME")->SetAsString("North");
    EXPECT_THROW(table->Post(), EDatabaseError);
    EXPECT_EQ(table->State(), dsInsert);
    // The user gives up: the provisional node goes, and no other node takes the record the
    // table returns to.
    table->Cancel();
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(SelectedText(*tree), "Sales");
    EXPECT_EQ(tree->FindNode(Key(2)), NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Records(), 8);

    // The tree cannot set the new node up: the post fails before the write, and a cancel takes
    // the node away again.
    table->Insert();
    table->FieldByName("NAME")->SetAsString("Export");
    tree->SetOnNodeSetup([](TObject*, TTreeNode*, TDataSet*) { throw EAbort("no icon"); });
    EXPECT_THROW(table->Post(), ETreeViewError);
    tree->SetOnNodeSetup(nullptr);
    table->Cancel();
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(tree->FindNode(Key(2)), NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Records(), 8);

    // Or the user corrects the name and posts again.
    table->Insert();
    table->FieldByName("NAME")->SetAsString("North");
    EXPECT_THROW(table->Post(), EDatabaseError);
    table->FieldByName("NAME")->SetAsString("Northwest");
    table->Post();
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (North, Northwest)");
    EXPECT_EQ(SelectedText(*tree), "Northwest");
    EXPECT_TRUE(static_cast<TDBTreeNode*>(tree->Selected())->IDEquals2(Key(CurrentId())));
    ExpectSettled();
}

TEST_P(TreeEditTest, AParentChangedInAnotherControlMovesTheNode) {
    OpenOrganization();
    Bind();
    tree->FullExpand();
    Choose("North");
    TDBTreeNode* north = NodeNamed(*tree, "North");

    // To a parent whose children are all loaded: the node moves as the field changes.
    table->Edit();
    table->FieldByName("PARENT_ID")->SetAsInteger(5);
    EXPECT_EQ(north->Parent(), NodeNamed(*tree, "Engineering"));
    table->Post();
    EXPECT_EQ(Branch(NodeNamed(*tree, "Engineering")), "Engineering+ (Research, North)");
    EXPECT_EQ(StoredParent(3), "5");
    EXPECT_EQ(tree->Selected(), north);

    // Cancelled, the node goes back where its record is.
    table->Edit();
    table->FieldByName("PARENT_ID")->SetAsInteger(7);
    EXPECT_EQ(north->Parent(), NodeNamed(*tree, "Branch office"));
    table->Cancel();
    EXPECT_EQ(north->Parent(), NodeNamed(*tree, "Engineering"));

    // A failing post, then a cancel: the node is where the stored record says.
    db->Execute("CREATE TRIGGER NO_MOVE BEFORE UPDATE ON " + treeTable +
                " WHEN NEW.PARENT_ID = 2 "
                "BEGIN SELECT RAISE(ABORT, 'Sales is full'); END");
    table->Edit();
    table->FieldByName("PARENT_ID")->SetAsInteger(2);
    EXPECT_THROW(table->Post(), EDatabaseError);
    table->Cancel();
    EXPECT_EQ(north->Parent(), NodeNamed(*tree, "Engineering"));
    EXPECT_EQ(StoredParent(3), "5");

    // To the top level.
    table->Edit();
    table->FieldByName("PARENT_ID")->Clear();
    table->Post();
    EXPECT_EQ(north->Parent(), nullptr);
    EXPECT_EQ(tree->Selected(), north);
    ExpectSettled();
}

TEST_P(TreeEditTest, AParentNotLoadedTakesTheNodeAwayUntilItIsShown) {
    OpenHeadOffice();
    ClickButton(NodeNamed(*tree, "Sales"));
    Choose("North");
    // Branch office is closed: Depot is loaded ahead, but not all of its children.
    ASSERT_FALSE(NodeNamed(*tree, "Branch office")->Expanded());

    table->Edit();
    table->FieldByName("PARENT_ID")->SetAsInteger(8);
    EXPECT_EQ(NodeNamed(*tree, "North")->Parent(), NodeNamed(*tree, "Sales"));
    table->Post();
    // Its node left Sales as the record was posted; the tree follows the table to the record
    // under its new parent.
    EXPECT_EQ(Branch(NodeNamed(*tree, "Sales")), "Sales+ (South)");
    EXPECT_EQ(SelectedText(*tree), "North");
    EXPECT_EQ(tree->Selected()->Parent(), NodeNamed(*tree, "Depot"));
    EXPECT_EQ(CurrentId(), 3);
    ExpectSettled();
}

TEST_P(TreeEditTest, CancellingAnInsertUnderAnUnreadBranchKeepsItsButton) {
    OpenOrganization(lsExplorer);
    Bind();
    Choose("Branch office");
    tree->SetInsertMode(imAddChild);
    table->Insert();
    EXPECT_EQ(Picture(*tree), "Head office+, Branch office+ ()");
    table->Cancel();
    // Depot is still there to be read.
    EXPECT_EQ(Picture(*tree), "Head office+, Branch office+");
    ClickButton(NodeNamed(*tree, "Branch office"));
    EXPECT_EQ(Picture(*tree), "Head office+, Branch office+ (Depot+)");
}

// The organisation's records keyed by the row id, in a table without row id, and under a text
// key.
INSTANTIATE_TEST_SUITE_P(Tables, TreeEditTest,
                         ::testing::Values("ORGANIZATION", "PLACES", "DIVISIONS"));

} // namespace
} // namespace orvel::test
