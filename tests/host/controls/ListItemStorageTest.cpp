// How list items are kept: the item pool makes and takes back the items of every list view class,
// keeps the blocks of an emptied list for the next load, and, under AddressSanitizer, reports an
// item used after its deletion; a deleted item's pointer is still safe to ask IndexOf about.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ListItemPool.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_TEST_ASAN 1
#endif

namespace orvel {
namespace {

class ListItemStorage : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        list = &form->Place<TListView>(10, 10, 200, 160);
        list->SetViewStyle(vsReport);
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }
    TListItems& Items() { return *list->Items(); }
    std::set<TListItem*> Fill(int count) {
        std::set<TListItem*> made;
        for (int i = 0; i < count; ++i) {
            TListItem* item = Items().Add();
            item->SetCaption("item " + std::to_string(i));
            item->SubItems()->Add("column of " + std::to_string(i));
            made.insert(item);
        }
        return made;
    }

    std::unique_ptr<TTestForm> form;
    TListView* list = nullptr;
};

TEST_F(ListItemStorage, AReloadMakesItsItemsInTheBlocksTheLastLoadLeft) {
    const std::size_t size = sizeof(TListItem);
    ASSERT_EQ(ListItemSlotsInUse(size), 0u);
    ReleaseListItemReserve();
    std::set<TListItem*> first = Fill(3000);
    EXPECT_EQ(ListItemSlotsInUse(size), 3000u);
    EXPECT_EQ(ListItemReserveBytes(), 0u);

    // The last item gone, the blocks wait in the reserve instead of going back to the heap.
    Items().Clear();
    EXPECT_EQ(ListItemSlotsInUse(size), 0u);
    const std::size_t kept = ListItemReserveBytes();
    EXPECT_GE(kept, 3000 * size);

    std::set<TListItem*> second = Fill(3000);
    EXPECT_EQ(second, first);
    EXPECT_EQ(ListItemReserveBytes(), 0u);
    for (int i = 0; i < Items().Count(); ++i) {
        EXPECT_EQ(Items()[i]->Caption(), "item " + std::to_string(i));
        EXPECT_EQ(Items()[i]->SubItems()->Get(0), "column of " + std::to_string(i));
        EXPECT_EQ(Items()[i]->Index(), i);
        EXPECT_FALSE(Items()[i]->Selected());
    }

    // Given back on request.
    Items().Clear();
    EXPECT_EQ(ListItemReserveBytes(), kept);
    ReleaseListItemReserve();
    EXPECT_EQ(ListItemReserveBytes(), 0u);
}

TEST_F(ListItemStorage, ADeletedItemsSlotServesTheNextItemAndItsOldPointerIsNotInTheList) {
    std::set<TListItem*> made = Fill(20);
    TListItem* gone = Items()[7];
    Items().Delete(7);
    EXPECT_EQ(Items().IndexOf(gone), -1);
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TListItem)), 19u);
    TListItem* next = Items().Add();
    EXPECT_EQ(next, gone);
    EXPECT_EQ(next->Caption(), "");
    EXPECT_EQ(next->SubItems()->Count(), 0);
    EXPECT_EQ(Items().IndexOf(next), 19);
}

TEST_F(ListItemStorage, AVouchedMemberIsAnsweredForOnlyUntilSomethingIsRemoved) {
    Fill(20);
    TListItem* vouched = Items()[5];
    Items().NoteMember(vouched);
    EXPECT_EQ(Items().IndexOf(vouched), 5);
    // Items added in front move it: its position is still its own.
    Items().Insert(0);
    EXPECT_EQ(Items().IndexOf(vouched), 6);
    // Once it is deleted, its pointer (whose slot the next item takes) is no member.
    Items().Delete(6);
    EXPECT_EQ(Items().IndexOf(vouched), -1);
    TListItem* next = Items().Add();
    EXPECT_EQ(next, vouched);
    EXPECT_EQ(Items().IndexOf(next), 20);
    // Another item's removal ends what the vouching answers as well; a clear ends everything.
    TListItem* other = Items()[3];
    Items().NoteMember(other);
    Items().Delete(0);
    EXPECT_EQ(Items().IndexOf(other), 2);
    Items().NoteMember(other);
    Items().Clear();
    EXPECT_EQ(Items().IndexOf(other), -1);
    EXPECT_EQ(Items().IndexOf(next), -1);
}

