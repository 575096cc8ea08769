// The tree and the list over PostgreSQL (the server ORVEL_PG names; ./run bench starts one), each
// scenario run as an application runs it and timed beside the least libpq work that gives the
// same answer, with the round trips both made:
// - P1 tree fill: activation of a tree over 1,000,000 records until the current node is selected;
// - P2 tree reveal: the dataset moved to a record six levels down, until its node is selected;
// - P3 tree expand: a node of 1,000 and of 10,000 children, one child of each read ahead;
// - P5 list load: 100,000 records, each an item with caption, images and three columns.
// The tree scenarios run twice: with the children's ranges read ahead in one statement (the
// default) and with every range read by itself (look_ahead=0), the way it was before.
// The data are those of the SQLite scenarios, made by the server itself in a schema per table
// set and kept there while the server lives.
#include "bench/BenchSupport.h"
#include "bench/TreeWorld.h"

#include "orvel/host/core/Application.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <libpq-fe.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace orvel;
using namespace orvel::bench;

namespace {

// ---- the server and its data --------------------------------------------------------------------

// One libpq connection for the raw work: statements prepared once, each run one round trip.
class TRawPg {
public:
    explicit TRawPg(const std::string& conninfo) : FConn(PQconnectdb(conninfo.c_str())) {
        if (PQstatus(FConn) != CONNECTION_OK)
            throw std::runtime_error(std::string("cannot connect: ") + PQerrorMessage(FConn));
    }
    ~TRawPg() { PQfinish(FConn); }
    TRawPg(const TRawPg&) = delete;
    TRawPg& operator=(const TRawPg&) = delete;

    void Execute(const std::string& sql) {
        PGresult* r = PQexec(FConn, sql.c_str());
        bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        std::string message = ok ? "" : PQresultErrorMessage(r);
        PQclear(r);
        if (!ok) throw std::runtime_error(message);
    }
    bool Exists(const std::string& table) {
        PGresult* r = PQexec(FConn, ("SELECT to_regclass('" + table + "') IS NOT NULL").c_str());
        bool yes = PQntuples(r) == 1 && PQgetvalue(r, 0, 0)[0] == 't';
        PQclear(r);
        return yes;
    }
    // The first cell of a statement's one row, as text.
    std::string Text(const std::string& sql) {
        PGresult* r = PQexec(FConn, sql.c_str());
        bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
        std::string value = ok ? PQgetvalue(r, 0, 0) : PQresultErrorMessage(r);
        PQclear(r);
        if (!ok) throw std::runtime_error(value);
        return value;
    }
    void Prepare(const std::string& name, const std::string& sql) {
        PGresult* r = PQprepare(FConn, name.c_str(), sql.c_str(), 0, nullptr);
        bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        std::string message = ok ? "" : PQresultErrorMessage(r);
        PQclear(r);
        if (!ok) throw std::runtime_error(message);
    }
    // Runs a prepared statement with text parameters; the caller clears the result.
    PGresult* Run(const std::string& name, const std::vector<std::string>& params = {}) {
        std::vector<const char*> values;
        for (const std::string& p : params)
            values.push_back(p.c_str());
        ++RoundTrips;
        return PQexecPrepared(FConn, name.c_str(), static_cast<int>(values.size()), values.data(),
                              nullptr, nullptr, 0);
    }

