// The explorer end to end: changing the data through the tree (rename in place, insert in two
// insert modes, delete, re-parent by keys and by mouse) and checking the table afterwards.
#include "tests/apps/ExplorerRun.h"

#include <algorithm>

namespace orvel::test {
namespace {

// Head Office opened: rows from 2 are Orvel Agro Ltd, Head Office, Finance, Operations,
// Agronomy, Workshop, Sales, Building A (9), Building B (10), Building C, North Farm (12), River
// Valley, East Depot, Partners and Suppliers (15).
const char* const kOpenHeadOffice = "<Enter><Down><Right>";

TEST_F(ExplorerTest, F2RenamesInPlaceAndEnterSavesTheName) {
    TRun run = Keys("<Down><F2>Partners Ltd<Enter>");
    EXPECT_TRUE(TRun::IsSelected(run.TreeRow("Partners Ltd"))) << run.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners Ltd' AND "
                    "OwnerObjectID IS NULL"),
              "1");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners and Suppliers'"), "0");
}

TEST_F(ExplorerTest, EscapeCancelsARenameAndTheTableKeepsTheName) {
    TRun run = Keys("<Down><F2>Gone<Esc>");
    EXPECT_NE(run.TreeRow("Partners and Suppliers"), "") << run.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners and Suppliers'"), "1");
}

TEST_F(ExplorerTest, InsertAddsAChildOrATopLevelRecordByTheInsertMode) {
    // "add child" under the selected Orvel Agro Ltd.
    TRun child = Keys("i<Ins>West Farm<Enter>");
    std::string row = child.TreeRow("West Farm");
    EXPECT_TRUE(TRun::IsSelected(row) && row.find("│    ") != 0) << child.Screen;
    EXPECT_TRUE(child.Shows("North Farm")) << "the parent's branch is shown whole";
    EXPECT_EQ(Query("SELECT OwnerOriginID || ';' || OwnerObjectID FROM Objects WHERE Name = "
                    "'West Farm'"),
              "1;1");
    // "from table": a new record names no owner, so it stands at the top level.
    TRun top = Keys("<Ins>Loose Ends<Enter>");
    EXPECT_TRUE(TRun::IsSelected(top.TreeRow("Loose Ends"))) << top.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Loose Ends' AND OwnerOriginID IS "
                    "NULL AND OwnerObjectID IS NULL"),
              "1");
    // Each got the next free key of its origin.
    EXPECT_EQ(Query("SELECT COUNT(DISTINCT ObjectID) FROM Objects WHERE OriginID = 1"),
              Query("SELECT COUNT(*) FROM Objects WHERE OriginID = 1"));
}

TEST_F(ExplorerTest, EscapeDuringAnInsertLeavesNoRecord) {
    std::string before = Query("SELECT COUNT(*) FROM Objects");
    TRun run = Keys("i<Ins>Never<Esc>");
    EXPECT_FALSE(run.Shows("Never")) << run.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), before);
}

TEST_F(ExplorerTest, DeleteAsksAndRemovesTheRecordOnYes) {
    std::string before = Query("SELECT COUNT(*) FROM Objects");
    // The last of Partners and Suppliers' six children owns nothing.
    TRun asked = Keys("<Down><Right><End><Del>");
    EXPECT_TRUE(asked.Shows("Delete 'Rasmussen Machinery Co.'?")) << asked.Screen;
    TRun kept = Keys("<Down><Right><End><Del>n");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), before);
    EXPECT_TRUE(kept.Shows("Rasmussen Machinery Co."));

    TRun deleted = Keys("<Down><Right><End><Del>y");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Rasmussen Machinery Co.'"), "0");
    EXPECT_EQ(std::stoi(Query("SELECT COUNT(*) FROM Objects")), std::stoi(before) - 1);
    EXPECT_EQ(deleted.TreeRow("Rasmussen Machinery Co."), "") << deleted.Screen;
}

