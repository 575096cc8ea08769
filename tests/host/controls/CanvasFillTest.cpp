// Filling rectangles fast gives the very pixels that plotting each point would: with a window
// origin, a clip rectangle and excluded rectangles, on every side of the target; whole rows
// copied from the first one and bitmap-font text written directly give the pixels of the general
// way. A bitmap that skips rewriting pixels already in the colour of a fill never shows what
// was drawn before the fill.
#include "orvel/host/controls/Graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvel {
namespace {

// The same clipping on a canvas: origin, clip and two excluded rectangles (target pixels).
void Clip(TCanvas& c, const TPoint& origin) {
    c.ResetClip();
    c.SetWindowOrg({0, 0});
    c.ExcludeClipRect(Rect(5, 5, 9, 30));
    c.ExcludeClipRect(Rect(20, 0, 22, 4));
    c.IntersectClipRect(Rect(2, 1, 36, 23));
    c.SetWindowOrg(origin);
}

// Fills r in red on f with FillRect and on p point by point, and expects the same pixels.
void ExpectFillMatchesPlotting(TCanvas& f, TCanvas& p, const TBitmap& filled,
                               const TBitmap& plotted, const TRect& r, const std::string& what) {
    f.Brush()->SetColor(clRed);
    f.FillRect(r);
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            p.SetPixel(x, y, clRed);
    EXPECT_TRUE(filled.SamePixels(plotted))
        << what << " rect " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
}

TEST(CanvasFill, RowsFilledAtOnceMatchPointByPointPlotting) {
    const std::vector<TRect> rects{
        Rect(-10, -10, 100, 100), Rect(3, 3, 4, 4),     Rect(0, 0, 40, 1),
        Rect(7, 2, 25, 20),       Rect(30, 20, 60, 40), Rect(12, 12, 12, 30)}; // the last is empty
    for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}, TPoint{6, -2}}) {
        for (bool excluded : {false, true}) {
            for (const TRect& r : rects) {
                TBitmap filled(40, 25), plotted(40, 25);
                TCanvas& f = *filled.Canvas();
                TCanvas& p = *plotted.Canvas();
                Clip(f, origin);
                Clip(p, origin);
                if (!excluded) {
                    // The same clip without the excluded rectangles.
                    for (TCanvas* c : {&f, &p}) {
                        c->ResetClip();
                        c->SetWindowOrg({0, 0});
                        c->IntersectClipRect(Rect(2, 1, 36, 23));
                        c->SetWindowOrg(origin);
                    }
                }
                ExpectFillMatchesPlotting(f, p, filled, plotted, r,
                                          "origin " + std::to_string(origin.X) + "," +
                                              std::to_string(origin.Y) +
                                              (excluded ? " excluded" : ""));
            }
        }
    }
}

TEST(CanvasFill, RectanglesAsWideAsTheTargetMatchPointByPointPlotting) {
    // No clip rectangle: a rectangle as wide as the target fills whole rows, at any origin and
    // over any part of the height, over what was there before.
    for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}, TPoint{6, -2}}) {
        for (const TRect& r : {Rect(-10, -10, 100, 100), Rect(-5, 3, 45, 4), Rect(-6, 2, 40, 17),
                               Rect(-6, 24, 40, 90)}) {
            TBitmap filled(40, 25), plotted(40, 25);
            filled.Fill(clBlue);
            plotted.Fill(clBlue);
            TCanvas& f = *filled.Canvas();
            TCanvas& p = *plotted.Canvas();
            f.SetWindowOrg(origin);
            p.SetWindowOrg(origin);
            ExpectFillMatchesPlotting(f, p, filled, plotted, r,
                                      "origin " + std::to_string(origin.X) + "," +
                                          std::to_string(origin.Y));
        }
    }
}

