// The guide shows code the examples compile: each C++ fragment of docs/guide.md must be, line for
// line, a region of an example program marked by two "// [name]" lines. The examples are built
// against the installed library and run by the test command, so a fragment that no longer
// compiles or no longer does what the guide says fails there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of(" \t\r") + 1));
    return lines;
}

// The lines without the indentation they all share.
std::string Dedented(const std::vector<std::string>& lines) {
    size_t indent = std::string::npos;
    for (const std::string& l : lines)
        if (!l.empty()) indent = std::min(indent, l.find_first_not_of(' '));
    std::string text;
    for (const std::string& l : lines)
        text += (l.empty() ? l : l.substr(indent)) + "\n";
    return text;
}

std::vector<std::string> GuideFragments(const fs::path& guide) {
    std::vector<std::string> fragments;
    std::vector<std::string> block;
    bool inCpp = false;
    for (const std::string& line : Lines(guide)) {
        if (!inCpp && line == "```cpp") {
            inCpp = true;
            block.clear();
        } else if (inCpp && line == "```") {
            inCpp = false;
            fragments.push_back(Dedented(block));
        } else if (inCpp) {
            block.push_back(line);
        }
    }
    return fragments;
}

std::vector<std::string> ExampleRegions(const fs::path& examples) {
    static const std::regex marker(R"(^\s*// \[([a-z-]+)\]$)");
    std::vector<std::string> regions;
    for (const auto& entry : fs::recursive_directory_iterator(examples)) {
        if (entry.path().extension() != ".cpp") continue;
        std::vector<std::string> lines = Lines(entry.path());
        for (size_t i = 0; i < lines.size(); ++i) {
            std::smatch open;
            if (!std::regex_match(lines[i], open, marker)) continue;
            for (size_t j = i + 1; j < lines.size(); ++j) {
                std::smatch close;
                if (std::regex_match(lines[j], close, marker) && close[1] == open[1]) {
                    regions.push_back(Dedented({lines.begin() + static_cast<ptrdiff_t>(i) + 1,
                                                lines.begin() + static_cast<ptrdiff_t>(j)}));
                    i = j;
                    break;
                }
            }
        }
    }
    return regions;
}

TEST(Guide, EveryCodeFragmentIsARegionOfACompiledExample) {
    const fs::path root = ORVEL_SOURCE_DIR;
    std::vector<std::string> fragments = GuideFragments(root / "docs" / "guide.md");
    std::vector<std::string> regions = ExampleRegions(root / "examples");
    ASSERT_FALSE(fragments.empty());
    ASSERT_FALSE(regions.empty());
    for (const std::string& fragment : fragments)
        EXPECT_NE(std::find(regions.begin(), regions.end(), fragment), regions.end())
            << "this fragment of docs/guide.md is not a marked region of examples/:\n"
            << fragment;
}

} // namespace
