// The bitmap reader against pictures from an independent encoder, damaged pictures of every
// kind, and round trips through the writer.
#include "orvel/host/controls/BmpCodec.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Streams.h"

#include "GraphicsTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvel;
using namespace orvel::testing;

namespace {

struct TGoodPicture {
    const char* Name;
    int Width;
    int Height;
    TPixelFormat Format;
};

const TGoodPicture GoodPictures[] = {
    {"quad_24", 16, 16, pf24bit},      {"quad_24_topdown", 16, 16, pf24bit},
    {"quad_32", 16, 16, pf32bit},      {"quad_4", 16, 16, pf4bit},
    {"plasma16_4bpp", 16, 16, pf4bit}, {"mix40x6_8", 40, 6, pf8bit},
    {"gray13x7_1", 13, 7, pf1bit},     {"odd5x3_24", 5, 3, pf24bit},
    {"grad32x24_24", 32, 24, pf24bit},
};

class GoodPictureTest : public ::testing::TestWithParam<TGoodPicture> {};

TEST_P(GoodPictureTest, DecodesEveryPixelAsTheEncoderReadsIt) {
    const TGoodPicture& p = GetParam();
    TBitmap bmp;
    bmp.LoadFromFile(PicturePath(std::string(p.Name) + ".bmp"));
    ASSERT_EQ(bmp.Width(), p.Width);
    ASSERT_EQ(bmp.Height(), p.Height);
    EXPECT_EQ(bmp.PixelFormat(), p.Format);

    auto reference = ReadReferencePixels(PicturePath(std::string(p.Name) + ".pixels.txt"));
    ASSERT_EQ(reference.size(), static_cast<size_t>(p.Width * p.Height));
    int wrong = 0;
    for (const TReferencePixel& r : reference) {
        if (bmp.Pixel(r.X, r.Y) != r.Color && ++wrong <= 5)
            ADD_FAILURE() << p.Name << " pixel " << r.X << "," << r.Y << ": got " << std::hex
                          << bmp.Pixel(r.X, r.Y) << ", expected " << r.Color;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_P(GoodPictureTest, SurvivesAWriteAndReadRoundTrip) {
    const TGoodPicture& p = GetParam();
    TBitmap original;
    original.LoadFromFile(PicturePath(std::string(p.Name) + ".bmp"));
    TMemoryStream stream;
    original.SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap copy;
    copy.LoadFromStream(stream);
    EXPECT_TRUE(copy.SamePixels(original));
    EXPECT_EQ(copy.PixelFormat(), pf24bit);
}

TEST_P(GoodPictureTest, EveryTruncationRaisesWithoutReadingPastTheEnd) {
    // Each prefix is copied into a buffer of exactly its size, so a read beyond it is caught by
    // the address sanitizer.
    auto bytes = ReadBytes(PicturePath(std::string(GetParam().Name) + ".bmp"));
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_THROW(ReadBmp(prefix.data(), prefix.size()), EInvalidGraphic) << "length " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, GoodPictureTest, ::testing::ValuesIn(GoodPictures),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BmpReader, TopDownAndBottomUpFilesGiveTheSamePicture) {
    TBitmap up, down;
    up.LoadFromFile(PicturePath("quad_24.bmp"));
    down.LoadFromFile(PicturePath("quad_24_topdown.bmp"));
    EXPECT_TRUE(up.SamePixels(down));
    EXPECT_EQ(up.Pixel(0, 0), clRed);
    EXPECT_EQ(up.Pixel(15, 0), clLime);
    EXPECT_EQ(up.Pixel(0, 15), clBlue);
    EXPECT_EQ(up.Pixel(15, 15), clWhite);
}

TEST(BmpReader, DamagedFilesRaiseAClearErrorAndLeaveTheBitmapAlone) {
    const std::pair<const char*, const char*> bad[] = {
        {"bad_truncated.bmp", "truncated"},   {"bad_width.bmp", "too large"},
        {"bad_offset.bmp", "beyond the end"}, {"bad_notbmp.bmp", "not a Windows bitmap"},
        {"bad_empty.bmp", "empty"},
    };
    for (const auto& [name, reason] : bad) {
        TBitmap bmp(3, 2);
        bmp.SetPixel(1, 1, clRed);
        try {
            bmp.LoadFromFile(PicturePath(name));
            ADD_FAILURE() << name << " was accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_NE(std::string(e.what()).find("Invalid bitmap image"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(bmp.Width(), 3) << name;
        EXPECT_EQ(bmp.Pixel(1, 1), clRed) << name;
    }
}

// Header fields of a 40-byte-header picture, for building damaged variants of a good file.
class DamagedHeader : public ::testing::Test {
protected:
    void SetUp() override { Bytes = ReadBytes(PicturePath("quad_4.bmp")); }
    void Put32(size_t at, uint32_t v) { std::memcpy(Bytes.data() + at, &v, 4); }
    void Put16(size_t at, uint16_t v) { std::memcpy(Bytes.data() + at, &v, 2); }
    std::string Error() {
        try {
            ReadBmp(Bytes.data(), Bytes.size());
        } catch (const EInvalidGraphic& e) {
            return e.what();
        }
        return "accepted";
    }
    static constexpr size_t Offset = 10, HeaderSize = 14, Width = 18, Height = 22, Planes = 26,
                            BitCount = 28, Compression = 30, ColorsUsed = 46;
    std::vector<uint8_t> Bytes;
};

TEST_F(DamagedHeader, ImpossibleSizesAreRefusedBeforeAnyAllocation) {
    auto original = Bytes;
    for (uint32_t width : {0u, 0xFFFFFFFFu /* -1 */, 0x80000000u /* most negative */, 40000u}) {
        Bytes = original;
        Put32(Width, width);
        EXPECT_NE(Error(), "accepted") << width;
    }
    for (uint32_t height : {0u, 0x80000000u, 0x7FFFFFFFu}) {
        Bytes = original;
        Put32(Height, height);
        EXPECT_NE(Error(), "accepted") << height;
    }
    // Each side allowed, their product not.
    Bytes = original;
    Put32(Width, 30000);
    Put32(Height, 30000);
    EXPECT_NE(Error().find("too large"), std::string::npos);
}

TEST_F(DamagedHeader, PalettesAndOffsetsMustLieInsideTheFile) {
    auto original = Bytes;
    Put32(ColorsUsed, 0xFFFFFFFFu);
    EXPECT_NE(Error().find("palette"), std::string::npos);
    Bytes = original;
    Put16(BitCount, 8); // 256 colours by default: more than the 246-byte file holds
    Put32(ColorsUsed, 0);
    EXPECT_NE(Error().find("palette"), std::string::npos);
    Bytes = original;
    Put32(Offset, 20); // pixels inside the headers
    EXPECT_NE(Error().find("inside the headers"), std::string::npos);
    Bytes = original;
    Put32(Offset, 0xFFFFFFF0u); // near the top of the 32-bit range: no overflow into the file
    EXPECT_NE(Error().find("beyond the end"), std::string::npos);
}

TEST_F(DamagedHeader, UnsupportedFormatsAreNamed) {
    auto original = Bytes;
    Put16(BitCount, 7);
    EXPECT_NE(Error().find("bits per pixel"), std::string::npos);
    Bytes = original;
    Put32(Compression, 1); // 8-bit run-length coding for a 4-bit picture
    EXPECT_NE(Error().find("run-length"), std::string::npos);
    Bytes = original;
    Put32(Compression, 5);
    EXPECT_NE(Error().find("compression"), std::string::npos);
    Bytes = original;
    Put32(Compression, 3); // bit fields need 16 or 32 bits
    EXPECT_NE(Error().find("bit-field"), std::string::npos);
    Bytes = original;
    Put32(HeaderSize, 1000);
    EXPECT_NE(Error().find("header"), std::string::npos);
    Bytes = original;
    Put16(Planes, 0);
    EXPECT_NE(Error().find("plane"), std::string::npos);
}

TEST(BmpReader, PaletteIndexesBeyondAShortPaletteReadAsBlack) {
    // A 4-bit picture declaring 2 colours whose pixels use index 15.
    auto bytes = ReadBytes(PicturePath("quad_4.bmp"));
    uint32_t two = 2;
    std::memcpy(bytes.data() + 46, &two, 4);
    std::memset(bytes.data() + bytes.size() - 8, 0xFF, 8); // the top row, stored last
    TDecodedImage image = ReadBmp(bytes.data(), bytes.size());
    EXPECT_EQ(image.Pixels[0], 0u);
}

TEST(BmpReader, SixteenBitPixelsWithAndWithoutMasks) {
    // 2 x 1 picture: a 5-6-5 bit-field file and the default 5-5-5 layout.
    auto make = [](bool fields, uint16_t a, uint16_t b) {
        std::vector<uint8_t> f(14 + 40 + (fields ? 12 : 0) + 4, 0);
        auto put32 = [&](size_t at, uint32_t v) { std::memcpy(f.data() + at, &v, 4); };
        auto put16 = [&](size_t at, uint16_t v) { std::memcpy(f.data() + at, &v, 2); };
        f[0] = 'B', f[1] = 'M';
        put32(2, static_cast<uint32_t>(f.size()));
        put32(10, static_cast<uint32_t>(f.size() - 4));
        put32(14, 40);
        put32(18, 2);
        put32(22, 1);
        put16(26, 1);
        put16(28, 16);
        put32(30, fields ? 3 : 0);
        if (fields) put32(54, 0xF800), put32(58, 0x07E0), put32(62, 0x001F);
        put16(f.size() - 4, a);
        put16(f.size() - 2, b);
        return f;
    };
    auto f565 = make(true, 0xF800, 0x07E0);
    TDecodedImage i565 = ReadBmp(f565.data(), f565.size());
    EXPECT_EQ(i565.Pixels[0], static_cast<uint32_t>(clRed));
    EXPECT_EQ(i565.Pixels[1], static_cast<uint32_t>(clLime));
    EXPECT_EQ(i565.PixelFormat, pf16bit);
    auto f555 = make(false, 0x001F, 0x7FFF);
    TDecodedImage i555 = ReadBmp(f555.data(), f555.size());
    EXPECT_EQ(i555.Pixels[0], static_cast<uint32_t>(clBlue));
    EXPECT_EQ(i555.Pixels[1], static_cast<uint32_t>(clWhite));
}

TEST(BmpReader, StreamIsLeftJustAfterThePicture) {
    // A blob may carry more bytes after the picture; the reader takes only its own.
    auto bytes = ReadBytes(PicturePath("odd5x3_24.bmp"));
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    const char tail[] = "tail";
    stream.WriteBuffer(tail, 4);
    stream.SetPosition(0);
    TBitmap bmp;
    bmp.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(bmp.Width(), 5);
}

TEST(BmpWriter, AnEmptyBitmapWritesNothingAndReadsBackAsAnError) {
    TBitmap empty;
    TMemoryStream stream;
    empty.SaveToStream(stream);
    EXPECT_EQ(stream.Size(), 0);
    stream.SetPosition(0);
    TBitmap bmp;
    EXPECT_THROW(bmp.LoadFromStream(stream), EInvalidGraphic);
}

} // namespace

namespace {

// A bottom-up run-length picture with a 2-colour palette (0 black, 1 white) and given pixel data.
std::vector<uint8_t> RunLengthFile(int width, int height, bool four, std::vector<uint8_t> pixels) {
    std::vector<uint8_t> f(14 + 40 + 8, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(f.data() + at, &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(f.data() + at, &v, 2); };
    f[0] = 'B';
    f[1] = 'M';
    put32(10, static_cast<uint32_t>(f.size()));
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    put16(26, 1);
    put16(28, four ? 4 : 8);
    put32(30, four ? 2 : 1);
    put32(34, static_cast<uint32_t>(pixels.size()));
    put32(46, 2);
    put32(58, 0x00FFFFFF); // palette entry 1: white
    for (uint8_t b : pixels) f.push_back(b); // (insert trips a false array-bounds warning at -O2)
    put32(2, static_cast<uint32_t>(f.size()));
    return f;
}

TEST(BmpReader, RunLengthPicturesDecodeRunsLiteralsAndJumps) {
    // 4 x 2, 4 bits: bottom row "run of 4 alternating 1,0", top row "literal 0,1,1" then end.
    auto f = RunLengthFile(4, 2, true, {4, 0x10, 0, 0, 0, 3, 0x01, 0x10, 0, 1});
    TDecodedImage image = ReadBmp(f.data(), f.size());
    const uint32_t W = static_cast<uint32_t>(clWhite), B = 0;
    EXPECT_EQ(image.Pixels, (std::vector<uint32_t>{B, W, W, B, W, B, W, B}));

    // 8 bits: a jump of (1, 1) from the bottom-left corner leaves the skipped pixels in entry 0;
    // a run longer than the row is clipped at the right edge.
    auto g = RunLengthFile(3, 2, false, {0, 2, 1, 1, 9, 1, 0, 1});
    image = ReadBmp(g.data(), g.size());
    EXPECT_EQ(image.Pixels, (std::vector<uint32_t>{B, W, W, B, B, B}));
}

TEST(BmpReader, RunLengthDataThatEndsEarlyRaises) {
    // A literal run of 200 indexes with only 2 bytes behind it, then a missing end of picture.
    for (auto data : {std::vector<uint8_t>{0, 200, 1, 1}, std::vector<uint8_t>{2, 1, 0, 2, 5},
                      std::vector<uint8_t>{2, 1}}) {
        auto f = RunLengthFile(2, 2, false, data);
        EXPECT_THROW(ReadBmp(f.data(), f.size()), EInvalidGraphic);
    }
}

} // namespace
