// The explorer end to end: browsing the sample organisation with keys and the mouse, the popup
// menus, the inventory, the safety checks of deletion, other tables and generated databases.
#include "tests/apps/ExplorerRun.h"

namespace orvel::test {
namespace {

TEST_F(ExplorerTest, OpensOnTheTopLevelAndListsTheChildrenOfTheSelectedObject) {
    TRun run = Keys("");
    EXPECT_TRUE(run.Shows("Orvel Agro Ltd"));
    EXPECT_TRUE(run.Shows("Partners and Suppliers"));
    // The current record's node is selected and its children are listed on the right.
    EXPECT_TRUE(run.Shows("Owned by Orvel Agro Ltd"));
    EXPECT_TRUE(run.Shows("Head Office"));
    EXPECT_TRUE(run.Shows("StartDate"));
    std::string row = run.TreeRow("Orvel Agro Ltd");
    EXPECT_TRUE(TRun::IsSelected(row) && TRun::IsClosed(row)) << run.Screen;
    // Status and class pictures show as glyphs: Active is a green circle, an organisation a
    // blue diamond (shown as a square).
    EXPECT_NE(row.find("● ■ Orvel Agro Ltd"), std::string::npos) << row;
}

TEST_F(ExplorerTest, ExpandsWithEnterAndRightAndCollapsesWithLeft) {
    TRun expanded = Keys("<Enter><Down><Right>");
    EXPECT_TRUE(TRun::IsOpen(expanded.TreeRow("Orvel Agro Ltd"))) << expanded.Screen;
    EXPECT_TRUE(TRun::IsOpen(expanded.TreeRow("Head Office"))) << expanded.Screen;
    EXPECT_TRUE(TRun::IsClosed(expanded.TreeRow("Finance")));
    EXPECT_TRUE(expanded.Shows("Owned by Head Office"));

    TRun collapsed = Keys("<Enter><Down><Right><Left>");
    EXPECT_TRUE(TRun::IsClosed(collapsed.TreeRow("Head Office"))) << collapsed.Screen;
    EXPECT_FALSE(collapsed.Shows("Finance team"));
}

TEST_F(ExplorerTest, PageKeysScrollALongBranch) {
    // North Farm holds buildings, twelve fields, vehicles and a store: more rows than fit.
    TRun run = Keys("<Enter><Down><Down><Right><End>");
    EXPECT_TRUE(TRun::IsSelected(run.TreeRow("Partners and Suppliers"))) << run.Screen;
    EXPECT_EQ(run.TreeRow("Orvel Agro Ltd"), "") << "scrolled to the end";
    EXPECT_TRUE(run.Shows("Field A7"));
}

TEST_F(ExplorerTest, MouseClicksSelectAndToggleNodes) {
    // Row 2 is the first tree row; its expand button is in column 1, its caption from column 3.
    TRun run = Keys("<Click:1,2><Click:5,4>");
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Orvel Agro Ltd"))) << run.Screen;
    EXPECT_TRUE(run.Shows("Owned by North Farm")) << run.Screen;
    // A click on the last letters of a caption still lands on the node.
    TRun end = Keys("<Click:1,2><Click:14,5>");
    EXPECT_TRUE(end.Shows("Owned by River Valley")) << end.Screen;
}

TEST_F(ExplorerTest, TabMovesToTheListWhoseKeysMoveItsSelection) {
    // Entering the list focuses its first item; two keys down is the third child.
    TRun run = Keys("<Tab><Down><Down>");
    EXPECT_NE(run.LineWith("River Valley").find("│▶● ● River Valley"), std::string::npos)
        << run.Screen;
}

TEST_F(ExplorerTest, RightClickPopsUpTheTreeMenuWhoseInsertModeItemsSetTheMode) {
    TRun menu = Keys("<RClick:5,2>");
    EXPECT_TRUE(menu.Shows("Rename")) << menu.Screen;
    EXPECT_TRUE(menu.Shows("Save images as PNG"));
    // Down to "Insert mode", open it, choose "add child".
    TRun chosen = Keys("<RClick:5,2><Down><Down><Down><Down><Down><Right><Enter>");
    EXPECT_TRUE(chosen.Shows("Insert: add child")) << chosen.Screen;
    EXPECT_FALSE(chosen.Shows("Save images as PNG")) << "the menu closed";
    // The key i cycles the mode too.
    EXPECT_TRUE(Keys("i").Shows("Insert: add child"));
    EXPECT_TRUE(Keys("ii").Shows("Insert: add sibling"));
}

TEST_F(ExplorerTest, TheListsViewMenuChangesItsStyle) {
    // The list's popup menu holds the view-style menu; "List" lays items out in columns.
    TRun run = Keys("<RClick:50,4><Enter>");
    EXPECT_TRUE(run.Shows("Large Icons") || run.Shows("Large icons")) << run.Screen;
    TRun list = Keys("<RClick:50,4><Enter><Down><Down><Enter>");
    EXPECT_FALSE(list.Shows("StartDate")) << list.Screen;
    EXPECT_TRUE(list.Shows("Head Office"));
}

TEST_F(ExplorerTest, F6ShowsTheInventory) {
    TRun run = Keys("<F6>");
    EXPECT_TRUE(run.Shows("Inventory")) << run.Screen;
    EXPECT_TRUE(run.Shows("ServiceName"));
    EXPECT_TRUE(run.Shows("Software licences"));
    EXPECT_TRUE(Keys("<F6><F6>").Shows("Owned by Orvel Agro Ltd"));
}

TEST_F(ExplorerTest, DeletingARecordThatOwnsRecordsIsRefusedAndChangesNothing) {
    std::string before = Query("SELECT COUNT(*) FROM Objects");
    TRun run = Keys("<Del>");
    EXPECT_TRUE(run.Shows("'Orvel Agro Ltd' owns records")) << run.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), before);
}

