// Popup menu boxes as a person sees them: the highlighted item where the mouse finds it, check
// marks and radio bullets, separators that cannot be chosen, hidden items left out, shortcuts.
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvel {
namespace {

class MenusPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = std::make_unique<TPopupMenu>(nullptr);
        open = Add("&Open", 'O' | scCtrl);
        bold = Add("&Bold");
        bold->SetChecked(true);
        Add("-");
        hidden = Add("Hidden");
        hidden->SetVisible(false);
        large = Add("L&arge Icons");
        large->SetRadioItem(true);
        large->SetChecked(true);
        more = Add("&More");
        auto* sub = new TMenuItem(menu.get());
        sub->SetCaption("Sub");
        more->Add(sub);
        remove = Add("&Delete", VK_DELETE);
        remove->SetEnabled(false);
    }

    TMenuItem* Add(const std::string& caption, uint16_t shortcut = 0) {
        auto* item = new TMenuItem(menu.get());
        item->SetCaption(caption);
        item->SetShortCut(shortcut);
        menu->Items()->Add(item);
        return item;
    }

    // Paints the box on a white bitmap with a margin of 5 pixels.
    std::unique_ptr<TBitmap> Paint(int highlight) {
        TCanvas measure(nullptr);
        TSize size = MenuBoxSize(measure, *menu->Items());
        auto picture = std::make_unique<TBitmap>(size.cx + 10, size.cy + 10);
        picture->Fill(clWhite);
        PaintMenuBox(*picture->Canvas(), *menu->Items(), 5, 5, highlight);
        return picture;
    }

    std::unique_ptr<TPopupMenu> menu;
    TMenuItem* open = nullptr;
    TMenuItem* bold = nullptr;
    TMenuItem* hidden = nullptr;
    TMenuItem* large = nullptr;
    TMenuItem* more = nullptr;
    TMenuItem* remove = nullptr;
};

TEST_F(MenusPaintTest, TheHighlightedItemIsWhereTheMouseFindsIt) {
    TCanvas measure(nullptr);
    const TMenuItem& root = *menu->Items();
    // Visible items: Open, Bold, separator, Large Icons, More, Delete.
    for (int index : {0, 1, 3, 4, 5}) {
        auto painted = Paint(index);
        const TBitmap& picture = *painted;
        TRect row = MenuBoxItemRect(measure, root, index);
        ASSERT_FALSE(row.IsEmpty()) << index;
        int middle = (row.Top + row.Bottom) / 2;
        EXPECT_EQ(MenuBoxItemAt(measure, root, middle), index);
        // Right of the shortcuts and left of any arrow, the row is the highlight colour.
        EXPECT_EQ(picture.Pixel(5 + row.Right - 2, 5 + middle), ColorToRGB(clHighlight)) << index;
        // Only that row: the pixels just above and below it are not highlighted.
        EXPECT_NE(picture.Pixel(5 + row.Right - 2, 5 + row.Top - 1), ColorToRGB(clHighlight));
        EXPECT_NE(picture.Pixel(5 + row.Right - 2, 5 + row.Bottom), ColorToRGB(clHighlight));
    }
    // A separator is never an item to choose, nor is the frame or what lies outside the box.
    TRect separator = MenuBoxItemRect(measure, root, 2);
    EXPECT_EQ(MenuBoxItemAt(measure, root, (separator.Top + separator.Bottom) / 2), -1);
    EXPECT_EQ(MenuBoxItemAt(measure, root, 0), -1);
    EXPECT_EQ(MenuBoxItemAt(measure, root, MenuBoxSize(measure, root).cy + 3), -1);
    EXPECT_TRUE(MenuBoxItemRect(measure, root, 6).IsEmpty());
    EXPECT_EQ(MenuBoxItemRect(measure, root, -1), TRect{});
}

