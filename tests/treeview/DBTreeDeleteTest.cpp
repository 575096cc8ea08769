// Records deleted through the table, whoever asks: the node goes with its branch, a failing
// deletion removes nothing, the application's own delete handlers are called on every deletion
// and kept when the tree leaves, and a list view on the same table loses the record too.
#include "orvel/listview/DataBaseListView.h"
#include "tests/treeview/TreeTestSupport.h"

#include <string>
#include <vector>

namespace orvel::test {
namespace {

class TreeDeleteTest : public TreeTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        treeTable = GetParam();
        TreeTest::SetUp();
        OpenOrganization();
    }
    void Choose(const std::string& caption) {
        TDBTreeNode* node = NodeNamed(*tree, caption);
        ASSERT_NE(node, nullptr) << caption;
        click(*tree, LabelOf(node));
        ASSERT_EQ(SelectedText(*tree), caption);
    }
};

TEST_P(TreeDeleteTest, DeletingTheChosenRecordElsewhereRemovesItsBranch) {
    Bind();
    tree->FullExpand();
    Choose("Sales");

    // As a grid's delete button would.
    table->Delete();
    EXPECT_EQ(Picture(*tree), "Head office+ (Engineering+ (Research)), Branch office+ (Depot)");
    EXPECT_EQ(tree->FindNode(Key(3)), nullptr);
    // The tree is on the record the table went to.
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(SelectedText(*tree), "Engineering");
    ExpectSettled();

    // A record deleted while the tree was not following the table loses its node as well.
    table->DisableControls();
    ASSERT_TRUE(table->Locate("ID", Variant(8)));
    table->Delete();
    table->EnableControls();
    EXPECT_EQ(Picture(*tree), "Head office+ (Engineering+ (Research)), Branch office");
    EXPECT_EQ(SelectedText(*tree), table->FieldByName("NAME")->GetAsString());

    // The application may drop the chosen node's branch itself; the table follows the new choice.
    Choose("Engineering");
    tree->AfterDeleteProcess();
    EXPECT_EQ(Picture(*tree), "Head office, Branch office");
    EXPECT_EQ(SelectedText(*tree), "Head office");
    EXPECT_EQ(CurrentId(), 1);
    ExpectSettled();
}

TEST_P(TreeDeleteTest, AFailingDeletionRemovesNothing) {
    db->Execute("CREATE TRIGGER KEEP_ENGINEERING BEFORE DELETE ON " + treeTable +
                " WHEN OLD.ID = 5 "
                "BEGIN SELECT RAISE(ABORT, 'Engineering stays'); END");
    Bind();
    tree->FullExpand();
    std::string before = Picture(*tree);
    Choose("Engineering");
    EXPECT_THROW(table->Delete(), EDatabaseError);
    EXPECT_EQ(Picture(*tree), before);
    EXPECT_EQ(SelectedText(*tree), "Engineering");
    EXPECT_EQ(CurrentId(), 5);

    // The next deletion is seen again.
    Choose("Research");
    table->Delete();
    EXPECT_EQ(NodeNamed(*tree, "Research"), nullptr);
    EXPECT_EQ(Branch(NodeNamed(*tree, "Engineering")), "Engineering");
    ExpectSettled();
}

