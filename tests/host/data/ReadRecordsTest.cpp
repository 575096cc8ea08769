// Bulk reads (TDataSet::ReadRecords): every record of the current range handed over in order
// with exactly what the field readers give when it is the current record, while the cursor stays
// where it is; and what a failing engine or visitor leaves behind.
#include "tests/host/data/RecordingLink.h"
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace orvel;
using namespace orvel::test;

namespace {

// What a reader sees of one record: each field's value with its type, null flag and text, and
// the record's bookmark.
std::string Describe(const Variant& value, bool null, const std::string& text) {
    return VarTypeName(value.VarType()) + ":" + VarToStr(value) + (null ? ":null" : "") + ":" +
           text;
}

std::string DescribeBookmark(const TBookmark& b) {
    return std::to_string(b.RowId) + "/" + std::to_string(b.Epoch) + "/" + std::to_string(b.Source);
}

std::vector<TField*> AllFields(TDataSet& ds) {
    std::vector<TField*> fields;
    for (int i = 0; i < ds.FieldCount(); ++i)
        fields.push_back(ds.Fields(i));
    return fields;
}

// The records as walking the cursor shows them; the cursor is put back on its record after.
std::vector<std::string> Walked(TDataSet& ds, const std::vector<TField*>& fields) {
    std::vector<std::string> rows;
    TBookmark at = ds.GetBookmark();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        std::string row = DescribeBookmark(ds.GetBookmark());
        for (TField* f : fields)
            row += "|" + Describe(f->GetValue(), f->IsNull(), f->GetAsString());
        rows.push_back(row);
    }
    if (!at.IsNull()) ds.GotoBookmark(at);
    return rows;
}

std::vector<std::string> Bulk(TDataSet& ds, const std::vector<TField*>& fields) {
    std::vector<std::string> rows;
    std::string text;
    ds.ReadRecords(fields, [&](const TRecordView& record) {
        std::string row = DescribeBookmark(record.Bookmark());
        for (TField* f : fields) {
            record.AsString(f, text);
            row += "|" + Describe(record.Value(f), record.IsNull(f), text);
        }
        rows.push_back(row);
    });
    return rows;
}

// Makes the n-th engine step from now fail once with the given message.
void FailStep(TSqlConnection& connection, int n, const std::string& message) {
    auto steps = std::make_shared<int>(0);
    connection.SetFaultHook(
        [steps, n, message](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
            if (call != TSqlCall::Step || ++*steps != n) return std::nullopt;
            return TSqlFault{10, message};
        });
}

class ReadRecords : public ::testing::Test {
protected:
    // Records 6..count of ITEMS beside the five of the fixture, every tenth without a name.
    void AddItems(int count) {
        Db.Execute("WITH RECURSIVE n(x) AS (SELECT 6 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                   std::to_string(count) +
                   ") INSERT INTO ITEMS (ID, CODE, NAME, STATUS_ID, PRICE) SELECT x, x * 10, "
                   "CASE WHEN x % 10 = 0 THEN NULL ELSE 'Item ' || x END, x % 4, x * 0.5 FROM n");
    }
    TSqlConnection& Engine() { return Db.Database().Connection(); }
    TTestDatabase Db;
};

TEST_F(ReadRecords, EveryKindOfValueReadsAsTheFieldReadersGiveIt) {
    // Nulls, Booleans, dates, doubles and texts, with the cursor on a record in the middle.
    auto items = Db.OpenTable("ITEMS");
    items->MoveBy(2);
    EXPECT_EQ(Bulk(*items, AllFields(*items)), Walked(*items, AllFields(*items)));
    // Fields asked for in any order, some twice: each reads as itself.
    std::vector<TField*> some = {items->FieldByName("PRICE"), items->FieldByName("ID"),
                                 items->FieldByName("PRICE")};
    EXPECT_EQ(Bulk(*items, some), Walked(*items, some));
    EXPECT_EQ(items->FieldByName("ID")->GetAsInteger(), 3);

    // A query holds its rows itself.
    auto query = Db.OpenQuery("SELECT ID, NAME, PRICE, ACTIVE FROM ITEMS ORDER BY CODE DESC");
    EXPECT_EQ(Bulk(*query, AllFields(*query)), Walked(*query, AllFields(*query)));
}

TEST_F(ReadRecords, RangesOrdersAndEveryKindOfKeyGiveTheRecordsOfTheCursor) {
    // An equality range and a range between two keys, over an index with Null values.
    auto org = Db.OpenTable("ORGANIZATION", "PARENT_ID");
    org->SetRange({Variant(2)}, {Variant(2)});
    auto fields = AllFields(*org);
    EXPECT_EQ(Bulk(*org, fields).size(), 2u);
    EXPECT_EQ(Bulk(*org, fields), Walked(*org, fields));
    org->SetRange({Variant(1)}, {Variant(5)});
    EXPECT_EQ(Bulk(*org, fields), Walked(*org, fields));
    org->CancelRange();
    EXPECT_EQ(Bulk(*org, fields).size(), 8u);
    EXPECT_EQ(Bulk(*org, fields), Walked(*org, fields));
    // An empty range hands nothing over.
    org->SetRange({Variant(99)}, {Variant(99)});
    EXPECT_TRUE(Bulk(*org, fields).empty());

    // Two-field keys, a text key beside the row id, and a table without row id: the records are
    // named (and bookmarked) by their keys.
    for (const char* name : {"OBJECTS", "DIVISIONS", "PLACES"}) {
        auto t = Db.OpenTable(name, "NAME");
        auto all = AllFields(*t);
        std::vector<std::string> bulk = Bulk(*t, all);
        EXPECT_EQ(bulk.size(), static_cast<std::size_t>(Db.Count(name))) << name;
        EXPECT_EQ(bulk, Walked(*t, all)) << name;
        // Only the name asked for: the key is read all the same to name the records.
        std::vector<TField*> one = {t->FieldByName("NAME")};
        EXPECT_EQ(Bulk(*t, one), Walked(*t, one)) << name;
    }
}

