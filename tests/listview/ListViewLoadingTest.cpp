// Binding and loading: the deferred load with columns and default images, field-list texts,
// failing item set-up, the restored cursor, configuration changes and the published properties.
#include "tests/listview/ListViewFixture.h"

#include "orvel/host/controls/ImgList.h"

#include <stdexcept>

namespace orvel::test {
namespace {

using DBListLoadingTest = ListViewFixture;

TOwned<TCustomImageList> ImagesOf(int count) {
    TOwned<TCustomImageList> images(new TCustomImageList(nullptr, 16, 16));
    TBitmap bitmap(16, 16);
    for (int i = 0; i < count; ++i)
        images->Add(&bitmap, nullptr);
    return images;
}

TEST_F(DBListLoadingTest, TheListIsFilledByAPostedRequestWithOneSetUpItemPerRecord) {
    EXPECT_EQ(lv->GetCount(), 0) << "nothing is loaded inside the activation";
    EXPECT_EQ(ReloadsQueued(), 1);
    table->MoveBy(2);
    run_messages();

    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"}));
    EXPECT_EQ(ItemAt(0)->SubItems()->ToVector(), (std::vector<std::string>{"10", "Item 1"}));
    EXPECT_EQ(ItemAt(4)->SubItems()->ToVector(), (std::vector<std::string>{"50", "Item 5"}));
    // Item 2 has no image and Item 3 no status: both take the defaults.
    EXPECT_EQ(ItemAt(0)->StateIndex(), 1);
    EXPECT_EQ(ItemAt(0)->ImageIndex(), 1);
    EXPECT_EQ(ItemAt(1)->ImageIndex(), 0);
    EXPECT_EQ(ItemAt(2)->StateIndex(), 0);
    EXPECT_TRUE(VarEquality(ItemAt(3)->GetID(), Key(4)));
    EXPECT_TRUE(table->BookmarkValid(ItemAt(3)->GetBookMark()));
    EXPECT_EQ(lv->GetKeyFieldsCount(), 1);
    EXPECT_EQ(lv->FindItem(Key(5)), ItemAt(4));

    // The cursor is back where it was and its item has the focus; nothing is left locked.
    EXPECT_EQ(CurrentID(), 3);
    EXPECT_EQ(FocusedCaption(), "Item 3");
    EXPECT_EQ(lv->LockCount(), 0);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_FALSE(lv->MessagePosted());
}

TEST_F(DBListLoadingTest, TheCursorReturnsToTheStartTheEndOrItsRecord) {
    run_messages();
    table->Last();
    table->Next(); // past the end
    lv->PostReload();
    run_messages();
    EXPECT_EQ(CurrentID(), 5) << "a dataset that stood at its end is left on its last record";
    EXPECT_EQ(lv->GetCount(), 5);

    table->First();
    lv->PostReload();
    run_messages();
    EXPECT_EQ(CurrentID(), 1);
    table->MoveBy(1);
    lv->PostReload();
    run_messages();
    EXPECT_EQ(CurrentID(), 2);
}

TEST_F(DBListLoadingTest, AnEmptyDatasetStillFiresBothLoadingEvents) {
    db->Execute("DELETE FROM ITEMS");
    std::vector<std::string> log;
    lv->SetBeforeItemsLoading([&](TObject* sender) {
        EXPECT_EQ(sender, lv);
        log.push_back("before");
    });
    lv->SetAfterItemsLoading([&](TObject*) { log.push_back("after"); });
    table->Refresh();
    lv->Reload();
    run_messages();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(lv->GetCount(), 0);
}

TEST_F(DBListLoadingTest, AFailingItemSetupEndsTheLoadButKeepsWhatWasAdded) {
    int calls = 0;
    bool afterFired = false;
    lv->SetOnItemSetup([&](TObject*, TListItem* item, TDataSet* ds) {
        EXPECT_EQ(ds, table.get());
        item->SetOverlayIndex(7);
        if (++calls == 3) throw std::runtime_error("no");
    });
    lv->SetAfterItemsLoading([&](TObject*) { afterFired = true; });
    table->MoveBy(3);
    run_messages();

    ASSERT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_EQ(Application().ShownErrors[0], "Cannot setup an item");
    EXPECT_EQ(lv->GetCount(), 3);
    EXPECT_EQ(ItemAt(0)->OverlayIndex(), 7) << "the handler may change anything on the item";
    EXPECT_TRUE(afterFired);
    EXPECT_EQ(CurrentID(), 4);
    EXPECT_EQ(lv->LockCount(), 0);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_FALSE(lv->MessagePosted()) << "a later request posts again";
}

TEST_F(DBListLoadingTest, FieldListsKeepOnlyTheFieldsTheDatasetHas) {
    lv->SetColumnsFields("CODE;Missing;NAME");
    EXPECT_EQ(lv->GetColumnsFields(), "CODE;NAME");
    lv->SetColumnsFields("NAME;");
    EXPECT_EQ(lv->GetColumnsFields(), "NAME");
    lv->SetColumnsFields(" CODE;;PRICE"); // names are not trimmed
    EXPECT_EQ(lv->GetColumnsFields(), "PRICE");
    run_messages();
    EXPECT_EQ(ItemAt(0)->SubItems()->ToVector(), (std::vector<std::string>{"1.5"}));

    // Key fields the dataset lacks: nothing is loaded, and reading the key later fails.
    lv->SetKeyFields("Missing");
    run_messages();
    EXPECT_EQ(lv->GetCount(), 0);
    EXPECT_EQ(lv->GetKeyFields(), "Missing") << "the key text is not rewritten";
    EXPECT_THROW(table->Next(), EDatabaseError);
}

TEST_F(DBListLoadingTest, ATwoFieldKeyGivesTwoElementKeyVectors) {
    TOwned<TTable> objects = db->OpenTable("OBJECTS");
    TDataSource* objectSource = new TDataSource(&form->Form());
    objectSource->SetDataSet(objects.get());
    lv->SetKeyFields("ORIGIN_ID;OBJECT_ID");
    lv->SetStatusIDField("");
    lv->SetImageIDField("");
    lv->SetColumnsFields("");
    lv->SetDataSource(objectSource);
    run_messages();
    EXPECT_EQ(lv->GetKeyFieldsCount(), 2);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}));
    EXPECT_TRUE(VarEquality(ItemAt(4)->GetID(), VarArrayOf({Variant(2), Variant(3)})));
    lv->SetDataSource(nullptr);
}

