// Drawing the controls as text.
#include "apps/explorer/Painter.h"

#include "orvel/grid/ExtendedGrid.h"
#include "orvel/host/controls/Graphics.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace orvel::explorer {

namespace {

// The cells the first caret characters (code points) of an edited caption take: where the
// terminal's cursor stands in an in-place editor.
int CaretCells(const std::string& text, int caret) {
    std::size_t end = 0;
    for (int n = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
        if (n++ == caret) break;
    }
    return TextCells(std::string_view(text).substr(0, end));
}

int CellX(int px) {
    return px >= 0 ? px / CellWidth : -((-px + CellWidth - 1) / CellWidth);
}
int CellY(int py) {
    return py >= 0 ? py / CellHeight : -((-py + CellHeight - 1) / CellHeight);
}

// The terminal colour and glyph nearest to a picture colour: greys are circles, colours take a
// shape of their own so that a text dump tells them apart too.
TGlyph GlyphOfColor(TColor color, bool ascii) {
    double r = GetRValue(color) / 255.0, g = GetGValue(color) / 255.0, b = GetBValue(color) / 255.0;
    double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    TGlyph glyph;
    if (hi - lo < 0.2) {
        glyph.Text = ascii ? "o" : "○";
        glyph.Attr.Fore = hi < 0.3 ? ccBlack : ccWhite;
        return glyph;
    }
    double hue;
    if (hi == r)
        hue = 60.0 * std::fmod((g - b) / (hi - lo) + 6.0, 6.0);
    else if (hi == g)
        hue = 60.0 * ((b - r) / (hi - lo) + 2.0);
    else
        hue = 60.0 * ((r - g) / (hi - lo) + 4.0);
    struct TBand {
        double Upto;
        const char* Unicode;
        const char* Ascii;
        TCellColor Color;
    };
    static const TBand bands[] = {
        {15, "✖", "x", ccRed},   {75, "▲", "^", ccYellow}, {160, "●", "*", ccGreen},
        {200, "◇", "%", ccCyan}, {265, "■", "#", ccBlue},  {335, "◆", "&", ccMagenta},
        {361, "✖", "x", ccRed},
    };
    for (const TBand& band : bands)
        if (hue < band.Upto) {
            glyph.Text = ascii ? band.Ascii : band.Unicode;
            glyph.Attr.Fore = band.Color;
            glyph.Attr.Bold = true;
            break;
        }
    return glyph;
}

int NodeRowCount(const TCustomTreeView& tree, const TTreeNode* until, int cap) {
    int n = 0;
    for (const TTreeNode* node = tree.Items()->GetFirstNode(); node && node != until && n < cap;
         node = node->GetNextVisible())
        ++n;
    return n;
}

} // namespace

TCellRect CellsOf(const TControl& control) {
    TPoint origin = control.ClientToScreen({0, 0});
    TRect client = control.ClientRect();
    int left = CellX(origin.X), top = CellY(origin.Y);
    return {left, top, CellX(origin.X + client.Width()) - left,
            CellY(origin.Y + client.Height()) - top};
}

TPoint PixelOfCell(int x, int y) {
    return {x * CellWidth + CellWidth / 2, y * CellHeight + CellHeight / 2};
}

TGlyph ImageGlyph(const TCustomImageList* list, int index, bool ascii) {
    if (!list || index < 0 || index >= list->Count()) return {};
    TBitmap picture;
    if (!list->GetBitmap(index, &picture)) return {};
    // The colour most pixels have, leaving out see-through pixels and the picture's background
    // (the colour of its bottom-left pixel, as the host takes for transparency).
    TColor background = picture.Pixel(0, picture.Height() - 1);
    std::map<TColor, int> counts;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            TColor c = picture.Pixel(x, y);
            if (c == background || list->IsTransparentPixel(index, x, y)) continue;
            ++counts[c];
        }
    if (counts.empty()) return {};
    auto most = std::max_element(counts.begin(), counts.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    return GlyphOfColor(most->first, ascii);
}

