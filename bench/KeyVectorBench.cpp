// Key vectors, the identity of every node and item: equality of two two-element vectors (a
// number and a text, as a two-field key reads) and finding one among the 10,000 entries of a
// TKeysArray, the request queue's lookup. There is no engine work to set beside them: the
// counters give the time of one operation.
#include "bench/BenchSupport.h"

#include "orvel/containers/TreeAndList.h"

#include <string>
#include <vector>

using namespace orvel;
using namespace orvel::bench;

namespace {

Variant TwoFieldKey(int32_t n) {
    return VarArrayOf({Variant(n), Variant(UnitName(n))});
}

void BM_KeyEquality(benchmark::State& state) {
    // Equal pairs (every element compared) and pairs that differ in their last element.
    Variant a = TwoFieldKey(4711), same = TwoFieldKey(4711);
    Variant other = VarArrayOf({Variant(4711), Variant(UnitName(4712))});
    int64_t equal = 0;
    auto t0 = TClock::now();
    for (auto _ : state) {
        equal += VarEquality(a, same);
        equal += VarEquality(a, other);
        benchmark::DoNotOptimize(equal);
    }
    state.counters["ns_per_op"] =
        Seconds(t0, TClock::now()) * 1e9 / (2 * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_KeyEquality)->Name("6 key vector equality (2 elements)");

void BM_KeysArrayIndexOf(benchmark::State& state) {
    constexpr int32_t count = 10000;
    TKeysArray keys;
    for (int32_t i = 0; i < count; ++i)
        keys.Add(TwoFieldKey(i));
    std::vector<Variant> probes;
    uint64_t seed = 7;
    for (int i = 0; i < 64; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        probes.push_back(TwoFieldKey(static_cast<int32_t>((seed >> 33) % count)));
    }
    std::size_t next = 0;
    int64_t found = 0;
    auto t0 = TClock::now();
    for (auto _ : state) {
        found += keys.IndexOf(probes[next]);
        next = (next + 1) % probes.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["us_per_op"] =
        Seconds(t0, TClock::now()) * 1e6 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_KeysArrayIndexOf)->Name("6 TKeysArray IndexOf (10,000 entries)");

} // namespace
