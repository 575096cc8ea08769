// Ranges read ahead: after a reader announces the ranges it will open, their first records come
// from one statement, and a range whose answer may have changed since (a write through the table
// or its connection, a range longer than what was read) is read from the engine as usual.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

TEST_F(TableLookAhead, AFirstWindowLongerThanWhatWasReadAheadReadsTheRestAfterIt) {
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (9, 1, 'Legal')");
    table->SetRange({Variant::Null()}, {Variant::Null()});
    table->BeginLookAhead("PARENT_ID", "ID", 1);
    // Walking the top level makes the next first windows two records long, more than the one
    // record read ahead of each range.
    EXPECT_EQ(Names(), "Head office, Branch office");
    int64_t before = RoundTrips();
    EXPECT_EQ(FirstOf(1), "Sales");
    EXPECT_EQ(FirstOf(7), "Depot");
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    // Another session adds a record after those read ahead: the rest of the range is read from
    // the engine, so it is there.
    std::unique_ptr<TSqlConnection> other;
    if (db.OnPostgres()) {
        other = OpenSqlConnection(db.FileName());
        other->Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (10, 1, 'Audit')");
    }
    std::string more = db.OnPostgres() ? ", Audit" : "";
    EXPECT_EQ(FirstOf(1), "Sales");
    EXPECT_EQ(table->FieldByName("ID")->GetAsInteger(), 2);
    table->Next();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Engineering");
    table->Next();
    table->Next();
    EXPECT_EQ(table->Eof(), !db.OnPostgres());
    EXPECT_EQ(Range(1), "Sales, Engineering, Legal" + more);
    // A range read ahead whole ends where it ends.
    EXPECT_EQ(Range(7), "Depot");
    EXPECT_EQ(Range(2), "North, South");
    table->EndLookAhead();
}

// The climb from Research (6) through Engineering (5) to Head office (1), read ahead and record by
// record, gives the same records.
TEST_F(TableLookAhead, AncestorsReadAheadAnswerTheClimbAsLocatesOneByOne) {
    auto plain = db.OpenTable("ORGANIZATION", "PARENT_ID");
    plain->SetLookAheadMode(laOff);
    plain->DisableControls();
    int64_t before = RoundTrips();
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6));
    int64_t read = RoundTrips();
    auto fields = [](TTable& t) {
        std::string text;
        for (int i = 0; i < t.FieldCount(); ++i)
            text += t.Fields(i)->GetAsString() + "|";
        return text;
    };
    std::vector<std::string> climbed;
    for (int id : {6, 5, 1}) {
        EXPECT_TRUE(table->Locate("ID", Variant(id)));
        climbed.push_back(fields(*table));
    }
    ASSERT_TRUE(table->Locate("ID", Variant(1)));
    TBookmark top = table->GetBookmark();
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    EXPECT_TRUE(table->BookmarkValid(top));
    table->GotoBookmark(top);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Head office");
    if (db.OnPostgres()) {
        EXPECT_LE(read - before, 2); // prepared and run once
        EXPECT_EQ(RoundTrips(), read);
    }
    std::size_t at = 0;
    for (int id : {6, 5, 1}) {
        EXPECT_TRUE(plain->Locate("ID", Variant(id)));
        EXPECT_EQ(fields(*plain), climbed[at++]);
    }
    // Records outside the chain, values of another type, and Locates with options are read as
    // usual.
    EXPECT_TRUE(table->Locate("ID", Variant(8)));
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Depot");
    EXPECT_TRUE(table->Locate("ID", Variant("5")));
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Engineering");
    EXPECT_FALSE(table->Locate("ID", Variant("five")));
    EXPECT_TRUE(table->Locate("NAME", Variant("head"), loPartialKey | loCaseInsensitive));
    EXPECT_EQ(table->FieldByName("ID")->GetAsInteger(), 1);
    // Inside a range only the range's records are found.
    table->SetRange({Variant(1)}, {Variant(1)});
    EXPECT_FALSE(table->Locate("ID", Variant(6)));
    EXPECT_TRUE(table->Locate("ID", Variant(5)));
    table->CancelRange();
    plain->EnableControls();
}

