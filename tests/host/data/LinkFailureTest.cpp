// A data link that fails while it follows a change the dataset has already stored: the change
// stays made, the dataset's own handlers still run, and the link's error reaches the caller.
#include "tests/host/data/RecordingLink.h"
#include "tests/support/data/DataFixtures.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace orvel;
using namespace orvel::test;

namespace {

// Fails on the data-set change it is armed for, as a view fails that cannot read the records it
// needs to show the new position.
class TFailingLink : public TDataLink {
public:
    bool Armed = false;

protected:
    void DataSetChanged() override {
        if (!Armed) return;
        Armed = false;
        throw std::runtime_error("the view cannot follow");
    }
};

TEST(LinkFailure, ADeletionALinkCannotFollowStillRunsTheAfterDeleteHandlers) {
    TTestDatabase db;
    auto table = db.OpenTable("ORGANIZATION");
    TDataSource source(nullptr);
    source.SetDataSet(table.get());
    TFailingLink link;
    link.SetDataSource(&source);
    TLog log;
    RecordEvents(*table, log);
    ASSERT_TRUE(table->Locate("ID", Variant(8)));

    log.clear();
    link.Armed = true;
    EXPECT_THROW(table->Delete(), std::runtime_error);
    // Views drop the deleted record's node or item in the after-delete handlers: skipping them
    // would leave a record on screen that the table no longer holds.
    EXPECT_EQ(log, (TLog{"BeforeDelete", "AfterDelete"}));
    EXPECT_EQ(db.Count("ORGANIZATION"), 7);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_TRUE(table->BookmarkValid(table->GetBookmark()));
    EXPECT_NE(table->FieldByName("ID")->GetAsInteger(), 8);
    link.SetDataSource(nullptr);
}

} // namespace
