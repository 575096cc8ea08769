// What a dataset does when the engine fails or the caller asks for something impossible: the
// error reaches the caller and nothing is lost or half done.
#include "tests/host/data/RecordingLink.h"
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

#include <gtest/gtest.h>

using namespace orvel;
using namespace orvel::test;

namespace {

// Makes the next engine step fail once with the given engine message.
void FailNextStep(TSqlConnection& connection, const std::string& message) {
    auto armed = std::make_shared<bool>(true);
    connection.SetFaultHook([armed, message](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
        if (call != TSqlCall::Step || !*armed) return std::nullopt;
        *armed = false;
        return TSqlFault{5, message};
    });
}

// Makes the engine step that follows the next one fail once: the write of a post or deletion
// succeeds, the read that puts the cursor in place afterwards fails.
void FailStepAfterTheNext(TSqlConnection& connection, const std::string& message) {
    auto steps = std::make_shared<int>(0);
    connection.SetFaultHook([steps, message](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
        if (call != TSqlCall::Step || ++*steps != 2) return std::nullopt;
        return TSqlFault{10, message};
    });
}

class Faults : public ::testing::Test {
protected:
    TSqlConnection& Engine() { return Db.Database().Connection(); }
    TTestDatabase Db;
};

TEST_F(Faults, AFailedPostKeepsTheInsertAndItsValuesAndALaterPostStoresThem) {
    auto t = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    t->Insert();
    t->FieldByName("ID")->SetAsInteger(20);
    t->FieldByName("PARENT_ID")->SetAsInteger(1);
    // NAME is NOT NULL: the engine refuses the record.
    try {
        t->Post();
        FAIL() << "the post succeeded";
    } catch (const EDatabaseError& e) {
        // "NOT NULL constraint failed" or "violates not-null constraint", by engine.
        EXPECT_NE(UpperCase(e.what()).find("NULL"), std::string::npos) << e.what();
    }
    EXPECT_EQ(t->State(), dsInsert);
    EXPECT_TRUE(t->Modified());
    EXPECT_EQ(t->FieldByName("ID")->GetAsInteger(), 20);
    EXPECT_EQ(t->FieldByName("PARENT_ID")->GetAsInteger(), 1);
    t->FieldByName("NAME")->SetAsString("Logistics");
    t->Post();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Logistics");
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM ORGANIZATION WHERE ID = 20").AsString(), "Logistics");
}

TEST_F(Faults, ABusyOrFailingDiskDuringPostLosesNothing) {
    auto t = Db.OpenTable("ORGANIZATION");
    ASSERT_TRUE(t->Locate("ID", Variant(3)));
    t->Edit();
    t->FieldByName("NAME")->SetAsString("North-East");
    for (const char* message : {"database is locked", "disk I/O error"}) {
        FailNextStep(Engine(), message);
        try {
            t->Post();
            FAIL() << "the post succeeded";
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), message);
        }
        EXPECT_EQ(t->State(), dsEdit);
        EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "North-East");
        EXPECT_EQ(Db.Scalar("SELECT NAME FROM ORGANIZATION WHERE ID = 3").AsString(), "North");
    }
    t->Post();
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM ORGANIZATION WHERE ID = 3").AsString(), "North-East");
}

TEST_F(Faults, AFailedDeleteRemovesNothingAndLeavesTheCursorOnTheRecord) {
    auto t = Db.OpenTable("ORGANIZATION");
    ASSERT_TRUE(t->Locate("ID", Variant(4)));
    TLog log;
    RecordEvents(*t, log);
    FailNextStep(Engine(), "disk I/O error");
    EXPECT_THROW(t->Delete(), EDatabaseError);
    EXPECT_EQ(log, (TLog{"BeforeDelete"}));
    EXPECT_EQ(Db.Count("ORGANIZATION"), 8);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "South");
    EXPECT_TRUE(t->BookmarkValid(t->GetBookmark()));
}

TEST_F(Faults, APostOrDeletionThatIsStoredEndsAsOneWhenTheReadAfterItFails) {
    auto t = Db.OpenTable("ORGANIZATION");
    TLog log;
    RecordEvents(*t, log);
    t->Insert();
    t->FieldByName("ID")->SetAsInteger(20);
    t->FieldByName("PARENT_ID")->SetAsInteger(1);
    t->FieldByName("NAME")->SetAsString("Logistics");
    log.clear();
    FailStepAfterTheNext(Engine(), "disk I/O error");
    t->Post();
    Engine().SetFaultHook(nullptr);
    EXPECT_EQ(log, (TLog{"BeforePost", "AfterPost"}));
    EXPECT_EQ(t->State(), dsBrowse) << "a second post would store the record twice";
    EXPECT_EQ(Db.Count("ORGANIZATION"), 9);
    EXPECT_EQ(t->FieldByName("ID")->GetAsInteger(), 20);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Logistics");
    EXPECT_TRUE(t->BookmarkValid(t->GetBookmark()));

    // The last record of the window goes; the read of its neighbour fails.
    t->Last();
    int64_t last = t->FieldByName("ID")->GetAsInteger();
    log.clear();
    FailStepAfterTheNext(Engine(), "disk I/O error");
    t->Delete();
    Engine().SetFaultHook(nullptr);
    EXPECT_EQ(log, (TLog{"BeforeDelete", "AfterDelete"}));
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(Db.Count("ORGANIZATION"), 8);
    EXPECT_NE(t->FieldByName("ID")->GetAsInteger(), last);
    EXPECT_TRUE(t->BookmarkValid(t->GetBookmark())) << "the cursor is on a stored record";
}

