// Combo boxes through the user driver: dropping the list down and choosing from it, keys,
// typing into the edit box, programs' selections, the notifications a descendant may swallow,
// the combo-box messages and the child windows.
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

class ComboBoxTest : public TUiTest {
protected:
    TTestForm form;
    TComboBox& combo = form.Place<TComboBox>(20, 20, 145, 24);
    std::vector<std::string> log;

    void SetUp() override {
        TUiTest::SetUp();
        combo.Items()->AddObject("Open", IntToObject(1));
        combo.Items()->AddObject("Closed", IntToObject(5));
        combo.Items()->AddObject("Also five", IntToObject(5));
        combo.OnChange = [this](TObject*) { log.push_back("change " + combo.Text()); };
        combo.OnClick = [this](TObject*) { log.push_back("click " + combo.Text()); };
        combo.OnDropDown = [this](TObject*) { log.push_back("dropdown"); };
        combo.OnCloseUp = [this](TObject*) { log.push_back("closeup"); };
    }
    TPoint ButtonPoint() { return center_of(combo.ButtonRect()); }
};

TEST_F(ComboBoxTest, ChoosingFromTheDroppedListSelectsAndNotifies) {
    click(combo, ButtonPoint());
    ASSERT_TRUE(combo.DroppedDown());
    EXPECT_TRUE(combo.Focused());
    TComboBoxList* list = combo.ListBox();
    EXPECT_TRUE(list->Visible());
    TRect screen;
    GetWindowRect(list->Handle(), screen);
    EXPECT_EQ(screen.Top, combo.ClientToScreen({0, 0}).Y - 2 + combo.Height());
    EXPECT_EQ(screen.Height(), 3 * combo.ItemHeight() + 2);

    click(*list, center_of(list->ItemRect(1)));
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_FALSE(list->Visible());
    EXPECT_EQ(combo.ItemIndex(), 1);
    EXPECT_EQ(combo.Text(), "Closed");
    EXPECT_EQ(combo.EditBox()->Text(), "Closed");
    EXPECT_TRUE(combo.Focused());
    EXPECT_EQ(log,
              (std::vector<std::string>{"dropdown", "closeup", "click Closed", "change Closed"}));
}

TEST_F(ComboBoxTest, KeysSelectAndOpen) {
    combo.SetFocus();
    press_key(combo, VK_DOWN);
    press_key(combo, VK_DOWN);
    EXPECT_EQ(combo.ItemIndex(), 1);
    press_key(combo, VK_DOWN, {ssAlt});
    EXPECT_TRUE(combo.DroppedDown());
    press_key(combo, VK_UP);
    press_key(combo, VK_RETURN); // closes the list; no dialog key
    EXPECT_FALSE(combo.DroppedDown());
    press_key(combo, VK_F4);
    EXPECT_TRUE(combo.DroppedDown());
    // A press elsewhere on the form closes the list.
    TEdit& edit = form.Place<TEdit>(20, 200, 100, 21);
    click(edit, 5, 5);
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(log, (std::vector<std::string>{"click Open", "change Open", "click Closed",
                                             "change Closed", "dropdown", "click Open",
                                             "change Open", "closeup", "dropdown", "closeup"}));
}

TEST_F(ComboBoxTest, TypedTextIsOnlyText) {
    combo.SetItemIndex(0);
    combo.SetFocus();
    combo.SelectAll();
    type_text(combo, "Closed");
    EXPECT_EQ(combo.Text(), "Closed");
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(log.size(), 6u);
    EXPECT_EQ(log.back(), "change Closed");
    press_key(combo, VK_LEFT);
    press_key(combo, VK_BACK);
    EXPECT_EQ(combo.Text(), "Closd");
}

