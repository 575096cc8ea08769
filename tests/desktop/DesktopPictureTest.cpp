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

TEST_F(DesktopTest, TheMainScreenShowsTheTreeTheListAndTheRecord) {
    orvel::testing::TRealFontScope font;
    // The first node opened: its children in the tree and, with their dates, in the list.
    auto app = RunOffscreen(Options("<Right>"));
    const TBitmap& main = app->Picture();
    KeepPicture(main, "desktop-main.png");
    EXPECT_EQ(main.Width(), 100 * explorer::CellWidth);
    EXPECT_EQ(main.Height(), 32 * explorer::CellHeight);
    EXPECT_TRUE(orvel::testing::MatchesGolden(main, "desktop/main"));
}

TEST_F(DesktopTest, ADesignDialogStandsOverTheDesignerWithItsButtons) {
    orvel::testing::TRealFontScope font;
    auto app = RunOffscreen(Options("d<Tab><Home>" + Downs(kLinksFields) + "<Enter><Dump><Esc>"));
    const TBitmap& dialog = app->Picture();
    KeepPicture(dialog, "desktop-dialog.png");
    EXPECT_TRUE(orvel::testing::MatchesGolden(dialog, "desktop/dialog"));
}

TEST_F(DesktopTest, TheInventoryListsItsItemsInReportStyle) {
    orvel::testing::TRealFontScope font;
    // The inventory on the right, its third item chosen with the mouse.
    auto app = RunOffscreen(Options("<F6><Click:50,5>"));
    const TBitmap& report = app->Picture();
    KeepPicture(report, "desktop-report.png");
    EXPECT_TRUE(orvel::testing::MatchesGolden(report, "desktop/report"));
}

TEST_F(DesktopTest, TheDragImageLetsTheRowsUnderItShowThrough) {
    orvel::testing::TRealFontScope font;
    // North Farm picked up and carried down over River Valley and East Depot, not yet dropped.
    auto app = RunOffscreen(Options("<Right><Press:10,4><Move:11,5><Move:12,6>"));
    const TBitmap& drag = app->Picture();
    KeepPicture(drag, "desktop-drag.png");
    EXPECT_TRUE(orvel::testing::MatchesGolden(drag, "desktop/drag"));
}

} // namespace
} // namespace orvel::desktop::test
