// orvel-desktop: the explorer in a desktop window, on the same databases and options as the
// terminal explorer.
#include "apps/desktop/DesktopApp.h"
#include "apps/desktop/DesktopInput.h"
#include "apps/explorer/SampleData.h"
#include "orvel/host/controls/Graphics.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

using namespace orvel::desktop;

int main(int argc, char** argv) {
    try {
        TDesktopOptions options =
            ParseDesktopOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.Explorer.ShowHelp) {
            std::cout << DesktopUsageText();
            return 0;
        }
        if (options.Explorer.WriteSample) {
            orvel::explorer::CreateSampleDatabase(options.Explorer.SampleFile);
            std::cout << "wrote the sample database " << options.Explorer.SampleFile << "\n";
            return 0;
        }
        if (options.Explorer.Generate) {
            orvel::explorer::GenerateDatabase(options.Explorer.GenerateFile,
                                              options.Explorer.GenerateCount, nullptr);
            std::cout << "wrote " << options.Explorer.GenerateCount << " objects to "
                      << options.Explorer.GenerateFile << "\n";
            return 0;
        }
        // The desktop draws its text in the real font; the terminal keeps its fixed cells.
        orvel::SetDefaultFontName("DejaVu Sans");
        return RunDesktop(options);
    } catch (const std::exception& e) {
        std::cerr << "orvel-desktop: " << e.what() << "\n";
        return 1;
    }
}
