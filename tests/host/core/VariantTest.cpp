// Variant values, arrays, comparison and conversions as the components use them.
#include "orvel/host/core/Variant.h"
#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvel;

TEST(Variant, TypeCodesOfEveryKind) {
    EXPECT_EQ(Variant().VarType(), varEmpty);
    EXPECT_EQ(Variant::Null().VarType(), varNull);
    EXPECT_EQ(Variant(int16_t(5)).VarType(), varSmallint);
    EXPECT_EQ(Variant(5).VarType(), varInteger);
    EXPECT_EQ(Variant(int64_t(5)).VarType(), varInt64);
    EXPECT_EQ(Variant(2.5).VarType(), varDouble);
    EXPECT_EQ(Variant::FromDate(1.0).VarType(), varDate);
    EXPECT_EQ(Variant("abc").VarType(), varString);
    EXPECT_EQ(Variant(true).VarType(), varBoolean);
    EXPECT_EQ(VarArrayOf({1, 2}).VarType(), varArray | varVariant);
    EXPECT_EQ(VarArrayCreate({0, 1}, varEmpty).VarType(), varArray);
}

TEST(Variant, EmptyIsAllZeroBytesAndMovesByBytes) {
    // Containers keep Variants as raw 16-byte items: zero bytes must read as Empty and a value must
    // survive being moved byte by byte.
    alignas(Variant) unsigned char raw[sizeof(Variant)] = {};
    EXPECT_TRUE(reinterpret_cast<Variant*>(raw)->IsEmpty());
    Variant original(std::string("a string long enough to live on the heap, not inline"));
    alignas(Variant) unsigned char moved[sizeof(Variant)];
    std::memcpy(moved, &original, sizeof(Variant));
    new (&original) Variant(); // the source forgets its payload without releasing it
    Variant* v = reinterpret_cast<Variant*>(moved);
    EXPECT_EQ(v->AsString(), "a string long enough to live on the heap, not inline");
    v->~Variant();
}

TEST(Variant, CopiesAreIndependentValuesArraysIncluded) {
    Variant a = VarArrayOf({1, "x"});
    Variant b = a;
    VarArrayPut(b, 99, {0});
    EXPECT_EQ(a[0].AsInteger(), 1);
    EXPECT_EQ(b[0].AsInteger(), 99);
    Variant c;
    c = b;
    VarArrayRedim(c, 0);
    EXPECT_EQ(VarArrayHighBound(b, 1), 1);
    EXPECT_EQ(VarArrayHighBound(c, 1), 0);

    // Re-dimensioning keeps the items that stay, whether the block was shared or not.
    Variant texts = VarArrayOf({"kept", "dropped"});
    Variant shared = texts;
    VarArrayRedim(texts, 2);
    EXPECT_EQ(texts[0].AsString(), "kept");
    EXPECT_TRUE(VarIsEmpty(texts[2]));
    EXPECT_EQ(shared[1].AsString(), "dropped");
    VarArrayRedim(texts, 0);
    VarArrayRedim(texts, 1);
    EXPECT_EQ(texts[0].AsString(), "kept");
    EXPECT_TRUE(VarIsEmpty(texts[1]));

    // An array whose items are made one by one is released whole when making one fails.
    EXPECT_THROW(VarArrayOf(3,
                            [](std::size_t i) {
                                if (i == 1) throw EConvertError("no second item");
                                return Variant("first item, long enough to live on the heap");
                            }),
                 EConvertError);
    EXPECT_EQ(VarArrayOf(2, [](std::size_t i) { return Variant(static_cast<int32_t>(i)); })[1]
                  .AsInteger(),
              1);

    // Refilling reuses only a block no one else holds: copies taken before keep their values.
    auto numbers = [](int32_t base) {
        return [base](std::size_t i) { return Variant(base + static_cast<int32_t>(i)); };
    };
    Variant key = VarArrayOf(2, numbers(10));
    const Variant* block = &key[0];
    VarArrayRefill(key, 2, numbers(20));
    EXPECT_EQ(&key[0], block);
    EXPECT_EQ(key[1].AsInteger(), 21);
    Variant kept = key;
    VarArrayRefill(key, 2, numbers(30));
    EXPECT_EQ(kept[0].AsInteger(), 20);
    EXPECT_EQ(key[0].AsInteger(), 30);
    VarArrayRefill(key, 3, numbers(40)); // another length: a new array
    EXPECT_EQ(VarArrayHighBound(key, 1), 2);
    Variant text("not an array");
    VarArrayRefill(text, 1, numbers(50));
    EXPECT_EQ(text[0].AsInteger(), 50);
    EXPECT_THROW(VarArrayRefill(key, 3, [](std::size_t) -> Variant { throw EConvertError("x"); }),
                 EConvertError);
    EXPECT_TRUE(VarIsEmpty(key));
}

