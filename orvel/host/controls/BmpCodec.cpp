// Windows bitmap reader and writer. Every offset and size is checked against the bytes given,
// with 64-bit arithmetic, before anything is read or allocated.
#include "orvel/host/controls/BmpCodec.h"

#include "orvel/host/core/Exceptions.h"

#include <bit>
#include <cstring>

namespace orvel {

namespace {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;
constexpr size_t FileHeaderSize = 14;
constexpr uint32_t CoreHeaderSize = 12;

[[noreturn]] void Invalid(const char* reason) {
    RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string(reason)});
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(U32(p));
}

// A colour channel described by a bit mask: where its bits are and how to widen them to 8 bits.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0; // largest value of the channel after shifting

    explicit TChannel(uint32_t mask = 0) : Mask(mask) {
        if (!mask) return;
        Shift = std::countr_zero(mask);
        Max = mask >> Shift;
    }
    uint32_t Extract(uint32_t pixel) const {
        if (!Max) return 0;
        uint64_t v = (pixel & Mask) >> Shift;
        return static_cast<uint32_t>((v * 255 + Max / 2) / Max);
    }
};

// Everything the headers say about a picture, checked against the size of the data.
struct TLayout {
    int Width = 0;
    int Height = 0; // always positive
    bool TopDown = false;
    int BitCount = 0;
    uint32_t Compression = BI_RGB;
    uint64_t PaletteOffset = 0;
    uint64_t PaletteCount = 0; // entries to use
    int PaletteEntrySize = 4;
    uint32_t Masks[3] = {0, 0, 0};
    uint64_t PixelOffset = 0;
    uint64_t RowSize = 0;
    uint32_t ImageSize = 0; // bytes of pixel data the header declares (needed when compressed)
    uint64_t End = 0;       // one past the last byte of the picture
};