    int64_t RoundTrips = 0;

private:
    PGconn* FConn;
};

int64_t IntAt(const PGresult* r, int row, int column) {
    return std::strtoll(PQgetvalue(r, row, column), nullptr, 10);
}
bool NullAt(const PGresult* r, int row, int column) {
    return PQgetisnull(r, row, column) != 0;
}
int64_t LengthAt(const PGresult* r, int row, int column) {
    return PQgetlength(r, row, column);
}

const char* Server() {
    const char* pg = std::getenv("ORVEL_PG");
    return pg && *pg ? pg : nullptr;
}

// The connection string that reaches a schema of the server.
std::string SchemaConnection(const std::string& schema) {
    return std::string(Server()) + " options='-csearch_path=" + schema + "'";
}

constexpr const char* kOrganizationDdl =
    "CREATE TABLE organization (id INTEGER PRIMARY KEY, parent_id INTEGER, name VARCHAR(60), "
    "status_id INTEGER, image_id INTEGER)";
constexpr const char* kOrganizationIndex =
    "CREATE INDEX organization_parent ON organization (parent_id NULLS FIRST, id)";
constexpr const char* kOrganizationColumns =
    "'Unit ' || id, (id % 4)::int, (id % 16)::int FROM (SELECT ";

// The tables of a schema whose visibility map leaves pages unmarked (relallvisible under
// relpages), as "name: visible of pages" items; empty when every table is all visible.
std::string PagesNotAllVisible(TRawPg& raw, const std::string& schema) {
    return raw.Text("SELECT coalesce(string_agg(c.relname || ': ' || c.relallvisible || ' of ' || "
                    "c.relpages, ', '), '') FROM pg_class c WHERE c.relnamespace = '" +
                    schema +
                    "'::regnamespace AND c.relkind = 'r' AND c.relallvisible < c.relpages");
}

// VACUUM ANALYZE, repeated until every page of the schema's tables is marked all visible: a
// vacuum that ran while another session held an older snapshot leaves pages unmarked, and the
// raw side's index-only probes would then read the heap in every timed run. Gives up, naming the
// tables, rather than time an unequal comparison.
void VacuumUntilAllVisible(TRawPg& raw, const std::string& schema) {
    constexpr int attempts = 5;
    std::string unmarked;
    for (int i = 0; i < attempts; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::seconds(1));
        raw.Execute("VACUUM ANALYZE");
        unmarked = PagesNotAllVisible(raw, schema);
        if (unmarked.empty()) return;
    }
    throw std::runtime_error("VACUUM left pages of " + schema + " not all visible (" + unmarked +
                             "): another session holds an old snapshot; end it and run again");
}

// Makes a schema once: its tables filled by the server (the records of the SQLite files), then
// analysed; a table "ready" marks it finished.
std::string Schema(const std::string& name, const std::vector<std::string>& fill) {
    TRawPg raw(Server());
    if (!raw.Exists(name + ".ready")) {
        raw.Execute("DROP SCHEMA IF EXISTS " + name + " CASCADE; CREATE SCHEMA " + name +
                    "; SET search_path = " + name);
        for (const std::string& sql : fill)
            raw.Execute(sql);
        // Vacuumed as well as analysed, so that every run finds the visibility map set as the
        // server's own vacuum would leave it (index-only scans then skip the heap), not only
        // the runs that come after it.
        VacuumUntilAllVisible(raw, name);
        raw.Execute("CREATE TABLE ready (done INTEGER)");
    }
    return SchemaConnection(name);
}

// ORGANIZATION of the fill and reveal scenarios: record i is a child of (i - 1) / fan-out.
const std::string& OrganizationServer() {
    static const std::string conninfo = Schema(
        "orvel_bench_org", {kOrganizationDdl,
                            "INSERT INTO organization SELECT id, NULLIF((id - 1) / " +
                                std::to_string(kOrgFanOut) + ", 0), " + kOrganizationColumns +
                                "generate_series(1, " + std::to_string(kOrgRecords) + ") id) s",
                            kOrganizationIndex});
    return conninfo;
}

// ORGANIZATION of the expand scenarios, as WideFile: three top-level records, one child each,
// whose children number 1,000, 10,000 and 100,000, each with two children.
const std::string& WideServer() {
    constexpr int children = 111000;
    static const std::string conninfo = Schema(
        "orvel_bench_wide",
        {kOrganizationDdl,
         "INSERT INTO organization VALUES (1, NULL, 'Unit 1', 1, 1), (2, NULL, 'Unit 2', 2, 2), "
         "(3, NULL, 'Unit 3', 3, 3), (4, 1, 'Unit 4', 0, 4), (5, 2, 'Unit 5', 1, 5), "
         "(6, 3, 'Unit 6', 2, 6)",
         std::string("INSERT INTO organization SELECT id, CASE WHEN id < 1007 THEN 4 WHEN id < "
                     "11007 THEN 5 ELSE 6 END, ") +
             kOrganizationColumns + "generate_series(7, " + std::to_string(children + 6) +
             ") id) s",
         std::string("INSERT INTO organization SELECT id, 7 + (id - 7 - ") +
             std::to_string(children) + ") / " + std::to_string(kWideGrandChildren) + ", " +
             kOrganizationColumns + "generate_series(" + std::to_string(7 + children) + ", " +
             std::to_string(6 + children * (1 + kWideGrandChildren)) + ") id) s",
         kOrganizationIndex});
    return conninfo;
}