int TPainter::Images(const TCustomImageList* list, int index, int x, int y, int cells) {
    if (!list || cells <= 0) return 0;
    TGlyph glyph = ImageGlyph(list, index, FScreen.Ascii());
    FScreen.PutGlyph(x, y, glyph.Text, glyph.Attr);
    for (int i = 1; i < cells; ++i)
        FScreen.PutGlyph(x + i, y, " ", {});
    return cells;
}

void TPainter::ScrollBar(const TCellRect& track, int first, int shown, int total) {
    if (track.Height <= 0 || total <= shown) return;
    FScreen.Fill(track, attr::Dim, FScreen.Ascii() ? ":" : "░");
    int size = std::max(1, track.Height * shown / total);
    int pos = std::min(track.Height - size, track.Height * first / total);
    FScreen.Fill({track.Left, track.Top + pos, track.Width, size}, attr::Frame,
                 FScreen.Ascii() ? "#" : "█");
}

// --- tree ---------------------------------------------------------------------------------

int TPainter::TreeLabelCell(const TCustomTreeView& tree, const TTreeNode& node) {
    TRect label = node.DisplayRect(true);
    return CellX(tree.ClientToScreen({label.Left, 0}).X);
}

void TPainter::Tree(const TCustomTreeView& tree, bool focused, const TTreeMarks& marks) {
    if (!FDrawControls) return;
    TCellRect cells = CellsOf(tree);
    FScreen.Fill(cells, {});
    int rows = tree.VisibleCount() + 1;
    const TTreeNode* top = tree.TopItem();
    const TTreeNode* node = top;
    for (int row = 0; node && row < rows; ++row, node = node->GetNextVisible()) {
        TRect r = node->DisplayRect(false);
        int y = CellY(tree.ClientToScreen({0, (r.Top + r.Bottom) / 2}).Y);
        if (y >= cells.Bottom()) break;
        TreeRow(tree, *node, y, focused, marks);
    }
    // The scroll bar the tree shows takes the columns right of its client area.
    TRect bounds = tree.BoundsRect();
    int barLeft = cells.Right();
    int barWidth =
        CellX(tree.Parent() ? tree.Parent()->ClientToScreen({bounds.Right, 0}).X : bounds.Right) -
        barLeft;
    if (barWidth > 0 && tree.RowCount() > tree.VisibleCount())
        ScrollBar({barLeft, cells.Top, barWidth, cells.Height}, NodeRowCount(tree, top, 1 << 20),
                  tree.VisibleCount(), tree.RowCount());
}

void TPainter::TreeRow(const TCustomTreeView& tree, const TTreeNode& node, int y, bool focused,
                       const TTreeMarks& marks) {
    TCellRect cells = CellsOf(tree);
    bool ascii = FScreen.Ascii();
    int indent = std::max(1, tree.Indent() / CellWidth);
    int level = node.Level() + (tree.ShowRoot() ? 1 : 0);
    int x = cells.Left + level * indent;
    if (tree.ShowButtons() && node.HasChildren() && level > 0) {
        const char* button = node.Expanded() ? (ascii ? "-" : "▾") : (ascii ? "+" : "▸");
        FScreen.Print(x - indent, y, button, attr::Frame);
    }
    if (tree.StateImages() && node.StateIndex() >= 0)
        x += Images(tree.StateImages(), node.StateIndex(), x, y,
                    tree.StateImages()->Width() / CellWidth);
    if (tree.Images()) {
        int index = node.Selected() ? node.SelectedIndex() : node.ImageIndex();
        x += Images(tree.Images(), index, x, y, tree.Images()->Width() / CellWidth);
    }
    int room = cells.Right() - x;
    if (room <= 0) return;
    if (tree.IsEditing() && tree.EditingNode() == &node) {
        std::string text = tree.EditorText();
        int shown = std::min(room - 1, TextCells(text));
        FScreen.Fill({x, y, std::min(room, std::max(shown + 1, 12)), 1}, attr::Editor);
        FScreen.Print(x, y, text.substr(0, text.size()), attr::Editor, room - 1);
        FScreen.SetCursor(x + std::min(room - 1, CaretCells(text, tree.EditorCaret())), y);
        return;
    }
    TCellAttr a = attr::Normal;
    if (node.Selected()) {
        // Only the focused control shows in reverse: a selection kept while another control
        // has the focus is bold and underlined, as the lists show theirs.
        a = focused ? attr::Selected : attr::Bold;
        if (!focused) a.Underline = true;
    }
    if (tree.DropTarget() == &node) a = TCellAttr{ccBlack, ccGreen, true};
    std::string caption = node.Text();
    if (&node == marks.PickedUp) caption = (ascii ? "> " : "✂ ") + caption;
    FScreen.Print(x, y, FitText(caption, std::min(room, TextCells(caption))), a);
}

