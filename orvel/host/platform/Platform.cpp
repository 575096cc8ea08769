// What every platform shares: the scale for a display density and the clipboard hook.
#include "orvel/host/platform/Platform.h"

#include "orvel/host/controls/StdCtrls.h"

#include <algorithm>

namespace orvel::platform {

int ScaleForDpi(float dpi) {
    if (!(dpi > 0)) return 1;
    // 96 dpi is scale 1; each further 96 dpi (rounded) adds one.
    int scale = static_cast<int>((dpi + 48.0f) / 96.0f);
    return std::clamp(scale, 1, 4);
}

void UseSystemClipboard(TPlatform* platform) {
    if (!platform) {
        SetClipboardHook({});
        return;
    }
    SetClipboardHook({[platform] { return platform->ClipboardText(); },
                      [platform](const std::string& text) { platform->SetClipboardText(text); }});
}

} // namespace orvel::platform
