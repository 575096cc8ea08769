// Stored pictures of the tree view, the list view and a popup menu in the real font, each
// rendered offscreen as a desktop window would show it (frame and scroll bars included).
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/controls/Menus.h"
#include "tests/support/driver/Driver.h"
#include "tests/support/pictures/GoldenPicture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvel {
namespace {

using testing::MatchesGolden;

// A folder: a yellow body with a tab; a page: white with a folded corner and text lines. Both
// 16 x 16 with transparent surroundings.
void AddFolder(TImageList& list) {
    TBitmap icon(16, 16);
    icon.Fill(clFuchsia);
    TCanvas& c = *icon.Canvas();
    c.Brush()->SetColor(RGB(200, 150, 30));
    c.FillRect({1, 3, 7, 5});
    c.FillRect({1, 4, 15, 14});
    c.Brush()->SetColor(RGB(250, 210, 90));
    c.FillRect({2, 6, 14, 13});
    list.AddMasked(&icon, clFuchsia);
}

void AddPage(TImageList& list) {
    TBitmap icon(16, 16);
    icon.Fill(clFuchsia);
    TCanvas& c = *icon.Canvas();
    c.Brush()->SetColor(RGB(90, 90, 110));
    c.FillRect({3, 1, 13, 15});
    c.Brush()->SetColor(clWhite);
    c.FillRect({4, 2, 12, 14});
    c.Brush()->SetColor(RGB(120, 150, 200));
    for (int y = 5; y < 13; y += 2)
        c.FillRect({5, y, 11, y + 1});
    list.AddMasked(&icon, clFuchsia);
}

// A large picture: a framed blue screen on a stand, 32 x 32.
void AddScreen(TImageList& list) {
    TBitmap icon(32, 32);
    icon.Fill(clFuchsia);
    TCanvas& c = *icon.Canvas();
    c.Brush()->SetColor(RGB(60, 60, 70));
    c.FillRect({3, 4, 29, 23});
    c.FillRect({12, 23, 20, 27});
    c.FillRect({8, 27, 24, 29});
    c.Brush()->SetColor(RGB(80, 140, 220));
    c.FillRect({5, 6, 27, 21});
    list.AddMasked(&icon, clFuchsia);
}

// The whole control as a window shows it: its own painting through a device context whose
// origin puts the client area inside the frame.
std::unique_ptr<TBitmap> Window(TWinControl& control) {
    auto picture = std::make_unique<TBitmap>(control.Width(), control.Height());
    picture->Fill(clBtnFace);
    TCanvas& canvas = *picture->Canvas();
    canvas.Font()->Assign(control.Font());
    int b = control.BorderWidth();
    canvas.SetWindowOrg({-b, -b});
    control.Perform(WM_PAINT, static_cast<WPARAM>(canvas.Handle()), 0);
    return picture;
}

class ViewPicturesTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        font = std::make_unique<testing::TRealFontScope>();
        form = std::make_unique<TTestForm>();
        small = new TImageList(&form->Form());
        AddFolder(*small);
        AddPage(*small);
        large = new TImageList(&form->Form(), 32, 32);
        AddScreen(*large);
    }
    void TearDown() override {
        form.reset();
        font.reset();
        TUiTest::TearDown();
    }

    // Sales (North with Depot, South), Research (Lab), Branch office; Sales expanded.
    TTreeView& OrganisationTree(int height = 120) {
        tree = &form->Place<TTreeView>(10, 10, 170, height);
        tree->SetImages(small);
        TTreeNodes* items = tree->Items();
        sales = items->Add(nullptr, "Sales");
        north = items->AddChild(sales, "North");
        items->AddChild(north, "Depot");
        south = items->AddChild(sales, "South");
        research = items->Add(nullptr, "Research");
        items->AddChild(research, "Lab");
        items->Add(nullptr, "Branch office");
        for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext()) {
            n->SetImageIndex(n->HasChildren() ? 0 : 1);
            n->SetSelectedIndex(n->ImageIndex());
        }
        sales->Expand(false);
        return *tree;
    }

    TListView& ProductList(TViewStyle style) {
        auto& list = form->Place<TListView>(10, 10, 260, 140);
        list.SetSmallImages(small);
        list.SetLargeImages(large);
        TListColumn* name = list.Columns()->Add();
        name->SetCaption("Name");
        name->SetWidth(110);
        TListColumn* price = list.Columns()->Add();
        price->SetCaption("Price");
        price->SetWidth(70);
        price->SetAlignment(taRightJustify);
        const char* names[] = {"Monitor stand", "Keyboard", "Desk lamp", "Cable tray",
                               "Footrest",      "Headset",  "Webcam"};
        const char* prices[] = {"24.90", "39.00", "18.50", "12.00", "21.75", "59.00", "45.00"};
        for (int i = 0; i < 7; ++i) {
            TListItem* item = list.Items()->Add();
            item->SetCaption(names[i]);
            item->SetImageIndex(0);
            item->SubItems()->Add(prices[i]);
        }
        list.SetViewStyle(style);
        list.SetSortType(stText);
        list.SetFocus();
        list.Items()->Item(2)->SetSelected(true);
        list.Items()->Item(2)->SetFocused(true);
        return list;
    }

    std::unique_ptr<testing::TRealFontScope> font;
    std::unique_ptr<TTestForm> form;
    TImageList* small = nullptr;
    TImageList* large = nullptr;
    TTreeView* tree = nullptr;
    TTreeNode *sales = nullptr, *north = nullptr, *south = nullptr, *research = nullptr;
};

