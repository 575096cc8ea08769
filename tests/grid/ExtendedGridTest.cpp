// The extended grid through the user driver: the values column's editor with its drop-down
// button, the pick list's size, place and selection, opening and closing it with the button,
// keys and clicks, incremental search, the choice reported through OnSelectValue, the plain
// columns, a read-only grid, and the published properties.
#include "orvel/grid/ExtendedGrid.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

// A grid whose cells the host may refuse to change.
class TLockableGrid : public TExtendedGrid {
public:
    using TExtendedGrid::TExtendedGrid;
    bool Locked = false;

protected:
    bool CanEditModify() override { return !Locked && TExtendedGrid::CanEditModify(); }
};

class ExtendedGridTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        SetPlatform(&platform);
        form = std::make_unique<TTestForm>();
        other = &form->Place<TEdit>(10, 300, 100, 21);
        grid = &form->Place<TLockableGrid>(10, 10, 300, 160);
        grid->SetColCount(4);
        grid->SetRowCount(6);
        TGridOptions options = grid->Options();
        options.Include(goEditing);
        grid->SetOptions(options);
        TStringList values{"Alpha", "Bravo", "Charlie", "Delta", "Echo",   "Foxtrot",
                           "Golf",  "Gamma", "Hotel",   "India", "Juliet", "Kilo"};
        grid->SetValuesList(&values);
        grid->SetValColumn(2);
        grid->SetCells(2, 1, "Charlie");
        grid->SetOnSelectValue([this](TObject* sender, int col, int row, int index) {
            EXPECT_EQ(sender, grid);
            log.push_back("select " + std::to_string(col) + "," + std::to_string(row) + " " +
                          std::to_string(index));
        });
        grid->OnSetEditText = [this](TObject*, int col, int row, const std::string& value) {
            log.push_back("edit " + std::to_string(col) + "," + std::to_string(row) + " " + value);
        };
    }
    void TearDown() override {
        form.reset();
        SetPlatform(nullptr);
        TUiTest::TearDown();
    }

    // Puts the current cell at col, row and shows the editor there with F2.
    TExtGridInplaceEdit& EditAt(int col, int row) {
        grid->SetFocus();
        grid->FocusCell(col, row);
        press_key(*grid, VK_F2);
        auto* editor = dynamic_cast<TExtGridInplaceEdit*>(grid->InplaceEditor());
        EXPECT_NE(editor, nullptr);
        EXPECT_TRUE(editor->Focused());
        return *editor;
    }
    TPoint ButtonOf(TExtGridInplaceEdit& editor) { return center_of(editor.ButtonRect()); }
    TRect ScreenRect(TWinControl& control) {
        TRect r;
        GetWindowRect(control.Handle(), r);
        return r;
    }
    void Alt(TWinControl& control, uint16_t key) { press_key(control, key, {ssAlt}); }

    TTestPlatform platform;
    std::unique_ptr<TTestForm> form;
    TEdit* other = nullptr;
    TLockableGrid* grid = nullptr;
    std::vector<std::string> log;
};

