// The random-operations checker: seeded lists of what users and another program do to a tree view
// and a list view sharing one self-referencing table, run on a world made afresh, with the
// database (read over a connection of its own) as the oracle after every step. A step is a few
// numbers interpreted against the world as it stands, so any sub-list of a step list is itself a
// valid run: that is what lets a failing run be reduced to the steps that matter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvel::test {

// The table a run works on: its key and parent-reference fields (pairwise), the index the tree
// reads it by and the tree's root expression.
struct TCheckSchema {
    std::string Title;
    std::string Table;
    std::string Index;
    std::vector<std::string> Keys;
    std::vector<std::string> Parents;
    std::string Root;
    bool MakeUnits = false; // the table is made on demand by the fixture
};
// ORGANIZATION: a one-field key, top-level records with a null parent.
const TCheckSchema& OneFieldKeySchema();
// UNITS: a two-field key, top-level records with two null owner fields.
const TCheckSchema& TwoFieldKeySchema();

enum class TOp : uint8_t {
    // the user, in the tree
    Select,
    Expand,
    Collapse,
    Rename,
    InsertChild,
    InsertSibling,
    InsertRoot,
    InsertFromTable,
    DragOnto,
    DragToEmpty,
    Delete,
    MoveDataSet,
    Reload,
    ReloadBranch,
    // the user, in the list
    ListSelect,
    ListRename,
    ListInsert,
    ListDelete,
    // another program, behind the views' backs
    OtherInsert,
    OtherDelete,
    OtherRename,
    OtherReparent,
    Count
};

struct TStep {
    TOp Op = TOp::Select;
    uint32_t A = 0;     // chooses the node, item or record the step acts on
    uint32_t B = 0;     // chooses a second one, or the way the step is done
    uint32_t Fault = 0; // the engine call of the step that fails (0: none fails)
};

// A step as a C++ initializer ("{TOp::Rename, 3, 1, 0}"), so a printed list can be pasted into
// the regression cases; a list of them separated by ",\n".
std::string StepText(const TStep& step);
std::string StepsText(const std::vector<TStep>& steps);

// The steps a seed gives (the same on every machine).
std::vector<TStep> RandomSteps(uint64_t seed, int count);

// What a run did, for the figures printed at the end.
struct TRunFigures {
    int Steps = 0;
    int Faults = 0; // steps in which an injected engine failure fired
    int Errors = 0; // steps that ended with an error reported to the user or the caller
};

struct TRunResult {
    std::string Failure;      // empty when every invariant held after every step
    std::size_t FailedAt = 0; // index of the step after which it did not
};

// Runs the steps on a fresh world, checking the invariants after each; stops at the first
// failure.
TRunResult RunSteps(const TCheckSchema& schema, const std::vector<TStep>& steps,
                    TRunFigures* figures = nullptr);

// The shortest list the failing steps reduce to by dropping steps (whole chunks first, then one
// at a time) while the run still fails; at most maxRuns runs are spent.
std::vector<TStep> ReduceSteps(const TCheckSchema& schema, std::vector<TStep> steps,
                               int maxRuns = 400);

} // namespace orvel::test
