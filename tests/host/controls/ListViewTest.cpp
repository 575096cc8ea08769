// The list view as a user meets it: focus and selection changes with their events in order,
// vetoes, multi-selection, deletion, caption editing, the four layouts with scrolling, column
// clicks, popup menus and the item factory.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

class TTaggedItem : public TListItem {
public:
    using TListItem::TListItem;
    int Tag = 7;
};

class TRecordingList : public TListView {
public:
    using TListView::TListView;
    std::vector<std::string> Log;
    bool Tagged = false;

protected:
    TListItem* CreateListItem() override {
        if (Tagged) return new TTaggedItem(Items());
        return TListView::CreateListItem();
    }
    bool CanChange(TListItem* item, TItemChange change) override {
        Log.push_back("can change " + item->Caption());
        return TListView::CanChange(item, change);
    }
    void Change(TListItem* item, TItemChange change) override {
        std::string state = item->Selected() ? "S" : "";
        if (item->Focused()) state += "F";
        Log.push_back("change " + item->Caption() + " " + (state.empty() ? "-" : state));
        TListView::Change(item, change);
    }
    bool CanEdit(TListItem* item) override {
        Log.push_back("can edit " + item->Caption());
        return TListView::CanEdit(item);
    }
    void Edit(const TLVItem& item) override {
        Log.push_back("edit " + item.Item->Caption() + " '" + item.Text + "'");
        TListView::Edit(item);
    }
};

class ListViewTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        // 300 x 200 with a 2-pixel frame; in report style a 20-pixel header, rows of 16 pixels
        // (eleven fit) and, with twenty items, a scroll bar.
        lv = &form->Place<TRecordingList>(10, 10, 300, 200);
        lv->SetViewStyle(vsReport);
        TListColumn* name = lv->Columns()->Add();
        name->SetCaption("Name");
        name->SetWidth(100);
        TListColumn* code = lv->Columns()->Add();
        code->SetCaption("Code");
        code->SetWidth(60);
        for (int i = 0; i < 20; ++i) {
            TListItem* item = lv->Items()->Add();
            item->SetCaption("Item " + std::to_string(i));
            item->SubItems()->Add("C" + std::to_string(i));
        }
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }
    TListItem* ItemAt(int i) const { return lv->Items()->Item(i); }
    TPoint RowOf(int i) const { return center_of(ItemAt(i)->DisplayRect(drLabel)); }

    std::unique_ptr<TTestForm> form;
    TRecordingList* lv = nullptr;
};

TEST_F(ListViewTest, FocusAndSelectionMoveWithTheLosingItemFirst) {
    click(*lv, RowOf(2));
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 2", "change Item 2 SF"}));

    lv->Log.clear();
    click(*lv, RowOf(5));
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 2", "change Item 2 -",
                                                 "can change Item 5", "change Item 5 SF"}));

    // An item that refuses to lose its state keeps the selection where it is.
    lv->OnChanging = [](TObject*, TListItem* item, TItemChange, bool& allow) {
        allow = item->Caption() != "Item 5";
    };
    lv->Log.clear();
    click(*lv, RowOf(7));
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 5"}));
    EXPECT_EQ(lv->Selected(), ItemAt(5));
    EXPECT_FALSE(ItemAt(7)->Selected());
    lv->OnChanging = nullptr;

    lv->Log.clear();
    lv->SetItemFocused(ItemAt(3));
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 5", "change Item 5 S",
                                                 "can change Item 3", "change Item 3 F"}));
    lv->Log.clear();
    lv->SetSelected(ItemAt(3));
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 5", "change Item 5 -",
                                                 "can change Item 3", "change Item 3 SF"}));
    EXPECT_EQ(lv->ItemFocused(), ItemAt(3));
    EXPECT_EQ(lv->SelCount(), 1);

    // The keys move focus and selection together.
    lv->Log.clear();
    press_key(*lv, VK_DOWN);
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 3", "change Item 3 -",
                                                 "can change Item 4", "change Item 4 SF"}));
    press_key(*lv, VK_END);
    EXPECT_EQ(lv->ItemFocused(), ItemAt(19));
    EXPECT_EQ(lv->TopItem(), ItemAt(9));
}