// The template form fills the same arrays as VarArrayRefill, with any callable; a failure leaves
// the vector Empty whether its own block was being refilled or a new one made.
TEST(Variant, RefillingWithAnyCallableReusesOnlyABlockNoOneElseHolds) {
    Variant key;
    VarArrayRefillWith(key, 2, [](std::size_t i) { return Variant(static_cast<int32_t>(i + 10)); });
    ASSERT_EQ(VarArrayDimCount(key), 1);
    EXPECT_EQ(VarArrayLowBound(key, 1), 0);
    EXPECT_EQ(key[1].AsInteger(), 11);
    const Variant* block = &key[0];
    int32_t base = 20;
    auto numbers = [&base](std::size_t i) { return Variant(base + static_cast<int32_t>(i)); };
    VarArrayRefillWith(key, 2, numbers);
    EXPECT_EQ(&key[0], block);
    EXPECT_EQ(key[0].AsInteger(), 20);
    Variant kept = key;
    base = 30;
    VarArrayRefillWith(key, 2, numbers);
    EXPECT_EQ(kept[0].AsInteger(), 20);
    EXPECT_EQ(kept[1].AsInteger(), 21);
    EXPECT_EQ(key[1].AsInteger(), 31);
    // A typed array or another length is not the block asked for.
    Variant typed = VarArrayCreate({0, 1}, varInteger);
    VarArrayRefillWith(typed, 2, numbers);
    EXPECT_EQ(static_cast<int>(typed.VarType()), varArray | varVariant);
    EXPECT_EQ(typed[1].AsInteger(), 31);
    VarArrayRefillWith(key, 0, numbers);
    EXPECT_EQ(VarArrayHighBound(key, 1), -1);

    auto failing = [](std::size_t i) -> Variant {
        if (i == 1) throw EConvertError("x");
        return Variant(1);
    };
    Variant own = VarArrayOf(2, numbers);
    EXPECT_THROW(VarArrayRefillWith(own, 2, failing), EConvertError);
    EXPECT_TRUE(VarIsEmpty(own));
    Variant shared = VarArrayOf(2, numbers);
    Variant other = shared;
    EXPECT_THROW(VarArrayRefillWith(shared, 2, failing), EConvertError);
    EXPECT_TRUE(VarIsEmpty(shared));
    EXPECT_EQ(other[0].AsInteger(), 30);
    Variant text("not an array");
    EXPECT_THROW(VarArrayRefill(text, 3, failing), EConvertError);
    EXPECT_TRUE(VarIsEmpty(text));
}

TEST(Variant, ArraysWithBoundsAndDimensions) {
    Variant v = VarArrayCreate({1, 2}, varVariant);
    EXPECT_EQ(VarArrayDimCount(v), 1);
    EXPECT_EQ(VarArrayLowBound(v, 1), 1);
    EXPECT_EQ(VarArrayHighBound(v, 1), 2);
    VarArrayPut(v, "first", {1});
    EXPECT_EQ(v[1].AsString(), "first");
    EXPECT_THROW(v[0], EVariantError);
    EXPECT_THROW(v[3], EVariantError);

    Variant grid = VarArrayCreate({0, 1, 5, 7}, varInteger);
    EXPECT_EQ(VarArrayDimCount(grid), 2);
    EXPECT_EQ(VarArrayLowBound(grid, 2), 5);
    VarArrayPut(grid, 42, {1, 6});
    EXPECT_EQ(VarArrayGet(grid, {1, 6}).AsInteger(), 42);
    EXPECT_EQ(VarArrayGet(grid, {0, 5}).VarType(), varInteger); // typed elements start at zero
    VarArrayRedim(grid, 8);                                     // the last dimension grows in place
    EXPECT_EQ(VarArrayGet(grid, {1, 6}).AsInteger(), 42);
    EXPECT_EQ(VarArrayHighBound(grid, 2), 8);
    EXPECT_THROW(VarArrayGet(grid, {1}), EVariantError);
    EXPECT_THROW(VarArrayLowBound(grid, 3), EVariantError);
    EXPECT_THROW(VarArrayLowBound(Variant(5), 1), EVariantError);
    EXPECT_EQ(VarArrayDimCount(Variant(5)), 0);
}

