// The packed text list against a vector of strings over long random runs: texts of every length
// class (empty, one-byte lengths, the long-length mark and beyond, embedded zero bytes), moves
// between the inline room and a heap block, and texts taken from the list itself.
#include "orvel/host/core/PackedTexts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace orvel {
namespace {

std::string TextOfLength(std::size_t length, char fill) {
    std::string text(length, fill);
    if (length > 2) text[length / 2] = '\0';
    return text;
}

void ExpectSame(const TPackedTexts& packed, const std::vector<std::string>& expected) {
    ASSERT_EQ(packed.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < packed.Count(); ++i)
        ASSERT_EQ(packed.Get(i), expected[static_cast<std::size_t>(i)]) << "text " << i;
    ASSERT_LE(packed.Size(), packed.Capacity());
}

TEST(PackedTexts, AgreesWithAVectorOfStringsOverRandomRuns) {
    const std::size_t lengths[] = {0, 1, 5, 15, 23, 24, 25, 254, 255, 256, 1000};
    std::mt19937 random(11);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    TPackedTexts packed;
    std::vector<std::string> expected;
    for (int step = 0; step < 20000; ++step) {
        std::string text =
            TextOfLength(lengths[pick(std::size(lengths))], static_cast<char>('a' + pick(26)));
        std::size_t count = expected.size();
        switch (pick(count > 12 ? 5 : 4)) {
        case 0:
        case 1: {
            std::size_t at = pick(count + 1);
            packed.Insert(static_cast<int>(at), text);
            expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), text);
            break;
        }
        case 2:
            if (count) {
                std::size_t at = pick(count);
                packed.Put(static_cast<int>(at), text);
                expected[at] = text;
            }
            break;
        case 3:
            if (count) {
                std::size_t at = pick(count);
                packed.Delete(static_cast<int>(at));
                expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
            }
            break;
        default:
            packed.Clear();
            expected.clear();
            break;
        }
        ExpectSame(packed, expected);
    }
}

TEST(PackedTexts, ShortRowsStayInsideAndAClearGivesTheBlockBack) {
    TPackedTexts packed;
    packed.Insert(0, "C-7919");
    packed.Insert(1, "Room 12");
    packed.Insert(2, "123");
    EXPECT_EQ(packed.Capacity(), TPackedTexts::InlineBytes);
    packed.Insert(3, std::string(40, 'x'));
    EXPECT_GT(packed.Capacity(), TPackedTexts::InlineBytes);
    ExpectSame(packed, {"C-7919", "Room 12", "123", std::string(40, 'x')});
    packed.Clear();
    EXPECT_EQ(packed.Count(), 0);
    EXPECT_EQ(packed.Capacity(), TPackedTexts::InlineBytes);
    // Removing the last text also gives the block back.
    packed.Insert(0, std::string(300, 'y'));
    packed.Delete(0);
    EXPECT_EQ(packed.Capacity(), TPackedTexts::InlineBytes);
}

// A text read from the list and written back into it while the list grows must not be read
// from the block the growth gives back.
TEST(PackedTexts, TakesTextsFromItselfWhileGrowing) {
    TPackedTexts packed;
    packed.Insert(0, std::string(20, 'a'));
    for (int i = 0; i < 6; ++i)
        packed.Insert(0, packed.Get(packed.Count() - 1));
    ASSERT_EQ(packed.Count(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(packed.Get(i), std::string(20, 'a'));
    packed.Put(3, std::string(600, 'b'));
    packed.Put(0, packed.Get(3));
    EXPECT_EQ(packed.Get(0), std::string(600, 'b'));
    EXPECT_EQ(packed.Get(3), std::string(600, 'b'));
    EXPECT_EQ(packed.Get(6), std::string(20, 'a'));

    // Appended at the end, where a short text that fits is written at once, a text of the list's
    // own comes out whole too, whether it fits or makes the list grow.
    TPackedTexts tail;
    tail.Insert(0, "abcdefghij");
    tail.Insert(1, tail.Get(0));
    tail.Insert(2, tail.Get(1));
    tail.Insert(3, tail.Get(2).substr(0, 0));
    ExpectSame(tail, {"abcdefghij", "abcdefghij", "abcdefghij", ""});
}

} // namespace
} // namespace orvel