TEST_F(ReadRecords, ALargeTableReadsWholeInFewRoundTrips) {
    AddItems(5000);
    auto items = Db.OpenTable("ITEMS", "STATUS_ID");
    auto fields = AllFields(*items);
    int64_t before = Engine().RoundTrips();
    std::vector<std::string> bulk = Bulk(*items, fields);
    int64_t trips = Engine().RoundTrips() - before;
    EXPECT_EQ(bulk.size(), 5000u);
    EXPECT_EQ(bulk, Walked(*items, fields));
    EXPECT_LE(trips, 3) << "a statement prepared and run once";
    // A query's rows come through windows of growing size.
    auto query = Db.OpenQuery("SELECT ID, NAME FROM ITEMS ORDER BY ID DESC");
    EXPECT_EQ(Bulk(*query, AllFields(*query)), Walked(*query, AllFields(*query)));
}

TEST_F(ReadRecords, TheCursorStaysAndNoOneIsToldOfTheRecordsRead) {
    auto items = Db.OpenTable("ITEMS");
    items->MoveBy(3);
    TLog log;
    RecordEvents(*items, log);
    TDataSource source(nullptr);
    source.SetDataSet(items.get());
    TRecordingLink link(log);
    link.SetDataSource(&source);
    log.clear();
    int seen = 0;
    items->ReadRecords({items->FieldByName("NAME")}, [&](const TRecordView&) { ++seen; });
    EXPECT_EQ(seen, 5);
    // The links hear the browse-mode check a move would give them, and nothing else.
    EXPECT_EQ(log, TLog{"CheckBrowseMode"});
    EXPECT_EQ(items->FieldByName("ID")->GetAsInteger(), 4);
    EXPECT_FALSE(items->Bof());
    EXPECT_FALSE(items->Eof());
    link.SetDataSource(nullptr);
}

TEST_F(ReadRecords, APendingEditIsPostedFirstAndOtherDatasetsFieldsAreRefused) {
    auto items = Db.OpenTable("ITEMS");
    items->MoveBy(2);
    items->Edit();
    items->FieldByName("NAME")->SetAsString("Edited");
    std::vector<std::string> names;
    items->ReadRecords({items->FieldByName("NAME")}, [&](const TRecordView& record) {
        names.push_back(record.Value(items->FieldByName("NAME")).AsString());
    });
    EXPECT_EQ(items->State(), dsBrowse);
    EXPECT_EQ(names, (std::vector<std::string>{"Item 1", "Item 2", "Edited", "Item 4", "Item 5"}));

    auto other = Db.OpenTable("ITEMS");
    int seen = 0;
    EXPECT_THROW(
        items->ReadRecords({other->FieldByName("NAME")}, [&](const TRecordView&) { ++seen; }),
        EDatabaseError);
    EXPECT_EQ(seen, 0);
    items->Close();
    EXPECT_THROW(items->ReadRecords({}, [&](const TRecordView&) { ++seen; }), EDatabaseError);
}

TEST_F(ReadRecords, AFailingStepOrVisitorEndsTheReadAndTheNextOneReadsEverything) {
    auto items = Db.OpenTable("ITEMS");
    items->MoveBy(1);
    std::vector<TField*> name = {items->FieldByName("NAME")};
    for (bool engineFails : {true, false}) {
        std::vector<std::string> read;
        if (engineFails) FailStep(Engine(), 3, "disk I/O error");
        try {
            items->ReadRecords(name, [&](const TRecordView& record) {
                if (!engineFails && read.size() == 2) throw std::runtime_error("visitor failed");
                read.push_back(record.Value(name[0]).AsString());
            });
            FAIL() << "the read succeeded";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(engineFails);
            EXPECT_STREQ(e.what(), "disk I/O error");
        } catch (const std::runtime_error&) {
            EXPECT_FALSE(engineFails);
        }
        Engine().SetFaultHook(nullptr);
        EXPECT_EQ(read, (std::vector<std::string>{"Item 1", "Item 2"}));
        EXPECT_EQ(items->FieldByName("ID")->GetAsInteger(), 2) << "the cursor is where it was";
        EXPECT_EQ(Bulk(*items, name), Walked(*items, name));
    }
}

TEST_F(ReadRecords, AReadInsideAnotherReadsTheWholeRangeAsWell) {
    auto items = Db.OpenTable("ITEMS");
    std::vector<TField*> id = {items->FieldByName("ID")};
    int outer = 0, inner = 0;
    items->ReadRecords(id, [&](const TRecordView&) {
        ++outer;
        if (outer == 2) items->ReadRecords(id, [&](const TRecordView&) { ++inner; });
    });
    EXPECT_EQ(outer, 5);
    EXPECT_EQ(inner, 5);
}

} // namespace
