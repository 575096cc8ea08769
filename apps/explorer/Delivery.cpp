// Input as window messages.
#include "apps/explorer/Delivery.h"

#include "orvel/host/core/Application.h"

#include <cctype>

namespace orvel::explorer {

namespace {

TWinControl* WindowOf(TControl* control) {
    if (!control) return nullptr;
    if (auto* window = dynamic_cast<TWinControl*>(control)) return window;
    return control->Parent();
}

TWinControl* KeyTarget(TWinControl* fallback) {
    TWinControl* focused = FocusedControl();
    return focused ? focused : fallback;
}

WPARAM ButtonFlag(TMouseButton button) {
    return button == mbLeft ? MK_LBUTTON : button == mbRight ? MK_RBUTTON : MK_MBUTTON;
}

} // namespace

void Deliver(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (!Application().IsWindow(handle)) return;
    try {
        Application().SendMessage(handle, msg, wparam, lparam);
    } catch (...) {
        Application().HandleException();
    }
}

void TInputDelivery::Send(TWinControl* window, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (!window || !window->HandleAllocated()) return;
    Deliver(window->Handle(), msg, wparam, lparam);
}

void TInputDelivery::Key(TWinControl* fallback, uint16_t key, bool shift, bool ctrl, bool alt) {
    TWinControl* target = KeyTarget(fallback);
    if (!target || !target->HandleAllocated()) return;
    HWND handle = target->Handle();
    TShiftState state;
    if (shift) state.Include(ssShift);
    if (ctrl) state.Include(ssCtrl);
    if (alt) {
        // Alt with a key: the system key messages, Alt in the key data.
        state.Include(ssAlt);
        SetKeyboardShiftState(state);
        Deliver(handle, WM_SYSKEYDOWN, key, KF_ALTDOWN_LPARAM);
        Deliver(handle, WM_SYSKEYUP, key, KF_ALTDOWN_LPARAM);
        SetKeyboardShiftState({});
        return;
    }
    SetKeyboardShiftState(state);
    Deliver(handle, WM_KEYDOWN, key, 0);
    char ch = 0;
    switch (key) {
    case VK_RETURN:
        ch = '\r';
        break;
    case VK_ESCAPE:
        ch = 27;
        break;
    case VK_BACK:
        ch = 8;
        break;
    case VK_TAB:
        ch = '\t';
        break;
    case VK_SPACE:
        ch = ' ';
        break;
    default:
        if (ctrl && key >= 'A' && key <= 'Z') ch = static_cast<char>(key - 'A' + 1);
        break;
    }
    if (ch) Deliver(handle, WM_CHAR, static_cast<unsigned char>(ch), 0);
    Deliver(handle, WM_KEYUP, key, 0);
    SetKeyboardShiftState({});
}

void TInputDelivery::Char(TWinControl* fallback, const std::string& text) {
    TWinControl* target = KeyTarget(fallback);
    if (!target || !target->HandleAllocated() || text.empty()) return;
    HWND handle = target->Handle();
    unsigned char first = static_cast<unsigned char>(text[0]);
    uint16_t key = 0;
    bool shift = false;
    if (text.size() == 1 && std::isalnum(first)) {
        key = static_cast<uint16_t>(std::toupper(first));
        shift = std::isupper(first);
    } else if (text == " ") {
        key = VK_SPACE;
    }
    SetKeyboardShiftState(shift ? TShiftState{ssShift} : TShiftState{});
    if (key) Deliver(handle, WM_KEYDOWN, key, 0);
    for (char c : text)
        Deliver(handle, WM_CHAR, static_cast<unsigned char>(c), 0);
    if (key) Deliver(handle, WM_KEYUP, key, 0);
    SetKeyboardShiftState({});
}

TWinControl* TInputDelivery::Receiver(TPoint screen) const {
    if (TWinControl* captured = FindControl(Application().Capture())) return captured;
    if (TControl* capture = Mouse().CaptureControl()) return WindowOf(capture);
    return WindowOf(FindDragTarget(screen, true));
}

void TInputDelivery::SendMouse(TPoint screen, UINT msg) {
    Mouse().SetCursorPos(screen);
    TWinControl* window = Receiver(screen);
    if (!window || !window->HandleAllocated()) return;
    TPoint p = window->ScreenToClient(screen);
    Send(window, msg, FButtons, MakeLParam(p.X, p.Y));
}

void TInputDelivery::Press(TPoint screen, TMouseButton button, bool doubleClick) {
    FButtons |= ButtonFlag(button);
    UINT msg = button == mbLeft    ? (doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN)
               : button == mbRight ? WM_RBUTTONDOWN
                                   : WM_MBUTTONDOWN;
    SendMouse(screen, msg);
}

void TInputDelivery::Release(TPoint screen, TMouseButton button) {
    FButtons &= ~ButtonFlag(button);
    UINT msg = button == mbLeft ? WM_LBUTTONUP : button == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP;
    SendMouse(screen, msg);
}

void TInputDelivery::Move(TPoint screen) {
    SendMouse(screen, WM_MOUSEMOVE);
}

} // namespace orvel::explorer
