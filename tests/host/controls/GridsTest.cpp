// String grids and their in-place editor through the user driver: geometry and scrolling, the
// editor's life on the current cell, the hooks a descendant editor uses, and the cells.
#include "orvel/host/controls/Grids.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

class GridTest : public TUiTest {
protected:
    TTestForm form;
    TStringGrid& grid = form.Place<TStringGrid>(10, 10, 300, 130);
    std::vector<std::string> edits;

    void SetUp() override {
        TUiTest::SetUp();
        grid.SetColCount(4);
        grid.SetRowCount(10);
        grid.SetCells(1, 1, "one");
        grid.SetCells(2, 1, "two");
        grid.OnSetEditText = [this](TObject*, int c, int r, const std::string& v) {
            edits.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + v);
        };
    }
    void Editing() {
        TGridOptions options = grid.Options();
        options.Include(goEditing);
        grid.SetOptions(options);
    }
};

TEST_F(GridTest, CellsLieInRowsAndColumnsWithTheirLines) {
    // 64-pixel columns and 24-pixel rows, each followed by a one-pixel line.
    EXPECT_EQ(grid.CellRect(0, 0), (TRect{0, 0, 64, 24}));
    EXPECT_EQ(grid.CellRect(2, 1), (TRect{130, 25, 194, 49}));
    int col, row;
    grid.MouseToCell(194, 49, col, row); // the line belongs to the cell before it
    EXPECT_EQ(col, 2);
    EXPECT_EQ(row, 1);
    grid.MouseToCell(290, 5, col, row);
    EXPECT_EQ(col, -1);
    EXPECT_EQ(grid.MouseCoord(70, 30), (TGridCoord{1, 1}));
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 1);

    // Ten rows do not fit: keys scroll the current cell into view, the fixed row stays.
    int visible = grid.VisibleRowCount();
    grid.SetFocus();
    press_key(grid, VK_NEXT);
    press_key(grid, VK_END, {ssCtrl});
    EXPECT_EQ(grid.Row(), 9);
    EXPECT_EQ(grid.TopRow(), 10 - visible);
    EXPECT_TRUE(grid.CellRect(1, 1).IsEmpty());
    EXPECT_EQ(grid.CellRect(1, 0).Top, 0);
    EXPECT_THROW(grid.SetCol(0), EInvalidOperation);
    EXPECT_THROW(grid.Cells(4, 0), EInvalidOperation);
}

TEST_F(GridTest, SelectCellMayRefuseAMove) {
    grid.OnSelectCell = [](TObject*, int c, int, bool& can) { can = c != 3; };
    grid.SetFocus();
    press_key(grid, VK_RIGHT);
    press_key(grid, VK_RIGHT);
    EXPECT_EQ(grid.Col(), 2);
    click(grid, center_of(grid.CellRect(3, 2)));
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 1);
}

TEST_F(GridTest, TypingOnTheGridEditsTheCurrentCell) {
    Editing();
    grid.SetFocus();
    type_text(grid, "x");
    ASSERT_TRUE(grid.EditorMode());
    TInplaceEdit* editor = grid.InplaceEditor();
    EXPECT_TRUE(editor->Focused());
    EXPECT_EQ(editor->BoundsRect(), grid.CellRect(1, 1));
    type_text(*editor, "y");
    EXPECT_EQ(grid.Cells(1, 1), "xy");
    EXPECT_EQ(edits, (std::vector<std::string>{"1,1=x", "1,1=xy"}));

    press_key(*editor, VK_RETURN);
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_FALSE(editor->Visible());
    EXPECT_TRUE(grid.Focused());

    // Escape puts back what the cell held when the editor came.
    press_key(grid, VK_F2);
    EXPECT_EQ(editor->Text(), "xy");
    type_text(*editor, "zzz");
    press_key(*editor, VK_ESCAPE);
    EXPECT_EQ(grid.Cells(1, 1), "xy");
    EXPECT_FALSE(grid.EditorMode());
}

TEST_F(GridTest, MovingTheCurrentCellHidesOrMovesTheEditor) {
    Editing();
    grid.SetFocus();
    click(grid, center_of(grid.CellRect(1, 1))); // the current cell: the editor comes
    ASSERT_TRUE(grid.EditorMode());
    press_key(*grid.InplaceEditor(), VK_DOWN);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_FALSE(grid.EditorMode());

    TGridOptions options = grid.Options();
    options.Include(goAlwaysShowEditor);
    grid.SetOptions(options);
    grid.ShowEditor();
    press_key(*grid.InplaceEditor(), VK_UP);
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_EQ(grid.InplaceEditor()->Text(), "one");
    EXPECT_EQ(grid.InplaceEditor()->BoundsRect(), grid.CellRect(1, 1));
}

TEST_F(GridTest, WithoutEditingTheGridRefusesToEdit) {
    grid.SetFocus();
    type_text(grid, "x");
    press_key(grid, VK_F2);
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.InplaceEditor(), nullptr);
    EXPECT_EQ(grid.Cells(1, 1), "one");
}

TEST_F(GridTest, ACellSetWhileTheEditorShowsItReachesTheEditor) {
    Editing();
    grid.SetFocus();
    grid.ShowEditor();
    grid.SetCells(1, 1, "new");
    EXPECT_EQ(grid.InplaceEditor()->Text(), "new");
    EXPECT_TRUE(edits.empty());
    grid.SetColCount(2); // cells keep their places when columns go
    EXPECT_EQ(grid.Cells(1, 1), "new");
    grid.SetColCount(4);
    EXPECT_EQ(grid.Cells(2, 1), "");
}

