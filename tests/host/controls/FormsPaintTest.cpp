// Composing a form's surface: the first composition paints everything, later ones only what
// was marked (and what lies over it or was uncovered), always ending with the pixels a full
// repaint would give; owner-draw events paint on the form's surface.
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/StdCtrls.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

class FormsPaintTest : public TUiTest {
protected:
    TTestForm test{220, 140};
    TForm& form = test.Form();
    TEdit& edit = test.Place<TEdit>(8, 8, 120, 24);
    TButton& button = test.Place<TButton>(136, 8, 75, 25);
    TListBox& list = test.Place<TListBox>(8, 40, 120, 90);

    void SetUp() override {
        TUiTest::SetUp();
        edit.SetText("Text");
        button.SetCaption("OK");
        for (const char* s : {"One", "Two", "Three"})
            list.Items()->Add(s);
    }

    // The surface as a composition from nothing would make it.
    bool SurfaceIsFresh() {
        TBitmap fresh(form.ClientWidth(), form.ClientHeight());
        form.PaintTo(*fresh.Canvas(), 0, 0);
        return fresh.SamePixels(form.Surface());
    }
};

TEST_F(FormsPaintTest, FirstCompositionPaintsEverythingOnceThenNothing) {
    EXPECT_EQ(form.PaintInvalid(), Rect(0, 0, 220, 140));
    EXPECT_EQ(form.Surface().Width(), 220);
    EXPECT_EQ(form.Surface().Pixel(215, 135), ColorToRGB(clBtnFace));
    EXPECT_EQ(form.Surface().Pixel(8, 8), ColorToRGB(clBtnShadow)); // the edit's sunken edge
    int editPaints = edit.PaintCount(), buttonPaints = button.PaintCount();
    EXPECT_EQ(form.PaintInvalid(), TRect{});
    EXPECT_EQ(edit.PaintCount(), editPaints);
    EXPECT_EQ(button.PaintCount(), buttonPaints);
    EXPECT_TRUE(SurfaceIsFresh());
}

TEST_F(FormsPaintTest, OnlyTheInvalidatedControlRepaints) {
    form.PaintInvalid();
    int editPaints = edit.PaintCount(), buttonPaints = button.PaintCount();
    int listPaints = list.PaintCount(), formPaints = form.PaintCount();
    edit.SetText("Changed");
    EXPECT_EQ(form.PaintInvalid(), edit.BoundsRect());
    EXPECT_EQ(edit.PaintCount(), editPaints + 1);
    EXPECT_FALSE(edit.NeedsPaint());
    EXPECT_EQ(button.PaintCount(), buttonPaints);
    EXPECT_EQ(list.PaintCount(), listPaints);
    EXPECT_EQ(form.PaintCount(), formPaints);
    EXPECT_TRUE(SurfaceIsFresh());
}

TEST_F(FormsPaintTest, MovingHidingAndResizingUncoverWhatLayUnder) {
    form.PaintInvalid();
    TRect before = button.BoundsRect();
    button.SetLeft(100); // now over the edit's right end
    TRect damaged = form.PaintInvalid();
    TRect covered;
    IntersectRect(covered, damaged, before);
    EXPECT_EQ(covered, before);
    EXPECT_TRUE(SurfaceIsFresh());

    list.Hide();
    form.PaintInvalid();
    EXPECT_TRUE(SurfaceIsFresh());
    list.Show();
    form.PaintInvalid();
    EXPECT_TRUE(SurfaceIsFresh());

    form.SetBounds(0, 0, 180, 100);
    EXPECT_EQ(form.PaintInvalid(), Rect(0, 0, 180, 100));
    EXPECT_EQ(form.Surface().Height(), 100);
    EXPECT_TRUE(SurfaceIsFresh());
}