TEST_P(TreeDeleteTest, TheApplicationsDeleteHandlersAreCalledOnEveryDeletion) {
    std::vector<std::string> calls;
    auto note = [&](const char* what) {
        return [&calls, what](TDataSet*) { calls.push_back(what); };
    };
    table->SetBeforeDelete(note("before"));
    table->SetAfterDelete(note("after"));
    Bind();
    tree->FullExpand();

    Choose("Depot");
    table->Delete();
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(NodeNamed(*tree, "Depot"), nullptr);

    // A handler the application installs later is called as well, and the tree still sees the
    // deletion.
    table->SetBeforeDelete(note("later before"));
    calls.clear();
    Choose("Research");
    table->Delete();
    EXPECT_EQ(calls, (std::vector<std::string>{"later before", "after"}));
    EXPECT_EQ(NodeNamed(*tree, "Research"), nullptr);

    // A failing deletion: the before handler has run, the after handler does not.
    db->Execute("CREATE TRIGGER KEEP_NORTH BEFORE DELETE ON " + treeTable +
                " WHEN OLD.ID = 3 "
                "BEGIN SELECT RAISE(ABORT, 'North stays'); END");
    calls.clear();
    Choose("North");
    EXPECT_THROW(table->Delete(), EDatabaseError);
    EXPECT_EQ(calls, std::vector<std::string>{"later before"});
    EXPECT_NE(NodeNamed(*tree, "North"), nullptr);

    // Removing the node fails (an OnDeletion handler raises): the after handler is called all the
    // same, and the failure reaches the caller.
    tree->OnDeletion = [](TObject*, TTreeNode*) { throw Exception("still in use"); };
    calls.clear();
    Choose("South");
    EXPECT_THROW(table->Delete(), Exception);
    EXPECT_EQ(calls, (std::vector<std::string>{"later before", "after"}));
    EXPECT_EQ(NodeNamed(*tree, "South"), nullptr);
    tree->OnDeletion = nullptr;

    // The tree leaves the handlers as the application last set them.
    table->CheckBrowseMode(); // the tree's hooks stand in front again
    table->SetBeforeDelete(note("newest before"));
    form.reset();
    calls.clear();
    ASSERT_TRUE(table->Locate("ID", Variant(6)) || table->Locate("ID", Variant(2)));
    table->Delete();
    EXPECT_EQ(calls, (std::vector<std::string>{"newest before", "after"}));
}

TEST_P(TreeDeleteTest, ATreeAndAListViewOnOneTableBothLoseTheDeletedRecord) {
    std::vector<std::string> calls;
    table->SetBeforeDelete([&](TDataSet*) { calls.push_back("before"); });
    table->SetAfterDelete([&](TDataSet*) { calls.push_back("after"); });
    Bind();
    auto& list = form->Place<TDBListView>(320, 10, 300, 300);
    list.SetViewStyle(vsReport);
    list.Columns()->Add()->SetWidth(100);
    list.SetKeyFields("ID");
    list.SetNameField("NAME");
    list.SetDataSource(source);
    run_messages();
    tree->FullExpand();
    auto listShows = [&](const std::string& caption) {
        for (int i = 0; i < list.Items()->Count(); ++i)
            if (list.Items()->Item(i)->Caption() == caption) return true;
        return false;
    };
    ASSERT_EQ(list.GetCount(), 8);

    for (const char* name : {"North", "Depot"}) {
        Choose(name);
        calls.clear();
        table->Delete();
        EXPECT_EQ(NodeNamed(*tree, name), nullptr) << name;
        EXPECT_FALSE(listShows(name)) << name;
        // The application's handlers once each, whichever view stood in front.
        EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"})) << name;
    }
    EXPECT_EQ(list.GetCount(), 6);
    EXPECT_EQ(db->Count(treeTable), 6);
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
    ExpectSettled();

    // The tree goes while the list view stands in front of its hooks: the list view never passes
    // a deletion on to it, and the application's handlers are still called.
    tree->Free();
    tree = nullptr;
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    calls.clear();
    table->Delete();
    EXPECT_FALSE(listShows("Research"));
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"}));
}

TEST_P(TreeDeleteTest, AViewWhoseHookTheTreeKeepsMayGoFirst) {
    auto& list = form->Place<TDBListView>(320, 10, 300, 300);
    list.SetKeyFields("ID");
    list.SetNameField("NAME");
    list.SetDataSource(source);
    source->SetDataSet(table.get());
    tree->SetDataSource(source);
    run_messages();
    tree->FullExpand();

    // The list view was placed first and the tree in front of it, each keeping the other's hook.
    // The list view goes: the tree no longer passes deletions on to it.
    Choose("Depot");
    ASSERT_EQ(list.GetCount(), 8);
    list.Free();
    table->Delete();
    EXPECT_EQ(NodeNamed(*tree, "Depot"), nullptr);
    Choose("North");
    table->Delete();
    EXPECT_EQ(NodeNamed(*tree, "North"), nullptr);
    ExpectSettled();
}

// The organisation's records keyed by the row id, in a table without row id, and under a text
// key.
INSTANTIATE_TEST_SUITE_P(Tables, TreeDeleteTest,
                         ::testing::Values("ORGANIZATION", "PLACES", "DIVISIONS"));

} // namespace
} // namespace orvel::test