// An editor with a drop-down button at its right edge, built the way a descendant grid's editor
// is: its own style chosen when it is placed on a cell, the formatting rectangle narrowed by
// the button, the button painted through DrawFrameControl and excluded from the text, the
// cursor shown over the button, mouse tracking ended by WM_CANCELMODE, and a list closed by the
// loss of the focus or a press elsewhere.
class TButtonEdit : public TInplaceEdit {
public:
    using TInplaceEdit::TInplaceEdit;
    bool Button = false;
    std::vector<std::string> Log;
    TRect FormatRectSet;

    TRect ButtonRect() const { return {Width() - 16, 0, Width(), Height()}; }

    void WndProc(TMessage& Message) override {
        switch (Message.Msg) {
        case WM_SETCURSOR: {
            TPoint p;
            GetCursorPos(p);
            if (Button && ButtonRect().Contains(ScreenToClient(p))) {
                SetCursor(LoadCursor(0, IDC_ARROW));
                return;
            }
            break;
        }
        case WM_KILLFOCUS:
            Log.push_back("killfocus");
            break;
        case WM_CANCELMODE:
            Log.push_back("cancelmode");
            break;
        case CM_CANCELMODE:
            if (reinterpret_cast<TControl*>(Message.LParam) != this) Log.push_back("cancel");
            break;
        case EM_SETRECTNP:
            FormatRectSet = *reinterpret_cast<const TRect*>(Message.LParam);
            break;
        default:
            break;
        }
        TInplaceEdit::WndProc(Message);
    }

protected:
    void UpdateContents() override {
        Button = Grid()->Col() == 2;
        SetReadOnly(Button);
        Log.push_back("contents " + std::to_string(Grid()->Col()));
        TInplaceEdit::UpdateContents();
    }
    void BoundsChanged() override {
        Log.push_back("bounds");
        TRect r{2, 2, Width() - 2, Height()};
        if (Button) r.Right -= 16;
        SendMessage(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
        SendMessage(Handle(), EM_SCROLLCARET, 0, 0);
    }
    void PaintWindow(HDC DC) override {
        if (Button) {
            TRect r = ButtonRect();
            DrawFrameControl(DC, r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
            ExcludeClipRect(DC, r.Left, r.Top, r.Right, r.Bottom);
        }
        TInplaceEdit::PaintWindow(DC);
    }
    void MouseDown(TMouseButton Btn, TShiftState Shift, int X, int Y) override {
        if (Btn == mbLeft && Button && ButtonRect().Contains({X, Y})) {
            SetMouseCapture(true);
            Log.push_back("tracking");
        }
        TInplaceEdit::MouseDown(Btn, Shift, X, Y);
    }
};

class TButtonGrid : public TStringGrid {
public:
    using TStringGrid::TStringGrid;

protected:
    TInplaceEdit* CreateEditor() override { return new TButtonEdit(this); }
};

TEST(InplaceEditorHooks, ADescendantEditorFollowsTheCellsAndDrawsItsButton) {
    reset_ui();
    TTestForm form;
    auto& grid = form.Place<TButtonGrid>(10, 10, 300, 130);
    grid.SetOptions(grid.Options() + TGridOptions{goEditing, goAlwaysShowEditor});
    grid.SetCells(2, 1, "pick");
    grid.SetFocus(); // the editor shows at once
    auto* editor = dynamic_cast<TButtonEdit*>(grid.InplaceEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Owner(), &grid);
    EXPECT_EQ(editor->Grid(), &grid);
    EXPECT_EQ(editor->FormatRectSet, (TRect{2, 2, 62, 24}));

    press_key(*editor, VK_TAB); // without goTabs Tab leaves; with it the editor moves
    grid.SetOptions(grid.Options() + TGridOptions{goTabs});
    grid.SetFocus();
    press_key(*grid.InplaceEditor(), VK_TAB);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(editor->Log.back(), "bounds");
    EXPECT_EQ(editor->Log[editor->Log.size() - 2], "contents 2");
    EXPECT_EQ(editor->FormatRectSet, (TRect{2, 2, 46, 24}));
    EXPECT_EQ(editor->Text(), "pick");
    type_text(*editor, "x"); // read-only in the button column
    EXPECT_EQ(grid.Cells(2, 1), "pick");

    editor->Repaint();
    const auto& frames = editor->Canvas()->FrameControlLog();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().Rect, editor->ButtonRect());
    EXPECT_EQ(frames.back().State, static_cast<UINT>(DFCS_SCROLLCOMBOBOX));

    hover(*editor, editor->Width() - 5, 5);
    EXPECT_EQ(GetCursor(), static_cast<HCURSOR>(IDC_ARROW));
    hover(*editor, 5, 5);
    EXPECT_EQ(GetCursor(), static_cast<HCURSOR>(IDC_IBEAM));

    mouse_down(*editor, editor->Width() - 5, 5);
    EXPECT_EQ(GetCapture(), editor->Handle());
    SendMessage(GetCapture(), WM_CANCELMODE, 0, 0);
    EXPECT_EQ(GetCapture(), 0u);
    mouse_up(*editor, editor->Width() - 5, 5);

    // A press elsewhere on the form, then the focus leaving.
    TEdit& other = form.Place<TEdit>(10, 200, 100, 21);
    click(other, 3, 3);
    std::vector<std::string> tail(editor->Log.end() - 4, editor->Log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"tracking", "cancelmode", "cancel", "killfocus"}));
}

} // namespace
} // namespace orvel