TEST_F(ListViewTest, AnItemAHandlerDeletesWhileTheSelectionMovesIsLeftAlone) {
    lv->SetSelected(ItemAt(2));
    // The item losing the selection deletes the one about to gain it, then one that gains the
    // selection deletes the one that lost it: neither is touched again.
    TListItem* gaining = ItemAt(5);
    lv->OnChange = [&](TObject*, TListItem* item, TItemChange) {
        if (item->Caption() == "Item 2" && !item->Selected() && gaining->Index() == 5)
            lv->Items()->Delete(5);
    };
    lv->Log.clear();
    lv->SetSelected(gaining);
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can change Item 2", "change Item 2 -"}));
    EXPECT_EQ(lv->Items()->IndexOf(gaining), -1);
    EXPECT_EQ(lv->SelCount(), 0);
    EXPECT_EQ(lv->Items()->Count(), 19);

    lv->SetSelected(ItemAt(3));
    TListItem* losing = ItemAt(3);
    lv->OnChange = [&](TObject*, TListItem* item, TItemChange) {
        if (item->Caption() == "Item 4" && item->Selected() && losing->Index() == 3) {
            TListItem* keep = losing;
            losing = nullptr;
            lv->Items()->Delete(keep->Index());
        }
    };
    lv->SetSelected(ItemAt(4));
    EXPECT_EQ(lv->SelCount(), 1);
    EXPECT_EQ(lv->Selected()->Caption(), "Item 4");
    EXPECT_EQ(lv->Items()->Count(), 18);
    lv->OnChange = nullptr;
}

TEST_F(ListViewTest, CtrlClicksBuildAMultipleSelection) {
    lv->SetMultiSelect(true);
    click(*lv, RowOf(1));
    click(*lv, RowOf(4), TShiftState{ssCtrl});
    EXPECT_EQ(lv->SelCount(), 2);
    EXPECT_TRUE(ItemAt(1)->Selected());
    EXPECT_FALSE(ItemAt(1)->Focused());
    EXPECT_EQ(lv->ItemFocused(), ItemAt(4));

    click(*lv, RowOf(1), TShiftState{ssCtrl});
    EXPECT_FALSE(ItemAt(1)->Selected());
    EXPECT_EQ(lv->ItemFocused(), ItemAt(1));
    EXPECT_EQ(lv->Selected(), ItemAt(4));

    click(*lv, RowOf(6));
    EXPECT_EQ(lv->SelCount(), 1);
    EXPECT_EQ(lv->Selected(), ItemAt(6));

    // A click beside the items clears the selection and leaves the focus.
    click(*lv, 150, RowOf(6).Y);
    EXPECT_EQ(lv->SelCount(), 0);
    EXPECT_EQ(lv->ItemFocused(), ItemAt(6));
}

TEST_F(ListViewTest, DeletingAndClearingRaiseDeletionsButNoStateChanges) {
    std::vector<std::string> deleted;
    lv->OnDeletion = [&](TObject*, TListItem* item) { deleted.push_back(item->Caption()); };
    click(*lv, RowOf(5));
    lv->Log.clear();
    lv->Items()->Delete(5);
    EXPECT_TRUE(lv->Log.empty());
    EXPECT_EQ(deleted, (std::vector<std::string>{"Item 5"}));
    EXPECT_EQ(lv->ItemFocused(), nullptr);
    EXPECT_EQ(lv->Selected(), nullptr);
    EXPECT_EQ(ItemAt(5)->Caption(), "Item 6");
    EXPECT_EQ(ItemAt(5)->Index(), 5);

    click(*lv, RowOf(2));
    lv->Log.clear();
    deleted.clear();
    lv->Items()->Clear();
    EXPECT_TRUE(lv->Log.empty());
    EXPECT_EQ(deleted.size(), 19u);
    EXPECT_EQ(lv->Items()->Count(), 0);
    EXPECT_EQ(lv->ItemFocused(), nullptr);
}

