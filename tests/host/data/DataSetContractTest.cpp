// The order in which a dataset tells its links and handlers of every operation, on real SQLite,
// driven through a recording data link.
#include "tests/host/data/RecordingLink.h"
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

using namespace orvel;
using namespace orvel::test;

namespace {

class DataSetContract : public ::testing::Test {
protected:
    void SetUp() override {
        Table.reset(new TTable(nullptr));
        Table->SetDatabase(&Db.Database());
        Table->SetTableName("ITEMS");
        Table->SetIndexFieldNames("CODE");
        Source.SetDataSet(Table.get());
        Link.SetDataSource(&Source);
        RecordEvents(*Table, Log);
    }
    void TearDown() override { Link.SetDataSource(nullptr); }

    // Opens without recording, then starts a fresh log.
    void OpenQuietly() {
        Table->Open();
        Log.clear();
    }
    std::string Name() { return Table->FieldByName("NAME")->GetAsString(); }

    TTestDatabase Db;
    TOwned<TTable> Table;
    TDataSource Source{nullptr};
    TLog Log;
    TRecordingLink Link{Log};
};

const TLog kScroll = {"CheckBrowseMode", "BeforeScroll", "DataSetChanged", "AfterScroll"};

TEST_F(DataSetContract, OpenPutsTheCursorOnTheFirstRecordBetweenBeforeAndAfterOpen) {
    Table->Open();
    EXPECT_EQ(Log, (TLog{"BeforeOpen", "ActiveChanged", "AfterOpen"}));
    EXPECT_EQ(Table->State(), dsBrowse);
    EXPECT_TRUE(Table->Bof());
    EXPECT_EQ(Name(), "Item 1");
    EXPECT_TRUE(Link.Active());
}

TEST_F(DataSetContract, CloseDropsAPendingEditWithoutFurtherNotice) {
    OpenQuietly();
    Table->Edit();
    Table->FieldByName("NAME")->SetAsString("Changed");
    Log.clear();
    Table->Close();
    EXPECT_EQ(Log, (TLog{"BeforeClose", "ActiveChanged", "AfterClose"}));
    EXPECT_FALSE(Link.Active());
    EXPECT_FALSE(Link.Editing());
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM ITEMS WHERE ID = 1").AsString(), "Item 1");
}

TEST_F(DataSetContract, EveryMoveIsCheckBrowseModeBeforeScrollDataSetChangedAfterScroll) {
    OpenQuietly();
    TBookmark third;
    std::vector<std::pair<const char*, std::function<void()>>> moves = {
        {"Next", [&] { Table->Next(); }},
        {"Last", [&] { Table->Last(); }},
        {"Prior", [&] { Table->Prior(); }},
        {"First", [&] { Table->First(); }},
        {"MoveBy", [&] { Table->MoveBy(2); }},
        {"Locate", [&] { EXPECT_TRUE(Table->Locate("NAME", Variant("Item 3"))); }},
        {"GotoBookmark", [&] { Table->GotoBookmark(third); }},
        {"Refresh", [&] { Table->Refresh(); }},
        {"ApplyRange", [&] { Table->SetRange({Variant(20)}, {Variant(40)}); }},
        {"CancelRange", [&] { Table->CancelRange(); }},
    };
    Table->MoveBy(2);
    third = Table->GetBookmark();
    for (auto& [name, move] : moves) {
        Log.clear();
        move();
        TLog expected = kScroll;
        if (std::string(name) ==
            "ApplyRange") // the key entry happens with the links told nothing new
            expected.insert(expected.begin(), {"CheckBrowseMode", "CheckBrowseMode"});
        EXPECT_EQ(Log, expected) << name;
    }
}

TEST_F(DataSetContract, AMoveFirstPostsAModifiedRecordOrCancelsAnUnmodifiedOne) {
    OpenQuietly();
    Table->Edit();
    Table->FieldByName("NAME")->SetAsString("Renamed");
    Log.clear();
    Table->Next();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "UpdateData", "UpdateData", "CheckBrowseMode",
                         "BeforePost", "EditingChanged", "DataSetChanged", "AfterPost",
                         "BeforeScroll", "DataSetChanged", "AfterScroll"}));
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM ITEMS WHERE ID = 1").AsString(), "Renamed");

    Table->Edit();
    Log.clear();
    Table->Next();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "UpdateData", "CheckBrowseMode", "BeforeCancel",
                         "EditingChanged", "DataSetChanged", "AfterCancel", "BeforeScroll",
                         "DataSetChanged", "AfterScroll"}));
}