TEST_F(FormsPaintTest, ChildrenRepaintOverAnInvalidatedParent) {
    auto& panel = test.Place<TPanel>(130, 40, 80, 90);
    auto* inner = new TButton(&form);
    inner->SetParent(&panel);
    inner->SetBounds(5, 5, 60, 25);
    form.PaintInvalid();
    int innerPaints = inner->PaintCount(), editPaints = edit.PaintCount();
    panel.Invalidate();
    EXPECT_EQ(form.PaintInvalid(), panel.BoundsRect());
    EXPECT_EQ(inner->PaintCount(), innerPaints + 1);
    EXPECT_EQ(edit.PaintCount(), editPaints);
    EXPECT_TRUE(SurfaceIsFresh());

    // A child reaching past its parent is cut at the parent's client area.
    inner->SetBounds(40, 5, 200, 25);
    form.PaintInvalid();
    EXPECT_EQ(form.Surface().Pixel(panel.Left() + panel.Width() + 2, 50), ColorToRGB(clBtnFace));
    EXPECT_TRUE(SurfaceIsFresh());
}

TEST_F(FormsPaintTest, FocusMovesShowWithoutAnInvalidate) {
    form.PaintInvalid();
    button.SetFocus();
    EXPECT_FALSE(form.PaintInvalid().IsEmpty());
    EXPECT_TRUE(SurfaceIsFresh());
}

TEST_F(FormsPaintTest, DroppedDownListShowsOverTheFormAndLeavesNoTrace) {
    auto& combo = test.Place<TComboBox>(136, 40, 80, 24);
    for (const char* s : {"Red", "Green", "Blue", "Cyan"})
        combo.Items()->Add(s);
    form.PaintInvalid();
    TBitmap closed;
    closed.Assign(&const_cast<TBitmap&>(form.Surface()));
    combo.SetDroppedDown(true);
    TRect damaged = form.PaintInvalid();
    EXPECT_GT(damaged.Bottom, combo.BoundsRect().Bottom); // the list below the combo
    EXPECT_FALSE(closed.SamePixels(form.Surface()));
    EXPECT_TRUE(SurfaceIsFresh());
    combo.SetDroppedDown(false);
    form.PaintInvalid();
    EXPECT_TRUE(closed.SamePixels(form.Surface()));
}

TEST_F(FormsPaintTest, OwnerDrawEventsPaintOnTheFormSurface) {
    list.SetStyle(lbOwnerDrawFixed);
    const TBitmap* target = nullptr;
    list.OnDrawItem = [&](TWinControl*, int index, TRect r, TOwnerDrawState) {
        target = list.Canvas()->Bitmap();
        list.Canvas()->Brush()->SetColor(index == 1 ? clRed : clWindow);
        list.Canvas()->FillRect(r);
    };
    form.PaintInvalid();
    EXPECT_EQ(target, &form.Surface());
    TRect item = list.ItemRect(1);
    TPoint at = form.ScreenToClient(list.ClientToScreen({item.Left + 3, item.Top + 3}));
    EXPECT_EQ(form.Surface().Pixel(at.X, at.Y), clRed);
    // The event's drawing stays inside the list.
    EXPECT_EQ(form.Surface().Pixel(list.Left() - 1, at.Y), ColorToRGB(clBtnFace));
}

TEST_F(FormsPaintTest, GridCellEventsPaintOnTheFormSurfaceAtTheCell) {
    list.Hide();
    auto& grid = test.Place<TStringGrid>(8, 40, 200, 90);
    int calls = 0;
    grid.OnDrawCell = [&](TObject*, int col, int row, TRect r, TGridDrawState) {
        ++calls;
        EXPECT_EQ(grid.Canvas()->Bitmap(), &form.Surface());
        if (col == 2 && row == 1) {
            grid.Canvas()->Brush()->SetColor(clRed);
            grid.Canvas()->FillRect(r);
        }
    };
    form.PaintInvalid();
    EXPECT_GT(calls, 0);
    TRect cell = grid.CellRect(2, 1);
    TPoint at = form.ScreenToClient(grid.ClientToScreen({cell.Left + 2, cell.Top + 2}));
    EXPECT_EQ(form.Surface().Pixel(at.X, at.Y), clRed);
    TPoint beside = form.ScreenToClient(grid.ClientToScreen({cell.Right + 3, cell.Top + 2}));
    EXPECT_NE(form.Surface().Pixel(beside.X, beside.Y), clRed);
}

} // namespace
} // namespace orvel
