// Turning a person's keys and mouse actions into the controls' input: the window messages the
// message loop would deliver (key down, the character typed, key up; button presses, moves and
// releases at pixel points), sent to the window with the focus or the one under the mouse. An
// exception a control raises is shown as the message loop shows it, never passed on.
#pragma once

#include "orvel/host/controls/Controls.h"

#include <string>

namespace orvel::explorer {

class TInputDelivery {
public:
    // A key to the focused control (or to fallback when no control has the focus): WM_KEYDOWN,
    // WM_CHAR when the key types a character, WM_KEYUP.
    void Key(TWinControl* fallback, uint16_t key, bool shift, bool ctrl, bool alt = false);
    // A typed character (UTF-8): for a letter, digit or blank the key's WM_KEYDOWN and WM_KEYUP
    // around its WM_CHAR; other characters as WM_CHAR bytes alone.
    void Char(TWinControl* fallback, const std::string& text);

    // Mouse input at a screen pixel; the message goes to the window holding the mouse capture,
    // else to the window under the point.
    void Press(TPoint screen, TMouseButton button, bool doubleClick = false);
    void Release(TPoint screen, TMouseButton button);
    void Move(TPoint screen);

private:
    void Send(TWinControl* window, UINT msg, WPARAM wparam, LPARAM lparam);
    void SendMouse(TPoint screen, UINT msg);
    TWinControl* Receiver(TPoint screen) const;

    WPARAM FButtons = 0; // the mouse buttons held down
};

// Sends a message as the loop would deliver it, showing an exception instead of raising it.
void Deliver(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam);

} // namespace orvel::explorer
