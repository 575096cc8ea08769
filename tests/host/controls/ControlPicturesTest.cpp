// Pictures of the standard controls in their main states, in the real font, composed on a form
// as a desktop window shows them and compared with the stored pictures under
// tests/golden/controls.
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/StdCtrls.h"
#include "tests/support/driver/Driver.h"
#include "tests/support/pictures/GoldenPicture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvel {
namespace {

using testing::MatchesGolden;

class ControlPicturesTest : public TUiTest {
protected:
    testing::TRealFontScope realFont;
    std::unique_ptr<TTestForm> test;

    void TearDown() override {
        test.reset();
        ResetSysColors();
        TUiTest::TearDown();
    }

    TForm& MakeForm(int width, int height) {
        test = std::make_unique<TTestForm>(width, height);
        return test->Form();
    }
    template <class C> C& Place(int left, int top, int width, int height) {
        return test->Place<C>(left, top, width, height);
    }
    const TBitmap& Compose() {
        test->Form().PaintInvalid();
        return test->Form().Surface();
    }
};

TEST_F(ControlPicturesTest, ButtonsNormalDefaultFocusedPressedDisabled) {
    MakeForm(412, 37);
    const char* captions[] = {"Normal", "Default", "Focused", "Pressed", "Disabled"};
    TButton* buttons[5];
    for (int i = 0; i < 5; ++i) {
        buttons[i] = &Place<TButton>(6 + i * 81, 6, 75, 25);
        buttons[i]->SetCaption(captions[i]);
    }
    buttons[1]->SetDefault(true);
    buttons[2]->SetFocus();
    buttons[4]->SetEnabled(false);
    // Held down by the mouse without the focus moving (a press the user drags off and back).
    TControlState held = buttons[3]->ControlState();
    held.Include(csLButtonDown);
    buttons[3]->SetControlState(held);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/buttons"));
}

TEST_F(ControlPicturesTest, CheckBoxesInTheirThreeStatesFocusedAndDisabled) {
    MakeForm(340, 52);
    auto& checked = Place<TCheckBox>(6, 4, 100, 20);
    checked.SetCaption("Checked");
    checked.SetChecked(true);
    auto& unchecked = Place<TCheckBox>(116, 4, 100, 20);
    unchecked.SetCaption("Unchecked");
    auto& grayed = Place<TCheckBox>(226, 4, 100, 20);
    grayed.SetCaption("Grayed");
    grayed.SetAllowGrayed(true);
    grayed.SetState(cbGrayed);
    auto& focused = Place<TCheckBox>(6, 28, 100, 20);
    focused.SetCaption("Focused");
    focused.SetChecked(true);
    focused.SetFocus();
    auto& disabled = Place<TCheckBox>(116, 28, 100, 20);
    disabled.SetCaption("Disabled");
    disabled.SetChecked(true);
    disabled.SetEnabled(false);
    auto& narrow = Place<TCheckBox>(226, 28, 70, 20);
    narrow.SetCaption("Much too long a caption");
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/checkboxes"));
}

TEST_F(ControlPicturesTest, EditsWithSelectionCaretReadOnlyAndDisabled) {
    MakeForm(272, 68);
    auto& selected = Place<TEdit>(6, 6, 126, 24);
    selected.SetText("Selected text");
    auto& plain = Place<TEdit>(140, 6, 126, 24);
    plain.SetText("Plain text");
    auto& readOnly = Place<TEdit>(6, 38, 126, 24);
    readOnly.SetText("Read-only");
    readOnly.SetReadOnly(true);
    auto& disabled = Place<TEdit>(140, 38, 126, 24);
    disabled.SetText("Disabled");
    disabled.SetEnabled(false);
    selected.SetFocus();
    selected.SetSelStart(0);
    selected.SetSelLength(8);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/edits-selection"));
    plain.SetFocus();
    plain.SetSelStart(5);
    plain.SetSelLength(0);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/edits-caret"));
}

TEST_F(ControlPicturesTest, LabelsPanelsGroupBoxAndBevel) {
    MakeForm(300, 100);
    auto& label = Place<TLabel>(8, 6, 120, 16);
    label.SetCaption("&Name:");
    auto& disabled = Place<TLabel>(8, 24, 120, 16);
    disabled.SetCaption("Disabled label");
    disabled.SetEnabled(false);
    auto& panel = Place<TPanel>(8, 46, 120, 46);
    panel.SetCaption("Panel");
    auto& group = Place<TGroupBox>(140, 4, 152, 88);
    group.SetCaption("Options");
    auto* inside = new TCheckBox(&test->Form());
    inside->SetParent(&group);
    inside->SetBounds(10, 24, 130, 20);
    inside->SetCaption("Inside the group");
    auto& bevel = Place<TBevel>(150, 70, 132, 2);
    (void)bevel;
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/labels-panel-group"));
}

TEST_F(ControlPicturesTest, ListBoxWithSelectionFocusAndScrollBar) {
    MakeForm(272, 96);
    auto& list = Place<TListBox>(6, 6, 126, 84);
    for (const char* s : {"Apple", "Banana", "Cherry", "Date", "Elderberry", "Fig", "Grape"})
        list.Items()->Add(s);
    list.SetFocus();
    list.SetItemIndex(2);
    auto& idle = Place<TListBox>(140, 6, 126, 84);
    for (const char* s : {"One", "Two", "A very long entry that does not fit"})
        idle.Items()->Add(s);
    idle.SetItemIndex(0);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/listboxes"));
}

TEST_F(ControlPicturesTest, ComboBoxesClosedAndDroppedDown) {
    MakeForm(272, 130);
    auto& edit = Place<TComboBox>(6, 6, 126, 24);
    for (const char* s : {"Red", "Green", "Blue"})
        edit.Items()->Add(s);
    edit.SetText("Green");
    auto& list = Place<TComboBox>(140, 6, 126, 24);
    list.SetStyle(csDropDownList);
    for (const char* s : {"Small", "Medium", "Large", "Huge", "Enormous"})
        list.Items()->Add(s);
    list.SetItemIndex(1);
    list.SetFocus();
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/combos-closed"));
    list.SetDroppedDown(true);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/combos-dropped"));
    list.SetDroppedDown(false);
}

TEST_F(ControlPicturesTest, StringGridWithFixedCellsSelectionAndScrollBars) {
    MakeForm(260, 130);
    auto& grid = Place<TStringGrid>(6, 6, 248, 118);
    grid.SetColCount(5);
    grid.SetRowCount(8);
    grid.SetDefaultRowHeight(20);
    grid.SetDefaultColWidth(56);
    const char* heads[] = {"", "Name", "City", "Age", "Notes"};
    for (int c = 1; c < 5; ++c)
        grid.SetCells(c, 0, heads[c]);
    for (int r = 1; r < 8; ++r) {
        grid.SetCells(0, r, std::to_string(r));
        grid.SetCells(1, r, "Person " + std::to_string(r));
        grid.SetCells(2, r, r % 2 ? "Lyon" : "Oslo");
        grid.SetCells(3, r, std::to_string(20 + r));
    }
    grid.SetCol(2);
    grid.SetRow(2);
    grid.SetFocus();
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/stringgrid"));
    TGridOptions options = grid.Options();
    options.Include(goEditing);
    grid.SetOptions(options);
    grid.SetEditorMode(true);
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/stringgrid-editing"));
}

TEST_F(ControlPicturesTest, DarkSchemeFromOneTableChange) {
    UseDarkSysColors();
    MakeForm(272, 96);
    auto& edit = Place<TEdit>(6, 6, 126, 24);
    edit.SetText("Dark text");
    auto& button = Place<TButton>(140, 6, 75, 25);
    button.SetCaption("OK");
    button.SetDefault(true);
    auto& check = Place<TCheckBox>(140, 38, 120, 20);
    check.SetCaption("Remember");
    check.SetChecked(true);
    auto& list = Place<TListBox>(6, 38, 126, 52);
    for (const char* s : {"First", "Second", "Third", "Fourth"})
        list.Items()->Add(s);
    list.SetItemIndex(1);
    list.SetFocus();
    EXPECT_TRUE(MatchesGolden(Compose(), "controls/dark-scheme"));
}

TEST_F(ControlPicturesTest, DialogWindowWithCaptionBar) {
    TForm& form = MakeForm(230, 70);
    form.SetCaption("Rename");
    form.SetBorderStyle(bsDialog);
    auto& label = Place<TLabel>(8, 10, 60, 16);
    label.SetCaption("Name:");
    auto& edit = Place<TEdit>(60, 6, 162, 24);
    edit.SetText("Customers");
    auto& ok = Place<TButton>(66, 38, 75, 25);
    ok.SetCaption("OK");
    ok.SetDefault(true);
    auto& cancel = Place<TButton>(147, 38, 75, 25);
    cancel.SetCaption("Cancel");
    edit.SetFocus();
    edit.SetSelStart(0);
    edit.SetSelLength(9);
    TSize size = FormWindowSize(form);
    TBitmap picture(size.cx, size.cy);
    PaintFormWindow(*picture.Canvas(), form, 0, 0);
    EXPECT_TRUE(MatchesGolden(picture, "controls/dialog-window"));
}

} // namespace
} // namespace orvel