TEST_F(DBListLoadingTest, DefaultImagesCountOnlyWhenTheImageListHasThem) {
    lv->SetDefState(5);
    lv->SetDefImage(-1);
    EXPECT_EQ(lv->GetDefState(), 0) << "no state-image list";
    auto three = ImagesOf(3);
    auto six = ImagesOf(6);
    lv->SetStateImages(three.get());
    EXPECT_EQ(lv->GetDefState(), 0);
    lv->SetStateImages(six.get());
    EXPECT_EQ(lv->GetDefState(), 5);
    lv->SetLargeImages(six.get());
    EXPECT_EQ(lv->GetDefImage(), 0) << "a negative default is never an image";
    lv->SetDefImage(4);
    run_messages();
    EXPECT_EQ(ItemAt(2)->StateIndex(), 5);
    EXPECT_EQ(ItemAt(1)->ImageIndex(), 4);
    // The published value is the effective one, so a stored form records it.
    EXPECT_EQ(GetPropValue(lv, "DefStatus").AsInteger(), 5);
    six.reset();
    EXPECT_EQ(GetPropValue(lv, "DefStatus").AsInteger(), 0);
}

TEST_F(DBListLoadingTest, ChangingAFieldTextReloadsOnlyWhenItDiffers) {
    run_messages();
    lv->SetNameField("NAME");
    EXPECT_EQ(ReloadsQueued(), 0);
    lv->SetNameField("CODE");
    EXPECT_EQ(ReloadsQueued(), 1);
    run_messages();
    EXPECT_EQ(ItemAt(0)->Caption(), "10");

    // A name field the dataset lacks fails the activation: the list is neither cleared nor
    // reloaded, and the caller hears of it.
    EXPECT_THROW(lv->SetNameField("Missing"), EDatabaseError);
    EXPECT_EQ(lv->GetCount(), 5);
    EXPECT_EQ(ReloadsQueued(), 0);
    EXPECT_EQ(lv->LockCount(), 0);
}