TEST_F(DataSetContract, ALocateThatFindsNothingLeavesTheCursorWhereItWas) {
    OpenQuietly();
    Table->Next();
    Log.clear();
    EXPECT_FALSE(Table->Locate("NAME", Variant("item 2"))); // case matters
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeScroll"}));
    EXPECT_EQ(Name(), "Item 2");
}

TEST_F(DataSetContract, NextOnTheLastRecordSetsEofWithoutADataSetChange) {
    OpenQuietly();
    Table->Last();
    Log.clear();
    Table->Next();
    EXPECT_TRUE(Table->Eof());
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeScroll", "AfterScroll"}));
    EXPECT_EQ(Name(), "Item 5");
}

TEST_F(DataSetContract, EditReportsEditingAndAWholeRecordChange) {
    OpenQuietly();
    Table->Edit();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeEdit", "EditingChanged", "RecordChanged()",
                         "AfterEdit"}));
    EXPECT_EQ(Table->State(), dsEdit);
    EXPECT_TRUE(Link.Editing());
    Log.clear();
    Table->Edit(); // already editing: nothing
    EXPECT_TRUE(Log.empty());
}

TEST_F(DataSetContract, EditOfAnEmptyDataSetInsertsInstead) {
    Db.Execute("DELETE FROM ITEMS");
    OpenQuietly();
    EXPECT_TRUE(Table->IsEmpty());
    Table->Edit();
    EXPECT_EQ(Table->State(), dsInsert);
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeInsert", "EditingChanged", "OnNewRecord",
                         "DataSetChanged", "AfterInsert"}));
}

TEST_F(DataSetContract, EditOfAReadOnlyTableFailsAfterTheLinksCheckAndChangesNothing) {
    Table->SetReadOnly(true);
    OpenQuietly();
    EXPECT_THROW(Table->Edit(), EDatabaseError);
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode"}));
    EXPECT_EQ(Table->State(), dsBrowse);
    EXPECT_THROW(Table->Insert(), EDatabaseError);
    EXPECT_THROW(Table->Delete(), EDatabaseError);
    EXPECT_EQ(Db.Count("ITEMS"), 5);
}

TEST_F(DataSetContract, InsertShowsAnEmptyUnmodifiedRecordEvenWhenOnNewRecordFillsIt) {
    OpenQuietly();
    Table->SetOnNewRecord([&](TDataSet* ds) {
        Log.push_back("OnNewRecord");
        ds->FieldByName("NAME")->SetAsString("New");
    });
    Table->Insert();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeInsert", "EditingChanged", "OnNewRecord",
                         "RecordChanged(NAME)", "DataSetChanged", "AfterInsert"}));
    EXPECT_EQ(Table->State(), dsInsert);
    EXPECT_FALSE(Table->Modified());
    EXPECT_TRUE(Table->FieldByName("CODE")->IsNull());
    EXPECT_EQ(Name(), "New");
}

TEST_F(DataSetContract, WritingAFieldReachesEveryLinkButTheOneUpdatingItsRecord) {
    TLog other;
    TRecordingLink second(other, "B:");
    second.SetDataSource(&Source);
    OpenQuietly();
    Table->Edit();
    Log.clear();
    other.clear();
    Link.OnUpdateData = [&] { Table->FieldByName("NAME")->SetAsString("From A"); };
    Table->UpdateRecord();
    EXPECT_EQ(Log, (TLog{"UpdateData"}));
    EXPECT_EQ(other, (TLog{"B:RecordChanged(NAME)", "B:UpdateData"}));
    EXPECT_TRUE(Table->Modified());
    second.SetDataSource(nullptr);
}