TEST_F(ListViewTest, CaptionsAreEditedThroughCanEditAndEditAndCancelledWithout) {
    click(*lv, RowOf(2));
    lv->Log.clear();
    press_key(*lv, VK_F2);
    ASSERT_TRUE(lv->IsEditing());
    EXPECT_EQ(lv->EditorText(), "Item 2");
    type_caption(*lv, "Two");
    EXPECT_EQ(ItemAt(2)->Caption(), "Two");
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can edit Item 2", "edit Item 2 'Two'"}));

    lv->Log.clear();
    ASSERT_TRUE(ItemAt(2)->EditCaption());
    type_text(*lv, "Zwei");
    ItemAt(2)->CancelEdit();
    EXPECT_FALSE(lv->IsEditing());
    EXPECT_EQ(ItemAt(2)->Caption(), "Two");
    ASSERT_TRUE(ItemAt(2)->EditCaption());
    type_caption(*lv, "Deux", TEditEnd::Cancel);
    EXPECT_EQ(ItemAt(2)->Caption(), "Two");
    EXPECT_EQ(lv->Log, (std::vector<std::string>{"can edit Two", "can edit Two"}));

    lv->OnEditing = [](TObject*, TListItem*, bool& allow) { allow = false; };
    EXPECT_FALSE(ItemAt(3)->EditCaption());
    lv->OnEditing = nullptr;
    lv->SetReadOnly(true);
    lv->Log.clear();
    EXPECT_FALSE(ItemAt(3)->EditCaption());
    EXPECT_TRUE(lv->Log.empty());
}

TEST_F(ListViewTest, ItemsAreFoundAtPointsInEveryStyleAfterScrolling) {
    EXPECT_EQ(lv->ClientRect(), Rect(0, 0, 280, 196));
    EXPECT_EQ(lv->VisibleRowCount(), 11);
    EXPECT_EQ(lv->GetItemAt(10, 20 + 3 * 16 + 2), ItemAt(3));
    EXPECT_EQ(lv->GetItemAt(150, 20 + 3 * 16 + 2), nullptr); // beyond the first column
    EXPECT_EQ(lv->GetItemAt(10, 5), nullptr);                // the header
    lv->Scroll(0, 4 * 16);
    EXPECT_EQ(lv->TopItem(), ItemAt(4));
    EXPECT_EQ(lv->GetItemAt(10, 22), ItemAt(4));
    ItemAt(19)->MakeVisible(false);
    EXPECT_EQ(lv->TopItem(), ItemAt(9));
    ItemAt(0)->MakeVisible(false);
    EXPECT_EQ(lv->TopItem(), ItemAt(0));

    lv->SetViewStyle(vsIcon); // three cells of 76 x 64 in a row
    EXPECT_EQ(lv->GetItemAt(80, 70), ItemAt(4));
    EXPECT_EQ(ItemAt(4)->DisplayRect(drBounds), Rect(76, 64, 152, 128));
    EXPECT_EQ(lv->GetItemAt(250, 5), nullptr);

    lv->SetViewStyle(vsList); // columns of twelve rows
    EXPECT_EQ(lv->ClientRect(), Rect(0, 0, 296, 196));
    EXPECT_EQ(lv->GetItemAt(130, 3 * 16 + 2), ItemAt(15));
    EXPECT_EQ(lv->GetItemAt(250, 3 * 16 + 2), nullptr);

    lv->SetViewStyle(vsSmallIcon); // two cells of 120 x 16 in a row
    EXPECT_EQ(lv->GetItemAt(125, 2 * 16 + 3), ItemAt(5));
    EXPECT_EQ(lv->GetItemAt(125, 190), nullptr);
}

TEST_F(ListViewTest, NestedUpdatesRepaintOnceAndSettleTheScrollPositionAtTheEnd) {
    lv->Scroll(0, 9 * 16);
    EXPECT_EQ(lv->TopItem(), ItemAt(9));
    int invalidated = lv->InvalidateCount();
    lv->Items()->BeginUpdate();
    lv->Items()->BeginUpdate();
    for (int i = 0; i < 15; ++i)
        lv->Items()->Delete(0);
    lv->Items()->EndUpdate();
    EXPECT_EQ(lv->InvalidateCount(), invalidated);
    lv->Items()->EndUpdate();
    EXPECT_EQ(lv->InvalidateCount(), invalidated + 1);
    EXPECT_EQ(lv->TopItem(), ItemAt(0));
}

TEST_F(ListViewTest, HeaderClicksReportTheColumn) {
    std::vector<std::string> clicked;
    lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->Caption()); };
    click(*lv, 130, 5);
    click(*lv, 20, 5);
    click(*lv, 200, 5); // right of the last column
    EXPECT_EQ(clicked, (std::vector<std::string>{"Code", "Name"}));
    EXPECT_TRUE(lv->Log.empty());
    lv->SetColumnClick(false);
    click(*lv, 20, 5);
    EXPECT_EQ(clicked.size(), 2u);
}