TEST_F(ExtendedGridTest, TheButtonOpensAListOfFiveRowsBelowTheCell) {
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    EXPECT_EQ(grid->GetButtonStyle(), cbsAuto);
    EXPECT_EQ(editor.EditStyle(), esPickList);
    EXPECT_TRUE(editor.ReadOnly()); // chosen, never typed
    EXPECT_EQ(editor.ButtonRect(), (TRect{64 - 16, 0, 64, 24}));

    click(editor, ButtonOf(editor));
    ASSERT_TRUE(editor.ListVisible());
    TPopupListbox& list = *editor.PickList();
    EXPECT_TRUE(list.IsDetachedWindow());
    EXPECT_TRUE(list.ShowsFocus());
    EXPECT_TRUE(editor.Focused());
    EXPECT_EQ(list.ItemIndex(), 2); // the cell's text
    TRect cell = ScreenRect(editor);
    TRect shown = ScreenRect(list);
    EXPECT_EQ(shown.Height(), 5 * 11 + 4);
    EXPECT_EQ(shown.Left, cell.Left);
    EXPECT_EQ(shown.Top, cell.Bottom);
    EXPECT_EQ(shown.Width(), editor.Width());

    // A press on the button closes it again, changing nothing.
    click(editor, ButtonOf(editor));
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_TRUE(log.empty());

    // Later changes of the values show at the next opening: three rows, and as wide as the
    // widest entry with the frame.
    TStringList three{"One", "Two", "A rather long value name"};
    grid->SetValuesList(&three);
    click(editor, ButtonOf(editor));
    EXPECT_EQ(ScreenRect(list).Height(), 3 * 11 + 4);
    EXPECT_EQ(list.Width(), 24 * TextCellWidth + 2 + 4);
    EXPECT_EQ(list.ItemIndex(), -1);

    // Near the bottom of the screen the list opens above the cell.
    click(editor, ButtonOf(editor));
    platform.SetScreenSize(1024, cell.Bottom + 30);
    Alt(editor, VK_DOWN);
    EXPECT_EQ(ScreenRect(list).Top, cell.Top - (3 * 11 + 4));
}

TEST_F(ExtendedGridTest, AltDownOpensArrowsMoveAndAltDownAccepts) {
    TExtGridInplaceEdit& editor = EditAt(2, 2); // an empty cell
    Alt(editor, VK_DOWN);
    ASSERT_TRUE(editor.ListVisible());
    EXPECT_EQ(editor.PickList()->ItemIndex(), -1);
    press_key(editor, VK_DOWN);
    press_key(editor, VK_DOWN);
    press_key(editor, VK_DOWN);
    EXPECT_EQ(editor.PickList()->ItemIndex(), 2);
    EXPECT_EQ(grid->Row(), 2); // the keys went to the list, not to the grid
    Alt(editor, VK_DOWN);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 2), "Charlie");
    EXPECT_EQ(editor.Text(), "Charlie");
    EXPECT_EQ(log, (std::vector<std::string>{"select 2,2 2", "edit 2,2 Charlie"}));

    // Escape closes without a change; Enter accepts.
    log.clear();
    Alt(editor, VK_UP);
    press_key(editor, VK_DOWN);
    press_key(editor, VK_ESCAPE);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 2), "Charlie");
    EXPECT_TRUE(grid->EditorMode());
    Alt(editor, VK_DOWN);
    press_key(editor, VK_NEXT);
    press_key(editor, VK_RETURN);
    EXPECT_EQ(grid->Cells(2, 2), "Golf");
    EXPECT_EQ(log, (std::vector<std::string>{"select 2,2 6", "edit 2,2 Golf"}));
    EXPECT_TRUE(grid->EditorMode());

    // A text not in the list opens with no entry highlighted, and Enter changes nothing; nor
    // does a choice for a cell the host refuses to change.
    log.clear();
    grid->SetCells(2, 2, "Zulu");
    Alt(editor, VK_DOWN);
    EXPECT_EQ(editor.PickList()->ItemIndex(), -1);
    press_key(editor, VK_RETURN);
    grid->Locked = true;
    Alt(editor, VK_DOWN);
    press_key(editor, VK_DOWN);
    press_key(editor, VK_RETURN);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 2), "Zulu");
    EXPECT_TRUE(log.empty());
}

