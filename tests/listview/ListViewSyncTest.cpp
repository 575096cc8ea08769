// The list view and its dataset in step: clicks move the dataset, dataset moves move the focus or
// reload, inserts and in-place edits, re-read requests, deletions through the delete hooks, and
// the right-click menus.
#include "tests/listview/ListViewFixture.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <optional>

namespace orvel::test {
namespace {

using DBListSyncTest = ListViewFixture;

TEST_F(DBListSyncTest, ClickingAnItemMovesTheDatasetOrDropsTheItemOfAVanishedRecord) {
    run_messages();
    int changes = 0;
    lv->OnChange = [&](TObject*, TListItem*, TItemChange) { ++changes; };
    click(*lv, RowOf(3));
    EXPECT_EQ(CurrentID(), 4);
    EXPECT_EQ(lv->Selected(), ItemAt(3));
    EXPECT_GT(changes, 0);

    db->Execute("DELETE FROM ITEMS WHERE ID = 2"); // by someone else
    click(*lv, RowOf(1));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 3", "Item 4", "Item 5"}));
    EXPECT_EQ(FocusedCaption(), "Item 1") << "the item before the removed one takes the focus";
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_F(DBListSyncTest, RemovingAnItemFocusesTheOneBeforeItOrTheFirst) {
    run_messages();
    lv->DeleteItem(4);
    EXPECT_EQ(FocusedCaption(), "Item 4");
    lv->DeleteItem(1);
    EXPECT_EQ(FocusedCaption(), "Item 1");
    lv->DeleteItem(0);
    EXPECT_EQ(FocusedCaption(), "Item 3");
    lv->DeleteItem(7); // beyond the list: nothing
    lv->DeleteItem(-1);
    EXPECT_EQ(lv->GetCount(), 2);
    lv->DeleteItem(1);
    lv->DeleteItem(0);
    EXPECT_EQ(lv->ItemFocused(), nullptr);
    EXPECT_EQ(lv->GetNearestIndex(0), -1);
}

TEST_F(DBListSyncTest, TheFocusFollowsTheDatasetToAShownRecord) {
    for (int id = 6; id <= 40; ++id)
        db->Execute("INSERT INTO ITEMS (ID, CODE, NAME) VALUES (" + std::to_string(id) + ", 0, " +
                    "'Item " + std::to_string(id) + "')");
    table->Refresh();
    lv->Reload();
    run_messages();
    table->Locate("ID", Variant(38));
    EXPECT_EQ(FocusedCaption(), "Item 38");
    EXPECT_EQ(lv->Selected(), lv->ItemFocused());
    EXPECT_TRUE(lv->ClientRect().Contains(RowOf(37))) << "scrolled into view";
    EXPECT_EQ(ReloadsQueued(), 0);

    lv->SetMultiSelect(true);
    table->First();
    EXPECT_EQ(FocusedCaption(), "Item 1");
    EXPECT_EQ(lv->Selected(), ItemAt(37)) << "with multi-selection only the focus moves";
    EXPECT_EQ(CurrentID(), 1) << "the view never moves the dataset back";
}

TEST_F(DBListSyncTest, ARecordTheListDoesNotShowIsReachedByOneReload) {
    run_messages();
    db->Execute("INSERT INTO ITEMS (ID, CODE, NAME) VALUES (6, 60, 'Item 6'), (7, 70, 'Item 7')");
    table->Locate("ID", Variant(6));
    table->Locate("ID", Variant(7));
    table->Locate("ID", Variant(6));
    EXPECT_EQ(ReloadsQueued(), 1) << "however many moves happen before it runs";
    run_messages();
    EXPECT_EQ(lv->GetCount(), 7);
    EXPECT_EQ(FocusedCaption(), "Item 6");
    EXPECT_EQ(CurrentID(), 6);

    db->Execute("INSERT INTO ITEMS (ID, CODE, NAME) VALUES (8, 80, 'Item 8')");
    table->Locate("ID", Variant(8));
    EXPECT_EQ(ReloadsQueued(), 1) << "a handled request does not block the next one";
}

TEST_F(DBListSyncTest, AnInsertShowsAProvisionalItemThatACancelRemovesAndAPostKeeps) {
    run_messages();
    table->Locate("ID", Variant(3));
    table->Insert();
    EXPECT_EQ(lv->GetCount(), 6);
    EXPECT_EQ(lv->ItemFocused(), ItemAt(5));
    EXPECT_EQ(lv->Selected(), ItemAt(5));
    EXPECT_EQ(lv->LastState(), dsInsert);
    table->Cancel();
    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"}));
    EXPECT_EQ(FocusedCaption(), "Item 3");

    table->Insert();
    table->FieldByName("NAME")->SetAsString("New");
    table->FieldByName("CODE")->SetAsInteger(99);
    EXPECT_EQ(ItemAt(5)->Caption(), "New") << "field changes reach the item at once";
    table->Post();
    ASSERT_EQ(lv->GetCount(), 6);
    EXPECT_EQ(ItemAt(5)->SubItems()->ToVector(), (std::vector<std::string>{"99", "New"}));
    EXPECT_EQ(lv->FindItem(Key(CurrentID())), ItemAt(5));
    EXPECT_TRUE(table->BookmarkValid(ItemAt(5)->GetBookMark()));
    EXPECT_EQ(lv->LastState(), dsBrowse);
    EXPECT_FALSE(lv->Inserting());
    EXPECT_EQ(ReloadsQueued(), 0);
}

TEST_F(DBListSyncTest, ACaptionEditedInPlaceIsPostedWhenAnotherItemIsSelected) {
    run_messages();
    click(*lv, RowOf(1));
    press_key(*lv, VK_F2);
    ASSERT_TRUE(lv->IsEditing());
    EXPECT_EQ(table->State(), dsEdit);
    type_caption(*lv, "Renamed");
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Renamed");
    EXPECT_EQ(db->Scalar("SELECT NAME FROM ITEMS WHERE ID = 2").AsString(), "Item 2");

    click(*lv, RowOf(3));
    EXPECT_EQ(db->Scalar("SELECT NAME FROM ITEMS WHERE ID = 2").AsString(), "Renamed");
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(CurrentID(), 4);
    EXPECT_EQ(ItemAt(1)->Caption(), "Renamed");
    EXPECT_TRUE(Application().ShownErrors.empty());

    // The record went away under the view: the edit cannot start.
    db->Execute("DELETE FROM ITEMS WHERE ID = 4");
    press_key(*lv, VK_F2);
    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Can't edit an unexisting record");
    EXPECT_FALSE(lv->IsEditing());
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_F(DBListSyncTest, ACaptionEditGoesIntoTheItemsOwnRecordAfterAMoveToItFailed) {
    run_messages();
    ASSERT_EQ(CurrentID(), 1);
    // The engine fails the first call of the click: the move to the item's record goes wrong and
    // the cursor stays on the first record while the clicked item has the focus.
    TSqlConnection& engine = db->Database().Connection();
    int64_t first = engine.CallCount() + 1;
    engine.SetFaultHook([first](TSqlCall, int64_t number) -> std::optional<TSqlFault> {
        if (number != first) return std::nullopt;
        return TSqlFault{10, "disk I/O error"};
    });
    click(*lv, RowOf(2));
    engine.SetFaultHook(nullptr);
    Application().ShownErrors.clear();
    ASSERT_EQ(FocusedCaption(), "Item 3");

    press_key(*lv, VK_F2);
    ASSERT_TRUE(lv->IsEditing());
    EXPECT_EQ(CurrentID(), 3) << "the edit is of the focused item's record";
    type_caption(*lv, "Renamed");
    click(*lv, RowOf(4));
    EXPECT_EQ(db->Scalar("SELECT NAME FROM ITEMS WHERE ID = 3").AsString(), "Renamed");
    EXPECT_EQ(db->Scalar("SELECT NAME FROM ITEMS WHERE ID = 1").AsString(), "Item 1");
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_F(DBListSyncTest, ReturningToTheViewDuringAnEditReopensTheEditorUnlessReadOnly) {
    auto& other = form->Place<TListView>(320, 10, 100, 100);
    run_messages();
    click(*lv, RowOf(2));
    press_key(*lv, VK_F2);
    other.SetFocus();
    EXPECT_FALSE(lv->IsEditing());
    EXPECT_EQ(table->State(), dsEdit);
    lv->SetFocus();
    EXPECT_TRUE(lv->IsEditing());
    press_key(*lv, VK_ESCAPE);

    lv->SetReadOnly(true);
    other.SetFocus();
    lv->SetFocus();
    EXPECT_FALSE(lv->IsEditing());
}

TEST_F(DBListSyncTest, EditsElsewhereRefreshTheFocusedItem) {
    run_messages();
    table->Locate("ID", Variant(2));
    table->Edit();
    table->FieldByName("CODE")->SetAsInteger(77);
    table->FieldByName("NAME")->SetAsString("Two");
    table->FieldByName("STATUS_ID")->SetAsInteger(4);
    EXPECT_EQ(ItemAt(1)->SubItems()->ToVector(), (std::vector<std::string>{"77", "Item 2"}));
    EXPECT_EQ(ItemAt(1)->Caption(), "Two");
    EXPECT_EQ(ItemAt(1)->StateIndex(), 4);
    table->FieldByName("ID")->SetAsInteger(12); // a key field: the item takes the new key
    EXPECT_TRUE(VarEquality(ItemAt(1)->GetID(), Key(12)));
    table->Post();
    EXPECT_EQ(lv->FindItem(Key(12)), ItemAt(1));
    EXPECT_EQ(ItemAt(1)->SubItems()->ToVector(), (std::vector<std::string>{"77", "Two"}));
    EXPECT_EQ(ReloadsQueued(), 0);
}

TEST_F(DBListSyncTest, ARereadRequestIsPostedOnceAndRefreshesOrRemovesTheItem) {
    run_messages();
    table->Locate("ID", Variant(5));
    db->Execute("UPDATE ITEMS SET NAME = 'Fresh' WHERE ID = 3");
    lv->PostItemSetup(ItemAt(2));
    lv->PostItemSetup(ItemAt(2));
    EXPECT_EQ(Application().QueuedCount(), 1u);
    run_messages();
    EXPECT_EQ(ItemAt(2)->Caption(), "Fresh");
    EXPECT_EQ(CurrentID(), 5) << "the cursor is put back";
    EXPECT_FALSE(lv->MessagePosted());
    EXPECT_EQ(lv->ItemQueue().Count(), 0);

    db->Execute("DELETE FROM ITEMS WHERE ID = 4");
    lv->PostItemSetup(ItemAt(3));
    lv->PostReload(); // pending re-reads give way to the reload
    EXPECT_EQ(lv->ItemQueue().Count(), 0);
    run_messages();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 2", "Fresh", "Item 5"}));

    // A request the window refuses leaves nothing pending: asking again posts again.
    Application().RefusePosts(true);
    lv->PostItemSetup(ItemAt(0));
    Application().RefusePosts(false);
    EXPECT_FALSE(lv->MessagePosted());
    lv->PostItemSetup(ItemAt(0));
    EXPECT_EQ(Application().QueuedCount(), 1u);
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
}

TEST_F(DBListSyncTest, DeletingRecordsRemovesTheirItemsAndCallsTheApplicationsHandlers) {
    run_messages();
    std::vector<std::string> log;
    table->SetBeforeDelete(
        [&](TDataSet*) { log.push_back("before " + std::to_string(CurrentID())); });
    table->SetAfterDelete([&](TDataSet*) { log.push_back("after"); });
    click(*lv, RowOf(2));
    table->Delete();
    EXPECT_EQ(log, (std::vector<std::string>{"before 3", "after"}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 2", "Item 4", "Item 5"}));

    // Every later deletion goes the same way, down to the last record.
    while (!table->IsEmpty())
        table->Delete();
    EXPECT_EQ(log.size(), 10u);
    EXPECT_EQ(lv->GetCount(), 0);
    EXPECT_EQ(lv->DeletingItem(), nullptr);
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_F(DBListSyncTest, PuttingTheHandlersBackNeverOverwritesALaterOne) {
    run_messages();
    int lateCalls = 0;
    TDataSetNotifyEvent late = [&](TDataSet*) { ++lateCalls; };
    table->SetBeforeDelete(late);
    table->Close();
    EXPECT_TRUE(table->GetBeforeDelete().SameRoutine(late));
    EXPECT_FALSE(table->GetAfterDelete()) << "the view's own hook came off";

    table->Open();
    run_messages();
    table->Delete(); // the view's hook stands in front of the later handler and calls it
    EXPECT_EQ(lateCalls, 1);
    EXPECT_EQ(lv->GetCount(), 4);

    // A destroyed view takes its hooks with it: the dataset goes on deleting without it.
    table->First(); // the link's check before a move puts the hooks back in place
    lv->Free();
    lv = nullptr;
    EXPECT_TRUE(table->GetBeforeDelete().SameRoutine(late));
    table->Delete();
    EXPECT_EQ(lateCalls, 2);
}

TEST_F(DBListSyncTest, TheHooksComeOffADatasetTheDataSourceNoLongerShows) {
    run_messages();
    EXPECT_TRUE(table->GetBeforeDelete());
    TOwned<TTable> objects = db->OpenTable("OBJECTS");
    source->SetDataSet(objects.get());
    EXPECT_FALSE(table->GetBeforeDelete());
    EXPECT_FALSE(table->GetAfterDelete());
    EXPECT_TRUE(objects->GetAfterDelete());
    source->SetDataSet(nullptr);
    EXPECT_FALSE(objects->GetAfterDelete());
}

TEST_F(DBListSyncTest, OfTwoListViewsOnOneDatasetTheFirstHoldsTheHooks) {
    TDBListView* second = MakeView(10, 220);
    run_messages();
    EXPECT_EQ(table->GetBeforeDelete().Data(), static_cast<TDBCustomListView*>(lv));
    table->Locate("ID", Variant(2));
    table->Delete();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 3", "Item 4", "Item 5"}));
    EXPECT_EQ(table->GetBeforeDelete().Data(), static_cast<TDBCustomListView*>(lv));
    EXPECT_EQ(second->LockCount(), 0);
}

TEST_F(DBListSyncTest, ARightClickPopsUpTheObjectMenuOverItemsAndThePopupMenuElsewhere) {
    // Menus of no owner: only the view's own free notifications tell it of their end.
    auto* general = new TPopupMenu(nullptr);
    auto* object = new TPopupMenu(nullptr);
    lv->WritePopupMenu(general);
    run_messages();
    right_click(*lv, RowOf(1));
    EXPECT_EQ(LastPopup().Menu, general) << "without an object menu the host's behaviour";

    lv->SetObjectMenu(object);
    right_click(*lv, RowOf(1));
    EXPECT_EQ(LastPopup().Menu, object);
    EXPECT_EQ(CurrentID(), 2);
    right_click(*lv, 150, 180);
    EXPECT_EQ(LastPopup().Menu, general);
    right_click(*lv, RowOf(1));
    lv->SetObjectMenu(nullptr);
    right_click(*lv, RowOf(1));
    EXPECT_EQ(LastPopup().Menu, general) << "an unset object menu no longer pops up";

    // Destroyed menus are never used afterwards.
    lv->SetObjectMenu(object);
    right_click(*lv, RowOf(2));
    object->Free();
    EXPECT_EQ(lv->GetObjectMenu(), nullptr);
    right_click(*lv, RowOf(2));
    EXPECT_EQ(LastPopup().Menu, general);
    general->Free();
    EXPECT_EQ(lv->ReadPopupMenu(), nullptr);
    ClearLastPopup();
    right_click(*lv, RowOf(2));
    EXPECT_EQ(LastPopup().Menu, nullptr);
}

} // namespace
} // namespace orvel::test
