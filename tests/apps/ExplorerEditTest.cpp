// The explorer end to end: changing the data through the tree (rename in place, insert in two
// insert modes, delete, re-parent by keys and by mouse) and checking the table afterwards.
#include "tests/apps/ExplorerRun.h"

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