// INVENTORY of the list scenario, as InventoryFile.
const std::string& InventoryServer() {
    static const std::string conninfo = Schema(
        "orvel_bench_inventory",
        {"CREATE TABLE inventory (id INTEGER PRIMARY KEY, name VARCHAR(40), code VARCHAR(12), "
         "location VARCHAR(20), quantity INTEGER, status_id INTEGER, image_id INTEGER)",
         "INSERT INTO inventory SELECT i, 'Unit ' || i, 'C-' || (i::int8 * 7919 % 100003), "
         "'Room ' || (i % 997), i % 250, i % 3, i % 8 FROM generate_series(1, " +
             std::to_string(kInventoryRecords) + ") i"});
    return conninfo;
}

// Stops a scenario that has no server to run on; true when it may run.
bool HasServer(benchmark::State& state) {
    if (Server()) return true;
    state.SkipWithError("ORVEL_PG names no PostgreSQL server (./run bench starts one)");
    for (auto _ : state) {
    }
    return false;
}

int64_t RoundTripsOf(TBenchWorld& w) {
    return w.Table->GetDatabase()->Connection().RoundTrips();
}

// The round trips per iteration, ours and raw.
void SetRoundTrips(benchmark::State& state, int64_t ours, int64_t raw) {
    double n = static_cast<double>(state.iterations());
    if (n <= 0) return;
    state.counters["rt_ours"] = static_cast<double>(ours) / n;
    state.counters["rt_raw"] = static_cast<double>(raw) / n;
}

// ---- the tree -----------------------------------------------------------------------------------

// The tree over the server, with the raw work's own connection; look-ahead off reads every
// range by itself, as before ranges were read ahead.
class TPgTreeWorld : public TTreeWorld {
public:
    TPgTreeWorld(const std::string& conninfo, bool lookAhead)
        : TTreeWorld(conninfo), Raw(conninfo) {
        Table->SetLookAheadMode(lookAhead ? laAuto : laOff);
    }

    TDBTreeView& NewTree() { return TTreeWorld::NewTree(lsOneAhead); }

    TRawPg Raw;
};

int64_t LevelSum(const TTreeNode* first) {
    int64_t sum = 0;
    for (const TTreeNode* c = first; c; c = c->GetNextSibling())
        sum += Shown(c);
    return sum;
}

// The same of the rows of a level statement: ID, NAME, STATUS_ID, IMAGE_ID and whether there is
// a first child (its key not Null). The first child's own columns are read as well, as the tree
// reads them for the node it makes of that child, but, as in the SQLite scenarios, only its being
// there is in the answer.
int64_t ShownRows(const PGresult* r) {
    int64_t sum = 0;
    for (int i = 0; i < PQntuples(r); ++i) {
        bool hasChild = !NullAt(r, i, 4);
        sum += IntAt(r, i, 0) + LengthAt(r, i, 1) + IntAt(r, i, 2) + IntAt(r, i, 3) +
               (hasChild ? 1 : 0);
        if (hasChild) {
            int64_t child = IntAt(r, i, 4) + LengthAt(r, i, 5) + IntAt(r, i, 6) + IntAt(r, i, 7);
            benchmark::DoNotOptimize(child);
        }
    }
    return sum;
}

// The children of parents with the first child of each, in one statement: what the tree needs of
// a level (the first child's row too, for the node made of it).
const std::string kLevel =
    "SELECT p.id, p.name, p.status_id, p.image_id, c.id, c.name, c.status_id, c.image_id "
    "FROM organization p LEFT JOIN LATERAL (SELECT id, name, status_id, image_id FROM "
    "organization WHERE parent_id = p.id ORDER BY id LIMIT 1) c ON TRUE ";

