// The paint control that draws copies of a control on another canvas, the window routines such
// drawing uses, and panels and bevels.
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

class PaintControlTest : public TUiTest {
protected:
    TTestForm form;
    TBitmap target{200, 60};
};

TEST_F(PaintControlTest, AHiddenCheckBoxPaintsTheStateItIsSentOnAnyCanvas) {
    TCheckBox& box = form.Place<TCheckBox>(10, 10, 97, 17);
    box.SetCaption("Flag");
    TPaintControl paint(&box, "BUTTON");
    EXPECT_FALSE(paint.HandleAllocated());
    HWND h = paint.Handle();
    TWinControl* copy = paint.Window();
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->Visible());
    EXPECT_EQ(copy->Width(), 97);
    EXPECT_EQ(copy->Caption(), "Flag");

    HDC dc = target.Canvas()->Handle();
    SendMessage(h, BM_SETCHECK, 1, 0);
    SendMessage(h, WM_PAINT, dc, 0);
    const auto& log = target.Canvas()->FrameControlLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].State & DFCS_CHECKED);
    SendMessage(h, BM_SETCHECK, 0, 0);
    SendMessage(h, WM_PAINT, dc, 0);
    EXPECT_FALSE(log.back().State & DFCS_CHECKED);
    EXPECT_EQ(box.State(), cbUnchecked); // the control itself is untouched

    // Dropped, it is made again with the owner's new size.
    paint.DestroyHandle();
    EXPECT_FALSE(Application().IsWindow(h));
    box.SetWidth(150);
    EXPECT_NE(paint.Handle(), h);
    EXPECT_EQ(paint.Window()->Width(), 150);
}

TEST_F(PaintControlTest, AHiddenComboCopyTakesEntriesAndHasItsEditBoxAsChild) {
    TComboBox& combo = form.Place<TComboBox>(10, 10, 145, 24);
    TPaintControl paint(&combo, "COMBOBOX");
    HWND h = paint.Handle();
    SendMessage(h, CB_RESETCONTENT, 0, 0);
    SendMessage(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Closed"));
    SendMessage(h, CB_SETCURSEL, 0, 0);
    auto* copy = dynamic_cast<TComboBox*>(paint.Window());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Text(), "Closed");
    EXPECT_EQ(combo.Items()->Count(), 0);

    // The edit box child paints where its window lies inside the copy: the origin moves by
    // the child's offset and the drawing is clipped to the child's size.
    HWND child = GetWindow(h, GW_CHILD);
    ASSERT_EQ(child, copy->EditHandle());
    TRect r;
    GetClientRect(child, r);
    MapWindowPoints(child, h, r);
    EXPECT_EQ(r.Left, 0);
    HDC dc = target.Canvas()->Handle();
    TPoint origin;
    GetWindowOrgEx(dc, &origin);
    SetWindowOrgEx(dc, origin.X - 40, origin.Y - 20, nullptr);
    IntersectClipRect(dc, 0, 0, r.Width(), r.Height());
    SendMessage(child, WM_PAINT, dc, 0);
    EXPECT_EQ(target.Pixel(39, 20), clBlack);                 // left of the child: untouched
    EXPECT_EQ(target.Pixel(41, 21), ColorToRGB(clWindow));    // the child's face
    EXPECT_EQ(target.Pixel(40 + r.Width() + 1, 21), clBlack); // clipped
    EXPECT_THROW(TPaintControl(&combo, "NOSUCHCLASS").Handle(), EInvalidOperation);
}

TEST(WindowRoutines, PointsMapBetweenWindowsAndTheScreen) {
    reset_ui();
    TTestForm form;
    TPanel& panel = form.Place<TPanel>(30, 40, 200, 100);
    auto* edit = new TEdit(&form.Form());
    edit->SetParent(&panel);
    edit->SetBounds(5, 6, 50, 21);
    TPoint p{1, 1};
    MapWindowPoints(edit->Handle(), 0, &p, 1);
    EXPECT_EQ(p, (TPoint{30 + 5 + 2 + 1, 40 + 6 + 2 + 1})); // the edit box's frame is 2 pixels
    MapWindowPoints(0, panel.Handle(), &p, 1);
    EXPECT_EQ(p, (TPoint{5 + 2 + 1, 6 + 2 + 1}));
    EXPECT_EQ(GetWindow(panel.Handle(), GW_CHILD), edit->Handle());
    EXPECT_TRUE(IsWindowVisible(edit->Handle()));
    panel.Hide();
    EXPECT_FALSE(IsWindowVisible(edit->Handle()));
}

TEST(PanelsAndBevels, PaintTheirEdges) {
    reset_ui();
    TTestForm form;
    TPanel& panel = form.Place<TPanel>(0, 0, 40, 20);
    panel.Repaint();
    TBitmap* surface = panel.Canvas()->Bitmap();
    EXPECT_EQ(surface->Pixel(0, 0), ColorToRGB(clBtnHighlight)); // raised outer bevel
    EXPECT_EQ(surface->Pixel(39, 19), ColorToRGB(clBtnShadow));
    EXPECT_EQ(surface->Pixel(20, 10), ColorToRGB(clBtnFace));
    panel.SetBevelOuter(bvLowered);
    panel.Repaint();
    EXPECT_EQ(surface->Pixel(0, 0), ColorToRGB(clBtnShadow));
}

} // namespace
} // namespace orvel
