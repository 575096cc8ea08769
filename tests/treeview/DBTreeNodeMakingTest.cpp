// The nodes a load pass makes: each holds the key vector, bookmark, caption, images and button of
// its own record (whatever the load style and the table's kind of key), the key index finds it by
// that key, and a handler that makes, re-keys or deletes nodes while a node is set up leaves
// every node with the key of its own record.
#include "tests/treeview/TreeTestSupport.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace orvel::test {
namespace {

int IdOf(const TDBTreeNode* node) {
    const Variant& id = node->GetID();
    return id[VarArrayLowBound(id, 1)].AsInteger();
}

class TreeNodeMakingTest
    : public TreeTest,
      public ::testing::WithParamInterface<std::tuple<const char*, TLoadStyle>> {
protected:
    void SetUp() override {
        treeTable = std::get<0>(GetParam());
        TreeTest::SetUp();
        OpenOrganization(std::get<1>(GetParam()));
    }

    // Opens every node down to the leaves, so that every record has been read by a pass.
    void OpenAll() {
        for (bool opened = true; opened;) {
            opened = false;
            for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
                if (n->HasChildren() && !n->Expanded()) {
                    n->Expand(false);
                    run_messages();
                    opened = true;
                    break;
                }
        }
    }

    // What the database holds for a record, as a node shows it.
    std::string Stored(const std::string& column, int id) {
        Variant v = db->Scalar("SELECT " + column + " FROM " + treeTable +
                               " WHERE ID = " + std::to_string(id));
        return v.IsNull() ? "(null)" : v.AsString();
    }

    // Every node against its record: key, caption, images, button, index and bookmark.
    void ExpectEveryNodeMatchesItsRecord() {
        std::vector<TDBTreeNode*> nodes;
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
            nodes.push_back(static_cast<TDBTreeNode*>(n));
        ASSERT_EQ(static_cast<int>(nodes.size()),
                  db->Scalar("SELECT COUNT(*) FROM " + treeTable).AsInteger());
        for (TDBTreeNode* n : nodes) {
            int id = IdOf(n);
            SCOPED_TRACE(n->Text() + " #" + std::to_string(id));
            EXPECT_EQ(n->Text(), Stored("NAME", id));
            EXPECT_EQ(std::to_string(n->StateIndex()), Stored("STATUS_ID", id));
            EXPECT_EQ(std::to_string(n->ImageIndex()), Stored("IMAGE_ID", id));
            EXPECT_EQ(n->HasChildren(), db->Scalar("SELECT COUNT(*) FROM " + treeTable +
                                                   " WHERE PARENT_ID = " + std::to_string(id))
                                                .AsInteger() > 0);
            EXPECT_EQ(tree->FindNode(Key(id)), n);
            EXPECT_EQ(tree->FindNode(n->GetID()), n);
        }
        // Each bookmark leads to the node's own record (read with the controls off, so that the
        // tree does not follow the cursor meanwhile).
        table->DisableControls();
        for (TDBTreeNode* n : nodes) {
            ASSERT_TRUE(n->CheckBookMark(table.get())) << n->Text();
            table->GotoBookmark(n->GetBookMark());
            EXPECT_EQ(CurrentId(), IdOf(n)) << n->Text();
        }
        table->First();
        table->EnableControls();
    }
};

TEST_P(TreeNodeMakingTest, EveryNodeHoldsTheKeyBookmarkAndLookOfItsOwnRecord) {
    // Images and states from the record: give every record its own.
    db->Execute("UPDATE " + treeTable + " SET STATUS_ID = ID % 4, IMAGE_ID = ID % 3 + 1");
    Bind();
    OpenAll();
    ExpectEveryNodeMatchesItsRecord();

    // Read again over the nodes it made: the same nodes, each still with its own record.
    tree->DoReload();
    OpenAll();
    ExpectEveryNodeMatchesItsRecord();
    ExpectSettled();
}

// A level is read in windows: levels longer than the first window a pass reads of a level (64
// records) and than the windows after it give every record its node, with the button of its own
// record, at the top and below.
TEST_P(TreeNodeMakingTest, LevelsLongerThanAWindowGiveEveryRecordItsNode) {
    std::string values;
    int next = 1000;
    auto add = [&](const std::string& parent) {
        int id = next++;
        values += std::string(values.empty() ? "" : ", ") + "(" + std::to_string(id) + ", " +
                  parent + ", 'Record " + std::to_string(id) + "', " + std::to_string(id % 4) +
                  ", " + std::to_string(id % 3 + 1) + ")";
        return id;
    };
    // 150 more children of record 1, every fifth with two of its own, and 70 more top-level ones.
    for (int i = 0; i < 150; ++i) {
        int child = add("1");
        if (i % 5 == 0) {
            add(std::to_string(child));
            add(std::to_string(child));
        }
    }
    for (int i = 0; i < 70; ++i)
        add("NULL");
    db->Execute("INSERT INTO " + treeTable + " (ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID) VALUES " +
                values);
    db->Execute("UPDATE " + treeTable + " SET STATUS_ID = ID % 4, IMAGE_ID = ID % 3 + 1");
    Bind();
    OpenAll();
    ExpectEveryNodeMatchesItsRecord();
    ExpectSettled();
}

INSTANTIATE_TEST_SUITE_P(Tables, TreeNodeMakingTest,
                         ::testing::Combine(::testing::Values("ORGANIZATION", "PLACES",
                                                              "DIVISIONS"),
                                            ::testing::Values(lsOneAhead, lsAllAhead, lsExplorer)));

// Handlers that act on nodes while a pass sets one up.
class TreeNodeSetupHandlerTest : public TreeTest {
protected:
    void SetUp() override {
        TreeTest::SetUp();
        OpenOrganization(lsOneAhead);
    }
};

TEST_F(TreeNodeSetupHandlerTest, ANodeAHandlerMakesDuringTheSetUpTakesTheCurrentRecordsKey) {
    // While "Sales" is set up, the handler adds a node of its own under it: that node is made
    // outside the pass's key and reads the dataset, whose current record is Sales. (The pass
    // then sweeps it away with the children it did not read.)
    Variant extraKey;
    tree->SetOnNodeSetup([&](TObject*, TTreeNode* node, TDataSet*) {
        if (node->Text() == "Sales" && extraKey.IsEmpty())
            extraKey = static_cast<TDBTreeNode*>(tree->Items()->AddChild(node, "Extra"))->GetID();
    });
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->Text(), StoredName(IdOf(sales)));
    EXPECT_TRUE(sales->IDEquals2(extraKey));
    // The pass's own nodes keep their records' keys.
    EXPECT_EQ(Branch(NodeNamed(*tree, "Head office")),
              "Head office+ (Sales+ (North), Engineering+ (Research))");
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        auto* node = static_cast<TDBTreeNode*>(n);
        EXPECT_EQ(node->Text(), StoredName(IdOf(node))) << node->Text();
        EXPECT_EQ(tree->FindNode(node->GetID()), node) << node->Text();
    }
    ExpectSettled();
}

