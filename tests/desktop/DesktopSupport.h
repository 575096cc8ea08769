// A fresh sample database in a temporary folder for each desktop test, and the explorer over it.
#pragma once

#include "apps/desktop/DesktopApp.h"
#include "apps/desktop/DesktopInput.h"
#include "apps/explorer/SampleData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvel::desktop::test {

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        FDir =
            std::filesystem::temp_directory_path() /
            ("orvel-desktop-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(FDir);
        Database = (FDir / "sample.db").string();
        explorer::CreateSampleDatabase(Database);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(FDir, ec);
    }

    TDesktopOptions Options(const std::string& keys, const std::string& size = "100x32") {
        return ParseDesktopOptions({Database, "--keys", keys, "--size", size});
    }

    std::string Folder() const { return FDir.string(); }

    std::string Database;

private:
    std::filesystem::path FDir;
};

// Keeps a picture where the build's readers find it: <build>/tests/desktop/pictures/<name>.
inline void KeepPicture(const TBitmap& picture, const std::string& name) {
    std::filesystem::create_directories(ORVEL_PICTURES_DIR);
    picture.SaveToFile(std::string(ORVEL_PICTURES_DIR) + "/" + name);
}

} // namespace orvel::desktop::test
