// A tree view and a list view on one dataset: each stands in for the dataset's delete handlers
// and passes the call on to the other, so both lose the deleted record.
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/listview/ListViewFixture.h"

namespace orvel::test {
namespace {

class TreeAndListTest : public ListViewFixture {
protected:
    void SetUp() override {
        ListViewFixture::SetUp();
        organization = db->OpenTable("ORGANIZATION", "PARENT_ID");
        tree = &form->Place<TDBTreeView>(320, 10, 300, 300);
        tree->SetNameField("NAME");
        tree->SetRelations("PARENT_ID->ID");
        tree->SetTopParentKey("Null");
        lv->SetStatusIDField("");
        lv->SetImageIDField("");
        lv->SetColumnsFields("PARENT_ID");
        source->SetDataSet(organization.get());
        tree->SetDataSource(source);
        run_messages();
    }
    void TearDown() override {
        form.reset();
        organization.reset();
        ListViewFixture::TearDown();
    }
    TTreeNode* TreeNode(const std::string& caption) const {
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == caption) return n;
        return nullptr;
    }
    bool TreeShows(const std::string& caption) const { return TreeNode(caption) != nullptr; }
    // The user picks the record in the tree; the dataset goes to it.
    void Pick(const std::string& caption, int id) {
        tree->FullExpand();
        ASSERT_TRUE(TreeShows(caption));
        tree->SetSelected(TreeNode(caption));
        organization->Locate("ID", Variant(id));
        ASSERT_EQ(organization->FieldByName("NAME")->GetAsString(), caption);
    }
    bool ListShows(const std::string& caption) const {
        for (const std::string& c : Captions())
            if (c == caption) return true;
        return false;
    }

    TOwned<TTable> organization;
    TDBTreeView* tree = nullptr;
};

TEST_F(TreeAndListTest, BothViewsLoseTheDeletedRecord) {
    Pick("North", 3);
    ASSERT_TRUE(ListShows("North"));
    EXPECT_EQ(FocusedCaption(), "North");

    organization->Delete();
    EXPECT_FALSE(TreeShows("North"));
    EXPECT_FALSE(ListShows("North"));
    EXPECT_EQ(lv->GetCount(), 7);

    // The hooks are in place again for the next deletion, whichever view stood in front.
    Pick("South", 4);
    organization->Delete();
    EXPECT_FALSE(TreeShows("South"));
    EXPECT_FALSE(ListShows("South"));
    EXPECT_EQ(db->Count("ORGANIZATION"), 6);
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
}

// The application's own delete handlers stay in the chain whichever view is bound first: each is
// called exactly once per deletion, and both views lose the record.
class TreeAndListOrderTest : public ListViewFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ListViewFixture::SetUp();
        organization = db->OpenTable("ORGANIZATION", "PARENT_ID");
        organization->SetBeforeDelete([this](TDataSet*) { ++before; });
        organization->SetAfterDelete([this](TDataSet*) { ++after; });
        orgSource = new TDataSource(&form->Form());
        orgSource->SetDataSet(organization.get());
        tree = &form->Place<TDBTreeView>(320, 10, 300, 300);
        tree->SetNameField("NAME");
        tree->SetRelations("PARENT_ID->ID");
        tree->SetTopParentKey("Null");
        list = MakeView(10, 220, false);
        list->SetStatusIDField("");
        list->SetImageIDField("");
        list->SetColumnsFields("PARENT_ID");
        if (GetParam()) list->SetDataSource(orgSource);
        tree->SetDataSource(orgSource);
        if (!GetParam()) list->SetDataSource(orgSource);
        run_messages();
    }
    void TearDown() override {
        form.reset();
        organization.reset();
        ListViewFixture::TearDown();
    }
    bool Shows(const std::string& caption) const {
        for (int i = 0; i < list->Items()->Count(); ++i)
            if (list->Items()->Item(i)->Caption() == caption) return true;
        return false;
    }
    bool TreeShows(const std::string& caption) const {
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == caption) return true;
        return false;
    }
    void DeleteRecord(int id) {
        tree->FullExpand();
        ASSERT_TRUE(organization->Locate("ID", Variant(id)));
        organization->Delete();
        run_messages();
    }

    TOwned<TTable> organization;
    TDataSource* orgSource = nullptr;
    TDBTreeView* tree = nullptr;
    TDBListView* list = nullptr;
    int before = 0;
    int after = 0;
};

TEST_P(TreeAndListOrderTest, TheApplicationsHandlersAreCalledOncePerDeletion) {
    DeleteRecord(3);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(TreeShows("North"));
    EXPECT_FALSE(Shows("North"));

    DeleteRecord(4);
    DeleteRecord(8);
    EXPECT_EQ(before, 3);
    EXPECT_EQ(after, 3);
    EXPECT_FALSE(TreeShows("South"));
    EXPECT_FALSE(Shows("Depot"));
    EXPECT_EQ(list->GetCount(), 5);
    EXPECT_TRUE(Application().ShownErrors.empty());

    // A view that goes leaves the application's handlers to the one that stays.
    list->Free();
    list = nullptr;
    DeleteRecord(6);
    EXPECT_EQ(before, 4);
    EXPECT_EQ(after, 4);
    EXPECT_FALSE(TreeShows("Research"));
}

INSTANTIATE_TEST_SUITE_P(BindingOrder, TreeAndListOrderTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ListFirst" : "TreeFirst";
                         });

} // namespace
} // namespace orvel::test
