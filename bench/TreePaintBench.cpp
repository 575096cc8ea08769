// Painting the data-aware tree in pixels, as a desktop window repaints it, over the generated
// tables: one frame is the repaint of the rows shown (with the real font, images asked of each
// row, lines, buttons, scroll bar) after
// - a scroll of one page through 1,110 rows of the million-record tree, and
// - the expansion of a node of 10,000 children.
// Reported as milliseconds per frame (ms_per_frame); a frame has 16 ms at 60 frames a second.
#include "bench/BenchSupport.h"
#include "bench/TreeWorld.h"

#include "orvel/host/controls/Graphics.h"

#include <string>

using namespace orvel;
using namespace orvel::bench;

namespace {

// The real font for the views made while it lives, the previous default font afterwards.
class TRealFont {
public:
    TRealFont() : FPrevious(DefaultFontName()) { SetDefaultFontName("DejaVu Sans"); }
    ~TRealFont() { SetDefaultFontName(FPrevious); }
    TRealFont(const TRealFont&) = delete;
    TRealFont& operator=(const TRealFont&) = delete;

private:
    std::string FPrevious;
};

// The tree of the other scenarios, one ahead, bound with the dataset on its first record.
TDBTreeView& BoundTree(TTreeWorld& w, benchmark::State& state) {
    w.Table->First();
    w.NewTree(lsOneAhead);
    w.Bind(state);
    return *w.Tree;
}

// Times frame() in each iteration, after an untimed prepare(), and reports the time per frame.
template <class Prepare, class Frame>
void TimeFrames(benchmark::State& state, Prepare prepare, Frame frame) {
    double total = 0;
    for (auto _ : state) {
        prepare();
        auto t0 = TClock::now();
        frame();
        double s = Seconds(t0, TClock::now());
        total += s;
        state.SetIterationTime(s);
    }
    int64_t frames = state.iterations();
    state.counters["ms_per_frame"] = frames ? total * 1e3 / static_cast<double>(frames) : 0;
}

void BM_TreePaintAfterPageScroll(benchmark::State& state) {
    TRealFont font;
    TTreeWorld w(OrganizationFile());
    TDBTreeView& tree = BoundTree(w, state);
    // The ten top-level records and their children and grandchildren open: 1,110 rows.
    for (TTreeNode* top = tree.Items()->GetFirstNode(); top; top = top->GetNextSibling()) {
        top->Expand(false);
        for (TTreeNode* child = top->GetFirstChild(); child; child = child->GetNextSibling())
            child->Expand(false);
    }
    RunMessages(state);
    tree.SetTopItem(tree.Items()->GetFirstNode());
    tree.Repaint();
    TimeFrames(
        state, [] {},
        [&] {
            TTreeNode* before = tree.TopItem();
            tree.ScrollBy(tree.VisibleCount());
            if (tree.TopItem() == before) tree.SetTopItem(tree.Items()->GetFirstNode());
            tree.Update();
        });
    state.counters["rows"] = tree.RowCount();
}
BENCHMARK(BM_TreePaintAfterPageScroll)
    ->Name("tree paint after a page scroll, 1M records")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

void BM_TreePaintAfterExpand(benchmark::State& state) {
    TRealFont font;
    TTreeWorld w(WideFile());
    TDBTreeView& tree = BoundTree(w, state);
    NodeOf(tree, WideTopOf(10000))->Expand(false);
    TDBTreeNode* parent = NodeOf(tree, WideParentOf(10000));
    tree.SetSelected(parent);
    RunMessages(state);
    TimeFrames(
        state,
        [&] {
            parent->Collapse(false);
            tree.Repaint();
            parent->Expand(false); // the rows change: the row count and scroll bar anew
            RunMessages(state);
        },
        [&] { tree.Update(); });
    state.counters["rows"] = tree.RowCount();
}
BENCHMARK(BM_TreePaintAfterExpand)
    ->Name("tree paint after expanding 10,000 children")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