void BM_PgTreeFill(benchmark::State& state) {
    if (!HasServer(state)) return;
    TPgTreeWorld w(OrganizationServer(), state.range(0) != 0);
    w.Raw.Prepare("top", kLevel + "WHERE p.parent_id IS NULL ORDER BY p.id");
    TPairTimer timer(state);
    int64_t ours = 0;
    w.Raw.RoundTrips = 0;
    for (auto _ : state) {
        w.Table->First();
        TDBTreeView& tree = w.NewTree();
        timer.Run(
            [&] {
                PGresult* r = w.Raw.Run("top");
                int64_t sum = ShownRows(r) + 1; // the first top-level record is selected
                PQclear(r);
                return sum;
            },
            [&] {
                int64_t before = RoundTripsOf(w);
                w.Bind(state);
                ours += RoundTripsOf(w) - before;
                int64_t selected = tree.Selected() ? IdOf(tree.Selected()) : -1;
                return LevelSum(tree.Items()->GetFirstNode()) + selected;
            });
    }
    timer.Report();
    SetRoundTrips(state, ours, w.Raw.RoundTrips);
}
BENCHMARK(BM_PgTreeFill)
    ->Name("P1 pg tree fill, 1M records")
    ->ArgName("look_ahead")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

int64_t RevealedSum(const TDBTreeView& tree) {
    const TTreeNode* selected = tree.Selected();
    if (!selected) return -1;
    int64_t sum = IdOf(selected);
    for (const TTreeNode* p = selected->Parent(); p; p = p->Parent())
        sum += LevelSum(p->GetFirstChild());
    return sum;
}

void BM_PgTreeReveal(benchmark::State& state) {
    if (!HasServer(state)) return;
    TPgTreeWorld w(OrganizationServer(), state.range(0) != 0);
    // The target's ancestors up to its top-level one, and the children of each with the first
    // child of each of those.
    w.Raw.Prepare("reveal", "WITH RECURSIVE up(id) AS (SELECT parent_id FROM organization WHERE "
                            "id = $1::int UNION ALL SELECT o.parent_id FROM organization o JOIN up "
                            "ON o.id = up.id WHERE o.parent_id IS NOT NULL) " +
                                kLevel + "JOIN up ON p.parent_id = up.id");
    TPairTimer timer(state);
    uint64_t seed = 2024;
    int64_t ours = 0;
    w.Raw.RoundTrips = 0;
    for (auto _ : state) {
        w.Table->First();
        TDBTreeView& tree = w.NewTree();
        w.Bind(state);
        int32_t target = NextLevelSixRecord(seed);
        timer.Run(
            [&] {
                PGresult* r = w.Raw.Run("reveal", {std::to_string(target)});
                int64_t sum = target + ShownRows(r);
                PQclear(r);
                return sum;
            },
            [&] {
                int64_t before = RoundTripsOf(w);
                w.Table->Locate("ID", Variant(target));
                RunMessages(state);
                ours += RoundTripsOf(w) - before;
                return RevealedSum(tree);
            });
    }
    timer.Report();
    SetRoundTrips(state, ours, w.Raw.RoundTrips);
}
BENCHMARK(BM_PgTreeReveal)
    ->Name("P2 pg tree reveal, 6 levels down")
    ->ArgName("look_ahead")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