TEST(Variant, TypedArrayConvertsWhatIsPut) {
    Variant v = VarArrayCreate({0, 0}, varInteger);
    VarArrayPut(v, "12", {0});
    EXPECT_EQ(v[0].VarType(), varInteger);
    EXPECT_THROW(VarArrayPut(v, "twelve", {0}), EConvertError);
    EXPECT_EQ(v[0].AsInteger(), 12); // nothing changed by the failed put
}

TEST(Variant, ComparisonAcrossTypes) {
    EXPECT_TRUE(VarSameValue(Variant(5), Variant(int16_t(5))));
    EXPECT_TRUE(VarSameValue(Variant(5), Variant(5.0)));
    EXPECT_TRUE(VarSameValue(Variant("5"), Variant(5)));
    EXPECT_FALSE(VarSameValue(Variant("abc"), Variant("ABC"))); // strings exactly
    EXPECT_EQ(VarCompareValue(Variant("a"), Variant("b")), TVariantRelationship::vrLessThan);
    EXPECT_EQ(VarCompareValue(Variant(3), Variant(2.5)), TVariantRelationship::vrGreaterThan);
    EXPECT_TRUE(VarSameValue(Variant::Null(), Variant::Null()));
    EXPECT_TRUE(VarSameValue(Variant(), Variant()));
    EXPECT_EQ(VarCompareValue(Variant::Null(), Variant(0)), TVariantRelationship::vrNotEqual);
    EXPECT_EQ(VarCompareValue(Variant::Null(), Variant()), TVariantRelationship::vrNotEqual);
    EXPECT_EQ(VarCompareValue(Variant("x"), Variant(1)), TVariantRelationship::vrNotEqual);
    // Strict equality also asks for the same type code.
    EXPECT_FALSE(Variant(5) == Variant(int16_t(5)));
    EXPECT_TRUE(VarArrayOf({1, "a"}) == VarArrayOf({1, "a"}));
    EXPECT_EQ(VarHash(VarArrayOf({1, "a"})), VarHash(VarArrayOf({1, "a"})));
}

TEST(Variant, ConversionsAndTheirFailures) {
    EXPECT_EQ(Variant("  42").AsInteger(), 42);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2); // rounding half to even, as the host
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_EQ(Variant(true).AsInteger(), 1);
    EXPECT_EQ(Variant().AsInteger(), 0);
    EXPECT_THROW(Variant::Null().AsInteger(), EConvertError);
    EXPECT_THROW(Variant("abc").AsInteger(), EConvertError);
    EXPECT_THROW(Variant(int64_t(1) << 40).AsInteger(), EConvertError);
    EXPECT_THROW(VarArrayOf({1}).AsString(), EConvertError);
    EXPECT_EQ(Variant::Null().AsString(), "");
    EXPECT_EQ(Variant(-7).AsString(), "-7");
    EXPECT_EQ(Variant(0.1).AsString(), "0.1");
    EXPECT_TRUE(Variant("true").AsBoolean());
    EXPECT_THROW(Variant("maybe").AsBoolean(), EConvertError);
    EXPECT_DOUBLE_EQ(Variant("2.25").AsDouble(), 2.25);
    EXPECT_DOUBLE_EQ(Variant("1900-01-01").AsDateTime(), 2.0); // days since 1899-12-30
    EXPECT_EQ(Variant::FromDate(2.5).AsString(), "1900-01-01 12:00:00");
    try {
        Variant::Null().AsInteger();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Integer)");
    }
    EXPECT_EQ(VarAsType(Variant("7"), varSmallint).VarType(), varSmallint);
    EXPECT_THROW(VarAsType(Variant(70000), varSmallint), EConvertError);
}
