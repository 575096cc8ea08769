// Colours, bitmaps and canvas drawing: what ends up in the pixels.
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"

#include "GraphicsTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace orvel;
using namespace orvel::testing;

namespace {

// Counts the pixels of a colour inside r.
int CountColor(const TBitmap& b, const TRect& r, TColor c) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            n += b.Pixel(x, y) == c;
    return n;
}

TEST(Colors, SystemColorsResolveThroughTheFixedTable) {
    EXPECT_EQ(static_cast<uint32_t>(clWindow), 0x80000005u);
    EXPECT_EQ(clNone, 0x1FFFFFFF);
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(ColorToRGB(clBtnFace), clSilver);
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(ColorValue(clSystemColor | 200)), clBlack); // beyond the table
    EXPECT_EQ(RGB(1, 2, 3), 0x030201);
}

TEST(Bitmap, ResizingKeepsTheCommonPartAndRefusesImpossibleSizes) {
    TBitmap b(2, 2);
    EXPECT_EQ(b.Pixel(1, 1), clBlack);
    b.SetPixel(1, 1, clWindow); // stored as a plain colour
    EXPECT_EQ(b.Pixel(1, 1), clWhite);
    b.SetSize(3, 3);
    EXPECT_EQ(b.Pixel(1, 1), clWhite);
    EXPECT_EQ(b.Pixel(2, 2), clBlack);
    EXPECT_EQ(b.Pixel(3, 0), clNone); // outside
    b.SetPixel(-1, 0, clRed);         // ignored
    EXPECT_THROW(b.SetSize(-1, 3), EInvalidGraphic);
    EXPECT_THROW(b.SetSize(100000, 100000), EInvalidGraphic);
    EXPECT_THROW(b.ScanLine(3), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(1, 1), clWhite);
}

// Every resize, whether it fits the memory the bitmap holds or not, keeps each pixel of the common
// area where it was and leaves every other pixel black.
TEST(Bitmap, EachResizeKeepsTheCommonAreaAndBlacksOutTheRest) {
    const std::vector<std::pair<int, int>> sizes = {
        {40, 30}, {37, 30}, {40, 30}, {40, 26}, {33, 33}, {44, 20}, {12, 12}, {40, 30},
        {39, 31}, {30, 39}, {0, 5},   {6, 0},   {5, 7},   {80, 60}, {81, 59}, {60, 80}};
    TBitmap b;
    int round = 0;
    for (auto [width, height] : sizes) {
        int oldW = b.Width(), oldH = b.Height();
        ++round;
        auto colorAt = [round](int x, int y) {
            return static_cast<TColor>((round << 16) | (y << 8) | x);
        };
        for (int y = 0; y < oldH; ++y)
            for (int x = 0; x < oldW; ++x)
                b.SetPixel(x, y, colorAt(x, y));
        b.SetSize(width, height);
        ASSERT_EQ(b.Width(), width);
        ASSERT_EQ(b.Height(), height);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                TColor expected = x < oldW && y < oldH ? colorAt(x, y) : clBlack;
                wrong += b.Pixel(x, y) != expected;
            }
        EXPECT_EQ(wrong, 0) << oldW << "x" << oldH << " -> " << width << "x" << height;
    }
}

TEST(Bitmap, TransparentColorIsTheBottomLeftPixelUnlessFixed) {
    TBitmap b;
    EXPECT_EQ(b.TransparentColor(), clNone);
    b.LoadFromFile(PicturePath("quad_24.bmp"));
    EXPECT_EQ(b.TransparentColor(), clBlue); // bottom-left quadrant
    b.SetTransparentColor(clLime);
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clLime);
    b.SetTransparentColor(clDefault);
    EXPECT_EQ(b.TransparentMode(), tmAuto);
    EXPECT_EQ(b.TransparentColor(), clBlue);
}

