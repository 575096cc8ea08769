// An equality range applied in one step (TTable::ApplyEqualRange) against the same range entered
// field by field (SetRangeStart, the writes, SetKeyFieldCount, SetRangeEnd, ..., ApplyRange): the
// same records, key buffers, state and scroll events, and a value that does not fit changes
// nothing.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace orvel;
using namespace orvel::test;

namespace {

constexpr const char* kOwnerIndex = "OWNER_ORIGIN_ID;OWNER_OBJECT_ID";
constexpr const char* kOwnerLinks = "OWNER_ORIGIN_ID;OWNER_OBJECT_ID;";

// Objects under a few owners, Null owner fields among them.
void FillObjects(TTestDatabase& db) {
    db.Execute("DELETE FROM OBJECTS");
    auto stmt =
        db.Database().Connection().Prepare("INSERT INTO OBJECTS VALUES (?, ?, ?, ?, ?, 0, 0)");
    for (int i = 0; i < 40; ++i) {
        stmt->BindInt64(0, 1 + i / 20);
        stmt->BindInt64(1, i);
        if (i % 7 == 0)
            stmt->BindNull(2);
        else
            stmt->BindInt64(2, i % 3);
        if (i % 5 == 0)
            stmt->BindNull(3);
        else
            stmt->BindInt64(3, i % 2);
        stmt->BindText(4, "Object " + std::to_string(i));
        stmt->Step();
        stmt->Reset();
    }
}

bool SameTextOf(const std::vector<Variant>& a, const std::vector<Variant>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (VarToStr(a[i]) != VarToStr(b[i]) || a[i].IsNull() != b[i].IsNull()) return false;
    return true;
}

std::string Walk(TTable& t) {
    std::string keys;
    for (t.First(); !t.Eof(); t.Next())
        keys += t.FieldByName("NAME")->GetAsString() + ";";
    return keys;
}

// The key buffers' counts and their index fields' values, as text.
std::string Buffers(TTable& t) {
    std::string text;
    for (TKeyIndex k : {TKeyIndex::kiRangeStart, TKeyIndex::kiRangeEnd, TKeyIndex::kiCurRangeStart,
                        TKeyIndex::kiCurRangeEnd}) {
        const TKeyBuffer* b = t.GetKeyBuffer(k);
        text += std::to_string(b->FieldCount) + (b->Modified ? "m" : "") + "[";
        for (int i = 0; i < t.IndexFieldCount(); ++i) {
            const Variant& v = b->Values[static_cast<std::size_t>(t.IndexFields(i)->FieldNo())];
            text += v.IsNull() ? "null" : v.AsString() + "/" + std::to_string(v.VarType());
            text += " ";
        }
        text += "] ";
    }
    return text;
}

class EqualRange : public ::testing::Test {
protected:
    void SetUp() override {
        FillObjects(Db);
        entered = Db.OpenTable("OBJECTS", kOwnerIndex);
        direct = Db.OpenTable("OBJECTS", kOwnerIndex);
        for (TTable* t : {entered.get(), direct.get()}) {
            t->SetBeforeScroll([this, t](TDataSet*) { events[t] += "B"; });
            t->SetAfterScroll([this, t](TDataSet*) { events[t] += "A"; });
        }
    }

    void EnterRange(TTable& t, const Variant& key, int count) {
        t.SetRangeStart();
        t.SetFieldValue(kOwnerLinks, key);
        t.SetKeyFieldCount(count);
        t.SetRangeEnd();
        t.SetFieldValue(kOwnerLinks, key);
        t.SetKeyFieldCount(count);
        t.ApplyRange();
    }