TEST_F(ListItemStorage, ALargeListsBlocksAreHugePagesOfTheirOwnAndGoBackWhenGivenBack) {
    ReleaseListItemReserve();
    const std::size_t mapped = ListItemMappedBytes();
    Fill(20000);
#if defined(__linux__) && !defined(ORVEL_TEST_ASAN)
    EXPECT_GT(ListItemMappedBytes(), mapped);
#else
    EXPECT_EQ(ListItemMappedBytes(), mapped);
#endif
    for (int i = 0; i < Items().Count(); i += 997)
        EXPECT_EQ(Items()[i]->Caption(), "item " + std::to_string(i));
    Items().Clear();
    ReleaseListItemReserve();
    EXPECT_EQ(ListItemMappedBytes(), 0u);
}

TEST_F(ListItemStorage, ColumnTextsAddedStraightKeepTheirObjectSlotsInStep) {
    TListItem* item = Items().Add();
    auto* columns = static_cast<TListSubItems*>(item->SubItems());
    columns->AddText("plain");
    TObject marker;
    columns->AddObject("with object", &marker);
    columns->AddText(std::string(300, 'x')); // beyond the texts kept inside the item
    ASSERT_EQ(columns->Count(), 3);
    EXPECT_EQ(columns->Get(0), "plain");
    EXPECT_EQ(columns->GetObject(0), nullptr);
    EXPECT_EQ(columns->GetObject(1), &marker);
    EXPECT_EQ(columns->Get(2), std::string(300, 'x'));
    EXPECT_EQ(columns->GetObject(2), nullptr);
    columns->Delete(0);
    EXPECT_EQ(columns->GetObject(0), &marker);
}

// An item class of another size, aligned more strictly than a pointer.
class TWideItem : public TListItem {
public:
    using TListItem::TListItem;
    alignas(16) unsigned char Payload[40] = {};
};

class TWideList : public TListView {
public:
    using TListView::TListView;

protected:
    TListItem* CreateListItem() override { return new TWideItem(Items()); }
};

TEST_F(ListItemStorage, AnItemClassOfItsOwnSizeAndAlignmentGetsSlotsOfItsOwn) {
    auto& wide = form->Place<TWideList>(220, 10, 200, 160);
    Fill(5);
    const std::size_t plain = ListItemSlotsInUse(sizeof(TListItem));
    for (int i = 0; i < 100; ++i) {
        auto* item = static_cast<TWideItem*>(wide.Items()->Add());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(item->Payload) % 16, 0u);
        item->Payload[39] = static_cast<unsigned char>(i);
    }
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TWideItem)), 100u);
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TListItem)), plain);
    wide.Items()->Clear();
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TWideItem)), 0u);
    EXPECT_EQ(ListItemSlotsInUse(sizeof(TListItem)), plain);
}

using ListItemStorageDeathTest = ListItemStorage;

TEST_F(ListItemStorageDeathTest, AnItemReadAfterItsDeletionIsReportedBySanitizer) {
#ifndef ORVEL_TEST_ASAN
    GTEST_SKIP() << "needs the AddressSanitizer build";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Items().Add()->SetCaption("kept"); // the pool keeps its block: the slot is poisoned
            TListItem* gone = Items().Add();
            gone->SetCaption("gone");
            Items().Delete(1);
            volatile int index = Items().IndexOf(gone); // safe: compares pointers only
            (void)index;
            volatile int image = gone->ImageIndex();
            (void)image;
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            TListItem* last = Items().Add();
            Items().Clear(); // the last item: its block went to the reserve, poisoned whole
            volatile int image = last->ImageIndex();
            (void)image;
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            TListItem* last = Items().Add();
            Items().Clear();
            ReleaseListItemReserve(); // the block went back to the heap
            volatile int image = last->ImageIndex();
            (void)image;
        },
        "heap-use-after-free");
#endif
}

} // namespace
} // namespace orvel