TEST(Bitmap, AssignCopiesPixelsAndSettings) {
    TBitmap a;
    a.LoadFromFile(PicturePath("odd5x3_24.bmp"));
    a.SetTransparent(true);
    TBitmap b;
    b.Assign(&a);
    EXPECT_TRUE(b.SamePixels(a));
    EXPECT_TRUE(b.Transparent());
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
}

TEST(Canvas, FillRectHonoursBrushClipAndExcludedRectangles) {
    TBitmap b(10, 10);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clWindow);
    c->FillRect(Rect(-5, -5, 100, 100)); // larger than the bitmap: clipped, no error
    EXPECT_EQ(CountColor(b, Rect(0, 0, 10, 10), clWhite), 100);

    c->Brush()->SetColor(clRed);
    c->ExcludeClipRect(Rect(6, 0, 10, 10)); // as a button area kept out of text painting
    c->IntersectClipRect(Rect(0, 0, 8, 5));
    EXPECT_EQ(c->ClipRect(), Rect(0, 0, 8, 5));
    c->FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(CountColor(b, Rect(0, 0, 10, 10), clRed), 6 * 5);
    c->ResetClip();

    c->Brush()->SetStyle(bsClear);
    c->FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(CountColor(b, Rect(0, 0, 10, 10), clRed), 30);
}

TEST(Canvas, FillRectLeavesEveryPixelOfOverlappingExcludedRectanglesAlone) {
    TBitmap b(12, 8);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clWindow);
    c->FillRect(Rect(0, 0, 12, 8));
    const std::vector<TRect> holes{Rect(2, 1, 5, 6), Rect(4, 3, 8, 7), Rect(3, 2, 4, 3),
                                   Rect(10, 0, 20, 2)};
    for (const TRect& h : holes)
        c->ExcludeClipRect(h);
    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(1, 0, 11, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            bool hole = std::any_of(holes.begin(), holes.end(), [&](const TRect& h) {
                return h.Contains({x, y});
            });
            bool inside = x >= 1 && x < 11;
            EXPECT_EQ(b.Pixel(x, y), inside && !hole ? clRed : clWhite) << x << "," << y;
        }
}

TEST(Canvas, StretchDrawSamplesTheSourcePixelUnderEachCentre) {
    TBitmap quad;
    quad.LoadFromFile(PicturePath("quad_24.bmp"));
    TBitmap tile(32, 32);
    tile.Canvas()->StretchDraw(Rect(0, 0, 32, 32), &quad);
    // Every 16 x 16 quadrant becomes 32 x 32 / 4 pixels of its colour.
    EXPECT_EQ(CountColor(tile, Rect(0, 0, 16, 16), clRed), 256);
    EXPECT_EQ(CountColor(tile, Rect(16, 0, 32, 16), clLime), 256);
    EXPECT_EQ(CountColor(tile, Rect(0, 16, 16, 32), clBlue), 256);
    EXPECT_EQ(CountColor(tile, Rect(16, 16, 32, 32), clWhite), 256);

    // An odd scale, checked pixel by pixel against the documented rule.
    TBitmap odd;
    odd.LoadFromFile(PicturePath("odd5x3_24.bmp"));
    TBitmap dest(13, 7);
    TRect r = Rect(2, 1, 11, 6); // 9 x 5 from 5 x 3
    dest.Canvas()->StretchDraw(r, &odd);
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            int sx = (2 * (x - r.Left) + 1) * 5 / (2 * 9);
            int sy = (2 * (y - r.Top) + 1) * 3 / (2 * 5);
            ASSERT_EQ(dest.Pixel(x, y), odd.Pixel(sx, sy)) << x << "," << y;
        }
    EXPECT_EQ(dest.Pixel(0, 0), clBlack); // outside r untouched
    EXPECT_EQ(dest.Pixel(11, 6), clBlack);
}

