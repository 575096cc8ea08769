// The explorer on a large generated table: starting reads only what it shows, so its memory does
// not grow with the table.
#include "tests/apps/ExplorerRun.h"

#include <fcntl.h>
#include <sys/resource.h>

namespace orvel::test {
namespace {

// Runs the explorer with args (no shell) and answers its peak resident set in kilobytes, or -1
// when it did not end well.
long PeakKilobytes(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = ORVEL_EXPLORER;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

TEST_F(ExplorerTest, StartingOnALargeTableReadsOnlyWhatItShows) {
    std::string big = dir + "/big.db";
    TRun made = Command("--generate 200000 " + ShellQuote(big));
    ASSERT_EQ(made.ExitCode, 0) << made.Screen;
    // A run that only starts, first on a table of 2,500 records, then on one of 200,000: the
    // difference is what start-up read of the larger table (the whole table: some 80 MB). The
    // difference, not the figure, is bounded, so a sanitizer's own memory does not count.
    std::string small = dir + "/small.db";
    ASSERT_EQ(Command("--generate 2500 " + ShellQuote(small)).ExitCode, 0);
    long base = PeakKilobytes({"--keys", "", small});
    long large = PeakKilobytes({"--keys", "", big});
    ASSERT_GT(base, 0);
    ASSERT_GT(large, 0);
    EXPECT_LT(large - base, 20 * 1024)
        << base << " KB for 2,500 records, " << large << " KB for 200,000";

    // What it shows is still right: the first top-level record's children, and those of a
    // record deep in the table once it is reached.
    TRun run = Command("--size 100x30 --keys '<Enter><Down><Enter>' " + ShellQuote(big));
    EXPECT_EQ(run.ExitCode, 0) << run.Screen;
    EXPECT_TRUE(run.Shows("Owned by Object 11")) << run.Screen;
    EXPECT_TRUE(run.Shows("Object 111")) << run.Screen;
    EXPECT_TRUE(run.Shows("Object 120")) << run.Screen;
}

} // namespace
} // namespace orvel::test