TEST_F(DataSetContract, WritingAFieldInBrowseStateFailsAndChangesNothing) {
    OpenQuietly();
    try {
        Table->FieldByName("NAME")->SetAsString("No");
        FAIL() << "a field was written in browse state";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
    }
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(Name(), "Item 1");
    EXPECT_FALSE(Table->Modified());
}

TEST_F(DataSetContract, PostWritesAndStaysOnThePostedRecordAtItsPlaceInIndexOrder) {
    OpenQuietly();
    Table->Edit();
    Table->FieldByName("CODE")->SetAsInteger(35); // from first place to between 30 and 40
    Log.clear();
    Table->Post();
    EXPECT_EQ(Log, (TLog{"UpdateData", "CheckBrowseMode", "BeforePost", "EditingChanged",
                         "DataSetChanged", "AfterPost"}));
    EXPECT_EQ(Table->State(), dsBrowse);
    EXPECT_EQ(Name(), "Item 1");
    Table->Next();
    EXPECT_EQ(Name(), "Item 4");
    Table->Prior();
    Table->Prior();
    EXPECT_EQ(Name(), "Item 3");
}

TEST_F(DataSetContract, PostOfAnInsertShowsTheNewRecordWithTheEngineDefaults) {
    OpenQuietly();
    Table->Append();
    Table->FieldByName("CODE")->SetAsInteger(25);
    Table->FieldByName("NAME")->SetAsString("Inserted");
    Table->Post();
    EXPECT_EQ(Name(), "Inserted");
    EXPECT_EQ(Table->FieldByName("ID")->GetAsInteger(), 6); // assigned by the engine
    Table->Prior();
    EXPECT_EQ(Name(), "Item 2");
    EXPECT_EQ(Db.Count("ITEMS"), 6);
}

TEST_F(DataSetContract, CancelDropsThePendingValuesAndAnInsertedRecordDisappears) {
    OpenQuietly();
    Table->MoveBy(2);
    Table->Insert();
    Table->FieldByName("NAME")->SetAsString("Gone");
    Log.clear();
    Table->Cancel();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeCancel", "EditingChanged", "DataSetChanged",
                         "AfterCancel"}));
    EXPECT_EQ(Name(), "Item 3");
    EXPECT_EQ(Db.Count("ITEMS"), 5);
    Log.clear();
    Table->Cancel(); // nothing pending
    EXPECT_TRUE(Log.empty());
}

TEST_F(DataSetContract, DeleteMovesToTheNextRecordOrThePreviousOneAtTheEnd) {
    OpenQuietly();
    Table->Next();
    Table->Delete();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeScroll", "DataSetChanged", "AfterScroll",
                         "CheckBrowseMode", "BeforeDelete", "DataSetChanged", "AfterDelete"}));
    EXPECT_EQ(Name(), "Item 3");
    Table->Last();
    Table->Edit();
    Log.clear();
    Table->Delete();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeDelete", "EditingChanged", "DataSetChanged",
                         "AfterDelete"}));
    EXPECT_EQ(Name(), "Item 4");
    EXPECT_EQ(Db.Count("ITEMS"), 3);
}

TEST_F(DataSetContract, DeleteWhileInsertingCancelsAndDeleteOfNothingFails) {
    OpenQuietly();
    Table->Insert();
    Log.clear();
    Table->Delete();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode", "BeforeCancel", "EditingChanged", "DataSetChanged",
                         "AfterCancel"}));
    EXPECT_EQ(Db.Count("ITEMS"), 5);

    Table->SetRange({Variant(99)}, {Variant(99)});
    EXPECT_TRUE(Table->IsEmpty());
    Log.clear();
    EXPECT_THROW(Table->Delete(), EDatabaseError);
    EXPECT_TRUE(Log.empty());
}

