// The tree view as a person sees it: rows where the hit tests find them, lines and buttons,
// images, the selection with and without the focus, the drop target during a drag, the in-place
// editor on its row, and the picture that follows the mouse while a node is dragged.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ImgList.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

constexpr TColor FolderColor = RGB(230, 180, 40);
constexpr TColor PageColor = RGB(70, 120, 210);
constexpr TColor TickColor = RGB(30, 150, 60);

// Icons of 16 x 16: a folder-like block, a page, a tick for the state image; the corners are
// transparent.
void AddIcon(TImageList& list, TColor color) {
    TBitmap icon(list.Width(), list.Height());
    icon.Fill(clFuchsia);
    icon.Canvas()->Brush()->SetColor(color);
    icon.Canvas()->FillRect({2, 3, list.Width() - 2, list.Height() - 3});
    icon.Canvas()->Brush()->SetColor(clBlack);
    icon.Canvas()->FrameRect({2, 3, list.Width() - 2, list.Height() - 3});
    list.AddMasked(&icon, clFuchsia);
}

class TreeViewPaintTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        tree = &form->Place<TTreeView>(10, 10, 160, 120);
        images = new TImageList(&form->Form());
        AddIcon(*images, FolderColor);
        AddIcon(*images, PageColor);
        states = new TImageList(&form->Form());
        AddIcon(*states, TickColor);
        tree->SetImages(images);
        TTreeNodes* items = tree->Items();
        sales = items->Add(nullptr, "Sales");
        north = items->AddChild(sales, "North");
        south = items->AddChild(sales, "South");
        items->AddChild(north, "Depot");
        research = items->Add(nullptr, "Research");
        items->AddChild(research, "Lab");
        for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext()) {
            n->SetImageIndex(n->HasChildren() ? 0 : 1);
            n->SetSelectedIndex(n->ImageIndex());
        }
        sales->Expand(false);
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }

    const TBitmap& Painted() {
        tree->Repaint();
        return *tree->Canvas()->Bitmap();
    }
    TColor At(int x, int y) { return Painted().Pixel(x, y); }
    static TColor Plain(TColor c) { return ColorToRGB(c); }

    std::unique_ptr<TTestForm> form;
    TTreeView* tree = nullptr;
    TImageList* images = nullptr;
    TImageList* states = nullptr;
    TTreeNode *sales = nullptr, *north = nullptr, *south = nullptr, *research = nullptr;
};

TEST_F(TreeViewPaintTest, RowsPaintWhereTheHitTestsFindTheirParts) {
    tree->SetFocus();
    tree->SetSelected(south);
    const TBitmap& picture = Painted();
    EXPECT_EQ(picture.Width(), tree->ClientWidth());
    EXPECT_EQ(picture.Height(), tree->ClientHeight());

    // The expanded Sales shows a boxed minus where a click toggles it; North a plus.
    TRect salesRow = sales->DisplayRect(false);
    int middle = (salesRow.Top + salesRow.Bottom) / 2;
    int buttonX = tree->Indent() / 2;
    EXPECT_TRUE(tree->GetHitTestInfoAt(buttonX, middle).Contains(htOnButton));
    EXPECT_EQ(picture.Pixel(buttonX, middle), Plain(clWindowText));    // the bar of the minus
    EXPECT_EQ(picture.Pixel(buttonX, middle - 2), Plain(clWindow));    // no vertical stroke
    EXPECT_EQ(picture.Pixel(buttonX - 4, middle), Plain(clBtnShadow)); // the box
    int northMiddle = (north->DisplayRect(false).Top + north->DisplayRect(false).Bottom) / 2;
    int northButton = tree->Indent() + tree->Indent() / 2;
    EXPECT_EQ(picture.Pixel(northButton, northMiddle - 2), Plain(clWindowText)); // the plus

    // The image stands just left of the label, in the colour of its kind.
    for (TTreeNode* n : {sales, north, south, research}) {
        TRect label = n->DisplayRect(true);
        int y = (label.Top + label.Bottom) / 2;
        EXPECT_TRUE(tree->GetHitTestInfoAt(label.Left - 8, y).Contains(htOnIcon));
        EXPECT_EQ(picture.Pixel(label.Left - 8, y),
                  Plain(n->HasChildren() ? FolderColor : PageColor))
            << n->Text();
    }

    // The focused selection is highlighted over its label only, with a focus frame.
    TRect label = south->DisplayRect(true);
    EXPECT_EQ(picture.Pixel(label.Left + 1, label.Top + 2), Plain(clHighlight));
    EXPECT_EQ(picture.Pixel(label.Right - 2, label.Bottom - 3), Plain(clHighlight));
    EXPECT_EQ(picture.Pixel(label.Right + 1, label.Top + 2), Plain(clWindow));
    EXPECT_NE(picture.Pixel(label.Left, label.Top), Plain(clHighlight));

    // Lines: South, the last child of Sales, ends its branch at its middle; Research, a root
    // after Sales, is reached by the line along the roots.
    int southMiddle = (label.Top + label.Bottom) / 2;
    int column1 = tree->Indent() + tree->Indent() / 2;
    bool lineAbove = picture.Pixel(column1, label.Top) == Plain(clBtnShadow) ||
                     picture.Pixel(column1, label.Top + 1) == Plain(clBtnShadow);
    EXPECT_TRUE(lineAbove);
    EXPECT_EQ(picture.Pixel(column1, label.Bottom - 1), Plain(clWindow));
    EXPECT_EQ(picture.Pixel(column1, label.Bottom - 2), Plain(clWindow));
    bool branch = picture.Pixel(column1 + 2, southMiddle) == Plain(clBtnShadow) ||
                  picture.Pixel(column1 + 3, southMiddle) == Plain(clBtnShadow);
    EXPECT_TRUE(branch);
    bool rootLine = picture.Pixel(buttonX, label.Top + 1) == Plain(clBtnShadow) ||
                    picture.Pixel(buttonX, label.Top + 2) == Plain(clBtnShadow);
    EXPECT_TRUE(rootLine);

    // Without lines, buttons and root the rows start at the left edge with their images.
    tree->SetShowLines(false);
    tree->SetShowRoot(false);
    const TBitmap& bare = Painted();
    EXPECT_EQ(bare.Pixel(8, middle), Plain(FolderColor));
    EXPECT_EQ(bare.Pixel(column1 - tree->Indent(), southMiddle), Plain(clWindow));
}

