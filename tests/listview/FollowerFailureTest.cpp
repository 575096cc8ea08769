// Choosing an item moves the dataset; when another view fails to follow that move, the list does
// not swallow the failure: the user is told, and the list and the dataset stay on the record.
#include "tests/listview/ListViewFixture.h"

#include <stdexcept>

namespace orvel::test {
namespace {

// A view on the same data source that cannot follow the next move (as a tree fails that cannot
// read its way down to the record).
class TFailingFollower : public TDataLink {
public:
    bool Armed = false;

protected:
    void DataSetChanged() override {
        if (!Armed) return;
        Armed = false;
        throw std::runtime_error("disk I/O error");
    }
};

TEST_F(ListViewFixture, AViewFailingToFollowTheChosenItemIsReportedNotSwallowed) {
    run_messages();
    ASSERT_EQ(lv->Items()->Count(), 5);
    click(*lv, RowOf(0));
    run_messages();
    ASSERT_EQ(CurrentID(), 1);
    TFailingFollower follower;
    follower.SetDataSource(source);

    follower.Armed = true;
    click(*lv, RowOf(3));
    run_messages();
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors.front(), "disk I/O error");
    Application().ShownErrors.clear();
    EXPECT_EQ(CurrentID(), 4);
    EXPECT_EQ(FocusedCaption(), "Item 4");

    // A move that fails by itself still leaves the cursor where it was, silently.
    db->Execute("DELETE FROM ITEMS WHERE ID = 2");
    click(*lv, RowOf(1));
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
    EXPECT_NE(CurrentID(), 2);
    follower.SetDataSource(nullptr);
}

} // namespace
} // namespace orvel::test