// Bitmap-font text written glyph by glyph gives the pixels of text drawn dot by dot through the
// general fill (which an excluded rectangle far outside the target brings about): at the edges
// of the target and of a clip rectangle, at a window origin, bold, underlined and scaled.
TEST(CanvasFill, BitmapFontTextWrittenDirectlyMatchesTextFilledDotByDot) {
    struct TFontCase {
        int Size;
        TFontStyles Style;
    };
    const TFontCase fonts[] = {
        {8, 0}, {8, TFontStyles(fsBold)}, {8, TFontStyles(fsUnderline)}, {18, 0}};
    // Places whose glyphs end exactly at, or one pixel beyond, the edges of the clip rectangle
    // and of the target, and places partly outside.
    const TPoint places[] = {{2, 3}, {-4, -2}, {30, 15}, {1, 20}, {3, 12},
                             {0, 3}, {4, 13},  {-1, 2},  {1, 21}, {0, 12}};
    for (const TFontCase& font : fonts)
        for (bool clipped : {false, true})
            for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}})
                for (TPoint at : places) {
                    TBitmap direct(60, 30), dotted(60, 30);
                    for (TBitmap* b : {&direct, &dotted}) {
                        b->Fill(clWhite);
                        TCanvas& c = *b->Canvas();
                        c.Font()->SetName(BitmapFontName);
                        c.Font()->SetSize(font.Size);
                        c.Font()->SetStyle(font.Style);
                        c.Font()->SetColor(clBlack);
                        c.Brush()->SetStyle(bsClear);
                        if (clipped) c.IntersectClipRect(Rect(3, 4, 41, 22));
                        if (b == &dotted) c.ExcludeClipRect(Rect(500, 500, 501, 501));
                        c.SetWindowOrg(origin);
                        c.TextOut(at.X, at.Y, "MW#Ag|Wy 09");
                    }
                    EXPECT_TRUE(direct.SamePixels(dotted))
                        << "size " << font.Size << " style " << int(font.Style) << " clipped "
                        << clipped << " origin " << origin.X << "," << origin.Y << " at " << at.X
                        << "," << at.Y;
                }
}

// An opaque picture copied a row at a time gives the pixels of the picture plotted point by point
// (which an excluded rectangle far outside the target brings about): at the edges of the target
// and of a clip rectangle and at a window origin; a transparent one keeps its holes.
TEST(CanvasFill, PicturesCopiedRowByRowMatchPointByPointPlotting) {
    TBitmap picture(7, 6);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetPixel(x, y, static_cast<TColor>(0x010203 * (x + 1) + 0x100000 * y));
    const TPoint places[] = {{2, 3}, {-4, -2}, {36, 20}, {34, 17}, {0, 0}, {3, 1}, {-6, 24}};
    for (bool transparent : {false, true})
        for (bool clipped : {false, true})
            for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}, TPoint{5, -2}})
                for (TPoint at : places) {
                    picture.SetTransparent(transparent);
                    TBitmap copied(40, 25), plotted(40, 25);
                    for (TBitmap* b : {&copied, &plotted}) {
                        b->Fill(clWhite);
                        TCanvas& c = *b->Canvas();
                        if (clipped) c.IntersectClipRect(Rect(3, 2, 37, 22));
                        if (b == &plotted) c.ExcludeClipRect(Rect(500, 500, 501, 501));
                        c.SetWindowOrg(origin);
                        c.Draw(at.X, at.Y, &picture);
                    }
                    EXPECT_TRUE(copied.SamePixels(plotted))
                        << "transparent " << transparent << " clipped " << clipped << " origin "
                        << origin.X << "," << origin.Y << " at " << at.X << "," << at.Y;
                    // Something was drawn: the picture's far corner where it lands.
                    const TPoint corner{at.X + 6 - origin.X, at.Y + 5 - origin.Y};
                    if (!clipped && corner.X >= 0 && corner.Y >= 0 && corner.X < 40 &&
                        corner.Y < 25) {
                        EXPECT_EQ(copied.Pixel(corner.X, corner.Y), picture.Pixel(6, 5));
                    }
                }
}

