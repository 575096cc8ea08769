// Painting the data-aware tree in pixels, as a desktop window repaints it, over the generated
// tables: one frame is the repaint of the rows shown (with the real font, images asked of each
// row, lines, buttons, scroll bar) after
// - a scroll of one page through 1,110 rows of the million-record tree, and
// - the expansion of a node of 10,000 children.
// Reported as milliseconds per frame (ms_per_frame); a frame has 16 ms at 60 frames a second.
#include "bench/BenchSupport.h"

#include "orvel/host/controls/Graphics.h"
#include "orvel/treeview/DBCustomTreeView.h"

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

TDBTreeView& BoundTree(TBenchWorld& w, benchmark::State& state) {
    w.Table->First();
    auto& tree = w.Form().Place<TDBTreeView>(0, 0, 300, 460);
    tree.SetLoadStyle(lsOneAhead);
    tree.SetNameField("NAME");
    tree.SetStatusIDField("STATUS_ID");
    tree.SetImageIDField("IMAGE_ID");
    tree.SetRelations("PARENT_ID->ID");
    tree.SetTopParentKey("Null");
    tree.SetDataSource(w.Source);
    RunMessages(state);
    return tree;
}

TDBTreeNode* NodeOf(const TDBTreeView& tree, int id) {
    return tree.FindNode(VarArrayOf({Variant(id)}));
}

void SetFrameCounter(benchmark::State& state, double seconds, int64_t frames) {
    state.counters["ms_per_frame"] = frames ? seconds * 1e3 / static_cast<double>(frames) : 0;
}

void BM_TreePaintAfterPageScroll(benchmark::State& state) {
    TRealFont font;
    TBenchWorld w(OrganizationFile(), "ORGANIZATION", "PARENT_ID");
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
    double total = 0;
    for (auto _ : state) {
        auto t0 = TClock::now();
        TTreeNode* before = tree.TopItem();
        tree.ScrollBy(tree.VisibleCount());
        if (tree.TopItem() == before) tree.SetTopItem(tree.Items()->GetFirstNode());
        tree.Update();
        double s = Seconds(t0, TClock::now());
        total += s;
        state.SetIterationTime(s);
    }
    state.counters["rows"] = tree.RowCount();
    SetFrameCounter(state, total, state.iterations());
    tree.Free();
}
BENCHMARK(BM_TreePaintAfterPageScroll)
    ->Name("tree paint after a page scroll, 1M records")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

void BM_TreePaintAfterExpand(benchmark::State& state) {
    TRealFont font;
    TBenchWorld w(WideFile(), "ORGANIZATION", "PARENT_ID");
    TDBTreeView& tree = BoundTree(w, state);
    NodeOf(tree, WideTopOf(10000))->Expand(false);
    TDBTreeNode* parent = NodeOf(tree, WideParentOf(10000));
    tree.SetSelected(parent);
    RunMessages(state);
    double total = 0;
    for (auto _ : state) {
        parent->Collapse(false);
        tree.Repaint();
        parent->Expand(false); // the rows change: the row count and scroll bar are counted anew
        RunMessages(state);
        auto t0 = TClock::now();
        tree.Update();
        double s = Seconds(t0, TClock::now());
        total += s;
        state.SetIterationTime(s);
    }
    state.counters["rows"] = tree.RowCount();
    SetFrameCounter(state, total, state.iterations());
    tree.Free();
}
BENCHMARK(BM_TreePaintAfterExpand)
    ->Name("tree paint after expanding 10,000 children")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
