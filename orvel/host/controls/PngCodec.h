// Pictures as PNG files, read and written with libpng: what people look at (exported image
// lists, screenshots) and the stored pictures the picture tests compare against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel {

// A decoded PNG picture: plain colours 0x00BBGGRR, rows top first, and one alpha byte per pixel
// (0 = see-through, 255 = opaque).
struct TPngImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    std::vector<uint8_t> Alpha;
    bool HasAlpha = false; // the file has an alpha channel or a transparent colour
};

// Whether the bytes begin with the PNG signature.
bool IsPng(const uint8_t* data, size_t size);

// Encodes pixels (plain colours 0x00BBGGRR, rows top first) as a PNG file with 8 bits per
// channel: RGB, or RGBA when alpha (one byte per pixel, 0 = see-through) is given.
// EInvalidGraphic for a width or height below 1.
std::vector<uint8_t> WritePng(int width, int height, const uint32_t* pixels,
                              const uint8_t* alpha = nullptr);

// Decodes a PNG file of any colour type and bit depth. A damaged file, or a picture of more
// pixels than a bitmap may hold, raises EInvalidGraphic.
TPngImage ReadPng(const uint8_t* data, size_t size);

} // namespace orvel