TEST_F(TableLookAhead, AncestorsReadAheadServeOnlyWhileNothingChanged) {
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6));
    // Written through the connection: read again.
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Labs' WHERE ID = 5");
    ASSERT_TRUE(table->Locate("ID", Variant(5)));
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Labs");
    // Written through the table: the record written is the one read later.
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6));
    ASSERT_TRUE(table->Locate("ID", Variant(1)));
    TBookmark top = table->GetBookmark();
    table->Edit();
    table->FieldByName("NAME")->SetAsString("Main office");
    table->Post();
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    EXPECT_TRUE(table->BookmarkValid(top));
    table->GotoBookmark(top);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Main office");
    // Deleted by the table: its bookmark fails, its key is found no more.
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6));
    ASSERT_TRUE(table->Locate("ID", Variant(5)));
    TBookmark engineering = table->GetBookmark();
    table->Delete();
    EXPECT_FALSE(table->BookmarkValid(engineering));
    EXPECT_FALSE(table->Locate("ID", Variant(5)));
    // A chain that comes back to itself is cut; each record is still the stored one.
    db.Execute("UPDATE ORGANIZATION SET PARENT_ID = 4 WHERE ID = 1");
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(3));
    for (auto [id, parent] : {std::pair{3, 2}, {2, 1}, {1, 4}, {4, 2}}) {
        ASSERT_TRUE(table->Locate("ID", Variant(id)));
        EXPECT_EQ(table->FieldByName("PARENT_ID")->GetAsInteger(), parent) << id;
    }
    if (!db.OnPostgres()) return;
    // Another session's change is seen by the next scan, which reads the chain again.
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(3));
    ASSERT_TRUE(table->Locate("ID", Variant(4)));
    TBookmark south = table->GetBookmark();
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("UPDATE ORGANIZATION SET PARENT_ID = 7, NAME = 'Moved' WHERE ID = 2; "
                   "DELETE FROM ORGANIZATION WHERE ID = 4");
    table->EnableControls();
    table->DisableControls();
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(3));
    ASSERT_TRUE(table->Locate("ID", Variant(2)));
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Moved");
    EXPECT_EQ(table->FieldByName("PARENT_ID")->GetAsInteger(), 7);
    EXPECT_FALSE(table->BookmarkValid(south));
    EXPECT_FALSE(table->Locate("ID", Variant(4)));
}

TEST_F(TableLookAhead, TheTablesFirstRecordsComeFromTheTopLevelReadJustBefore) {
    const std::string all =
        "Head office, Branch office, Sales, Engineering, North, South, Research, Depot";
    auto readTopLevel = [&] {
        table->SetRange({Variant::Null()}, {Variant::Null()});
        TLookAheadScope scope(*table, "PARENT_ID", "ID", 1);
        EXPECT_EQ(Names(), "Head office, Branch office");
    };
    readTopLevel();
    // The top-level records (PARENT_ID Null) come first in the index.
    int64_t before = RoundTrips();
    table->CancelRange();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Head office");
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    // The records after them are read as usual.
    EXPECT_EQ(Names(), all);
    // A write in between: the first records are read again.
    readTopLevel();
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (0, NULL, 'Archive')");
    table->CancelRange();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Archive");
    db.Execute("DELETE FROM ORGANIZATION WHERE ID = 0");
    // Ranges of other values say nothing of the table's first records.
    table->SetRange({Variant(1)}, {Variant(1)});
    {
        TLookAheadScope scope(*table, "PARENT_ID", "ID", 1);
        EXPECT_EQ(Names(), "Sales, Engineering");
    }
    table->CancelRange();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Head office");
    EXPECT_EQ(Names(), all);
    if (!db.OnPostgres()) return;
    // Another session's new first record is seen by the next scan.
    readTopLevel();
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (0, NULL, 'Archive')");
    table->EnableControls();
    table->DisableControls();
    table->CancelRange();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Archive");
}

// What a reader sees of a level: the records of parent's range, each with the first record of its
// own range ("-" when none), read under the look-ahead a tree announces.
// With rowsEach > 1, each child's range is listed whole.
std::string LevelOf(TTable& t, int parent, int rowsEach = 1) {
    t.SetRange({Variant(parent)}, {Variant(parent)});
    std::vector<int> ids;
    std::string text;
    {
        TLookAheadScope scope(t, "PARENT_ID", "ID", rowsEach);
        for (t.First(); !t.Eof(); t.Next()) {
            ids.push_back(t.FieldByName("ID")->GetAsInteger());
            text += t.FieldByName("NAME")->GetAsString() + "|" +
                    t.FieldByName("STATUS_ID")->GetAsString() + " ";
        }
        for (int id : ids) {
            t.SetRange({Variant(id)}, {Variant(id)});
            std::string names = t.Eof() ? "" : t.FieldByName("NAME")->GetAsString();
            if (rowsEach > 1)
                for (t.Next(); !t.Eof(); t.Next())
                    names += "," + t.FieldByName("NAME")->GetAsString();
            text += "[" + (names.empty() ? std::string("-") : names) + "]";
        }
    }
    t.CancelRange();
    return text;
}