// Real-font text mixed into the target a glyph row at a time gives the pixels of text blended
// point by point through the general clipping (which an excluded rectangle far outside the target
// brings about): over a background of several colours, at the edges of the target and of a clip
// rectangle, at a window origin, bold and underlined, by the same canvases in turn in colours
// that change from text to text. The pen ends where the text's width says.
TEST(CanvasFill, RealFontTextMixedRowByRowMatchesTextBlendedPointByPoint) {
    TCanvas probe;
    probe.Font()->SetName("DejaVu Sans");
    if (probe.Font()->IsBitmapFont()) GTEST_SKIP() << "no real font on this machine";
    struct TFontCase {
        int Size;
        TFontStyles Style;
    };
    const TFontCase fonts[] = {{8, 0}, {10, TFontStyles(fsBold | fsUnderline)}, {20, fsItalic}};
    const TPoint places[] = {{2, 3}, {-4, -2}, {30, 15}, {1, 20}, {3, 12}, {-1, 2}, {50, 26}};
    const std::string text = "MW#Ag|Wy 09";
    const TColor colours[] = {clRed, clBlack, clWhite, clBlack};
    int turn = 0;
    TBitmap direct(60, 30), blended(60, 30);
    for (const TFontCase& font : fonts)
        for (bool clipped : {false, true})
            for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}})
                for (TPoint at : places) {
                    const TColor colour = colours[turn++ % 4];
                    for (TBitmap* b : {&direct, &blended}) {
                        b->Fill(clWhite);
                        TCanvas& c = *b->Canvas();
                        c.ResetClip();
                        c.SetWindowOrg({0, 0});
                        c.Brush()->SetColor(clYellow);
                        c.FillRect(Rect(10, 0, 20, 30));
                        c.Brush()->SetColor(clNavy);
                        c.FillRect(Rect(0, 12, 60, 16));
                        c.Font()->SetName("DejaVu Sans");
                        c.Font()->SetSize(font.Size);
                        c.Font()->SetStyle(font.Style);
                        c.Font()->SetColor(colour);
                        c.Brush()->SetStyle(bsClear);
                        if (clipped) c.IntersectClipRect(Rect(3, 4, 41, 22));
                        if (b == &blended) c.ExcludeClipRect(Rect(500, 500, 501, 501));
                        c.SetWindowOrg(origin);
                        c.TextOut(at.X, at.Y, text);
                        EXPECT_EQ(c.PenPos().X, at.X + c.TextWidth(text));
                    }
                    EXPECT_TRUE(direct.SamePixels(blended))
                        << "size " << font.Size << " style " << int(font.Style) << " clipped "
                        << clipped << " origin " << origin.X << "," << origin.Y << " at " << at.X
                        << "," << at.Y;
                }
}