// Reads the headers. With headOnly, the data may end after the headers: the palette and pixels
// are not required to be present (used to learn the total size from a stream's first bytes).
TLayout ParseLayout(const uint8_t* data, size_t size, bool headOnly) {
    if (size == 0) Invalid("the picture is empty");
    if (size < 2 || data[0] != 'B' || data[1] != 'M') Invalid("not a Windows bitmap");
    if (size < FileHeaderSize + 4) Invalid("the file header is truncated");
    TLayout l;
    l.PixelOffset = U32(data + 10);
    const uint8_t* info = data + FileHeaderSize;
    uint32_t headerSize = U32(info);
    if (headerSize != CoreHeaderSize && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124)
        Invalid("unknown header version");
    if (size < FileHeaderSize + headerSize) Invalid("the information header is truncated");

    int64_t width = 0;
    int64_t height = 0;
    uint16_t planes = 0;
    uint32_t colorsUsed = 0;
    if (headerSize == CoreHeaderSize) {
        width = U16(info + 4);
        height = U16(info + 6);
        planes = U16(info + 8);
        l.BitCount = U16(info + 10);
        l.PaletteEntrySize = 3;
    } else {
        width = I32(info + 4);
        height = I32(info + 8);
        planes = U16(info + 12);
        l.BitCount = U16(info + 14);
        l.Compression = U32(info + 16);
        l.ImageSize = U32(info + 20);
        colorsUsed = U32(info + 32);
    }
    if (planes != 1) Invalid("the plane count is not 1");
    if (width <= 0 || height == 0) Invalid("the width or height is zero or negative");
    l.TopDown = height < 0;
    if (height < 0) height = -height;
    if (width > MaxBitmapDimension || height > MaxBitmapDimension ||
        width * height > TBitmap::MaxPixels)
        Invalid("the picture is too large");
    l.Width = static_cast<int>(width);
    l.Height = static_cast<int>(height);

    switch (l.BitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        Invalid("unsupported bits per pixel");
    }
    const bool rle = l.Compression == BI_RLE8 || l.Compression == BI_RLE4;
    if (rle && l.BitCount != (l.Compression == BI_RLE8 ? 8 : 4))
        Invalid("run-length compression does not fit the bits per pixel");
    if (rle && l.TopDown) Invalid("run-length compressed pictures cannot be stored top-down");
    bool bitFields = l.Compression == BI_BITFIELDS || l.Compression == BI_ALPHABITFIELDS;
    if (l.Compression != BI_RGB && !bitFields && !rle) Invalid("unsupported compression");
    if (bitFields && l.BitCount != 16 && l.BitCount != 32)
        Invalid("bit-field masks need 16 or 32 bits per pixel");

    // Masks: inside the newer headers, after the 40-byte header otherwise.
    uint64_t afterHeader = FileHeaderSize + headerSize;
    if (bitFields) {
        const uint8_t* m = info + 40;
        if (headerSize == 40) {
            uint64_t maskBytes = l.Compression == BI_ALPHABITFIELDS ? 16 : 12;
            if (afterHeader + maskBytes > size) Invalid("the colour masks are truncated");
            afterHeader += maskBytes;
        }
        for (int i = 0; i < 3; ++i)
            l.Masks[i] = U32(m + 4 * i);
    } else if (l.BitCount == 16) {
        l.Masks[0] = 0x7C00; // 5 bits each
        l.Masks[1] = 0x03E0;
        l.Masks[2] = 0x001F;
    } else if (l.BitCount == 32) {
        l.Masks[0] = 0xFF0000;
        l.Masks[1] = 0xFF00;
        l.Masks[2] = 0xFF;
    }

    l.PaletteOffset = afterHeader;
    if (l.BitCount <= 8) {
        uint64_t maxEntries = uint64_t{1} << l.BitCount;
        uint64_t declared = colorsUsed == 0 ? maxEntries : colorsUsed;
        if (declared > 256) Invalid("the palette is too large");
        l.PaletteCount = std::min(declared, maxEntries);
    }
    uint64_t paletteEnd = l.PaletteOffset + l.PaletteCount * l.PaletteEntrySize;

    l.RowSize = (static_cast<uint64_t>(l.Width) * l.BitCount + 31) / 32 * 4;
    if (l.PixelOffset < afterHeader) Invalid("the pixel data offset lies inside the headers");
    // Compressed pixels take the number of bytes the header gives; plain ones whole rows.
    if (rle && l.ImageSize == 0) Invalid("the compressed pixel data has no size");
    uint64_t pixelBytes = rle ? l.ImageSize : l.RowSize * l.Height;
    l.End = std::max(paletteEnd, l.PixelOffset + pixelBytes);
    if (!headOnly) {
        if (paletteEnd > size) Invalid("the palette is larger than the file");
        if (l.PixelOffset >= size) Invalid("the pixel data offset lies beyond the end of the file");
        if (l.End > size) Invalid("the pixel data is truncated");
    }
    return l;
}

std::vector<uint32_t> ReadPalette(const uint8_t* data, const TLayout& l) {
    std::vector<uint32_t> palette(l.PaletteCount);
    for (uint64_t i = 0; i < l.PaletteCount; ++i) {
        const uint8_t* e = data + l.PaletteOffset + i * l.PaletteEntrySize;
        palette[i] = RGB(e[2], e[1], e[0]);
    }
    return palette;
}

// An index beyond a short palette is black rather than a read outside it.
uint32_t PaletteColor(const std::vector<uint32_t>& palette, uint32_t index) {
    return index < palette.size() ? palette[index] : 0;
}

// Run-length pixels (8 or 4 bits): runs of one index (two alternating ones for 4 bits), escapes
// for end of line, end of picture, a jump, and literal runs padded to 16 bits. Rows are stored
// bottom first; pixels never reached keep palette entry 0; runs past the right edge are clipped.
void DecodeRunLength(const uint8_t* data, const TLayout& l, TDecodedImage& image) {
    const std::vector<uint32_t> palette = ReadPalette(data, l);
    std::fill(image.Pixels.begin(), image.Pixels.end(), PaletteColor(palette, 0));
    const bool four = l.Compression == BI_RLE4;
    const uint8_t* p = data + l.PixelOffset;
    const uint8_t* end = data + l.End;
    int64_t x = 0, row = 0;
    auto put = [&](uint32_t index) {
        if (x < l.Width && row < l.Height)
            image.Pixels[static_cast<size_t>(l.Height - 1 - row) * l.Width + x] =
                PaletteColor(palette, index);
        ++x;
    };
    while (row < l.Height) {
        if (end - p < 2) Invalid("the compressed pixel data is truncated");
        uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? ((i % 2 == 0) ? value >> 4 : value & 0x0F) : value);
        } else if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // jump right and up
            if (end - p < 2) Invalid("the compressed pixel data is truncated");
            x += p[0];
            row += p[1];
            p += 2;
        } else { // literal run of value indexes
            int64_t bytes = four ? (value + 1) / 2 : value;
            bytes += bytes % 2;
            if (end - p < bytes) Invalid("the compressed pixel data is truncated");
            for (int i = 0; i < value; ++i)
                put(four ? ((i % 2 == 0) ? p[i / 2] >> 4 : p[i / 2] & 0x0F) : p[i]);
            p += bytes;
        }
    }
}

