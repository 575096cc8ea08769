// The data-aware list view over a table of 100,000 records, run as an application runs it (a
// shown form, a data source, the message loop) and timed beside the least set of prepared
// statements that gives the same answer:
// - load: activation until every record is an item with its caption, images and three columns;
// - moves: the dataset moved to 1,000 random records one after another, the focus following;
// - memory: the heap bytes every item takes after the load, and once everything an item shows
//   (its key vector included) has been asked for.
#include "bench/BenchSupport.h"
#ifdef ORVEL_BENCH_QT
#include "bench/qt/QtPeer.h"
#endif

#include "orvel/host/controls/ListItemPool.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/core/ArrayBlocks.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/listview/DataBaseListView.h"

#include <sys/resource.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace orvel;
using namespace orvel::bench;

namespace {

// A list view in report style (made afresh for each load) over the INVENTORY table in the
// order of its row ids.
class TListWorld : public TBenchWorld {
public:
    TListWorld() : TBenchWorld(InventoryFile(), "INVENTORY", "") {}
    ~TListWorld() { DropList(); }

    TDBListView& NewList() {
        DropList();
        List = &Form().Place<TDBListView>(320, 0, 300, 460);
        List->SetViewStyle(vsReport);
        List->SetKeyFields("ID");
        List->SetNameField("NAME");
        List->SetStatusIDField("STATUS_ID");
        List->SetImageIDField("IMAGE_ID");
        List->SetColumnsFields("CODE;LOCATION;QUANTITY");
        return *List;
    }
    void Bind(benchmark::State& state) {
        List->SetDataSource(Source);
        RunMessages(state);
    }
    void DropList() {
        if (List) List->Free();
        List = nullptr;
    }

