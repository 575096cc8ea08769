// Reading and writing Windows bitmap file images (the host bitmap's stream form). The reader
// accepts 1, 4, 8, 16, 24 and 32 bits per pixel, bottom-up and top-down rows, uncompressed,
// bit-field and run-length (8 and 4 bits) pixels, and every header version in use. Anything
// damaged raises EInvalidGraphic without reading outside the given bytes or allocating more
// than the picture can hold.
#pragma once

#include "orvel/host/controls/Graphics.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel {

struct TDecodedImage {
    int Width = 0;
    int Height = 0;
    TPixelFormat PixelFormat = pf24bit;
    std::vector<uint32_t> Pixels; // plain colours 0x00BBGGRR, rows top first
};

// The largest width or height the reader accepts.
inline constexpr int MaxBitmapDimension = 32768;
// Room for the file header, the largest information header and the largest bit-field masks:
// enough bytes to learn a picture's total size with BmpImageSize.
inline constexpr size_t BmpHeadSize = 14 + 124 + 16;

// The number of bytes the picture starting at data occupies (headers, palette and pixels), from
// its headers alone; size may be just the first BmpHeadSize bytes (or fewer, for a shorter
// stream). EInvalidGraphic for damaged headers.
size_t BmpImageSize(const uint8_t* data, size_t size);
// Decodes the picture at the start of data.
TDecodedImage ReadBmp(const uint8_t* data, size_t size);
// Encodes pixels (plain colours, rows top first) as a 24-bit bottom-up bitmap file image.
std::vector<uint8_t> WriteBmp(int width, int height, const uint32_t* pixels);

} // namespace orvel