TEST_F(ExplorerTest, HelpShowsTheKeysAndAnyKeyClosesIt) {
    TRun help = Keys("?");
    EXPECT_TRUE(help.Shows("pick up a node")) << help.Screen;
    EXPECT_FALSE(Keys("?<Down>").Shows("pick up a node"));
}

TEST_F(ExplorerTest, QuitEndsTheRunAndLaterKeysAreNotRead) {
    TRun run = Keys("q<Enter>");
    EXPECT_TRUE(TRun::IsClosed(run.TreeRow("Orvel Agro Ltd")))
        << "Enter after q expanded: " << run.Screen;
}

TEST_F(ExplorerTest, AnyTableCanBeShownThroughThePropertyTexts) {
    TRun run = Keys("<Enter>", "--table Classes --links AncestorID-\\>ClassID --root null "
                               "--image-field ClassID --status-field '' --key-fields ClassID "
                               "--columns Code");
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Object"))) << run.Screen;
    EXPECT_TRUE(run.Shows("Equipment"));
    EXPECT_TRUE(run.Shows("Code"));
    EXPECT_TRUE(run.Shows("ORG"));
}

TEST_F(ExplorerTest, ABadConfigurationIsReportedWithoutAScreen) {
    TRun run = Command("--keys '' --table NoSuchTable " + ShellQuote(db));
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_TRUE(run.Shows("orvel-explorer:")) << run.Screen;
    TRun keys = Command("--keys '<Nope>' " + ShellQuote(db));
    EXPECT_NE(keys.ExitCode, 0);
    EXPECT_TRUE(keys.Shows("unknown key <Nope>")) << keys.Screen;
}

TEST_F(ExplorerTest, GeneratesLargeDatabasesThatTheExplorerOpens) {
    std::string big = dir + "/big.db";
    TRun made = Command("--generate 2500 " + ShellQuote(big));
    ASSERT_EQ(made.ExitCode, 0) << made.Screen;
    TRun run = Command("--size 100x30 --keys '<Enter>' " + ShellQuote(big));
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Object 1"))) << run.Screen;
    EXPECT_TRUE(run.Shows("Object 11"));
    std::string saved = db;
    db = big;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), "2500");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE OwnerObjectID IS NULL"), "10");
    EXPECT_EQ(Query("SELECT OwnerObjectID FROM Objects WHERE ObjectID = 2500"), "249");
    db = saved;
}

} // namespace
} // namespace orvel::test
