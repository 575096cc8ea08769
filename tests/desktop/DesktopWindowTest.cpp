// The real window: orvel-desktop runs under Xvfb with a key script that browses, renames,
// drags and opens a dialog; the picture read back from the window itself must equal the frame
// composed offscreen for the same state. Xvfb not starting is a failure, not a skip.
#include "tests/desktop/DesktopSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace orvel::desktop::test {
namespace {

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadFile(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number of pixels of a and b that differ (every pixel when the sizes differ).
int64_t DifferentPixels(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return std::max<int64_t>(int64_t{a.Width()} * a.Height(), int64_t{b.Width()} * b.Height());
    int64_t count = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            count += a.ScanLine(y)[x] != b.ScanLine(y)[x];
    return count;
}

TEST_F(DesktopTest, TheWindowShowsExactlyTheFrameComposedOffscreen) {
    std::string shot = Folder() + "/window.png";
    std::string offscreen = Folder() + "/offscreen.png";
    std::string log = Folder() + "/run.log";
    std::string downs;
    for (int i = 0; i < 69; ++i)
        downs += "<Down>";
    // Browse into the second top-level node, rename a child, drag it onto the first top-level
    // node, then open the designer's relation dialog and take the pictures while it is open;
    // close it and go back to the main screen, which is printed at the end.
    std::string keys = "<Down><Right><Down><Down><F2><C-a>Renamed Co.<Enter>"
                       "<Drag:12,5,10,2>"
                       "d<Tab><Home>" +
                       downs + "<Enter><Dump><Esc>d";
    // The software renderer reads back exactly what it shows; LeakSanitizer (in the sanitizer
    // build) leaves out only the window system's own libraries.
    std::string command = "env SDL_RENDER_DRIVER=software LSAN_OPTIONS=suppressions=" +
                          Quoted(ORVEL_LSAN_SUPPRESSIONS) + ":print_suppressions=0 " +
                          "xvfb-run -a -s '-screen 0 1280x800x24' " + Quoted(ORVEL_DESKTOP_EXE) +
                          " " + Quoted(Database) + " --size 100x32 --scale 1 --keys " +
                          Quoted(keys) + " --screenshot " + Quoted(shot) + " --offscreen " +
                          Quoted(offscreen) + " >" + Quoted(log) + " 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the desktop under Xvfb failed (status " << status << "):\n"
        << ReadFile(log);
    // The renamed node stands under its new owner.
    std::string screen = ReadFile(log);
    std::size_t owner = screen.find("■ Orvel Agro Ltd"), renamed = screen.find("■ Renamed Co.");
    std::size_t partners = screen.find("■ Partners and Suppliers");
    ASSERT_NE(renamed, std::string::npos) << screen;
    EXPECT_LT(owner, renamed) << screen;
    EXPECT_LT(renamed, partners) << screen;

    TBitmap window, composed;
    window.LoadFromFile(shot);
    composed.LoadFromFile(offscreen);
    EXPECT_EQ(window.Width(), 100 * explorer::CellWidth);
    EXPECT_EQ(window.Height(), 32 * explorer::CellHeight);
    EXPECT_EQ(DifferentPixels(window, composed), 0);
    KeepPicture(window, "desktop-window.png");
}

} // namespace
} // namespace orvel::desktop::test