// The cell (column, row) where a text starts on a run's screen, as a mouse item of a key script.
std::string ClickOn(const TRun& run, const std::string& text) {
    std::size_t at = run.Screen.find(text);
    if (at == std::string::npos) return "<Dump>";
    std::size_t lineStart = run.Screen.rfind('\n', at);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    int row = static_cast<int>(std::count(run.Screen.begin(), run.Screen.begin() + at, '\n'));
    int column = 0;
    for (std::size_t i = lineStart; i < at; ++i)
        column += (static_cast<unsigned char>(run.Screen[i]) & 0xC0) != 0x80;
    return "<Click:" + std::to_string(column + 1) + "," + std::to_string(row) + ">";
}

TEST_F(ExplorerTest, AClickOnAPromptsAnswerGivesThatAnswer) {
    std::string before = Query("SELECT COUNT(*) FROM Objects");
    const std::string ask = "<Down><Right><End><Del>";
    TRun asked = Keys(ask);
    ASSERT_TRUE(asked.Shows("y: delete")) << asked.Screen;
    // The question itself and the box's frame answer nothing.
    TRun question = Keys(ask + ClickOn(asked, "Delete '"));
    EXPECT_TRUE(question.Shows("y: delete")) << question.Screen;
    TRun kept = Keys(ask + ClickOn(asked, "n/Esc: keep"));
    EXPECT_FALSE(kept.Shows("y: delete")) << kept.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), before);

    // A press on the answer and its release elsewhere give nothing; both on it give it.
    std::string yes = ClickOn(asked, "y: delete").substr(7);
    TRun slipped = Keys(ask + "<Press:" + yes + "<Release:1,1>");
    EXPECT_TRUE(slipped.Shows("y: delete")) << slipped.Screen;
    Keys(ask + "<Press:" + yes + "<Release:" + yes);
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Rasmussen Machinery Co.'"), "0");
    EXPECT_EQ(std::stoi(Query("SELECT COUNT(*) FROM Objects")), std::stoi(before) - 1);
}

TEST_F(ExplorerTest, PickUpAndDropMovesANodeUnderAnotherAndWritesItsParentFields) {
    // Building A (under Head Office) picked up with m, dropped with m on North Farm.
    std::string keys = std::string(kOpenHeadOffice) + "<Down><Down><Down><Down><Down><Down>m" +
                       "<Down><Down><Down>m";
    TRun run = Keys(keys);
    // The moved node is shown: its new owner is opened.
    EXPECT_TRUE(run.Shows("Moved")) << run.Screen;
    EXPECT_TRUE(TRun::IsOpen(run.TreeRow("North Farm"))) << run.Screen;
    EXPECT_EQ(Query("SELECT OwnerOriginID || ';' || OwnerObjectID FROM Objects WHERE Name = "
                    "'Building A' AND OriginID = 1"),
              Query("SELECT OriginID || ';' || ObjectID FROM Objects WHERE Name = 'North Farm'"));
}

TEST_F(ExplorerTest, AMoveUnderItselfIsRefused) {
    std::string before = Query("SELECT OwnerObjectID FROM Objects WHERE Name = 'Head Office'");
    TRun run = Keys(std::string(kOpenHeadOffice) + "m<Down>m");
    EXPECT_TRUE(run.Shows("cannot move under itself")) << run.Screen;
    EXPECT_EQ(Query("SELECT OwnerObjectID FROM Objects WHERE Name = 'Head Office'"), before);
}

TEST_F(ExplorerTest, DraggingWithTheMouseReparentsOntoANodeOrOntoEmptySpace) {
    TRun onto = Keys(std::string(kOpenHeadOffice) + "<Drag:8,10,5,15>");
    EXPECT_EQ(Query("SELECT OwnerObjectID FROM Objects WHERE Name = 'Building B' AND "
                    "OriginID = 1"),
              Query("SELECT ObjectID FROM Objects WHERE Name = 'Partners and Suppliers'"))
        << onto.Screen;

    TRun top = Keys(std::string(kOpenHeadOffice) + "<Drag:8,9,5,25>");
    EXPECT_EQ(Query("SELECT OwnerObjectID FROM Objects WHERE Name = 'Building A' AND "
                    "OriginID = 1"),
              "NULL")
        << top.Screen;
    EXPECT_TRUE(TRun::IsSelected(top.TreeRow("Building A"))) << top.Screen;
}

} // namespace
} // namespace orvel::test
