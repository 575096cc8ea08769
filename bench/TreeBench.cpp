// The data-aware tree over tables of up to a million records, each scenario run as an
// application runs it (a shown form, a data source, the message loop, mouse and keys) and timed
// beside the least set of prepared statements that gives the same answer:
// - fill: activation until the current record's node is selected;
// - reveal: the dataset moved to a record six levels down, until its node is selected;
// - expand: a node of 1,000, 10,000 and 100,000 children, with one and with all children of
//   each read ahead;
// - re-parenting: 100 drags of nodes onto other nodes, each written and posted;
// - memory: the heap bytes every loaded node takes.
#include "bench/BenchSupport.h"
#include "bench/TreeWorld.h"
#ifdef ORVEL_BENCH_QT
#include "bench/qt/QtPeer.h"
#endif

#include "orvel/host/controls/NodePool.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/core/ArrayBlocks.h"
#include "orvel/host/data/Database.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace orvel;
using namespace orvel::bench;

namespace {

// The same from a row of ID, NAME, STATUS_ID, IMAGE_ID and whether it has a child.
int64_t ShownRow(TSqlStatement& row, bool hasChild) {
    return row.ColumnInt64(0) + static_cast<int64_t>(row.ColumnText(1).size()) +
           row.ColumnInt64(2) + row.ColumnInt64(3) + (hasChild ? 1 : 0);
}

// What the tree reads of a row it makes a node of; read by the raw work as well.
void ReadRow(TSqlStatement& row) {
    int64_t sink = row.ColumnInt64(0) + static_cast<int64_t>(row.ColumnText(1).size()) +
                   row.ColumnInt64(2) + row.ColumnInt64(3);
    benchmark::DoNotOptimize(sink);
}

const std::string kColumns = "SELECT ID, NAME, STATUS_ID, IMAGE_ID FROM ORGANIZATION ";

// The raw reading of one level: the children of a parent (the statement, bound) and, for each,
// its first child (lsOneAhead) or all its children (lsAllAhead). Answers what the tree shows of
// the children: Shown for each, plus, read all ahead, the keys of their children.
int64_t RawLevel(TTreeWorld& w, TSqlStatement& children, TLoadStyle style) {
    // (Reading all children ahead has a statement of its own: the children's is running.)
    TSqlStatement& ahead =
        w.Raw(kColumns + (style == lsOneAhead ? "WHERE PARENT_ID = ? ORDER BY rowid LIMIT 1"
                                              : "WHERE PARENT_ID = ? ORDER BY rowid LIMIT -1"));
    int64_t sum = 0;
    while (children.Step()) {
        ahead.BindInt64(0, children.ColumnInt64(0));
        bool hasChild = false;
        while (ahead.Step()) {
            hasChild = true;
            ReadRow(ahead);
            if (style == lsAllAhead) sum += ahead.ColumnInt64(0);
        }
        ahead.Reset();
        sum += ShownRow(children, hasChild);
    }
    children.Reset();
    return sum;
}

int64_t LevelSum(const TTreeNode* first, TLoadStyle style) {
    int64_t sum = 0;
    for (const TTreeNode* c = first; c; c = c->GetNextSibling()) {
        sum += Shown(c);
        if (style == lsAllAhead)
            for (const TTreeNode* g = c->GetFirstChild(); g; g = g->GetNextSibling())
                sum += IdOf(g);
    }
    return sum;
}

// A caption's whole cost: the string object the node holds and the text block it may point to.
int64_t CaptionBytesOf(const TTreeNode& node) {
    return static_cast<int64_t>(sizeof(std::string)) + HeapBytesOf(node.Text());
}

// The captions of every node of a tree.
int64_t CaptionBytesOf(const TTreeNodes& items) {
    int64_t bytes = 0;
    for (const TTreeNode* n = items.GetFirstNode(); n; n = n->GetNext())
        bytes += CaptionBytesOf(*n);
    return bytes;
}

// The bytes work leaves allocated for nodes and all else: counted on the heap, plus the blocks the
// node and key vector pools map as huge pages of their own (not heap blocks). The blocks earlier
// trees left in the pools' reserves go back first, so that the new nodes' own blocks are counted.
template <class Work> int64_t MemoryGrowthOf(Work&& work) {
    ReleaseNodeReserve();
    ReleaseArrayBlockReserve();
    auto mapped = [] { return static_cast<int64_t>(NodeMappedBytes() + ArrayBlockMappedBytes()); };
    int64_t before = mapped();
    int64_t bytes = HeapGrowthOf(std::forward<Work>(work));
    return bytes + mapped() - before;
}

// The nodes one run made and the heap bytes each took, measured in a run of its own: in all, for
// its caption (the string inside the node and its text block) and for the rest of the node.
void SetMemoryCounters(benchmark::State& state, int64_t bytes, int64_t nodes, int64_t captions) {
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["B_per_node"] = nodes ? static_cast<double>(bytes) / nodes : 0;
    state.counters["B_per_caption"] = nodes ? static_cast<double>(captions) / nodes : 0;
    state.counters["B_per_node_beyond_caption"] =
        nodes ? static_cast<double>(bytes - captions) / nodes : 0;
}

// ---- 1. fill
// -------------------------------------------------------------------------------------

void BM_TreeFill(benchmark::State& state) {
    TTreeWorld w(OrganizationFile());
    TPairTimer timer(state);
#ifdef ORVEL_BENCH_QT
    TQtPeer qt(OrganizationFile());
#endif
    auto fresh = [&]() -> TDBTreeView& {
        w.Table->First(); // the current record: the first top-level one
        return w.NewTree(lsOneAhead);
    };
    for (auto _ : state) {
        TDBTreeView& tree = fresh();
        timer.Run(
            [&] {
                TSqlStatement& top = w.Raw(kColumns + "WHERE PARENT_ID IS NULL ORDER BY rowid");
                return RawLevel(w, top, lsOneAhead) + 1;
            },
            [&] {
                w.Bind(state);
                int64_t selected = tree.Selected() ? IdOf(tree.Selected()) : -1;
                return LevelSum(tree.Items()->GetFirstNode(), lsOneAhead) + selected;
            });
#ifdef ORVEL_BENCH_QT
        timer.RunPeer([&] { return qt.FillTree(); });
#endif
    }
    timer.Report();
    TDBTreeView& tree = fresh();
    int64_t bytes = MemoryGrowthOf([&] { w.Bind(state); });
    SetMemoryCounters(state, bytes, tree.Items()->Count(), CaptionBytesOf(*tree.Items()));
#ifdef ORVEL_BENCH_QT
    qt.Clear();
    SetPeerMemory(
        state, [&] { qt.FillTree(); }, tree.Items()->Count());
#endif
}
BENCHMARK(BM_TreeFill)
    ->Name("1 tree fill, 1M records")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

// ---- 2. reveal
// -----------------------------------------------------------------------------------

// The branches opened on the way down to the selected node (each ancestor's children with their
// expand buttons) and the selected node's key.
int64_t RevealedSum(const TDBTreeView& tree) {
    const TTreeNode* selected = tree.Selected();
    if (!selected) return -1;
    int64_t sum = IdOf(selected);
    for (const TTreeNode* p = selected->Parent(); p; p = p->Parent())
        sum += LevelSum(p->GetFirstChild(), lsOneAhead);
    return sum;
}

// Climbs from the record to its top-level ancestor (whose node the filled tree shows), then
// reads the children of each ancestor with one child of each ahead.
int64_t RawReveal(TTreeWorld& w, int64_t target) {
    TSqlStatement& parentOf = w.Raw("SELECT PARENT_ID FROM ORGANIZATION WHERE ID = ?");
    std::vector<int64_t> chain;
    for (int64_t key = target;;) {
        parentOf.BindInt64(0, key);
        bool top = !parentOf.Step() || parentOf.ColumnType(0) == TSqlType::Null;
        int64_t parent = top ? 0 : parentOf.ColumnInt64(0);
        parentOf.Reset();
        if (top) break;
        chain.push_back(parent);
        if (parent <= kOrgFanOut) break; // a top-level record: its node is shown
        key = parent;
    }
    TSqlStatement& children = w.Raw(kColumns + "WHERE PARENT_ID = ? ORDER BY rowid");
    int64_t sum = target;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        children.BindInt64(0, *it);
        sum += RawLevel(w, children, lsOneAhead);
    }
    return sum;
}

