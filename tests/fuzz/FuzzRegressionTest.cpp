// Replays every seed and every input a fuzzer ever found through its entry point: each must end in
// a clear error of the library's own or in success, never in a crash or a sanitizer report.
#include "fuzz/entries/FuzzEntries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace orvel::fuzz;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> InputsOf(const std::string& name) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        fs::path dir = fs::path(ORVEL_FUZZ_DIR) / kind / name;
        if (!fs::exists(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(FuzzRegressions, EverySeedAndFoundInputIsHandled) {
    for (const TFuzzTarget& target : FuzzTargets()) {
        auto inputs = InputsOf(target.Name);
        EXPECT_FALSE(inputs.empty()) << "no seeds for " << target.Name;
        for (const fs::path& path : inputs) {
            std::ifstream in(path, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            SCOPED_TRACE(path.string());
            EXPECT_NO_THROW(RunGuarded(target.Entry, bytes.data(), bytes.size()));
        }
    }
}
