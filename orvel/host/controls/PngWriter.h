// Writing pictures as PNG files for people to look at. The image data is wrapped in a zlib
// stream of stored (uncompressed) deflate blocks, so no compression library is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel {

// CRC-32 (the PNG and zlib polynomial), continued from crc for data given in pieces.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
// Adler-32 checksum of zlib streams, continued from adler (1 to start).
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);
// A zlib stream holding data in stored deflate blocks of at most 65535 bytes.
std::vector<uint8_t> ZlibStore(const uint8_t* data, size_t size);

// Encodes pixels (plain colours 0x00BBGGRR, rows top first) as a PNG file with 8 bits per
// channel: RGB, or RGBA when alpha (one byte per pixel, 0 = see-through) is given.
// EInvalidGraphic for a width or height below 1.
std::vector<uint8_t> WritePng(int width, int height, const uint32_t* pixels,
                              const uint8_t* alpha = nullptr);

} // namespace orvel