// Expands the node of a record with count children, one ahead, by the Right key.
void BM_PgTreeExpand(benchmark::State& state) {
    if (!HasServer(state)) return;
    int count = static_cast<int>(state.range(0));
    TPgTreeWorld w(WideServer(), state.range(1) != 0);
    w.Raw.Prepare("children", kLevel + "WHERE p.parent_id = $1::int ORDER BY p.id");
    TPairTimer timer(state);
    auto fresh = [&]() -> TDBTreeNode* {
        w.Table->First();
        TDBTreeView& tree = w.NewTree();
        w.Bind(state);
        NodeOf(tree, WideTopOf(count))->Expand(false);
        TDBTreeNode* parent = NodeOf(tree, WideParentOf(count));
        tree.SetSelected(parent);
        RunMessages(state);
        return parent;
    };
    // One untimed expand and one untimed raw statement first, so that both sessions have
    // planned their statement and read the pages before the timed runs: with five runs a cold
    // first one would otherwise weigh on whichever side happened to meet it.
    fresh();
    SendMessage(w.Tree->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessage(w.Tree->Handle(), WM_KEYUP, VK_RIGHT, 0);
    RunMessages(state);
    PQclear(w.Raw.Run("children", {std::to_string(WideParentOf(count))}));
    int64_t ours = 0;
    w.Raw.RoundTrips = 0;
    for (auto _ : state) {
        TDBTreeNode* parent = fresh();
        timer.Run(
            [&] {
                PGresult* r = w.Raw.Run("children", {std::to_string(WideParentOf(count))});
                int64_t sum = ShownRows(r);
                PQclear(r);
                return sum;
            },
            [&] {
                int64_t before = RoundTripsOf(w);
                SendMessage(w.Tree->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
                SendMessage(w.Tree->Handle(), WM_KEYUP, VK_RIGHT, 0);
                RunMessages(state);
                ours += RoundTripsOf(w) - before;
                return parent->Expanded() ? LevelSum(parent->GetFirstChild()) : -1;
            });
    }
    timer.Report();
    SetRoundTrips(state, ours, w.Raw.RoundTrips);
}
// With the look-ahead each size is timed for about the same while, long enough that one hiccup
// of the machine or the server does not decide its ratio; without it an expand takes a round
// trip per child, and a few runs show what that costs.
void PgExpandScenario(benchmark::internal::Benchmark* b, int children, int lookAhead, int runs) {
    b->Name("P3 pg tree expand, one ahead")
        ->ArgNames({"children", "look_ahead"})
        ->Args({children, lookAhead})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(runs);
}
BENCHMARK(BM_PgTreeExpand)->Apply([](auto* b) { PgExpandScenario(b, 1000, 1, 40); });
BENCHMARK(BM_PgTreeExpand)->Apply([](auto* b) { PgExpandScenario(b, 1000, 0, 5); });
BENCHMARK(BM_PgTreeExpand)->Apply([](auto* b) { PgExpandScenario(b, 10000, 1, 15); });
BENCHMARK(BM_PgTreeExpand)->Apply([](auto* b) { PgExpandScenario(b, 10000, 0, 5); });

// ---- the list -----------------------------------------------------------------------------------

void BM_PgListLoad(benchmark::State& state) {
    if (!HasServer(state)) return;
    const std::string& conninfo = InventoryServer();
    TBenchWorld w(conninfo, "INVENTORY", "");
    TRawPg raw(conninfo);
    raw.Prepare("all", "SELECT id, name, status_id, image_id, code, location, quantity FROM "
                       "inventory ORDER BY id");
    TPairTimer timer(state);
    TDBListView* list = nullptr;
    // A fresh list on the table's first record, set up to show the three columns.
    auto fresh = [&] {
        w.Table->First();
        if (list) list->Free();
        list = &w.Form().Place<TDBListView>(320, 0, 300, 460);
        list->SetViewStyle(vsReport);
        list->SetKeyFields("ID");
        list->SetNameField("NAME");
        list->SetStatusIDField("STATUS_ID");
        list->SetImageIDField("IMAGE_ID");
        list->SetColumnsFields("CODE;LOCATION;QUANTITY");
    };
    auto rawLoad = [&] {
        PGresult* r = raw.Run("all");
        int64_t sum = 0;
        for (int i = 0; i < PQntuples(r); ++i)
            sum += IntAt(r, i, 0) + LengthAt(r, i, 1) + IntAt(r, i, 2) + IntAt(r, i, 3) +
                   LengthAt(r, i, 4) + LengthAt(r, i, 5) + LengthAt(r, i, 6);
        PQclear(r);
        return sum;
    };
    auto load = [&] {
        list->SetDataSource(w.Source);
        RunMessages(state);
    };
    // One untimed load and one untimed raw statement first, as for the expand: the first run of
    // a session plans its statement and reads the table's pages for both.
    fresh();
    load();
    rawLoad();
    int64_t ours = 0;
    raw.RoundTrips = 0;
    for (auto _ : state) {
        fresh();
        timer.Run(rawLoad, [&] {
            int64_t before = RoundTripsOf(w);
            load();
            ours += RoundTripsOf(w) - before;
            int64_t sum = 0;
            for (int i = 0; i < list->Items()->Count(); ++i) {
                const TListItem* item = list->Items()->Item(i);
                sum += static_cast<const TDBListItem*>(item)->KeyElement(0).AsInt64() +
                       static_cast<int64_t>(item->Caption().size()) + item->StateIndex() +
                       item->ImageIndex();
                for (int k = 0; k < item->SubItems()->Count(); ++k)
                    sum += static_cast<int64_t>(item->SubItems()->Get(k).size());
            }
            return sum;
        });
    }
    if (list) list->Free();
    timer.Report();
    SetRoundTrips(state, ours, raw.RoundTrips);
}
BENCHMARK(BM_PgListLoad)
    ->Name("P5 pg list load, 100k records")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace
