// Datasets over a generated table of 1,000,000 records (fan-out 10, index on the parent field),
// each scenario timed beside the raw prepared statement that gives the same rows in the same
// order, in the same process; the counter "ratio" is dataset time over raw time.
//
// The database file is generated once and kept (ORVEL_BENCH_DIR, else the temporary directory).
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace orvel;

namespace {

constexpr int kRecords = 1000000;
constexpr int kFanOut = 10;

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point a, TClock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Times the raw work and the dataset work of one iteration, in turns first and second so that
// neither always finds the engine's pages warmed by the other; both must give the same answer.
struct TPairTimer {
    benchmark::State& State;
    double RawTime = 0;
    double DataSetTime = 0;
    bool RawFirst = true;

    template <class Raw, class DataSet> void Run(Raw&& raw, DataSet&& dataSet) {
        int64_t rawSum = 0, sum = 0;
        auto timed = [](auto&& work, int64_t& result) {
            auto t0 = TClock::now();
            result = work();
            return Seconds(t0, TClock::now());
        };
        double r = 0, d = 0;
        if (RawFirst) {
            r = timed(raw, rawSum);
            d = timed(dataSet, sum);
        } else {
            d = timed(dataSet, sum);
            r = timed(raw, rawSum);
        }
        RawFirst = !RawFirst;
        if (sum != rawSum) State.SkipWithError("the dataset and the raw statements disagree");
        RawTime += r;
        DataSetTime += d;
        State.SetIterationTime(d);
    }
    void Report(const char* rawName, double scale) {
        State.counters[rawName] =
            benchmark::Counter(RawTime * scale / static_cast<double>(State.iterations()));
        State.counters["ratio"] = DataSetTime / RawTime;
    }
};

// Record i (from 1) is a child of record (i - 1) / 10; records 1..10 are top-level (null parent).
void Generate(const std::string& file) {
    std::string building = file + ".building";
    std::filesystem::remove(building);
    {
        auto db = OpenSqliteConnection(building);
        db->Execute("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                    "CREATE TABLE ORGANIZATION (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME "
                    "VARCHAR(60), "
                    "STATUS_ID INTEGER, IMAGE_ID INTEGER);"
                    "BEGIN");
        auto insert = db->Prepare("INSERT INTO ORGANIZATION VALUES (?, ?, ?, ?, ?)");
        for (int i = 1; i <= kRecords; ++i) {
            insert->BindInt64(0, i);
            if (i <= kFanOut)
                insert->BindNull(1);
            else
                insert->BindInt64(1, (i - 1) / kFanOut);
            insert->BindText(2, "Unit " + std::to_string(i));
            insert->BindInt64(3, i % 4);
            insert->BindInt64(4, i % 16);
            insert->Step();
            insert->Reset();
        }
        db->Execute("COMMIT; CREATE INDEX ORGANIZATION_PARENT ON ORGANIZATION (PARENT_ID)");
    }
    std::filesystem::rename(building, file);
}

const std::string& BenchFile() {
    static const std::string file = [] {
        const char* dir = std::getenv("ORVEL_BENCH_DIR");
        std::filesystem::path base = dir ? dir : std::filesystem::temp_directory_path();
        std::string path = (base / "orvel-bench-organization-1m-v1.db").string();
        if (!std::filesystem::exists(path)) Generate(path);
        return path;
    }();
    return file;
}

struct TFixture {
    TDatabase Db{nullptr};
    TTable Table{nullptr};
    TFixture() {
        Db.SetDatabaseName(BenchFile());
        Db.Open();
        Table.SetDatabase(&Db);
        Table.SetTableName("ORGANIZATION");
        Table.SetIndexFieldNames("PARENT_ID");
        Table.Open();
    }
};

// A full First/Next scan reading two fields, beside the raw scan in the same order.
void BM_FullScan(benchmark::State& state) {
    TFixture f;
    auto raw =
        f.Db.Connection().Prepare("SELECT ID, NAME FROM ORGANIZATION ORDER BY PARENT_ID, rowid");
    TField* id = f.Table.FieldByName("ID");
    TField* name = f.Table.FieldByName("NAME");
    TPairTimer timer{state};
    for (auto _ : state) {
        timer.Run(
            [&] {
                int64_t sum = 0;
                while (raw->Step())
                    sum += raw->ColumnInt64(0) + static_cast<int64_t>(raw->ColumnText(1).size());
                raw->Reset();
                return sum;
            },
            [&] {
                int64_t sum = 0;
                for (f.Table.First(); !f.Table.Eof(); f.Table.Next())
                    sum += id->GetAsInteger() + static_cast<int64_t>(name->GetAsString().size());
                return sum;
            });
    }
    timer.Report("raw_ms", 1e3);
}
BENCHMARK(BM_FullScan)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// The next parent to read the children of, spread over the whole table.
int32_t NextParent(uint64_t& seed) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return 1 + static_cast<int32_t>((seed >> 33) % (kRecords / kFanOut - 1));
}

// Applying a range of the ten children of one record and reading them, as the tree does, beside
// the raw range query.
void BM_RangeOfTen(benchmark::State& state) {
    TFixture f;
    auto raw = f.Db.Connection().Prepare(
        "SELECT ID, NAME FROM ORGANIZATION WHERE PARENT_ID = ? ORDER BY rowid");
    TField* id = f.Table.FieldByName("ID");
    TField* name = f.Table.FieldByName("NAME");
    uint64_t seed = 12345;
    TPairTimer timer{state};
    for (auto _ : state) {
        int32_t parent = NextParent(seed);
        timer.Run(
            [&] {
                int64_t sum = 0;
                raw->BindInt64(0, parent);
                while (raw->Step())
                    sum += raw->ColumnInt64(0) + static_cast<int64_t>(raw->ColumnText(1).size());
                raw->Reset();
                return sum;
            },
            [&] {
                int64_t sum = 0;
                Variant key = VarArrayOf({Variant(parent)});
                f.Table.DisableControls();
                f.Table.SetRangeStart();
                f.Table.SetFieldValue("PARENT_ID;", key);
                f.Table.SetKeyFieldCount(1);
                f.Table.SetRangeEnd();
                f.Table.SetFieldValue("PARENT_ID;", key);
                f.Table.SetKeyFieldCount(1);
                f.Table.ApplyRange();
                for (; !f.Table.Eof(); f.Table.Next())
                    sum += id->GetAsInteger() + static_cast<int64_t>(name->GetAsString().size());
                f.Table.EnableControls();
                return sum;
            });
    }
    timer.Report("raw_us", 1e6);
}
BENCHMARK(BM_RangeOfTen)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

// The tree's whole step: a range of ten read, the range cancelled and the cursor returned to a
// bookmark, beside the raw range query and the raw row lookup.
void BM_RangeCancelAndReturn(benchmark::State& state) {
    TFixture f;
    auto raw = f.Db.Connection().Prepare(
        "SELECT ID, NAME FROM ORGANIZATION WHERE PARENT_ID = ? ORDER BY rowid");
    auto rawLookup = f.Db.Connection().Prepare("SELECT ID, NAME FROM ORGANIZATION WHERE rowid = ?");
    TField* id = f.Table.FieldByName("ID");
    f.Table.Locate("ID", Variant(500000));
    TBookmark home = f.Table.GetBookmark();
    uint64_t seed = 777;
    TPairTimer timer{state};
    for (auto _ : state) {
        int32_t parent = NextParent(seed);
        timer.Run(
            [&] {
                int64_t sum = 0;
                raw->BindInt64(0, parent);
                while (raw->Step())
                    sum += raw->ColumnInt64(0);
                raw->Reset();
                rawLookup->BindInt64(0, home.RowId);
                rawLookup->Step();
                sum += rawLookup->ColumnInt64(0);
                rawLookup->Reset();
                return sum;
            },
            [&] {
                int64_t sum = 0;
                f.Table.DisableControls();
                f.Table.SetRange({Variant(parent)}, {Variant(parent)});
                for (; !f.Table.Eof(); f.Table.Next())
                    sum += id->GetAsInteger();
                f.Table.CancelRange();
                f.Table.GotoBookmark(home);
                sum += id->GetAsInteger();
                f.Table.EnableControls();
                return sum;
            });
    }
    timer.Report("raw_us", 1e6);
}
BENCHMARK(BM_RangeCancelAndReturn)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000);

} // namespace
