// The host font: proportional, anti-aliased text drawn with FreeType from a font file that
// fontconfig finds for a family name (DejaVu Sans on a Debian desktop). A face at one pixel
// size and style answers the metrics controls lay out with and keeps each glyph's coverage
// once rendered, so repainting a row costs no rasterising.
#pragma once

#include "orvel/host/controls/Graphics.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvel {

// One rendered glyph: 8-bit coverage rows, placed relative to the pen position on the baseline.
struct THostGlyph {
    int Left = 0; // from the pen position to the first column
    int Top = 0;  // from the baseline up to the first row
    int Width = 0;
    int Height = 0;
    int Advance = 0;               // whole pixels to the next pen position
    std::vector<uint8_t> Coverage; // Width x Height, 0 (none) to 255 (full)
};

class THostFace {
public:
    // The face of a family at a pixel size with a style (fsBold, fsItalic; the others are drawn
    // as lines), or nullptr when no font file can be found or read. Faces live as long as the
    // process and are shared by every canvas.
    static THostFace* Find(const std::string& family, int pixelSize, TFontStyles style);
    ~THostFace();
    THostFace(const THostFace&) = delete;
    THostFace& operator=(const THostFace&) = delete;

    int Ascent() const { return FAscent; }   // pixels above the baseline
    int Descent() const { return FDescent; } // pixels below it
    int LineHeight() const { return FAscent + FDescent; }
    // The glyph of a character; a character the face lacks gets the face's missing-glyph box.
    const THostGlyph& Glyph(char32_t ch);
    // The advance of UTF-8 text, a malformed byte counting as one missing character.
    int TextWidth(const std::string& text);
    // The file the face was read from, for messages and tests.
    const std::string& FileName() const { return FFileName; }

private:
    THostFace() = default;
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    int FAscent = 0;
    int FDescent = 0;
    std::string FFileName;
    std::unordered_map<char32_t, THostGlyph> FGlyphs;
};

// The pixel size of a font size in points on the host's 96-dots-per-inch screen.
int FontPixelSize(int points);

} // namespace orvel