TEST_F(ListViewTest, ARightClickSelectsTheItemAndPopsUpTheMenu) {
    auto* menu = new TPopupMenu(&form->Form());
    lv->SetPopupMenu(menu);
    right_click(*lv, RowOf(3));
    EXPECT_EQ(lv->Selected(), ItemAt(3));
    EXPECT_EQ(LastPopup().Menu, menu);
    EXPECT_EQ(LastPopup().Point, lv->ClientToScreen(RowOf(3)));
    right_click(*lv, 150, RowOf(5).Y);
    EXPECT_EQ(lv->Selected(), ItemAt(3));
    EXPECT_EQ(menu->PopupCount(), 2);
}

TEST_F(ListViewTest, EveryItemComesFromTheFactoryAndAnnouncesItself) {
    lv->Items()->Clear();
    lv->Tagged = true;
    std::vector<TListItem*> inserted;
    lv->OnInsert = [&](TObject*, TListItem* item) { inserted.push_back(item); };
    TListItem* last = lv->Items()->Add();
    TListItem* first = lv->Items()->Insert(0);
    ASSERT_NE(dynamic_cast<TTaggedItem*>(last), nullptr);
    ASSERT_NE(dynamic_cast<TTaggedItem*>(first), nullptr);
    EXPECT_EQ(inserted, (std::vector<TListItem*>{last, first}));
    EXPECT_EQ(first->Index(), 0);
    EXPECT_EQ(last->Index(), 1);

    last->SetCaption("b");
    first->SetCaption("a");
    last->SubItems()->Add("x");
    first->Assign(last);
    EXPECT_EQ(first->Caption(), "b");
    EXPECT_EQ(first->SubItems()->Get(0), "x");

    // Sorting by caption, or by OnCompare.
    first->SetCaption("z");
    lv->AlphaSort();
    EXPECT_EQ(lv->Items()->Item(0)->Caption(), "b");
    EXPECT_EQ(lv->Items()->Item(1)->Index(), 1);
}

// The column texts of an item with their object slots, through every change a list allows,
// each change repainting the view (or once per update batch).
TEST_F(ListViewTest, ColumnTextsKeepTheirObjectsThroughEveryChange) {
    TListItem* item = ItemAt(0);
    TStrings* sub = item->SubItems();
    TObject* tag = IntToObject(42);
    const std::string long_text(300, 'L');
    sub->Clear();
    sub->Add("a");
    sub->AddObject(long_text, tag);
    sub->Insert(0, std::string("z\0z", 3));
    EXPECT_EQ(sub->ToVector(), (std::vector<std::string>{std::string("z\0z", 3), "a", long_text}));
    EXPECT_EQ(sub->GetObject(0), nullptr);
    EXPECT_EQ(sub->GetObject(2), tag);
    sub->Exchange(0, 2);
    EXPECT_EQ(sub->Get(0), long_text);
    EXPECT_EQ(sub->GetObject(0), tag);
    sub->Delete(0);
    EXPECT_EQ(sub->IndexOfObject(tag), -1);
    sub->PutObject(1, tag);
    sub->Put(1, "");
    EXPECT_EQ(sub->ToVector(), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(sub->GetObject(1), tag);
    EXPECT_THROW(sub->Get(2), EStringListError);
    EXPECT_THROW(sub->Insert(3, "x"), EStringListError);

    // Another item takes texts and objects over.
    ItemAt(1)->Assign(item);
    EXPECT_EQ(ItemAt(1)->SubItems()->ToVector(), sub->ToVector());
    EXPECT_EQ(ItemAt(1)->SubItems()->GetObject(1), tag);

    // One repaint per change, or one for a whole batch.
    int invalidated = lv->InvalidateCount();
    sub->Put(0, "b");
    EXPECT_EQ(lv->InvalidateCount(), invalidated + 1);
    sub->BeginUpdate();
    sub->Clear();
    sub->Add("c");
    sub->Add("d");
    EXPECT_EQ(lv->InvalidateCount(), invalidated + 1);
    sub->EndUpdate();
    EXPECT_EQ(lv->InvalidateCount(), invalidated + 2);
    EXPECT_EQ(sub->GetText(), "c\nd\n");
    EXPECT_EQ(sub->GetObject(0), nullptr); // a cleared list forgets its objects
}

} // namespace
} // namespace orvel
