// The desktop explorer's screens composed offscreen on the sample database and compared with the
// stored pictures: the main screen, a design dialog over the designer, a list in report style
// and a node being dragged. Each is also kept under the build folder for people to look at.
#include "tests/desktop/DesktopSupport.h"
#include "tests/support/pictures/GoldenPicture.h"

#include <memory>

namespace orvel::desktop::test {
namespace {

std::string Downs(int n) {
    std::string keys;
    for (int i = 0; i < n; ++i)
        keys += "<Down>";
    return keys;
}

// The designer's LinksFields property, whose editor is a dialog.
const int kLinksFields = 69;

std::unique_ptr<TOffscreenExplorer> RunOffscreen(const TDesktopOptions& options) {
    auto app = std::make_unique<TOffscreenExplorer>(options.Explorer);
    app->RunScript(options.Explorer.Keys);
    return app;
}

// The screen a key script leaves, with the real font: kept as desktop-<name>.png under the build
// folder and compared with the stored desktop/<name>.
::testing::AssertionResult ScreenMatches(const TDesktopOptions& options, const std::string& name) {
    orvel::testing::TRealFontScope font;
    auto app = RunOffscreen(options);
    const TBitmap& picture = app->Picture();
    KeepPicture(picture, "desktop-" + name + ".png");
    if (picture.Width() != 100 * explorer::CellWidth ||
        picture.Height() != 32 * explorer::CellHeight)
        return ::testing::AssertionFailure()
               << "the screen is " << picture.Width() << " x " << picture.Height() << " pixels";
    return orvel::testing::MatchesGolden(picture, "desktop/" + name);
}

TEST_F(DesktopTest, TheMainScreenShowsTheTreeTheListAndTheRecord) {
    // The first node opened: its children in the tree and, with their dates, in the list.
    EXPECT_TRUE(ScreenMatches(Options("<Right>"), "main"));
}

TEST_F(DesktopTest, ADesignDialogStandsOverTheDesignerWithItsButtons) {
    EXPECT_TRUE(ScreenMatches(Options("d<Tab><Home>" + Downs(kLinksFields) + "<Enter><Dump><Esc>"),
                              "dialog"));
}

TEST_F(DesktopTest, TheInventoryListsItsItemsInReportStyle) {
    // The inventory on the right, its third item chosen with the mouse.
    EXPECT_TRUE(ScreenMatches(Options("<F6><Click:50,5>"), "report"));
}

TEST_F(DesktopTest, TheDragImageLetsTheRowsUnderItShowThrough) {
    // North Farm picked up and carried down over River Valley and East Depot, not yet dropped.
    EXPECT_TRUE(ScreenMatches(Options("<Right><Press:10,4><Move:11,5><Move:12,6>"), "drag"));
}

} // namespace
} // namespace orvel::desktop::test
