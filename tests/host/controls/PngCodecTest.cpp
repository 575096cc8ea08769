// PNG pictures through libpng: what is written reads back pixel for pixel, see-through pixels
// survive as a transparent colour, and damaged files are refused without touching the bitmap.
#include "orvel/host/controls/PngCodec.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace orvel::testing {

namespace {

std::string TempPng(const std::string& stem) {
    return (std::filesystem::temp_directory_path() /
            (stem + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ".png"))
        .string();
}

} // namespace

TEST(PngCodec, RgbAndRgbaPicturesReadBackPixelForPixel) {
    const uint32_t pixels[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0xFFFFFF, 0x000000};
    TPngImage rgb = ReadPng(WritePng(3, 2, pixels).data(), WritePng(3, 2, pixels).size());
    EXPECT_EQ(rgb.Width, 3);
    EXPECT_EQ(rgb.Height, 2);
    EXPECT_FALSE(rgb.HasAlpha);
    EXPECT_EQ(rgb.Pixels, std::vector<uint32_t>(pixels, pixels + 6));

    const uint8_t alpha[6] = {255, 0, 255, 128, 255, 0};
    std::vector<uint8_t> file = WritePng(3, 2, pixels, alpha);
    ASSERT_TRUE(IsPng(file.data(), file.size()));
    TPngImage rgba = ReadPng(file.data(), file.size());
    EXPECT_TRUE(rgba.HasAlpha);
    EXPECT_EQ(rgba.Alpha, std::vector<uint8_t>(alpha, alpha + 6));
    EXPECT_EQ(rgba.Pixels[0], pixels[0]);
}

TEST(PngCodec, DamagedOrEmptyPicturesAreRefused) {
    const uint32_t one = 0;
    EXPECT_THROW(WritePng(0, 1, &one), EInvalidGraphic);
    EXPECT_THROW(WritePng(1, 0, &one), EInvalidGraphic);
    std::vector<uint8_t> file = WritePng(1, 1, &one);
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(file.size() / 2));
    EXPECT_THROW(ReadPng(cut.data(), cut.size()), EInvalidGraphic);
    std::vector<uint8_t> flipped = file;
    flipped[18] ^= 0x55; // the header chunk fails its checksum
    EXPECT_THROW(ReadPng(flipped.data(), flipped.size()), EInvalidGraphic);
    EXPECT_THROW(ReadPng(file.data(), 4), EInvalidGraphic);
}

TEST(PngCodec, ABitmapSavedAsPngLoadsBackWithItsSeeThroughPixels) {
    TBitmap picture(4, 3);
    picture.Fill(clRed);
    picture.SetPixel(1, 1, clBlue);
    picture.SetPixel(0, 2, clLime); // the bottom-left pixel: the automatic transparent colour
    picture.SetTransparent(true);
    const std::string file = TempPng("see-through");
    picture.SaveToFile(file);

    TBitmap back;
    back.LoadFromFile(file);
    std::remove(file.c_str());
    ASSERT_EQ(back.Width(), 4);
    ASSERT_EQ(back.Height(), 3);
    EXPECT_EQ(back.Pixel(1, 1), clBlue);
    EXPECT_EQ(back.Pixel(3, 0), clRed);
    EXPECT_TRUE(back.Transparent());
    EXPECT_EQ(back.Pixel(0, 2), back.TransparentColor());
    EXPECT_NE(back.TransparentColor(), clRed);
    EXPECT_NE(back.TransparentColor(), clBlue);

    // Drawn over white, the see-through pixel leaves the white as it was.
    TBitmap target(4, 3);
    target.Fill(clWhite);
    target.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(target.Pixel(0, 2), clWhite);
    EXPECT_EQ(target.Pixel(1, 1), clBlue);
}

TEST(PngCodec, ADamagedPngFileLeavesTheBitmapAsItWas) {
    const std::string file = TempPng("damaged");
    {
        const uint32_t one = 0x00FF00;
        std::vector<uint8_t> bytes = WritePng(1, 1, &one);
        bytes.resize(bytes.size() - 20);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    TBitmap kept(2, 2);
    kept.Fill(clYellow);
    EXPECT_THROW(kept.LoadFromFile(file), EInvalidGraphic);
    std::remove(file.c_str());
    EXPECT_EQ(kept.Width(), 2);
    EXPECT_EQ(kept.Pixel(1, 1), clYellow);
}

} // namespace orvel::testing