TEST_F(TableLookAhead, LevelsReadAheadAnswerEachLevelAsReadingItAlone) {
    auto plain = db.OpenTable("ORGANIZATION", "PARENT_ID");
    plain->SetLookAheadMode(laOff);
    plain->DisableControls();
    int64_t before = RoundTrips();
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(5), Variant(6)});
    int64_t read = RoundTrips();
    std::vector<std::string> levels;
    for (int parent : {1, 5, 6})
        levels.push_back(LevelOf(*table, parent));
    if (db.OnPostgres()) {
        EXPECT_LE(read - before, 2); // prepared and run once
        EXPECT_EQ(RoundTrips(), read);
    }
    std::size_t at = 0;
    for (int parent : {1, 5, 6})
        EXPECT_EQ(levels[at++], LevelOf(*plain, parent)) << parent;
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [North][Research]");
    EXPECT_EQ(LevelOf(*table, 6), "");
    // A level not announced, and one taken already, are read as usual.
    EXPECT_EQ(LevelOf(*table, 2), LevelOf(*plain, 2));
    // Written through the connection after the levels were read: read again.
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(2)});
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Northern' WHERE ID = 3");
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (0, 2, 'Archive')");
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [Archive][Research]");
    EXPECT_EQ(LevelOf(*table, 2), "Archive| Northern| South|1 [-][-][-]");
    // Written through the table itself.
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(2)});
    ASSERT_TRUE(table->Locate("ID", Variant(0)));
    table->Delete();
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [Northern][Research]");
    EXPECT_EQ(LevelOf(*table, 2), LevelOf(*plain, 2));
    // Keys that cannot name a range exactly (Null, another type) read nothing ahead.
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant::Null()});
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant("five")});
    EXPECT_EQ(LevelOf(*table, 1), LevelOf(*plain, 1));
    plain->EnableControls();
    if (!db.OnPostgres()) return;
    // Another session's change is seen by the next scan, which reads the levels again.
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(2)});
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("UPDATE ORGANIZATION SET PARENT_ID = 7 WHERE ID = 5; "
                   "DELETE FROM ORGANIZATION WHERE ID = 3");
    table->EnableControls();
    table->DisableControls();
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 [South]");
    EXPECT_EQ(LevelOf(*table, 2), "South|1 [-]");
}

TEST_F(TableLookAhead, TheRecordAScanBeganOnIsReadWithItsFirstLookAhead) {
    table->EnableControls();
    ASSERT_TRUE(table->Locate("ID", Variant(8)));
    std::unique_ptr<TSqlConnection> other;
    if (db.OnPostgres()) {
        // Changed by another session after the cursor came to it, before the scan.
        other = OpenSqlConnection(db.FileName());
        other->Execute("UPDATE ORGANIZATION SET NAME = 'Stores' WHERE ID = 8");
    }
    std::string depot = db.OnPostgres() ? "Stores" : "Depot";
    table->DisableControls();
    TBookmark start = table->GetBookmark();
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [North][Research]");
    int64_t before = RoundTrips();
    ASSERT_TRUE(table->BookmarkValid(start));
    table->GotoBookmark(start);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), depot);
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    table->EnableControls();
    if (!db.OnPostgres()) return;
    // Deleted by another session before the scan: its bookmark fails.
    other->Execute("DELETE FROM ORGANIZATION WHERE ID = 8");
    table->DisableControls();
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [North][Research]");
    EXPECT_FALSE(table->BookmarkValid(start));
    // Written after the look-ahead read it: read again.
    table->EnableControls();
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    table->DisableControls();
    start = table->GetBookmark();
    EXPECT_EQ(LevelOf(*table, 1), "Sales|2 Engineering|2 [North][Research]");
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Labs' WHERE ID = 6");
    ASSERT_TRUE(table->BookmarkValid(start));
    table->GotoBookmark(start);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Labs");
}

TEST_F(TableLookAhead, ABulkReadsFirstRecordsAnswerTheMoveBackToTheFirst) {
    const std::string all =
        "Head office, Branch office, Sales, Engineering, North, South, Research, Depot";
    auto readAll = [&](const std::vector<std::string>& names) {
        std::vector<TField*> fields;
        for (const std::string& name : names)
            fields.push_back(table->FieldByName(name));
        int count = 0;
        table->ReadRecords(fields, [&](const TRecordView&) { ++count; });
        return count;
    };
    EXPECT_EQ(readAll({"ID", "PARENT_ID", "NAME"}), 8);
    int64_t before = RoundTrips();
    EXPECT_EQ(Names(), all);
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    // A field the bulk read did not read is read from the engine.
    table->First();
    EXPECT_EQ(table->FieldByName("STATUS_ID")->GetAsInteger(), 1);
    EXPECT_EQ(table->FieldByName("IMAGE_ID")->GetAsInteger(), 10);
    // Without the order's fields the records cannot stand for a window: read as usual.
    db.Execute("UPDATE ORGANIZATION SET STATUS_ID = 1 WHERE ID = 1");
    EXPECT_EQ(readAll({"ID", "NAME"}), 8);
    EXPECT_EQ(Names(), all);
    // A write after the bulk read: read again.
    readAll({"ID", "PARENT_ID", "NAME"});
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Main office' WHERE ID = 1");
    table->First();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Main office");
    // Inside a range, the records of the range only.
    table->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_EQ(readAll({"ID", "PARENT_ID", "NAME"}), 2);
    EXPECT_EQ(Names(), "North, South");
    table->CancelRange();
    if (!db.OnPostgres()) return;
    // Another session's change is seen by the next scan.
    readAll({"ID", "PARENT_ID", "NAME"});
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (0, NULL, 'Archive')");
    table->EnableControls();
    table->DisableControls();
    table->First();
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Archive");
}

