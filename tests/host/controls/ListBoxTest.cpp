// List boxes through the user driver: selections by mouse and keys, entries with objects,
// scrolling and rows, the list-box messages, and a list shown as a pop-up window at a screen
// position.
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

class ListBoxTest : public TUiTest {
protected:
    TTestForm form;
    TListBox& list = form.Place<TListBox>(10, 10, 120, 100);
    int clicks = 0;

    void SetUp() override {
        TUiTest::SetUp();
        for (const char* s : {"Apple", "Banana", "Cherry", "Date", "Elder", "Fig", "Grape"})
            list.Items()->Add(s);
        list.OnClick = [this](TObject*) { ++clicks; };
    }
};

TEST_F(ListBoxTest, UsersSelectWithMouseAndKeysProgramsWithoutClick) {
    click_item(list, 2);
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_TRUE(list.Focused());
    press_key(list, VK_DOWN);
    EXPECT_EQ(list.ItemIndex(), 3);
    press_key(list, VK_END);
    EXPECT_EQ(list.ItemIndex(), 6);
    press_key(list, VK_DOWN); // already last: nothing changes
    type_text(list, "b");
    EXPECT_EQ(list.ItemIndex(), 1);
    EXPECT_EQ(clicks, 4);

    list.SetItemIndex(5);
    EXPECT_EQ(SendMessage(list.Handle(), LB_SETCURSEL, 0, 0), 0);
    EXPECT_EQ(list.ItemIndex(), 0);
    EXPECT_EQ(clicks, 4);
    EXPECT_THROW(list.SetItemIndex(7), EListError);
    EXPECT_EQ(SendMessage(list.Handle(), LB_SETCURSEL, 7, 0), LB_ERR);
}

TEST_F(ListBoxTest, DraggingWithTheButtonHeldMovesTheSelection) {
    mouse_down(list, 5, list.ItemRect(1).Top + 2);
    mouse_move(list, 5, list.ItemRect(3).Top + 2);
    mouse_up(list, 5, list.ItemRect(3).Top + 2);
    EXPECT_EQ(list.ItemIndex(), 3);
}

TEST_F(ListBoxTest, MultipleSelectionWithCtrlAndShift) {
    list.SetMultiSelect(true);
    EXPECT_EQ(list.ItemIndex(), -1); // no entry has the focus rectangle yet
    click_item(list, 1);
    click_item(list, 3, {ssCtrl});
    EXPECT_EQ(list.SelCount(), 2);
    EXPECT_TRUE(list.Selected(1));
    EXPECT_TRUE(list.Selected(3));
    EXPECT_EQ(list.ItemIndex(), 3);
    click_item(list, 5, {ssShift});
    EXPECT_EQ(list.SelCount(), 3); // 3..5
    EXPECT_FALSE(list.Selected(1));
    click_item(list, 4, {ssCtrl});
    EXPECT_FALSE(list.Selected(4));

    // Marks stay with their entries when others come and go.
    list.Items()->Delete(0);
    list.Items()->Insert(0, "Avocado");
    list.Items()->Insert(0, "Almond");
    EXPECT_TRUE(list.Selected(4));
    EXPECT_TRUE(list.Selected(6));
    EXPECT_EQ(list.Items()->Get(4), "Date");
    list.ClearSelection();
    EXPECT_EQ(list.SelCount(), 0);
    EXPECT_EQ(clicks, 4);
}

TEST_F(ListBoxTest, SortedEntriesKeepTheirObjectsAndTheSelectionFollows) {
    list.Items()->Clear();
    EXPECT_EQ(list.ItemIndex(), -1);
    list.Items()->AddObject("pear", IntToObject(3));
    list.Items()->AddObject("Apple", IntToObject(1));
    list.SetItemIndex(0); // pear
    list.SetSorted(true);
    EXPECT_EQ(list.Items()->Get(1), "pear");
    EXPECT_EQ(list.ItemIndex(), 1);
    list.Items()->AddObject("banana", IntToObject(2));
    EXPECT_EQ(list.Items()->ToVector(), (std::vector<std::string>{"Apple", "banana", "pear"}));
    EXPECT_EQ(ObjectToInt(list.Items()->GetObject(1)), 2);
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_THROW(list.Items()->Insert(0, "zzz"), EStringListError);
    list.Items()->Put(0, "quince"); // a new text moves the entry to its place
    EXPECT_EQ(list.Items()->ToVector(), (std::vector<std::string>{"banana", "pear", "quince"}));
    EXPECT_EQ(ObjectToInt(list.Items()->GetObject(2)), 1);
    EXPECT_EQ(list.ItemIndex(), 1);
    list.Items()->Delete(1);
    EXPECT_EQ(list.ItemIndex(), -1);
}

