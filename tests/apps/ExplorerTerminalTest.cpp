// The explorer on terminals of any size end to end: too small a screen shows a notice and lets
// nothing be answered unseen, a size change lays the panels out again, and a right click acts
// on what it points at.
#include "tests/apps/ExplorerRun.h"

#include <sstream>

namespace orvel::test {
namespace {

std::vector<std::string> Lines(const std::string& screen) {
    std::vector<std::string> lines;
    std::istringstream in(screen);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The row of the first line holding text, -1 for none.
int RowOf(const std::vector<std::string>& lines, const std::string& text) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// Code points of a line (the sample's texts are all one cell wide).
int Cells(const std::string& line) {
    int n = 0;
    for (unsigned char c : line)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The cells a line takes on a terminal, for the characters these tests use: CJK ideographs and
// the sheaf emoji take two, a combining accent none.
int TerminalCells(const std::string& line) {
    int n = 0;
    for (std::size_t i = 0; i < line.size();) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::string ch = line.substr(i, len);
        if (ch == "\u0301")
            n += 0;
        else if (len == 4 || (len == 3 && ch >= "\u4E00" && ch <= "\u9FFF"))
            n += 2;
        else
            n += 1;
        i += len;
    }
    return n;
}

// To Frank Eriksen, a record without children, in the list; Del asks about him.
const std::string kToFrank = "<Enter><Down><Right><Down><Right><Down><Tab>";

TEST_F(ExplorerTest, TooSmallATerminalShowsANoticeAndNothingIsAnsweredUnseen) {
    TRun small = Command("--size 40x10 --keys '' " + ShellQuote(db));
    EXPECT_EQ(small.ExitCode, 0);
    EXPECT_TRUE(small.Shows("terminal too small")) << small.Screen;
    EXPECT_TRUE(small.Shows("40x10, needs 60x20"));
    EXPECT_FALSE(small.Shows("Orvel Agro Ltd"));
    // With nothing to post, q quits even there: the size given after it is never reached.
    TRun quit = Command("--size 40x10 --keys 'q<Size:100,30>' " + ShellQuote(db));
    EXPECT_EQ(quit.ExitCode, 0);
    EXPECT_TRUE(quit.Shows("terminal too small")) << quit.Screen;
    // A pending change is never dropped unseen: q waits for room to ask.
    TRun pending = Keys("<Tab><Tab><Down><Size:40,10>q<Size:100,30>q");
    EXPECT_TRUE(pending.Shows("Unsaved changes")) << pending.Screen;

    std::string count = Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Frank Eriksen'");
    ASSERT_EQ(count, "1");
    // The delete confirmation is open when the terminal shrinks: the y typed then deletes
    // nothing, and the question is still there once the terminal is large again.
    TRun shrunk = Keys(kToFrank + "<Del><Size:50,12>y<Dump><Size:100,30>");
    EXPECT_TRUE(shrunk.Shows("terminal too small")) << shrunk.Screen;
    EXPECT_TRUE(shrunk.Shows("Delete 'Frank Eriksen'?")) << shrunk.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Frank Eriksen'"), "1");
    // Answered where it can be seen, it deletes.
    TRun answered = Keys(kToFrank + "<Del><Size:50,12>y<Size:100,30>y");
    EXPECT_TRUE(answered.Shows("Deleted")) << answered.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Frank Eriksen'"), "0");
}

// The dump printed by the n-th <Dump> of a run's screen.
std::string DumpOf(const TRun& run, int n) {
    std::size_t at = std::string::npos;
    for (int i = 0; i <= n; ++i) {
        at = run.Screen.find("--- dump", at == std::string::npos ? 0 : at + 1);
        if (at == std::string::npos) return {};
    }
    return run.Screen.substr(at, run.Screen.find("--- ", at + 4) - at);
}

TEST_F(ExplorerTest, ADialogOrMenuOpenWhenTheTerminalShrinksActsOnlyWhereItIsSeen) {
    // The relations dialog of the designer (the tree's 70th property) is 53 cells wide.
    std::string dialog = "d<Tab><Home>";
    for (int i = 0; i < 69; ++i)
        dialog += "<Down>";
    dialog += "<Enter>";
    TRun run = Keys(dialog + "<Size:64,20><Dump><Enter><Size:70,28><Dump>");
    std::string small = DumpOf(run, 0), fitting = DumpOf(run, 1);
    EXPECT_NE(small.find("terminal too small"), std::string::npos) << small;
    EXPECT_NE(small.find("needs 60x24"), std::string::npos) << small;
    // The Enter typed meanwhile pressed nothing: the dialog is open, moved inside the screen.
    EXPECT_NE(fitting.find("┌ Relational links editor"), std::string::npos) << fitting;
    EXPECT_NE(fitting.find("[ OK ]   [ Cancel ]   │"), std::string::npos) << fitting;

    // A popup menu open on the right of the list closes when the screen shrinks under it:
    // its key (d: Delete) does not act unseen, and d is the designer's key again.
    TRun menu = Keys("<RClick:90,5><Size:64,22>d");
    EXPECT_FALSE(menu.Shows("Delete '")) << menu.Screen;
    EXPECT_TRUE(menu.Shows("Palette: Or")) << menu.Screen;
}

TEST_F(ExplorerTest, ASizeChangeLaysThePanelsOutAgainWithoutOverlap) {
    for (std::string size : {"60,20", "64,22", "140,40"}) {
        TRun run = Keys("<Enter><Size:" + size + ">");
        std::vector<std::string> lines = Lines(run.Screen);
        int columns = std::stoi(size.substr(0, size.find(',')));
        int rows = std::stoi(size.substr(size.find(',') + 1));
        EXPECT_EQ(static_cast<int>(lines.size()), rows) << run.Screen;
        for (const std::string& line : lines)
            EXPECT_LE(Cells(line), columns) << line;
        // Every flag box shows, above the attribute grid, and the list keeps children in view
        // above the record panel.
        for (const char* flag :
             {"[ ] History", "[ ] Belongings", "[ ] Move", "[ ] Copy", "[ ] Field"})
            EXPECT_TRUE(run.Shows(flag)) << size << " lost " << flag << "\n" << run.Screen;
        int attributes = RowOf(lines, "Attribute");
        EXPECT_LT(RowOf(lines, "[ ] Field"), attributes) << run.Screen;
        EXPECT_LT(RowOf(lines, "[ ] Copy"), attributes) << run.Screen;
        EXPECT_LT(RowOf(lines, "2018-08-28"), RowOf(lines, "┌ Record")) << run.Screen;
        EXPECT_TRUE(run.Shows("?:Help")) << run.Screen;
    }
}

TEST_F(ExplorerTest, ARightClickSelectsWhatItPointsAtBeforeItsMenuActs) {
    // Rename from the tree's menu, right-clicking the second top-level node while the first is
    // selected: the clicked one is renamed.
    TRun renamed = Keys("<RClick:10,3>rSuppliers Ltd<Enter>");
    EXPECT_TRUE(TRun::IsSelected(renamed.TreeRow("Suppliers Ltd"))) << renamed.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Suppliers Ltd' AND OwnerObjectID "
                    "IS NULL"),
              "1");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Orvel Agro Ltd'"), "1");

