// Popup menu boxes in pixels: the layout of a menu's visible items (measured with the canvas's
// font), their painting with check marks, radio bullets, separators, accelerator underlines,
// shortcuts and submenu arrows, and the hit test a front end answers mouse moves with.
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/controls/ViewPaintSupport.h"
#include "orvel/host/core/Messages.h"

#include <algorithm>
#include <string>
#include <vector>

namespace orvel {

namespace {

constexpr int BoxBorder = 2;       // frame and the gap inside it
constexpr int SeparatorHeight = 9; // a separator row, its line in the middle
constexpr int ShortCutGap = 24;    // between the longest caption and the shortcuts
constexpr int ArrowColumn = 16;    // the submenu arrow's column at the right
constexpr int TextPadding = 3;     // above and below a caption

bool IsSeparator(const TMenuItem& item) {
    return item.Caption() == "-";
}

// A caption may carry the text of its shortcut after a tab ("Re&load\tF5"): the part before
// the tab is the caption, the part after it shows in the shortcut column (else the ShortCut's
// own text does).
std::string CaptionText(const TMenuItem& item) {
    const std::string& caption = item.Caption();
    return caption.substr(0, caption.find('\t'));
}

std::string ShortCutText(const TMenuItem& item) {
    const std::string& caption = item.Caption();
    std::size_t tab = caption.find('\t');
    if (tab != std::string::npos) return caption.substr(tab + 1);
    return ShortCutToText(item.ShortCut());
}

std::vector<const TMenuItem*> VisibleItems(const TMenuItem& menu) {
    std::vector<const TMenuItem*> items;
    for (int i = 0; i < menu.Count(); ++i)
        if (menu.Items(i)->Visible()) items.push_back(menu.Items(i));
    return items;
}

// Where each visible item lies in a box whose top-left is at (0, 0), and how wide the box is.
struct TMenuLayout {
    std::vector<const TMenuItem*> Items;
    std::vector<TRect> Rows;
    int ItemHeight = 0;
    int Gutter = 0;       // the check-mark column left of the captions
    int ShortCutLeft = 0; // where the shortcut texts start
    TSize Size;
};

TMenuLayout LayOut(TCanvas& canvas, const TMenuItem& menu) {
    TMenuLayout layout;
    layout.Items = VisibleItems(menu);
    layout.ItemHeight = canvas.TextHeight("Ag") + 2 * TextPadding;
    layout.Gutter = std::max(16, layout.ItemHeight);
    int captions = 0;
    int shortcuts = 0;
    for (const TMenuItem* item : layout.Items) {
        if (IsSeparator(*item)) continue;
        captions = std::max(captions, canvas.TextWidth(StripHotkey(CaptionText(*item))));
        shortcuts = std::max(shortcuts, canvas.TextWidth(ShortCutText(*item)));
    }
    layout.ShortCutLeft = BoxBorder + layout.Gutter + captions + (shortcuts ? ShortCutGap : 0);
    int width = layout.ShortCutLeft + shortcuts + ArrowColumn + BoxBorder;
    int y = BoxBorder;
    for (const TMenuItem* item : layout.Items) {
        int height = IsSeparator(*item) ? SeparatorHeight : layout.ItemHeight;
        layout.Rows.push_back({BoxBorder, y, width - BoxBorder, y + height});
        y += height;
    }
    layout.Size = {width, y + BoxBorder};
    return layout;
}

// The stripped caption and, when it has an accelerator, the byte range of the marked character
// in the stripped text.
struct TCaptionParts {
    std::string Text;
    std::size_t MarkStart = std::string::npos;
    std::size_t MarkLength = 0;
};

std::size_t CodePointLength(const std::string& s, std::size_t at) {
    std::size_t n = 1;
    while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

TCaptionParts SplitCaption(const std::string& caption) {
    TCaptionParts parts;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            parts.Text += caption[i];
            continue;
        }
        if (i + 1 >= caption.size()) break;
        if (caption[i + 1] == '&') {
            parts.Text += '&';
            ++i;
            continue;
        }
        // The first marker names the accelerator; later ones are only removed.
        if (parts.MarkStart == std::string::npos) {
            parts.MarkStart = parts.Text.size();
            parts.MarkLength = CodePointLength(caption, i + 1);
        }
    }
    return parts;
}

void HLine(TCanvas& canvas, int x1, int x2, int y, TColor color) {
    canvas.Pen()->SetColor(color);
    canvas.MoveTo(x1, y);
    canvas.LineTo(x2, y);
}

// A tick, about 7 pixels wide, centred in r.
void PaintCheckMark(TCanvas& canvas, const TRect& r, TColor color) {
    int cx = (r.Left + r.Right) / 2;
    int cy = (r.Top + r.Bottom) / 2;
    for (int i = 0; i < 7; ++i) {
        int x = cx - 3 + i;
        int y = i < 3 ? cy - 1 + i : cy + 1 - (i - 2);
        for (int t = 0; t < 3; ++t)
            canvas.SetPixel(x, y + t, color);
    }
}

// A filled disc of diameter 6 centred in r.
void PaintRadioBullet(TCanvas& canvas, const TRect& r, TColor color) {
    int cx = (r.Left + r.Right) / 2;
    int cy = (r.Top + r.Bottom) / 2;
    static const int halfWidths[] = {1, 2, 3, 3, 2, 1};
    for (int row = 0; row < 6; ++row)
        for (int x = cx - halfWidths[row]; x < cx + halfWidths[row]; ++x)
            canvas.SetPixel(x, cy - 3 + row, color);
}

// A triangle pointing right, 4 pixels wide, centred vertically in r at its right.
void PaintSubmenuArrow(TCanvas& canvas, const TRect& r, TColor color) {
    int left = r.Right - ArrowColumn / 2 - 2;
    int cy = (r.Top + r.Bottom) / 2;
    for (int i = 0; i < 4; ++i)
        for (int y = cy - 3 + i; y <= cy + 3 - i; ++y)
            canvas.SetPixel(left + i, y, color);
}

void PaintCaption(TCanvas& canvas, const std::string& caption, int x, int y, TColor color) {
    TCaptionParts parts = SplitCaption(caption);
    canvas.Font()->SetColor(color);
    canvas.TextOut(x, y, parts.Text);
    if (parts.MarkStart == std::string::npos) return;
    int left = x + canvas.TextWidth(parts.Text.substr(0, parts.MarkStart));
    int width = canvas.TextWidth(parts.Text.substr(parts.MarkStart, parts.MarkLength));
    HLine(canvas, left, left + width, y + canvas.TextHeight(parts.Text) - 1, color);
}

void PaintItem(TCanvas& canvas, const TMenuLayout& layout, int index, bool highlighted) {
    const TMenuItem& item = *layout.Items[static_cast<std::size_t>(index)];
    const TRect& row = layout.Rows[static_cast<std::size_t>(index)];
    if (IsSeparator(item)) {
        int y = (row.Top + row.Bottom) / 2 - 1;
        HLine(canvas, row.Left + 1, row.Right - 1, y, clBtnShadow);
        HLine(canvas, row.Left + 1, row.Right - 1, y + 1, clBtnHighlight);
        return;
    }
    if (highlighted) {
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Brush()->SetColor(clHighlight);
        canvas.FillRect(row);
    }
    TColor text = !item.Enabled() ? (highlighted ? clBtnShadow : clGrayText)
                  : highlighted   ? clHighlightText
                                  : clMenuText;
    TRect gutter{row.Left, row.Top, row.Left + layout.Gutter, row.Bottom};
    if (item.Checked()) {
        if (item.RadioItem())
            PaintRadioBullet(canvas, gutter, text);
        else
            PaintCheckMark(canvas, gutter, text);
    }
    canvas.Brush()->SetStyle(bsClear);
    int textTop = row.Top + TextPadding;
    PaintCaption(canvas, CaptionText(item), gutter.Right, textTop, text);
    std::string shortcut = ShortCutText(item);
    if (!shortcut.empty()) {
        canvas.Font()->SetColor(text);
        canvas.TextOut(layout.ShortCutLeft, textTop, shortcut);
    }
    if (item.Count() > 0) PaintSubmenuArrow(canvas, row, text);
}

std::string KeyName(uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, key);
    if (key >= VK_F1 && key < VK_F1 + 24) return "F" + std::to_string(key - VK_F1 + 1);
    switch (key) {
    case VK_BACK:
        return "BkSp";
    case VK_TAB:
        return "Tab";
    case VK_RETURN:
        return "Enter";
    case VK_ESCAPE:
        return "Esc";
    case VK_SPACE:
        return "Space";
    case VK_PRIOR:
        return "PgUp";
    case VK_NEXT:
        return "PgDn";
    case VK_END:
        return "End";
    case VK_HOME:
        return "Home";
    case VK_LEFT:
        return "Left";
    case VK_UP:
        return "Up";
    case VK_RIGHT:
        return "Right";
    case VK_DOWN:
        return "Down";
    case VK_INSERT:
        return "Ins";
    case VK_DELETE:
        return "Del";
    default:
        return "";
    }
}

} // namespace

