// The list view as a person sees it in each view style: items where the hit tests find them,
// images and captions, the header with its column buttons, resizing a column by dragging its
// divider, the selection, the in-place editor, and the picture that follows a dragged item.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ImgList.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

constexpr TColor SmallColor = RGB(70, 120, 210);
constexpr TColor LargeColor = RGB(230, 180, 40);

TImageList* IconList(TComponent* owner, int size, TColor color) {
    auto* list = new TImageList(owner, size, size);
    TBitmap icon(size, size);
    icon.Fill(clFuchsia);
    icon.Canvas()->Brush()->SetColor(color);
    icon.Canvas()->FillRect({1, 1, size - 1, size - 1});
    list->AddMasked(&icon, clFuchsia);
    return list;
}

class ListViewPaintTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        lv = &form->Place<TListView>(10, 10, 300, 200);
        lv->SetViewStyle(vsReport);
        lv->SetSmallImages(IconList(&form->Form(), 16, SmallColor));
        lv->SetLargeImages(IconList(&form->Form(), 32, LargeColor));
        TListColumn* name = lv->Columns()->Add();
        name->SetCaption("Name");
        name->SetWidth(100);
        TListColumn* code = lv->Columns()->Add();
        code->SetCaption("Code");
        code->SetWidth(60);
        code->SetAlignment(taRightJustify);
        for (int i = 0; i < 20; ++i) {
            TListItem* item = lv->Items()->Add();
            item->SetCaption("Item " + std::to_string(i));
            item->SubItems()->Add("C" + std::to_string(i));
        }
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }
    TListItem* ItemAt(int i) const { return lv->Items()->Item(i); }
    const TBitmap& Painted() {
        lv->Repaint();
        return *lv->Canvas()->Bitmap();
    }
    static TColor Plain(TColor c) { return ColorToRGB(c); }
    // Pixels of a rectangle of the painted view that are not the window colour.
    int Ink(const TBitmap& picture, const TRect& r) {
        int ink = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (picture.Pixel(x, y) != Plain(clWindow)) ++ink;
        return ink;
    }

    std::unique_ptr<TTestForm> form;
    TListView* lv = nullptr;
};

TEST_F(ListViewPaintTest, TheReportShowsItsHeaderAndRowsWhereTheHitTestsFindThem) {
    lv->SetFocus();
    lv->SetSelected(ItemAt(2));
    lv->SetItemFocused(ItemAt(2));
    const TBitmap& picture = Painted();
    // The header: two raised buttons as wide as the columns, and an empty one after them.
    EXPECT_EQ(lv->GetColumnAt(50, 10), lv->Columns()->Items(0));
    EXPECT_EQ(picture.Pixel(50, 1), Plain(clBtnHighlight));
    EXPECT_EQ(picture.Pixel(99, 10), Plain(cl3DDkShadow));
    EXPECT_EQ(picture.Pixel(100, 10), Plain(cl3DLight));
    EXPECT_EQ(picture.Pixel(159, 10), Plain(cl3DDkShadow));
    EXPECT_EQ(picture.Pixel(200, 10), Plain(clBtnFace));
    EXPECT_EQ(picture.Pixel(200, TCustomListView::HeaderHeight - 1), Plain(cl3DDkShadow));

    // Every row shown has its small image, its caption and its code where the columns are.
    for (int i = 0; i < lv->VisibleRowCount(); ++i) {
        TRect icon = ItemAt(i)->DisplayRect(drIcon);
        TRect bounds = ItemAt(i)->DisplayRect(drBounds);
        EXPECT_EQ(lv->GetItemAt(icon.Left + 8, icon.Top + 8), ItemAt(i));
        EXPECT_EQ(picture.Pixel(icon.Left + 8, icon.Top + 8), Plain(SmallColor)) << i;
        EXPECT_GT(Ink(picture, {100, bounds.Top, 160, bounds.Bottom}), 10) << i;
        EXPECT_EQ(Ink(picture, {100, bounds.Top, 130, bounds.Bottom}), 0) << i; // right-aligned
        EXPECT_EQ(Ink(picture, {161, bounds.Top, lv->ClientWidth(), bounds.Bottom}), 0) << i;
    }
    // The focused selection: its caption on the highlight.
    TRect label = ItemAt(2)->DisplayRect(drLabel);
    EXPECT_EQ(picture.Pixel(label.Left + 1, label.Top + 2), Plain(clHighlight));
    EXPECT_EQ(picture.Pixel(label.Left + 1, ItemAt(3)->DisplayRect(drLabel).Top + 2),
              Plain(clWindow));

    // Scrolled, the rows shown are the later items.
    lv->Scroll(0, 5 * TCustomListView::RowHeight);
    const TBitmap& scrolled = Painted();
    TRect top = ItemAt(5)->DisplayRect(drIcon);
    EXPECT_EQ(top.Top, TCustomListView::HeaderHeight);
    EXPECT_EQ(scrolled.Pixel(top.Left + 8, top.Top + 8), Plain(SmallColor));
    EXPECT_EQ(scrolled.Pixel(label.Left + 1, label.Top + 2), Plain(clWindow)); // Item 2 gone
}

