// The data-aware list's items in the item pool: a reload makes its items in the storage the last
// load left and gives the same answers; an item keeps its identity while the user and the dataset
// move, select, scroll and repaint; and a deleted record's item leaves no pointer in the list.
#include "tests/listview/ListViewFixture.h"

#include "orvel/host/controls/ListItemPool.h"

#include <set>

namespace orvel::test {
namespace {

class DBListItemStorage : public ListViewFixture {
protected:
    // Everything an item answers, in list order.
    std::vector<std::string> Answers() const {
        std::vector<std::string> out;
        for (int i = 0; i < lv->Items()->Count(); ++i) {
            TDBListItem* item = ItemAt(i);
            std::string text = item->Caption() + "|" + VarToStr(item->KeyElement(0)) + "|" +
                               std::to_string(item->StateIndex()) + "|" +
                               std::to_string(item->ImageIndex()) + "|" +
                               std::to_string(table->BookmarkValid(item->GetBookMark()));
            for (const std::string& column : item->SubItems()->ToVector())
                text += "|" + column;
            out.push_back(text);
        }
        return out;
    }
    std::vector<TListItem*> Pointers() const {
        std::vector<TListItem*> out;
        for (int i = 0; i < lv->Items()->Count(); ++i)
            out.push_back(lv->Items()->Item(i));
        return out;
    }
};

TEST_F(DBListItemStorage, AReloadMakesItsItemsWhereTheLastLoadLeftThemWithTheSameAnswers) {
    run_messages();
    std::vector<std::string> answers = Answers();
    ASSERT_EQ(answers.size(), 5u);
    std::vector<TListItem*> before = Pointers();
    const std::size_t inUse = ListItemSlotsInUse(sizeof(TDBListItem));

    lv->DoReload();
    run_messages();
    EXPECT_EQ(Answers(), answers);
    std::vector<TListItem*> after = Pointers();
    EXPECT_EQ(std::set<TListItem*>(after.begin(), after.end()),
              std::set<TListItem*>(before.begin(), before.end()));
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TDBListItem)), inUse);
    EXPECT_EQ(lv->FindItem(Key(3)), ItemAt(2));
}

TEST_F(DBListItemStorage, AnItemKeepsItsIdentityWhileUserAndDatasetMoveSelectScrollAndRepaint) {
    run_messages();
    std::vector<TListItem*> held = Pointers();
    click(*lv, RowOf(1));
    run_messages();
    EXPECT_EQ(lv->Selected(), held[1]);
    table->Locate("ID", Variant(4));
    run_messages();
    EXPECT_EQ(lv->ItemFocused(), held[3]);
    lv->Scroll(0, TCustomListView::RowHeight);
    lv->Invalidate();
    lv->Update();
    run_messages();
    EXPECT_EQ(Pointers(), held);
    for (std::size_t i = 0; i < held.size(); ++i)
        EXPECT_EQ(lv->Items()->IndexOf(held[i]), static_cast<int>(i));
    EXPECT_EQ(lv->FindItem(Key(4)), held[3]);

    // The record deleted, its item goes, and the pointer held to it names nothing in the list.
    table->Locate("ID", Variant(2));
    table->Delete();
    run_messages();
    EXPECT_EQ(lv->Items()->IndexOf(held[1]), -1);
    EXPECT_EQ(lv->FindItem(Key(2)), nullptr);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Item 1", "Item 3", "Item 4", "Item 5"}));
}

// A view whose factory makes items of a class of its own, derived from the data-aware item.
class TTaggedItem : public TDBListItem {
public:
    using TDBListItem::TDBListItem;
    int Tag = 7;
};

class TTaggedListView : public TDBListView {
public:
    using TDBListView::TDBListView;

protected:
    // A load names the record's key vector in LastKey while it adds the record's item.
    TListItem* CreateListItem() override {
        return new TTaggedItem(Items(), LastKey(), TBookmark());
    }
};

TEST_F(DBListItemStorage, ADerivedViewsOwnItemClassLoadsTheSameAnswers) {
    run_messages();
    std::vector<std::string> answers = Answers();
    auto& tagged = form->Place<TTaggedListView>(10, 220, 300, 200);
    tagged.SetKeyFields("ID");
    tagged.SetNameField("NAME");
    tagged.SetStatusIDField("STATUS_ID");
    tagged.SetImageIDField("IMAGE_ID");
    tagged.SetColumnsFields("CODE;NAME");
    tagged.SetDataSource(source);
    run_messages();
    ASSERT_EQ(tagged.Items()->Count(), 5);
    for (int i = 0; i < 5; ++i) {
        auto* item = dynamic_cast<TTaggedItem*>(tagged.Items()->Item(i));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Tag, 7);
    }
    TDBListView* plain = lv;
    lv = &tagged;
    std::vector<std::string> taggedAnswers = Answers();
    lv = plain;
    EXPECT_EQ(taggedAnswers, answers);
    EXPECT_EQ(tagged.FindItem(Key(3)), tagged.Items()->Item(2));
}

} // namespace
} // namespace orvel::test