TEST_F(Faults, ARecordDeletedElsewhereCannotBeEditedOrDeleted) {
    auto t = Db.OpenTable("ORGANIZATION");
    ASSERT_TRUE(t->Locate("ID", Variant(6)));
    Db.Execute("DELETE FROM ORGANIZATION WHERE ID = 6");
    EXPECT_THROW(t->Edit(), EDatabaseError);
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_THROW(t->Delete(), EDatabaseError);
    EXPECT_FALSE(t->BookmarkValid(t->GetBookmark()));
}

TEST_F(Faults, ImpossibleRequestsGiveClearErrorsAndChangeNothing) {
    TTable closed(nullptr);
    closed.SetDatabase(&Db.Database());
    closed.SetTableName("ORGANIZATION");
    auto expectMessage = [](auto&& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no error for: " << message;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.what(), message);
        }
    };
    expectMessage([&] { closed.First(); }, "Cannot perform this operation on a closed dataset");
    expectMessage([&] { closed.Edit(); }, "Cannot perform this operation on a closed dataset");
    expectMessage([&] { closed.FieldByName("NAME"); }, "Field 'NAME' not found");
    EXPECT_EQ(closed.FindField("NAME"), nullptr);

    auto t = Db.OpenTable("ORGANIZATION");
    expectMessage([&] { t->Post(); }, "Dataset not in edit or insert mode");
    expectMessage([&] { t->FieldByName("MISSING"); }, "Field 'MISSING' not found");
    expectMessage([&] { t->GetFieldValue("ID;MISSING;"); }, "Field 'MISSING' not found");
    expectMessage([&] { t->SetTableName("ITEMS"); },
                  "Cannot perform this operation on an open dataset");
    EXPECT_EQ(t->GetTableName(), "ORGANIZATION");

    TTable wrong(nullptr);
    wrong.SetDatabase(&Db.Database());
    expectMessage([&] { wrong.Open(); }, "Missing TableName property");
    wrong.SetTableName("NO_SUCH_TABLE");
    expectMessage([&] { wrong.Open(); }, "Table 'NO_SUCH_TABLE' does not exist");
    EXPECT_FALSE(wrong.GetActive());
    wrong.SetTableName("ORGANIZATION");
    wrong.SetIndexFieldNames("NO_SUCH_FIELD");
    expectMessage([&] { wrong.Open(); }, "Field 'NO_SUCH_FIELD' not found");
    EXPECT_FALSE(wrong.GetActive());
    EXPECT_EQ(wrong.FieldCount(), 0);
}

TEST_F(Faults, AWrongValueForAFieldRaisesAndKeepsTheOldValue) {
    auto t = Db.OpenTable("ITEMS");
    t->Edit();
    EXPECT_THROW(t->FieldByName("CODE")->SetAsString("ten"), EConvertError);
    EXPECT_THROW(t->FieldByName("CODE")->SetValue(Variant(int64_t(1) << 40)), EConvertError);
    EXPECT_EQ(t->FieldByName("CODE")->GetAsInteger(), 10);
    EXPECT_FALSE(t->Modified());
    t->FieldByName("CODE")->SetReadOnly(true);
    EXPECT_THROW(t->FieldByName("CODE")->SetAsInteger(11), EDatabaseError);
    EXPECT_FALSE(t->FieldByName("CODE")->CanModify());
    t->Cancel();
}

TEST_F(Faults, AnEngineErrorCarriesTheEnginesMessage) {
    TQuery q(nullptr);
    q.SetDatabase(&Db.Database());
    q.GetSQL()->SetText("SELECT NOPE FROM ITEMS");
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        // Each engine words it its own way, naming the column.
        EXPECT_NE(UpperCase(e.what()).find("COLUMN"), std::string::npos) << e.what();
        EXPECT_NE(UpperCase(e.what()).find("NOPE"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(q.GetActive());
}

TEST(SharedFile, AnotherConnectionsChangesAppearAfterRefreshOrTheNextRange) {
    TTestDatabase db(TStorage::TempFile);
    auto t = db.OpenTable("ORGANIZATION", "PARENT_ID");
    TDatabase other(nullptr);
    other.SetDatabaseName(db.FileName());
    other.Open();

    ASSERT_TRUE(t->Locate("ID", Variant(3)));
    other.Execute("UPDATE ORGANIZATION SET NAME = 'Northern' WHERE ID = 3");
    t->Refresh();
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Northern");

    other.Execute("INSERT INTO ORGANIZATION VALUES (9, 2, 'West', 1, 1)");
    t->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_EQ(t->RecordCount(), 3);
    t->Last();
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "West");

    // A record another connection deletes, then replaces under the same row id, is not the
    // record an old bookmark named.
    TBookmark west = t->GetBookmark();
    other.Execute("DELETE FROM ORGANIZATION WHERE ID = 9; INSERT INTO ORGANIZATION VALUES (9, 2, "
                  "'Impostor', 1, 1)");
    EXPECT_FALSE(t->BookmarkValid(west));
    t->Refresh();
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Impostor");
}

TEST(SharedFile, ATableMayOpenItsOwnConnectionByFileName) {
    TTestDatabase db(TStorage::TempFile);
    TTable t(nullptr);
    t.SetDatabaseName(db.FileName());
    t.SetTableName("ITEMS");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);
    t.Edit();
    t.FieldByName("NAME")->SetAsString("Own");
    t.Post();
    EXPECT_EQ(db.Scalar("SELECT NAME FROM ITEMS WHERE ID = 1").AsString(), "Own");
}

} // namespace
