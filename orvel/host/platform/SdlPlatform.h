// The SDL2 implementation of the platform: windows with a streaming texture of the form's pixels.
#pragma once

#include "orvel/host/platform/Platform.h"

#include <memory>

namespace orvel::platform {

// Starts SDL's video and timers; EInvalidOperation with SDL's reason when there is no display.
// One platform at a time: SDL stops when it is destroyed.
std::unique_ptr<TPlatform> CreateSdlPlatform();

} // namespace orvel::platform
