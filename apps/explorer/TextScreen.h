// The explorer's in-memory screen: a grid of text cells, each holding one character and its
// colours. Everything the explorer shows is drawn here first; the terminal front end copies the
// cells to the terminal and the non-interactive mode prints them as text, so a dump shows exactly
// what a person would see. One cell stands for 8 x 16 pixels of the headless controls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::explorer {

inline constexpr int CellWidth = 8;   // pixels of a control per text column
inline constexpr int CellHeight = 16; // pixels of a control per text row

// The eight terminal colours, plus the terminal's own default.
enum TCellColor : uint8_t {
    ccDefault,
    ccBlack,
    ccRed,
    ccGreen,
    ccYellow,
    ccBlue,
    ccMagenta,
    ccCyan,
    ccWhite
};

struct TCellAttr {
    TCellColor Fore = ccDefault;
    TCellColor Back = ccDefault;
    bool Bold = false;
    bool Reverse = false;
    bool Underline = false;
    friend bool operator==(const TCellAttr&, const TCellAttr&) = default;
};

// Attributes the screens share.
namespace attr {
inline constexpr TCellAttr Normal{};
inline constexpr TCellAttr Bold{ccDefault, ccDefault, true};
inline constexpr TCellAttr Selected{ccDefault, ccDefault, false, true};
inline constexpr TCellAttr Title{ccWhite, ccBlue, true};
inline constexpr TCellAttr Frame{ccCyan};
inline constexpr TCellAttr FocusFrame{ccYellow, ccDefault, true};
inline constexpr TCellAttr Dim{ccBlue};
inline constexpr TCellAttr Error{ccWhite, ccRed, true};
inline constexpr TCellAttr Status{ccBlack, ccCyan};
inline constexpr TCellAttr Editor{ccBlack, ccYellow};
} // namespace attr

struct TCell {
    // One character, UTF-8, with the combining characters that follow it; empty in the cell
    // that the wide character to its left covers too.
    std::string Glyph = " ";
    TCellAttr Attr;
};

// A rectangle of cells: Left, Top, Width, Height.
struct TCellRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool Contains(int x, int y) const {
        return x >= Left && x < Right() && y >= Top && y < Bottom();
    }
};

// The characters of UTF-8 text, one string per character (a malformed byte is one character).
std::vector<std::string> SplitCharacters(std::string_view text);
// The cells one character of SplitCharacters takes on a terminal: 2 for wide ones (CJK, most
// emoji), 0 for combining and zero-width ones, else 1. The explorer's own table, so a run
// without a terminal (and without a locale) measures as the terminal does.
int CharCells(std::string_view character);
// The number of cells text takes.
int TextCells(std::string_view text);
// Text cut to at most cells cells ("…" marks a cut when mark is set) or padded with blanks.
std::string FitText(std::string_view text, int cells, bool mark = true);

class TTextScreen {
public:
    TTextScreen(int width = 80, int height = 24);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void Resize(int width, int height);
    void Clear();

    // Box drawing with plain ASCII characters instead of line-drawing ones.
    bool Ascii() const { return FAscii; }
    void SetAscii(bool value) { FAscii = value; }

    const TCell& At(int x, int y) const;
    // Writes text from (x, y), a wide character in two cells and a combining one with the
    // character before it, clipped at the screen's edge and, when maxCells is not negative,
    // after maxCells cells (a wide character with room for one half shows as a blank). Answers
    // the cells written.
    int Print(int x, int y, std::string_view text, TCellAttr attr = {}, int maxCells = -1);
    void PutGlyph(int x, int y, std::string_view glyph, TCellAttr attr);
    void Fill(const TCellRect& r, TCellAttr attr, std::string_view glyph = " ");
    // Changes only the attributes of the cells of r.
    void Paint(const TCellRect& r, TCellAttr attr);
    // A frame on the border cells of r with a title in its top edge.
    void Frame(const TCellRect& r, std::string_view title, TCellAttr attr);
    void HLine(int x, int y, int cells, TCellAttr attr);

    // Where the terminal's cursor stands (an in-place editor), or hidden.
    void SetCursor(int x, int y) {
        FCursorX = x;
        FCursorY = y;
    }
    void HideCursor() { FCursorX = FCursorY = -1; }
    int CursorX() const { return FCursorX; }
    int CursorY() const { return FCursorY; }

    // The screen as text: one line per row, trailing blanks removed.
    std::string ToText() const;
    std::string RowText(int y) const;

private:
    TCell& Cell(int x, int y) { return FCells[static_cast<std::size_t>(y * FWidth + x)]; }
    // Writes a character of the given cells (1 or 2) at (x, y), first blanking the other half
    // of a wide character it writes over.
    void Place(int x, int y, std::string_view glyph, int cells, TCellAttr attr);
    void BreakWide(int x, int y);
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < FWidth && y < FHeight; }
    std::string_view Line(int piece) const;

    int FWidth;
    int FHeight;
    bool FAscii = false;
    int FCursorX = -1;
    int FCursorY = -1;
    std::vector<TCell> FCells;
};

} // namespace orvel::explorer