void DecodeRows(const uint8_t* data, const TLayout& l, TDecodedImage& image) {
    const std::vector<uint32_t> palette = ReadPalette(data, l);
    TChannel red(l.Masks[0]), green(l.Masks[1]), blue(l.Masks[2]);
    for (int row = 0; row < l.Height; ++row) {
        const uint8_t* src = data + l.PixelOffset + static_cast<uint64_t>(row) * l.RowSize;
        int y = l.TopDown ? row : l.Height - 1 - row;
        uint32_t* dst = image.Pixels.data() + static_cast<size_t>(y) * l.Width;
        for (int x = 0; x < l.Width; ++x) {
            uint32_t c = 0;
            switch (l.BitCount) {
            case 1:
            case 4:
            case 8: {
                int bitPos = x * l.BitCount;
                int shift = 8 - l.BitCount - (bitPos % 8);
                uint32_t index = (src[bitPos / 8] >> shift) & ((1u << l.BitCount) - 1);
                c = PaletteColor(palette, index);
                break;
            }
            case 16: {
                uint32_t v = U16(src + 2 * x);
                c = RGB(static_cast<uint8_t>(red.Extract(v)),
                        static_cast<uint8_t>(green.Extract(v)),
                        static_cast<uint8_t>(blue.Extract(v)));
                break;
            }
            case 24:
                c = RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            case 32: {
                uint32_t v = U32(src + 4 * x);
                c = RGB(static_cast<uint8_t>(red.Extract(v)),
                        static_cast<uint8_t>(green.Extract(v)),
                        static_cast<uint8_t>(blue.Extract(v)));
                break;
            }
            }
            dst[x] = c;
        }
    }
}

TPixelFormat FormatOf(int bitCount) {
    switch (bitCount) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 16:
        return pf16bit;
    case 32:
        return pf32bit;
    default:
        return pf24bit;
    }
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

size_t BmpImageSize(const uint8_t* data, size_t size) {
    return static_cast<size_t>(ParseLayout(data, size, true).End);
}

TDecodedImage ReadBmp(const uint8_t* data, size_t size) {
    TLayout l = ParseLayout(data, size, false);
    TDecodedImage image;
    image.Width = l.Width;
    image.Height = l.Height;
    image.PixelFormat = FormatOf(l.BitCount);
    image.Pixels.resize(static_cast<size_t>(l.Width) * l.Height);
    if (l.Compression == BI_RLE8 || l.Compression == BI_RLE4)
        DecodeRunLength(data, l, image);
    else
        DecodeRows(data, l, image);
    return image;
}

std::vector<uint8_t> WriteBmp(int width, int height, const uint32_t* pixels) {
    if (width < 0 || height < 0) Invalid("negative size");
    uint32_t rowSize = (static_cast<uint32_t>(width) * 24 + 31) / 32 * 4;
    uint32_t imageSize = rowSize * static_cast<uint32_t>(height);
    uint32_t offset = FileHeaderSize + 40;
    std::vector<uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0); // reserved
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height)); // positive: rows bottom first
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, BI_RGB);
    Put32(out, imageSize);
    Put32(out, 2835); // 72 dots per inch, in dots per metre
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            out.push_back(GetBValue(static_cast<TColor>(row[x])));
            out.push_back(GetGValue(static_cast<TColor>(row[x])));
            out.push_back(GetRValue(static_cast<TColor>(row[x])));
        }
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowSize; ++pad)
            out.push_back(0);
    }
    return out;
}

} // namespace orvel
