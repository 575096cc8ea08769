// The generated databases, the pair timer, the counting allocator and the input helpers.
#include "bench/BenchSupport.h"

#include "orvel/host/core/Application.h"

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <vector>

namespace orvel::bench {

// ---- the counting allocator -------------------------------------------------------------------

namespace {

// What the allocator really hands out for a block (its usable size), so that the count shows
// the memory a structure occupies, rounding included. Counting is switched on only around the
// runs that measure memory, so that timed runs pay nothing for it; a count is therefore only
// meaningful as a difference taken while counting is on (a block freed then counts, wherever it
// came from).
std::atomic<int64_t> gLiveBytes{0};
std::atomic<int> gCounting{0};

void* CountedAlloc(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    if (gCounting.load(std::memory_order_relaxed))
        gLiveBytes.fetch_add(static_cast<int64_t>(malloc_usable_size(p)),
                             std::memory_order_relaxed);
    return p;
}

void CountedFree(void* p) noexcept {
    if (!p) return;
    if (gCounting.load(std::memory_order_relaxed))
        gLiveBytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)),
                             std::memory_order_relaxed);
    std::free(p);
}

} // namespace

TCountedHeap::TCountedHeap() {
    gCounting.fetch_add(1, std::memory_order_relaxed);
}

TCountedHeap::~TCountedHeap() {
    gCounting.fetch_sub(1, std::memory_order_relaxed);
}

int64_t LiveHeapBytes() {
    return gLiveBytes.load(std::memory_order_relaxed);
}

int64_t HeapBytesOf(const std::string& text) {
    // A text that fits the string object itself takes no heap block.
    const std::string empty;
    if (text.capacity() <= empty.capacity()) return 0;
    return static_cast<int64_t>(text.capacity()) + 1;
}

// ---- databases --------------------------------------------------------------------------------

std::string UnitName(int64_t id) {
    return "Unit " + std::to_string(id);
}

namespace {

// The folder named by ORVEL_BENCH_DIR is made when it does not exist yet; one that cannot be made
// stops the run with its reason instead of an exception no one catches.
std::string BenchDir() {
    const char* dir = std::getenv("ORVEL_BENCH_DIR");
    if (!dir || !*dir) return std::filesystem::temp_directory_path().string();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "ORVEL_BENCH_DIR '%s' is not a folder that can be made: %s\n", dir,
                     ec ? ec.message().c_str() : "a file of that name is in the way");
        std::exit(2);
    }
    return dir;
}

// Builds the file under a temporary name and renames it when complete, so an interrupted run
// never leaves a half-made database that a later run would take for finished.
std::string Cached(const std::string& name, const std::function<void(TSqlConnection&)>& fill) {
    std::string path = (std::filesystem::path(BenchDir()) / name).string();
    if (std::filesystem::exists(path)) return path;
    std::string building = path + ".building";
    std::filesystem::remove(building);
    {
        auto db = OpenSqliteConnection(building);
        db->Execute("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
        fill(*db);
    }
    std::filesystem::rename(building, path);
    return path;
}

constexpr const char* kOrganizationTable =
    "CREATE TABLE ORGANIZATION (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME VARCHAR(60), "
    "STATUS_ID INTEGER, IMAGE_ID INTEGER)";

// Rows of ORGANIZATION, written in one transaction.
class TOrganizationWriter {
public:
    explicit TOrganizationWriter(TSqlConnection& db) : FDb(db) {
        FDb.Execute(kOrganizationTable);
        FDb.Execute("BEGIN");
        FInsert = FDb.Prepare("INSERT INTO ORGANIZATION VALUES (?, ?, ?, ?, ?)");
    }
    void Add(int64_t id, int64_t parent) {
        FInsert->BindInt64(0, id);
        if (parent == 0)
            FInsert->BindNull(1);
        else
            FInsert->BindInt64(1, parent);
        FInsert->BindText(2, UnitName(id));
        FInsert->BindInt64(3, id % 4);
        FInsert->BindInt64(4, id % 16);
        FInsert->Step();
        FInsert->Reset();
    }
    void Finish() {
        FInsert.reset();
        FDb.Execute("COMMIT; CREATE INDEX ORGANIZATION_PARENT ON ORGANIZATION (PARENT_ID)");
    }

private:
    TSqlConnection& FDb;
    std::unique_ptr<TSqlStatement> FInsert;
};

constexpr int kWideCounts[3] = {1000, 10000, 100000};

} // namespace

const std::string& OrganizationFile() {
    static const std::string file =
        Cached("orvel-bench-organization-n" + std::to_string(kOrgRecords) + "-f" +
                   std::to_string(kOrgFanOut) + "-v2.db",
               [](TSqlConnection& db) {
                   TOrganizationWriter writer(db);
                   for (int i = 1; i <= kOrgRecords; ++i)
                       writer.Add(i, (i - 1) / kOrgFanOut);
                   writer.Finish();
               });
    return file;
}

int WideTopOf(int count) {
    for (int i = 0; i < 3; ++i)
        if (kWideCounts[i] == count) return i + 1;
    return 0;
}

int WideParentOf(int count) {
    int top = WideTopOf(count);
    return top == 0 ? 0 : top + 3;
}

const std::string& WideFile() {
    static const std::string file =
        Cached("orvel-bench-wide-1k-10k-100k-g" + std::to_string(kWideGrandChildren) + "-v2.db",
               [](TSqlConnection& db) {
                   TOrganizationWriter writer(db);
                   for (int top = 1; top <= 3; ++top)
                       writer.Add(top, 0);
                   for (int top = 1; top <= 3; ++top)
                       writer.Add(top + 3, top);
                   int64_t next = 7;
                   std::vector<int64_t> children;
                   for (int top = 1; top <= 3; ++top)
                       for (int i = 0; i < kWideCounts[top - 1]; ++i) {
                           children.push_back(next);
                           writer.Add(next++, top + 3);
                       }
                   for (int64_t child : children)
                       for (int g = 0; g < kWideGrandChildren; ++g)
                           writer.Add(next++, child);
                   writer.Finish();
               });
    return file;
}