// What a reader sees of a level of UNITS under the look-ahead of rowsEach: the records of the
// owner's range, then each one's own range read whole ("-" when empty).
std::string UnitsLevelOf(TTable& t, const std::vector<Variant>& owner, int rowsEach) {
    t.SetRange(owner, owner);
    std::vector<std::vector<Variant>> keys;
    std::string text;
    {
        TLookAheadScope scope(t, "OWNER_GROUP;OWNER_ID", "UNIT_GROUP;UNIT_ID", rowsEach);
        for (t.First(); !t.Eof(); t.Next()) {
            keys.push_back({Variant(t.FieldByName("UNIT_GROUP")->GetAsInteger()),
                            Variant(t.FieldByName("UNIT_ID")->GetAsInteger())});
            text += t.FieldByName("NAME")->GetAsString() + " ";
        }
        for (const std::vector<Variant>& key : keys) {
            t.SetRange(key, key);
            std::string range;
            for (t.First(); !t.Eof(); t.Next())
                range += (range.empty() ? "" : ",") + t.FieldByName("NAME")->GetAsString();
            text += "[" + (range.empty() ? std::string("-") : range) + "]";
        }
    }
    t.CancelRange();
    return text;
}

std::string AllNames(TTable& t) {
    std::string names;
    for (t.First(); !t.Eof(); t.Next())
        names += t.FieldByName("NAME")->GetAsString() + " ";
    return names;
}

// The names of a level whose records link to their parent by one key field, each record followed
// by the names of its own range: read with its ranges announced, or as the plain table reads them.
std::string LevelOf(TTable& t, const Variant& parent, const std::string& parentField,
                    const std::string& keyField) {
    t.SetRange({parent}, {parent});
    std::vector<Variant> keys;
    std::string text;
    {
        TLookAheadScope scope(t, parentField, keyField, 1);
        for (t.First(); !t.Eof(); t.Next()) {
            keys.push_back(t.FieldByName(keyField)->GetValue());
            text += t.FieldByName("NAME")->GetAsString() + " ";
        }
        for (const Variant& key : keys) {
            t.SetRange({key}, {key});
            text += "[" + (t.Eof() ? std::string("-") : t.FieldByName("NAME")->GetAsString()) + "]";
        }
    }
    t.CancelRange();
    return text;
}

TEST_F(TableLookAhead, RangesOfNegativeLargeAndMultibyteTextKeysAnswerAsReadAlone) {
    db.Execute("CREATE TABLE BIGS (ID BIGINT PRIMARY KEY, PARENT_ID BIGINT, NAME VARCHAR(20))");
    // 705032704 is the low half of 5000000000: keys cut to 32 bits would meet.
    db.Execute("INSERT INTO BIGS VALUES (-5, NULL, 'Minus'), (5000000000, NULL, 'Large'), "
               "(-9223372036854775807, NULL, 'Least'), (705032704, NULL, 'Low half'), "
               "(1, -5, 'Under minus'), (2, 5000000000, 'Under large'), "
               "(3, 705032704, 'Under the low half'), (4, -9223372036854775807, 'Under least')");
    db.Execute("CREATE TABLE TAGS (CODE VARCHAR(20) PRIMARY KEY, PARENT VARCHAR(20), NAME "
               "VARCHAR(20))");
    db.Execute("INSERT INTO TAGS VALUES ('Grüße', NULL, 'Greetings'), ('日本', NULL, 'Japan'), "
               "('i', NULL, 'Letter'), ('東京', '日本', 'Tokyo'), ('Hallo', 'Grüße', 'Hello'), "
               "('x', 'i', 'Under letter')");
    struct TCase {
        const char* Table;
        const char* Parent;
        const char* Key;
        const char* Expected;
    };
    for (const TCase& c :
         {TCase{"BIGS", "PARENT_ID", "ID",
                "Least Minus Low half Large [Under least][Under minus][Under the low half][Under "
                "large]"},
          TCase{"TAGS", "PARENT", "CODE", "Greetings Letter Japan [Hello][Under letter][Tokyo]"}}) {
        auto ahead = db.OpenTable(c.Table, c.Parent);
        auto plain = db.OpenTable(c.Table, c.Parent);
        plain->SetLookAheadMode(laOff);
        for (TTable* t : {ahead.get(), plain.get()}) {
            t->FieldByName("NAME")->GetAsString();
            t->DisableControls();
        }
        int64_t before = RoundTrips();
        std::string read = LevelOf(*ahead, Variant::Null(), c.Parent, c.Key);
        int64_t aheadTrips = RoundTrips() - before;
        before = RoundTrips();
        std::string alone = LevelOf(*plain, Variant::Null(), c.Parent, c.Key);
        int64_t aloneTrips = RoundTrips() - before;
        EXPECT_EQ(alone, c.Expected) << c.Table;
        EXPECT_EQ(read, alone) << c.Table;
        if (db.OnPostgres()) {
            EXPECT_LT(aheadTrips, aloneTrips) << c.Table;
        }
        for (TTable* t : {ahead.get(), plain.get()})
            t->EnableControls();
    }
}

// A table over ORGANIZATION that reads range by range (no look-ahead), its name field read
// once, to compare a table reading ahead with.
auto PlainTable(TTestDatabase& db) {
    auto plain = db.OpenTable("ORGANIZATION", "PARENT_ID");
    plain->SetLookAheadMode(laOff);
    plain->FieldByName("NAME")->GetAsString();
    plain->DisableControls();
    return plain;
}