TEST_F(DBListLoadingTest, ADesignedViewShowsNoRecords) {
    TDBListView* designed = MakeView(10, 220, false);
    designed->SetDesigning(true);
    designed->SetDataSource(source);
    run_messages();
    EXPECT_EQ(designed->GetCount(), 0);
    EXPECT_EQ(lv->GetCount(), 5);
}

TEST_F(DBListLoadingTest, AViewWhoseWindowComesLaterLoadsWhenItGetsOne) {
    // As a view read from a form file: bound while it has no window yet.
    TOwned<TDBListView> later(new TDBListView(nullptr));
    later->SetKeyFields("ID");
    later->SetNameField("NAME");
    later->SetDataSource(source);
    EXPECT_FALSE(later->HandleAllocated());
    run_messages();
    EXPECT_EQ(later->GetCount(), 0);
    later->SetParent(&form->Form());
    run_messages();
    EXPECT_EQ(later->GetCount(), 5);

    // A window destroyed with a reload still queued drops it; the new window asks again.
    table->Refresh();
    later->Reload();
    later->DestroyHandle();
    later->HandleNeeded();
    run_messages();
    EXPECT_EQ(later->GetCount(), 5);
}

TEST_F(DBListLoadingTest, ItemsAddedByTheApplicationWithoutADatasetGetAnEmptyKey) {
    TDBListView* unbound = MakeView(10, 220, false);
    TListItem* item = unbound->Items()->Add();
    item->SetCaption("free");
    auto* dbItem = dynamic_cast<TDBListItem*>(item);
    ASSERT_NE(dbItem, nullptr);
    EXPECT_TRUE(VarIsEmpty(dbItem->GetID()));
    EXPECT_EQ(unbound->GetKeyFieldsCount(), 0);
}

TEST_F(DBListLoadingTest, UnbindingClearsTheListAndTheFieldReferences) {
    run_messages();
    table->Close();
    EXPECT_EQ(lv->GetCount(), 0);
    EXPECT_EQ(lv->TextField(), nullptr);
    table->Open();
    run_messages();
    EXPECT_EQ(lv->GetCount(), 5);

    // Closing while the application holds the view busy still drops the references: the
    // fields they pointed at are gone.
    lv->BeginUpdate();
    table->Close();
    table->Open();
    lv->EndUpdate();
    EXPECT_EQ(lv->TextField(), nullptr);
    table->Next();
    EXPECT_EQ(lv->LockCount(), 0);

    source->Free();
    EXPECT_EQ(lv->GetDataSource(), nullptr);
    EXPECT_EQ(lv->GetCount(), 0);
}

TEST_F(DBListLoadingTest, ThePublishedViewListsItsPropertiesAndCanBeCreatedByForms) {
    const TClassInfo& info = TDBListView::StaticClassInfo();
    ASSERT_TRUE(info.Create);
    for (const char* name :
         {"DefStatus", "DefImage", "KeyFieldsCount", "DataSource", "StatusIDField", "ImageIDField",
          "NameField", "KeyFields", "ColumnsFields", "BeforeItemsLoading", "AfterItemsLoading",
          "OnItemSetup", "PopupMenu", "ObjectMenu", "ViewStyle", "OnEdited", "StateImages",
          "TabOrder", "OnKeyUp"})
        EXPECT_NE(info.FindProperty(name), nullptr) << name;
    EXPECT_TRUE(info.FindProperty("KeyFieldsCount")->IsReadOnly());

    SetPropValue(lv, "KeyFields", Variant("ID;"));
    EXPECT_EQ(lv->GetKeyFields(), "ID;");
    EXPECT_EQ(GetObjectProp(lv, "DataSource"), source);
    TComponent* made = info.Create(&form->Form());
    EXPECT_NE(dynamic_cast<TDBListView*>(made), nullptr);
}

} // namespace
} // namespace orvel::test