TEST_F(MenusPaintTest, HiddenItemsTakeNoRoomAndTheBoxFitsTheLongestRow) {
    TCanvas measure(nullptr);
    TSize size = MenuBoxSize(measure, *menu->Items());
    hidden->SetVisible(true);
    TSize withHidden = MenuBoxSize(measure, *menu->Items());
    EXPECT_GT(withHidden.cy, size.cy);
    EXPECT_EQ(withHidden.cx, size.cx);
    // A caption longer than the longest one (Large Icons) widens the box by the difference.
    bold->SetCaption("&Bold and a much longer caption");
    EXPECT_EQ(MenuBoxSize(measure, *menu->Items()).cx,
              withHidden.cx + measure.TextWidth("Bold and a much longer caption") -
                  measure.TextWidth("Large Icons"));
    // An empty menu is a frame.
    TPopupMenu empty(nullptr);
    TSize frame = MenuBoxSize(measure, *empty.Items());
    EXPECT_GT(frame.cx, 0);
    EXPECT_EQ(frame.cy, 4);
    EXPECT_EQ(MenuBoxItemAt(measure, *empty.Items(), 2), -1);
}

TEST_F(MenusPaintTest, MarksShowOnlyForCheckedItemsAndTheCanvasIsLeftAsItWas) {
    auto painted = Paint(-1);
    TCanvas measure(nullptr);
    auto inkInGutter = [&](int index) {
        TRect row = MenuBoxItemRect(measure, *menu->Items(), index);
        int ink = 0;
        for (int y = row.Top; y < row.Bottom; ++y)
            for (int x = row.Left; x < row.Left + 16; ++x)
                if (painted->Pixel(5 + x, 5 + y) != ColorToRGB(clMenu)) ++ink;
        return ink;
    };
    EXPECT_EQ(inkInGutter(0), 0);
    EXPECT_GT(inkInGutter(1), 5); // the check mark of Bold
    EXPECT_GT(inkInGutter(3), 5); // the bullet of Large Icons
    bold->SetChecked(false);
    painted = Paint(-1);
    EXPECT_EQ(inkInGutter(1), 0);
    TBitmap& picture = *painted;
    // Outside the box nothing was drawn, and the canvas keeps its colours and origin.
    EXPECT_EQ(picture.Pixel(4, 4), ColorToRGB(clWhite));
    EXPECT_EQ(picture.Pixel(picture.Width() - 5, picture.Height() - 5), ColorToRGB(clWhite));
    TCanvas* canvas = picture.Canvas();
    canvas->Brush()->SetColor(clRed);
    canvas->Font()->SetColor(clLime);
    PaintMenuBox(*canvas, *menu->Items(), 5, 5, 1);
    EXPECT_EQ(canvas->Brush()->Color(), clRed);
    EXPECT_EQ(canvas->Font()->Color(), clLime);
    EXPECT_EQ(canvas->WindowOrg(), (TPoint{0, 0}));
}

TEST(MenuShortCutTest, ShortcutsReadAsAMenuShowsThem) {
    EXPECT_EQ(ShortCutToText('O' | scCtrl), "Ctrl+O");
    EXPECT_EQ(ShortCutToText(VK_F2 | scCtrl | scShift), "Ctrl+Shift+F2");
    EXPECT_EQ(ShortCutToText(VK_DELETE), "Del");
    EXPECT_EQ(ShortCutToText('X' | scAlt), "Alt+X");
    EXPECT_EQ(ShortCutToText(0), "");
    EXPECT_EQ(ShortCutToText(scCtrl | 0x07), ""); // no key of its own
}

TEST_F(MenusPaintTest, AShortcutWrittenAfterATabInTheCaptionShowsInTheShortcutColumn) {
    // "&Delete" with the Del key, and the same item written as the explorer writes its menus.
    auto withKey = Paint(-1);
    remove->SetShortCut(0);
    remove->SetCaption("&Delete\tDel");
    auto withTab = Paint(-1);
    EXPECT_TRUE(withTab->SamePixels(*withKey)) << "the tab is not drawn; the text after it is";
}

} // namespace
} // namespace orvel
