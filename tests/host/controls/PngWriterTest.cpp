// The PNG writer: checksums against known values, stored deflate blocks across block limits, and
// whole files read back chunk by chunk with every CRC checked.
#include "orvel/host/controls/PngWriter.h"
#include "orvel/host/core/Exceptions.h"

#include "GraphicsTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace orvel::testing {

uint32_t PngBE32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool InflateStored(const std::vector<uint8_t>& z, std::vector<uint8_t>& out, std::string& error) {
    if (z.size() < 6 || (z[0] & 0x0F) != 8 || ((z[0] << 8) | z[1]) % 31 != 0) {
        error = "bad zlib header";
        return false;
    }
    size_t p = 2;
    for (bool last = false; !last;) {
        if (p + 5 > z.size()) return error = "block header past the end", false;
        last = z[p] & 1;
        if ((z[p] >> 1) != 0) return error = "not a stored block", false;
        uint16_t len = static_cast<uint16_t>(z[p + 1] | (z[p + 2] << 8));
        uint16_t nlen = static_cast<uint16_t>(z[p + 3] | (z[p + 4] << 8));
        if (static_cast<uint16_t>(~len) != nlen) return error = "LEN/NLEN mismatch", false;
        p += 5;
        if (p + len > z.size()) return error = "block data past the end", false;
        out.insert(out.end(), z.begin() + static_cast<ptrdiff_t>(p),
                   z.begin() + static_cast<ptrdiff_t>(p + len));
        p += len;
    }
    if (p + 4 != z.size()) return error = "trailer size", false;
    if (PngBE32(z.data() + p) != Adler32(out.data(), out.size()))
        return error = "Adler-32 mismatch", false;
    return true;
}

TPngImage ReadStoredPng(const std::vector<uint8_t>& f) {
    TPngImage png;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (f.size() < 8 || std::memcmp(f.data(), signature, 8) != 0) {
        png.Error = "signature";
        return png;
    }
    std::vector<uint8_t> idat;
    std::vector<std::string> order;
    for (size_t p = 8; p < f.size();) {
        if (p + 12 > f.size()) return png.Error = "chunk past the end", png;
        uint32_t len = PngBE32(f.data() + p);
        if (p + 12 + len > f.size()) return png.Error = "chunk data past the end", png;
        std::string type(reinterpret_cast<const char*>(f.data() + p + 4), 4);
        if (PngBE32(f.data() + p + 8 + len) != Crc32(f.data() + p + 4, len + 4))
            return png.Error = "CRC of " + type, png;
        const uint8_t* d = f.data() + p + 8;
        if (type == "IHDR") {
            png.Width = static_cast<int>(PngBE32(d));
            png.Height = static_cast<int>(PngBE32(d + 4));
            if (d[8] != 8) return png.Error = "bit depth", png;
            png.ColorType = d[9];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), d, d + len);
        }
        order.push_back(type);
        p += 12 + len;
    }
    if (order.empty() || order.front() != "IHDR" || order.back() != "IEND")
        return png.Error = "chunk order", png;
    if (!InflateStored(idat, png.Raw, png.Error)) return png;
    size_t channels = png.ColorType == 6 ? 4 : 3;
    if (png.Raw.size() != (static_cast<size_t>(png.Width) * channels + 1) * png.Height)
        return png.Error = "image data size", png;
    png.Ok = true;
    return png;
}

} // namespace orvel::testing

using namespace orvel;
using namespace orvel::testing;

namespace {

const uint8_t* Bytes(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

TEST(PngWriter, ChecksumsMatchTheirPublishedCheckValues) {
    EXPECT_EQ(Crc32(Bytes("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("Wikipedia"), 9), 0x11E60398u);
    // Continued over pieces, the same as in one go.
    EXPECT_EQ(Crc32(Bytes("6789"), 4, Crc32(Bytes("12345"), 5)), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("pedia"), 5, Adler32(Bytes("Wiki"), 4)), 0x11E60398u);
    // Long input: the sums are reduced often enough not to overflow.
    std::vector<uint8_t> ff(100000, 0xFF);
    uint32_t a = 1 + 100000u * 255 % 65521;
    uint64_t b = 0;
    for (uint64_t i = 1; i <= 100000; ++i)
        b = (b + 1 + i * 255) % 65521;
    EXPECT_EQ(Adler32(ff.data(), ff.size()), (static_cast<uint32_t>(b) << 16) | (a % 65521));
}

TEST(PngWriter, StoredStreamsSplitIntoBlocksAndInflateBack) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{200000}}) {
        std::vector<uint8_t> data(size);
        std::iota(data.begin(), data.end(), uint8_t{7});
        std::vector<uint8_t> back;
        std::string error;
        ASSERT_TRUE(InflateStored(ZlibStore(data.data(), data.size()), back, error))
            << size << ": " << error;
        EXPECT_EQ(back, data) << size;
    }
}

TEST(PngWriter, WritesReadableRgbAndRgbaImages) {
    const uint32_t pixels[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x123456};
    const uint8_t alpha[6] = {255, 0, 255, 255, 0, 128};

    TPngImage rgb = ReadStoredPng(WritePng(3, 2, pixels));
    ASSERT_TRUE(rgb.Ok) << rgb.Error;
    EXPECT_EQ(rgb.Width, 3);
    EXPECT_EQ(rgb.Height, 2);
    EXPECT_EQ(rgb.ColorType, 2);
    // Row 0: filter 0, red, lime, blue as R,G,B bytes.
    EXPECT_EQ(std::vector<uint8_t>(rgb.Raw.begin(), rgb.Raw.begin() + 10),
              (std::vector<uint8_t>{0, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(rgb.Raw.end() - 3, rgb.Raw.end()),
              (std::vector<uint8_t>{0x56, 0x34, 0x12}));

    TPngImage rgba = ReadStoredPng(WritePng(3, 2, pixels, alpha));
    ASSERT_TRUE(rgba.Ok) << rgba.Error;
    EXPECT_EQ(rgba.ColorType, 6);
    EXPECT_EQ(rgba.Raw[1 + 4 + 3], 0); // second pixel see-through
    EXPECT_EQ(rgba.Raw.back(), 128);
}

TEST(PngWriter, RefusesAnImageWithoutPixels) {
    uint32_t one = 0;
    EXPECT_THROW(WritePng(0, 1, &one), EInvalidGraphic);
    EXPECT_THROW(WritePng(1, 0, &one), EInvalidGraphic);
}

} // namespace