TEST_F(ExtendedGridTest, TypingSearchesTheListByPrefix) {
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    Alt(editor, VK_DOWN);
    TPopupListbox& list = *editor.PickList();
    type_text(editor, "g");
    EXPECT_EQ(list.ItemIndex(), 6); // Golf
    platform.Advance(1500);
    type_text(editor, "A");
    EXPECT_EQ(list.ItemIndex(), 7); // Gamma
    EXPECT_EQ(list.SearchText(), "gA");
    platform.Advance(2001); // a pause: a new prefix
    type_text(editor, "h");
    EXPECT_EQ(list.ItemIndex(), 8); // Hotel
    press_key(editor, VK_BACK);
    EXPECT_EQ(list.SearchText(), "");
    type_text(editor, std::string(40, 'k'));
    EXPECT_EQ(list.SearchText(), std::string(32, 'k'));
    EXPECT_EQ(list.ItemIndex(), 11);     // Kilo, found by the first k
    EXPECT_EQ(editor.Text(), "Charlie"); // the editor took none of it
    press_key(editor, VK_RETURN);
    EXPECT_EQ(grid->Cells(2, 1), "Kilo");
}

TEST_F(ExtendedGridTest, ClickingAnEntryAcceptsAndAClickElsewhereCancels) {
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    click(editor, ButtonOf(editor));
    click_item(*editor.PickList(), 4);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 1), "Echo");
    EXPECT_EQ(log, (std::vector<std::string>{"select 2,1 4", "edit 2,1 Echo"}));

    log.clear();
    click(editor, ButtonOf(editor));
    click(*grid, center_of(grid->CellRect(1, 3))); // also moves the current cell
    EXPECT_FALSE(editor.ListVisible());
    EditAt(2, 1);
    click(editor, ButtonOf(editor));
    ASSERT_TRUE(editor.ListVisible());
    click(*other, 5, 5); // the editor loses the focus
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 1), "Echo");
    EXPECT_TRUE(log.empty());
}

TEST_F(ExtendedGridTest, DraggingFromTheButtonIntoTheListChooses) {
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    mouse_down(editor, ButtonOf(editor).X, ButtonOf(editor).Y);
    ASSERT_TRUE(editor.ListVisible());
    EXPECT_TRUE(editor.ButtonPressed());
    TPopupListbox& list = *editor.PickList();
    mouse_move(editor, ButtonOf(editor).X, ButtonOf(editor).Y + 30); // below the button
    EXPECT_FALSE(editor.ButtonPressed());
    TPoint third = center_of(list.ItemRect(3));
    mouse_move(list, third.X, third.Y);
    EXPECT_EQ(list.ItemIndex(), 3);
    TPoint fourth = center_of(list.ItemRect(4));
    mouse_move(list, fourth.X, fourth.Y);
    EXPECT_EQ(list.ItemIndex(), 4);
    mouse_up(list, fourth.X, fourth.Y);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 1), "Echo");

    // Released outside the list: closed, nothing chosen.
    mouse_down(editor, ButtonOf(editor).X, ButtonOf(editor).Y);
    mouse_move(list, center_of(list.ItemRect(1)).X, center_of(list.ItemRect(1)).Y);
    mouse_up(list, -20, -20);
    EXPECT_FALSE(editor.ListVisible());
    EXPECT_EQ(grid->Cells(2, 1), "Echo");
}

TEST_F(ExtendedGridTest, OtherColumnsArePlainAndEditable) {
    TGridOptions options = grid->Options();
    options.Include(goAlwaysShowEditor);
    grid->SetOptions(options);
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    EXPECT_EQ(editor.FormatRect().Right, 64 - 2 - 16);
    grid->SetCol(3);
    EXPECT_EQ(grid->GetButtonStyle(), cbsNone);
    EXPECT_EQ(editor.EditStyle(), esSimple);
    EXPECT_FALSE(editor.ReadOnly());
    EXPECT_EQ(editor.FormatRect().Right, 64 - 2);
    type_text(editor, "xyz");
    EXPECT_EQ(grid->Cells(3, 1), "xyz");

    // Only columns of the grid can be the values column; without values it is plain too.
    grid->SetValColumn(4);
    grid->SetValColumn(-1);
    EXPECT_EQ(grid->GetValuesColumn(), 2);
    grid->SetValuesList(nullptr);
    grid->SetCol(2);
    EXPECT_EQ(editor.EditStyle(), esSimple);
}

