// Datasets over a generated table of 1,000,000 records (fan-out 10, index on the parent field),
// each scenario timed beside the raw prepared statement that gives the same rows in the same
// order, in the same process; the counter "ratio" is dataset time over raw time.
//
// The database file is generated once and kept (ORVEL_BENCH_DIR, else the temporary directory).
#include "bench/BenchSupport.h"

#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"

#include <string>

using namespace orvel;
using namespace orvel::bench;

namespace {

constexpr int kRecords = kOrgRecords;
constexpr int kFanOut = kOrgFanOut;

const std::string& BenchFile() {
    return OrganizationFile();
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
    TPairTimer timer(state);
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
    timer.Report();
}
BENCHMARK(BM_FullScan)
    ->Name("0 dataset full scan, 1M records")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

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
    TPairTimer timer(state);
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
    timer.Report();
}
BENCHMARK(BM_RangeOfTen)
    ->Name("0 dataset range of ten")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000);

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
    TPairTimer timer(state);
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
    timer.Report();
}
BENCHMARK(BM_RangeCancelAndReturn)
    ->Name("0 dataset range, cancel, bookmark")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20000);

} // namespace
