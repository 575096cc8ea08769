// PNG writer: signature, IHDR, one IDAT with a stored zlib stream, IEND.
#include "orvel/host/controls/PngWriter.h"

#include "orvel/host/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <string>

namespace orvel {

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char type[5], const std::vector<uint8_t>& data) {
    PutBE32(out, static_cast<uint32_t>(data.size()));
    size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBE32(out, Crc32(out.data() + typeAt, out.size() - typeAt));
}

} // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler) {
    constexpr uint32_t Mod = 65521;
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while (size > 0) {
        // 5552 bytes is the most that can be summed before b could overflow 32 bits.
        size_t n = std::min<size_t>(size, 5552);
        for (size_t i = 0; i < n; ++i) {
            a += data[i];
            b += a;
        }
        a %= Mod;
        b %= Mod;
        data += n;
        size -= n;
    }
    return (b << 16) | a;
}

std::vector<uint8_t> ZlibStore(const uint8_t* data, size_t size) {
    constexpr size_t MaxBlock = 65535;
    std::vector<uint8_t> out;
    out.reserve(size + 6 + 5 * (size / MaxBlock + 1));
    out.push_back(0x78); // deflate, 32 KiB window
    out.push_back(0x01); // no preset dictionary, fastest level; 0x7801 is a multiple of 31
    size_t pos = 0;
    do {
        size_t n = std::min(MaxBlock, size - pos);
        bool last = pos + n == size;
        out.push_back(last ? 1 : 0); // BFINAL, BTYPE 00 (stored)
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(~n));
        out.push_back(static_cast<uint8_t>(~n >> 8));
        out.insert(out.end(), data + pos, data + pos + n);
        pos += n;
    } while (pos < size);
    PutBE32(out, Adler32(data, size));
    return out;
}

std::vector<uint8_t> WritePng(int width, int height, const uint32_t* pixels, const uint8_t* alpha) {
    if (width < 1 || height < 1)
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("a PNG needs at least one pixel")});
    const size_t channels = alpha ? 4 : 3;
    const size_t w = static_cast<size_t>(width);
    std::vector<uint8_t> raw;
    raw.reserve((w * channels + 1) * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        raw.push_back(0); // filter type None
        for (size_t x = 0; x < w; ++x) {
            uint32_t c = pixels[y * w + x];
            raw.push_back(static_cast<uint8_t>(c));
            raw.push_back(static_cast<uint8_t>(c >> 8));
            raw.push_back(static_cast<uint8_t>(c >> 16));
            if (alpha) raw.push_back(alpha[y * w + x]);
        }
    }

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBE32(header, static_cast<uint32_t>(width));
    PutBE32(header, static_cast<uint32_t>(height));
    header.push_back(8);             // bits per channel
    header.push_back(alpha ? 6 : 2); // colour type: RGBA or RGB
    header.push_back(0);             // compression: deflate
    header.push_back(0);             // filter method
    header.push_back(0);             // no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", ZlibStore(raw.data(), raw.size()));
    PutChunk(out, "IEND", {});
    return out;
}

} // namespace orvel
