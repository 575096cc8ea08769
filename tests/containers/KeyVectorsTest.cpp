// Key vectors: equality, null vectors, searching and deleting elements, and TKeysArray as the
// views' request queue.
#include "orvel/containers/TreeAndList.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

Variant Bare(std::initializer_list<Variant> items) {
    Variant v = VarArrayCreate({0, static_cast<int32_t>(items.size()) - 1}, varEmpty);
    int32_t i = 0;
    for (const Variant& item : items)
        VarArrayPut(v, item, {i++});
    return v;
}

} // namespace

TEST(KeyVectors, EqualityNeedsSameBoundsTypesAndValues) {
    EXPECT_TRUE(VarEquality(VarArrayOf({1, 2}), VarArrayOf({1, 2})));
    EXPECT_FALSE(VarEquality(VarArrayOf({1}), Variant(1))); // a one-field key is an array
    Variant shifted = VarArrayCreate({1, 2}, varVariant);
    VarArrayPut(shifted, 1, {1});
    VarArrayPut(shifted, 2, {2});
    EXPECT_FALSE(VarEquality(VarArrayOf({1, 2}), shifted)); // bounds 0..1 against 1..2
    EXPECT_FALSE(VarEquality(VarArrayOf({Variant(int16_t(5))}), VarArrayOf({5})));
    EXPECT_FALSE(VarEquality(VarArrayOf({"5"}), VarArrayOf({5})));
    EXPECT_TRUE(VarEquality(VarArrayOf({Variant::Null()}), VarArrayOf({Variant::Null()})));
    EXPECT_FALSE(VarEquality(VarArrayOf({Variant::Null()}), VarArrayOf({0})));
    EXPECT_TRUE(VarEquality(Variant(), Variant()));
    EXPECT_TRUE(VarEquality(VarArrayOf({}), VarArrayOf({})));
    EXPECT_TRUE(
        VarEquality(VarArrayOf({VarArrayOf({1, "a"})}), VarArrayOf({VarArrayOf({1, "a"})})));
    EXPECT_FALSE(VarEquality(VarArrayOf({"a"}), VarArrayOf({"A"})));
}

TEST(KeyVectors, NullVectors) {
    EXPECT_TRUE(VarIsNullVector(Variant()));
    EXPECT_TRUE(VarIsNullVector(Variant::Null()));
    EXPECT_FALSE(VarIsNullVector(Variant(0)));
    EXPECT_FALSE(
        VarIsNullVector(VarArrayOf({Variant::Null(), Variant::Null()}))); // array of variants
    EXPECT_TRUE(VarIsNullVector(Bare({Variant::Null(), Variant()})));
    EXPECT_TRUE(VarIsNullVector(Bare({Bare({Variant::Null()})})));
    EXPECT_FALSE(VarIsNullVector(Bare({Variant::Null(), 3})));
    EXPECT_TRUE(VarIsNullVector(VarArrayCreate({0, -1}, varEmpty)));
}

TEST(KeyVectors, CountIndexOfAndDelete) {
    Variant v = VarArrayOf({"a", 7, "b", 7, Variant(int16_t(7))});
    EXPECT_EQ(VarKeysCount(v), 5);
    EXPECT_EQ(VarIndexOf(v, 7), 3);                   // the highest match
    EXPECT_EQ(VarIndexOf(v, Variant(int16_t(7))), 4); // types must match
    EXPECT_EQ(VarIndexOf(v, Variant(7.0)), -1);
    EXPECT_EQ(VarIndexOf(Variant(7), 7), -1); // not an array
    EXPECT_EQ(VarIndexOf(v, Bare({})), -1);   // a bare array is never searched for
    EXPECT_THROW(VarKeysCount(Variant(7)), EVariantError);

    Variant three = VarArrayOf({10, 20, 30});
    VarKeysDelete(three, 0);
    EXPECT_EQ(VarArrayHighBound(three, 1), 1);
    EXPECT_EQ(three[0].AsInteger(), 20);
    EXPECT_EQ(three[1].AsInteger(), 30);
    VarKeysDelete(three, 5); // beyond the end: the last element still goes
    EXPECT_EQ(VarKeysCount(three), 1);
    EXPECT_EQ(three[0].AsInteger(), 20);
}

TEST(KeysArray, NullCountFollowsEveryOperation) {
    TKeysArray keys;
    EXPECT_EQ(keys.Add(VarArrayOf({Variant::Null()})), 0); // all-Null key vector: not null
    EXPECT_EQ(keys.NullCount(), 0);
    keys.Add(Variant::Null());
    keys.Add(Variant());
    EXPECT_EQ(keys.NullCount(), 2);
    keys.Put(1, VarArrayOf({1}));
    EXPECT_EQ(keys.NullCount(), 1);
    keys.Put(1, Variant());
    EXPECT_EQ(keys.NullCount(), 2);
    keys.Insert(0, Variant::Null());
    EXPECT_EQ(keys.NullCount(), 3);
    EXPECT_TRUE(keys.IsNull(0));
    EXPECT_EQ(keys.Remove(Variant()), 2); // the first Empty item
    EXPECT_EQ(keys.NullCount(), 2);
    EXPECT_EQ(keys.Remove(VarArrayOf({42})), -1);
    EXPECT_EQ(keys.NullCount(), 2); // nothing removed, nothing counted
    keys.Clear();
    EXPECT_EQ(keys.Count(), 0);
    EXPECT_EQ(keys.NullCount(), 0);
    EXPECT_THROW(keys.Get(0), EArrayError);
    EXPECT_THROW(keys.Insert(1, Variant()), EArrayError);
}

TEST(KeysArray, AsARequestQueue) {
    TKeysArray queue;
    Variant k1 = VarArrayOf({1}), k2 = VarArrayOf({2, "x"}), k3 = VarArrayOf({3});
    EXPECT_EQ(queue.IndexOf(k1), -1);
    EXPECT_EQ(queue.Add(k1), 0);
    EXPECT_EQ(queue.Add(k2), 1);
    EXPECT_EQ(queue.Add(k3), 2);
    EXPECT_EQ(queue.IndexOf(VarArrayOf({2, "x"})), 1);
    queue.Disable(0);
    queue.Disable(2);
    EXPECT_EQ(queue.Count(), 3); // indexes of messages still queued stay valid
    EXPECT_TRUE(queue.Get(0).IsEmpty());
    EXPECT_TRUE(VarEquality(queue.Get(1), k2));
    queue.Disable(1);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.NullCount(), 0);
    EXPECT_EQ(queue.Add(k3), 0); // indexes start again from 0
    Variant out;
    queue.Get(0, out);
    EXPECT_TRUE(VarEquality(out, k3));
}

TEST(KeysArray, OwnsItsVariantsExactly) {
    // Strings and arrays held by the items are released on remove, disable, clear and destruction;
    // the sanitizer build reports any leak or double release.
    TKeysArray keys;
    for (int i = 0; i < 40; ++i)
        keys.Add(VarArrayOf({i, std::string(40, static_cast<char>('a' + i % 26))}));
    Variant probe = VarArrayOf({3, std::string(40, 'd')});
    EXPECT_EQ(keys.Remove(probe), 3);
    keys.Disable(0);
    keys.Put(1, VarArrayOf({"replaced"}));
    keys.Insert(5, VarArrayOf({VarArrayOf({"nested"})}));
    keys.Add(probe); // into a slot that held the bytes of a moved item
    EXPECT_EQ(keys.IndexOf(probe), keys.Count() - 1);
}