// --- list view ----------------------------------------------------------------------------

void TPainter::List(const TCustomListView& list, bool focused) {
    if (!FDrawControls) return;
    TCellRect cells = CellsOf(list);
    FScreen.Fill(cells, {});
    if (list.ViewStyle() == vsReport)
        ListReport(list, cells, focused);
    else
        ListCells(list, cells, focused);
}

void TPainter::ListReport(const TCustomListView& list, const TCellRect& cells, bool focused) {
    const TListColumns& columns = *list.Columns();
    std::vector<int> lefts;
    int x = cells.Left;
    for (int c = 0; c < columns.Count(); ++c) {
        lefts.push_back(x);
        int width = std::max(1, columns[c]->Width() / CellWidth);
        if (list.ShowColumnHeaders())
            FScreen.Print(x, cells.Top, FitText(columns[c]->Caption(), width - 1) + " ",
                          TCellAttr{ccDefault, ccDefault, true, false, true},
                          std::max(0, cells.Right() - x));
        x += width;
    }
    int total = list.Items()->Count();
    const TListItem* top = list.TopItem();
    int first = top ? top->Index() : 0;
    for (int i = first; i < total; ++i) {
        const TListItem* item = list.Items()->Item(i);
        TRect r = item->DisplayRect(drBounds);
        int y = CellY(list.ClientToScreen({0, (r.Top + r.Bottom) / 2}).Y);
        if (y >= cells.Bottom()) break;
        if (y < cells.Top) continue;
        TCellAttr a = item->Selected() ? (focused ? attr::Selected : attr::Bold) : attr::Normal;
        if (item->Focused() && focused && !item->Selected()) a.Underline = true;
        int col0 = lefts.empty() ? cells.Width
                                 : (columns.Count() > 1 ? lefts[1] : cells.Right()) - cells.Left;
        int ix = cells.Left;
        if (list.SmallImages())
            ix += Images(list.SmallImages(), item->ImageIndex(), ix, y,
                         list.SmallImages()->Width() / CellWidth);
        if (list.StateImages() && item->StateIndex() >= 0)
            ix += Images(list.StateImages(), item->StateIndex(), ix, y,
                         list.StateImages()->Width() / CellWidth);
        int captionCells = std::max(0, cells.Left + col0 - ix - 1);
        if (list.IsEditing() && list.EditingItem() == item) {
            FScreen.Fill({ix, y, std::max(1, captionCells), 1}, attr::Editor);
            FScreen.Print(ix, y, list.EditorText(), attr::Editor, captionCells);
            FScreen.SetCursor(
                std::min(ix + CaretCells(list.EditorText(), list.EditorCaret()), ix + captionCells),
                y);
        } else {
            FScreen.Print(ix, y, FitText(item->Caption(), captionCells), a);
        }
        const TStrings* sub = item->SubItems();
        for (int c = 1; c < static_cast<int>(lefts.size()); ++c) {
            int width = std::max(1, columns[c]->Width() / CellWidth);
            std::string text = sub && c - 1 < sub->Count() ? sub->Get(c - 1) : "";
            FScreen.Print(lefts[static_cast<std::size_t>(c)], y, FitText(text, width - 1) + " ", a,
                          std::max(0, cells.Right() - lefts[static_cast<std::size_t>(c)]));
        }
    }
    int shown = std::max(1, cells.Height - 1);
    TRect bounds = list.BoundsRect();
    int barWidth =
        CellX(list.Parent() ? list.Parent()->ClientToScreen({bounds.Right, 0}).X : bounds.Right) -
        cells.Right();
    if (barWidth > 0)
        ScrollBar({cells.Right(), cells.Top + 1, barWidth, cells.Height - 1}, first, shown, total);
}