std::string ShortCutToText(uint16_t ShortCut) {
    std::string key = KeyName(static_cast<uint8_t>(ShortCut & 0xFF));
    if (key.empty()) return "";
    std::string text;
    if (ShortCut & scCtrl) text += "Ctrl+";
    if (ShortCut & scShift) text += "Shift+";
    if (ShortCut & scAlt) text += "Alt+";
    return text + key;
}

TSize MenuBoxSize(TCanvas& canvas, const TMenuItem& menu) {
    return LayOut(canvas, menu).Size;
}

TRect MenuBoxItemRect(TCanvas& canvas, const TMenuItem& menu, int index) {
    TMenuLayout layout = LayOut(canvas, menu);
    if (index < 0 || index >= static_cast<int>(layout.Rows.size())) return {};
    return layout.Rows[static_cast<std::size_t>(index)];
}

int MenuBoxItemAt(TCanvas& canvas, const TMenuItem& menu, int y) {
    TMenuLayout layout = LayOut(canvas, menu);
    for (std::size_t i = 0; i < layout.Rows.size(); ++i) {
        const TRect& row = layout.Rows[i];
        if (y >= row.Top && y < row.Bottom) return IsSeparator(*layout.Items[i]) ? -1 : int(i);
    }
    return -1;
}

void PaintMenuBox(TCanvas& canvas, const TMenuItem& menu, int x, int y, int highlight) {
    TMenuLayout layout = LayOut(canvas, menu);
    TCanvasState saved(canvas);
    // Everything is laid out from (0, 0): moving the origin places the box.
    TPoint origin = canvas.WindowOrg();
    canvas.SetWindowOrg({origin.X - x, origin.Y - y});
    TRect box{0, 0, layout.Size.cx, layout.Size.cy};
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(clMenu);
    canvas.FillRect(box);
    canvas.Brush()->SetColor(clBtnShadow);
    canvas.FrameRect(box);
    for (int i = 0; i < static_cast<int>(layout.Items.size()); ++i)
        PaintItem(canvas, layout, i, i == highlight);
}

} // namespace orvel
