// The list view in pixels, in its four view styles: large icons above wrapped captions, small
// icons, list columns, and the report with its header of 3-D column buttons; selection, focus,
// state images, the in-place editor, frame and scroll bars, all at the geometry the hit tests
// answer with; and the picture a dragged item shows.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/controls/ViewPaintSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace orvel {

namespace {

constexpr int SortMarkRoom = 14; // header room kept for the sort mark

// Splits a caption into at most maxLines lines that fit width, breaking between words where it
// can; the last line is cut with dots when the rest does not fit.
std::vector<std::string> WrapCaption(const TCanvas& canvas, const std::string& text, int width,
                                     int maxLines) {
    std::vector<std::string> lines;
    std::string rest = text;
    while (!rest.empty() && static_cast<int>(lines.size()) < maxLines - 1) {
        if (canvas.TextWidth(rest) <= width) break;
        // The longest start that ends before a space and fits.
        std::size_t cut = std::string::npos;
        for (std::size_t space = rest.find(' '); space != std::string::npos;
             space = rest.find(' ', space + 1)) {
            if (canvas.TextWidth(rest.substr(0, space)) > width) break;
            cut = space;
        }
        if (cut == std::string::npos) break; // one long word: cut with dots below
        lines.push_back(rest.substr(0, cut));
        rest = rest.substr(cut + 1);
    }
    lines.push_back(FitText(canvas, rest, width));
    return lines;
}

void PaintSortMark(TCanvas& canvas, const TRect& header) {
    // A small triangle pointing up: the items are in ascending order.
    int cx = header.Right - SortMarkRoom / 2 - 2;
    int cy = (header.Top + header.Bottom) / 2;
    for (int row = 0; row < 4; ++row)
        for (int x = cx - row; x <= cx + row; ++x)
            canvas.SetPixel(x, cy - 2 + row, clBtnShadow);
}

} // namespace

class TListViewPainter {
public:
    TListViewPainter(TCustomListView& view, TCanvas& canvas) : FView(view), FCanvas(canvas) {}

    void PaintAll() {
        TCanvasState saved(FCanvas);
        FillSolid(FCanvas, FView.ClientRect(), FView.Color());
        TCustomListView::TLayout layout = FView.Layout();
        int count = FView.FItems->Count();
        // The lines shown and one more, possibly cut.
        int first = FView.FTopLine * layout.PerLine;
        int last = std::min(count, first + (FView.VisibleLines(layout) + 1) * layout.PerLine);
        for (int i = first; i < last; ++i)
            PaintItem(FView.FItems->Item(i));
        if (FView.HeaderExtent() > 0) PaintHeader();
        PaintBorder(FCanvas, FView);
        PaintScrollBars(FCanvas, FView);
    }

    bool PaintDragImage(TBitmap& image, TPoint& hotSpot) {
        TListItem* item = FView.FFocusedItem ? FView.FFocusedItem : FView.Selected();
        if (!item) return false;
        const TCustomImageList* images = Images();
        int imageWidth = images ? images->Width() : 0;
        int imageHeight = images ? images->Height() : 0;
        TCanvas& canvas = *image.Canvas();
        canvas.Font()->Assign(FView.Font());
        int textWidth = canvas.TextWidth(item->Caption()) + 4;
        int height = std::max(imageHeight, TCustomListView::RowHeight);
        image.SetSize(imageWidth + textWidth, height);
        FillSolid(canvas, {0, 0, image.Width(), height}, FView.Color());
        DrawImageCentred(canvas, images, item->ImageIndex(), 0, 0, height);
        PaintTextInRect(canvas, {imageWidth, 0, image.Width(), height}, item->Caption());
        TRect icon = item->DisplayRect(drIcon);
        int top = icon.Top + (icon.Height() - height) / 2;
        hotSpot = {FView.FPressPoint.X - icon.Left, FView.FPressPoint.Y - top};
        return true;
    }

private:
    const TCustomImageList* Images() const {
        return FView.FViewStyle == vsIcon ? FView.FLargeImages : FView.FSmallImages;
    }

    bool ShowsSelection() const { return FView.Focused() || !FView.FHideSelection; }

    // The colours of an item's caption: a background (clNone: none) and the text.
    void CaptionColours(const TListItem* item, TColor& back, TColor& text) const {
        back = clNone;
        text = FView.Font()->Color();
        if (!item->Selected() || !ShowsSelection()) return;
        back = FView.Focused() ? clHighlight : clBtnFace;
        if (FView.Focused()) text = clHighlightText;
    }

    bool HasFocusFrame(const TListItem* item) const {
        return FView.Focused() && item == FView.FFocusedItem && !FView.IsEditing();
    }

    void PaintItem(TListItem* item) {
        if (FView.FViewStyle == vsIcon)
            PaintIconItem(item);
        else
            PaintLineItem(item);
    }

    // Small icons, list and report: the image, the state image and the caption on one line.
    void PaintLineItem(TListItem* item) {
        TRect icon = item->DisplayRect(drIcon);
        TRect label = item->DisplayRect(drLabel);
        DrawImageCentred(FCanvas, FView.FSmallImages, item->ImageIndex(), icon.Left, icon.Top,
                         icon.Bottom);
        int x = label.Left;
        if (FView.FStateImages && item->StateIndex() >= 0) {
            DrawImageCentred(FCanvas, FView.FStateImages, item->StateIndex(), x, label.Top,
                             label.Bottom);
            x += FView.FStateImages->Width();
        }
        int textWidth = FCanvas.TextWidth(item->Caption()) + 4;
        TRect text{x, label.Top, std::min(label.Right, x + textWidth), label.Bottom};
        if (FView.FViewStyle == vsReport) PaintSubItems(item, label);
        if (item == FView.FEditItem && FView.IsEditing()) {
            PaintInplaceEditor(FCanvas, FView.FEditor, text, std::max(label.Right, text.Right));
            return;
        }
        PaintCaptionBox(item, text, {item->Caption()});
    }