namespace {

// A caption in at most two lines of at most cells cells, broken between words where it can be;
// what does not fit is cut with a mark.
std::vector<std::string> WrapCaption(const std::string& caption, int cells) {
    std::vector<std::string> lines;
    if (cells <= 0) return lines;
    std::string rest = caption;
    while (!rest.empty() && lines.size() < 2) {
        if (TextCells(rest) <= cells || lines.size() == 1) {
            lines.push_back(FitText(rest, std::min(cells, TextCells(rest))));
            break;
        }
        // The last blank within the first cells characters ends the first line.
        std::vector<std::string> chars = SplitCharacters(rest);
        std::size_t cut = 0, bytes = 0, breakAt = 0, breakBytes = 0;
        for (; cut < chars.size() && static_cast<int>(cut) < cells; ++cut) {
            if (chars[cut] == " ") {
                breakAt = cut;
                breakBytes = bytes;
            }
            bytes += chars[cut].size();
        }
        if (cut < chars.size() && chars[cut] == " ") {
            breakAt = cut;
            breakBytes = bytes;
        }
        if (breakAt == 0) breakBytes = bytes; // one long word: broken where the line ends
        lines.push_back(rest.substr(0, breakBytes));
        rest = rest.substr(breakBytes);
        while (!rest.empty() && rest.front() == ' ')
            rest.erase(0, 1);
    }
    return lines;
}

} // namespace

void TPainter::ListCells(const TCustomListView& list, const TCellRect& cells, bool focused) {
    bool icons = list.ViewStyle() == vsIcon;
    // Large icons fall back on the small pictures: one glyph stands for either.
    const TCustomImageList* images =
        icons && list.LargeImages() ? list.LargeImages() : list.SmallImages();
    int total = list.Items()->Count();
    const TListItem* top = list.TopItem();
    for (int i = top ? top->Index() : 0; i < total; ++i) {
        const TListItem* item = list.Items()->Item(i);
        TRect r = item->DisplayRect(drBounds);
        TPoint tl = list.ClientToScreen({r.Left, r.Top});
        TPoint br = list.ClientToScreen({r.Right, r.Bottom});
        TCellRect c{CellX(tl.X), CellY(tl.Y), CellX(br.X) - CellX(tl.X), CellY(br.Y) - CellY(tl.Y)};
        if (c.Top >= cells.Bottom() || c.Left >= cells.Right()) {
            if (c.Top >= cells.Bottom()) break;
            continue;
        }
        int y = c.Top + std::max(0, c.Height / 2 - (icons ? 1 : 0));
        int width = std::min(c.Width, cells.Right() - c.Left);
        TCellAttr a = item->Selected() ? (focused ? attr::Selected : attr::Bold) : attr::Normal;
        int x = c.Left;
        if (icons) {
            // The status glyph and the picture, centred above the caption.
            int glyphs = (images ? 1 : 0) + (list.StateImages() && item->StateIndex() >= 0);
            int gx = c.Left + std::max(0, (width - 2 * glyphs + 1) / 2);
            if (list.StateImages() && item->StateIndex() >= 0) {
                TGlyph state = ImageGlyph(list.StateImages(), item->StateIndex(), FScreen.Ascii());
                FScreen.PutGlyph(gx, y, state.Text, state.Attr);
                gx += 2;
            }
            if (images) {
                TGlyph glyph = ImageGlyph(images, item->ImageIndex(), FScreen.Ascii());
                FScreen.PutGlyph(gx, y, glyph.Text, glyph.Attr);
            }
            ++y;
        } else if (images) {
            TGlyph glyph = ImageGlyph(images, item->ImageIndex(), FScreen.Ascii());
            FScreen.PutGlyph(x, y, glyph.Text, glyph.Attr);
            x += 2;
        }
        if (y >= cells.Bottom()) continue;
        int room = std::max(0, width - (x - c.Left) - 1);
        if (list.IsEditing() && list.EditingItem() == item) {
            FScreen.Print(x, y, FitText(list.EditorText(), std::max(1, room)), attr::Editor);
            FScreen.SetCursor(x + std::min(room, CaretCells(list.EditorText(), list.EditorCaret())),
                              y);
            continue;
        }
        if (!icons) {
            FScreen.Print(x, y,
                          FitText(item->Caption(), std::min(room, TextCells(item->Caption()))), a);
            continue;
        }
        // Under a large icon the caption takes two lines where it needs them.
        std::vector<std::string> lines = WrapCaption(item->Caption(), room);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            int line = y + static_cast<int>(k);
            if (line >= cells.Bottom() || line >= c.Bottom()) break;
            FScreen.Print(c.Left + std::max(0, (width - TextCells(lines[k])) / 2), line, lines[k],
                          a);
        }
    }
}

