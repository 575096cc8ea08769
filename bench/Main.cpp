// The benchmark executable's entry: Google Benchmark's console output, then one compact table
// of every scenario with the component's time, the raw engine time, their ratio and the
// scenario's own measures (bytes per node or item, time per operation).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                FRows.push_back(run);
            else
                FFailed.push_back(run.benchmark_name() + ": " + run.error_message);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        PrintTable();
    }

private:
    static const benchmark::Counter* Find(const Run& run, const char* name) {
        auto it = run.counters.find(name);
        return it == run.counters.end() ? nullptr : &it->second;
    }

    static std::string Number(const benchmark::Counter* c, const char* format) {
        if (!c) return "-";
        char text[32];
        std::snprintf(text, sizeof text, format, c->value);
        return text;
    }

    // The scenario's own measures: every counter but the pair timer's and the peer's times.
    static std::string Extras(const Run& run) {
        std::string text;
        for (const auto& [name, counter] : run.counters) {
            if (name == "ours_ms" || name == "raw_ms" || name == "ratio" || name == "qt_ms" ||
                name == "vs_qt")
                continue;
            char value[48];
            std::snprintf(value, sizeof value, "%s=%.4g", name.c_str(), counter.value);
            if (!text.empty()) text += "  ";
            text += value;
        }
        return text;
    }

    // The name without the suffixes Google Benchmark adds for the run's settings.
    static std::string Scenario(const Run& run) {
        std::string name = run.benchmark_name();
        for (const char* suffix : {"/manual_time", "/real_time"}) {
            std::size_t at = name.find(suffix);
            if (at != std::string::npos) name.erase(at, std::string(suffix).size());
        }
        std::size_t at = name.find("/iterations:");
        if (at != std::string::npos) {
            std::size_t end = name.find('/', at + 1);
            name.erase(at, end == std::string::npos ? std::string::npos : end - at);
        }
        return name;
    }

    void PrintTable() const {
        std::printf("\n%-44s %12s %12s %8s %10s %7s  %s\n", "scenario", "ours (ms)", "raw (ms)",
                    "ratio", "Qt (ms)", "vs Qt", "measures");
        std::printf("%s\n", std::string(128, '-').c_str());
        for (const Run& run : FRows) {
            std::printf("%-44s %12s %12s %8s %10s %7s  %s\n", Scenario(run).c_str(),
                        Number(Find(run, "ours_ms"), "%.3f").c_str(),
                        Number(Find(run, "raw_ms"), "%.3f").c_str(),
                        Number(Find(run, "ratio"), "%.2fx").c_str(),
                        Number(Find(run, "qt_ms"), "%.3f").c_str(),
                        Number(Find(run, "vs_qt"), "%.2fx").c_str(), Extras(run).c_str());
        }
        for (const std::string& failure : FFailed)
            std::printf("FAILED %s\n", failure.c_str());
        std::fflush(stdout);
    }

    std::vector<Run> FRows;
    std::vector<std::string> FFailed;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
