// The tree view in pixels: rows with their indentation, dotted lines, boxed expand buttons, state
// images and images, captions, the selection or drop target, the focus rectangle and the in-place
// editor, all at the geometry the hit tests answer with; and the picture a dragged node shows.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/controls/ViewPaintSupport.h"

#include <algorithm>
#include <array>

namespace orvel {

namespace {

constexpr int ButtonSize = 9;

TColor LineColor() {
    return clBtnShadow;
}

// A boxed plus or minus centred at (cx, cy).
void DrawExpandButton(TCanvas& canvas, int cx, int cy, bool expanded) {
    TRect box = Bounds(cx - ButtonSize / 2, cy - ButtonSize / 2, ButtonSize, ButtonSize);
    FillSolid(canvas, box, clWindow);
    canvas.Brush()->SetColor(LineColor());
    canvas.FrameRect(box);
    canvas.Pen()->SetColor(clWindowText);
    canvas.MoveTo(cx - 2, cy);
    canvas.LineTo(cx + 3, cy);
    if (expanded) return;
    canvas.MoveTo(cx, cy - 2);
    canvas.LineTo(cx, cy + 3);
}

// The plus and the minus are the same few dozen pixels on every row that shows one: each is
// drawn once for the colours of the moment, and copied onto the rows (a copy is a few row
// writes; drawing is seven fills). Painting happens on the thread that owns the window, so each
// thread keeps its own pictures.
class TExpandButtonPictures {
public:
    const TBitmap& Of(bool expanded) {
        std::array<TColor, 3> colours{ColorToRGB(clWindow), ColorToRGB(LineColor()),
                                      ColorToRGB(clWindowText)};
        if (colours != FColours) Redraw(colours);
        return FPictures[expanded ? 1 : 0];
    }

private:
    void Redraw(const std::array<TColor, 3>& colours) {
        for (int expanded = 0; expanded < 2; ++expanded) {
            TBitmap& picture = FPictures[expanded];
            picture.SetSize(ButtonSize, ButtonSize);
            DrawExpandButton(*picture.Canvas(), ButtonSize / 2, ButtonSize / 2, expanded != 0);
        }
        FColours = colours;
    }

    std::array<TColor, 3> FColours{clNone, clNone, clNone};
    TBitmap FPictures[2];
};

void PaintExpandButton(TCanvas& canvas, int cx, int cy, bool expanded) {
    thread_local TExpandButtonPictures pictures;
    canvas.Draw(cx - ButtonSize / 2, cy - ButtonSize / 2, &pictures.Of(expanded));
}

} // namespace

// Paints the rows of a tree; a friend of the tree so that it uses the very geometry the hit
// tests use.
class TTreeViewPainter {
public:
    TTreeViewPainter(TCustomTreeView& tree, TCanvas& canvas) : FTree(tree), FCanvas(canvas) {}

    void PaintAll() {
        TCanvasState saved(FCanvas);
        TRect client = FTree.ClientRect();
        FillSolid(FCanvas, client, FTree.Color());
        // Each row's images are asked right before the row is painted (the handlers may set
        // them); one row more than fit is painted, the last one possibly cut.
        int rows = FTree.VisibleCount() + 1;
        TTreeNode* node = FTree.TopItem();
        for (int row = 0; node && row < rows; ++row, node = node->GetNextVisible()) {
            FTree.GetImageIndex(node);
            FTree.GetSelectedIndex(node);
            PaintRow(node, row * FTree.FItemHeight);
        }
        PaintBorder(FCanvas, FTree);
        PaintScrollBars(FCanvas, FTree);
    }

    // The node's image and caption on the window colour; the hot spot is the press point
    // relative to the image's left edge.
    bool PaintDragImage(TBitmap& image, TPoint& hotSpot) {
        TTreeNode* node = FTree.Selected();
        if (!node || !node->IsNodeVisible()) return false;
        TCustomImageList* images = FTree.FImages;
        int imageWidth = FTree.ImageWidth(images);
        int labelWidth = FTree.LabelWidth(node);
        int height = FTree.FItemHeight;
        image.SetSize(imageWidth + labelWidth, height);
        TCanvas& canvas = *image.Canvas();
        canvas.Font()->Assign(FTree.Font());
        FillSolid(canvas, {0, 0, image.Width(), height}, FTree.Color());
        if (images) DrawImageCentred(canvas, images, ImageOf(node), 0, 0, height);
        PaintCaption(canvas, node, imageWidth, 0, FTree.Font()->Color());
        // The picture's left edge stands where the node's image (or its label) starts.
        int left = FTree.LabelLeft(node) - imageWidth;
        int top = node->DisplayRect(false).Top;
        hotSpot = {FTree.FPressPoint.X - left, FTree.FPressPoint.Y - top};
        return true;
    }

private:
    int ImageOf(const TTreeNode* node) const {
        return node == FTree.Selected() ? node->SelectedIndex() : node->ImageIndex();
    }