// --- standard controls --------------------------------------------------------------------

void TPainter::Control(const TControl& control, const TControl* focused) {
    if (!FDrawControls) return;
    if (!control.Visible()) return;
    bool has = &control == focused;
    if (auto* tree = dynamic_cast<const TCustomTreeView*>(&control)) {
        Tree(*tree, has);
    } else if (auto* list = dynamic_cast<const TCustomListView*>(&control)) {
        List(*list, has);
    } else if (auto* combo = dynamic_cast<const TCustomComboBox*>(&control)) {
        Combo(*combo, has);
        return; // its edit box and list are drawn as part of it
    } else if (auto* box = dynamic_cast<const TCustomCheckBox*>(&control)) {
        CheckBox(*box, has);
    } else if (auto* button = dynamic_cast<const TButton*>(&control)) {
        Button(*button, has);
    } else if (auto* edit = dynamic_cast<const TCustomEdit*>(&control)) {
        Edit(*edit, has);
    } else if (auto* listBox = dynamic_cast<const TCustomListBox*>(&control)) {
        ListBox(*listBox, has);
    } else if (auto* grid = dynamic_cast<const TCustomGrid*>(&control)) {
        Grid(*grid, has || (grid->InplaceEditor() && focused == grid->InplaceEditor()));
        PickList(*grid);
        return; // the in-place editor is drawn by Grid
    } else if (dynamic_cast<const TCustomLabel*>(&control)) {
        // A label's width is measured in the control's font, narrower than text cells: its
        // caption may run on to the edge of its parent rather than be cut.
        TCellRect c = CellsOf(control);
        int room = c.Width;
        if (const TWinControl* parent = control.Parent())
            room = std::max(room, CellsOf(*parent).Right() - c.Left);
        FScreen.Print(c.Left, c.Top, StripHotkey(control.Caption()), {}, room);
    } else if (dynamic_cast<const TCustomForm*>(&control) ||
               dynamic_cast<const TCustomGroupBox*>(&control) ||
               dynamic_cast<const TCustomPanel*>(&control)) {
        TPoint tl = control.ClientToScreen({0, 0});
        TCellRect c{CellX(tl.X), CellY(tl.Y), CellX(control.Width()), CellY(control.Height())};
        if (dynamic_cast<const TCustomForm*>(&control)) {
            // A dialog's frame lies around its client area, so nothing of it is covered.
            c = {c.Left - 1, c.Top - 1, c.Width + 2, c.Height + 2};
            FScreen.Fill(c, {ccBlack, ccWhite});
        }
        FScreen.Frame(c, StripHotkey(control.Caption()),
                      dynamic_cast<const TCustomForm*>(&control) ? TCellAttr{ccBlack, ccWhite, true}
                                                                 : attr::Frame);
    }
    if (auto* window = dynamic_cast<const TWinControl*>(&control))
        for (int i = 0; i < window->ControlCount(); ++i)
            Control(*window->Controls(i), focused);
}

