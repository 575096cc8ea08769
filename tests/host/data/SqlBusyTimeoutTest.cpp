// How long a connection waits for another connection's lock: the timeout it was given, also
// after a read scan has held and given back its read transaction.
#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

using namespace orvel;

namespace {

// Seconds a read takes to fail (or succeed); whether it failed.
double TimedRead(TSqlStatement& read, bool& failed) {
    auto start = std::chrono::steady_clock::now();
    failed = false;
    try {
        read.Reset();
        read.Step();
    } catch (const std::exception&) {
        failed = true;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(SqlBusyTimeout, ASetTimeoutBoundsTheWaitForALockAndOutlivesReadScans) {
    std::string file = (std::filesystem::temp_directory_path() /
                        ("orvel-busy-" + std::to_string(getpid()) + ".db"))
                           .string();
    std::filesystem::remove(file);
    {
        auto reader = OpenSqliteConnection(file);
        reader->Execute("CREATE TABLE t (x); INSERT INTO t VALUES (1)");
        reader->SetBusyTimeout(100);
        // Prepared before the lock: the steps below are what waits for it.
        auto read = reader->Prepare("SELECT x FROM t");
        auto locker = OpenSqliteConnection(file);
        locker->Execute("BEGIN EXCLUSIVE");

        // A scan tries to hold a read transaction without waiting; the timeout set stays.
        bool failed = false;
        reader->BeginReadScan();
        TimedRead(*read, failed);
        reader->EndReadScan();
        EXPECT_TRUE(failed);
        // Generous bounds: well under the 2 s a connection waits by default.
        double waited = TimedRead(*read, failed);
        EXPECT_TRUE(failed);
        EXPECT_GE(waited, 0.05);
        EXPECT_LT(waited, 1.5);

        locker->Execute("ROLLBACK");
        TimedRead(*read, failed);
        EXPECT_FALSE(failed);
    }
    std::filesystem::remove(file);
}

} // namespace
