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

} // namespace
} // namespace orvel::test
