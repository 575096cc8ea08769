// Long random sequences of what users and another program do to a tree view and a list view over
// one table, on a one-field and a two-field key, with engine failures at random calls; the
// database is the oracle after every step. A failing run prints its seed and the shortest step
// list it reduces to; such lists are kept below as regression cases and run every time.
//
// The budget is a fixed number of steps (fewer in a sanitizer build, which runs several times
// slower); ORVEL_CHECK_STEPS=N runs N steps in all instead, ORVEL_CHECK_SEED=S starts at seed S.
#include "tests/reliability/RandomOperations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace orvel::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultSteps = 4000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kDefaultSteps = 4000;
#else
constexpr int kDefaultSteps = 20000;
#endif
#else
constexpr int kDefaultSteps = 20000;
#endif

// Steps of one seed: long enough for the table to drift far from where it started.
constexpr int kStepsPerSeed = 500;

int64_t EnvNumber(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    return end && *end == 0 && value > 0 ? value : fallback;
}

// Runs the budget's half on one schema, seed after seed; a failure is reduced and printed.
void RunBudget(const TCheckSchema& schema, uint64_t firstSeed) {
    const int64_t total = EnvNumber("ORVEL_CHECK_STEPS", kDefaultSteps) / 2;
    const uint64_t base = static_cast<uint64_t>(EnvNumber("ORVEL_CHECK_SEED", 0)) + firstSeed;
    TRunFigures figures;
    auto start = std::chrono::steady_clock::now();
    for (int64_t done = 0, seed = 0; done < total; done += kStepsPerSeed, ++seed) {
        int count = static_cast<int>(std::min<int64_t>(kStepsPerSeed, total - done));
        std::vector<TStep> steps = RandomSteps(base + static_cast<uint64_t>(seed), count);
        TRunResult result = RunSteps(schema, steps, &figures);
        if (result.Failure.empty()) continue;
        std::vector<TStep> reduced = ReduceSteps(schema, steps);
        TRunResult again = RunSteps(schema, reduced);
        ADD_FAILURE() << schema.Title << ", seed " << base + static_cast<uint64_t>(seed)
                      << ", step " << result.FailedAt << ": " << result.Failure << "\nreduced to "
                      << reduced.size() << " steps, failing with: " << again.Failure << "\n{"
                      << StepsText(reduced) << "}";
        return;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ checker ] " << schema.Title << ": " << figures.Steps << " steps, "
              << figures.Faults << " with an engine failure, " << figures.Errors
              << " reported an error, " << seconds << " s\n";
}

