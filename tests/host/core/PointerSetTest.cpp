// The flat address set against the standard library's set, over long random runs of adding,
// removing and asking, including addresses of freed objects and runs that leave many emptied
// slots behind.
#include "orvel/host/core/PointerSet.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <unordered_set>
#include <vector>

namespace orvel {
namespace {

TEST(PointerSet, AgreesWithAStandardSetOverRandomRuns) {
    std::mt19937 random(7);
    // Addresses of real objects, some of them freed while the set still holds them.
    std::vector<std::unique_ptr<int>> objects;
    for (int i = 0; i < 5000; ++i)
        objects.push_back(std::make_unique<int>(i));
    std::vector<const void*> addresses;
    for (const auto& o : objects)
        addresses.push_back(o.get());

    TPointerSet set;
    std::unordered_set<const void*> expected;
    for (int step = 0; step < 200000; ++step) {
        const void* p = addresses[random() % addresses.size()];
        switch (random() % 3) {
        case 0:
            EXPECT_EQ(set.Insert(p), expected.insert(p).second);
            break;
        case 1:
            EXPECT_EQ(set.Erase(p), expected.erase(p) == 1);
            break;
        default:
            EXPECT_EQ(set.Contains(p), expected.count(p) == 1);
        }
        ASSERT_EQ(set.Size(), expected.size());
        if (step == 100000) objects.resize(2500); // only the addresses stay in use
        if (step % 50000 == 0) set.Reserve(expected.size() + 3000); // room made mid-way
    }
    for (const void* p : addresses)
        EXPECT_EQ(set.Contains(p), expected.count(p) == 1);
}

TEST(PointerSet, GrowsEmptiesAndRefusesNull) {
    TPointerSet set;
    EXPECT_FALSE(set.Contains(nullptr));
    EXPECT_FALSE(set.Insert(nullptr));
    EXPECT_FALSE(set.Erase(&set));
    std::vector<int> values(100000);
    for (int& v : values)
        EXPECT_TRUE(set.Insert(&v));
    EXPECT_EQ(set.Size(), values.size());
    // Removing and adding again in turns leaves emptied slots that must not fill the table.
    for (int round = 0; round < 3; ++round)
        for (int& v : values) {
            EXPECT_TRUE(set.Erase(&v));
            EXPECT_FALSE(set.Contains(&v));
            EXPECT_TRUE(set.Insert(&v));
        }
    EXPECT_TRUE(set.Contains(&values.back()));
    set.Clear();
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains(&values.front()));
    EXPECT_TRUE(set.Insert(&values.front()));
}

} // namespace
} // namespace orvel
