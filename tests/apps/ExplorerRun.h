// Running the explorer end to end: each test gets a fresh sample database in a temporary folder,
// runs the explorer's non-interactive mode on it with a key script, and looks at the screen it
// printed and at the database afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvel::test {

// What a run printed and how it ended.
struct TRun {
    std::string Screen;
    int ExitCode = -1;
    bool Shows(const std::string& text) const { return Screen.find(text) != std::string::npos; }
    // The tree's row (the left panel, first 40 columns) that shows caption; "" when none does.
    std::string TreeRow(const std::string& caption) const {
        std::size_t start = 0;
        while (start < Screen.size()) {
            std::size_t end = Screen.find('\n', start);
            if (end == std::string::npos) end = Screen.size();
            std::string line = Screen.substr(start, end - start);
            std::size_t at = line.find(" " + caption);
            std::size_t columns = 0;
            for (std::size_t i = 0; i < at && i < line.size(); ++i)
                columns += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
            if (at != std::string::npos && columns < 39 && line.rfind("┌", 0) != 0) return line;
            start = end + 1;
        }
        return {};
    }
    // Row marks: the frame points at the selected row; the button shows whether it is open.
    static bool IsSelected(const std::string& row) { return row.rfind("▶", 0) == 0; }
    static bool IsOpen(const std::string& row) { return row.find("▾") != std::string::npos; }
    static bool IsClosed(const std::string& row) { return row.find("▸") != std::string::npos; }
    // The printed line that holds text ("" when none does).
    std::string LineWith(const std::string& text) const {
        std::size_t at = Screen.find(text);
        if (at == std::string::npos) return {};
        std::size_t start = Screen.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        return Screen.substr(start, Screen.find('\n', at) - start);
    }
};

inline std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command, keeping what it printed and how it ended.
inline TRun RunShell(const std::string& command) {
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> chunk{};
    std::size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        run.Screen.append(chunk.data(), n);
    int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvel-explorer-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        dir = buffer.data();
        db = dir + "/sample.db";
        TRun made = Command("--sample " + ShellQuote(db));
        ASSERT_EQ(made.ExitCode, 0) << made.Screen;
    }

    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Runs the explorer with the given arguments (already quoted) in the test's folder.
    TRun Command(const std::string& args) {
        return RunShell("cd " + ShellQuote(dir) + " && " + ShellQuote(ORVEL_EXPLORER) + " " + args +
                        " 2>&1");
    }

    // Runs a key script on the test's database and answers the last screen.
    TRun Keys(const std::string& script, const std::string& extra = "") {
        TRun run = Command("--size 100x30 --keys " + ShellQuote(script) + " " + extra + " " +
                           ShellQuote(db));
        EXPECT_EQ(run.ExitCode, 0) << run.Screen;
        return run;
    }

    // The first column of the first row of a query on the test's database ("" for none, NULL
    // for a null value).
    std::string Query(const std::string& sql) {
        sqlite3* handle = nullptr;
        std::string result;
        if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
                sqlite3_step(stmt) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(stmt, 0);
                result = text ? reinterpret_cast<const char*>(text) : "NULL";
            }
            sqlite3_finalize(stmt);
        } else {
            ADD_FAILURE() << "cannot open " << db;
        }
        sqlite3_close(handle);
        return result;
    }

    // Changes the test's database behind the explorer's back (before a run).
    void Exec(const std::string& sql) {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(handle);
    }

    std::string dir;
    std::string db;
};

} // namespace orvel::test