    TDBListView* List = nullptr;
};

const std::string kSelect =
    "SELECT ID, NAME, STATUS_ID, IMAGE_ID, CODE, LOCATION, QUANTITY FROM INVENTORY ";

int64_t IdOf(const TListItem* item) {
    if (!item) return -1;
    // The key's value as an application reads one (the item's key vector is made only when
    // someone asks for the vector itself).
    return static_cast<const TDBListItem*>(item)->KeyElement(0).AsInt64();
}

// What an item shows: key, caption, images and the texts of its columns.
int64_t Shown(const TListItem* item) {
    int64_t sum = IdOf(item) + static_cast<int64_t>(item->Caption().size()) + item->StateIndex() +
                  item->ImageIndex();
    for (int i = 0; i < item->SubItems()->Count(); ++i)
        sum += static_cast<int64_t>(item->SubItems()->Get(i).size());
    return sum;
}

// The page faults the process has taken so far.
int64_t PageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

int64_t ShownRow(TSqlStatement& row) {
    return row.ColumnInt64(0) + static_cast<int64_t>(row.ColumnText(1).size()) +
           row.ColumnInt64(2) + row.ColumnInt64(3) +
           static_cast<int64_t>(row.ColumnText(4).size() + row.ColumnText(5).size() +
                                std::to_string(row.ColumnInt64(6)).size());
}

// ---- 5. load
// -------------------------------------------------------------------------------------

void BM_ListLoad(benchmark::State& state) {
    TListWorld w;
    TPairTimer timer(state);
#ifdef ORVEL_BENCH_QT
    TQtPeer qt(InventoryFile());
#endif
    auto fresh = [&]() -> TDBListView& {
        w.Table->First();
        return w.NewList();
    };
    auto raw = [&] {
        TSqlStatement& all = w.Raw(kSelect + "ORDER BY rowid");
        int64_t sum = 0;
        while (all.Step())
            sum += ShownRow(all);
        all.Reset();
        return sum;
    };
    // One load and one raw reading first, left out of the ratio as in the tree's expand: the
    // first of a process prepares its statements and faults in the memory the later ones reuse,
    // which with four runs would weigh on whichever side happened to meet it. Their times are
    // reported apart (first_ours_ms, first_raw_ms): a person's first list pays them.
    fresh();
    auto t0 = TClock::now();
    w.Bind(state);
    auto t1 = TClock::now();
    benchmark::DoNotOptimize(raw());
    auto t2 = TClock::now();
    state.counters["first_ours_ms"] = Seconds(t0, t1) * 1e3;
    state.counters["first_raw_ms"] = Seconds(t1, t2) * 1e3;
#ifdef ORVEL_BENCH_QT
    qt.LoadList();
#endif
    int64_t loadFaults = 0, loads = 0;
    for (auto _ : state) {
        TDBListView& list = fresh();
        timer.Run(raw, [&] {
            int64_t faults = PageFaults();
            w.Bind(state);
            loadFaults += PageFaults() - faults;
            ++loads;
            int64_t sum = 0;
            for (int i = 0; i < list.Items()->Count(); ++i)
                sum += Shown(list.Items()->Item(i));
            return sum;
        });
#ifdef ORVEL_BENCH_QT
        timer.RunPeer([&] { return qt.LoadList(); });
#endif
    }
    timer.Report();
    state.counters["faults_per_load"] = loads ? static_cast<double>(loadFaults) / loads : 0;
    // The memory, in a run of its own with the heap counted. The blocks the earlier lists' items
    // left in the item pool's reserve go back first, so that the items' own blocks are counted.
    TDBListView& list = fresh();
    ReleaseListItemReserve();
    ReleaseArrayBlockReserve();
    // Blocks the item and key vector pools map as huge pages of their own are not heap blocks:
    // added.
    auto mapped = [] {
        return static_cast<int64_t>(ListItemMappedBytes() + ArrayBlockMappedBytes());
    };
    int64_t before = mapped();
    int64_t bytes = HeapGrowthOf([&] { w.Bind(state); });
    bytes += mapped() - before;
    int items = list.Items()->Count();
    state.counters["items"] = static_cast<double>(items);
    state.counters["B_per_item"] = items ? static_cast<double>(bytes) / items : 0;
    // What every item takes once everything it shows has been asked for (key vectors included).
    int64_t mappedBefore = mapped();
    int64_t asked = HeapGrowthOf([&] {
        int64_t sum = 0;
        for (int i = 0; i < items; ++i) {
            const TListItem* item = list.Items()->Item(i);
            sum +=
                Shown(item) + VarArrayHighBound(static_cast<const TDBListItem*>(item)->GetID(), 1);
        }
        benchmark::DoNotOptimize(sum);
    });
    asked += mapped() - mappedBefore;
    state.counters["B_per_item_asked"] = items ? static_cast<double>(bytes + asked) / items : 0;
#ifdef ORVEL_BENCH_QT
    qt.Clear();
    SetPeerMemory(
        state, [&] { qt.LoadList(); }, items);
#endif
}
BENCHMARK(BM_ListLoad)
    ->Name("5 list load, 100k records, 3 columns")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// ---- 5. moves
// ------------------------------------------------------------------------------------

void BM_ListMoves(benchmark::State& state) {
    constexpr int moves = 1000;
    TListWorld w;
    w.Table->First();
    TDBListView& list = w.NewList();
    w.Bind(state);
    TPairTimer timer(state);
    uint64_t seed = 99;
    std::vector<int32_t> targets(moves);
    for (auto _ : state) {
        for (int32_t& t : targets) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            t = 1 + static_cast<int32_t>((seed >> 33) % kInventoryRecords);
        }
        timer.Run(
            [&] {
                TSqlStatement& one = w.Raw(kSelect + "WHERE ID = ?");
                int64_t sum = 0;
                for (int32_t t : targets) {
                    one.BindInt64(0, t);
                    if (one.Step()) sum += one.ColumnInt64(0);
                    one.Reset();
                }
                return sum;
            },
            [&] {
                int64_t sum = 0;
                for (int32_t t : targets) {
                    w.Table->Locate("ID", Variant(t));
                    RunMessages(state);
                    sum += IdOf(list.ItemFocused());
                }
                return sum;
            });
    }
    timer.Report();
}
BENCHMARK(BM_ListMoves)
    ->Name("5 list 1000 moves, focus following")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
