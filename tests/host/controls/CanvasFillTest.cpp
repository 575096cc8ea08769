// Filling rectangles fast gives the very pixels that plotting each point would: with a window
// origin, a clip rectangle and excluded rectangles, on every side of the target.
#include "orvel/host/controls/Graphics.h"

#include <gtest/gtest.h>

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
                f.Brush()->SetColor(clRed);
                f.FillRect(r);
                for (int y = r.Top; y < r.Bottom; ++y)
                    for (int x = r.Left; x < r.Right; ++x)
                        p.SetPixel(x, y, clRed);
                EXPECT_TRUE(filled.SamePixels(plotted))
                    << "origin " << origin.X << "," << origin.Y << " rect " << r.Left << ","
                    << r.Top << "," << r.Right << "," << r.Bottom << (excluded ? " excluded" : "");
            }
        }
    }
}

} // namespace
} // namespace orvel
