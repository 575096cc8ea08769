// What the benchmark scenarios share: the generated databases (made once and kept, keyed by
// their parameters), the pair timer that measures the components beside the raw statements of
// the engine, the count of live heap bytes (a counting allocator replaces the global operator
// new), a shown form to place views on, and mouse input as the message loop delivers it.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace orvel::bench {

// ---- databases ------------------------------------------------------------------------------

// ORGANIZATION (ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID), indexed on PARENT_ID. Record i (from
// 1) is a child of record (i - 1) / FanOut; records 1..FanOut are top-level (null parent).
inline constexpr int kOrgRecords = 1000000;
inline constexpr int kOrgFanOut = 10;
const std::string& OrganizationFile();

// The same table with three top-level records (1, 2, 3), each with one child (4, 5, 6) whose
// own children number 1,000, 10,000 and 100,000; every one of those has kWideGrandChildren
// children.
inline constexpr int kWideGrandChildren = 2;
const std::string& WideFile();
// The record whose children number count (1,000, 10,000 or 100,000), and its top-level parent.
int WideParentOf(int count);
int WideTopOf(int count);

// INVENTORY (ID, NAME, CODE, LOCATION, QUANTITY, STATUS_ID, IMAGE_ID) of kInventoryRecords records.
inline constexpr int kInventoryRecords = 100000;
const std::string& InventoryFile();

// The caption every generated record carries: "Unit <id>".
std::string UnitName(int64_t id);

// ---- timing ---------------------------------------------------------------------------------

using TClock = std::chrono::steady_clock;
double Seconds(TClock::time_point a, TClock::time_point b);

// Times the raw work and the component's work of one iteration, in turns first and second so
// that neither always finds the engine's pages warmed by the other; both must give the same
// answer (a checksum of what they read or show).
class TPairTimer {
public:
    explicit TPairTimer(benchmark::State& state) : FState(state) {}

    template <class Raw, class Ours> void Run(Raw&& raw, Ours&& ours) {
        int64_t rawSum = 0, sum = 0;
        double r = 0, o = 0;
        if (FRawFirst) {
            r = Timed(raw, rawSum);
            o = Timed(ours, sum);
        } else {
            o = Timed(ours, sum);
            r = Timed(raw, rawSum);
        }
        FRawFirst = !FRawFirst;
        if (sum != rawSum && !FFailed) {
            FFailed = true;
            FState.SkipWithError(("the component and the raw statements disagree: " +
                                  std::to_string(sum) + " against " + std::to_string(rawSum))
                                     .c_str());
        }
        FRawTime += r;
        FOurTime += o;
        FLastSum = sum;
        FState.SetIterationTime(o);
    }

    // Times a peer toolkit doing the same job after the last Run; it must give the answer the
    // component gave there. Report then adds its time (qt_ms) and our ratio to it (vs_qt).
    template <class Peer> void RunPeer(Peer&& peer) {
        int64_t sum = 0;
        double p = Timed(peer, sum);
        if (sum != FLastSum && !FFailed) {
            FFailed = true;
            FState.SkipWithError(("the component and the peer toolkit disagree: " +
                                  std::to_string(FLastSum) + " against " + std::to_string(sum))
                                     .c_str());
        }
        FPeerTime += p;
        ++FPeerRuns;
    }

    // Sets the counters ours_ms, raw_ms (per iteration) and ratio, and qt_ms and vs_qt when a
    // peer ran.
    void Report();

private:
    template <class Work> static double Timed(Work&& work, int64_t& result) {
        auto t0 = TClock::now();
        result = work();
        return Seconds(t0, TClock::now());
    }

    benchmark::State& FState;
    double FRawTime = 0;
    double FOurTime = 0;
    double FPeerTime = 0;
    int FPeerRuns = 0;
    int64_t FLastSum = 0;
    bool FRawFirst = true;
    bool FFailed = false;
};

// ---- memory ---------------------------------------------------------------------------------

// While one lives, the benchmark executable's own operator new and delete count the bytes they
// hand out and take back; timed runs go without, since counting costs time.
class TCountedHeap {
public:
    TCountedHeap();
    ~TCountedHeap();
    TCountedHeap(const TCountedHeap&) = delete;
    TCountedHeap& operator=(const TCountedHeap&) = delete;
};

// The bytes operator new handed out less those operator delete took back while counting: only a
// difference of two readings under one TCountedHeap means anything.
int64_t LiveHeapBytes();

// The heap bytes work leaves allocated, counted.
template <class Work> int64_t HeapGrowthOf(Work&& work) {
    TCountedHeap counted;
    int64_t before = LiveHeapBytes();
    work();
    return LiveHeapBytes() - before;
}
// The bytes the C heap holds in use now.
int64_t MallocInUse();
// The peer toolkit's bytes per item (qt_B_per_item): the C heap's growth while work built items.
template <class Work> void SetPeerMemory(benchmark::State& state, Work&& work, int64_t items) {
    int64_t before = MallocInUse();
    work();
    int64_t bytes = MallocInUse() - before;
    state.counters["qt_B_per_item"] = items ? static_cast<double>(bytes) / items : 0;
}

// The heap bytes a string's text takes beyond the string object itself (0 for short texts).
int64_t HeapBytesOf(const std::string& text);

// ---- the application around the views -------------------------------------------------------

// A shown form to place controls on; frees them with it.
class TBenchForm {
public:
    TBenchForm();
    ~TBenchForm();
    TBenchForm(const TBenchForm&) = delete;
    TBenchForm& operator=(const TBenchForm&) = delete;

    TForm& Form() { return *FForm; }
    template <class C> C& Place(int left, int top, int width, int height) {
        auto* control = new C(FForm);
        control->SetParent(FForm);
        control->SetBounds(left, top, width, height);
        return *control;
    }

private:
    TForm* FForm;
};

// One table of a database file open on a shown form (in the order of index, or of its row ids
// when index is empty), a data source over it, and the baselines' statements, each prepared once
// on the database's connection. Scenarios place their view on Form().
class TBenchWorld {
public:
    TBenchWorld(const std::string& file, const std::string& table, const std::string& index);
    TBenchWorld(const TBenchWorld&) = delete;
    TBenchWorld& operator=(const TBenchWorld&) = delete;

    TBenchForm& Form() { return FForm; }
    TSqlStatement& Raw(const std::string& sql);

    TTable* Table = nullptr;
    TDataSource* Source = nullptr;

private:
    TDatabase FDb{nullptr}; // outlives the form and the table on it
    TBenchForm FForm;
    std::map<std::string, std::unique_ptr<TSqlStatement>> FRaw;
};

// Runs the message loop until nothing is queued; an exception a handler raised and the loop
// showed fails the benchmark.
void RunMessages(benchmark::State& state);

// Mouse input at a point of a control, sent to the window that holds the capture or lies under
// the point, as the message loop delivers it.
void MouseDown(TControl& control, TPoint point);
void MouseMove(TControl& control, TPoint point);
void MouseUp(TControl& control, TPoint point);
TPoint CenterOf(const TRect& rect);

} // namespace orvel::bench