// Step lists that once failed, reduced; each must now hold every invariant.
struct TRegression {
    const TCheckSchema& Schema;
    std::vector<TStep> Steps;
};
const std::vector<TRegression>& Regressions() {
    static const std::vector<TRegression> cases = {
        // A deletion whose selection change fails to move the dataset left half of the branch.
        {TwoFieldKeySchema(),
         {{TOp::Delete, 173, 748, 8},
          {TOp::MoveDataSet, 874, 561, 0},
          {TOp::ListDelete, 975, 138, 6}}},
        // The list swallowed the tree's failure to follow a chosen item; the tree stayed out of
        // step.
        {TwoFieldKeySchema(),
         {{TOp::ListSelect, 141, 500, 0},
          {TOp::Expand, 794, 161, 0},
          {TOp::DragToEmpty, 753, 310, 0},
          {TOp::ListInsert, 335, 990, 0},
          {TOp::Reload, 599, 287, 0},
          {TOp::Delete, 391, 792, 0},
          {TOp::InsertChild, 675, 750, 0},
          {TOp::InsertChild, 301, 195, 0},
          {TOp::Reload, 382, 43, 0},
          {TOp::ListRename, 718, 884, 4}}},
        // The same, on the one-field key.
        {OneFieldKeySchema(),
         {{TOp::Delete, 80, 559, 0},           {TOp::ListInsert, 79, 72, 0},
          {TOp::InsertFromTable, 62, 512, 0},  {TOp::OtherReparent, 722, 357, 0},
          {TOp::OtherInsert, 769, 453, 0},     {TOp::Delete, 771, 202, 0},
          {TOp::ListInsert, 620, 463, 0},      {TOp::InsertSibling, 191, 894, 0},
          {TOp::InsertRoot, 38, 801, 0},       {TOp::InsertSibling, 425, 892, 0},
          {TOp::OtherInsert, 703, 462, 0},     {TOp::InsertSibling, 235, 763, 0},
          {TOp::InsertRoot, 372, 636, 4},      {TOp::InsertRoot, 51, 638, 5},
          {TOp::InsertFromTable, 858, 366, 0}, {TOp::InsertFromTable, 782, 158, 0},
          {TOp::OtherInsert, 49, 976, 0},      {TOp::InsertSibling, 897, 20, 0},
          {TOp::InsertFromTable, 407, 81, 0},  {TOp::InsertRoot, 531, 153, 0},
          {TOp::InsertChild, 834, 179, 0},     {TOp::ListRename, 421, 520, 2}}},
        // Another program's rename: the tree's re-read showed the caption the dataset had kept.
        {TwoFieldKeySchema(),
         {{TOp::Delete, 266, 222, 0},
          {TOp::Delete, 180, 153, 0},
          {TOp::ListDelete, 906, 837, 9},
          {TOp::Delete, 227, 232, 0},
          {TOp::InsertChild, 25, 663, 7},
          {TOp::Reload, 311, 435, 0},
          {TOp::OtherRename, 598, 357, 4}}},
        // F2 after the chosen item's record was gone renames the item that took the focus.
        {OneFieldKeySchema(),
         {{TOp::Expand, 551, 158, 0},           {TOp::InsertSibling, 881, 230, 0},
          {TOp::InsertRoot, 147, 705, 5},       {TOp::InsertSibling, 399, 362, 3},
          {TOp::OtherRename, 927, 210, 0},      {TOp::ListInsert, 128, 844, 11},
          {TOp::DragOnto, 462, 381, 0},         {TOp::Delete, 701, 488, 0},
          {TOp::ListDelete, 612, 988, 0},       {TOp::Delete, 224, 660, 0},
          {TOp::InsertChild, 865, 486, 0},      {TOp::InsertSibling, 122, 564, 0},
          {TOp::InsertFromTable, 851, 289, 12}, {TOp::ListDelete, 196, 445, 0},
          {TOp::OtherInsert, 668, 383, 0},      {TOp::ListDelete, 51, 604, 0},
          {TOp::OtherReparent, 844, 986, 0},    {TOp::DragToEmpty, 392, 410, 0},
          {TOp::ListInsert, 8, 485, 2},         {TOp::InsertRoot, 852, 837, 10},
          {TOp::Delete, 848, 228, 0},           {TOp::OtherInsert, 54, 550, 0},
          {TOp::OtherDelete, 174, 285, 0},      {TOp::ListDelete, 153, 235, 1},
          {TOp::ListDelete, 422, 689, 0},       {TOp::Delete, 485, 943, 0},
          {TOp::InsertSibling, 947, 656, 0},    {TOp::ListDelete, 741, 784, 0},
          {TOp::InsertChild, 111, 438, 0},      {TOp::Delete, 857, 567, 7},
          {TOp::InsertRoot, 238, 49, 8},        {TOp::InsertRoot, 707, 610, 0},
          {TOp::DragOnto, 527, 163, 0},         {TOp::OtherInsert, 984, 322, 0},
          {TOp::Reload, 762, 289, 0},           {TOp::ListDelete, 401, 520, 0},
          {TOp::ListInsert, 739, 425, 0},       {TOp::InsertChild, 689, 776, 0},
          {TOp::OtherDelete, 548, 986, 5},      {TOp::InsertRoot, 257, 426, 0},
          {TOp::InsertSibling, 743, 682, 0},    {TOp::InsertSibling, 173, 936, 0},
          {TOp::ListRename, 121, 666, 0}}},
        // A look-ahead node shown by an insertion under its parent has no button of its own yet.
        {TwoFieldKeySchema(),
         {{TOp::DragOnto, 935, 678, 0},
          {TOp::InsertChild, 336, 318, 0},
          {TOp::DragOnto, 975, 566, 3},
          {TOp::InsertChild, 25, 663, 7}}},
        // A deletion the tree failed to follow skipped the after-delete handlers.
        {TwoFieldKeySchema(),
         {{TOp::MoveDataSet, 243, 14, 0},
          {TOp::MoveDataSet, 634, 627, 0},
          {TOp::DragToEmpty, 152, 80, 0},
          {TOp::OtherInsert, 678, 31, 0},
          {TOp::Delete, 830, 415, 8}}},
        // A branch without a button is opened again through its parent.
        {OneFieldKeySchema(),
         {{TOp::ListSelect, 166, 292, 0},
          {TOp::Expand, 934, 689, 0},
          {TOp::OtherInsert, 989, 927, 0}}},
        // Nodes added before their parent's whole load keep their places (not index order).
        {TwoFieldKeySchema(),
         {{TOp::InsertChild, 952, 413, 1},
          {TOp::InsertChild, 336, 318, 0},
          {TOp::InsertSibling, 275, 67, 0},
          {TOp::ListSelect, 489, 365, 0}}},
        // A reload that failed part way left a top-level record without a node; the dataset's
        // later move onto it (a deletion of the node before it, or the application's Locate)
        // leaves nothing selected, since the tree reads the top level only in a whole load.
        {TwoFieldKeySchema(),
         {{TOp::OtherDelete, 799, 744, 0},
          {TOp::InsertFromTable, 4, 956, 0},
          {TOp::ListDelete, 960, 200, 0},
          {TOp::OtherInsert, 253, 674, 0},
          {TOp::ListInsert, 624, 787, 0},
          {TOp::InsertFromTable, 88, 0, 0},
          {TOp::OtherDelete, 493, 12, 10},
          {TOp::OtherReparent, 138, 433, 0},
          {TOp::InsertFromTable, 705, 854, 0},
          {TOp::Reload, 223, 988, 3},
          {TOp::Delete, 852, 248, 6}}},
        // The same, on the one-field key.
        {OneFieldKeySchema(),
         {{TOp::InsertSibling, 881, 230, 0},
          {TOp::Delete, 701, 488, 0},
          {TOp::ListDelete, 612, 988, 0},
          {TOp::InsertRoot, 852, 837, 10},
          {TOp::ListDelete, 422, 689, 0},
          {TOp::InsertFromTable, 454, 533, 0},
          {TOp::InsertRoot, 707, 610, 0},
          {TOp::OtherInsert, 984, 322, 0},
          {TOp::InsertSibling, 173, 936, 0},
          {TOp::ListInsert, 552, 412, 0},
          {TOp::InsertSibling, 301, 239, 0},
          {TOp::InsertRoot, 573, 508, 0},
          {TOp::InsertSibling, 449, 120, 0},
          {TOp::ListInsert, 619, 190, 0},
          {TOp::Reload, 953, 996, 7},
          {TOp::MoveDataSet, 410, 999, 0}}},
        // A branch opened again after another program's deletion or move failed; the tree still
        // showed the table as it was before that change.
        {TwoFieldKeySchema(),
         {{TOp::ListInsert, 850, 71, 0},
          {TOp::InsertFromTable, 684, 349, 0},
          {TOp::OtherDelete, 365, 879, 1}}},
        {TwoFieldKeySchema(),
         {{TOp::InsertFromTable, 826, 814, 0},
          {TOp::ListDelete, 848, 143, 0},
          {TOp::OtherInsert, 857, 282, 0},
          {TOp::InsertChild, 164, 493, 0},
          {TOp::OtherInsert, 656, 378, 0},
          {TOp::OtherReparent, 406, 482, 1}}},
    };
    return cases;
}