TEST_F(ListBoxTest, SelectStringSearchesPrefixesWithoutClick) {
    HWND h = list.Handle();
    auto select = [h](WPARAM start, const char* text) {
        return SendMessage(h, LB_SELECTSTRING, start, reinterpret_cast<LPARAM>(text));
    };
    EXPECT_EQ(select(0xFFFF, "ch"), 2);
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_EQ(select(0xFFFF, "GR"), 6);
    EXPECT_EQ(select(6, "a"), 0); // after the last entry the search goes round
    EXPECT_EQ(select(0xFFFF, "x"), LB_ERR);
    EXPECT_EQ(list.ItemIndex(), 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 7);
    SendMessage(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Honeydew"));
    EXPECT_EQ(list.Items()->Count(), 8);
}

TEST_F(ListBoxTest, RowsScrollingAndIntegralHeight) {
    list.SetItemHeight(11);
    list.SetIntegralHeight(true);
    list.SetHeight(5 * 11 + 4 + 7);
    EXPECT_EQ(list.Height(), 5 * 11 + 4); // whole rows within the 2-pixel frame
    EXPECT_EQ(list.VisibleRowCount(), 5);
    // Seven entries in five rows: a scroll bar takes room.
    EXPECT_EQ(list.ClientWidth(), 120 - 4 - GetSystemMetrics(SM_CXVSCROLL));
    press_key(list, VK_END);
    EXPECT_EQ(list.TopIndex(), 2);
    EXPECT_EQ(list.ItemAtPos({3, 0}, true), 2);
    EXPECT_EQ(list.ItemAtPos({3, 4 * 11 + 1}, true), 6);
    list.SetTopIndex(99);
    EXPECT_EQ(list.TopIndex(), 2);
    EXPECT_EQ(list.Canvas()->TextWidth("Banana"), 6 * TextCellWidth);
}

// A list box of the kind a grid's editor drops down: a pop-up window of the screen, with a
// one-pixel frame, no taskbar entry, that saves the pixels under it.
class TPopupList : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomListBox::CreateParams(Params);
        Params.Style |= WS_BORDER;
        Params.ExStyle = WS_EX_TOOLWINDOW;
        Params.WindowClass.style = CS_SAVEBITS;
    }
    void CreateWnd() override {
        TCustomListBox::CreateWnd();
        orvel::SetParent(Handle(), 0);
        DefWindowProc(Handle(), WM_SETFOCUS, 0, 0);
    }
};

TEST(PopupListBox, ShownAtAScreenPositionKeepsItsSizeAndNeverTakesTheFocus) {
    reset_ui();
    TTestForm form;
    TEdit& owner = form.Place<TEdit>(50, 400, 100, 21);
    auto* popup = new TPopupList(&owner);
    popup->SetVisible(false);
    popup->SetParent(&owner);
    popup->Items()->SetText("one\ntwo\nthree\n");
    popup->SetItemHeight(11);
    popup->SetBounds(0, 0, 100, 3 * 11 + 4);
    owner.SetFocus();

    HWND h = popup->Handle();
    EXPECT_TRUE(popup->IsDetachedWindow());
    EXPECT_EQ(GetWindowLong(h, GWL_EXSTYLE), static_cast<int32_t>(WS_EX_TOOLWINDOW));
    EXPECT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_BORDER);
    EXPECT_EQ(GetClassLong(h, GCL_STYLE), static_cast<uint32_t>(CS_SAVEBITS));
    EXPECT_TRUE(popup->ShowsFocus());
    EXPECT_FALSE(popup->Focused());

    // Shown below the owner at a screen position, its size unchanged.
    TPoint p = owner.Parent()->ClientToScreen({owner.Left(), owner.Top()});
    SetWindowPos(h, HWND_TOP, p.X, p.Y + owner.Height(), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    EXPECT_TRUE(popup->Visible());
    EXPECT_EQ(popup->Width(), 100);
    EXPECT_EQ(popup->Height(), 3 * 11 + 4);
    EXPECT_EQ(popup->ClientToScreen({0, 0}), (TPoint{p.X + 2, p.Y + owner.Height() + 2}));
    EXPECT_EQ(TopLevelWindows().back(), popup);

    // A click in it selects without taking the focus from the owner.
    TControl* hit = FindDragTarget(popup->ClientToScreen(center_of(popup->ItemRect(1))), false);
    EXPECT_EQ(hit, popup);
    click_item(*popup, 1);
    EXPECT_EQ(popup->ItemIndex(), 1);
    EXPECT_TRUE(owner.Focused());

    SetWindowPos(h, 0, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    EXPECT_FALSE(popup->Visible());
    EXPECT_EQ(popup->Height(), 3 * 11 + 4);
}

} // namespace
} // namespace orvel