    TTestDatabase Db;
    TOwned<TTable> entered, direct;
    std::map<TTable*, std::string> events;
};

TEST_F(EqualRange, GivesWhatEnteringTheRangeFieldByFieldGives) {
    struct TCase {
        Variant Key;
        int Count;
        std::string Where; // the same records, as the engine selects them
    };
    std::vector<TCase> cases = {
        {VarArrayOf({Variant(1), Variant(1)}), 2, "OWNER_ORIGIN_ID = 1 AND OWNER_OBJECT_ID = 1"},
        {VarArrayOf({Variant(2), Variant::Null()}), 2,
         "OWNER_ORIGIN_ID = 2 AND OWNER_OBJECT_ID IS NULL"},
        {VarArrayOf({Variant::Null(), Variant::Null()}), 2,
         "OWNER_ORIGIN_ID IS NULL AND OWNER_OBJECT_ID IS NULL"},
        // Only the first field takes part.
        {VarArrayOf({Variant(0), Variant(7)}), 1, "OWNER_ORIGIN_ID = 0"},
        {VarArrayOf({Variant(9), Variant(9)}), 2, "OWNER_ORIGIN_ID = 9"}, // no such owner
        // Values of other types are stored as their fields store them.
        {VarArrayOf({Variant(std::string("1")), Variant(int64_t{0})}), 2,
         "OWNER_ORIGIN_ID = 1 AND OWNER_OBJECT_ID = 0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(VarToStr(c.Key[0]) + "," + VarToStr(c.Key[1]) + " count " +
                     std::to_string(c.Count));
        events.clear();
        EnterRange(*entered, c.Key, c.Count);
        direct->ApplyEqualRange(kOwnerLinks, c.Key, c.Count);
        EXPECT_EQ(events[direct.get()], events[entered.get()]);
        EXPECT_EQ(direct->State(), dsBrowse);
        EXPECT_TRUE(direct->RangeApplied());
        EXPECT_EQ(Buffers(*direct), Buffers(*entered));
        EXPECT_EQ(Walk(*direct), Walk(*entered));
        EXPECT_EQ(direct->RecordCount(), entered->RecordCount());
        EXPECT_EQ(direct->RecordCount(),
                  Db.Scalar("SELECT COUNT(*) FROM OBJECTS WHERE " + c.Where).AsInt64());
    }
    // A bare name takes the value itself.
    entered->SetRange({Variant(2)}, {Variant(2)});
    direct->ApplyEqualRange("OWNER_ORIGIN_ID", Variant(2), 1);
    EXPECT_EQ(Walk(*direct), Walk(*entered));
    EXPECT_FALSE(Walk(*direct).empty());
}

TEST_F(EqualRange, AKeyThatDoesNotFitLeavesTheAppliedRangeAndTheStateAsTheyWere) {
    direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(1), Variant(1)}), 2);
    std::string before = Walk(*direct);
    ASSERT_FALSE(before.empty());
    auto expectUnchanged = [&] {
        EXPECT_EQ(direct->State(), dsBrowse);
        EXPECT_TRUE(direct->RangeApplied());
        EXPECT_EQ(Walk(*direct), before);
    };
    // A text that is no number, for an integer field.
    EXPECT_ANY_THROW(direct->ApplyEqualRange(
        kOwnerLinks, VarArrayOf({Variant(1), Variant(std::string("one"))}), 2));
    expectUnchanged();
    // A field that is not one of the index's.
    EXPECT_THROW(direct->ApplyEqualRange("NAME;", VarArrayOf({Variant(std::string("x"))}), 1),
                 EDatabaseError);
    expectUnchanged();
    // Fewer values than fields.
    EXPECT_ANY_THROW(direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(1)}), 2));
    expectUnchanged();
    // A closed table.
    direct->Close();
    EXPECT_THROW(direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(1), Variant(1)}), 2),
                 EDatabaseError);
}

// A range applied for a reader that reads it whole is read in one window: the same records with
// fewer engine calls than windows grown from a first record; a reader of the first record alone
// costs one window of one record, and an expectation does not carry over to the next range.
TEST_F(EqualRange, ARangeReadWholeComesInOneWindowWithTheSameRecords) {
    TSqlConnection& engine = Db.Database().Connection();
    // Only the first field takes part.
    const Variant owner = VarArrayOf({Variant(1), Variant(0)});
    const Variant other = VarArrayOf({Variant(2), Variant(0)});
    EnterRange(*entered, owner, 1);
    const std::string expected = Walk(*entered);
    const auto records = std::count(expected.begin(), expected.end(), ';');
    ASSERT_GE(records, 8);
    EnterRange(*entered, other, 1);
    const std::string otherFirst = entered->FieldByName("NAME")->GetAsString();

    // First records alone teach the table that ranges are read a record at a time.
    for (const Variant& key : {owner, other, owner, other}) {
        direct->ApplyEqualRange(kOwnerLinks, key, 1);
        ASSERT_FALSE(direct->Eof());
    }
    int64_t calls = engine.CallCount();
    direct->ApplyEqualRange(kOwnerLinks, owner, 1);
    EXPECT_EQ(Walk(*direct), expected);
    const int64_t grown = engine.CallCount() - calls;

    direct->ApplyEqualRange(kOwnerLinks, other, 1, 1);
    calls = engine.CallCount();
    direct->ApplyEqualRange(kOwnerLinks, owner, 1, 64);
    EXPECT_EQ(Walk(*direct), expected);
    const int64_t whole = engine.CallCount() - calls;
    EXPECT_LT(whole, grown);
    EXPECT_LE(whole, records + 2) << "one statement: a step per record and one for the end";

    calls = engine.CallCount();
    direct->ApplyEqualRange(kOwnerLinks, other, 1, 1);
    EXPECT_EQ(direct->FieldByName("NAME")->GetAsString(), otherFirst);
    EXPECT_LE(engine.CallCount() - calls, 2);
    // A range that fails leaves no expectation behind; the next one is read as before.
    EXPECT_ANY_THROW(direct->ApplyEqualRange(
        kOwnerLinks, VarArrayOf({Variant(1), Variant(std::string("one"))}), 2, 64));
    direct->ApplyEqualRange(kOwnerLinks, owner, 1);
    EXPECT_EQ(Walk(*direct), expected);
}