TEST_F(TreeViewPaintTest, TheSelectionWithoutTheFocusShowsOnlyWhenNotHidden) {
    tree->SetSelected(north);
    ASSERT_FALSE(tree->Focused());
    TRect label = north->DisplayRect(true);
    TPoint inside{label.Left + 1, label.Top + 2};
    EXPECT_EQ(At(inside.X, inside.Y), Plain(clWindow));
    tree->SetHideSelection(false);
    EXPECT_EQ(At(inside.X, inside.Y), Plain(clBtnFace));
    tree->SetFocus();
    EXPECT_EQ(At(inside.X, inside.Y), Plain(clHighlight));
    // The state image comes first and moves the image and the label right, as the hit test
    // says.
    tree->SetStateImages(states);
    north->SetStateIndex(0);
    TRect moved = north->DisplayRect(true);
    EXPECT_EQ(moved.Left, label.Left + 16);
    int y = (moved.Top + moved.Bottom) / 2;
    EXPECT_TRUE(tree->GetHitTestInfoAt(moved.Left - 24, y).Contains(htOnStateIcon));
    EXPECT_EQ(At(moved.Left - 24, y), Plain(TickColor));
    EXPECT_EQ(At(moved.Left - 8, y), Plain(FolderColor));
    EXPECT_EQ(At(moved.Left + 1, moved.Top + 2), Plain(clHighlight));
}

TEST_F(TreeViewPaintTest, ADragHighlightsTheDropTargetAndCarriesThePictureOfTheNode) {
    tree->SetFocus();
    tree->SetDragMode(dmAutomatic);
    tree->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) {
        accept = true;
    };
    TPoint from = center_of(south->DisplayRect(true));
    TPoint over = center_of(research->DisplayRect(true));
    mouse_down(*tree, from.X, from.Y);
    mouse_move(*tree, from.X, from.Y + 10);
    mouse_move(*tree, over.X, over.Y);
    ASSERT_TRUE(tree->Dragging());
    ASSERT_EQ(tree->DropTarget(), research);

    TRect target = research->DisplayRect(true);
    TRect source = south->DisplayRect(true);
    EXPECT_EQ(At(target.Left + 1, target.Top + 2), Plain(clHighlight));
    EXPECT_EQ(At(source.Left + 1, source.Top + 2), Plain(clWindow));

    // The drag image is the node's image and caption as the row shows them when not selected;
    // the mouse holds it where the button went down.
    TBitmap image;
    TPoint hotSpot;
    ASSERT_TRUE(tree->GetDragImage(image, hotSpot));
    EXPECT_EQ(image.Width(), images->Width() + (source.Right - source.Left));
    EXPECT_EQ(image.Height(), tree->ItemHeight());
    EXPECT_EQ(hotSpot, (TPoint{from.X - (source.Left - images->Width()), from.Y - source.Top}));
    mouse_up(*tree, over.X, over.Y);
    tree->SetSelected(sales); // South painted as an ordinary row
    const TBitmap& picture = Painted();
    int differences = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (image.Pixel(x, y) !=
                picture.Pixel(source.Left - images->Width() + x, source.Top + y))
                ++differences;
    EXPECT_EQ(differences, 0);

    // Without a selection there is nothing to drag.
    tree->Items()->Clear();
    EXPECT_FALSE(tree->GetDragImage(image, hotSpot));
}

