// The explorer end to end: the record panel's status combo and history-flag check boxes change
// the selected object, saved by Enter, by leaving the panel or when quitting.
#include "tests/apps/ExplorerRun.h"

namespace orvel::test {
namespace {

const char* const kStatusOfTheCompany =
    "SELECT StatusID FROM Objects WHERE OriginID = 1 AND ObjectID = 1";
const char* const kFlagsOfTheCompany =
    "SELECT Flags FROM Objects WHERE OriginID = 1 AND ObjectID = 1";

TEST_F(ExplorerTest, TheStatusComboShowsTheStatusNameAndWritesTheChosenCode) {
    TRun shown = Keys("");
    EXPECT_TRUE(shown.Shows("Status  Active")) << shown.Screen;
    // Tab twice reaches the combo; Down chooses the next status that fits an organisation (In
    // repair is for equipment), Enter saves.
    TRun run = Keys("<Tab><Tab><Down><Enter>");
    EXPECT_TRUE(run.Shows("Status  Idle")) << run.Screen;
    EXPECT_EQ(Query(kStatusOfTheCompany), "3");
    // The tree's state image follows the new status (a square for Idle).
    EXPECT_TRUE(run.Shows("■ ■ Orvel Agro Ltd")) << run.Screen;
}

TEST_F(ExplorerTest, LeavingThePanelSavesAndEscapeCancels) {
    Keys("<Down><Tab><Tab><Down><Down><Tab><Tab><Tab><Tab><Tab><Tab>");
    EXPECT_EQ(Query("SELECT StatusID FROM Objects WHERE Name = 'Partners and Suppliers'"), "3");
    TRun cancelled = Keys("<Tab><Tab><Down><Esc>");
    EXPECT_EQ(Query(kStatusOfTheCompany), "1") << cancelled.Screen;
    EXPECT_TRUE(cancelled.Shows("Status  Active"));
}

TEST_F(ExplorerTest, CheckBoxesSetTheirBitsAndAGroupOfTwoShowsGrayedWhenHalfSet) {
    TRun run = Keys("<Tab><Tab><Tab><Space><Tab><Space><Enter>");
    EXPECT_TRUE(run.Shows("[x] History [x] Belongings [ ] Move")) << run.Screen;
    EXPECT_EQ(Query(kFlagsOfTheCompany), "7");

    Exec("UPDATE Objects SET Flags = 34 WHERE OriginID = 1 AND ObjectID = 1");
    TRun half = Keys("");
    EXPECT_TRUE(half.Shows("[ ] History [-] Belongings")) << half.Screen;
    EXPECT_TRUE(half.Shows("[x] Field"));
    // Toggling History leaves the other bits as they were.
    Keys("<Tab><Tab><Tab><Space><Enter>");
    EXPECT_EQ(Query(kFlagsOfTheCompany), "35");
}

TEST_F(ExplorerTest, AnAttributeIsChosenFromItsPickListByAltDownAndTyping) {
    // Field A1 (under North Farm) has a Crop attribute with five choices.
    const std::string toGrid = "<Right><Down><Down><Right><Down><Down><Down><Down><Down>"
                               "<Tab><Tab><Tab><Tab><Tab><Tab><Tab><Tab><Down>";
    const std::string rowOfCrop =
        "SELECT v.rowid FROM AttributeValues v JOIN Objects o ON o.OriginID = v.OriginID AND "
        "o.ObjectID = v.ObjectID WHERE o.Name = 'Field A1' AND v.AttributeID = 7";
    std::string row = Query(rowOfCrop);
    TRun open = Keys(toGrid + "<A-Down>");
    for (const char* choice : {"Wheat", "Barley", "Maize", "Rapeseed", "Fallow"})
        EXPECT_TRUE(open.Shows(choice)) << choice << "\n" << open.Screen;
    TRun chosen = Keys(toGrid + "<A-Down>ma<Enter>");
    EXPECT_TRUE(chosen.Shows("Saved Crop: Maize")) << chosen.Screen;
    EXPECT_EQ(
        Query("SELECT v.Value FROM AttributeValues v JOIN Objects o ON o.OriginID = v.OriginID "
              "AND o.ObjectID = v.ObjectID WHERE o.Name = 'Field A1' AND v.AttributeID = 7"),
        "Maize");
    // The value is changed in its own row, not deleted and inserted again behind open views.
    EXPECT_FALSE(row.empty());
    EXPECT_EQ(Query(rowOfCrop), row);
}

TEST_F(ExplorerTest, QuitWithUnsavedChangesAsksToPostOrCancel) {
    TRun asked = Keys("<Tab><Tab><Down>q");
    EXPECT_TRUE(asked.Shows("Unsaved changes")) << asked.Screen;
    EXPECT_EQ(Query(kStatusOfTheCompany), "1");
    Keys("<Tab><Tab><Down>qc");
    EXPECT_EQ(Query(kStatusOfTheCompany), "1");
    Keys("<Tab><Tab><Down>qp<Down>");
    EXPECT_EQ(Query(kStatusOfTheCompany), "3");
}

TEST_F(ExplorerTest, TheImageListsCanBeWrittenAsPngFiles) {
    TRun run = Keys("p<Enter>");
    EXPECT_TRUE(run.Shows("Images written to " + dir + "/orvel-images.png")) << run.Screen;
    for (const char* file : {"/orvel-images.png", "/orvel-images-state.png"}) {
        FILE* f = std::fopen((dir + file).c_str(), "rb");
        ASSERT_NE(f, nullptr) << file;
        unsigned char head[8] = {};
        EXPECT_EQ(std::fread(head, 1, 8, f), 8u);
        std::fclose(f);
        EXPECT_EQ(head[1], 'P');
        EXPECT_EQ(head[2], 'N');
        EXPECT_EQ(head[3], 'G');
    }
}

} // namespace
} // namespace orvel::test
