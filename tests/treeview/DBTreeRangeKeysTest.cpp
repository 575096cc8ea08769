// The ranges a load opens take the parent key as the parent-reference fields store it: a root key
// written as text selects the records of that parent, every branch read below it follows, and
// each load leaves the table browsing without a range, on the record it was on.
#include "tests/treeview/TreeTestSupport.h"

#include <string>

namespace orvel::test {
namespace {

using TreeRangeKeysTest = TreeTest;

TEST_F(TreeRangeKeysTest, ARootKeyGivenAsTextSelectsTheChildrenOfThatParent) {
    OpenOrganization(lsOneAhead);
    table->Last();
    int64_t last = CurrentId();
    tree->SetTopParentKey("'1'");
    Bind();
    EXPECT_EQ(Picture(*tree), "Sales+ (North), Engineering+ (Research)");
    ClickButton(NodeNamed(*tree, "Sales"));
    EXPECT_EQ(Picture(NodeNamed(*tree, "Sales")->GetFirstChild()), "North, South");
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_EQ(CurrentId(), last);
    EXPECT_FALSE(tree->IsStopped());

    // The same parent given as a number shows the same.
    tree->SetTopParentKey("1");
    run_messages();
    EXPECT_EQ(Picture(*tree), "Sales+ (North), Engineering+ (Research)");
}

TEST_F(TreeRangeKeysTest, ARootKeyThatDoesNotFitTheParentFieldFailsTheLoadAndLeavesTheTable) {
    OpenOrganization(lsOneAhead);
    tree->SetTopParentKey("'head'");
    Bind();
    EXPECT_EQ(Picture(*tree), "");
    EXPECT_FALSE(table->RangeApplied());
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_FALSE(tree->IsStopped());
    Application().ShownErrors.clear();
}

} // namespace
} // namespace orvel::test