TEST_F(TableLookAhead, ALongLevelReadAgainAfterChangesGivesTheNewRecords) {
    // More children of Depot than the rows a table answers from once the reader is done.
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) WITH RECURSIVE n(i) AS (SELECT 1 "
               "UNION ALL SELECT i + 1 FROM n WHERE i < 4200) SELECT 100 + i, 8, 'Unit ' || i "
               "FROM n");
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (9000, 101, 'Grandchild')");
    auto plain = PlainTable(db);
    std::string first = LevelOf(*table, Variant(8), "PARENT_ID", "ID");
    EXPECT_EQ(first, LevelOf(*plain, Variant(8), "PARENT_ID", "ID"));
    EXPECT_EQ(first.substr(0, 14), "Unit 1 Unit 2 ");
    EXPECT_NE(first.find("[Grandchild][-]"), std::string::npos);
    // Renamed, removed and moved between the two reads: the buffers refilled in place hold
    // nothing of the first read.
    db.Execute("UPDATE ORGANIZATION SET NAME = 'Renamed' WHERE ID = 102");
    db.Execute("DELETE FROM ORGANIZATION WHERE ID = 103");
    db.Execute("UPDATE ORGANIZATION SET PARENT_ID = 102 WHERE ID = 9000");
    std::string second = LevelOf(*table, Variant(8), "PARENT_ID", "ID");
    EXPECT_EQ(second, LevelOf(*plain, Variant(8), "PARENT_ID", "ID"));
    EXPECT_EQ(second.substr(0, 22), "Unit 1 Renamed Unit 4 ");
    EXPECT_NE(second.find("[-][Grandchild][-]"), std::string::npos);
    EXPECT_EQ(second.find("Unit 3 "), std::string::npos);
    plain->EnableControls();
}

// The ids met by a walk over the children of parent that leaves the order a reader usually
// follows: to the end, back past several windows, forward again from there, then from a record
// found by key in the middle, and from the first record again; each move's record is written.
std::string WalkOf(TTable& t, int parent, int middle) {
    t.SetRange({Variant(parent)}, {Variant(parent)});
    std::string ids;
    auto write = [&] {
        ids += (t.Eof() ? std::string("eof") : t.FieldByName("ID")->GetAsString()) + " ";
    };
    {
        TLookAheadScope scope(t, "PARENT_ID", "ID", 1);
        int count = 0;
        for (t.First(); !t.Eof(); t.Next())
            ++count;
        ids += std::to_string(count) + ": ";
        t.Last();
        for (int i = 0; i < 150; ++i)
            t.Prior();
        write();
        for (int i = 0; i < 90; ++i)
            t.Next();
        write();
        if (t.Locate("ID", Variant(middle))) {
            write();
            for (int i = 0; i < 70; ++i)
                t.Next();
            write();
        }
        t.First();
        for (int i = 0; i < 130; ++i)
            t.Next();
        write();
        // A child's own range in between, then the level's windows again.
        t.SetRange({Variant(middle)}, {Variant(middle)});
        write();
        t.SetRange({Variant(parent)}, {Variant(parent)});
        for (int i = 0; i < 200; ++i)
            t.Next();
        write();
    }
    t.CancelRange();
    return ids;
}

// A level of 300 records under record 8 (ids 997 down to 100), record 400 with one child, and a
// table over them that reads range by range, to compare with.
auto LevelOf300(TTestDatabase& db) {
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) WITH RECURSIVE n(i) AS (SELECT 1 "
               "UNION ALL SELECT i + 1 FROM n WHERE i < 300) SELECT 1000 - 3 * i, 8, 'Unit ' || i "
               "FROM n");
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (5000, 400, 'Below')");
    return PlainTable(db);
}

// A level read ahead answers the records after any of its records, not only after the last one
// it served: the reader may step back, jump to a record or start again.
TEST_F(TableLookAhead, ALevelReadAheadGoesOnFromAnyOfItsRecords) {
    auto plain = LevelOf300(db);
    std::string alone = WalkOf(*plain, 8, 400);
    EXPECT_EQ(alone, "300: 547 817 400 610 490 5000 700 ");
    int64_t before = RoundTrips();
    EXPECT_EQ(WalkOf(*table, 8, 400), alone);
    int64_t aheadTrips = RoundTrips() - before;
    before = RoundTrips();
    WalkOf(*plain, 8, 400);
    if (db.OnPostgres()) {
        EXPECT_LT(aheadTrips, RoundTrips() - before);
    }
    // Read again after a change: the places of the records are those of the new read.
    db.Execute("DELETE FROM ORGANIZATION WHERE ID IN (547, 550, 700)");
    alone = WalkOf(*plain, 8, 400);
    EXPECT_EQ(WalkOf(*table, 8, 400), alone);
    EXPECT_EQ(alone.substr(0, 5), "297: ");
    plain->EnableControls();
}