TEST_F(DataSetContract, ARangeIsEnteredAndAppliedWithControlsDisabled) {
    OpenQuietly();
    Table->DisableControls();
    Table->SetRangeStart();
    Table->FieldByName("CODE")->SetAsInteger(20);
    EXPECT_EQ(Table->GetKeyFieldCount(), 1);
    Table->SetRangeEnd();
    Table->SetFieldValue("CODE;", VarArrayOf({Variant(30)}));
    Table->ApplyRange();
    EXPECT_EQ(Table->State(), dsBrowse);
    EXPECT_EQ(Name(), "Item 2");
    EXPECT_EQ(Table->RecordCount(), 2);
    EXPECT_EQ(Log, (TLog{"BeforeScroll", "AfterScroll"})); // the range moved the cursor
    Log.clear();
    Table->EnableControls();
    EXPECT_EQ(Log, (TLog{"DataSetChanged"}));
}

TEST_F(DataSetContract, DisabledControlsStillHearOfOpenAndCloseAndCatchUpOnEditingAtTheEnd) {
    Table->DisableControls();
    Table->DisableControls();
    Table->Open();
    Table->Close();
    Table->Open();
    EXPECT_EQ(Log, (TLog{"BeforeOpen", "ActiveChanged", "AfterOpen", "BeforeClose", "ActiveChanged",
                         "AfterClose", "BeforeOpen", "ActiveChanged", "AfterOpen"}));
    Log.clear();
    Table->Edit();
    Table->FieldByName("NAME")->SetAsString("Quiet");
    Table->EnableControls();
    EXPECT_EQ(Log, (TLog{"BeforeEdit", "AfterEdit"}));
    Log.clear();
    Table->EnableControls();
    EXPECT_EQ(Log, (TLog{"EditingChanged", "DataSetChanged"}));
    EXPECT_TRUE(Link.Editing());
    Log.clear();
    Table->EnableControls(); // not disabled any more: nothing
    EXPECT_TRUE(Log.empty());
}

TEST_F(DataSetContract, CheckBrowseModeInBrowseStateOnlyAsksTheLinks) {
    OpenQuietly();
    Table->CheckBrowseMode();
    EXPECT_EQ(Log, (TLog{"CheckBrowseMode"}));
}

TEST_F(DataSetContract, ReplacingTheDataSetOrTheDataSourcePassesThroughInactive) {
    OpenQuietly();
    auto other = Db.OpenTable("ORGANIZATION");
    Source.SetDataSet(other.get());
    EXPECT_EQ(Log, (TLog{"ActiveChanged", "ActiveChanged"}));
    TDataSource second(nullptr);
    second.SetDataSet(Table.get());
    Log.clear();
    Link.SetDataSource(&second);
    EXPECT_EQ(Log, (TLog{"ActiveChanged", "ActiveChanged"}));
    Log.clear();
    second.SetEnabled(false);
    EXPECT_EQ(Log, (TLog{"ActiveChanged"}));
    EXPECT_FALSE(Link.Active());
    Link.SetDataSource(nullptr);
}

TEST_F(DataSetContract, DestroyingTheDataSourceOrTheDataSetDetachesTheLinksFirst) {
    OpenQuietly();
    {
        TDataSource* temporary = new TDataSource(nullptr);
        temporary->SetDataSet(Table.get());
        TLog log;
        TRecordingLink link(log);
        link.SetDataSource(temporary);
        EXPECT_TRUE(link.Active());
        temporary->Free();
        EXPECT_EQ(log, (TLog{"ActiveChanged", "ActiveChanged"}));
        EXPECT_EQ(link.GetDataSource(), nullptr);
    }
    Log.clear();
    Table.reset();
    EXPECT_EQ(Log, (TLog{"ActiveChanged"}));
    EXPECT_EQ(Source.GetDataSet(), nullptr);
    EXPECT_FALSE(Link.Active());
}

} // namespace