TEST(Canvas, TransparentBitmapsLeaveTheirTransparentColourOut) {
    TBitmap quad;
    quad.LoadFromFile(PicturePath("quad_24.bmp"));
    quad.SetTransparent(true); // transparent colour: the bottom-left blue
    TBitmap b(20, 20);
    b.Canvas()->Brush()->SetColor(clYellow);
    b.Canvas()->FillRect(Rect(0, 0, 20, 20));
    b.Canvas()->Draw(4, 4, &quad);
    EXPECT_EQ(b.Pixel(4, 4), clRed);
    EXPECT_EQ(b.Pixel(4, 19), clYellow); // blue quadrant left out
    EXPECT_EQ(b.Pixel(19, 19), clWhite);
    // Drawing a bitmap onto itself reads the pixels as they were before.
    TBitmap self(4, 1);
    for (int x = 0; x < 4; ++x)
        self.SetPixel(x, 0, RGB(static_cast<uint8_t>(x), 0, 0));
    self.Canvas()->Draw(1, 0, &self);
    EXPECT_EQ(self.Pixel(3, 0), RGB(2, 0, 0));
}

TEST(Canvas, TextIsMeasuredInFixedCellsAndDrawnClippedToItsRectangle) {
    TBitmap b(40, 20);
    TCanvas* c = b.Canvas();
    EXPECT_EQ(c->TextWidth("Bad"), 3 * TextCellWidth);
    EXPECT_EQ(c->TextHeight("Bad"), TextCellHeight);
    EXPECT_EQ(c->TextWidth("\xC3\xA9t\xC3\xA9"), 3 * TextCellWidth); // characters, not bytes
    EXPECT_EQ(c->TextWidth(""), 0);

    c->Brush()->SetColor(clWindow);
    c->FillRect(Rect(0, 0, 40, 20));
    c->Font()->SetColor(clWindowText);
    c->TextRect(Rect(0, 0, 8, 8), 0, 0, "Bad");
    int inside = CountColor(b, Rect(0, 0, 8, 8), clBlack);
    EXPECT_GT(inside, 5);                                          // part of the "B" and the "a"
    EXPECT_EQ(CountColor(b, Rect(0, 0, 40, 20), clBlack), inside); // nothing outside the rectangle
    EXPECT_EQ(b.Pixel(0, 0), clWhite);                             // the cell's top row stays blank

    c->Font()->SetSize(16);
    EXPECT_EQ(c->TextWidth("Bad"), 6 * TextCellWidth);
    EXPECT_EQ(c->Font()->Height(), -2 * TextCellHeight);
}

TEST(Canvas, TextOutFillsItsCellsWithASolidBrushOnly) {
    TBitmap b(30, 15);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clYellow);
    c->Font()->SetColor(clRed);
    c->TextOut(0, 0, "I");
    EXPECT_EQ(CountColor(b, Rect(0, 0, TextCellWidth, TextCellHeight), clYellow) +
                  CountColor(b, Rect(0, 0, TextCellWidth, TextCellHeight), clRed),
              TextCellWidth * TextCellHeight);
    EXPECT_EQ(c->PenPos().X, TextCellWidth);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(12, 0, "I");
    EXPECT_EQ(CountColor(b, Rect(12, 0, 18, 11), clYellow), 0);
    EXPECT_GT(CountColor(b, Rect(12, 0, 18, 11), clRed), 0);
}