TEST_F(ListViewPaintTest, DraggingAHeaderDividerResizesTheColumnWithoutAClick) {
    std::vector<std::string> clicked;
    lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->Caption()); };
    TListColumn* name = lv->Columns()->Items(0);
    TListColumn* code = lv->Columns()->Items(1);
    EXPECT_EQ(lv->GetColumnDividerAt(98, 10), 0);
    EXPECT_EQ(lv->GetColumnDividerAt(160, 10), 1);
    EXPECT_EQ(lv->GetColumnDividerAt(130, 10), -1);
    EXPECT_EQ(lv->GetColumnDividerAt(100, 30), -1); // below the header

    mouse_down(*lv, 101, 10);
    EXPECT_EQ(lv->ResizingColumn(), 0);
    mouse_move(*lv, 120, 10);
    EXPECT_EQ(name->Width(), 120);
    mouse_move(*lv, 140, 60); // the mouse may leave the header while it is held
    mouse_up(*lv, 140, 60);
    EXPECT_EQ(name->Width(), 140);
    EXPECT_EQ(code->Width(), 60);
    EXPECT_EQ(lv->ResizingColumn(), -1);
    EXPECT_TRUE(clicked.empty());
    // The header and the rows follow: the Code column now starts at 140.
    const TBitmap& picture = Painted();
    EXPECT_EQ(picture.Pixel(139, 10), Plain(cl3DDkShadow));
    EXPECT_EQ(picture.Pixel(140, 10), Plain(cl3DLight));
    TRect first = ItemAt(0)->DisplayRect(drBounds);
    EXPECT_GT(Ink(picture, {170, first.Top, 200, first.Bottom}), 10);

    // Moving left of the column's own left edge leaves it empty; moving the mouse afterwards
    // changes nothing.
    mouse_down(*lv, 200, 5);
    mouse_up(*lv, 100, 5);
    EXPECT_EQ(code->Width(), 0);
    mouse_move(*lv, 250, 5);
    EXPECT_EQ(code->Width(), 0);
    // A press whose capture is taken away (a cancelled mode) resizes nothing afterwards.
    // (Where an empty column follows, its own divider is the one taken: it can be opened again.)
    mouse_down(*lv, 141, 5);
    ASSERT_EQ(lv->ResizingColumn(), 1);
    lv->SetMouseCapture(false);
    mouse_move(*lv, 190, 5);
    EXPECT_EQ(lv->ResizingColumn(), -1);
    mouse_up(*lv, 190, 5);
    EXPECT_EQ(code->Width(), 0);
    EXPECT_EQ(name->Width(), 140);
    // A plain click on a header still reports its column.
    click(*lv, 50, 10);
    EXPECT_EQ(clicked, (std::vector<std::string>{"Name"}));
    // No header, no divider.
    lv->SetShowColumnHeaders(false);
    EXPECT_EQ(lv->GetColumnDividerAt(140, 10), -1);
}

