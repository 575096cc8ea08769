// The built-in fixed-pitch bitmap font that canvases draw text with: one 5-pixel-wide glyph of
// GlyphRows rows per printable ASCII character (rows 0 to 6 above the baseline, 7 and 8 for
// descenders), and a hollow box for every other character.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel {

inline constexpr int GlyphWidth = 5;
inline constexpr int GlyphRows = 9;

// The rows of a character's glyph; bit 4 of a row is its leftmost pixel.
const uint8_t* GlyphOf(char32_t ch);
// The characters (code points) of UTF-8 text; a malformed byte counts as one character.
std::vector<char32_t> DecodeUtf8(const std::string& text);

} // namespace orvel