// A scan that enters more ranges than the table keeps windows of comes back to the window it
// began in without reading it again, while nothing was written; after a write it reads it.
TEST_F(EqualRange, AScanReturnsToTheWindowItBeganInWithoutTheEngine) {
    TSqlConnection& engine = Db.Database().Connection();
    direct->CancelRange();
    direct->DisableControls();
    direct->First();
    const std::string first = direct->FieldByName("NAME")->GetAsString();
    auto enterRanges = [&] {
        for (int origin : {0, 1, 2})
            for (int object : {0, 1}) {
                direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(origin), Variant(object)}),
                                        2);
                ASSERT_FALSE(direct->Eof());
            }
        direct->CancelRange();
    };
    enterRanges();
    int64_t calls = engine.CallCount();
    direct->First();
    EXPECT_EQ(engine.CallCount(), calls);
    EXPECT_EQ(direct->FieldByName("NAME")->GetAsString(), first);
    EXPECT_TRUE(direct->Bof());

    Db.Execute("UPDATE OBJECTS SET NAME = 'Renamed' WHERE NAME = '" + first + "'");
    enterRanges();
    calls = engine.CallCount();
    direct->First();
    EXPECT_GT(engine.CallCount(), calls);
    EXPECT_EQ(direct->FieldByName("NAME")->GetAsString(), "Renamed");
    direct->EnableControls();
}

// A list of one field (a tree's parent link) ranges sibling after sibling as entering each range
// does, whatever the key's type, after a range of two fields as well; a key that does not fit
// leaves the range before it.
TEST_F(EqualRange, AListOfOneFieldRangesSiblingAfterSiblingAsEnteringEachRangeDoes) {
    const std::vector<Variant> keys = {
        Variant(1),          Variant(2), Variant::Null(), Variant(std::string("1")),
        Variant(int64_t{2}), Variant(9), Variant(2.0)};
    // Two fields first: the second one's key value must not stay in the one-field range.
    EnterRange(*entered, VarArrayOf({Variant(1), Variant(1)}), 2);
    direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(1), Variant(1)}), 2);
    for (const Variant& key : keys) {
        SCOPED_TRACE(VarToStr(key) + "/" + std::to_string(key.VarType()));
        events.clear();
        entered->SetRangeStart();
        entered->SetFieldValue("OWNER_ORIGIN_ID", key);
        entered->SetKeyFieldCount(1);
        entered->SetRangeEnd();
        entered->SetFieldValue("OWNER_ORIGIN_ID", key);
        entered->SetKeyFieldCount(1);
        entered->ApplyRange();
        direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayOf({key}), 1);
        EXPECT_EQ(events[direct.get()], events[entered.get()]);
        EXPECT_EQ(Buffers(*direct), Buffers(*entered));
        // The applied keys: the range's first field only, the second stays Null.
        for (TKeyIndex k : {TKeyIndex::kiCurRangeStart, TKeyIndex::kiCurRangeEnd}) {
            const TKeyBuffer* b = direct->GetKeyBuffer(k);
            EXPECT_EQ(b->FieldCount, 1);
            EXPECT_TRUE(
                b->Values[static_cast<std::size_t>(direct->IndexFields(1)->FieldNo())].IsNull());
        }
        EXPECT_EQ(Walk(*direct), Walk(*entered));
        EXPECT_EQ(direct->RecordCount(), entered->RecordCount());
    }
    direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayOf({Variant(2)}), 1);
    const std::string before = Walk(*direct);
    ASSERT_FALSE(before.empty());
    EXPECT_ANY_THROW(
        direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayOf({Variant(std::string("two"))}), 1));
    EXPECT_EQ(direct->State(), dsBrowse);
    EXPECT_EQ(Walk(*direct), before);
    // An empty vector names no value for the field.
    EXPECT_ANY_THROW(
        direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayCreate({0, -1}, varVariant), 1));
    EXPECT_EQ(Walk(*direct), before);
}

