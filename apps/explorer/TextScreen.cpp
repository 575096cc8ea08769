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

// The code point of one character of SplitCharacters (0 for a stray byte).
char32_t CodePoint(std::string_view c) {
    if (c.empty()) return 0;
    auto byte = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(c[i]));
    };
    std::size_t n = SequenceLength(static_cast<unsigned char>(c[0]));
    if (n > c.size()) return 0;
    switch (n) {
    case 1:
        return byte(0);
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
               (byte(3) & 0x3F);
    }
}

struct TRange {
    char32_t First;
    char32_t Last;
};

// Combining marks, joiners and other characters that take no cell of their own.
constexpr TRange kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A},   {0x064B, 0x065F},   {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8},   {0x06EA, 0x06ED},   {0x0711, 0x0711},
    {0x0730, 0x074A}, {0x0900, 0x0902}, {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},
    {0x094D, 0x094D}, {0x0951, 0x0957}, {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},
    {0x1160, 0x11FF}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302D},   {0x3099, 0x309A},   {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0x1F3FB, 0x1F3FF}, {0xE0000, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and full-width characters and the emoji shown wide.
constexpr TRange kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x18AFF},
    {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335},
    {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7},
    {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F93A},
    {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

template <std::size_t N> bool InRanges(const TRange (&ranges)[N], char32_t c) {
    auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                               [](char32_t v, const TRange& r) { return v < r.First; });
    return it != std::begin(ranges) && c <= std::prev(it)->Last;
}

} // namespace

int CharCells(std::string_view character) {
    char32_t c = CodePoint(character);
    if (c < 0x300) return 1;
    if (InRanges(kZeroWidth, c)) return 0;
    return InRanges(kWide, c) ? 2 : 1;
}

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
    int cells = 0;
    for (const std::string& c : SplitCharacters(text))
        cells += CharCells(c);
    return cells;
}

std::string FitText(std::string_view text, int cells, bool mark) {
    if (cells <= 0) return {};
    std::vector<std::string> chars = SplitCharacters(text);
    int total = 0;
    for (const std::string& c : chars)
        total += CharCells(c);
    // What fits: every character when all do, else as many as leave room for the mark; a
    // character's combining marks go with it.
    int room = total <= cells ? cells : (mark ? cells - 1 : cells);
    std::string out;
    int used = 0;
    for (const std::string& c : chars) {
        int w = CharCells(c);
        if (used + w > room) break;
        out += c;
        used += w;
    }
    if (total > cells && mark) {
        out += "…";
        ++used;
    }
    out.append(static_cast<std::size_t>(cells - used), ' ');
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
    int last = -1; // the column of the last character written, where combining marks go
    for (const std::string& c : SplitCharacters(text)) {
        int w = CharCells(c);
        if (w == 0) {
            if (last >= 0 && Inside(last, y)) Cell(last, y).Glyph += c;
            continue;
        }
        if (maxCells >= 0 && written >= maxCells) break;
        int at = x + written;
        // Half a wide character cannot be shown: a blank stands in its first half.
        bool fits = w == 1 || ((maxCells < 0 || written + 2 <= maxCells) && at + 1 < FWidth);
        if (fits)
            Place(at, y, c, w, attr);
        else
            Place(at, y, " ", 1, attr);
        last = at;
        written += fits ? w : 1;
    }
    return written;
}

void TTextScreen::BreakWide(int x, int y) {
    if (!Inside(x, y)) return;
    TCell& cell = Cell(x, y);
    if (cell.Glyph.empty()) {
        // The right half of a wide character: its left half goes too.
        if (Inside(x - 1, y)) Cell(x - 1, y).Glyph = " ";
        cell.Glyph = " ";
    } else if (Inside(x + 1, y) && Cell(x + 1, y).Glyph.empty()) {
        Cell(x + 1, y).Glyph = " ";
    }
}

void TTextScreen::Place(int x, int y, std::string_view glyph, int cells, TCellAttr attr) {
    if (!Inside(x, y)) return;
    BreakWide(x, y);
    if (cells == 2) BreakWide(x + 1, y);
    TCell& cell = Cell(x, y);
    cell.Glyph = std::string(glyph);
    cell.Attr = attr;
    if (cells == 2 && Inside(x + 1, y)) {
        TCell& right = Cell(x + 1, y);
        right.Glyph.clear();
        right.Attr = attr;
    }
}

void TTextScreen::PutGlyph(int x, int y, std::string_view glyph, TCellAttr attr) {
    bool wide = CharCells(glyph) == 2;
    if (wide && Inside(x + 1, y))
        Place(x, y, glyph, 2, attr);
    else
        Place(x, y, wide ? " " : glyph, 1, attr); // no room for its second half
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
