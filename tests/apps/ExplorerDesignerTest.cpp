// The explorer's designer screen end to end: the Orvel palette page, the published properties of
// the chosen component, a value chosen from a property editor's list, and a property dialog.
#include "tests/apps/ExplorerRun.h"

namespace orvel::test {
namespace {

std::string Downs(int n) {
    std::string keys;
    for (int i = 0; i < n; ++i)
        keys += "<Down>";
    return keys;
}

// The tree's properties in the order the designer lists them: InsertMode is the 63rd,
// LinksFields the 70th.
const int kInsertMode = 62;
const int kLinksFields = 69;

TEST_F(ExplorerTest, TheDesignerShowsTheOrvelPageAndTheChosenComponentsProperties) {
    TRun run = Keys("d");
    EXPECT_TRUE(run.Shows("Palette: Orvel")) << run.Screen;
    for (const char* name : {"TDBTreeView", "TDBListView", "TDBImageList", "TDBBitCheckBox",
                             "TExtendedGrid", "TDBValueLookupCombo"})
        EXPECT_TRUE(run.Shows(name)) << name;
    EXPECT_TRUE(run.Shows("Properties of TDBTreeView"));
    EXPECT_TRUE(run.Shows("Images = ClassImages"));

    TRun list = Keys("d<Down>" + Downs(0) + "<Tab><End>", "--size 100x120");
    EXPECT_TRUE(list.Shows("Properties of TDBListView")) << list.Screen;
    EXPECT_TRUE(list.Shows("KeyFields = OriginID;ObjectID"));
    EXPECT_TRUE(list.Shows("ColumnsFields = StartDate;EndDate"));
}

TEST_F(ExplorerTest, AValueChosenFromAnEditorsListChangesTheLiveComponent) {
    std::string keys = "d<Tab><Home>" + Downs(kInsertMode) + "<Tab><Down><Enter>";
    TRun chosen = Keys(keys);
    EXPECT_TRUE(chosen.Shows("imAddChild")) << chosen.Screen;
    EXPECT_TRUE(chosen.Shows("InsertMode = imAddChild"));
    // Back on the main screen the tree inserts children.
    TRun main = Keys(keys + "d");
    EXPECT_TRUE(main.Shows("Insert: add child")) << main.Screen;
}

TEST_F(ExplorerTest, ADialogEditorOpensOverTheDesignerAndEscapeLeavesTheValue) {
    std::string keys = "d<Tab><Home>" + Downs(kLinksFields) + "<Enter><Dump><Esc>";
    TRun run = Keys(keys);
    std::size_t dialog = run.Screen.find("--- dump");
    ASSERT_NE(dialog, std::string::npos) << run.Screen;
    std::string shown = run.Screen.substr(dialog, run.Screen.find("--- ", dialog + 4) - dialog);
    EXPECT_NE(shown.find("[ OK ]"), std::string::npos) << shown;
    EXPECT_NE(shown.find("OwnerOriginID->OriginID"), std::string::npos) << shown;
    // After Escape the dialog is gone and the relation text is what it was.
    std::string after = run.Screen.substr(run.Screen.rfind(" Orvel Explorer"));
    EXPECT_EQ(after.find("[ OK ]"), std::string::npos) << after;
    EXPECT_NE(after.find("LinksFields = OwnerOriginID->OriginID"), std::string::npos) << after;
}

} // namespace
} // namespace orvel::test