// A dotted line has the dots SetPixel plots at the points of even logical x + y: lines crossing
// every edge of the target and of a clip rectangle, with excluded rectangles, either end first,
// at window origins of odd and even offsets; a fill of the background afterwards leaves no dot.
TEST(CanvasFill, DottedLinesMatchTheirDotsPlottedOneByOne) {
    struct TLine {
        bool Level;
        int At, From, To;
    };
    const TLine lines[] = {
        {true, 0, -5, 50},  {true, 24, 50, -5},  {true, -1, 0, 40},  {true, 25, 0, 40},
        {true, 7, 3, 4},    {true, 8, 3, 4},     {true, 9, 12, 12},  {true, 1, 39, 45},
        {false, 0, -5, 50}, {false, 39, 50, -5}, {false, -1, 0, 25}, {false, 40, 0, 25},
        {false, 7, 3, 4},   {false, 8, 3, 4},    {false, 9, 12, 12}, {false, 2, 24, 30}};
    enum TClipping { Unclipped, Clipped, Excluding };
    for (TClipping clipping : {Unclipped, Clipped, Excluding})
        for (TPoint origin : {TPoint{0, 0}, TPoint{1, 0}, TPoint{-3, 4}, TPoint{6, -1}})
            for (const TLine& line : lines) {
                TBitmap dotted(40, 25), plotted(40, 25);
                for (TBitmap* b : {&dotted, &plotted}) {
                    b->Fill(clWhite);
                    TCanvas& c = *b->Canvas();
                    if (clipping == Excluding) Clip(c, origin);
                    if (clipping == Clipped) c.IntersectClipRect(Rect(2, 1, 36, 23));
                    c.SetWindowOrg(origin);
                }
                TCanvas& d = *dotted.Canvas();
                if (line.Level)
                    d.DottedHLine(line.From, line.To, line.At, clBtnShadow);
                else
                    d.DottedVLine(line.At, line.From, line.To, clBtnShadow);
                TCanvas& p = *plotted.Canvas();
                for (int i = std::min(line.From, line.To); i < std::max(line.From, line.To); ++i) {
                    const int x = line.Level ? i : line.At, y = line.Level ? line.At : i;
                    if ((x + y) % 2 == 0) p.SetPixel(x, y, clBtnShadow);
                }
                const std::string what = "clipping " + std::to_string(clipping) + " origin " +
                                         std::to_string(origin.X) + "," + std::to_string(origin.Y) +
                                         " line " + (line.Level ? "level " : "upright ") +
                                         std::to_string(line.At) + " " + std::to_string(line.From) +
                                         ".." + std::to_string(line.To);
                EXPECT_TRUE(dotted.SamePixels(plotted)) << what;
                d.ResetClip();
                d.Brush()->SetColor(clWhite);
                d.FillRect(Rect(-10, -10, 50, 50));
                TBitmap white(40, 25);
                white.Fill(clWhite);
                EXPECT_TRUE(dotted.SamePixels(white)) << what << ": the dots stay after a fill";
            }
    // The dot phase follows the logical point, not the target pixel: with the origin one pixel
    // to the right, the line's first target pixel (logical x = 1) is a gap and the next a dot.
    TBitmap phase(6, 2);
    phase.Fill(clWhite);
    phase.Canvas()->SetWindowOrg({1, 0});
    phase.Canvas()->DottedHLine(-3, 10, 0, clBlack);
    phase.Canvas()->DottedVLine(3, 0, 2, clBlack);
    const TColor expected[2][6] = {{clWhite, clBlack, clWhite, clBlack, clWhite, clBlack},
                                   {clWhite, clWhite, clBlack, clWhite, clWhite, clWhite}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(phase.Pixel(x, y), ColorToRGB(expected[y][x])) << x << "," << y;
}

// A level or upright line is filled as one rectangle: it gives the pixels of the squares of the
// pen width plotted at every point of the line but its end, in both directions, for even and odd
// widths, at a window origin and with excluded rectangles; a line of no length draws nothing.
TEST(CanvasFill, StraightLinesMatchTheirSquaresPlottedPointByPoint) {
    struct TLine {
        TPoint From, To;
    };
    const TLine lines[] = {{{3, 6}, {30, 6}},  {{30, 6}, {3, 6}},    {{8, 2}, {8, 24}},
                           {{8, 24}, {8, 2}},  {{-5, 21}, {50, 21}}, {{19, 3}, {19, 3}},
                           {{21, -4}, {21, 2}}};
    for (int width : {1, 2, 3})
        for (TPoint origin : {TPoint{0, 0}, TPoint{-3, 4}})
            for (const TLine& line : lines) {
                TBitmap drawn(40, 25), plotted(40, 25);
                for (TBitmap* b : {&drawn, &plotted}) {
                    b->Fill(clWhite);
                    Clip(*b->Canvas(), origin);
                }
                TCanvas& d = *drawn.Canvas();
                d.Pen()->SetColor(clGreen);
                d.Pen()->SetWidth(width);
                d.MoveTo(line.From.X, line.From.Y);
                d.LineTo(line.To.X, line.To.Y);
                EXPECT_EQ(d.PenPos().X, line.To.X);
                EXPECT_EQ(d.PenPos().Y, line.To.Y);
                TCanvas& p = *plotted.Canvas();
                int stepX = line.To.X > line.From.X ? 1 : line.To.X < line.From.X ? -1 : 0;
                int stepY = line.To.Y > line.From.Y ? 1 : line.To.Y < line.From.Y ? -1 : 0;
                int half = (width - 1) / 2;
                for (TPoint at = line.From; at.X != line.To.X || at.Y != line.To.Y;
                     at = {at.X + stepX, at.Y + stepY})
                    for (int y = at.Y - half; y < at.Y - half + width; ++y)
                        for (int x = at.X - half; x < at.X - half + width; ++x)
                            p.SetPixel(x, y, clGreen);
                EXPECT_TRUE(drawn.SamePixels(plotted))
                    << "width " << width << " origin " << origin.X << "," << origin.Y << " from "
                    << line.From.X << "," << line.From.Y << " to " << line.To.X << "," << line.To.Y;
            }
}

// A bitmap drawn on by any series of operations holds the same pixels as one that is told before
// every operation that anything may have been written anywhere (by asking for a scan line to
// write), so that it writes every pixel each fill covers: fills in the background colour over
// drawing, partial, clipped and excluded fills, text, lines, points, pictures, scan-line writes,
// resizing and assigning all leave no stale pixel behind.
TEST(CanvasFill, FillsThatSkipUnchangedPixelsLeaveWhatAWriteOfEveryPixelLeaves) {
    const TColor background = clWindow, colours[] = {clWindow, clRed, clBlack, clBlue};
    TBitmap icon(6, 5);
    icon.Fill(clGreen);
    icon.SetPixel(2, 2, clWindow);
    uint64_t seed = 12345;
    auto next = [&](int bound) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((seed >> 33) % static_cast<uint64_t>(bound));
    };
    auto randomRect = [&](const TBitmap& b) {
        int left = next(b.Width() + 8) - 4, top = next(b.Height() + 8) - 4;
        return Rect(left, top, left + next(b.Width() + 4), top + next(b.Height() + 4));
    };
    using TOperation = std::function<void(TBitmap&)>;
    for (int history = 0; history < 200; ++history) {
        TBitmap skipping(30 + next(20), 20 + next(15)), writing;
        writing.Assign(&skipping);
        for (int step = 0; step < 40; ++step) {
            const TColor colour = colours[next(4)];
            const TRect r = randomRect(skipping);
            const TPoint at{next(skipping.Width() + 10) - 5, next(skipping.Height() + 10) - 5};
            const int size[] = {next(60) + 1, next(40) + 1};
            TOperation op;
            std::string what;
            const bool level = next(2) == 0;
            switch (next(14)) {
            case 0:
            case 1:
            case 2: // the whole background, as a control's paint begins
                what = "background";
                op = [&](TBitmap& b) {
                    b.Canvas()->ResetClip();
                    b.Canvas()->Brush()->SetColor(background);
                    b.Canvas()->FillRect(Rect(-2, -2, b.Width() + 2, b.Height() + 2));
                };
                break;
            case 3:
                what = "rectangle";
                op = [&](TBitmap& b) {
                    b.Canvas()->Brush()->SetColor(colour);
                    b.Canvas()->FillRect(r);
                };
                break;
            case 4:
                what = "clipped rectangle";
                op = [&](TBitmap& b) {
                    TCanvas& c = *b.Canvas();
                    c.IntersectClipRect(Rect(3, 2, 25, 18));
                    if (colour != clBlack) c.ExcludeClipRect(Rect(6, 0, 9, 40));
                    c.Brush()->SetColor(colour);
                    c.FillRect(r);
                    c.ResetClip();
                };
                break;
            case 5:
                what = "text";
                op = [&](TBitmap& b) {
                    b.Canvas()->Font()->SetColor(colour);
                    b.Canvas()->Brush()->SetStyle(bsClear);
                    b.Canvas()->TextOut(at.X, at.Y, "Wg1");
                };
                break;
            case 6:
                what = "line";
                op = [&](TBitmap& b) {
                    b.Canvas()->Pen()->SetColor(colour);
                    b.Canvas()->MoveTo(at.X, at.Y);
                    b.Canvas()->LineTo(r.Right, r.Bottom);
                };
                break;
            case 7:
                what = "point";
                op = [&](TBitmap& b) { b.SetPixel(at.X, at.Y, colour); };
                break;
            case 8:
                what = "picture";
                op = [&](TBitmap& b) { b.Canvas()->Draw(at.X, at.Y, &icon); };
                break;
            case 9:
                what = "scan line";
                op = [&](TBitmap& b) {
                    if (b.Height() > 0) b.ScanLine(at.Y < 0 ? 0 : at.Y % b.Height())[0] = 0x123456;
                };
                break;
            case 12:
                what = "dotted line";
                op = [&](TBitmap& b) {
                    TCanvas& c = *b.Canvas();
                    c.SetWindowOrg({r.Left % 3, r.Top % 2});
                    if (colour == clBlue) c.IntersectClipRect(Rect(3, 2, 25, 18));
                    if (colour == clRed) c.ExcludeClipRect(Rect(6, 0, 9, 40));
                    if (level)
                        c.DottedHLine(r.Left, r.Right, at.Y, colour);
                    else
                        c.DottedVLine(at.X, r.Top, r.Bottom, colour);
                    c.ResetClip();
                    c.SetWindowOrg({0, 0});
                };
                break;
            case 13:
                what = "real-font text";
                op = [&](TBitmap& b) {
                    TCanvas& c = *b.Canvas();
                    c.Font()->SetName("DejaVu Sans");
                    c.Font()->SetColor(colour);
                    c.Brush()->SetStyle(bsClear);
                    if (level) c.IntersectClipRect(Rect(3, 2, 25, 18));
                    if (colour == clRed) c.ExcludeClipRect(Rect(6, 0, 9, 40));
                    c.TextOut(at.X, at.Y, "Wg1");
                    c.Font()->SetName(BitmapFontName);
                    c.ResetClip();
                };
                break;
            case 10:
                what = "resize";
                op = [&](TBitmap& b) { b.SetSize(size[0], size[1]); };
                break;
            default:
                what = "whole fill";
                op = [&](TBitmap& b) { b.Fill(colour); };
                break;
            }
            op(skipping);
            (void)writing.ScanLine(0);
            op(writing);
            ASSERT_TRUE(skipping.SamePixels(writing))
                << "history " << history << " step " << step << ": " << what;
        }
        // A copy goes on knowing what its original knew.
        TBitmap copy, copyWriting;
        copy.Assign(&skipping);
        copyWriting.Assign(&writing);
        for (TBitmap* b : {&copy, &copyWriting}) {
            if (b == &copyWriting) (void)b->ScanLine(0);
            b->Canvas()->Brush()->SetColor(background);
            b->Canvas()->FillRect(Rect(0, 0, b->Width(), b->Height()));
        }
        ASSERT_TRUE(copy.SamePixels(copyWriting)) << "history " << history << ": copy";
    }
}

} // namespace
} // namespace orvel
