// The in-memory screen of cells.
#include "apps/explorer/TextScreen.h"

#include <algorithm>

namespace orvel::explorer {

namespace {

// The length of the UTF-8 sequence that starts with byte c (1 for a stray byte).
std::size_t SequenceLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

const TCell kBlank{};

} // namespace

std::vector<std::string> SplitCharacters(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
        bool whole = i + n <= text.size();
        for (std::size_t k = 1; whole && k < n; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole) n = 1;
        unsigned char first = static_cast<unsigned char>(text[i]);
        // Control characters and stray bytes show as '?', so they never reach the terminal.
        if (n == 1 && (first < 0x20 || first >= 0x7F))
            out.emplace_back("?");
        else
            out.emplace_back(text.substr(i, n));
        i += n;
    }
    return out;
}

int TextCells(std::string_view text) {
    return static_cast<int>(SplitCharacters(text).size());
}

std::string FitText(std::string_view text, int cells, bool mark) {
    if (cells <= 0) return {};
    std::vector<std::string> chars = SplitCharacters(text);
    std::string out;
    int count = static_cast<int>(chars.size());
    if (count > cells) {
        int keep = mark ? cells - 1 : cells;
        for (int i = 0; i < keep; ++i)
            out += chars[static_cast<std::size_t>(i)];
        if (mark) out += "…";
        return out;
    }
    for (const std::string& c : chars)
        out += c;
    out.append(static_cast<std::size_t>(cells - count), ' ');
    return out;
}

TTextScreen::TTextScreen(int width, int height) : FWidth(0), FHeight(0) {
    Resize(width, height);
}

void TTextScreen::Resize(int width, int height) {
    FWidth = std::max(1, width);
    FHeight = std::max(1, height);
    FCells.assign(static_cast<std::size_t>(FWidth * FHeight), TCell{});
    HideCursor();
}

void TTextScreen::Clear() {
    std::fill(FCells.begin(), FCells.end(), TCell{});
    HideCursor();
}

const TCell& TTextScreen::At(int x, int y) const {
    if (!Inside(x, y)) return kBlank;
    return FCells[static_cast<std::size_t>(y * FWidth + x)];
}

int TTextScreen::Print(int x, int y, std::string_view text, TCellAttr attr, int maxCells) {
    int written = 0;
    for (const std::string& c : SplitCharacters(text)) {
        if (maxCells >= 0 && written >= maxCells) break;
        if (Inside(x + written, y)) {
            TCell& cell = Cell(x + written, y);
            cell.Glyph = c;
            cell.Attr = attr;
        }
        ++written;
    }
    return written;
}

void TTextScreen::PutGlyph(int x, int y, std::string_view glyph, TCellAttr attr) {
    if (!Inside(x, y)) return;
    TCell& cell = Cell(x, y);
    cell.Glyph = std::string(glyph);
    cell.Attr = attr;
}

void TTextScreen::Fill(const TCellRect& r, TCellAttr attr, std::string_view glyph) {
    for (int y = r.Top; y < r.Bottom(); ++y)
        for (int x = r.Left; x < r.Right(); ++x)
            PutGlyph(x, y, glyph, attr);
}

void TTextScreen::Paint(const TCellRect& r, TCellAttr attr) {
    for (int y = r.Top; y < r.Bottom(); ++y)
        for (int x = r.Left; x < r.Right(); ++x)
            if (Inside(x, y)) Cell(x, y).Attr = attr;
}

// Pieces of a frame: 0 horizontal, 1 vertical, 2..5 corners (top-left, top-right, bottom-left,
// bottom-right).
std::string_view TTextScreen::Line(int piece) const {
    static constexpr std::string_view kUnicode[] = {"─", "│", "┌", "┐", "└", "┘"};
    static constexpr std::string_view kAscii[] = {"-", "|", "+", "+", "+", "+"};
    return FAscii ? kAscii[piece] : kUnicode[piece];
}

void TTextScreen::HLine(int x, int y, int cells, TCellAttr attr) {
    for (int i = 0; i < cells; ++i)
        PutGlyph(x + i, y, Line(0), attr);
}

void TTextScreen::Frame(const TCellRect& r, std::string_view title, TCellAttr attr) {
    if (r.Width < 2 || r.Height < 2) return;
    HLine(r.Left + 1, r.Top, r.Width - 2, attr);
    HLine(r.Left + 1, r.Bottom() - 1, r.Width - 2, attr);
    for (int y = r.Top + 1; y < r.Bottom() - 1; ++y) {
        PutGlyph(r.Left, y, Line(1), attr);
        PutGlyph(r.Right() - 1, y, Line(1), attr);
    }
    PutGlyph(r.Left, r.Top, Line(2), attr);
    PutGlyph(r.Right() - 1, r.Top, Line(3), attr);
    PutGlyph(r.Left, r.Bottom() - 1, Line(4), attr);
    PutGlyph(r.Right() - 1, r.Bottom() - 1, Line(5), attr);
    if (!title.empty() && r.Width > 4) {
        std::string text = FitText(title, std::min(TextCells(title), r.Width - 4));
        Print(r.Left + 1, r.Top, " " + text + " ", attr);
    }
}

std::string TTextScreen::RowText(int y) const {
    std::string line;
    for (int x = 0; x < FWidth; ++x)
        line += At(x, y).Glyph;
    std::size_t end = line.find_last_not_of(' ');
    line.resize(end == std::string::npos ? 0 : end + 1);
    return line;
}

std::string TTextScreen::ToText() const {
    std::string text;
    for (int y = 0; y < FHeight; ++y) {
        text += RowText(y);
        text += '\n';
    }
    return text;
}

} // namespace orvel::explorer
