// PNG through libpng's simplified interface, which reports errors in the image structure
// instead of jumping out of the caller.
#include "orvel/host/controls/PngCodec.h"

#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"

#include <png.h>

#include <cstring>
#include <string>

namespace orvel {

namespace {

[[noreturn]] void Refuse(const std::string& why) {
    RaiseRes<EInvalidGraphic>(SInvalidImage, {why});
}

// Frees libpng's state for the image on every way out.
struct TImageGuard {
    png_image& Image;
    ~TImageGuard() { png_image_free(&Image); }
};

} // namespace

bool IsPng(const uint8_t* data, size_t size) {
    return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

std::vector<uint8_t> WritePng(int width, int height, const uint32_t* pixels, const uint8_t* alpha) {
    if (width < 1 || height < 1) Refuse("a PNG picture needs at least one pixel");
    const int channels = alpha ? 4 : 3;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rows(count * static_cast<size_t>(channels));
    for (size_t i = 0; i < count; ++i) {
        uint8_t* out = rows.data() + i * static_cast<size_t>(channels);
        out[0] = static_cast<uint8_t>(pixels[i] & 0xFF);
        out[1] = static_cast<uint8_t>((pixels[i] >> 8) & 0xFF);
        out[2] = static_cast<uint8_t>((pixels[i] >> 16) & 0xFF);
        if (alpha) out[3] = alpha[i];
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    TImageGuard guard{image};
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rows.data(), 0, nullptr))
        Refuse(image.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rows.data(), 0, nullptr))
        Refuse(image.message);
    bytes.resize(size);
    return bytes;
}

TPngImage ReadPng(const uint8_t* data, size_t size) {
    if (!IsPng(data, size)) Refuse("not a PNG file");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    TImageGuard guard{image};
    if (!png_image_begin_read_from_memory(&image, data, size)) Refuse(image.message);
    if (image.width == 0 || image.height == 0 ||
        static_cast<int64_t>(image.width) * image.height > TBitmap::MaxPixels)
        Refuse("the PNG picture is larger than a bitmap may be");
    const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) Refuse(image.message);

    TPngImage result;
    result.Width = static_cast<int>(image.width);
    result.Height = static_cast<int>(image.height);
    result.HasAlpha = hasAlpha;
    const size_t count = static_cast<size_t>(result.Width) * static_cast<size_t>(result.Height);
    result.Pixels.resize(count);
    result.Alpha.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = rgba.data() + i * 4;
        result.Pixels[i] = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
        result.Alpha[i] = p[3];
    }
    return result;
}

} // namespace orvel
