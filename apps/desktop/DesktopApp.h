// The desktop explorer: the explorer's screens in a window (or composed offscreen), driven by
// the window's mouse and keys or by a key script.
#pragma once

#include "apps/desktop/DesktopFrame.h"
#include "apps/desktop/DesktopInput.h"
#include "apps/explorer/Explorer.h"
#include "apps/explorer/TextScreen.h"

#include <memory>

namespace orvel::desktop {

// The explorer and its picture, without a window: what a key script leaves on screen, composed
// as the window would show it.
class TOffscreenExplorer {
public:
    explicit TOffscreenExplorer(const explorer::TOptions& options);
    // Starts the explorer, runs the script and composes its picture: at the script's last
    // <Dump> (a dialog open in the middle of a script), else at its end.
    void RunScript(const std::string& script);
    const TBitmap& Picture() const { return FPicture; }
    explorer::TExplorer& Explorer() { return FExplorer; }
    const explorer::TTextScreen& Screen() const { return FScreen; }

private:
    explorer::TTextScreen FScreen;
    explorer::TExplorer FExplorer;
    TDesktopFrame FFrame;
    TBitmap FPicture;
};

// Runs the desktop explorer as its command line asks; answers the exit status. --screenshot and
// --offscreen take their pictures where RunScript does.
int RunDesktop(const TDesktopOptions& options);

} // namespace orvel::desktop
