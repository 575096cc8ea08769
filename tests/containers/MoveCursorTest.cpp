// Putting the cursor back after a scan with CAMoveCursor, on a real table.
#include "orvel/containers/TreeAndList.h"
#include "tests/support/data/DataFixtures.h"

#include <gtest/gtest.h>

using namespace orvel;
using namespace orvel::test;

namespace {

// Notes the flags and a bookmark, walks the whole table, then restores as the components do.
void ScanAndRestore(TDataSet& ds) {
    bool bof = ds.Bof(), eof = ds.Eof();
    TBookmark bookmark = ds.GetBookmark();
    ds.DisableControls();
    for (ds.First(); !ds.Eof(); ds.Next()) {
    }
    CAMoveCursor[bof][eof](&ds, bookmark);
    ds.FreeBookmark(bookmark);
    ds.EnableControls();
}

TEST(MoveCursor, TheCursorReturnsToWhereTheScanFoundIt) {
    TTestDatabase db;
    auto items = db.OpenTable("ITEMS", "CODE");

    items->MoveBy(2); // a record in the middle: back to it by its bookmark
    ScanAndRestore(*items);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 30);

    items->First(); // at the start: back to the first record
    ScanAndRestore(*items);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 10);
    EXPECT_TRUE(items->Bof());

    items->Last();
    items->Next(); // past the end: back to the last record
    ScanAndRestore(*items);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 50);
    EXPECT_TRUE(items->Eof());
}

TEST(MoveCursor, AnEmptyDataSetIsLeftAlone) {
    TTestDatabase db;
    db.Execute("DELETE FROM ITEMS");
    auto items = db.OpenTable("ITEMS");
    ASSERT_TRUE(items->Bof() && items->Eof());
    int scrolls = 0;
    items->SetBeforeScroll([&](TDataSet*) { ++scrolls; });
    CAMoveCursor[1][1](items.get(), items->GetBookmark());
    EXPECT_EQ(scrolls, 0);
}

TEST(MoveCursor, GotoFirstAndGotoLastIgnoreTheBookmark) {
    TTestDatabase db;
    auto items = db.OpenTable("ITEMS", "CODE");
    items->MoveBy(2);
    TBookmark middle = items->GetBookmark();
    GotoLast(items.get(), middle);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 50);
    GotoFirst(items.get(), middle);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 10);
    GotoPointer(items.get(), middle);
    EXPECT_EQ(items->FieldByName("CODE")->GetAsInteger(), 30);
}

} // namespace