void TPainter::CheckBox(const TCustomCheckBox& box, bool focused) {
    TCellRect c = CellsOf(box);
    const char* mark = box.State() == cbChecked ? "[x]" : box.State() == cbGrayed ? "[-]" : "[ ]";
    TCellAttr a = focused ? attr::Selected : attr::Normal;
    if (!box.Enabled()) a.Fore = ccBlue;
    FScreen.Print(c.Left, c.Top, std::string(mark) + " " + StripHotkey(box.Caption()), a, c.Width);
}

void TPainter::Button(const TButton& button, bool focused) {
    TCellRect c = CellsOf(button);
    std::string text = "[ " + StripHotkey(button.Caption()) + " ]";
    int x = c.Left + std::max(0, (c.Width - TextCells(text)) / 2);
    FScreen.Print(x, c.Top + c.Height / 2, text,
                  focused ? attr::Selected : TCellAttr{ccBlack, ccWhite, button.Default()},
                  c.Width);
}

void TPainter::Edit(const TCustomEdit& edit, bool focused) {
    TCellRect c = CellsOf(edit);
    std::vector<std::string> chars = SplitCharacters(edit.Text());
    int first = std::clamp(edit.CaretPosition() - c.Width + 1, 0,
                           std::max(0, static_cast<int>(chars.size())));
    std::string shown;
    for (int i = first; i < static_cast<int>(chars.size()) && i - first < c.Width; ++i)
        shown += chars[static_cast<std::size_t>(i)];
    FScreen.Fill({c.Left, c.Top, c.Width, 1}, attr::Editor);
    FScreen.Print(c.Left, c.Top, shown, attr::Editor, c.Width);
    if (focused)
        FScreen.SetCursor(c.Left + std::min(c.Width - 1, edit.CaretPosition() - first), c.Top);
}

void TPainter::PickList(const TCustomGrid& grid) {
    auto* editor = dynamic_cast<const TExtGridInplaceEdit*>(grid.InplaceEditor());
    if (!grid.EditorMode() || !editor || !editor->ListVisible() || !editor->PickList()) return;
    const TCustomListBox& list = *editor->PickList();
    const TStrings& items = *list.Items();
    int count = items.Count();
    if (count == 0) return;
    // The pick list's rows are shorter than a text row: its entries are shown one per text row,
    // below the current cell or above it (see DropRows), the chosen one among them.
    TRect cell = grid.CellRect(grid.Col(), grid.Row());
    int cellY = CellY(grid.ClientToScreen({0, (cell.Top + cell.Bottom) / 2}).Y);
    int wanted = std::min(count, 8);
    TCellRect shown = CellsOf(list);
    TCellRect c = DropRows({shown.Left, cellY, shown.Width, 1}, wanted);
    int first = std::clamp(list.TopIndex(), 0, std::max(0, count - c.Height));
    if (list.ItemIndex() >= 0 && list.ItemIndex() < first) first = list.ItemIndex();
    if (list.ItemIndex() >= first + c.Height) first = list.ItemIndex() - c.Height + 1;
    FScreen.Fill(c, {ccBlack, ccWhite});
    for (int k = 0; k < c.Height && first + k < count; ++k) {
        int i = first + k;
        TCellAttr a =
            list.Selected(i) ? TCellAttr{ccWhite, ccBlue, true} : TCellAttr{ccBlack, ccWhite};
        FScreen.Print(c.Left, c.Top + k, FitText(items[i], c.Width), a);
    }
}

void TPainter::ListBox(const TCustomListBox& box, bool focused) {
    TCellRect c = CellsOf(box);
    FScreen.Fill(c, {});
    const TStrings& items = *box.Items();
    for (int i = box.TopIndex(); i < items.Count(); ++i) {
        TRect r = box.ItemRect(i);
        int y = CellY(box.ClientToScreen({0, (r.Top + r.Bottom) / 2}).Y);
        if (y >= c.Bottom()) break;
        if (y < c.Top) continue;
        TCellAttr a = box.Selected(i) ? (focused ? attr::Selected : attr::Bold) : attr::Normal;
        FScreen.Print(c.Left, y, FitText(items[i], c.Width), a);
    }
}