TEST_F(TreeNodeSetupHandlerTest, ANodeDeletedByTheHandlerThatSetsItUpLeavesTheOthersWhole) {
    // The handler deletes "Engineering" as soon as it is set up; the pass goes on with the next
    // record.
    tree->SetOnNodeSetup([&](TObject*, TTreeNode* node, TDataSet*) {
        if (node->Text() == "Engineering") node->Delete();
    });
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    EXPECT_EQ(NodeNamed(*tree, "Engineering"), nullptr);
    EXPECT_EQ(Branch(NodeNamed(*tree, "Head office")), "Head office+ (Sales+ (North))");
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        auto* node = static_cast<TDBTreeNode*>(n);
        EXPECT_EQ(node->Text(), StoredName(IdOf(node))) << node->Text();
        EXPECT_EQ(tree->FindNode(node->GetID()), node) << node->Text();
    }
    ExpectSettled();
}

TEST_F(TreeNodeSetupHandlerTest, ANodeReKeyedByItsHandlerKeepsTheNewKeyInTheIndex) {
    // The handler gives "North" the key of an unused record: the index finds it by that key
    // alone.
    tree->SetOnNodeSetup([&](TObject*, TTreeNode* node, TDataSet*) {
        if (node->Text() == "North") static_cast<TDBTreeNode*>(node)->SetID(Key(999));
    });
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    ClickButton(NodeNamed(*tree, "Sales"));
    TDBTreeNode* north = NodeNamed(*tree, "North");
    ASSERT_NE(north, nullptr);
    EXPECT_EQ(tree->FindNode(Key(999)), north);
    EXPECT_EQ(IdOf(north), 999);
    TDBTreeNode* south = NodeNamed(*tree, "South");
    ASSERT_NE(south, nullptr);
    EXPECT_EQ(south->Text(), StoredName(IdOf(south)));
    EXPECT_EQ(tree->FindNode(south->GetID()), south);
    ExpectSettled();
}

// A handler that moves the dataset while a node is set up: the node keeps the look of its own
// record (read before the handler runs), and a node read ahead leaves the level it was read for
// whole, the range and the cursor as they were.
TEST_F(TreeNodeSetupHandlerTest, AHandlerThatMovesTheDatasetLeavesTheLevelAndTheCursorWhole) {
    db->Execute("UPDATE ORGANIZATION SET STATUS_ID = ID % 4, IMAGE_ID = NULL WHERE ID = 3");
    std::vector<std::string> setUp;
    tree->SetOnNodeSetup([&](TObject*, TTreeNode* node, TDataSet* dataSet) {
        setUp.push_back(node->Text());
        // North is read ahead of Sales: the handler goes to the last record it can see.
        if (node->Text() == "North") dataSet->Last();
    });
    ASSERT_TRUE(table->Locate("ID", Variant(7)));
    Bind();
    setUp.clear();
    ClickButton(NodeNamed(*tree, "Head office"));
    EXPECT_EQ(Branch(NodeNamed(*tree, "Head office")),
              "Head office+ (Sales+ (North), Engineering+ (Research))");
    EXPECT_NE(std::find(setUp.begin(), setUp.end(), "North"), setUp.end());
    TDBTreeNode* north = NodeNamed(*tree, "North");
    ASSERT_NE(north, nullptr);
    EXPECT_EQ(IdOf(north), 3);
    EXPECT_EQ(north->StateIndex(), 3);
    EXPECT_EQ(north->ImageIndex(), -1);
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        auto* node = static_cast<TDBTreeNode*>(n);
        EXPECT_EQ(node->Text(), StoredName(IdOf(node))) << node->Text();
        EXPECT_EQ(tree->FindNode(node->GetID()), node) << node->Text();
    }
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_FALSE(table->RangeApplied());
    ExpectSettled();
}

} // namespace
} // namespace orvel::test