// During a scan the table knows a range applied again by its keys: an equality range, a range
// from the same start to another end, Null keys and keys of one or two fields are each their own
// records, and a range entered again after a write shows the write.
TEST_F(EqualRange, RangesEnteredAgainDuringAScanShowTheirOwnRecordsAfterWritesToo) {
    struct TRange {
        std::vector<Variant> Start, End;
        std::string Where;
    };
    const std::vector<TRange> ranges = {
        {{Variant(1)}, {Variant(1)}, "OWNER_ORIGIN_ID = 1"},
        {{Variant(1)}, {Variant(2)}, "OWNER_ORIGIN_ID BETWEEN 1 AND 2"},
        {{Variant(1), Variant(1)},
         {Variant(1), Variant(1)},
         "OWNER_ORIGIN_ID = 1 AND OWNER_OBJECT_ID = 1"},
        {{Variant::Null()}, {Variant::Null()}, "OWNER_ORIGIN_ID IS NULL"},
        {{Variant(1), Variant::Null()},
         {Variant(1), Variant::Null()},
         "OWNER_ORIGIN_ID = 1 AND OWNER_OBJECT_ID IS NULL"},
        {{Variant(0)}, {Variant(1)}, "OWNER_ORIGIN_ID BETWEEN 0 AND 1"},
        {{Variant(0)}, {Variant(0)}, "OWNER_ORIGIN_ID = 0"},
    };
    auto apply = [&](const TRange& r) {
        if (r.Start.size() == 2 && SameTextOf(r.Start, r.End))
            direct->ApplyEqualRange(kOwnerLinks, VarArrayOf(r.Start), 2);
        else if (SameTextOf(r.Start, r.End))
            direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayOf(r.Start), 1);
        else
            direct->SetRange(r.Start, r.End);
    };
    auto expected = [&](const TRange& r) {
        std::string names;
        auto q = Db.OpenQuery("SELECT NAME FROM OBJECTS WHERE " + r.Where);
        for (; !q->Eof(); q->Next())
            names += q->FieldByName("NAME")->GetAsString() + ";";
        return names;
    };
    auto sorted = [](const std::string& names) {
        std::vector<std::string> parts;
        std::size_t from = 0;
        for (std::size_t at; (at = names.find(';', from)) != std::string::npos; from = at + 1)
            parts.push_back(names.substr(from, at - from));
        std::sort(parts.begin(), parts.end());
        std::string text;
        for (const std::string& p : parts)
            text += p + ";";
        return text;
    };
    auto walkAll = [&](const std::string& when) {
        // Each range, then the first again between it and the next (as a tree comes back to
        // its parent's range between two children's ranges).
        for (std::size_t i = 0; i < ranges.size(); ++i)
            for (std::size_t at : {i, std::size_t{0}}) {
                SCOPED_TRACE(when + ", range " + std::to_string(at) + ": " + ranges[at].Where);
                apply(ranges[at]);
                std::string names;
                for (; !direct->Eof(); direct->Next())
                    names += direct->FieldByName("NAME")->GetAsString() + ";";
                EXPECT_EQ(sorted(names), sorted(expected(ranges[at])));
            }
    };
    direct->DisableControls();
    walkAll("first pass");
    // Through the table, and behind its back.
    direct->ApplyEqualRange("OWNER_ORIGIN_ID;", VarArrayOf({Variant(1)}), 1);
    ASSERT_FALSE(direct->Eof());
    direct->Edit();
    direct->FieldByName("NAME")->SetAsString("Renamed through the table");
    direct->Post();
    walkAll("after a post");
    Db.Execute("UPDATE OBJECTS SET OWNER_OBJECT_ID = NULL WHERE OWNER_ORIGIN_ID = 1 AND "
               "OWNER_OBJECT_ID = 1");
    Db.Execute("UPDATE OBJECTS SET OWNER_ORIGIN_ID = 1 WHERE OWNER_ORIGIN_ID IS NULL");
    walkAll("after the engine's writes");
    direct->EnableControls();
}

TEST_F(EqualRange, APendingEditIsPostedFirstAsAKeyEntryPostsIt) {
    direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(1), Variant(1)}), 2);
    direct->Edit();
    direct->FieldByName("NAME")->SetAsString("Renamed");
    direct->ApplyEqualRange(kOwnerLinks, VarArrayOf({Variant(2), Variant(1)}), 2);
    EXPECT_EQ(direct->State(), dsBrowse);
    entered->CancelRange();
    EXPECT_TRUE(entered->Locate("NAME", Variant(std::string("Renamed"))));
}

} // namespace
