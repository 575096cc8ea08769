// The desktop front end's input: platform events as the explorer's input events (mouse in
// pixels, keys, typed text, the window's size in cells), and the desktop's own command line.
#pragma once

#include "apps/explorer/Input.h"
#include "apps/explorer/Options.h"
#include "orvel/host/platform/Platform.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvel::desktop {

// Translates a platform event; false for one the explorer does not take: a modifier key alone,
// a key release, a move with no button held, a timer.
bool ToInputEvent(const platform::TPlatformEvent& in, explorer::TInputEvent& out);

struct TDesktopOptions {
    explorer::TOptions Explorer;
    int Scale = 0;          // 0: the display's own
    std::string Screenshot; // --screenshot FILE.png: the window read back at the end of --keys
    std::string Offscreen;  // --offscreen FILE.png: the same frame composed without a window
};

// The explorer's options plus --scale N, --screenshot FILE and --offscreen FILE; without --size
// the window starts at DefaultColumns x DefaultRows cells. EConvertError for a bad command line.
TDesktopOptions ParseDesktopOptions(const std::vector<std::string>& args);
std::string DesktopUsageText();
inline constexpr int DefaultColumns = 120;
inline constexpr int DefaultRows = 40;

// Where the explorer's input comes from in a window: the platform's events, waited for.
class TWindowInput : public explorer::TInputSource {
public:
    // adjust sees each event before the explorer does (the front end maps its own pictures).
    TWindowInput(platform::TPlatform& platform,
                 std::function<void(explorer::TInputEvent&)> adjust = {})
        : FPlatform(platform), FAdjust(std::move(adjust)) {}
    // Closing the window asks as q does (about unsaved changes); closing it again ends input.
    bool Next(explorer::TInputEvent& event) override;

private:
    platform::TPlatform& FPlatform;
    std::function<void(explorer::TInputEvent&)> FAdjust;
    int FCloseRequests = 0;
};

} // namespace orvel::desktop
