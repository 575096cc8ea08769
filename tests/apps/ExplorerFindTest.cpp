// The explorer end to end: finding records by name in the whole table, opening list items and
// going up like a file manager, and seeing a record where a move put it.
#include "tests/apps/ExplorerRun.h"

namespace orvel::test {
namespace {

TEST_F(ExplorerTest, FindRevealsMatchesInBranchesNotYetReadAndNextGoesOn) {
    // Nothing below the top level is read at start; the first match lies two levels down.
    TRun first = Keys("/Finance team<Enter>");
    EXPECT_TRUE(TRun::IsSelected(first.TreeRow("Finance team 1"))) << first.Screen;
    EXPECT_TRUE(TRun::IsOpen(first.TreeRow("Finance"))) << first.Screen;
    EXPECT_TRUE(first.Shows("Found 'Finance team 1'"));
    EXPECT_TRUE(first.Shows("Owned by Finance team 1"));

    TRun next = Keys("/Finance team<Enter>nn");
    EXPECT_TRUE(TRun::IsSelected(next.TreeRow("Finance team 3"))) << next.Screen;
    // Past the last match the search starts again from the top.
    TRun wrapped = Keys("/Finance team<Enter>nnn");
    EXPECT_TRUE(TRun::IsSelected(wrapped.TreeRow("Finance team 1"))) << wrapped.Screen;
    EXPECT_TRUE(wrapped.Shows("from the top again"));
    // Case does not matter; a single match says so.
    TRun only = Keys("/HEAD OFFICE<Enter>n");
    EXPECT_TRUE(TRun::IsSelected(only.TreeRow("Head Office"))) << only.Screen;
    EXPECT_TRUE(only.Shows("the only match"));
}

TEST_F(ExplorerTest, FindTakesTypedTextLiterallyAndSaysWhenNothingMatches) {
    TRun prompt = Keys("/Tract");
    EXPECT_TRUE(prompt.Shows("Name contains: Tract")) << prompt.Screen;
    // Backspace erases, Escape closes the prompt and finds nothing.
    EXPECT_TRUE(Keys("/Trax<BS>ct").Shows("Name contains: Tract"));
    TRun cancelled = Keys("/Tract<Esc>");
    EXPECT_FALSE(cancelled.Shows("Name contains")) << cancelled.Screen;
    EXPECT_TRUE(TRun::IsSelected(cancelled.TreeRow("Orvel Agro Ltd")));
    // Quotes and pattern characters are text to find, not SQL and not wildcards.
    for (const char* text : {"it's", "%", "_", "\\", "x' OR '1'='1"}) {
        TRun none = Keys(std::string("/") + text + "<Enter>");
        EXPECT_TRUE(none.Shows("No name contains '" + std::string(text) + "'")) << text << "\n"
                                                                                << none.Screen;
        EXPECT_TRUE(TRun::IsSelected(none.TreeRow("Orvel Agro Ltd"))) << text;
    }
    TRun nothing = Keys("n");
    EXPECT_TRUE(nothing.Shows("Nothing to find yet")) << nothing.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), "868") << "the database is untouched";
}

TEST_F(ExplorerTest, FindReachesDeepRecordsOfAGeneratedDatabase) {
    std::string big = dir + "/big.db";
    ASSERT_EQ(Command("--generate 5000 " + ShellQuote(big)).ExitCode, 0);
    TRun run = Command("--size 100x30 --keys " + ShellQuote("/Object 4321<Enter>") + " " +
                       ShellQuote(big));
    EXPECT_TRUE(TRun::IsSelected(run.TreeRow("Object 4321"))) << run.Screen;
    // Its owners, three levels up, were opened to show it.
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Object 432"))) << run.Screen;
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Object 43")));
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Object 4")));
}

TEST_F(ExplorerTest, EnterOrADoubleClickOnAListItemOpensItAndBackspaceGoesBack) {
    // The list's second item is North Farm.
    TRun opened = Keys("<Tab><Down><Enter>");
    EXPECT_TRUE(opened.Shows("Owned by North Farm")) << opened.Screen;
    EXPECT_TRUE(TRun::IsSelected(opened.TreeRow("North Farm")));
    EXPECT_TRUE(TRun::IsOpen(opened.TreeRow("North Farm")));
    EXPECT_NE(opened.LineWith("Building A").find("│▶"), std::string::npos)
        << "the list still has the focus, on the first child: " << opened.Screen;

    TRun clicked = Keys("<DClick:50,4>");
    EXPECT_TRUE(clicked.Shows("Owned by North Farm")) << clicked.Screen;
    EXPECT_TRUE(TRun::IsOpen(clicked.TreeRow("North Farm")));

    // Backspace shows the parent's children with the item it came from focused.
    TRun back = Keys("<Tab><Down><Enter><BS>");
    EXPECT_TRUE(back.Shows("Owned by Orvel Agro Ltd")) << back.Screen;
    EXPECT_NE(back.LineWith("North Farm").find("│▶"), std::string::npos) << back.Screen;
    // In the tree Backspace selects the parent; at the top level it stays.
    TRun tree = Keys("<Enter><Down><Down><BS>");
    EXPECT_TRUE(TRun::IsSelected(tree.TreeRow("Orvel Agro Ltd"))) << tree.Screen;
    TRun top = Keys("<BS>");
    EXPECT_TRUE(top.Shows("is at the top level")) << top.Screen;
    // A record without children opens to an empty list and says so.
    TRun leaf = Keys("/Finance team 1<Enter><Tab><Enter>");
    EXPECT_TRUE(leaf.Shows("owns nothing")) << leaf.Screen;
}

TEST_F(ExplorerTest, AMovedNodeIsShownUnderItsNewOpenedParent) {
    // A drop onto the parent it has already moves nothing and says nothing of a move.
    TRun same = Keys("<Enter><Down>m<Up>m");
    EXPECT_FALSE(same.Shows("Moved")) << same.Screen;

    // Head Office (row 2) picked up and dropped on River Valley (row 4), which is closed.
    TRun keyboard = Keys("<Enter><Down>m<Down><Down>m");
    EXPECT_TRUE(keyboard.Shows("Moved")) << keyboard.Screen;
    EXPECT_TRUE(TRun::IsOpen(keyboard.TreeRow("River Valley"))) << keyboard.Screen;
    EXPECT_TRUE(TRun::IsSelected(keyboard.TreeRow("Head Office"))) << keyboard.Screen;
    EXPECT_EQ(Query("SELECT OwnerObjectID FROM Objects WHERE Name = 'Head Office'"),
              Query("SELECT ObjectID FROM Objects WHERE Name = 'River Valley'"));

    // The same by the mouse: North Farm (row 3) dragged onto the closed East Depot (row 5).
    TRun mouse = Keys("<Enter><Drag:8,3,8,5>");
    EXPECT_TRUE(mouse.Shows("Moved")) << mouse.Screen;
    EXPECT_TRUE(TRun::IsSelected(mouse.TreeRow("North Farm"))) << mouse.Screen;
    EXPECT_TRUE(TRun::IsOpen(mouse.TreeRow("East Depot"))) << mouse.Screen;
}

} // namespace
} // namespace orvel::test