// A level whose rows a server still sends while its reader goes through them: reads of another
// table and of the connection between its records, a reader leaving it half way, and a scope
// ended before the rows are all in change nothing of what the level answers.
TEST_F(TableLookAhead, ALevelTakenWhileItsRowsStillComeAnswersAsReadAloneWhateverRunsBetween) {
    auto plain = LevelOf300(db);
    auto other = db.OpenTable("ORGANIZATION");
    // The level's records, then each one's first child; between reads at a record midway.
    auto walk = [&](TTable& t, bool between, std::size_t stopAt) {
        t.SetRange({Variant(8)}, {Variant(8)});
        std::vector<int> ids;
        std::string text;
        auto elsewhere = [&] {
            if (!between) return;
            EXPECT_TRUE(other->Locate("ID", Variant(5000)));
            EXPECT_EQ(other->FieldByName("NAME")->GetAsString(), "Below");
            EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM ORGANIZATION WHERE PARENT_ID = 8").AsInt64(),
                      300);
        };
        {
            TLookAheadScope scope(t, "PARENT_ID", "ID", 1);
            for (t.First(); !t.Eof() && ids.size() < stopAt; t.Next()) {
                ids.push_back(t.FieldByName("ID")->GetAsInteger());
                if (ids.size() == 40) elsewhere();
            }
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (i == 120) elsewhere();
                t.SetRange({Variant(ids[i])}, {Variant(ids[i])});
                text += t.Eof() ? "- " : t.FieldByName("NAME")->GetAsString() + " ";
            }
        }
        t.CancelRange();
        std::string names;
        for (int id : ids)
            names += std::to_string(id) + " ";
        return names + text;
    };
    std::string alone = walk(*plain, false, 1000);
    EXPECT_EQ(alone.substr(0, 12), "100 103 106 ");
    EXPECT_NE(alone.find(" - Below - "), std::string::npos);
    int64_t before = RoundTrips();
    EXPECT_EQ(walk(*table, true, 1000), alone);
    int64_t aheadTrips = RoundTrips() - before;
    before = RoundTrips();
    walk(*plain, true, 1000);
    if (db.OnPostgres()) {
        EXPECT_LT(aheadTrips, (RoundTrips() - before) / 10);
    }
    // Left half way, its scope ended with rows still coming: the level then reads whole.
    std::string half = walk(*table, false, 150);
    EXPECT_EQ(half.substr(0, 150 * 4), alone.substr(0, 150 * 4));
    EXPECT_EQ(walk(*table, false, 1000), alone);
    EXPECT_EQ(walk(*table, true, 1000), alone);
    plain->EnableControls();
}

// A probe (a record's own range opened, as a tree opens it for the record's first child) whose
// read fails part way through: on the server that read is the level's look-ahead, read again
// after a change, failing before it reached the probed record's range. The reader goes back to its
// level and record as a tree does; the level then goes on as read range by range, and the probe
// answers when tried again.
TEST_F(TableLookAhead, AProbeFailingPartWayThroughItsReadLeavesTheLevelToGoOnWith) {
    auto plain = LevelOf300(db);
    auto rest = [](TTable& t) {
        std::string ids;
        for (; !t.Eof(); t.Next())
            ids += t.FieldByName("ID")->GetAsString() + " ";
        return ids;
    };
    TSqlConnection& connection = db.Database().Connection();
    auto failStep = [&connection](int step) {
        auto left = std::make_shared<int>(step);
        connection.SetFaultHook([left](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
            if (call != TSqlCall::Step || --*left != 0) return std::nullopt;
            return TSqlFault{10, "disk I/O error"};
        });
    };
    table->SetRange({Variant(8)}, {Variant(8)});
    {
        TLookAheadScope scope(*table, "PARENT_ID", "ID", 1);
        int at = 0;
        for (table->First(); !table->Eof() && at < 99; table->Next())
            ++at;
        ASSERT_EQ(table->FieldByName("ID")->GetAsInteger(), 397);
        db.Execute("UPDATE ORGANIZATION SET NAME = 'Renamed' WHERE ID = 400");
        TBookmark mark = table->GetBookmark();
        failStep(db.OnPostgres() ? 50 : 1);
        EXPECT_THROW(
            {
                table->ApplyEqualRange("PARENT_ID", Variant(400), 1, 1);
                table->Eof();
            },
            EDatabaseError);
        connection.SetFaultHook(nullptr);
        table->ApplyEqualRange("PARENT_ID", Variant(8), 1);
        table->GotoBookmark(mark);
        EXPECT_EQ(table->State(), dsBrowse);
        EXPECT_TRUE(table->RangeApplied());
        ASSERT_EQ(table->FieldByName("ID")->GetAsInteger(), 397);
        plain->SetRange({Variant(8)}, {Variant(8)});
        ASSERT_TRUE(plain->Locate("ID", Variant(397)));
        EXPECT_EQ(rest(*table), rest(*plain));
        table->ApplyEqualRange("PARENT_ID", Variant(400), 1, 1);
        ASSERT_FALSE(table->Eof());
        EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Below");
        table->ApplyEqualRange("PARENT_ID", Variant(8), 1);
        EXPECT_EQ(table->FieldByName("ID")->GetAsInteger(), 100);
    }
    table->CancelRange();
    plain->CancelRange();
    EXPECT_EQ(WalkOf(*table, 8, 400), WalkOf(*plain, 8, 400));
    plain->EnableControls();
}

