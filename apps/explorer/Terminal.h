// The terminal front end: ncurses shows the explorer's text screen and reads keys and mouse
// events from the terminal.
#pragma once

#include "apps/explorer/Options.h"

namespace orvel::explorer {

// Runs the explorer in the terminal until the person quits; answers the exit code.
int RunInTerminal(const TOptions& options);

} // namespace orvel::explorer