TEST(Canvas, FrameControlsAreLoggedAndDrawnWithAVisibleArrow) {
    TBitmap b(40, 20);
    TCanvas* c = b.Canvas();
    TRect button = Rect(20, 0, 37, 20);
    c->DrawFrameControl(button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
    ASSERT_EQ(c->FrameControlLog().size(), 1u);
    EXPECT_EQ(c->FrameControlLog()[0].Rect, button);
    EXPECT_EQ(c->FrameControlLog()[0].State, DFCS_SCROLLCOMBOBOX);
    EXPECT_EQ(b.Pixel(20, 0), ColorToRGB(clBtnHighlight)); // raised edge
    EXPECT_EQ(b.Pixel(36, 19), ColorToRGB(cl3DDkShadow));
    // The arrow points down: its widest row is above its narrowest, centred on the button.
    int cx = button.Left + button.Width() / 2;
    int top = -1, bottom = -1;
    for (int y = 1; y < 18; ++y) // inside the edges (the bottom edge is black too)
        if (b.Pixel(cx, y) == clBlack) {
            if (top < 0) top = y;
            bottom = y;
        }
    ASSERT_GE(top, 0);
    EXPECT_GT(CountColor(b, Rect(20, top, 37, top + 1), clBlack),
              CountColor(b, Rect(20, bottom, 37, bottom + 1), clBlack));
    // Pushed: flat frame and the arrow one pixel lower.
    TBitmap p(40, 20);
    p.Canvas()->DrawFrameControl(button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_FLAT | DFCS_PUSHED);
    EXPECT_EQ(p.Pixel(20, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(p.Pixel(cx + 1, top + 1), clBlack);
    EXPECT_NE(p.Pixel(cx + 1, top), clBlack);
}

TEST(Canvas, DeviceContextHandlesReachOnlyLivingCanvases) {
    TBitmap b(10, 10);
    HDC dc = b.Canvas()->Handle();
    EXPECT_EQ(CanvasFromHandle(dc), b.Canvas());
    EXPECT_TRUE(DrawFrameControl(dc, Rect(0, 0, 10, 10), DFC_SCROLL, DFCS_SCROLLCOMBOBOX));
    EXPECT_EQ(b.Canvas()->FrameControlLog().size(), 1u);
    HDC gone;
    {
        TCanvas temporary;
        gone = temporary.Handle();
    }
    EXPECT_EQ(CanvasFromHandle(gone), nullptr);
    EXPECT_FALSE(DrawFrameControl(gone, Rect(0, 0, 1, 1), DFC_SCROLL, 0));
    TCanvas detached; // no bitmap: drawing does nothing, measuring still works
    detached.FillRect(Rect(0, 0, 5, 5));
    detached.TextOut(0, 0, "ab");
    EXPECT_EQ(detached.TextWidth("ab"), 2 * TextCellWidth);
}

TEST(Canvas, LinesAndRectanglesUseThePen) {
    TBitmap b(10, 10);
    TCanvas* c = b.Canvas();
    c->Pen()->SetColor(clRed);
    c->MoveTo(0, 0);
    c->LineTo(5, 5); // the end point is not drawn
    EXPECT_EQ(CountColor(b, Rect(0, 0, 10, 10), clRed), 5);
    EXPECT_EQ(b.Pixel(5, 5), clBlack);
    c->Brush()->SetColor(clLime);
    c->Rectangle(Rect(6, 6, 10, 10));
    EXPECT_EQ(CountColor(b, Rect(6, 6, 10, 10), clRed), 12);
    EXPECT_EQ(CountColor(b, Rect(6, 6, 10, 10), clLime), 4);
}

TEST(Bitmap, SavesToPngAndBmpFilesByName) {
    TBitmap quad;
    quad.LoadFromFile(PicturePath("quad_24.bmp"));
    TTempFile png(".PNG"), bmp(".bmp");
    quad.SaveToFile(png.Path());
    TPngImage image = ReadPngFile(png.Path());
    EXPECT_EQ(image.Width, 16);
    EXPECT_FALSE(image.HasAlpha);
    EXPECT_EQ(image.Pixels[0], static_cast<uint32_t>(quad.Pixel(0, 0)));
    TBitmap fromPng;
    fromPng.LoadFromFile(png.Path());
    EXPECT_TRUE(fromPng.SamePixels(quad));
    quad.SaveToFile(bmp.Path());
    TBitmap back;
    back.LoadFromFile(bmp.Path());
    EXPECT_TRUE(back.SamePixels(quad));
    EXPECT_THROW(TBitmap().SaveToFile(bmp.Path()), EInvalidGraphic);
}

} // namespace
