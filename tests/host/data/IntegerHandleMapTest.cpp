// The flat map of integer key handles answers as an ordinary hash map does, for dense keys,
// strided keys that share their low bits, negative and extreme keys, across every growth.
#include "orvel/host/data/IntegerHandleMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

using namespace orvel;

namespace {

TEST(IntegerHandleMap, AnswersEveryKeyAsAHashMapDoesThroughEveryGrowth) {
    std::vector<int64_t> keys;
    for (int64_t i = 0; i < 3000; ++i)
        keys.push_back(i); // dense: one run of eight after another
    for (int64_t i = 1; i < 3000; ++i)
        keys.push_back(i * 1024); // strided: the same place within every run
    for (int64_t i = 1; i < 200; ++i)
        keys.push_back(-i * 8);
    keys.insert(keys.end(), {INT64_MIN, INT64_MAX, INT64_MIN + 1, INT64_MAX - 7});
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; ++i)
        keys.push_back(static_cast<int64_t>(random()));
    std::shuffle(keys.begin(), keys.end(), random);

    TIntegerHandleMap map;
    std::unordered_map<int64_t, int64_t> expected;
    int64_t next = 1;
    for (int64_t key : keys) {
        if (!expected.count(key)) {
            ASSERT_EQ(map.Find(key), 0) << key;
            expected[key] = next;
            map.Add(key, next++);
        }
        // Every key added so far is still found after the table has grown.
        if (next % 997 == 0) {
            for (const auto& [k, handle] : expected)
                ASSERT_EQ(map.Find(k), handle) << k;
        }
    }
    EXPECT_EQ(map.Count(), expected.size());
    for (const auto& [key, handle] : expected)
        EXPECT_EQ(map.Find(key), handle) << key;
    // Neighbours of known keys that were never added are not found.
    for (int64_t absent : {int64_t{-1}, int64_t{3000}, int64_t{1023}, int64_t{1025}, int64_t{-9}})
        EXPECT_EQ(map.Find(absent), expected.count(absent) ? expected[absent] : 0) << absent;
}

TEST(IntegerHandleMap, AKeyAddedAgainKeepsItsFirstHandle) {
    TIntegerHandleMap map;
    EXPECT_EQ(map.Find(5), 0); // an empty map answers without a table
    map.Add(5, 11);
    map.Add(5, 12);
    EXPECT_EQ(map.Find(5), 11);
    EXPECT_EQ(map.Count(), 1u);
}

} // namespace
