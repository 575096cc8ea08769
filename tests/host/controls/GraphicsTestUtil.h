// Helpers shared by the picture, canvas and image list tests: test data files, the reference
// pixels written beside them, temporary files and a reader for the PNG files we write.
#pragma once

#include "orvel/host/controls/PngCodec.h"

#include "orvel/host/controls/Graphics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace orvel::testing {

inline std::string PicturePath(const std::string& name) {
    return std::string(ORVEL_TESTDATA_DIR) + "/pictures/" + name;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct TReferencePixel {
    int X;
    int Y;
    TColor Color;
};

// Reads "x,y #RRGGBB" lines.
inline std::vector<TReferencePixel> ReadReferencePixels(const std::string& path) {
    std::ifstream in(path);
    std::vector<TReferencePixel> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        int x = 0, y = 0;
        unsigned rgb = 0;
        if (std::sscanf(line.c_str(), "%d,%d #%x", &x, &y, &rgb) != 3) continue;
        out.push_back({x, y, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)});
    }
    return out;
}

// A file name in the temporary directory, removed when the object goes.
class TTempFile {
public:
    explicit TTempFile(const std::string& suffix) {
        static int counter = 0;
        FPath =
            (std::filesystem::temp_directory_path() /
             ("orvel_gfx_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + suffix))
                .string();
    }
    ~TTempFile() {
        std::error_code ec;
        std::filesystem::remove(FPath, ec);
    }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// A PNG file decoded with libpng.
inline TPngImage ReadPngFile(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return ReadPng(bytes.data(), bytes.size());
}

} // namespace orvel::testing