void BM_TreeReveal(benchmark::State& state) {
    TTreeWorld w(OrganizationFile());
    TPairTimer timer(state);
    uint64_t seed = 2024;
    for (auto _ : state) {
        w.Table->First();
        TDBTreeView& tree = w.NewTree(lsOneAhead);
        w.Bind(state);
        int32_t target = NextLevelSixRecord(seed);
        timer.Run([&] { return RawReveal(w, target); },
                  [&] {
                      w.Table->Locate("ID", Variant(target));
                      RunMessages(state);
                      return RevealedSum(tree);
                  });
    }
    timer.Report();
}
BENCHMARK(BM_TreeReveal)
    ->Name("2 tree reveal, 6 levels down")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);

// ---- 3. expand
// -----------------------------------------------------------------------------------

// Expands the node of a record with count children, by the Right key on the selected node.
void BM_TreeExpand(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    auto style = static_cast<TLoadStyle>(state.range(1));
    TTreeWorld w(WideFile());
    TPairTimer timer(state);
#ifdef ORVEL_BENCH_QT
    // The peer toolkit expands the 10,000 children one ahead, as the tree does by default.
    std::unique_ptr<TQtPeer> qt;
    if (count == 10000 && style == lsOneAhead) qt = std::make_unique<TQtPeer>(WideFile());
#endif
    // A fresh tree showing the parent of count children, selected and closed.
    auto fresh = [&]() -> TDBTreeNode* {
        w.Table->First();
        TDBTreeView& tree = w.NewTree(style);
        w.Bind(state);
        NodeOf(tree, WideTopOf(count))->Expand(false);
        TDBTreeNode* parent = NodeOf(tree, WideParentOf(count));
        tree.SetSelected(parent);
        RunMessages(state);
        return parent;
    };
    // Expanding as a person does: the right arrow key on the selected node.
    auto expand = [&] {
        SendMessage(w.Tree->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
        SendMessage(w.Tree->Handle(), WM_KEYUP, VK_RIGHT, 0);
        RunMessages(state);
    };
    auto raw = [&] {
        TSqlStatement& children = w.Raw(kColumns + "WHERE PARENT_ID = ? ORDER BY rowid");
        children.BindInt64(0, WideParentOf(count));
        return RawLevel(w, children, style);
    };
    // One untimed expand and one untimed raw reading first, as in the server's scenarios: the
    // first of a process prepares its statements and faults in the memory the later ones reuse,
    // which with three runs would weigh on whichever side happened to meet it.
    fresh();
    expand();
    raw();
#ifdef ORVEL_BENCH_QT
    if (qt) qt->ExpandChildren(WideParentOf(count));
#endif
    for (auto _ : state) {
        TDBTreeNode* parent = fresh();
        timer.Run(raw, [&] {
            expand();
            return parent->Expanded() ? LevelSum(parent->GetFirstChild(), style) : -1;
        });
#ifdef ORVEL_BENCH_QT
        if (qt) timer.RunPeer([&] { return qt->ExpandChildren(WideParentOf(count)); });
#endif
    }
    timer.Report();
    fresh();
    int before = w.Tree->Items()->Count();
    int64_t captionsBefore = CaptionBytesOf(*w.Tree->Items());
    int64_t bytes = MemoryGrowthOf(expand);
    SetMemoryCounters(state, bytes, w.Tree->Items()->Count() - before,
                      CaptionBytesOf(*w.Tree->Items()) - captionsBefore);
#ifdef ORVEL_BENCH_QT
    if (qt) {
        qt->Clear();
        // Per item the peer made (children and their expand placeholders), as nodes count the
        // children and the first children read ahead.
        SetPeerMemory(
            state, [&] { qt->ExpandChildren(WideParentOf(count)); },
            w.Tree->Items()->Count() - before);
    }
#endif
    state.counters["us_per_child"] = state.counters["ours_ms"].value * 1e3 / count;
}
// Each size is timed for about the same while: an expand of a few milliseconds runs often
// enough that one hiccup of the machine does not decide its ratio.
void ExpandScenario(benchmark::internal::Benchmark* b, int children, int runs) {
    b->Name("3 tree expand")
        ->ArgNames({"children", "style"})
        ->Args({children, lsOneAhead})
        ->Args({children, lsAllAhead})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(runs);
}
BENCHMARK(BM_TreeExpand)->Apply([](auto* b) { ExpandScenario(b, 1000, 40); });
BENCHMARK(BM_TreeExpand)->Apply([](auto* b) { ExpandScenario(b, 10000, 10); });
BENCHMARK(BM_TreeExpand)->Apply([](auto* b) { ExpandScenario(b, 100000, 5); });

// ---- 4. re-parenting
// -----------------------------------------------------------------------------

// Drags node onto target as a person does: a click selects it, the drag goes to the target's
// caption and drops there; the tree writes and posts the new parent reference from its message.
void Drag(benchmark::State& state, TDBTreeView& tree, TTreeNode* node, TTreeNode* target) {
    TPoint from = CenterOf(node->DisplayRect(true));
    MouseDown(tree, from);
    MouseUp(tree, from);
    RunMessages(state);
    tree.BeginDrag(true);
    TPoint to = CenterOf(target->DisplayRect(true));
    MouseMove(tree, to);
    MouseUp(tree, to);
    RunMessages(state);
}

void BM_TreeReparent(benchmark::State& state) {
    constexpr int drags = 100;
    TTreeWorld w(OrganizationFile());
    TPairTimer timer(state);
    for (auto _ : state) {
        w.Table->First();
        TDBTreeView& tree = w.NewTree(lsOneAhead);
        w.Bind(state);
        NodeOf(tree, 1)->Expand(false);
        NodeOf(tree, 2)->Expand(false);
        // Children 11..20 of record 1 go under record 2 and back, each twice and a half times.
        auto moved = [](int k) { return 11 + (k / 2) % 10; };
        auto parentAfter = [](int k) { return k % 2 == 0 ? 2 : 1; };
        timer.Run(
            [&] {
                TSqlStatement& update = w.Raw("UPDATE ORGANIZATION SET PARENT_ID = ? WHERE ID = ?");
                int64_t sum = 0;
                for (int k = 0; k < drags; ++k) {
                    update.BindInt64(0, parentAfter(k));
                    update.BindInt64(1, moved(k));
                    update.Step();
                    update.Reset();
                    sum += parentAfter(k);
                }
                return sum;
            },
            [&] {
                int64_t sum = 0;
                for (int k = 0; k < drags; ++k) {
                    TDBTreeNode* node = NodeOf(tree, moved(k));
                    Drag(state, tree, node, NodeOf(tree, parentAfter(k)));
                    node = NodeOf(tree, moved(k));
                    sum += node && node->Parent() ? IdOf(node->Parent()) : -1;
                }
                return sum;
            });
    }
    timer.Report();
}
BENCHMARK(BM_TreeReparent)
    ->Name("4 tree re-parent, 100 drags")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// ---- 7. memory
// -----------------------------------------------------------------------------------

// The heap a loaded node takes: 100,000 children read with one child of each ahead, the bytes
// held afterwards over the nodes made; beyond the caption leaves out each caption whole, the
// string inside the node as well as any text block of its own.

void BM_TreeNodeMemory(benchmark::State& state) {
    constexpr int count = 100000;
    TTreeWorld w(WideFile());
    int64_t bytes = 0, captions = 0, nodes = 0;
    for (auto _ : state) {
        w.Table->First();
        TDBTreeView& tree = w.NewTree(lsOneAhead);
        w.Bind(state);
        NodeOf(tree, WideTopOf(count))->Expand(false);
        TDBTreeNode* parent = NodeOf(tree, WideParentOf(count));
        int before = tree.Items()->Count();
        captions -= CaptionBytesOf(*tree.Items());
        bytes += MemoryGrowthOf([&] {
            parent->Expand(false);
            RunMessages(state);
        });
        nodes += tree.Items()->Count() - before;
        captions += CaptionBytesOf(*tree.Items());
    }
    state.counters["nodes"] = static_cast<double>(nodes) / static_cast<double>(state.iterations());
    state.counters["B_per_node"] = static_cast<double>(bytes) / static_cast<double>(nodes);
    state.counters["B_per_caption"] = static_cast<double>(captions) / static_cast<double>(nodes);
    state.counters["B_per_node_beyond_caption"] =
        static_cast<double>(bytes - captions) / static_cast<double>(nodes);
    state.counters["sizeof_node"] = sizeof(TDBTreeNode);
}
BENCHMARK(BM_TreeNodeMemory)
    ->Name("7 tree memory per node")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