TEST_F(TableLookAhead, RangesOfATwoFieldKeyReadSeveralAheadAnswerAsReadAlone) {
    db.CreateUnits();
    // Alpha gets a third child: more than two, the rows read ahead of each range below.
    db.Execute("INSERT INTO UNITS VALUES (4, 1, 1, 1, 'Eta', 2)");
    const std::vector<Variant> top{Variant::Null(), Variant::Null()};
    const std::vector<Variant> alpha{Variant(1), Variant(1)};
    auto units = db.OpenTable("UNITS", "OWNER_GROUP;OWNER_ID");
    auto plain = db.OpenTable("UNITS", "OWNER_GROUP;OWNER_ID");
    plain->SetLookAheadMode(laOff);
    for (TTable* t : {units.get(), plain.get()}) {
        t->FieldByName("NAME")->GetAsString();
        t->DisableControls(); // a scan that began on the table's first record, Alpha
    }
    int64_t before = RoundTrips();
    std::string ahead = UnitsLevelOf(*units, top, 2);
    int64_t aheadTrips = RoundTrips() - before;
    // The scan's first records come back from the read as well, each once.
    std::string first = AllNames(*units);
    before = RoundTrips();
    std::string alone = UnitsLevelOf(*plain, top, 2);
    int64_t aloneTrips = RoundTrips() - before;
    EXPECT_EQ(ahead, "Alpha Beta [Gamma,Delta,Eta][Zeta]");
    EXPECT_EQ(ahead, alone);
    EXPECT_EQ(first, AllNames(*plain));
    EXPECT_EQ(UnitsLevelOf(*units, alpha, 1), UnitsLevelOf(*plain, alpha, 1));
    EXPECT_EQ(UnitsLevelOf(*units, alpha, 2), "Gamma Delta Eta [-][Epsilon][-]");
    if (db.OnPostgres()) {
        EXPECT_LT(aheadTrips, aloneTrips); // the ranges were indeed answered from the read
    }
    for (TTable* t : {units.get(), plain.get()})
        t->EnableControls();
    if (!db.OnPostgres()) return;
    // Another session renames, re-parents and adds between two scans: the next scan sees it.
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("UPDATE UNITS SET NAME = 'Zed' WHERE UNIT_GROUP = 3 AND UNIT_ID = 2; "
                   "UPDATE UNITS SET OWNER_GROUP = 1, OWNER_ID = 2 WHERE UNIT_GROUP = 2 AND "
                   "UNIT_ID = 1; INSERT INTO UNITS VALUES (0, 9, 1, 2, 'Omega', NULL)");
    units->DisableControls();
    std::string seen = UnitsLevelOf(*units, top, 2);
    units->EnableControls();
    EXPECT_EQ(seen, UnitsLevelOf(*plain, top, 2));
    EXPECT_NE(seen.find("[Delta,Eta]"), std::string::npos) << seen;
    EXPECT_NE(seen.find("Zed"), std::string::npos) << seen;
    EXPECT_NE(seen.find("Omega"), std::string::npos) << seen;
}

// A climb read with its levels (as a tree reveals a record): the chain's records and then each
// level the reader opens come from the one statement, as read alone.
TEST_F(TableLookAhead, AClimbReadWithItsLevelsAnswersTheChainAndEachLevelAsReadAlone) {
    auto plain = PlainTable(db);
    int64_t before = RoundTrips();
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    int64_t read = RoundTrips();
    std::string chain;
    for (int id : {6, 5, 1}) {
        ASSERT_TRUE(table->Locate("ID", Variant(id)));
        chain += table->FieldByName("NAME")->GetAsString() + " ";
    }
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(5)});
    std::string levels = LevelOf(*table, 1) + LevelOf(*table, 5);
    if (db.OnPostgres()) {
        EXPECT_LE(read - before, 2); // prepared and run once
        EXPECT_EQ(RoundTrips(), read);
    }
    EXPECT_EQ(chain, "Research Engineering Head office ");
    EXPECT_EQ(levels, LevelOf(*plain, 1) + LevelOf(*plain, 5));
    EXPECT_EQ(levels, "Sales|2 Engineering|2 [North][Research]Research| [-]");
    // A level the climb did not read (the top one, and another one) makes the announcement read.
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    before = RoundTrips();
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(5), Variant(7)});
    if (db.OnPostgres()) {
        EXPECT_GT(RoundTrips(), before);
    }
    before = RoundTrips();
    for (int parent : {7, 1, 5})
        levels += LevelOf(*table, parent);
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    EXPECT_EQ(levels, LevelOf(*plain, 1) + LevelOf(*plain, 5) + LevelOf(*plain, 7) +
                          LevelOf(*plain, 1) + LevelOf(*plain, 5));
    plain->EnableControls();
}