    // The column (0 at the left) of the lines and button of a node at a level; negative for the
    // top level without ShowRoot, which has neither.
    int ColumnOf(int level) const { return level + (FTree.FShowRoot ? 1 : 0) - 1; }

    int ColumnCentre(int column) const { return column * FTree.FIndent + FTree.FIndent / 2; }

    void PaintLines(TTreeNode* node, int level, int top, int middle, int bottom) {
        TColor color = LineColor();
        int column = ColumnOf(level);
        if (column < 0) return;
        int cx = ColumnCentre(column);
        // The node's own branch: up to its previous sibling or parent, across to its content
        // and down to its next sibling.
        bool above = node->GetPrevSibling() || node->Parent();
        DottedVLine(FCanvas, cx, above ? top : middle, node->GetNextSibling() ? bottom : middle + 1,
                    color);
        DottedHLine(FCanvas, cx, (column + 1) * FTree.FIndent, middle, color);
        // Ancestors that have further siblings below pass through this row.
        int ancestorLevel = level - 1;
        for (TTreeNode* p = node->Parent(); p; p = p->Parent(), --ancestorLevel) {
            int c = ColumnOf(ancestorLevel);
            if (c < 0) break;
            if (p->GetNextSibling()) DottedVLine(FCanvas, ColumnCentre(c), top, bottom, color);
        }
    }

    void PaintCaption(TCanvas& canvas, TTreeNode* node, int left, int top, TColor color) {
        int textTop = top + (FTree.FItemHeight - canvas.TextHeight(node->Text())) / 2;
        PlainText(canvas, left + 2, textTop, node->Text(), color);
    }

    void PaintRow(TTreeNode* node, int top) {
        int bottom = top + FTree.FItemHeight;
        int middle = top + FTree.FItemHeight / 2;
        int level = node->Level();
        if (FTree.FShowLines) PaintLines(node, level, top, middle, bottom);
        int column = ColumnOf(level);
        if (FTree.FShowButtons && column >= 0 && node->HasChildren())
            PaintExpandButton(FCanvas, ColumnCentre(column), middle, node->Expanded());

        int x = (column + 1) * FTree.FIndent;
        TCustomImageList* stateImages = FTree.FStateImages;
        if (stateImages && node->StateIndex() >= 0) {
            DrawImageCentred(FCanvas, stateImages, node->StateIndex(), x, top, bottom);
            x += FTree.ImageWidth(stateImages);
        }
        if (FTree.FImages) {
            DrawImageCentred(FCanvas, FTree.FImages, ImageOf(node), x, top, bottom);
            x += FTree.ImageWidth(FTree.FImages);
        }
        TRect label{x, top, x + FTree.LabelWidth(node), bottom};
        if (node == FTree.FEditNode && FTree.IsEditing()) {
            PaintInplaceEditor(FCanvas, FTree.FEditor, label, FTree.ClientWidth());
            return;
        }
        TColor text = FTree.Font()->Color();
        bool focused = FTree.Focused();
        bool highlighted = FTree.FDropTarget
                               ? node == FTree.FDropTarget
                               : node == FTree.FSelected && (focused || !FTree.FHideSelection);
        if (highlighted) {
            bool strong = focused || node == FTree.FDropTarget;
            FillSolid(FCanvas, label, strong ? clHighlight : clBtnFace);
            if (strong) text = clHighlightText;
        }
        PaintCaption(FCanvas, node, label.Left, top, text);
        if (focused && node == FTree.FSelected && !FTree.FDropTarget)
            PaintFocusRect(FCanvas, label);
    }

    TCustomTreeView& FTree;
    TCanvas& FCanvas;
};

void TCustomTreeView::Paint() {
    TTreeViewPainter(*this, *Canvas()).PaintAll();
}

bool TCustomTreeView::GetDragImage(TBitmap& image, TPoint& hotSpot) {
    return TTreeViewPainter(*this, *image.Canvas()).PaintDragImage(image, hotSpot);
}

} // namespace orvel
