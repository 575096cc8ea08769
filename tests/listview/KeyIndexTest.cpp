// Finding an item by key vector gives exactly what a walk of the list in order gives, through
// insertions at any place, deletions, re-keying and sorting.
#include "orvel/listview/DataBaseListView.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace orvel {
namespace {

TDBListItem* WalkFor(const TDBCustomListView& view, const Variant& key) {
    for (int i = 0; i < view.Items()->Count(); ++i) {
        auto* item = static_cast<TDBListItem*>(view.Items()->Item(i));
        if (item->IDEquals2(key)) return item;
    }
    return nullptr;
}

std::vector<Variant> KeyPool() {
    std::vector<Variant> pool;
    for (int i = 0; i < 6; ++i)
        pool.push_back(VarArrayOf({Variant(i)}));
    pool.push_back(VarArrayOf({Variant(static_cast<int16_t>(2))})); // another type: another key
    pool.push_back(VarArrayOf({Variant::Null()}));
    pool.push_back(VarArrayOf({Variant(1), Variant("a")}));
    pool.push_back(VarArrayOf({Variant(1.0), Variant(-0.0)}));
    pool.push_back(VarArrayOf({Variant(1.0), Variant(0.0)})); // equal to the one before
    Variant typed = VarArrayCreate({0, 0}, varInteger);       // equal to the key of 3
    VarArrayPut(typed, Variant(3), {0});
    pool.push_back(typed);
    Variant shifted = VarArrayCreate({1, 1}, varVariant); // other bounds: unequal
    VarArrayPut(shifted, Variant(3), {1});
    pool.push_back(shifted);
    pool.push_back(Variant(3));
    pool.push_back(Variant());
    return pool;
}

TEST(DBListKeyIndexTest, FindsWhatAWalkOfTheListFinds) {
    TOwned<TDBListView> view(new TDBListView(nullptr));
    const std::vector<Variant> pool = KeyPool();
    std::mt19937 random(20240331);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };

    for (int step = 0; step < 3000; ++step) {
        int count = view->Items()->Count();
        switch (pick(6)) {
        case 0:
        case 1: {
            TListItem* item = view->Items()->Insert(static_cast<int>(pick(count + 1)));
            static_cast<TDBListItem*>(item)->SetID(pool[pick(pool.size())]);
            item->SetCaption(std::to_string(pick(50)));
            break;
        }
        case 2:
            if (count > 0) view->Items()->Delete(static_cast<int>(pick(count)));
            break;
        case 3:
        case 4:
            if (count > 0)
                static_cast<TDBListItem*>(view->Items()->Item(static_cast<int>(pick(count))))
                    ->SetID(pool[pick(pool.size())]);
            break;
        default:
            if (step % 50 == 0) view->AlphaSort();
            break;
        }
        for (const Variant& key : pool)
            ASSERT_EQ(view->FindItem(key), WalkFor(*view, key)) << "step " << step;
    }
    view->ClearList();
    for (const Variant& key : pool)
        EXPECT_EQ(view->FindItem(key), nullptr);
}

TEST(DBListKeyIndexTest, EqualKeyVectorsHashAlike) {
    const std::vector<Variant> pool = KeyPool();
    for (const Variant& a : pool)
        for (const Variant& b : pool)
            if (VarEquality(a, b)) {
                EXPECT_EQ(KeyVectorHash(a), KeyVectorHash(b));
            }
}

