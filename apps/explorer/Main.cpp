// orvel-explorer: browse and change an SQLite database through the Orvel components, in a
// terminal or, for tests, by a key script whose screens are printed as text.
#include "apps/explorer/Explorer.h"
#include "apps/explorer/Input.h"
#include "apps/explorer/Options.h"
#include "apps/explorer/SampleData.h"
#include "apps/explorer/Terminal.h"
#include "apps/explorer/TextScreen.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvel::explorer;

namespace {

void PrintScreen(const TTextScreen& screen, const std::string& heading) {
    if (!heading.empty()) std::cout << "--- " << heading << " ---\n";
    std::cout << screen.ToText();
    std::cout.flush();
}

int RunScript(const TOptions& options) {
    std::vector<TInputEvent> events = ParseKeyScript(options.Keys);
    TTextScreen screen(options.Columns, options.Rows);
    TExplorer explorer(options, screen);
    explorer.Start();
    if (options.DumpEachStep) PrintScreen(screen, "start");
    TScriptInput input(std::move(events));
    int step = 0;
    explorer.Run(input, [&](const TInputEvent& event) {
        ++step;
        if (event.Kind == TInputKind::Dump)
            PrintScreen(screen, "dump " + std::to_string(step));
        else if (options.DumpEachStep)
            PrintScreen(screen, "after " + (event.Name.empty() ? KeyName(event) : event.Name));
    });
    explorer.Render();
    PrintScreen(screen, options.DumpEachStep ? "end" : "");
    return 0;
}

void Progress(int64_t done, int64_t total) {
    std::fprintf(stderr, "\r%lld of %lld objects", static_cast<long long>(done),
                 static_cast<long long>(total));
}

} // namespace

int main(int argc, char** argv) {
    try {
        TOptions options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.ShowHelp) {
            std::cout << UsageText();
            return 0;
        }
        if (options.WriteSample) {
            CreateSampleDatabase(options.SampleFile);
            std::cout << "wrote the sample database " << options.SampleFile << "\n";
            return 0;
        }
        if (options.Generate) {
            GenerateDatabase(options.GenerateFile, options.GenerateCount,
                             isatty(STDERR_FILENO) ? Progress : nullptr);
            std::cout << (isatty(STDERR_FILENO) ? "\n" : "") << "wrote " << options.GenerateCount
                      << " objects to " << options.GenerateFile << "\n";
            return 0;
        }
        if (options.Scripted) return RunScript(options);
        if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
            std::cerr << "orvel-explorer: needs a terminal (or --keys SCRIPT for a run without "
                         "one; see --help)\n";
            return 2;
        }
        return RunInTerminal(options);
    } catch (const std::exception& e) {
        std::cerr << "orvel-explorer: " << e.what() << "\n";
        return 1;
    }
}
