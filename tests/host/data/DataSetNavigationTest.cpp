// Moving through tables in index order, key ranges (Null included), locating records and
// bookmarks, always checked against what the engine itself answers.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <random>

using namespace orvel;
using namespace orvel::test;

namespace {

// The objects' keys (origin * 1000 + object) in the engine's own order for a query.
std::vector<int64_t> EngineOrder(TTestDatabase& db, const std::string& sql) {
    std::vector<int64_t> ids;
    auto stmt = db.Database().Connection().Prepare(sql);
    while (stmt->Step())
        ids.push_back(stmt->ColumnInt64(0));
    return ids;
}

// The current object's key as one number.
int64_t ObjectKey(const TTable& t) {
    return t.FieldByName("ORIGIN_ID")->GetAsInteger() * 1000 +
           t.FieldByName("OBJECT_ID")->GetAsInteger();
}

// Keys met walking the dataset forward, then backward (reversed back into order).
std::vector<int64_t> WalkForward(TTable& t) {
    std::vector<int64_t> ids;
    for (t.First(); !t.Eof(); t.Next())
        ids.push_back(ObjectKey(t));
    return ids;
}
std::vector<int64_t> WalkBackward(TTable& t) {
    std::vector<int64_t> ids;
    for (t.Last(); !t.Bof(); t.Prior())
        ids.insert(ids.begin(), ObjectKey(t));
    return ids;
}

// Three hundred objects owned by a few owners, with null owner fields among them, so that walks
// cross many windows and every level of a two-field index key.
void FillManyObjects(TTestDatabase& db) {
    db.Execute("DELETE FROM OBJECTS");
    std::mt19937 random(42);
    auto stmt =
        db.Database().Connection().Prepare("INSERT INTO OBJECTS VALUES (?, ?, ?, ?, ?, 0, 0)");
    for (int i = 0; i < 300; ++i) {
        stmt->BindInt64(0, 1 + i / 100);
        stmt->BindInt64(1, i);
        int a = static_cast<int>(random() % 5), b = static_cast<int>(random() % 4);
        if (a == 0)
            stmt->BindNull(2);
        else
            stmt->BindInt64(2, a);
        if (b == 0)
            stmt->BindNull(3);
        else
            stmt->BindInt64(3, b);
        stmt->BindText(4, "Object " + std::to_string(i));
        stmt->Step();
        stmt->Reset();
    }
}

class Navigation : public ::testing::Test {
protected:
    TTestDatabase Db;
};

TEST_F(Navigation, WalksFollowTheEngineOrderOfTheIndexWithNullsFirstAcrossManyWindows) {
    FillManyObjects(Db);
    auto t = Db.OpenTable("OBJECTS", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    // The key breaks ties between records of one owner.
    auto order = EngineOrder(Db, "SELECT ORIGIN_ID * 1000 + OBJECT_ID FROM OBJECTS ORDER BY "
                                 "OWNER_ORIGIN_ID NULLS FIRST, OWNER_OBJECT_ID NULLS FIRST, "
                                 "ORIGIN_ID, OBJECT_ID");
    ASSERT_EQ(order.size(), 300u);
    EXPECT_EQ(WalkForward(*t), order);
    EXPECT_EQ(WalkBackward(*t), order);

    // Back and forth in the middle, across window edges.
    t->First();
    EXPECT_EQ(t->MoveBy(150), 150);
    EXPECT_EQ(t->MoveBy(-100), -100);
    EXPECT_EQ(ObjectKey(*t), order[50]);
    EXPECT_EQ(t->MoveBy(1000), 249);
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(ObjectKey(*t), order.back());
}

TEST_F(Navigation, RangesKeepExactlyTheRecordsTheEngineFindsInTheSameOrder) {
    FillManyObjects(Db);
    auto t = Db.OpenTable("OBJECTS", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    struct TCase {
        std::vector<Variant> Start, End;
        std::string Where;
    };
    std::vector<TCase> cases = {
        {{Variant(2)}, {Variant(2)}, "OWNER_ORIGIN_ID = 2"},
        {{Variant::Null()}, {Variant::Null()}, "OWNER_ORIGIN_ID IS NULL"},
        {{Variant(3), Variant::Null()},
         {Variant(3), Variant::Null()},
         "OWNER_ORIGIN_ID = 3 AND OWNER_OBJECT_ID IS NULL"},
        {{Variant(1), Variant(2)},
         {Variant(1), Variant(2)},
         "OWNER_ORIGIN_ID = 1 AND OWNER_OBJECT_ID = 2"},
        {{Variant(2)}, {Variant(3)}, "OWNER_ORIGIN_ID BETWEEN 2 AND 3"},
        {{Variant::Null()}, {Variant(1)}, "OWNER_ORIGIN_ID IS NULL OR OWNER_ORIGIN_ID <= 1"},
        {{Variant(2), Variant(3)},
         {Variant(4), Variant::Null()},
         "(OWNER_ORIGIN_ID = 2 AND OWNER_OBJECT_ID >= 3) OR OWNER_ORIGIN_ID = 3 OR "
         "(OWNER_ORIGIN_ID = 4 AND OWNER_OBJECT_ID IS NULL)"},
    };
    for (const TCase& c : cases) {
        t->SetRange(c.Start, c.End);
        auto order =
            EngineOrder(Db, "SELECT ORIGIN_ID * 1000 + OBJECT_ID FROM OBJECTS WHERE " + c.Where +
                                " ORDER BY OWNER_ORIGIN_ID NULLS FIRST, OWNER_OBJECT_ID "
                                "NULLS FIRST, ORIGIN_ID, OBJECT_ID");
        EXPECT_FALSE(order.empty()) << c.Where;
        EXPECT_EQ(WalkForward(*t), order) << c.Where;
        EXPECT_EQ(WalkBackward(*t), order) << c.Where;
        EXPECT_EQ(t->RecordCount(), static_cast<int64_t>(order.size())) << c.Where;
    }
    t->CancelRange();
    EXPECT_EQ(t->RecordCount(), 300);
}

TEST_F(Navigation, TheTreesRangeOnNullParentsGivesTheTopLevelInIndexOrder) {
    auto t = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    t->DisableControls();
    t->SetRangeStart();
    t->SetFieldValue("PARENT_ID;", VarArrayOf({Variant::Null()}));
    t->SetKeyFieldCount(1);
    t->SetRangeEnd();
    t->SetFieldValue("PARENT_ID;", VarArrayOf({Variant::Null()}));
    t->SetKeyFieldCount(1);
    t->ApplyRange();
    t->EnableControls();
    std::vector<std::string> names;
    for (; !t->Eof(); t->Next())
        names.push_back(t->FieldByName("NAME")->GetAsString());
    EXPECT_EQ(names, (std::vector<std::string>{"Head office", "Branch office"}));

    t->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "North");
    EXPECT_TRUE(t->Bof());
    t->SetRange({Variant(4)}, {Variant(4)}); // a record without children
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_TRUE(t->Bof() && t->Eof());
}

TEST_F(Navigation, OnlyIndexFieldsTakeRangeKeys) {
    auto t = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    t->SetRangeStart();
    EXPECT_THROW(t->FieldByName("NAME")->SetAsString("x"), EDatabaseError);
    EXPECT_EQ(t->GetKeyFieldCount(), 0);
    t->Cancel();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_FALSE(t->RangeApplied());
}

TEST_F(Navigation, EditingOrInsertingEndsAKeyEntryFirst) {
    auto t = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    t->SetRange({Variant(4)}, {Variant(4)});
    t->SetRangeStart();
    t->Edit(); // nothing in the range: an insert
    EXPECT_EQ(t->State(), dsInsert);
    t->Cancel();
    t->CancelRange();
    t->SetRangeStart();
    t->Edit();
    EXPECT_EQ(t->State(), dsEdit);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Head office");
    t->Cancel();
}

TEST_F(Navigation, AnEmptyTableHasBothStartAndEndOfData) {
    Db.Execute("DELETE FROM ITEMS");
    auto t = Db.OpenTable("ITEMS");
    EXPECT_TRUE(t->Bof() && t->Eof() && t->IsEmpty());
    t->Next();
    t->Prior();
    t->Last();
    EXPECT_TRUE(t->Bof() && t->Eof());
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_TRUE(t->FieldByName("NAME")->IsNull());
    EXPECT_TRUE(t->GetBookmark().IsNull());
}

TEST_F(Navigation, LocateFindsExactValuesAndNullsWithinTheRange) {
    auto t = Db.OpenTable("OBJECTS", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    EXPECT_TRUE(t->Locate("ORIGIN_ID;OBJECT_ID", VarArrayOf({Variant(2), Variant(3)})));
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Epsilon");
    EXPECT_TRUE(t->Locate("STATUS_ID", Variant::Null()));
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Delta");
    EXPECT_TRUE(
        t->Locate("NAME", VarArrayOf({Variant("Beta")}))); // one key field given as a vector
    EXPECT_EQ(t->FieldByName("OBJECT_ID")->GetAsInteger(), 2);
    EXPECT_FALSE(t->Locate("NAME", Variant("beta")));
    EXPECT_TRUE(t->Locate("NAME", Variant("beta"), loCaseInsensitive));
    EXPECT_TRUE(t->Locate("NAME", Variant("Eps"), loPartialKey));
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Epsilon");
    EXPECT_FALSE(t->Locate("CLASS_ID", Variant("not a number")));
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Epsilon");

    t->SetRange({Variant(1), Variant(1)}, {Variant(1), Variant(1)});
    EXPECT_FALSE(t->Locate("NAME", Variant("Alpha"))); // outside the range
    EXPECT_TRUE(t->Locate("NAME", Variant("Delta")));
    EXPECT_THROW(t->Locate("NOPE", Variant(1)), EDatabaseError);
}

TEST_F(Navigation, ABookmarkIsValidOnlyForItsOwnExistingVisibleRecord) {
    auto t = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    ASSERT_TRUE(t->Locate("ID", Variant(8)));
    TBookmark depot = t->GetBookmark();
    ASSERT_TRUE(t->Locate("ID", Variant(3)));
    TBookmark north = t->GetBookmark();
    EXPECT_TRUE(t->BookmarkValid(depot));
    t->GotoBookmark(depot);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Depot");

    t->SetRange({Variant(2)}, {Variant(2)}); // Depot is outside
    EXPECT_FALSE(t->BookmarkValid(depot));
    EXPECT_THROW(t->GotoBookmark(depot), EDatabaseError);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "North");
    t->CancelRange();

    // Deleted, then the row id used again by another record: still invalid.
    t->GotoBookmark(depot);
    t->Delete();
    EXPECT_FALSE(t->BookmarkValid(depot));
    Db.Execute("INSERT INTO ORGANIZATION VALUES (8, 7, 'Warehouse', 1, 1)");
    t->Refresh();
    EXPECT_FALSE(t->BookmarkValid(depot));
    EXPECT_THROW(t->GotoBookmark(depot), EDatabaseError);
    ASSERT_TRUE(t->Locate("ID", Variant(8)));
    EXPECT_TRUE(t->BookmarkValid(t->GetBookmark())); // the new record's own bookmark

    // A bookmark of another table, a null one and one freed.
    auto items = Db.OpenTable("ITEMS");
    EXPECT_FALSE(t->BookmarkValid(items->GetBookmark()));
    EXPECT_FALSE(t->BookmarkValid(TBookmark()));
    t->FreeBookmark(north);
    EXPECT_TRUE(north.IsNull());
}

TEST_F(Navigation, ChangingTheKeyOfARecordEndsItsOldBookmarks) {
    auto t = Db.OpenTable("ORGANIZATION");
    ASSERT_TRUE(t->Locate("ID", Variant(6)));
    TBookmark old = t->GetBookmark();
    t->Edit();
    t->FieldByName("ID")->SetAsInteger(60);
    t->Post();
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Research");
    EXPECT_FALSE(t->BookmarkValid(old));
    Db.Execute("INSERT INTO ORGANIZATION VALUES (6, 1, 'Impostor', 1, 1)");
    EXPECT_FALSE(t->BookmarkValid(old));
    EXPECT_TRUE(t->BookmarkValid(t->GetBookmark()));
}

TEST_F(Navigation, FieldValueListsGiveAndTakeZeroBasedArrays) {
    auto t = Db.OpenTable("OBJECTS", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    Variant key = t->GetFieldValue("ORIGIN_ID;OBJECT_ID;");
    ASSERT_TRUE(key.IsArray());
    EXPECT_EQ(VarArrayLowBound(key, 1), 0);
    EXPECT_EQ(VarArrayHighBound(key, 1), 1);
    EXPECT_EQ(key[0].VarType(), varInteger);
    Variant one = t->GetFieldValue("NAME;");
    EXPECT_EQ(VarArrayHighBound(one, 1), 0);
    EXPECT_EQ(one[0].AsString(), "Alpha");
    EXPECT_EQ(t->GetFieldValue(" NAME ").AsString(), "Alpha");
    EXPECT_EQ(VarArrayHighBound(t->GetFieldValue(";"), 1), -1);

    t->Edit();
    t->SetFieldValue("STATUS_ID;CLASS_ID", VarArrayOf({Variant(7), Variant(8)}));
    EXPECT_EQ(t->FieldByName("CLASS_ID")->GetAsInteger(), 8);
    // Nothing is written when any name or value is wrong.
    EXPECT_THROW(t->SetFieldValue("STATUS_ID;NOPE", VarArrayOf({Variant(1), Variant(2)})),
                 EDatabaseError);
    EXPECT_THROW(t->SetFieldValue("STATUS_ID;CLASS_ID", VarArrayOf({Variant(1), Variant("x")})),
                 EConvertError);
    EXPECT_EQ(t->FieldByName("STATUS_ID")->GetAsInteger(), 7);
    t->Post();
    EXPECT_EQ(
        Db.Scalar("SELECT CLASS_ID FROM OBJECTS WHERE ORIGIN_ID = 1 AND OBJECT_ID = 1").AsInteger(),
        8);
}

// A list of names read again after the table was closed and opened on another table names the
// fields of the new one.
TEST_F(Navigation, FieldValueListsFollowTheFieldsAcrossReopening) {
    auto t = Db.OpenTable("OBJECTS", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    EXPECT_EQ(t->GetFieldValue("NAME;STATUS_ID")[0].AsString(), "Alpha");
    t->Close();
    t->SetTableName("ORGANIZATION");
    t->SetIndexFieldNames("PARENT_ID");
    t->Open();
    ASSERT_TRUE(t->Locate("ID", Variant(1)));
    Variant values = t->GetFieldValue("NAME;STATUS_ID");
    EXPECT_EQ(values[0].AsString(), t->FieldByName("NAME")->GetAsString());
    EXPECT_EQ(values[1].AsInteger(), t->FieldByName("STATUS_ID")->GetAsInteger());
    t->Close();
    t->SetTableName("OBJECTS");
    t->SetIndexFieldNames("");
    t->Open();
    EXPECT_THROW(t->GetFieldValue("NAME;PARENT_ID"), EDatabaseError);
}

} // namespace

namespace {

// Inside a scan, a bookmark of a record the scan has read (in a range left since) is checked and
// reached without the engine while no range limits the cursor; under a range, or after a write,
// the engine is asked again.
TEST(ScanBookmarks, ARecordReadInTheScanIsCheckedWithoutTheEngineWhileNoRangeLimitsTheCursor) {
    TTestDatabase db;
    auto t = db.OpenTable("ORGANIZATION", "PARENT_ID");
    TSqlConnection& connection = db.Database().Connection();
    t->DisableControls();
    t->SetRange({Variant(2)}, {Variant(2)});
    ASSERT_TRUE(t->Locate("NAME", Variant("South")));
    TBookmark south = t->GetBookmark();
    t->CancelRange();
    t->First();
    int64_t calls = connection.CallCount();
    EXPECT_TRUE(t->BookmarkValid(south));
    t->GotoBookmark(south);
    EXPECT_EQ(connection.CallCount(), calls);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "South");

    // The record is not among those of another range: the engine tells.
    t->SetRange({Variant(5)}, {Variant(5)});
    EXPECT_FALSE(t->BookmarkValid(south));
    t->CancelRange();

    db.Execute("UPDATE ORGANIZATION SET NAME = 'Southern' WHERE ID = 4");
    calls = connection.CallCount();
    EXPECT_TRUE(t->BookmarkValid(south));
    EXPECT_GT(connection.CallCount(), calls);
    t->GotoBookmark(south);
    EXPECT_EQ(t->FieldByName("NAME")->GetAsString(), "Southern");

    db.Execute("DELETE FROM ORGANIZATION WHERE ID = 4");
    EXPECT_FALSE(t->BookmarkValid(south));
    t->EnableControls();
}

} // namespace