void TPainter::Combo(const TCustomComboBox& combo, bool focused) {
    TCellRect c = CellsOf(combo);
    std::string text = combo.Text();
    if (!combo.IsEditStyle() && combo.ItemIndex() >= 0) text = (*combo.Items())[combo.ItemIndex()];
    TRect button = combo.ButtonRect();
    int buttonCells = button.IsEmpty() ? 0 : std::max(1, button.Width() / CellWidth);
    int room = std::max(0, c.Width - buttonCells);
    TCellAttr a = focused ? attr::Selected : attr::Editor;
    FScreen.Print(c.Left, c.Top, FitText(text, room), a);
    if (buttonCells)
        FScreen.Print(c.Right() - buttonCells, c.Top, FScreen.Ascii() ? "v" : "▼",
                      {ccBlack, ccWhite, true});
    if (focused && combo.IsEditStyle())
        if (const TCustomEdit* edit = combo.EditBox())
            FScreen.SetCursor(c.Left + std::min(room - 1, edit->CaretPosition()), c.Top);
    if (combo.DroppedDown()) DroppedList(combo);
}

TCellRect TPainter::DropRows(const TCellRect& control, int wanted) const {
    TCellRect area =
        FDropArea.Width > 0 ? FDropArea : TCellRect{0, 0, FScreen.Width(), FScreen.Height()};
    TCellRect c{control.Left, control.Bottom(), std::min(control.Width, area.Width), wanted};
    c.Left = std::clamp(c.Left, area.Left, std::max(area.Left, area.Right() - c.Width));
    int below = area.Bottom() - control.Bottom(), above = control.Top - area.Top;
    if (wanted <= below || below >= above) {
        c.Height = std::max(1, std::min(wanted, below));
    } else {
        c.Height = std::min(wanted, above);
        c.Top = control.Top - c.Height;
    }
    return c;
}

void TPainter::DroppedList(const TCustomComboBox& combo) {
    const TComboBoxList* list = combo.ListBox();
    if (!list) return;
    // The list's rows are shorter than a text row: the entries it holds are shown one per text
    // row from its first shown entry, below the combo, or above it where the screen ends.
    TCellRect box = CellsOf(combo);
    const TStrings& items = *combo.Items();
    int count = items.Count();
    int rows = std::clamp(combo.DropDownCount(), 1, std::max(1, count));
    // The window of entries shown holds the chosen one.
    int first = std::clamp(list->TopIndex(), 0, std::max(0, count - rows));
    if (combo.ItemIndex() >= 0 && combo.ItemIndex() < first) first = combo.ItemIndex();
    if (combo.ItemIndex() >= first + rows) first = combo.ItemIndex() - rows + 1;
    rows = std::min(rows, count - first);
    TCellRect c = DropRows(box, rows);
    rows = c.Height;
    if (combo.ItemIndex() >= first + rows) first = combo.ItemIndex() - rows + 1;
    FScreen.Fill(c, {ccBlack, ccWhite});
    for (int k = 0; k < c.Height; ++k) {
        int i = first + k;
        TCellAttr a =
            i == combo.ItemIndex() ? TCellAttr{ccWhite, ccBlue, true} : TCellAttr{ccBlack, ccWhite};
        FScreen.Print(c.Left, c.Top + k, FitText(items[i], c.Width), a);
    }
}

