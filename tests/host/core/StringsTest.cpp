// String lists with objects, as the lookup combo and the field-name lists use them.
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

using namespace orvel;

TEST(StringList, EntriesCarryThirtyTwoBitCodes) {
    TStringList list;
    list.AddObject("Open", IntToObject(1));
    list.AddObject("Closed", IntToObject(5));
    list.AddObject("Also five", IntToObject(5));
    list.AddObject("Negative", IntToObject(-2147483647 - 1));
    EXPECT_EQ(list.IndexOfObject(IntToObject(5)), 1); // the first entry with the code
    EXPECT_EQ(ObjectToInt(list.GetObject(3)), INT32_MIN);
    EXPECT_EQ(list.IndexOf("closed"), 1); // without regard to case
    EXPECT_EQ(list.IndexOf("Clos"), -1);
    list.Delete(0);
    EXPECT_EQ(list.IndexOfObject(IntToObject(5)), 0);
    EXPECT_THROW(list.Get(3), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
}

TEST(StringList, SortedListsMoveObjectsWithTheirTexts) {
    TStringList list;
    list.AddObject("pear", IntToObject(3));
    list.AddObject("Apple", IntToObject(1));
    list.AddObject("fig", IntToObject(2));
    list.SetSorted(true);
    EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"Apple", "fig", "pear"}));
    EXPECT_EQ(ObjectToInt(list.GetObject(0)), 1);
    EXPECT_EQ(ObjectToInt(list.GetObject(2)), 3);
    EXPECT_EQ(list.AddObject("banana", IntToObject(9)), 1); // sorted insertion
    EXPECT_EQ(list.AddObject("BANANA", IntToObject(8)), 1); // duplicates ignored by default
    EXPECT_EQ(list.Count(), 4);
    EXPECT_THROW(list.Insert(0, "zzz"), EStringListError);
    EXPECT_EQ(list.IndexOf("FIG"), 2);
}

TEST(StringList, AssignCopiesTextsAndObjectsAndNotifiesOnce) {
    TStringList source{"a", "b"};
    source.PutObject(1, IntToObject(7));
    TStringList target{"old"};
    int changes = 0;
    target.OnChange = [&](TObject*) { ++changes; };
    target.Assign(&source);
    EXPECT_EQ(target.ToVector(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ObjectToInt(target.GetObject(1)), 7);
    EXPECT_EQ(changes, 1);
    target.Add("c");
    EXPECT_EQ(changes, 2);
    target.Clear();
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(changes, 3);
}

TEST(StringList, TextSplitsAtLineBreaks) {
    TStringList list;
    list.SetText("one\r\ntwo\nthree");
    EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(list.GetText(), "one\ntwo\nthree\n");
}

namespace orvel {
namespace {

TEST(StringListSearch, ExactSearchTellsCaseApartWhereIndexOfDoesNot) {
    TStringList list{"Name", "name"};
    EXPECT_EQ(list.IndexOf("name"), 0);
    EXPECT_EQ(IndexOfExact(list, "name"), 1);
    EXPECT_EQ(IndexOfExact(list, "NAME"), -1);
}

} // namespace
} // namespace orvel