TEST_F(ListViewPaintTest, LargeIconsStandAboveTheirCaptionsAndOtherStylesBesideThem) {
    lv->Items()->Item(1)->SetCaption("A caption long enough to wrap");
    lv->SetViewStyle(vsIcon);
    lv->SetFocus();
    lv->SetSelected(ItemAt(1));
    const TBitmap& icons = Painted();
    for (int i : {0, 1, 4}) {
        TRect cell = ItemAt(i)->DisplayRect(drBounds);
        TRect icon = ItemAt(i)->DisplayRect(drIcon);
        TRect label = ItemAt(i)->DisplayRect(drLabel);
        EXPECT_EQ(icon.Left - cell.Left, cell.Right - icon.Right) << i; // centred
        EXPECT_EQ(label.Top, icon.Bottom);
        EXPECT_EQ(lv->GetItemAt(icon.Left + 16, icon.Top + 16), ItemAt(i));
        EXPECT_EQ(lv->GetItemAt(label.Left + 30, label.Top + 5), ItemAt(i));
        EXPECT_EQ(icons.Pixel(icon.Left + 16, icon.Top + 16), Plain(LargeColor)) << i;
        EXPECT_GT(Ink(icons, label), 10) << i;
    }
    // The long caption takes two lines on the highlight.
    TRect label = ItemAt(1)->DisplayRect(drLabel);
    int lineHeight = lv->Canvas()->TextHeight("Ag");
    int highlightedRows = 0;
    for (int y = label.Top; y < label.Bottom; ++y)
        if (icons.Pixel(label.Left + label.Width() / 2, y) == Plain(clHighlight) ||
            icons.Pixel(label.Left + 6, y) == Plain(clHighlight))
            ++highlightedRows;
    EXPECT_GE(highlightedRows, 2 * lineHeight);

    for (TViewStyle style : {vsSmallIcon, vsList}) {
        lv->SetViewStyle(style);
        const TBitmap& picture = Painted();
        for (int i : {0, 7, 13}) {
            TRect icon = ItemAt(i)->DisplayRect(drIcon);
            TRect label = ItemAt(i)->DisplayRect(drLabel);
            EXPECT_EQ(lv->GetItemAt(icon.Left + 8, icon.Top + 8), ItemAt(i)) << style;
            EXPECT_EQ(picture.Pixel(icon.Left + 8, icon.Top + 8), Plain(SmallColor))
                << style << " " << i;
            EXPECT_GT(Ink(picture, label), 10) << style << " " << i;
        }
    }
}

TEST_F(ListViewPaintTest, TheEditorAndTheDragPictureStayWithTheirItem) {
    lv->SetFocus();
    lv->SetSelected(ItemAt(3));
    lv->SetItemFocused(ItemAt(3));
    ASSERT_TRUE(ItemAt(3)->EditCaption());
    TRect label = ItemAt(3)->DisplayRect(drLabel);
    const TBitmap& editing = Painted();
    EXPECT_EQ(editing.Pixel(label.Left, label.Top), Plain(clWindowFrame));
    EXPECT_EQ(editing.Pixel(label.Left, label.Bottom - 1), Plain(clWindowFrame));
    EXPECT_EQ(editing.Pixel(label.Left + 4, label.Top + 4), Plain(clHighlight));
    press_key(*lv, VK_ESCAPE);

    // The drag picture: the small image and the caption, held where the button went down.
    TPoint press = center_of(label);
    mouse_down(*lv, press.X, press.Y);
    mouse_up(*lv, press.X, press.Y);
    TBitmap image;
    TPoint hotSpot;
    ASSERT_TRUE(lv->GetDragImage(image, hotSpot));
    TRect icon = ItemAt(3)->DisplayRect(drIcon);
    EXPECT_EQ(hotSpot, (TPoint{press.X - icon.Left, press.Y - icon.Top}));
    EXPECT_EQ(image.Height(), TCustomListView::RowHeight);
    EXPECT_EQ(image.Pixel(8, 8), Plain(SmallColor));
    // Its caption is drawn as the row draws it unselected.
    lv->SetHideSelection(true);
    lv->Items()->Item(0)->SetFocused(true);
    lv->ClearSelection();
    const TBitmap& plain = Painted();
    int differences = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (image.Pixel(x, y) != plain.Pixel(icon.Left + x, icon.Top + y)) ++differences;
    EXPECT_EQ(differences, 0);

    lv->Items()->Clear();
    EXPECT_FALSE(lv->GetDragImage(image, hotSpot));
}

} // namespace
} // namespace orvel
