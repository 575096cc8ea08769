// Platform events as host messages.
#include "orvel/host/platform/FormInput.h"

#include "orvel/host/core/Application.h"

namespace orvel::platform {

namespace {

void Send(TWinControl* window, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (!window || !window->HandleAllocated()) return;
    HWND handle = window->Handle();
    if (!Application().IsWindow(handle)) return;
    try {
        Application().SendMessage(handle, msg, wparam, lparam);
    } catch (...) {
        Application().HandleException();
    }
}

WPARAM ButtonFlag(TMouseButton button) {
    return button == mbLeft ? MK_LBUTTON : button == mbRight ? MK_RBUTTON : MK_MBUTTON;
}

WPARAM KeyFlags(TShiftState shift) {
    WPARAM flags = 0;
    if (shift.Contains(ssShift)) flags |= MK_SHIFT;
    if (shift.Contains(ssCtrl)) flags |= MK_CONTROL;
    return flags;
}

UINT DownMessage(const TPlatformEvent& event) {
    switch (event.Button) {
    case mbLeft:
        return event.DoubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    case mbRight:
        return event.DoubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
    default:
        return WM_MBUTTONDOWN;
    }
}

UINT UpMessage(TMouseButton button) {
    return button == mbLeft ? WM_LBUTTONUP : button == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP;
}

TWinControl* WindowOf(TControl* control) {
    if (!control) return nullptr;
    if (auto* window = dynamic_cast<TWinControl*>(control)) return window;
    return control->Parent();
}

// The control character a key types with Ctrl held (Ctrl+C: 3), or the character of a key that
// types one without a text event (Enter, Escape, Backspace, Tab); 0 for none.
char KeyCharacter(uint16_t key, TShiftState shift) {
    bool ctrl = shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
    if (ctrl && key >= 'A' && key <= 'Z') return static_cast<char>(key - 'A' + 1);
    switch (key) {
    case VK_RETURN:
        return '\r';
    case VK_ESCAPE:
        return 27;
    case VK_BACK:
        return 8;
    case VK_TAB:
        return '\t';
    default:
        return 0;
    }
}

} // namespace

TWinControl* TFormInput::KeyTarget() const {
    TWinControl* focused = FocusedControl();
    return focused ? focused : &FForm;
}

void TFormInput::SendMouse(const TPlatformEvent& event, UINT msg) {
    TPoint screen = FForm.ClientToScreen({event.X, event.Y});
    Mouse().SetCursorPos(screen);
    TWinControl* window = FindControl(Application().Capture());
    if (!window && Mouse().CaptureControl()) window = WindowOf(Mouse().CaptureControl());
    if (!window) window = WindowOf(FindDragTarget(screen, true));
    if (!window) return;
    TPoint p = window->ScreenToClient(screen);
    if (msg == WM_MOUSEWHEEL) {
        // The wheel's distance in the high word (120 a notch), the keys in the low one; the
        // point in screen pixels, as the host gives it.
        auto delta = static_cast<uint16_t>(static_cast<int16_t>(event.Wheel * 120));
        Send(window, msg, (static_cast<WPARAM>(delta) << 16) | KeyFlags(event.Shift),
             MakeLParam(screen.X, screen.Y));
        return;
    }
    Send(window, msg, FButtons | KeyFlags(event.Shift), MakeLParam(p.X, p.Y));
}

void TFormInput::Key(const TPlatformEvent& event, bool down) {
    TWinControl* target = KeyTarget();
    bool alt = event.Shift.Contains(ssAlt);
    TShiftState keys;
    for (TShiftStateMember m : {ssShift, ssCtrl, ssAlt})
        if (event.Shift.Contains(m)) keys.Include(m);
    SetKeyboardShiftState(keys);
    LPARAM data = alt ? KF_ALTDOWN_LPARAM : 0;
    if (down) {
        Send(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, event.Key, data);
        // The focus may have moved on the key (Tab): the character goes where the key went.
        if (char c = alt ? 0 : KeyCharacter(event.Key, event.Shift))
            Send(target, WM_CHAR, static_cast<unsigned char>(c), 0);
    } else {
        Send(target, alt ? WM_SYSKEYUP : WM_KEYUP, event.Key, data);
    }
    SetKeyboardShiftState({});
}

void TFormInput::Text(const TPlatformEvent& event) {
    TWinControl* target = KeyTarget();
    for (char c : event.Text)
        Send(target, WM_CHAR, static_cast<unsigned char>(c), 0);
}

bool TFormInput::Deliver(const TPlatformEvent& event) {
    switch (event.Kind) {
    case TPlatformEventKind::Quit:
        return true;
    case TPlatformEventKind::MouseDown:
        FButtons |= ButtonFlag(event.Button);
        SendMouse(event, DownMessage(event));
        break;
    case TPlatformEventKind::MouseUp:
        FButtons &= ~ButtonFlag(event.Button);
        SendMouse(event, UpMessage(event.Button));
        break;
    case TPlatformEventKind::MouseMove:
        SendMouse(event, WM_MOUSEMOVE);
        break;
    case TPlatformEventKind::MouseWheel:
        SendMouse(event, WM_MOUSEWHEEL);
        break;
    case TPlatformEventKind::KeyDown:
        Key(event, true);
        break;
    case TPlatformEventKind::KeyUp:
        Key(event, false);
        break;
    case TPlatformEventKind::Text:
        Text(event);
        break;
    case TPlatformEventKind::Resize:
        FForm.SetBounds(FForm.Left(), FForm.Top(), event.Width, event.Height);
        break;
    default:
        break;
    }
    try {
        Application().ProcessMessages();
    } catch (...) {
        Application().HandleException();
    }
    return false;
}

} // namespace orvel::platform
