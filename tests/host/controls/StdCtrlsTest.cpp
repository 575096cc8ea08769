// Edit boxes, memos, labels, buttons and check boxes through the user driver.
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/controls/Buttons.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"
#include "tests/support/pictures/GoldenPicture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

class EditTest : public TUiTest {
protected:
    TTestForm form;
    TEdit& edit = form.Place<TEdit>(10, 10, 121, 21);
    int changes = 0;

    void SetUp() override {
        TUiTest::SetUp();
        edit.OnChange = [this](TObject*) { ++changes; };
        edit.SetFocus();
    }
};

TEST_F(EditTest, TypingEditsTheTextAndMarksItModified) {
    type_text(edit, "abc");
    EXPECT_EQ(edit.Text(), "abc");
    EXPECT_TRUE(edit.Modified());
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(edit.SelStart(), 3);

    press_key(edit, VK_HOME);
    press_key(edit, VK_RIGHT, {ssShift});
    EXPECT_EQ(edit.SelText(), "a");
    type_text(edit, "X");
    EXPECT_EQ(edit.Text(), "Xbc");
    press_key(edit, VK_END);
    press_key(edit, VK_BACK);
    EXPECT_EQ(edit.Text(), "Xb");
    press_key(edit, VK_HOME);
    press_key(edit, VK_DELETE);
    EXPECT_EQ(edit.Text(), "b");

    // A program's text is not the user's: Modified is cleared and the caret goes to the start.
    edit.SetText("set");
    EXPECT_FALSE(edit.Modified());
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(changes, 7);
}

TEST_F(EditTest, TypedUtf8BytesMakeOneCharacter) {
    type_text(edit, "n\xC3\xA9");
    EXPECT_EQ(edit.Text(), "n\xC3\xA9");
    EXPECT_EQ(edit.TextLength(), 2);
    press_key(edit, VK_BACK);
    EXPECT_EQ(edit.Text(), "n");
}

TEST_F(EditTest, CtrlArrowsMoveByWordAndShiftExtendsOverWholeCharacters) {
    type_text(edit, "caf\xC3\xA9 au, lait");
    press_key(edit, VK_HOME);
    press_key(edit, VK_RIGHT, {ssCtrl});
    EXPECT_EQ(edit.SelStart(), 5) << "past the word and the blank after it";
    press_key(edit, VK_RIGHT, {ssCtrl, ssShift});
    EXPECT_EQ(edit.SelText(), "au, ");
    press_key(edit, VK_LEFT, {ssCtrl});
    EXPECT_EQ(edit.SelStart(), 5);
    EXPECT_EQ(edit.SelLength(), 0);
    press_key(edit, VK_LEFT, {ssCtrl, ssShift});
    EXPECT_EQ(edit.SelText(), "caf\xC3\xA9 ") << "the accented letter is part of the word";
    // Typing replaces the selection; Shift+End selects to the end; Delete removes it.
    type_text(edit, "the ");
    EXPECT_EQ(edit.Text(), "the au, lait");
    press_key(edit, VK_END, {ssShift});
    press_key(edit, VK_DELETE);
    EXPECT_EQ(edit.Text(), "the ");
    // At either end a word move stays put.
    press_key(edit, VK_RIGHT, {ssCtrl});
    EXPECT_EQ(edit.SelStart(), 4);
    press_key(edit, VK_HOME);
    press_key(edit, VK_LEFT, {ssCtrl});
    EXPECT_EQ(edit.SelStart(), 0);
}

TEST(LineEditor, EditingKeysWorkOnCharactersNeverOnBytes) {
    TLineEditor line;
    line.SetText("Gr\xC3\xBC\xC3\x9F Gott", true);
    EXPECT_EQ(line.SelLength(), 9);
    // End, then Backspace: the last character only, not the selected whole.
    line.KeyDown(VK_END, {});
    line.KeyPress(8);
    EXPECT_EQ(line.Text(), "Gr\xC3\xBC\xC3\x9F Got");
    // Home, Right twice, Delete: the two-byte character goes whole.
    line.KeyDown(VK_HOME, {});
    line.KeyDown(VK_RIGHT, {});
    line.KeyDown(VK_RIGHT, {});
    line.KeyDown(VK_DELETE, {});
    EXPECT_EQ(line.Text(), "Gr\xC3\x9F Got");
    line.KeyDown(VK_LEFT, {});
    EXPECT_EQ(line.Caret(), 1);
    // Shift+Right over a multi-byte character, then typing one byte by byte replaces it.
    line.KeyDown(VK_RIGHT, {});
    line.KeyDown(VK_RIGHT, {ssShift});
    EXPECT_EQ(line.SelLength(), 1);
    line.KeyPress('\xE2');
    line.KeyPress('\x82');
    EXPECT_EQ(line.Text(), "Gr\xC3\x9F Got") << "an unfinished character changes nothing yet";
    line.KeyPress('\xAC');
    EXPECT_EQ(line.Text(), "Gr\xE2\x82\xAC Got");
    EXPECT_EQ(line.Caret(), 3);
    // Backspace and Delete at the ends, and keys that are not editing keys, change nothing.
    line.KeyDown(VK_HOME, {});
    line.KeyPress(8);
    line.KeyDown(VK_END, {});
    line.KeyDown(VK_DELETE, {});
    EXPECT_FALSE(line.KeyDown(VK_UP, {}));
    EXPECT_FALSE(line.KeyPress('\r'));
    EXPECT_EQ(line.Text(), "Gr\xE2\x82\xAC Got");
    // Ctrl+A selects everything; a stray continuation byte is ignored.
    line.KeyPress(1);
    EXPECT_EQ(line.SelLength(), line.Length());
    line.KeyPress('\x80');
    EXPECT_EQ(line.Text(), "Gr\xE2\x82\xAC Got");
}

TEST(LineEditor, WordBoundariesSkipSeparatorsAndStopAtTheEnds) {
    const std::string text = "one  two-three";
    EXPECT_EQ(WordBoundary(text, 0, true), 5);
    EXPECT_EQ(WordBoundary(text, 5, true), 9);
    EXPECT_EQ(WordBoundary(text, 9, true), 14);
    EXPECT_EQ(WordBoundary(text, 14, true), 14);
    EXPECT_EQ(WordBoundary(text, 14, false), 9);
    EXPECT_EQ(WordBoundary(text, 9, false), 5);
    EXPECT_EQ(WordBoundary(text, 4, false), 0);
    EXPECT_EQ(WordBoundary(text, 99, false), 9) << "a position past the end is clamped";
    EXPECT_EQ(WordBoundary("", 0, true), 0);
}

TEST_F(EditTest, ReadOnlyEditRefusesTypingButMovesItsCaret) {
    edit.SetText("fixed");
    SendMessage(edit.Handle(), EM_SETREADONLY, 1, 0);
    EXPECT_TRUE(edit.ReadOnly());
    press_key(edit, VK_END);
    type_text(edit, "xyz");
    press_key(edit, VK_BACK);
    press_key(edit, VK_HOME);
    press_key(edit, VK_DELETE);
    type_text(edit, "\x16"); // Ctrl+V
    EXPECT_EQ(edit.Text(), "fixed");
    EXPECT_FALSE(edit.Modified());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(edit.SelStart(), 0);

    SendMessage(edit.Handle(), EM_SETREADONLY, 0, 0);
    type_text(edit, "!");
    EXPECT_EQ(edit.Text(), "!fixed");
}

TEST_F(EditTest, MaxLengthLimitsTypingAndPasting) {
    edit.SetMaxLength(4);
    SetClipboardText("123456");
    type_text(edit, "ab\x16"); // Ctrl+V pastes what still fits
    EXPECT_EQ(edit.Text(), "ab12");
    type_text(edit, "c");
    EXPECT_EQ(edit.Text(), "ab12");
    // A program's text is not cut.
    edit.SetText("longer text");
    EXPECT_EQ(edit.Text(), "longer text");
}

TEST_F(EditTest, FocusSelectsTheWholeTextAndAClickPlacesTheCaret) {
    TEdit& other = form.Place<TEdit>(10, 40, 121, 21);
    edit.SetText("hello");
    other.SetFocus();
    edit.SetFocus();
    EXPECT_EQ(edit.SelLength(), 5);
    // A click at the third character's left edge.
    int cell = TextCellWidth;
    click(edit, edit.FormatRect().Left + 2 * cell + 1, 5);
    EXPECT_EQ(edit.SelStart(), 2);
    EXPECT_EQ(edit.SelLength(), 0);
}

// With a proportional font a click lands on the character drawn under it, and the caret at the
// end of a long text is scrolled into view by the text's drawn width, not a fixed cell.
class EditRealFontTest : public TUiTest {};

TEST_F(EditRealFontTest, ClicksAndScrollingFollowTheDrawnWidths) {
    testing::TRealFontScope realFont;
    TTestForm form;
    TEdit& edit = form.Place<TEdit>(10, 10, 121, 21);
    edit.SetFocus();
    edit.SetText("iiiiiiWWWWWW");
    TCanvas measure;
    measure.Font()->Assign(edit.Font());
    ASSERT_NE(measure.TextWidth("i"), measure.TextWidth("W")) << "a proportional font";
    int left = edit.FormatRect().Left;
    // Just right of the middle of the eighth character (the second W).
    int x = left + measure.TextWidth("iiiiiiW") + measure.TextWidth("W") / 2 + 1;
    click(edit, x, 5);
    EXPECT_EQ(edit.SelStart(), 8);
    click(edit, left + measure.TextWidth("iii") - 1, 5);
    EXPECT_EQ(edit.SelStart(), 3);

    edit.SetText(std::string(40, 'W'));
    press_key(edit, VK_END);
    // The last character shows whole: a click at the box's right edge is after it.
    click(edit, edit.FormatRect().Right - 1, 5);
    EXPECT_EQ(edit.SelStart(), 40);
    press_key(edit, VK_HOME);
    click(edit, left + 1, 5);
    EXPECT_EQ(edit.SelStart(), 0);
}

TEST_F(EditTest, FontColourShowsInThePaintedText) {
    form.Place<TEdit>(10, 40, 121, 21).SetFocus(); // no caret in the edit box
    edit.SetText("W");
    edit.Font()->SetColor(clRed);
    edit.Repaint();
    TBitmap* surface = edit.Canvas()->Bitmap();
    int red = 0;
    for (int y = 0; y < surface->Height(); ++y)
        for (int x = 0; x < surface->Width(); ++x)
            if (surface->Pixel(x, y) == clRed) ++red;
    EXPECT_GT(red, 0);
}

class MemoTest : public TUiTest {
protected:
    TTestForm form;
    TMemo& memo = form.Place<TMemo>(10, 10, 185, 89);
};

TEST_F(MemoTest, LinesAreTheTextsBetweenLineBreaks) {
    TStringList lines{"one", "two", "three"};
    memo.SetLines(&lines);
    EXPECT_EQ(memo.Text(), "one\ntwo\nthree");
    EXPECT_EQ(memo.Lines()->Count(), 3);
    EXPECT_FALSE(memo.Modified()); // a program filled it

    memo.Lines()->Add("four");
    memo.Lines()->Delete(0);
    EXPECT_EQ(memo.Lines()->ToVector(), (std::vector<std::string>{"two", "three", "four"}));
    memo.SetText("a\nb\n");
    EXPECT_EQ(memo.Lines()->Count(), 2); // a trailing line break starts no line
}

TEST_F(MemoTest, EnterStartsALineWithoutClickingTheDefaultButton) {
    TButton& ok = form.Place<TButton>(10, 120, 75, 25);
    ok.SetDefault(true);
    int clicks = 0;
    ok.OnClick = [&](TObject*) { ++clicks; };
    std::string keys;
    memo.OnKeyPress = [&](TObject*, char& key) { keys += key; };
    memo.SetFocus();
    type_text(memo, "first");
    press_key(memo, VK_RETURN);
    type_text(memo, "second");
    EXPECT_EQ(memo.Lines()->ToVector(), (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(memo.Modified());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(keys, "first\rsecond");

    press_key(memo, VK_UP);
    EXPECT_EQ(memo.CaretPos().Y, 0);
    EXPECT_EQ(memo.CaretPos().X, 5);
}

class LabelTest : public TUiTest {
protected:
    TTestForm form;
};

TEST_F(LabelTest, AcceleratorFocusesTheLabelsControlAndAutoSizeFitsTheText) {
    TLabel& label = form.Place<TLabel>(10, 10, 10, 10);
    TEdit& first = form.Place<TEdit>(10, 30, 100, 21);
    TEdit& target = form.Place<TEdit>(10, 60, 100, 21);
    label.SetCaption("&Names");
    label.SetFocusControl(&target);
    EXPECT_EQ(label.Width(), 5 * TextCellWidth); // the marker takes no room
    EXPECT_EQ(label.Height(), TextCellHeight);

    first.SetFocus();
    press_key(first, 'N', {ssAlt});
    EXPECT_TRUE(target.Focused());

    target.Free();
    EXPECT_EQ(label.FocusControl(), nullptr);
    first.SetFocus();
    press_key(first, 'N', {ssAlt}); // nothing to focus: no harm
    EXPECT_TRUE(first.Focused());
}

TEST(Accelerators, MarkerRules) {
    EXPECT_TRUE(IsAccel('a', "&Add "));
    EXPECT_TRUE(IsAccel('D', "A&dvise"));
    EXPECT_FALSE(IsAccel('a', "Fish && &Chips"));
    EXPECT_TRUE(IsAccel('c', "Fish && &Chips"));
    EXPECT_EQ(StripAccelChars("Fish && &Chips"), "Fish & Chips");
}

class ButtonTest : public TUiTest {
protected:
    TTestForm form;
    TEdit& edit = form.Place<TEdit>(10, 10, 100, 21);
    TButton& ok = form.Place<TButton>(10, 40, 75, 25);
    TButton& cancel = form.Place<TButton>(90, 40, 75, 25);
    TButton& other = form.Place<TButton>(170, 40, 75, 25);
    std::vector<std::string> log;

    void SetUp() override {
        TUiTest::SetUp();
        ok.SetDefault(true);
        ok.SetModalResult(mrOk);
        cancel.SetCancel(true);
        cancel.SetModalResult(mrCancel);
        other.SetCaption("&Other");
        for (TButton* b : {&ok, &cancel, &other})
            b->OnClick = [this, b](TObject*) {
                log.push_back(b == &ok ? "ok" : b == &cancel ? "cancel" : "other");
                log.push_back("result " + std::to_string(form.Form().ModalResult()));
                form.Form().SetModalResult(mrNone);
            };
    }
};

TEST_F(ButtonTest, EnterAndEscapeReachTheDefaultAndCancelButtons) {
    edit.SetFocus();
    press_key(edit, VK_RETURN);
    press_key(edit, VK_ESCAPE);
    // A focused button takes Enter itself; Space clicks it too.
    other.SetFocus();
    press_key(other, VK_RETURN);
    press_key(other, VK_SPACE);
    EXPECT_EQ(log, (std::vector<std::string>{"ok", "result 1", "cancel", "result 2", "other",
                                             "result 0", "other", "result 0"}));
}

TEST_F(ButtonTest, MouseClicksAcceleratorsAndBmClick) {
    click(ok, 5, 5);
    EXPECT_TRUE(ok.Focused());
    // A press that leaves the button before the release is no click.
    mouse_down(cancel, 5, 5);
    mouse_up(cancel, 200, 5);
    edit.SetFocus();
    press_key(edit, 'O', {ssAlt});
    EXPECT_TRUE(other.Focused());
    SendMessage(cancel.Handle(), BM_CLICK, 0, 0);
    cancel.SetEnabled(false);
    SendMessage(cancel.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"ok", "result 1", "other", "result 0", "cancel",
                                             "result 2"}));
}

TEST_F(ButtonTest, BitButtonKindsBringCaptionResultAndRole) {
    TBitBtn& yes = form.Place<TBitBtn>(10, 80, 75, 25);
    yes.SetKind(bkOK);
    EXPECT_EQ(yes.Caption(), "OK");
    EXPECT_EQ(yes.ModalResult(), mrOk);
    EXPECT_TRUE(yes.Default());
    yes.SetKind(bkCancel);
    EXPECT_EQ(yes.Caption(), "Cancel");
    EXPECT_EQ(yes.ModalResult(), mrCancel);
    EXPECT_FALSE(yes.Default());
    EXPECT_TRUE(yes.Cancel());
    // A caption of one's own stays.
    yes.SetCaption("Leave");
    yes.SetKind(bkYes);
    EXPECT_EQ(yes.Caption(), "Leave");
    EXPECT_EQ(yes.ModalResult(), mrYes);

    TBitBtn& close = form.Place<TBitBtn>(90, 80, 75, 25);
    close.SetKind(bkClose);
    click(close, 5, 5);
    EXPECT_FALSE(form.Form().Visible());
}

class CheckBoxTest : public TUiTest {
protected:
    TTestForm form;
    TCheckBox& box = form.Place<TCheckBox>(10, 10, 97, 17);
    int clicks = 0;

    void SetUp() override {
        TUiTest::SetUp();
        box.OnClick = [this](TObject*) { ++clicks; };
    }
};

TEST_F(CheckBoxTest, ClicksToggleThroughTheStates) {
    click(box, 5, 5);
    EXPECT_EQ(box.State(), cbChecked);
    click(box, 5, 5);
    EXPECT_EQ(box.State(), cbUnchecked);
    box.SetAllowGrayed(true);
    click(box, 5, 5);
    click(box, 5, 5);
    EXPECT_EQ(box.State(), cbGrayed);
    click(box, 5, 5);
    EXPECT_EQ(box.State(), cbUnchecked);
    press_key(box, VK_SPACE);
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(clicks, 6);

    // Released outside the box: no toggle. Disabled: no toggle.
    mouse_down(box, 5, 5);
    mouse_up(box, 300, 5);
    box.SetEnabled(false);
    click(box, 5, 5);
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(clicks, 6);
}

TEST_F(CheckBoxTest, ProgramChangesClickButTheWindowsOwnCheckDoesNot) {
    box.SetChecked(true);
    box.SetChecked(true);
    box.SetState(cbGrayed); // grayed without AllowGrayed: a program may show it
    EXPECT_EQ(clicks, 2);
    SendMessage(box.Handle(), BM_SETCHECK, 0, 0);
    EXPECT_EQ(box.State(), cbUnchecked);
    EXPECT_EQ(SendMessage(box.Handle(), BM_GETCHECK, 0, 0), cbUnchecked);
    SendMessage(box.Handle(), BM_SETCHECK, 2, 0);
    EXPECT_EQ(box.State(), cbGrayed);
    EXPECT_EQ(clicks, 2);
}

TEST_F(CheckBoxTest, PaintingShowsTheStateThroughTheFrameControl) {
    box.SetChecked(true);
    box.Repaint();
    const auto& log = box.Canvas()->FrameControlLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().Type, static_cast<UINT>(DFC_BUTTON));
    EXPECT_TRUE(log.back().State & DFCS_CHECKED);
}

} // namespace
} // namespace orvel
