// Stored-picture comparison for the picture tests.
#include "tests/support/pictures/GoldenPicture.h"

#include "orvel/host/controls/PngCodec.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace orvel::testing {

namespace {

namespace fs = std::filesystem;

bool Updating() {
    const char* value = std::getenv("ORVEL_UPDATE_GOLDEN");
    return value && *value && std::string(value) != "0";
}

void WritePicture(const fs::path& path, const TBitmap& bitmap) {
    fs::create_directories(path.parent_path());
    std::vector<uint8_t> bytes = WritePng(bitmap.Width(), bitmap.Height(), bitmap.ScanLine(0));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

bool ReadPicture(const fs::path& path, TPngImage& image, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "no stored picture " + path.string() + " (ORVEL_UPDATE_GOLDEN=1 stores one)";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    try {
        image = ReadPng(bytes.data(), bytes.size());
    } catch (const std::exception& e) {
        error = path.string() + ": " + e.what();
        return false;
    }
    return true;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

// The differences: red where a pixel is further apart than the tolerance (brighter for larger
// differences), the actual picture faded to grey elsewhere; the larger of the two sizes.
void DifferencePicture(const TBitmap& actual, const TPngImage& expected, int tolerance,
                       TBitmap& diff) {
    diff.SetSize(std::max(actual.Width(), expected.Width),
                 std::max(actual.Height(), expected.Height));
    diff.Fill(RGB(255, 0, 255)); // where only one of the pictures has pixels
    for (int y = 0; y < std::min(actual.Height(), expected.Height); ++y) {
        const uint32_t* row = actual.ScanLine(y);
        for (int x = 0; x < std::min(actual.Width(), expected.Width); ++x) {
            uint32_t want = expected.Pixels[static_cast<size_t>(y) * expected.Width + x];
            int d = ChannelDistance(row[x], want);
            if (d > tolerance) {
                diff.SetPixel(x, y, RGB(static_cast<uint8_t>(std::min(255, 128 + d)), 0, 0));
            } else {
                uint32_t p = row[x];
                int grey = ((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF)) / 3;
                uint8_t faded = static_cast<uint8_t>(192 + grey / 4);
                diff.SetPixel(x, y, RGB(faded, faded, faded));
            }
        }
    }
}

} // namespace

std::string GoldenDirectory() {
    return ORVEL_GOLDEN_DIR;
}

::testing::AssertionResult MatchesGolden(const TBitmap& actual, const std::string& name,
                                         int tolerance) {
    if (actual.Empty()) return ::testing::AssertionFailure() << name << ": the picture is empty";
    const fs::path stored = fs::path(GoldenDirectory()) / (name + ".png");
    if (Updating()) {
        WritePicture(stored, actual);
        return ::testing::AssertionSuccess() << "stored " << stored.string();
    }
    TPngImage expected;
    std::string error;
    bool read = ReadPicture(stored, expected, error);
    int differing = 0, worst = 0;
    if (read && expected.Width == actual.Width() && expected.Height == actual.Height()) {
        for (int y = 0; y < actual.Height(); ++y) {
            const uint32_t* row = actual.ScanLine(y);
            for (int x = 0; x < actual.Width(); ++x) {
                int d = ChannelDistance(
                    row[x], expected.Pixels[static_cast<size_t>(y) * expected.Width + x]);
                worst = std::max(worst, d);
                if (d > tolerance) ++differing;
            }
        }
        if (differing == 0) return ::testing::AssertionSuccess();
    }
    const fs::path out = fs::current_path() / "picture-failures";
    WritePicture(out / (name + ".actual.png"), actual);
    std::ostringstream why;
    why << name << ": ";
    if (!read) {
        why << error;
    } else {
        TBitmap diff;
        DifferencePicture(actual, expected, tolerance, diff);
        WritePicture(out / (name + ".diff.png"), diff);
        if (expected.Width != actual.Width() || expected.Height != actual.Height())
            why << "size " << actual.Width() << "x" << actual.Height() << ", stored "
                << expected.Width << "x" << expected.Height;
        else
            why << differing << " pixels differ by more than " << tolerance << " (at most " << worst
                << ")";
        why << "; see " << (out / (name + ".diff.png")).string();
    }
    why << "; actual picture " << (out / (name + ".actual.png")).string();
    return ::testing::AssertionFailure() << why.str();
}

TRealFontScope::TRealFontScope(const std::string& name) : FPrevious(DefaultFontName()) {
    SetDefaultFontName(name);
}

TRealFontScope::~TRealFontScope() {
    SetDefaultFontName(FPrevious);
}

} // namespace orvel::testing