    // In the list, Delete from the menu asks about the item clicked, not the first one.
    TRun asked = Keys("<RClick:50,5>d");
    EXPECT_TRUE(asked.Shows("Delete 'River Valley'?")) << asked.Screen;
    EXPECT_NE(asked.LineWith("River Valley").find("▶"), std::string::npos) << asked.Screen;
    // A right click on empty space selects nothing new.
    TRun empty = Keys("<RClick:10,20><Esc>");
    EXPECT_TRUE(TRun::IsSelected(empty.TreeRow("Orvel Agro Ltd"))) << empty.Screen;
}

TEST_F(ExplorerTest, WideAndCombiningCharactersKeepFramesAndColumnsStraight) {
    Exec("UPDATE Objects SET Name = '日本語 Cafe\u0301 🌾' WHERE Name = 'Head Office'");
    Exec("UPDATE Objects SET Name = '" + std::string(40, 'x') + "' WHERE Name = 'North Farm'");
    Exec("UPDATE Objects SET Name = '東西南北東西南北東西南北東西南北東西南北東西' WHERE Name = "
         "'River Valley'");
    for (std::string keys : {"<Enter>", "<Enter><Down>", "<Enter><Down><Down><Down>"}) {
        TRun run = Keys(keys);
        std::vector<std::string> lines = Lines(run.Screen);
        ASSERT_GT(lines.size(), 8u) << run.Screen;
        // Every framed row is exactly as wide as the screen, whatever its names hold.
        for (int row = 1; row <= 8; ++row)
            EXPECT_EQ(TerminalCells(lines[static_cast<std::size_t>(row)]), 100)
                << keys << " row " << row << ": " << lines[static_cast<std::size_t>(row)];
        EXPECT_TRUE(run.Shows("日本語 Cafe\u0301 🌾")) << run.Screen;
    }
    // The dates of the list stand in one column.
    TRun run = Keys("<Enter>");
    std::string wide = run.LineWith("2018-08-28"), cut = run.LineWith("2010-10-04"),
                plain = run.LineWith("2011-05-20");
    ASSERT_FALSE(wide.empty() || cut.empty() || plain.empty()) << run.Screen;
    int column = TerminalCells(plain.substr(0, plain.find("2011-05-20")));
    EXPECT_EQ(TerminalCells(wide.substr(0, wide.find("2018-08-28"))), column) << wide;
    EXPECT_EQ(TerminalCells(cut.substr(0, cut.find("2010-10-04"))), column) << cut;
}

} // namespace
} // namespace orvel::test
