// Text in the real font: proportional and anti-aliased, measured as it is drawn, UTF-8
// throughout; the bitmap font keeps its fixed measures for those who need them.
#include "orvel/host/controls/HostFont.h"
#include "orvel/host/controls/Graphics.h"

#include "tests/support/pictures/GoldenPicture.h"

#include <gtest/gtest.h>

#include <set>

namespace orvel::testing {

namespace {

// The leftmost and rightmost columns holding a pixel other than the background.
std::pair<int, int> InkColumns(const TBitmap& b, TColor background) {
    int left = b.Width(), right = -1;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

} // namespace

TEST(HostFont, TheRealFontIsProportionalAntiAliasedAndDrawsWhatItMeasures) {
    TRealFontScope realFont;
    TBitmap b(200, 30);
    b.Fill(clWhite);
    TCanvas* c = b.Canvas();
    ASSERT_FALSE(c->Font()->IsBitmapFont()) << "no scalable font found by fontconfig";
    EXPECT_LT(c->TextWidth("iiii"), c->TextWidth("MMMM"));
    EXPECT_EQ(c->TextWidth(""), 0);
    EXPECT_GE(c->TextHeight("Ag"), 12); // 8 points on a 96 dpi screen, ascent plus descent
    EXPECT_LT(c->TextHeight("Ag"), 20);

    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBlack);
    c->TextOut(10, 5, "Building");
    std::set<TColor> colours;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            colours.insert(b.Pixel(x, y));
    EXPECT_GT(colours.size(), 4u) << "anti-aliased text has shades between ink and paper";
    auto [left, right] = InkColumns(b, clWhite);
    EXPECT_GE(left, 10);
    EXPECT_LE(right, 10 + c->TextWidth("Building"));
    EXPECT_EQ(c->PenPos().X, 10 + c->TextWidth("Building"));
}

TEST(HostFont, StylesSizesAndUtf8TextChangeWhatIsDrawn) {
    TRealFontScope realFont;
    TCanvas c;
    const int plain = c.TextWidth("Room 101");
    c.Font()->SetStyle(fsBold);
    EXPECT_GT(c.TextWidth("Room 101"), plain);
    c.Font()->SetStyle(0);
    c.Font()->SetSize(16);
    EXPECT_GT(c.TextWidth("Room 101"), plain * 3 / 2);
    EXPECT_EQ(c.Font()->Height(), -FontPixelSize(16));
    c.Font()->SetSize(8);
    // Two-byte and three-byte characters are one glyph each, not one per byte.
    EXPECT_LT(c.TextWidth("\xC3\xA9"), c.TextWidth("\xC3\xA9\xC3\xA9"));
    EXPECT_LT(c.TextWidth("\xE2\x82\xAC"), 2 * c.TextWidth("M"));
}

TEST(HostFont, TheBitmapFontKeepsItsFixedCells) {
    TCanvas c;
    c.Font()->SetName(BitmapFontName);
    EXPECT_TRUE(c.Font()->IsBitmapFont());
    EXPECT_EQ(c.TextWidth("iiii"), 4 * TextCellWidth);
    EXPECT_EQ(c.TextWidth("MMMM"), 4 * TextCellWidth);
    EXPECT_EQ(c.TextHeight("x"), TextCellHeight);
    EXPECT_EQ(DefaultFontName(), BitmapFontName);
}

TEST(HostFont, TextLooksAsStored) {
    TRealFontScope realFont;
    TBitmap b(180, 64);
    b.Fill(clWhite);
    TCanvas* c = b.Canvas();
    c->Brush()->SetStyle(bsClear);
    c->TextOut(4, 2, "Objects \xE2\x80\x93 Site 1");
    c->Font()->SetStyle(fsBold);
    c->TextOut(4, 18, "Building A (bold)");
    c->Font()->SetStyle(fsItalic | fsUnderline);
    c->Font()->SetColor(clNavy);
    c->TextOut(4, 34, "Room 12, caf\xC3\xA9");
    c->Font()->SetStyle(0);
    c->Font()->SetColor(clWhite);
    c->Brush()->SetColor(clHighlight);
    c->TextOut(4, 50, "Selected");
    EXPECT_TRUE(MatchesGolden(b, "host/text"));
}

} // namespace orvel::testing
