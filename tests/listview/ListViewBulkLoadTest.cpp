// Loading in bulk: a list loaded without making each record current shows exactly the items,
// texts, keys and bookmarks of one loaded record by record, leaves the cursor and tells the
// links and handlers exactly as that load does; handlers that watch the dataset during a load
// get the record-by-record load; and a read failing half way leaves list and dataset sound.
#include "tests/host/data/RecordingLink.h"
#include "tests/listview/ListViewFixture.h"

#include "orvel/host/core/Exceptions.h"

#include <memory>

namespace orvel::test {
namespace {

std::string DescribeKey(const Variant& key) {
    std::string text = "[";
    for (int32_t i = VarArrayLowBound(key, 1); i <= VarArrayHighBound(key, 1); ++i)
        text += VarTypeName(key[i].VarType()) + ":" + VarToStr(key[i]) + ";";
    return text + "]";
}

// Everything a load leaves for the view's users to see.
struct TLoaded {
    std::vector<std::string> Items;
    std::string LastKey;
    int KeyFieldsCount = 0;
    TLog Log;
    std::string Cursor;

    friend bool operator==(const TLoaded&, const TLoaded&) = default;
};

void PrintTo(const TLoaded& l, std::ostream* os) {
    *os << l.Items.size() << " items";
    for (std::size_t i = 0; i < l.Items.size() && i < 8; ++i)
        *os << "\n  " << l.Items[i];
    *os << "\n  last key " << l.LastKey << ", cursor " << l.Cursor << ", log";
    for (const std::string& s : l.Log)
        *os << " " << s;
}

class DBListBulkLoad : public ListViewFixture {
protected:
    // Loads a fresh view over ds (the fixture's view is unbound), in bulk unless recordByRecord,
    // which an item set-up handler that does nothing brings about.
    TLoaded Load(TDataSet& ds, bool recordByRecord, const std::string& keys = "ID",
                 const std::string& columns = "CODE;NAME;PRICE;ACTIVE;CREATED;FLAGS") {
        lv->SetDataSource(nullptr);
        TDataSource* viewSource = new TDataSource(&form->Form());
        viewSource->SetDataSet(&ds);
        TDataSource* watchSource = new TDataSource(&form->Form());
        watchSource->SetDataSet(&ds);
        TLoaded loaded;
        TRecordingLink watcher(loaded.Log, "link ");
        watcher.SetDataSource(watchSource);
        TDBListView* view = MakeView(10, 220, false);
        view->SetKeyFields(keys);
        view->SetColumnsFields(columns);
        if (recordByRecord) view->SetOnItemSetup([](TObject*, TListItem*, TDataSet*) {});
        view->SetBeforeItemsLoading([&](TObject*) { loaded.Log.push_back("before loading"); });
        view->SetAfterItemsLoading([&](TObject*) { loaded.Log.push_back("after loading"); });
        view->SetDataSource(viewSource);
        loaded.Log.clear();
        int64_t trips = db->Database().Connection().RoundTrips();
        run_messages();
        LoadTrips = db->Database().Connection().RoundTrips() - trips;
        EXPECT_TRUE(Application().ShownErrors.empty());
        for (int i = 0; i < view->Items()->Count(); ++i) {
            auto* item = static_cast<TDBListItem*>(view->Items()->Item(i));
            std::string text = item->Caption() + "|" + DescribeKey(item->GetID()) + "|" +
                               std::to_string(item->StateIndex()) + "|" +
                               std::to_string(item->ImageIndex()) + "|" +
                               std::to_string(item->GetBookMark().RowId) + "/" +
                               std::to_string(item->GetBookMark().Epoch) + "/" +
                               std::to_string(item->GetBookMark().Source) + "|" +
                               std::to_string(ds.BookmarkValid(item->GetBookMark()));
            for (const std::string& column : item->SubItems()->ToVector())
                text += "|" + column;
            loaded.Items.push_back(text);
        }
        loaded.LastKey = view->LastKey().IsArray() ? DescribeKey(view->LastKey()) : "";
        loaded.KeyFieldsCount = view->GetKeyFieldsCount();
        loaded.Cursor = CursorOf(ds);
        watcher.SetDataSource(nullptr);
        loaded.Log.push_back(view->ItemFocused() ? "focus " + view->ItemFocused()->Caption()
                                                 : "no focus");
        EXPECT_EQ(view->LockCount(), 0);
        EXPECT_FALSE(ds.ControlsDisabled());
        view->Free();
        viewSource->Free();
        watchSource->Free();
        return loaded;
    }
    static std::string CursorOf(TDataSet& ds) {
        std::string at = ds.IsEmpty() ? "empty" : VarToStr(ds.Fields(0)->GetValue());
        return at + (ds.Bof() ? " bof" : "") + (ds.Eof() ? " eof" : "");
    }
    // Both loads, compared; answers the bulk one.
    TLoaded BothAlike(TDataSet& ds, const std::string& keys = "ID",
                      const std::string& columns = "CODE;NAME;PRICE;ACTIVE;CREATED;FLAGS") {
        std::string cursor = CursorOf(ds);
        TLoaded bulk = Load(ds, false, keys, columns);
        // The same starting place for the second load.
        if (ds.Bof())
            ds.First();
        else if (ds.Eof())
            ds.Last(), ds.Next();
        EXPECT_EQ(CursorOf(ds), cursor);
        TLoaded byRecord = Load(ds, true, keys, columns);
        EXPECT_EQ(bulk, byRecord);
        return bulk;
    }
    // The round trips to the server the last load made (none on SQLite).
    int64_t LoadTrips = 0;
    // Records 6..count of ITEMS beside the five of the fixture, every tenth without a name.
    void AddItems(int count) {
        db->Execute("WITH RECURSIVE n(x) AS (SELECT 6 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                    std::to_string(count) +
                    ") INSERT INTO ITEMS (ID, CODE, NAME, STATUS_ID, PRICE) SELECT x, x * 10, "
                    "CASE WHEN x % 10 = 0 THEN NULL ELSE 'Item ' || x END, x % 4, x * 0.5 FROM n");
    }
};

TEST_F(DBListBulkLoad, NullsDatesAndEveryCursorPlaceLoadAsRecordByRecord) {
    // Item 2 has no image, Item 3 no status, price or date, Item 4 no Boolean.
    table->MoveBy(2);
    TLoaded loaded = BothAlike(*table);
    ASSERT_EQ(loaded.Items.size(), 5u);
    EXPECT_EQ(loaded.Cursor, "3");
    EXPECT_EQ(loaded.Log.front(), "before loading");
    EXPECT_EQ(loaded.Log.back(), "focus Item 3");
    EXPECT_EQ(loaded.KeyFieldsCount, 1);

    table->First();
    EXPECT_EQ(BothAlike(*table).Cursor, "1 bof");
    table->Last();
    table->Next();
    EXPECT_EQ(BothAlike(*table).Cursor, "5 eof") << "the load leaves it on its last record";
}

TEST_F(DBListBulkLoad, RangesKeysOfTwoFieldsQueriesAndAnEmptyTableLoadAsRecordByRecord) {
    auto org = db->OpenTable("ORGANIZATION", "PARENT_ID");
    org->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_EQ(BothAlike(*org, "ID", "PARENT_ID;NAME").Items.size(), 2u);
    org->SetRange({Variant(1)}, {Variant(5)});
    org->Next();
    EXPECT_EQ(BothAlike(*org, "ID", "PARENT_ID;NAME").Items.size(), 5u);

    auto objects = db->OpenTable("OBJECTS");
    TLoaded two = BothAlike(*objects, "ORIGIN_ID;OBJECT_ID", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    EXPECT_EQ(two.KeyFieldsCount, 2);
    EXPECT_EQ(two.LastKey, "[Integer:2;Integer:3;]");

    auto query = db->OpenQuery("SELECT ID, NAME, STATUS_ID, IMAGE_ID, CODE FROM ITEMS "
                               "ORDER BY CODE DESC");
    EXPECT_EQ(BothAlike(*query, "ID", "CODE").Items.size(), 5u);

    db->Execute("DELETE FROM ITEMS");
    table->Refresh();
    TLoaded empty = BothAlike(*table);
    EXPECT_TRUE(empty.Items.empty());
    EXPECT_EQ(empty.Log.front(), "before loading");
}

TEST_F(DBListBulkLoad, ValuesOfAnotherClassThanTheirColumnsLoadAsRecordByRecord) {
    // SQLite keeps whatever a column is given: texts, reals and blobs in integer columns,
    // numbers in text ones; captions, images and column texts read them as the fields do.
    if (db->OnPostgres()) GTEST_SKIP() << "columns of one type only on this engine";
    db->Execute("UPDATE ITEMS SET CODE = '0042', NAME = 17, STATUS_ID = '2', IMAGE_ID = 3.0, "
                "FLAGS = x'0102', ACTIVE = 'true', PRICE = 7, CREATED = 45000 WHERE ID = 1");
    db->Execute("UPDATE ITEMS SET CODE = 5000000000, NAME = 2.5, STATUS_ID = -1, "
                "IMAGE_ID = '4', ACTIVE = 0, PRICE = 'abc', CREATED = '2024-02-29 10:00:00' "
                "WHERE ID = 2");
    db->Execute("UPDATE ITEMS SET CODE = -2147483648, NAME = x'414243', FLAGS = 'text', "
                "STATUS_ID = 32768, IMAGE_ID = NULL WHERE ID = 4");
    table->Refresh();
    TLoaded loaded = BothAlike(*table);
    ASSERT_EQ(loaded.Items.size(), 5u);
    EXPECT_EQ(loaded.Items[0].substr(0, 3), "17|");
}

TEST_F(DBListBulkLoad, EveryKindOfKeyIsFoundAgainByTheKeyVectorOfItsRecord) {
    // One integer field, a text, a field that is Null in one record (and whose values repeat in
    // none), and two fields.
    for (const std::string keys : {"ID", "NAME", "IMAGE_ID", "ID;NAME"}) {
        SCOPED_TRACE(keys);
        lv->SetDataSource(nullptr);
        lv->SetKeyFields(keys);
        lv->SetDataSource(source);
        run_messages();
        ASSERT_EQ(lv->GetCount(), 5);
        EXPECT_EQ(lv->GetKeyFieldsCount(), keys == "ID;NAME" ? 2 : 1);
        table->First();
        for (int i = 0; i < 5; ++i, table->Next()) {
            Variant key = table->GetFieldValue(keys + ";");
            TDBListItem* item = ItemAt(i);
            EXPECT_EQ(lv->FindItem(key), item);
            EXPECT_TRUE(item->IDEquals2(key));
            EXPECT_TRUE(VarEquality(item->KeyElement(0), key[0]));
            // The vector made on request is the record's, and a reference to it stays valid.
            const Variant& id = item->GetID();
            EXPECT_TRUE(VarEquality(id, key));
            EXPECT_EQ(&item->GetID(), &id);
            EXPECT_EQ(lv->FindItem(key), item);
        }
        // The last record's key vector is the view's last key, as after a load record by record.
        table->Last();
        EXPECT_TRUE(VarEquality(lv->LastKey(), table->GetFieldValue(keys + ";")));
    }
}

TEST_F(DBListBulkLoad, ATableOfManyWindowsLoadsAsRecordByRecordInFewRoundTrips) {
    AddItems(5000);
    table->Refresh();
    TLoaded bulk = Load(*table, false);
    int64_t trips = LoadTrips;
    ASSERT_EQ(bulk.Items.size(), 5000u);
    EXPECT_EQ(bulk, Load(*table, true));
    // On a server: the statement prepared and run, and the cursor put back.
    EXPECT_LE(trips, 6);
    EXPECT_LT(trips, std::max<int64_t>(LoadTrips, 1)) << "fewer than record by record";
}

TEST_F(DBListBulkLoad, HandlersThatWatchTheDatasetSeeEveryRecordCurrent) {
    std::vector<std::string> scrolled;
    table->SetAfterScroll(
        [&](TDataSet* ds) { scrolled.push_back(ds->FieldByName("NAME")->GetAsString()); });
    lv->SetDataSource(nullptr);
    lv->SetDataSource(source);
    run_messages();
    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"}));
    // First, every Next (the last one finding the end), then the way back.
    EXPECT_EQ(scrolled, (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5",
                                                  "Item 5", "Item 1"}));
    table->SetAfterScroll(nullptr);

    // An item inserted into the list is set up from the dataset's current record.
    std::vector<std::string> inserted;
    lv->OnInsert = [&](TObject*, TListItem*) {
        inserted.push_back(table->FieldByName("NAME")->GetAsString());
    };
    lv->Reload();
    run_messages();
    EXPECT_EQ(inserted,
              (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"}));
}

TEST_F(DBListBulkLoad, AReadFailingHalfWayLeavesTheRecordsReadAndASoundDataset) {
    run_messages();
    table->MoveBy(3);
    TSqlConnection& engine = db->Database().Connection();
    auto steps = std::make_shared<int>(0);
    engine.SetFaultHook([steps](TSqlCall call, int64_t) -> std::optional<TSqlFault> {
        if (call != TSqlCall::Step || ++*steps != 3) return std::nullopt;
        return TSqlFault{10, "disk I/O error"};
    });
    lv->PostReload();
    run_messages();
    engine.SetFaultHook(nullptr);

    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "disk I/O error");
    Application().ShownErrors.clear();
    // The records read before the failure are there, each whole: one statement stepped to
    // them, and its third step failed.
    std::vector<std::string> all{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"};
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 2"}));
    for (int i = 0; i < lv->GetCount(); ++i) {
        EXPECT_TRUE(VarEquality(ItemAt(i)->GetID(), Key(i + 1)));
        EXPECT_EQ(ItemAt(i)->SubItems()->Count(), 2);
    }
    EXPECT_EQ(CurrentID(), 4) << "the cursor is back on its record";
    EXPECT_EQ(lv->LockCount(), 0);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_FALSE(lv->MessagePosted());

    lv->PostReload();
    run_messages();
    EXPECT_EQ(Captions(), all);
    EXPECT_EQ(FocusedCaption(), "Item 4");
}

} // namespace
} // namespace orvel::test
