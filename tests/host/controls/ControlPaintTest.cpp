// The shared painting pieces: 3-D edges, focus rectangles, scroll bar thumbs placed from the
// scroll state, text fitted with an ellipsis, and switching the system colour table.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel {
namespace {

class ControlPaintTest : public TUiTest {
protected:
    void TearDown() override {
        ResetSysColors();
        TUiTest::TearDown();
    }
};

TEST_F(ControlPaintTest, EdgesShadeTheirSidesByDirection) {
    TBitmap bitmap(10, 10);
    bitmap.Fill(clRed);
    PaintEdge(*bitmap.Canvas(), Rect(0, 0, 10, 10), true);
    EXPECT_EQ(bitmap.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(bitmap.Pixel(9, 9), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(bitmap.Pixel(1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(bitmap.Pixel(8, 8), ColorToRGB(cl3DLight));
    EXPECT_EQ(bitmap.Pixel(2, 2), clRed); // the inside is left alone

    PaintEdge(*bitmap.Canvas(), Rect(0, 0, 10, 10), false);
    EXPECT_EQ(bitmap.Pixel(0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(bitmap.Pixel(9, 0), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(bitmap.Pixel(1, 1), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(bitmap.Pixel(8, 8), ColorToRGB(clBtnShadow));
}

TEST_F(ControlPaintTest, FocusRectangleIsDottedAndTakesItselfAway) {
    TBitmap bitmap(9, 7);
    bitmap.Fill(clWhite);
    TBitmap before;
    before.Assign(&bitmap);
    PaintFocusRect(*bitmap.Canvas(), Rect(0, 0, 9, 7));
    EXPECT_EQ(bitmap.Pixel(0, 0), clBlack);
    EXPECT_EQ(bitmap.Pixel(1, 0), clWhite);
    EXPECT_EQ(bitmap.Pixel(2, 0), clBlack);
    EXPECT_EQ(bitmap.Pixel(4, 3), clWhite); // inside untouched
    int dots = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            if (bitmap.Pixel(x, y) == clBlack) ++dots;
    EXPECT_EQ(dots, 14); // the outline pixels of one checkerboard colour: half of 28
    PaintFocusRect(*bitmap.Canvas(), Rect(0, 0, 9, 7));
    EXPECT_TRUE(bitmap.SamePixels(before));
}

TEST_F(ControlPaintTest, ListBoxThumbFollowsTopIndexAndPage) {
    TTestForm form;
    auto& list = form.Place<TListBox>(0, 0, 120, 2 * 2 + 5 * 16);
    for (int i = 0; i < 20; ++i)
        list.Items()->Add("Entry " + std::to_string(i));
    TScrollBarState state = list.ScrollBarState(sbVertical);
    EXPECT_TRUE(state.Visible);
    EXPECT_EQ(state.Max, 19);
    EXPECT_EQ(state.Page, 5);

    TRect bar = ScrollBarRect(list, sbVertical);
    EXPECT_EQ(bar.Left, list.ClientWidth());
    EXPECT_EQ(bar.Width(), GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_TRUE(ScrollBarRect(list, sbHorizontal).IsEmpty());

    int arrow = bar.Width();
    TRect top = ScrollThumbRect(list, sbVertical);
    EXPECT_EQ(top.Top, bar.Top + arrow);
    EXPECT_EQ(top.Height(), (bar.Height() - 2 * arrow) * 5 / 20);
    list.SetTopIndex(15);
    TRect bottom = ScrollThumbRect(list, sbVertical);
    EXPECT_EQ(bottom.Bottom, bar.Bottom - arrow);
    EXPECT_EQ(bottom.Height(), top.Height());

    // Everything in view: no bar, no thumb.
    list.Items()->Clear();
    list.Items()->Add("One");
    EXPECT_TRUE(ScrollBarRect(list, sbVertical).IsEmpty());
    EXPECT_TRUE(ScrollThumbRect(list, sbVertical).IsEmpty());
}

TEST_F(ControlPaintTest, GridScrollRangeLeavesOutTheFixedCells) {
    TTestForm form;
    auto& grid = form.Place<TStringGrid>(0, 0, 200, 120);
    grid.SetColCount(12);
    grid.SetRowCount(30);
    TScrollBarState v = grid.ScrollBarState(sbVertical);
    EXPECT_TRUE(v.Visible);
    EXPECT_EQ(v.Min, 1);
    EXPECT_EQ(v.Max, 29);
    EXPECT_EQ(v.Position, 1);
    grid.SetTopRow(10);
    EXPECT_EQ(grid.ScrollBarState(sbVertical).Position, 10);
    EXPECT_TRUE(grid.ScrollBarState(sbHorizontal).Visible);
    EXPECT_GT(ScrollThumbRect(grid, sbVertical).Top, ScrollBarRect(grid, sbVertical).Top);
}

TEST_F(ControlPaintTest, TextIsCutWithDotsOnlyWhenItDoesNotFit) {
    TCanvas canvas;
    int cell = canvas.TextWidth("x");
    EXPECT_EQ(FitText(canvas, "Hello", 5 * cell), "Hello");
    EXPECT_EQ(FitText(canvas, "Hello world", 7 * cell), "Hell...");
    EXPECT_EQ(FitText(canvas, "Hello", 2 * cell), "");
    EXPECT_EQ(FitText(canvas, "Grüße aus Köln", 6 * cell), "Grü...");

    TBitmap bitmap(40, 20);
    bitmap.Fill(clWhite);
    bitmap.Canvas()->Brush()->SetStyle(bsClear);
    PaintTextInRect(*bitmap.Canvas(), Rect(10, 0, 30, 20), "Wide text");
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(bitmap.Pixel(9, y), clWhite);
        EXPECT_EQ(bitmap.Pixel(30, y), clWhite);
    }
}

TEST_F(ControlPaintTest, SystemColourTableSwitchesAsAWhole) {
    TColor window = ColorToRGB(clWindow);
    UseDarkSysColors();
    EXPECT_NE(ColorToRGB(clWindow), window);
    // Dark faces carry light text.
    auto light = [](TColor c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
    EXPECT_GT(light(ColorToRGB(clWindowText)), light(ColorToRGB(clWindow)));
    EXPECT_GT(light(ColorToRGB(clBtnText)), light(ColorToRGB(clBtnFace)));
    EXPECT_GT(light(ColorToRGB(clBtnHighlight)), light(ColorToRGB(clBtnShadow)));
    ResetSysColors();
    EXPECT_EQ(ColorToRGB(clWindow), window);

    SetSysColor(clWindow & 0xFF, clBtnFace); // a system colour is taken as it stands now
    EXPECT_EQ(ColorToRGB(clWindow), ColorToRGB(clBtnFace));
    EXPECT_THROW(SetSysColor(SysColorCount, clRed), EInvalidGraphic);
    EXPECT_THROW(SetSysColor(-1, clRed), EInvalidGraphic);
}

} // namespace
} // namespace orvel
