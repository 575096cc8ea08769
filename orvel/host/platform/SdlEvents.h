// Translating SDL's events into platform events: SDL key codes into the host's virtual-key
// codes, modifier states into shift states, window pixels into form pixels. Pure functions of
// the event, so they are tested without a window.
#pragma once

#include "orvel/host/platform/Platform.h"

#include <SDL.h>

namespace orvel::platform {

// What the translation needs besides the event itself.
struct TSdlContext {
    int Scale = 1;             // window pixels per form pixel
    Uint16 Modifiers = 0;      // the keyboard modifiers held (SDL_GetModState)
    Uint32 Buttons = 0;        // the mouse buttons held (SDL_GetMouseState)
    Uint32 TimerEventType = 0; // the user event type timers post (0: none registered)
};

// The host virtual-key code of an SDL key; 0 for a key the host has no code for.
uint16_t VirtualKeyOf(SDL_Keycode key);
// Shift, Ctrl and Alt of SDL modifier flags, and the mouse buttons held.
TShiftState ShiftStateOf(Uint16 modifiers, Uint32 buttons = 0);
// Whether a key press also types text, so SDL follows it with a text event: a key with a
// printable character and neither Ctrl nor Alt held. Such a press is delivered as its text only.
bool TypesText(SDL_Keycode key, Uint16 modifiers);
// Translates one SDL event; false for an event the platform does not deliver.
bool TranslateSdlEvent(const SDL_Event& in, const TSdlContext& context, TPlatformEvent& out);

} // namespace orvel::platform