// Levels read with several rows of each range come in the index order of their records and, in
// each range, of its rows.
TEST_F(TableLookAhead, AClimbsLevelsWithSeveralRowsEachAnswerAsReadAlone) {
    auto plain = PlainTable(db);
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 3);
    int64_t read = RoundTrips();
    table->ReadLevelsAhead("PARENT_ID", "ID", 3, {Variant(1), Variant(5)});
    std::string levels = LevelOf(*table, 1, 3) + LevelOf(*table, 5, 3);
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), read);
    }
    EXPECT_EQ(levels, LevelOf(*plain, 1, 3) + LevelOf(*plain, 5, 3));
    EXPECT_EQ(levels, "Sales|2 Engineering|2 [North,South][Research]Research| [-]");
    plain->EnableControls();
}

// What the climb read of the levels serves only while it answers exactly: after a write through
// the connection or the table, for the levels below a chain coming back to itself, and with the
// look-ahead off, each level reads what it reads alone.
TEST_F(TableLookAhead, AClimbsLevelsServeOnlyWhatTheyStillAnswerExactly) {
    auto plain = PlainTable(db);
    auto levelsAfterClimb = [&](const std::function<void()>& between) {
        table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
        between();
        table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(5)});
        return LevelOf(*table, 1) + LevelOf(*table, 5);
    };
    EXPECT_EQ(levelsAfterClimb([&] {
                  db.Execute("UPDATE ORGANIZATION SET NAME = 'Labs', STATUS_ID = 4 WHERE ID = 6");
              }),
              "Sales|2 Engineering|2 [North][Labs]Labs|4 [-]");
    EXPECT_EQ(levelsAfterClimb([&] {
                  ASSERT_TRUE(table->Locate("ID", Variant(2)));
                  table->Edit();
                  table->FieldByName("NAME")->SetAsString("Retail");
                  table->Post();
                  db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (9, 6, 'Lab')");
              }),
              "Retail|2 Engineering|2 [North][Labs]Labs|4 [Lab]");
    EXPECT_EQ(LevelOf(*table, 1) + LevelOf(*table, 5), LevelOf(*plain, 1) + LevelOf(*plain, 5));
    // Off: nothing is read ahead, on any engine.
    table->SetLookAheadMode(laOff);
    int64_t before = RoundTrips();
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    EXPECT_EQ(RoundTrips(), before);
    table->SetLookAheadMode(laAuto);
    // Head office under Lab: the chain from Research comes back to it; the levels read before it
    // does are still those of the records as stored.
    db.Execute("UPDATE ORGANIZATION SET PARENT_ID = 9 WHERE ID = 1");
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(6), Variant(9), Variant(1), Variant(5)});
    std::string looped;
    for (int parent : {6, 9, 1, 5})
        looped += LevelOf(*table, parent);
    EXPECT_EQ(looped,
              LevelOf(*plain, 6) + LevelOf(*plain, 9) + LevelOf(*plain, 1) + LevelOf(*plain, 5));
    EXPECT_EQ(LevelOf(*plain, 9), "Head office|1 [Retail]");
    for (int id : {6, 5, 1, 9}) {
        ASSERT_TRUE(table->Locate("ID", Variant(id)));
        ASSERT_TRUE(plain->Locate("ID", Variant(id)));
        EXPECT_EQ(table->FieldByName("PARENT_ID")->GetAsString(),
                  plain->FieldByName("PARENT_ID")->GetAsString());
    }
    plain->EnableControls();
    if (!db.OnPostgres()) return;
    // Another session's change is seen by the next scan's climb.
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db.FileName());
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Studies' WHERE ID = 6; "
                   "DELETE FROM ORGANIZATION WHERE ID = 2");
    table->EnableControls();
    table->DisableControls();
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(6), 1);
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(1), Variant(5)});
    EXPECT_EQ(LevelOf(*table, 1) + LevelOf(*table, 5), "Engineering|2 [Studies]Studies|4 [Lab]");
}

// A level longer than the climb reads is read when announced; the others still come from the
// climb's statement.
TEST_F(TableLookAhead, AClimbLeavesALongLevelToItsAnnouncement) {
    auto plain = LevelOf300(db);
    // Below (5000) under 400 under Depot (8, 300 records) under Branch office (7).
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(5000), 1);
    int64_t before = RoundTrips();
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(7), Variant(400)});
    if (db.OnPostgres()) {
        EXPECT_EQ(RoundTrips(), before);
    }
    table->ReadAncestorsAhead("ID", "PARENT_ID", Variant(5000), 1);
    before = RoundTrips();
    table->ReadLevelsAhead("PARENT_ID", "ID", 1, {Variant(7), Variant(8), Variant(400)});
    if (db.OnPostgres()) {
        EXPECT_GT(RoundTrips(), before);
    }
    std::string levels = LevelOf(*table, 7) + WalkOf(*table, 8, 400) + "/" + LevelOf(*table, 400);
    EXPECT_EQ(levels, LevelOf(*plain, 7) + WalkOf(*plain, 8, 400) + "/" + LevelOf(*plain, 400));
    EXPECT_EQ(levels, "Depot|3 [Unit 300]300: 547 817 400 610 490 5000 700 /Below| [-]");
    plain->EnableControls();
}

} // namespace
} // namespace orvel::test