TEST_F(ExtendedGridTest, AReadOnlyGridOffersNoListAndTakesNoTyping) {
    grid->SetReadOnly(true); // before the editor exists
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    EXPECT_EQ(editor.EditStyle(), esSimple);
    EXPECT_TRUE(editor.ReadOnly());
    type_text(editor, "x");
    EXPECT_EQ(grid->Cells(2, 1), "Charlie");

    grid->SetReadOnly(false);
    grid->HideEditor();
    EditAt(1, 2);
    EXPECT_FALSE(editor.ReadOnly());
    type_text(editor, "x");
    EXPECT_EQ(grid->Cells(1, 2), "x");
}

TEST_F(ExtendedGridTest, TheButtonIsDrawnWithTheArrowCursorAndIgnoresDoubleClicks) {
    TExtGridInplaceEdit& editor = EditAt(2, 1);
    TBitmap surface(editor.Width(), editor.Height());
    TCanvas* canvas = surface.Canvas();
    editor.Perform(WM_PAINT, static_cast<WPARAM>(canvas->Handle()), 0);
    ASSERT_EQ(canvas->FrameControlLog().size(), 1u);
    EXPECT_EQ(canvas->FrameControlLog()[0].Rect, editor.ButtonRect());
    EXPECT_EQ(canvas->FrameControlLog()[0].Type, static_cast<UINT>(DFC_SCROLL));
    EXPECT_EQ(canvas->FrameControlLog()[0].State, static_cast<UINT>(DFCS_SCROLLCOMBOBOX));
    // The text's background stays off the button's face.
    TRect button = editor.ButtonRect();
    EXPECT_EQ(surface.Pixel(button.Left + 3, button.Top + 3), ColorToRGB(clBtnFace));
    EXPECT_EQ(surface.Pixel(button.Left - 3, button.Top + 3), ColorToRGB(editor.Color()));

    mouse_down(editor, ButtonOf(editor).X, ButtonOf(editor).Y);
    canvas->ClearFrameControlLog();
    canvas->ResetClip();
    editor.Perform(WM_PAINT, static_cast<WPARAM>(canvas->Handle()), 0);
    EXPECT_EQ(canvas->FrameControlLog()[0].State,
              static_cast<UINT>(DFCS_SCROLLCOMBOBOX | DFCS_FLAT | DFCS_PUSHED));
    mouse_up(editor, ButtonOf(editor).X, ButtonOf(editor).Y);
    EXPECT_FALSE(editor.ButtonPressed());
    press_key(editor, VK_ESCAPE);

    hover(editor, ButtonOf(editor).X, ButtonOf(editor).Y);
    EXPECT_EQ(GetCursor(), static_cast<HCURSOR>(IDC_ARROW));

    // The second press of a double click on the button leaves the list open.
    double_click(editor, ButtonOf(editor));
    EXPECT_TRUE(editor.ListVisible());
}

TEST_F(ExtendedGridTest, SelectValueReportsThenTakesTheValueAsTheHandlerLeftIt) {
    grid->SetOnSelectValue([this](TObject*, int, int, int index) {
        log.push_back("select " + std::to_string(index));
        grid->GetValuesList()->Put(index, "Changed");
    });
    grid->SelectValue(3, 4, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"select 1", "edit 3,4 Changed"}));
    EXPECT_EQ(grid->Cells(3, 4), "Changed");

    // Without an editor the caret has nowhere to go; with one it goes to the end.
    grid->ClearSelection();
    TExtGridInplaceEdit& editor = EditAt(1, 1);
    grid->SetCells(1, 1, "abc");
    editor.SelectAll();
    grid->ClearSelection();
    EXPECT_EQ(editor.SelLength(), 0);
    EXPECT_EQ(editor.SelStart(), 3);
}

} // namespace
} // namespace orvel
