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
    // The value list opens on the property's value; Home goes to the first, Enter sets it.
    std::string keys = "d<Tab><Home>" + Downs(kInsertMode) + "<Tab><Home><Enter>";
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

TEST_F(ExplorerTest, EnterOnAValueListPropertyGoesToItsValuesAndEnterThereSetsOneAtOnce) {
    std::string keys = "d<Tab><Home>" + Downs(kInsertMode) + "<Enter>";
    TRun values = Keys(keys);
    EXPECT_TRUE(values.Shows("Choose a value of InsertMode")) << values.Screen;
    // The current value is the chosen entry of the list, so the frame points at it.
    EXPECT_NE(values.LineWith("imAddFromTable").find("│▶imAddFromTable"), std::string::npos)
        << values.Screen;
    TRun set = Keys(keys + "<Up><Enter>d");
    EXPECT_TRUE(set.Shows("Insert: add root node")) << set.Screen;
}

TEST_F(ExplorerTest, NumericAndTextPropertiesAreTyped) {
    const int indent = 18, hint = 7;
    std::string toIndent = "d<Tab><Home>" + Downs(indent);
    TRun asked = Keys(toIndent + "<Enter>");
    EXPECT_TRUE(asked.Shows("Indent = 16")) << asked.Screen;
    EXPECT_TRUE(asked.Shows("Set Indent"));
    TRun typed = Keys(toIndent + "<Enter><C-u>24<Enter>");
    EXPECT_TRUE(typed.Shows("Indent = 24")) << typed.Screen;
    // The tree on the main screen indents by three cells now instead of two.
    TRun tree = Keys(toIndent + "<Enter><C-u>24<Enter>d<Enter>");
    EXPECT_EQ(tree.TreeRow("Head Office").rfind("│   ▸", 0), 0u) << tree.Screen;
    // A value the property cannot take is an error and changes nothing.
    TRun bad = Keys(toIndent + "<Enter><C-u>wide<Enter>");
    EXPECT_TRUE(bad.Shows("Indent = 16")) << bad.Screen;
    EXPECT_FALSE(bad.Shows("Indent = wide"));
    // Escape leaves the value as it was.
    EXPECT_TRUE(Keys(toIndent + "<Enter><C-u>40<Esc>").Shows("Indent = 16"));
    TRun text = Keys("d<Tab><Home>" + Downs(hint) + "<Enter>Objects by owner<Enter>");
    EXPECT_TRUE(text.Shows("Hint = Objects by owner")) << text.Screen;
}

TEST_F(ExplorerTest, DialogLabelsAreWholeAndLongPropertyListsShowWhereTheyAre) {
    TRun dialog = Keys("d<Tab><Home>" + Downs(kLinksFields) + "<Enter><Dump><Esc>");
    for (const char* label : {"Parent Fields", "Key Fields", "Relations"})
        EXPECT_TRUE(dialog.Shows(label)) << label << "\n" << dialog.Screen;
    TRun top = Keys("d<Tab><Home>");
    EXPECT_TRUE(top.Shows("Properties of TDBTreeView 1/")) << top.Screen;
    EXPECT_NE(top.LineWith("ReadOnly").find("▼"), std::string::npos) << "more below";
    EXPECT_EQ(top.LineWith("OnCollapsing").find("▲"), std::string::npos) << "nothing above";
    TRun lower = Keys("d<Tab><Home>" + Downs(kInsertMode));
    EXPECT_TRUE(lower.Shows("Properties of TDBTreeView 63/")) << lower.Screen;
    EXPECT_NE(lower.Screen.find("▲│"), std::string::npos) << lower.Screen;
}

} // namespace
} // namespace orvel::test
