// Ranges read ahead: after a reader announces the ranges it will open, their first records come
// from one statement, and a range whose answer may have changed since (a write through the table
// or its connection, a range longer than what was read) is read from the engine as usual.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace orvel::test {
namespace {

class TableLookAhead : public ::testing::Test {
protected:
    void SetUp() override {
        table = db.OpenTable("ORGANIZATION", "PARENT_ID");
        // The names are read from the start, so that what is read ahead holds them.
        table->FieldByName("NAME")->GetAsString();
        table->DisableControls(); // a scan, as the views read ranges
    }
    void TearDown() override {
        if (table && table->ControlsDisabled()) table->EnableControls();
    }

    // The names of a range's records, in order.
    std::string Range(int parent) {
        table->SetRange({Variant(parent)}, {Variant(parent)});
        return Names();
    }
    std::string Names() {
        std::string names;
        for (table->First(); !table->Eof(); table->Next())
            names += (names.empty() ? "" : ", ") + table->FieldByName("NAME")->GetAsString();
        return names;
    }
    std::string FirstOf(int parent) {
        table->SetRange({Variant(parent)}, {Variant(parent)});
        return table->Eof() ? "(none)" : table->FieldByName("NAME")->GetAsString();
    }
    int64_t RoundTrips() { return db.Database().Connection().RoundTrips(); }

    TTestDatabase db;
    TOwned<TTable> table;
};

TEST_F(TableLookAhead, RangesAnnouncedAreAnsweredFromOneStatementWithTheSameRecords) {
    // Head office gets a third child: more than what is read ahead of each range.
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (9, 1, 'Legal')");
    // The children of the top-level records, whose own children are read ahead.
    table->SetRange({Variant::Null()}, {Variant::Null()});
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    // The top-level records come from the statement as well.
    int64_t before = RoundTrips();
    EXPECT_EQ(Names(), "Head office, Branch office");
    if (db.OnPostgres()) {
        EXPECT_LE(RoundTrips() - before, 2); // prepared and run once
    }
    before = RoundTrips();
    EXPECT_EQ(FirstOf(7), "Depot");
    table->SetRange({Variant::Null()}, {Variant::Null()});
    EXPECT_EQ(Names(), "Head office, Branch office");
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    // Walking the top level made the first windows two records long: range 1, of which one
    // record was read ahead, is read as usual.
    EXPECT_EQ(FirstOf(1), "Sales");
    // Range 1 has more records than were read ahead: those that follow are read as usual.
    EXPECT_EQ(Range(1), "Sales, Engineering, Legal");
    EXPECT_EQ(Range(7), "Depot");
    // Ranges of keys that are not among the announced ones are read as usual.
    EXPECT_EQ(Range(2), "North, South");
    EXPECT_EQ(Range(99), "");
    table->EndLookAhead();
    EXPECT_EQ(FirstOf(7), "Depot");
    table->CancelRange();
    EXPECT_FALSE(table->RangeApplied());
}

TEST_F(TableLookAhead, AWriteBetweenTheAnnouncementAndTheRangeIsNotServedStale) {
    table->SetRange({Variant(1)}, {Variant(1)}); // Sales (2), Engineering (5)
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    // Written before anything was read ahead.
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Northern' WHERE ID = 3");
    EXPECT_EQ(FirstOf(2), "Northern");
    EXPECT_EQ(FirstOf(5), "Research");
    // Written through the connection after the read ahead.
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Labs' WHERE ID = 6");
    EXPECT_EQ(FirstOf(5), "Labs");
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (0, 5, 'Archive')");
    EXPECT_EQ(FirstOf(5), "Archive");
    // Written through the table itself.
    ASSERT_EQ(FirstOf(2), "Northern");
    table->Edit();
    table->FieldByName("NAME")->SetAsString("Nord");
    table->Post();
    EXPECT_EQ(FirstOf(5), "Archive");
    EXPECT_EQ(FirstOf(2), "Nord");
    table->Delete();
    EXPECT_EQ(Range(2), "South");
    // Another table of the same database.
    auto other = db.OpenTable("ORGANIZATION");
    ASSERT_TRUE(other->Locate("ID", Variant(0)));
    other->Delete();
    EXPECT_EQ(Range(5), "Labs");
    table->EndLookAhead();
}

TEST_F(TableLookAhead, AFailingReadAheadFailsTheReadAndTheNextReadsAgain) {
    table->SetRange({Variant(1)}, {Variant(1)});
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    auto armed = std::make_shared<bool>(true);
    db.Database().Connection().SetFaultHook(
        [armed](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
            if (call != TSqlCall::Step || !*armed) return std::nullopt;
            *armed = false;
            return TSqlFault{10, "disk I/O error"};
        });
    table->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_THROW(table->Eof(), EDatabaseError);
    db.Database().Connection().SetFaultHook(nullptr);
    EXPECT_EQ(FirstOf(5), "Research");
    EXPECT_EQ(FirstOf(2), "North");
    EXPECT_EQ(Range(1), "Sales, Engineering");
    table->EndLookAhead();
    table->CancelRange();
    EXPECT_EQ(table->State(), dsBrowse);
}

TEST_F(TableLookAhead, RangesOverOtherFieldsOrOfAnotherOrderAreNotAnnounced) {
    table->SetRange({Variant(1)}, {Variant(1)});
    // Not the index's fields, fields of other types, or fields that do not exist: nothing is
    // read ahead, every range reads as usual.
    table->BeginLookAhead("NAME", "ID", 1);
    EXPECT_EQ(FirstOf(2), "North");
    table->BeginLookAhead("PARENT_ID", "NAME", 1);
    EXPECT_EQ(FirstOf(2), "North");
    table->BeginLookAhead("PARENT_ID", "NOSUCH", 1);
    EXPECT_EQ(FirstOf(5), "Research");
    // A new order ends the announcement.
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    table->SetIndexFieldNames("NAME");
    table->SetIndexFieldNames("PARENT_ID");
    EXPECT_EQ(FirstOf(5), "Research");
    table->EndLookAhead();
}

TEST_F(TableLookAhead, TheModeOffReadsEveryRangeByItself) {
    table->SetLookAheadMode(laOff);
    table->SetRange({Variant(1)}, {Variant(1)});
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    EXPECT_EQ(FirstOf(2), "North");
    int64_t before = RoundTrips();
    EXPECT_EQ(FirstOf(5), "Research");
    if (db.OnPostgres()) {
        EXPECT_GE(RoundTrips() - before, 1);
    }
    table->EndLookAhead();
}

} // namespace
} // namespace orvel::test