TEST_F(ViewPicturesTest, TreeWithLinesButtonsImagesAndTheFocusedSelection) {
    OrganisationTree().SetFocus();
    tree->SetSelected(south);
    EXPECT_TRUE(MatchesGolden(*Window(*tree), "views/tree-selected"));
}

TEST_F(ViewPicturesTest, TreeDuringADragShowsTheDropTarget) {
    OrganisationTree().SetFocus();
    tree->SetDragMode(dmAutomatic);
    tree->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) {
        accept = true;
    };
    TPoint from = center_of(south->DisplayRect(true));
    TPoint over = center_of(research->DisplayRect(true));
    mouse_down(*tree, from.X, from.Y);
    mouse_move(*tree, from.X, from.Y + 8);
    mouse_move(*tree, over.X, over.Y);
    ASSERT_EQ(tree->DropTarget(), research);
    EXPECT_TRUE(MatchesGolden(*Window(*tree), "views/tree-drop-target"));
    TBitmap dragged;
    TPoint hotSpot;
    ASSERT_TRUE(tree->GetDragImage(dragged, hotSpot));
    EXPECT_TRUE(MatchesGolden(dragged, "views/tree-drag-image"));
    press_key(*tree, VK_ESCAPE);
}

TEST_F(ViewPicturesTest, TreeWithTheInPlaceEditorAndAScrollBar) {
    OrganisationTree(90).SetFocus();
    research->Expand(false);
    ASSERT_TRUE(north->EditText());
    type_caption(*tree, "North-east", TEditEnd::KeepOpen);
    EXPECT_TRUE(MatchesGolden(*Window(*tree), "views/tree-editing"));
}

TEST_F(ViewPicturesTest, ListViewInEachStyle) {
    struct TCase {
        TViewStyle Style;
        const char* Name;
    };
    for (TCase c :
         {TCase{vsReport, "views/list-report"}, TCase{vsIcon, "views/list-icons"},
          TCase{vsSmallIcon, "views/list-small-icons"}, TCase{vsList, "views/list-list"}}) {
        TListView& list = ProductList(c.Style);
        EXPECT_TRUE(MatchesGolden(*Window(list), c.Name));
        list.Free();
    }
}

TEST_F(ViewPicturesTest, PopupMenuWithAHighlightedACheckedItemAndASeparator) {
    TPopupMenu menu(nullptr);
    auto add = [&](const std::string& caption, uint16_t shortcut = 0) {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(caption);
        item->SetShortCut(shortcut);
        menu.Items()->Add(item);
        return item;
    };
    add("&Open", 'O' | scCtrl);
    add("&Rename", VK_F2);
    add("-");
    add("Show &lines")->SetChecked(true);
    TMenuItem* view = add("&View");
    view->Add(new TMenuItem(&menu));
    add("&Delete", VK_DELETE)->SetEnabled(false);
    TCanvas measure(nullptr);
    TSize size = MenuBoxSize(measure, *menu.Items());
    TBitmap picture(size.cx, size.cy);
    PaintMenuBox(*picture.Canvas(), *menu.Items(), 0, 0, 1);
    EXPECT_TRUE(MatchesGolden(picture, "views/popup-menu"));
}

} // namespace
} // namespace orvel