TEST_F(TreeViewPaintTest, TheInPlaceEditorSitsOnTheRowOfItsNode) {
    tree->SetFocus();
    ASSERT_TRUE(north->EditText());
    TRect label = north->DisplayRect(true);
    const TBitmap& picture = Painted();
    // A framed box from the label's left edge over the row, the whole text selected.
    EXPECT_EQ(picture.Pixel(label.Left, label.Top), Plain(clWindowFrame));
    EXPECT_EQ(picture.Pixel(label.Left + 5, label.Bottom - 1), Plain(clWindowFrame));
    EXPECT_EQ(picture.Pixel(label.Left + 4, label.Top + 3), Plain(clHighlight));
    EXPECT_NE(picture.Pixel(label.Left + 4, label.Top - 1), Plain(clWindowFrame));
    // Typing replaces the selection: the text is no longer highlighted.
    type_caption(*tree, "Northern region", TEditEnd::KeepOpen);
    const TBitmap& typed = Painted();
    int highlighted = 0;
    for (int x = label.Left; x < tree->ClientWidth(); ++x)
        if (typed.Pixel(x, label.Top + 3) == Plain(clHighlight)) ++highlighted;
    EXPECT_EQ(highlighted, 0);
    // The box grows with the text but stays inside the tree.
    EXPECT_EQ(typed.Pixel(tree->ClientWidth() - 1, label.Top), Plain(clWindowFrame));
    // Escape closes the box: the row shows the selected caption again.
    press_key(*tree, VK_ESCAPE);
    EXPECT_EQ(At(label.Left + 1, label.Top + 2), Plain(clHighlight));
    EXPECT_EQ(At(label.Right + 3, label.Top), Plain(clWindow));
}

// The tree's own surface is kept from one paint to the next and only what was drawn on it is
// written over; whatever happened in between (a resize to smaller and larger, nodes expanded,
// collapsed, scrolled, selected, renamed or deleted), each paint gives the pixels a paint on a
// fresh picture of the same size gives.
TEST_F(TreeViewPaintTest, AKeptSurfaceShowsWhatAFreshPaintShowsAfterEveryChange) {
    std::vector<TTreeNode*> nodes;
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
        nodes.push_back(n);
    for (TTreeNode* n : nodes)
        for (int i = 0; i < 4; ++i)
            tree->Items()->AddChild(n, n->Text() + " part " + std::to_string(i));
    auto expectFresh = [&](const std::string& what) {
        const TBitmap& kept = Painted();
        TBitmap fresh(tree->ClientWidth(), tree->ClientHeight());
        fresh.Canvas()->Font()->Assign(tree->Font());
        tree->Perform(WM_PAINT, reinterpret_cast<WPARAM>(fresh.Canvas()->Handle()), 0);
        EXPECT_TRUE(kept.SamePixels(fresh)) << what;
    };
    tree->SetFocus();
    tree->SetSelected(south);
    expectFresh("first paint");
    tree->SetBounds(10, 10, 90, 60);
    expectFresh("smaller");
    tree->SetBounds(10, 10, 240, 200);
    expectFresh("larger");
    tree->FullExpand();
    expectFresh("all expanded");
    tree->SetTopItem(tree->Items()->GetFirstNode()->GetNext()->GetNext());
    expectFresh("scrolled");
    sales->Collapse(true);
    expectFresh("collapsed");
    research->SetText("Research and development, all of it");
    tree->SetSelected(research);
    expectFresh("renamed and selected");
    tree->SetBounds(10, 10, 160, 120);
    tree->SetShowLines(false);
    expectFresh("back to the first size without lines");
    tree->Items()->Delete(research);
    expectFresh("deleted");
    tree->Items()->Clear();
    expectFresh("emptied");
}

} // namespace
} // namespace orvel
