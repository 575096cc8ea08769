// Growable arrays: growth steps, bounds, raw slot behaviour and the integer text form.
#include "orvel/containers/Arrays.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvel;

namespace {

// Counts change notifications and lets tests reach the protected tests.
class TCountingArray : public TIntArray {
public:
    int Changes = 0;
    bool Empty(int32_t i) const { return IsEmpty(GetPtr(i)); }

protected:
    void HasChanged() override { ++Changes; }
};

class TZeroIsEmpty : public TIntArray {
protected:
    bool IsEmpty(const void* item) const override {
        return *static_cast<const int32_t*>(item) == 0;
    }
};

} // namespace

TEST(AbstractArray, GrowsInLinearSteps) {
    TIntArray a;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 80; ++i) {
        a.Add(i);
        if (capacities.empty() || capacities.back() != a.Capacity())
            capacities.push_back(a.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 16, 32, 48, 64, 80}));
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Capacity(), 0);
    EXPECT_EQ(a.Items(), nullptr);
}

TEST(AbstractArray, EveryBoundsViolationRaisesArrayErrorAndChangesNothing) {
    EXPECT_THROW(TAbstractArray(0), EArrayError);
    TIntArray a;
    EXPECT_THROW(a.First(), EArrayError);
    EXPECT_THROW(a.Last(), EArrayError);
    a.Add(1);
    a.Add(2);
    EXPECT_THROW(a.GetPtr(-1), EArrayError);
    EXPECT_THROW(a.GetPtr(2), EArrayError);
    EXPECT_THROW(a.Delete(2), EArrayError);
    EXPECT_THROW(a.Insert(3, 9), EArrayError);
    EXPECT_THROW(a.SetCapacity(1), EArrayError);
    EXPECT_THROW(a.SetCount(-1), EArrayError);
    EXPECT_THROW(a.SetCount(INT32_MAX / 4 + 1), EArrayError);
    EXPECT_EQ(a.GetText(), " 1,2");
    a.Insert(2, 3); // at Count: like Add
    EXPECT_EQ(a.GetText(), " 1,2,3");
    try {
        a.Get(7);
        FAIL();
    } catch (const EArrayError& e) {
        EXPECT_STREQ(e.what(), "Array error");
    }
}

TEST(AbstractArray, SetCountAndCapacityAreExact) {
    TIntArray a;
    a.SetCount(10);
    EXPECT_EQ(a.Capacity(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(a.Get(i), 0);
    a.SetCount(3);
    a.SetCapacity(3);
    EXPECT_EQ(a.Capacity(), 3);
}

TEST(AbstractArray, SlotsKeepStaleBytesUntilWritten) {
    TIntArray a;
    a.Add(11);
    a.Add(22);
    a.Add(33);
    a.Delete(2);
    int32_t stale;
    std::memcpy(&stale, static_cast<TAbstractArray&>(a).Add(), sizeof stale);
    EXPECT_EQ(stale, 33);
    a.Insert(0, 5); // items moved: the opened slot was zero-filled, then written
    EXPECT_EQ(a.GetText(), " 5,11,22,33");
}

TEST(AbstractArray, SearchRemoveAndPack) {
    TCountingArray a;
    a.Add(4);
    a.Add(7);
    a.Add(4);
    EXPECT_EQ(a.IndexOf(4), 0);
    int before = a.Changes;
    EXPECT_EQ(a.Remove(99), -1);
    EXPECT_EQ(a.Changes, before); // nothing removed, nothing reported
    EXPECT_EQ(a.Remove(4), 0);
    EXPECT_EQ(a.GetText(), " 7,4");
    EXPECT_FALSE(a.Empty(0));

    TZeroIsEmpty z;
    z.SetText("0,1,0,0,2,0");
    z.Pack();
    EXPECT_EQ(z.GetText(), " 1,2");
}

TEST(IntArray, TextFormRoundTripsAndFailsClearly) {
    TIntArray a;
    EXPECT_EQ(a.GetText(), "");
    a.Add(5);
    EXPECT_EQ(a.GetText(), " 5");
    a.Add(-2);
    a.Add(30);
    TIntArray b;
    b.SetText(a.GetText());
    EXPECT_TRUE(a.IsEqualTo(&b));
    b.SetText("");
    EXPECT_EQ(b.Count(), 0);
    b.SetText("7");
    EXPECT_EQ(b.GetText(), " 7");
    b.SetText("1,2,");
    EXPECT_EQ(b.GetText(), " 1,2");
    EXPECT_THROW(b.SetText("1,,2"), EConvertError);
    EXPECT_EQ(b.GetText(), " 1"); // what was read before the bad piece stays
    EXPECT_THROW(b.SetText("1,x"), EConvertError);

    TIntArray empty1, empty2;
    EXPECT_TRUE(empty1.IsEqualTo(&empty2));
    EXPECT_FALSE(empty1.IsEqualTo(nullptr));
    EXPECT_FALSE(a.IsEqualTo(&empty1));
}