TEST(RandomOperationsTest, KeptFailingStepListsHoldTheInvariants) {
    for (std::size_t i = 0; i < Regressions().size(); ++i) {
        const TRegression& r = Regressions()[i];
        TRunResult result = RunSteps(r.Schema, r.Steps);
        EXPECT_EQ(result.Failure, "")
            << "case " << i << " (" << r.Schema.Title << "), step " << result.FailedAt;
    }
}

TEST(RandomOperationsTest, OneFieldKeyHoldsTheInvariantsOverTheBudget) {
    RunBudget(OneFieldKeySchema(), 1000);
}

TEST(RandomOperationsTest, TwoFieldKeyHoldsTheInvariantsOverTheBudget) {
    RunBudget(TwoFieldKeySchema(), 2000);
}

// A seed gives the same steps everywhere, so a printed seed can be run again.
TEST(RandomOperationsTest, TheSameSeedGivesTheSameSteps) {
    std::vector<TStep> a = RandomSteps(42, 300), b = RandomSteps(42, 300);
    EXPECT_EQ(StepsText(a), StepsText(b));
    EXPECT_NE(StepsText(a), StepsText(RandomSteps(43, 300)));
    // Every kind of operation is drawn, and some steps meet engine failures.
    std::vector<bool> seen(static_cast<std::size_t>(TOp::Count), false);
    int faults = 0;
    for (const TStep& step : RandomSteps(7, 2000)) {
        seen[static_cast<std::size_t>(step.Op)] = true;
        faults += step.Fault ? 1 : 0;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
    EXPECT_GT(faults, 100);
}

} // namespace
} // namespace orvel::test