    void PaintSubItems(TListItem* item, const TRect& label) {
        TListColumns& columns = *FView.FColumns;
        int left = label.Right;
        for (int c = 1; c < columns.Count(); ++c) {
            TListColumn* column = columns.Items(c);
            TRect cell{left, label.Top, left + column->Width(), label.Bottom};
            left = cell.Right;
            if (c - 1 >= item->SubItems()->Count()) continue;
            FCanvas.Brush()->SetStyle(bsClear);
            FCanvas.Font()->SetColor(FView.Font()->Color());
            PaintTextInRect(FCanvas, cell, item->SubItems()->Get(c - 1), column->Alignment(), 6);
        }
    }

    // Large icons: the icon centred at the top of the cell, the caption wrapped below it.
    void PaintIconItem(TListItem* item) {
        TRect icon = item->DisplayRect(drIcon);
        TRect label = item->DisplayRect(drLabel);
        if (FView.FLargeImages)
            FView.FLargeImages->Draw(&FCanvas, icon.Left, icon.Top, item->ImageIndex());
        if (FView.FStateImages && item->StateIndex() >= 0)
            FView.FStateImages->Draw(&FCanvas, icon.Left - FView.FStateImages->Width(),
                                     icon.Bottom - FView.FStateImages->Height(),
                                     item->StateIndex());
        int room = label.Width() - 6;
        int maxLines = FView.FIconOptions->WrapText() ? 2 : 1;
        std::vector<std::string> lines = WrapCaption(FCanvas, item->Caption(), room, maxLines);
        int lineHeight = FCanvas.TextHeight("Ag");
        int widest = 0;
        for (const std::string& line : lines)
            widest = std::max(widest, FCanvas.TextWidth(line));
        int width = widest + 4;
        int left = label.Left + (label.Width() - width) / 2;
        TRect text{left, label.Top + 1, left + width,
                   std::min(label.Bottom, label.Top + 3 + lineHeight * int(lines.size()))};
        if (item == FView.FEditItem && FView.IsEditing()) {
            TRect box{label.Left + 1, text.Top, label.Right - 1, text.Top + lineHeight + 4};
            PaintInplaceEditor(FCanvas, FView.FEditor, box, FView.ClientWidth());
            return;
        }
        PaintCaptionBox(item, text, lines);
    }

    // The caption lines centred in r (one line: left-aligned), on the selection colour when the
    // item is selected, with the focus frame around them when it has the focus.
    void PaintCaptionBox(TListItem* item, const TRect& r, const std::vector<std::string>& lines) {
        TColor back, text;
        CaptionColours(item, back, text);
        if (back != clNone) FillSolid(FCanvas, r, back);
        FCanvas.Brush()->SetStyle(bsClear);
        FCanvas.Font()->SetColor(text);
        if (lines.size() == 1 && FView.FViewStyle != vsIcon) {
            PaintTextInRect(FCanvas, r, lines.front());
        } else {
            int lineHeight = FCanvas.TextHeight("Ag");
            int y = r.Top + 1;
            for (const std::string& line : lines) {
                int x = r.Left + (r.Width() - FCanvas.TextWidth(line)) / 2;
                FCanvas.TextRect(r, x, y, line);
                y += lineHeight;
            }
        }
        if (HasFocusFrame(item)) PaintFocusRect(FCanvas, r);
    }

    void PaintHeader() {
        TListColumns& columns = *FView.FColumns;
        int left = 0;
        int width = FView.ClientWidth();
        bool sorted = FView.FSortType == stText || FView.FSortType == stBoth;
        for (int c = 0; c < columns.Count(); ++c) {
            TListColumn* column = columns.Items(c);
            TRect r{left, 0, left + column->Width(), TCustomListView::HeaderHeight};
            left = r.Right;
            if (r.IsEmpty()) continue;
            PaintHeaderButton(r);
            TRect caption = r;
            // The items are sorted by their captions: the first column shows the order.
            bool mark = sorted && c == 0 && r.Width() > 2 * SortMarkRoom;
            if (mark) caption.Right -= SortMarkRoom;
            FCanvas.Brush()->SetStyle(bsClear);
            FCanvas.Font()->SetColor(clBtnText);
            PaintTextInRect(FCanvas, caption, column->Caption(), column->Alignment(), 6);
            if (mark) PaintSortMark(FCanvas, r);
        }
        // The rest of the header is an empty button.
        if (left < width) PaintHeaderButton({left, 0, width, TCustomListView::HeaderHeight});
    }

    void PaintHeaderButton(const TRect& r) {
        FillSolid(FCanvas, r, clBtnFace);
        PaintEdge(FCanvas, r, false);
    }

    TCustomListView& FView;
    TCanvas& FCanvas;
};

void TCustomListView::Paint() {
    TListViewPainter(*this, *Canvas()).PaintAll();
}

bool TCustomListView::GetDragImage(TBitmap& image, TPoint& hotSpot) {
    return TListViewPainter(*this, *image.Canvas()).PaintDragImage(image, hotSpot);
}

} // namespace orvel
