// The built-in fixed-pitch bitmap font that canvases draw text with: one 5-pixel-wide glyph of
// GlyphRows rows per printable ASCII character (rows 0 to 6 above the baseline, 7 and 8 for
// descenders), and a hollow box for every other character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvel {

inline constexpr int GlyphWidth = 5;
inline constexpr int GlyphRows = 9;

// The rows of a character's glyph; bit 4 of a row is its leftmost pixel.
const uint8_t* GlyphOf(char32_t ch);
// The pixels a glyph sets, row by row, each as row * 8 + column: text at the bitmap font's own
// size is drawn by writing these, without testing each pixel of the cell.
struct TGlyphDots {
    uint8_t Count;
    uint8_t Dots[GlyphRows * GlyphWidth];
};
const TGlyphDots& GlyphDotsOf(char32_t ch);
// The character (code point) of UTF-8 text that starts at byte i, moving i past it; a malformed
// byte counts as one character, U+FFFD. Text is drawn and measured a character at a time, so
// plain ASCII takes no call.
char32_t NextMultiByteCodePoint(const std::string& text, std::size_t& i);
inline char32_t NextCodePoint(const std::string& text, std::size_t& i) {
    auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    return NextMultiByteCodePoint(text, i);
}
// The number of characters of UTF-8 text, counted as NextCodePoint steps through them.
std::size_t CodePointCount(const std::string& text);

} // namespace orvel