const std::string& InventoryFile() {
    static const std::string file = Cached(
        "orvel-bench-inventory-n" + std::to_string(kInventoryRecords) + "-v1.db",
        [](TSqlConnection& db) {
            db.Execute("CREATE TABLE INVENTORY (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), CODE "
                       "VARCHAR(12), LOCATION VARCHAR(20), QUANTITY INTEGER, STATUS_ID INTEGER, "
                       "IMAGE_ID INTEGER); BEGIN");
            auto insert = db.Prepare("INSERT INTO INVENTORY VALUES (?, ?, ?, ?, ?, ?, ?)");
            for (int i = 1; i <= kInventoryRecords; ++i) {
                insert->BindInt64(0, i);
                insert->BindText(1, UnitName(i));
                insert->BindText(2, "C-" + std::to_string(i * 7919 % 100003));
                insert->BindText(3, "Room " + std::to_string(i % 997));
                insert->BindInt64(4, i % 250);
                insert->BindInt64(5, i % 3);
                insert->BindInt64(6, i % 8);
                insert->Step();
                insert->Reset();
            }
            insert.reset();
            db.Execute("COMMIT");
        });
    return file;
}

// ---- timing -----------------------------------------------------------------------------------

double Seconds(TClock::time_point a, TClock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void TPairTimer::Report() {
    double n = static_cast<double>(FState.iterations());
    if (n <= 0) return;
    FState.counters["ours_ms"] = benchmark::Counter(FOurTime * 1e3 / n);
    FState.counters["raw_ms"] = benchmark::Counter(FRawTime * 1e3 / n);
    FState.counters["ratio"] = benchmark::Counter(FRawTime > 0 ? FOurTime / FRawTime : 0);
    if (FPeerRuns > 0) {
        double peer = FPeerTime / FPeerRuns;
        FState.counters["qt_ms"] = benchmark::Counter(peer * 1e3);
        FState.counters["vs_qt"] = benchmark::Counter(peer > 0 ? FOurTime / n / peer : 0);
    }
}

int64_t MallocInUse() {
    return static_cast<int64_t>(mallinfo2().uordblks);
}

// ---- the application --------------------------------------------------------------------------

TBenchForm::TBenchForm() : FForm(new TForm(nullptr)) {
    FForm->SetBounds(0, 0, 640, 480);
    FForm->Show();
}

TBenchForm::~TBenchForm() {
    FForm->Free();
}

TBenchWorld::TBenchWorld(const std::string& file, const std::string& table,
                         const std::string& index) {
    FDb.SetDatabaseName(file);
    FDb.Open();
    Table = new TTable(&FForm.Form());
    Table->SetDatabase(&FDb);
    Table->SetTableName(table);
    if (!index.empty()) Table->SetIndexFieldNames(index);
    Table->Open();
    Source = new TDataSource(&FForm.Form());
    Source->SetDataSet(Table);
}

TSqlStatement& TBenchWorld::Raw(const std::string& sql) {
    auto& slot = FRaw[sql];
    if (!slot) slot = FDb.Connection().Prepare(sql);
    return *slot;
}

void RunMessages(benchmark::State& state) {
    Application().ProcessMessages();
    if (!Application().ShownErrors.empty()) {
        state.SkipWithError(("the message loop showed: " + Application().ShownErrors[0]).c_str());
        Application().ShownErrors.clear();
    }
}

namespace {

TWinControl* WindowOf(TControl* control) {
    if (!control) return nullptr;
    if (auto* window = dynamic_cast<TWinControl*>(control)) return window;
    return control->Parent();
}

WPARAM gButtons = 0;

void SendMouse(TControl& control, TPoint point, UINT msg) {
    TPoint screen = control.ClientToScreen(point);
    Mouse().SetCursorPos(screen);
    TWinControl* window = FindControl(Application().Capture());
    if (!window && Mouse().CaptureControl()) window = WindowOf(Mouse().CaptureControl());
    if (!window) window = WindowOf(FindDragTarget(screen, true));
    if (!window) window = WindowOf(&control);
    if (!window || !window->HandleAllocated()) return;
    TPoint p = window->ScreenToClient(screen);
    try {
        Application().SendMessage(window->Handle(), msg, gButtons, MakeLParam(p.X, p.Y));
    } catch (...) {
        Application().HandleException();
    }
}

} // namespace

void MouseDown(TControl& control, TPoint point) {
    gButtons |= MK_LBUTTON;
    SendMouse(control, point, WM_LBUTTONDOWN);
}

void MouseMove(TControl& control, TPoint point) {
    SendMouse(control, point, WM_MOUSEMOVE);
}

void MouseUp(TControl& control, TPoint point) {
    gButtons &= ~static_cast<WPARAM>(MK_LBUTTON);
    SendMouse(control, point, WM_LBUTTONUP);
}

TPoint CenterOf(const TRect& rect) {
    return {(rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2};
}

} // namespace orvel::bench

// The benchmark executable's own operator new and delete count the live bytes.
void* operator new(std::size_t size) {
    return orvel::bench::CountedAlloc(size);
}
void* operator new[](std::size_t size) {
    return orvel::bench::CountedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return orvel::bench::CountedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return orvel::bench::CountedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    orvel::bench::CountedFree(p);
}
void operator delete[](void* p) noexcept {
    orvel::bench::CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    orvel::bench::CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    orvel::bench::CountedFree(p);
}