TEST_F(ComboBoxTest, ReadOnlyEditBoxRefusesTyping) {
    combo.SetText("Open");
    combo.SetFocus();
    SendMessage(combo.EditHandle(), EM_SETREADONLY, 1, 0);
    type_text(combo, "xyz");
    press_key(combo, VK_DELETE);
    EXPECT_EQ(combo.Text(), "Open");
    EXPECT_TRUE(log.empty());
    SendMessage(combo.EditHandle(), EM_SETREADONLY, 0, 0);
    press_key(combo, VK_END);
    type_text(combo, "!");
    EXPECT_EQ(combo.Text(), "Open!");
}

TEST_F(ComboBoxTest, ProgramsSelectWithoutNotifications) {
    combo.SetItemIndex(2);
    EXPECT_EQ(combo.Text(), "Also five");
    combo.SetText("Closed"); // the first entry with exactly that text
    EXPECT_EQ(combo.ItemIndex(), 1);
    combo.SetText("nothing like it");
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "nothing like it");
    combo.SetItemIndex(7);
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "");

    combo.SetStyle(csDropDownList);
    EXPECT_EQ(combo.EditHandle(), 0u);
    combo.SetText("Open");
    EXPECT_EQ(combo.ItemIndex(), 0);
    combo.SetText("nothing like it"); // no entry: no text either
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "");
    EXPECT_TRUE(log.empty());
}

TEST_F(ComboBoxTest, SortedEntriesCarryTheirCodes) {
    combo.SetItemIndex(0); // Open
    combo.SetSorted(true);
    EXPECT_EQ(combo.Items()->ToVector(), (std::vector<std::string>{"Also five", "Closed", "Open"}));
    EXPECT_EQ(combo.ItemIndex(), 2);
    EXPECT_EQ(combo.Items()->IndexOfObject(IntToObject(5)), 0);
    combo.Items()->Delete(2);
    EXPECT_EQ(combo.ItemIndex(), -1);
}

TEST_F(ComboBoxTest, ListStylesPickEntriesByTheirFirstLetter) {
    combo.SetStyle(csDropDownList);
    combo.SetFocus();
    type_text(combo, "c");
    EXPECT_EQ(combo.Text(), "Closed");
    type_text(combo, "o");
    EXPECT_EQ(combo.ItemIndex(), 0);
    press_key(combo, VK_END);
    EXPECT_EQ(combo.ItemIndex(), 2);
    // A click anywhere on a list style drops the list.
    click(combo, 5, 5);
    EXPECT_TRUE(combo.DroppedDown());
}

TEST_F(ComboBoxTest, MessagesOfTheComboWindow) {
    HWND h = combo.Handle();
    SendMessage(h, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(combo.Items()->Count(), 0);
    EXPECT_EQ(SendMessage(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Alpha")), 0);
    EXPECT_EQ(SendMessage(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Beta")), 1);
    EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(combo.Text(), "Beta");
    EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 9, 0), CB_ERR);
    EXPECT_EQ(combo.ItemIndex(), -1);
    SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Alpha"));
    EXPECT_EQ(combo.ItemIndex(), 0);
    EXPECT_EQ(SendMessage(h, CB_FINDSTRINGEXACT, 0xFFFF, reinterpret_cast<LPARAM>("beta")), 1);
    SendMessage(h, CB_SHOWDROPDOWN, 1, 0);
    EXPECT_EQ(SendMessage(h, CB_GETDROPPEDSTATE, 0, 0), 1);
    SendMessage(h, CB_SHOWDROPDOWN, 0, 0);
    EXPECT_FALSE(combo.DroppedDown());

    // Redrawing stops while WM_SETREDRAW says so.
    SendMessage(h, WM_SETREDRAW, 0, 0);
    int paints = combo.PaintCount();
    combo.Repaint();
    EXPECT_EQ(combo.PaintCount(), paints);
    SendMessage(h, WM_SETREDRAW, 1, 0);
    combo.Repaint();
    EXPECT_EQ(combo.PaintCount(), paints + 1);
    EXPECT_EQ(log, (std::vector<std::string>{"dropdown", "closeup"}));
}

TEST_F(ComboBoxTest, ChildWindowsFollowTheStyle) {
    HWND edit = combo.EditHandle();
    ASSERT_NE(edit, 0u);
    EXPECT_EQ(GetWindow(combo.Handle(), GW_CHILD), edit); // the list is a pop-up, not a child
    EXPECT_TRUE(combo.ListBox()->IsDetachedWindow());

    combo.SetStyle(csSimple);
    EXPECT_FALSE(Application().IsWindow(edit)); // the window was made again
    ASSERT_NE(combo.EditHandle(), 0u);
    EXPECT_FALSE(combo.ListBox()->IsDetachedWindow());
    EXPECT_TRUE(combo.ListBox()->Visible());
    EXPECT_TRUE(combo.ButtonRect().IsEmpty());
    combo.SetHeight(24 + 3 * 16);
    click(*combo.ListBox(), center_of(combo.ListBox()->ItemRect(2)));
    EXPECT_EQ(combo.Text(), "Also five");
    EXPECT_TRUE(combo.Focused());
}

// A combo that refuses changes the way a data-bound one does when its record cannot be edited:
// it swallows the selection notice and posts itself the closing message, which puts the shown
// entry back.
class TRefusingCombo : public TComboBox {
public:
    using TComboBox::TComboBox;
    bool Allow = false;
    int Kept = 0; // the entry to show when a change is refused
    std::vector<HWND> ChildPresses;

    void WndProc(TMessage& Message) override {
        if (Message.Msg == WM_COMMAND && HiWord(Message.WParam) == CBN_SELCHANGE && !Allow) {
            if (Style() != csSimple) PostMessage(Handle(), CB_SHOWDROPDOWN, 0, 0);
            return;
        }
        if (Message.Msg == CB_SHOWDROPDOWN && Message.WParam == 0 && !Allow) SetItemIndex(Kept);
        TComboBox::WndProc(Message);
    }

protected:
    void ComboWndProc(TMessage& Message, HWND ComboWnd) override {
        if (Message.Msg == WM_LBUTTONDOWN) {
            ChildPresses.push_back(ComboWnd);
            if (!Allow && ComboWnd != EditHandle()) return; // a press in the list is swallowed
        }
        TComboBox::ComboWndProc(Message, ComboWnd);
    }
};

TEST(RefusingComboBox, ARefusedSelectionIsUndoneThroughItsPostedMessage) {
    reset_ui();
    TTestForm form;
    auto& combo = form.Place<TRefusingCombo>(20, 20, 145, 24);
    for (const char* s : {"Open", "Closed"})
        combo.Items()->Add(s);
    int clicks = 0;
    combo.OnClick = [&](TObject*) { ++clicks; };
    combo.SetItemIndex(0);
    combo.SetFocus();

    press_key(combo, VK_DOWN);
    EXPECT_EQ(combo.Text(), "Closed"); // the selection moved, as the user saw
    EXPECT_EQ(clicks, 0);
    run_messages();
    EXPECT_EQ(combo.Text(), "Open");
    EXPECT_EQ(combo.ItemIndex(), 0);

    combo.Allow = true;
    press_key(combo, VK_DOWN);
    run_messages();
    EXPECT_EQ(combo.Text(), "Closed");
    EXPECT_EQ(clicks, 1);
}

TEST(RefusingComboBox, PressesIntoTheSimpleListPassThroughComboWndProc) {
    reset_ui();
    TTestForm form;
    auto& combo = form.Place<TRefusingCombo>(20, 20, 145, 90);
    combo.SetStyle(csSimple);
    for (const char* s : {"Open", "Closed"})
        combo.Items()->Add(s);
    TComboBoxList& list = *combo.ListBox();
    click(list, center_of(list.ItemRect(1)));
    EXPECT_EQ(combo.ItemIndex(), -1);
    click(*combo.EditBox(), 3, 3);
    ASSERT_EQ(combo.ChildPresses.size(), 2u);
    EXPECT_EQ(combo.ChildPresses[0], combo.ListHandle());
    EXPECT_EQ(combo.ChildPresses[1], combo.EditHandle());
    EXPECT_TRUE(combo.Focused());
}

} // namespace
} // namespace orvel