void TPainter::Grid(const TCustomGrid& grid, bool focused) {
    TCellRect c = CellsOf(grid);
    FScreen.Fill(c, {});
    auto* strings = dynamic_cast<const TStringGrid*>(&grid);
    for (int row = 0; row < grid.RowCount(); ++row) {
        if (row >= grid.FixedRows() && row < grid.TopRow()) continue;
        for (int col = 0; col < grid.ColCount(); ++col) {
            if (col >= grid.FixedCols() && col < grid.LeftCol()) continue;
            TRect r = grid.CellRect(col, row);
            if (r.IsEmpty()) continue;
            TPoint tl = grid.ClientToScreen({r.Left, r.Top});
            int x = CellX(tl.X), y = CellY(grid.ClientToScreen({0, (r.Top + r.Bottom) / 2}).Y);
            int width = std::min(std::max(1, r.Width() / CellWidth), c.Right() - x);
            if (y >= c.Bottom() || width <= 0) continue;
            bool fixed = row < grid.FixedRows() || col < grid.FixedCols();
            bool current = row == grid.Row() && col == grid.Col();
            TCellAttr a = fixed     ? TCellAttr{ccDefault, ccDefault, true, false, true}
                          : current ? (focused ? attr::Selected : attr::Bold)
                                    : attr::Normal;
            std::string text = strings ? strings->Cells(col, row) : "";
            auto* ext = current && grid.EditorMode()
                            ? dynamic_cast<const TExtGridInplaceEdit*>(grid.InplaceEditor())
                            : nullptr;
            if (current && grid.EditorMode() && grid.InplaceEditor()) {
                const TInplaceEdit& editor = *grid.InplaceEditor();
                text = editor.Text();
                a = focused ? attr::Editor : attr::Bold;
                if (focused) FScreen.SetCursor(x + std::min(width - 1, editor.CaretPosition()), y);
            }
            FScreen.Print(x, y, FitText(text, std::max(0, width - 1)) + " ", a, width);
            // The values column's drop-down button.
            if (ext && ext->EditStyle() != esSimple)
                FScreen.Print(x + width - 1, y, FScreen.Ascii() ? "v" : "▼",
                              {ccBlack, ccWhite, true});
        }
    }
}

// --- menus --------------------------------------------------------------------------------

TCellRect TPainter::Menu(const TMenuItem& menu, int x, int y, int highlight) {
    std::vector<const TMenuItem*> items;
    int width = 8;
    for (int i = 0; i < menu.Count(); ++i) {
        const TMenuItem* item = menu.Items(i);
        if (!item->Visible()) continue;
        items.push_back(item);
        width = std::max(width, TextCells(StripHotkey(item->Caption())) + 7);
    }
    TCellRect box{x, y, width, static_cast<int>(items.size()) + 2};
    box.Left = std::clamp(box.Left, 0, std::max(0, FScreen.Width() - box.Width));
    box.Top = std::clamp(box.Top, 0, std::max(0, FScreen.Height() - box.Height));
    FScreen.Fill(box, {ccBlack, ccWhite});
    FScreen.Frame(box, "", {ccBlack, ccWhite});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TMenuItem* item = items[i];
        int row = box.Top + 1 + static_cast<int>(i);
        bool sep = item->Caption() == "-";
        TCellAttr a{item->Enabled() ? ccBlack : ccBlue, ccWhite};
        if (static_cast<int>(i) == highlight && !sep) a = {ccWhite, ccBlue, true};
        if (sep) {
            FScreen.HLine(box.Left + 1, row, box.Width - 2, {ccBlack, ccWhite});
            continue;
        }
        std::string mark =
            item->Checked() ? (FScreen.Ascii() ? "*" : (item->RadioItem() ? "•" : "✓")) : " ";
        // A caption may carry its key after a tab: shown right-aligned.
        std::string caption = StripHotkey(item->Caption()), key;
        if (std::size_t tab = caption.find('\t'); tab != std::string::npos) {
            key = caption.substr(tab + 1);
            caption.resize(tab);
        }
        if (item->Count() > 0) key = FScreen.Ascii() ? ">" : "▸";
        bool lit = static_cast<int>(i) == highlight;
        std::string text = (lit ? (FScreen.Ascii() ? ">" : "›") : " ") + mark + " " + caption;
        int room = box.Width - 2;
        text = FitText(text, std::max(0, room - TextCells(key) - 1)) + key + " ";
        FScreen.Print(box.Left + 1, row, FitText(text, room), a);
    }
    return box;
}

} // namespace orvel::explorer