// The index is made when first asked, from the items added before, and made again after the list
// was emptied; an item made outside the list is never an answer and may outlive the emptying.
TEST(DBListKeyIndexTest, ItemsAddedBeforeTheFirstQuestionAreFoundAndAnEmptiedListStartsOver) {
    TOwned<TDBListView> view(new TDBListView(nullptr));
    auto key = [](int i) { return VarArrayOf({Variant(i)}); };
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 300; ++i)
            static_cast<TDBListItem*>(view->Items()->Add())->SetID(key(i % 200));
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(view->FindItem(key(i))->Index(), i);
        // Kept up once made: a later item and a re-keyed one are found at once.
        static_cast<TDBListItem*>(view->Items()->Insert(0))->SetID(key(150));
        static_cast<TDBListItem*>(view->Items()->Item(5))->SetID(key(-1));
        EXPECT_EQ(view->FindItem(key(150))->Index(), 0);
        EXPECT_EQ(view->FindItem(key(-1))->Index(), 5);
        EXPECT_EQ(view->FindItem(key(4))->Index(), 205);
        view->ClearList();
    }
    EXPECT_EQ(view->FindItem(key(1)), nullptr);
    // An item of the view that was never placed in the list, chained while the index is kept.
    auto loose = std::make_unique<TDBListItem>(view->Items(), key(7), TBookmark());
    EXPECT_EQ(view->FindItem(key(7)), nullptr);
    view->ClearList();
    loose.reset();
    static_cast<TDBListItem*>(view->Items()->Add())->SetID(key(7));
    EXPECT_EQ(view->FindItem(key(7))->Index(), 0);
}

// An item keeps a one-field key as its value alone; whatever it keeps, it must answer as the key
// vector it was given: equal to the same keys, hashed alike, and handed back with its own shape
// and type once asked for.
TEST(DBListKeyIndexTest, AnItemAnswersAsTheKeyVectorItWasGiven) {
    TOwned<TDBListView> view(new TDBListView(nullptr));
    std::vector<Variant> pool = KeyPool();
    pool.push_back(VarArrayOf({Variant("Unit 1")}));
    pool.push_back(VarArrayOf({Variant(VarArrayOf({Variant(3)}))})); // an array inside
    pool.push_back(VarArrayOf({Variant(std::numeric_limits<double>::quiet_NaN())}));
    for (const Variant& given : pool) {
        auto* item = static_cast<TDBListItem*>(view->Items()->Add());
        item->SetID(given);
        for (const Variant& other : pool)
            EXPECT_EQ(item->IDEquals2(other), VarEquality(given, other));
        EXPECT_EQ(view->FindItem(given), VarEquality(given, given) ? item : nullptr);
        // Each element as the vector has it (same type and hash: NaN is not equal to itself),
        // asked before and after the vector itself.
        auto same = [](const Variant& a, const Variant& b) {
            return a.VarType() == b.VarType() &&
                   KeyVectorHash(VarArrayOf({a})) == KeyVectorHash(VarArrayOf({b}));
        };
        auto expectElements = [&] {
            if (!given.IsArray()) {
                EXPECT_TRUE(same(item->KeyElement(0), given));
                return;
            }
            int low = VarArrayLowBound(given, 1), high = VarArrayHighBound(given, 1);
            for (int i = low; i <= high; ++i)
                EXPECT_TRUE(same(item->KeyElement(i - low), given[i]));
            EXPECT_THROW(item->KeyElement(high - low + 1), Exception);
        };
        expectElements();
        const Variant& id = item->GetID();
        expectElements();
        EXPECT_EQ(id.VarType(), given.VarType());
        EXPECT_EQ(VarArrayDimCount(id), VarArrayDimCount(given));
        if (given.IsArray()) {
            EXPECT_EQ(VarArrayLowBound(id, 1), VarArrayLowBound(given, 1));
            EXPECT_EQ(VarArrayHighBound(id, 1), VarArrayHighBound(given, 1));
        }
        EXPECT_EQ(KeyVectorHash(id), KeyVectorHash(given));
        // The vector handed out stays the item's (a second question gives the same one).
        EXPECT_EQ(&item->GetID(), &id);
        for (const Variant& other : pool)
            EXPECT_EQ(item->IDEquals2(other), VarEquality(given, other));
        view->Items()->Clear();
    }
}

} // namespace
} // namespace orvel
