// The user driver: input as window messages, delivered the way the message loop delivers them.
#include "tests/support/driver/Driver.h"

#include "orvel/host/controls/ComCtrls.h"

namespace orvel {

namespace {

WPARAM gButtons = 0; // the mouse buttons held down

WPARAM ButtonFlag(TMouseButton button) {
    switch (button) {
    case mbLeft:
        return MK_LBUTTON;
    case mbRight:
        return MK_RBUTTON;
    default:
        return MK_MBUTTON;
    }
}

WPARAM MouseKeys(TShiftState shift) {
    WPARAM keys = gButtons;
    if (shift.Contains(ssShift)) keys |= MK_SHIFT;
    if (shift.Contains(ssCtrl)) keys |= MK_CONTROL;
    return keys;
}

TWinControl* WindowOf(TControl* control) {
    if (!control) return nullptr;
    if (auto* window = dynamic_cast<TWinControl*>(control)) return window;
    return control->Parent();
}

// Delivers a message as the loop would: at once, with an exception shown rather than thrown.
void Deliver(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (!Application().IsWindow(handle)) {
        ADD_FAILURE() << "input for a window that does not exist";
        return;
    }
    try {
        Application().SendMessage(handle, msg, wparam, lparam);
    } catch (...) {
        Application().HandleException();
    }
}

void SendMouse(TWinControl* window, const TPoint& screen, UINT msg, TShiftState shift) {
    Mouse().SetCursorPos(screen);
    if (!window || !window->HandleAllocated()) {
        ADD_FAILURE() << "mouse input for a control without a window";
        return;
    }
    SetKeyboardShiftState(shift);
    TPoint p = window->ScreenToClient(screen);
    Deliver(window->Handle(), msg, MouseKeys(shift), MakeLParam(p.X, p.Y));
    SetKeyboardShiftState({});
}

// The window that gets a mouse message at a screen point: the one holding the capture, else
// the one under the point, else the fallback.
TWinControl* MouseReceiver(const TPoint& screen, TControl* fallback) {
    if (TWinControl* captured = FindControl(Application().Capture())) return captured;
    if (TWinControl* under = WindowOf(FindDragTarget(screen, true))) return under;
    return WindowOf(fallback);
}

UINT DownMessage(TMouseButton button) {
    return button == mbLeft ? WM_LBUTTONDOWN : button == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
}

UINT UpMessage(TMouseButton button) {
    return button == mbLeft ? WM_LBUTTONUP : button == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP;
}

void MoveTo(const TPoint& screen, TControl* fallback) {
    SendMouse(MouseReceiver(screen, fallback), screen, WM_MOUSEMOVE, {});
}

void ReleaseAt(const TPoint& screen, TControl* fallback) {
    TWinControl* receiver = MouseReceiver(screen, fallback);
    gButtons &= ~MK_LBUTTON;
    SendMouse(receiver, screen, WM_LBUTTONUP, {});
}

// The character a key types, or 0.
char CharOf(uint16_t key, TShiftState shift) {
    switch (key) {
    case VK_RETURN:
        return '\r';
    case VK_ESCAPE:
        return 27;
    case VK_BACK:
        return 8;
    case VK_TAB:
        return '\t';
    case VK_SPACE:
        return ' ';
    default:
        break;
    }
    if (key >= '0' && key <= '9') return static_cast<char>(key);
    if (key >= 'A' && key <= 'Z') {
        if (shift.Contains(ssCtrl)) return static_cast<char>(key - 'A' + 1);
        return static_cast<char>(shift.Contains(ssShift) ? key : key - 'A' + 'a');
    }
    return 0;
}

bool EditorOpen(TWinControl& control) {
    if (auto* tree = dynamic_cast<TCustomTreeView*>(&control)) return tree->IsEditing();
    if (auto* list = dynamic_cast<TCustomListView*>(&control)) return list->IsEditing();
    return false;
}

void DragOver(TControl& source, TPoint from, TControl& target, TPoint to) {
    mouse_down(source, from.X, from.Y);
    TPoint start = source.ClientToScreen(from);
    TPoint end = target.ClientToScreen(to);
    MoveTo({(start.X + end.X) / 2, (start.Y + end.Y) / 2}, &source);
    MoveTo(end, &target);
}

} // namespace

void mouse_down(TControl& control, int x, int y, TMouseButton button, TShiftState shift) {
    TPoint screen = control.ClientToScreen({x, y});
    gButtons |= ButtonFlag(button);
    SendMouse(WindowOf(&control), screen, DownMessage(button), shift);
}

void mouse_up(TControl& control, int x, int y, TMouseButton button, TShiftState shift) {
    TPoint screen = control.ClientToScreen({x, y});
    TWinControl* receiver = FindControl(Application().Capture());
    if (!receiver) receiver = WindowOf(&control);
    gButtons &= ~ButtonFlag(button);
    SendMouse(receiver, screen, UpMessage(button), shift);
}

void mouse_move(TControl& control, int x, int y, TShiftState shift) {
    TPoint screen = control.ClientToScreen({x, y});
    TWinControl* receiver = FindControl(Application().Capture());
    SendMouse(receiver ? receiver : WindowOf(&control), screen, WM_MOUSEMOVE, shift);
}

void click(TControl& control, int x, int y, TShiftState shift) {
    mouse_down(control, x, y, mbLeft, shift);
    mouse_up(control, x, y, mbLeft, shift);
}

void click(TControl& control, TPoint p, TShiftState shift) {
    click(control, p.X, p.Y, shift);
}

void double_click(TControl& control, int x, int y) {
    click(control, x, y);
    TPoint screen = control.ClientToScreen({x, y});
    gButtons |= MK_LBUTTON;
    SendMouse(WindowOf(&control), screen, WM_LBUTTONDBLCLK, {});
    mouse_up(control, x, y);
}

void double_click(TControl& control, TPoint p) {
    double_click(control, p.X, p.Y);
}

void right_click(TControl& control, int x, int y) {
    mouse_down(control, x, y, mbRight);
    mouse_up(control, x, y, mbRight);
}

void right_click(TControl& control, TPoint p) {
    right_click(control, p.X, p.Y);
}

TPoint center_of(const TRect& r) {
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

void hover(TControl& control, int x, int y) {
    TPoint screen = control.ClientToScreen({x, y});
    Mouse().SetCursorPos(screen);
    TWinControl* receiver = MouseReceiver(screen, &control);
    if (!receiver || !receiver->HandleAllocated()) {
        ADD_FAILURE() << "hovering over a control without a window";
        return;
    }
    HWND handle = receiver->Handle();
    Deliver(handle, WM_SETCURSOR, handle, MakeLParam(HTCLIENT, WM_MOUSEMOVE));
    if (Application().IsWindow(handle)) SendMouse(receiver, screen, WM_MOUSEMOVE, {});
}

void click_item(TCustomListBox& list, int index, TShiftState shift) {
    if (index < 0 || index >= list.Items()->Count()) {
        ADD_FAILURE() << "the list has no entry " << index;
        return;
    }
    if (index < list.TopIndex() || index >= list.TopIndex() + list.VisibleRowCount())
        list.SetTopIndex(index);
    click(list, center_of(list.ItemRect(index)), shift);
}

void press_key(TWinControl& control, uint16_t key, TShiftState shift) {
    if (!control.HandleAllocated()) {
        ADD_FAILURE() << "key input for a control without a window";
        return;
    }
    HWND handle = control.Handle();
    bool alt = shift.Contains(ssAlt);
    LPARAM data = alt ? KF_ALTDOWN_LPARAM : 0;
    SetKeyboardShiftState(shift);
    Deliver(handle, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, data);
    char ch = CharOf(key, shift);
    if (ch && Application().IsWindow(handle))
        Deliver(handle, alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(ch), data);
    if (Application().IsWindow(handle)) Deliver(handle, alt ? WM_SYSKEYUP : WM_KEYUP, key, data);
    SetKeyboardShiftState({});
}

void press_key(uint16_t key, TShiftState shift) {
    TWinControl* focused = FocusedControl();
    if (!focused) {
        ADD_FAILURE() << "no control has the focus";
        return;
    }
    press_key(*focused, key, shift);
}

void type_text(TWinControl& control, const std::string& text) {
    if (!control.HandleAllocated()) {
        ADD_FAILURE() << "typing into a control without a window";
        return;
    }
    HWND handle = control.Handle();
    for (char c : text)
        if (Application().IsWindow(handle))
            Deliver(handle, WM_CHAR, static_cast<unsigned char>(c), 0);
}

void type_caption(TWinControl& control, const std::string& text, TEditEnd end) {
    if (!EditorOpen(control)) {
        ADD_FAILURE() << "no caption is being edited in place";
        return;
    }
    type_text(control, text);
    if (end == TEditEnd::Accept)
        press_key(control, VK_RETURN);
    else if (end == TEditEnd::Cancel)
        press_key(control, VK_ESCAPE);
}

void drag_to(TControl& source, TPoint from, TControl& target, TPoint to) {
    DragOver(source, from, target, to);
    ReleaseAt(target.ClientToScreen(to), &target);
}

void drag_and_cancel(TControl& source, TPoint from, TControl& target, TPoint over) {
    DragOver(source, from, target, over);
    if (TWinControl* focused = FocusedControl())
        press_key(*focused, VK_ESCAPE);
    else if (TWinControl* window = WindowOf(&source))
        press_key(*window, VK_ESCAPE);
    ReleaseAt(target.ClientToScreen(over), &target);
}

void choose(TMenuItem& menu, const std::string& caption) {
    TMenuItem* item = menu.Find(caption);
    if (!item) {
        ADD_FAILURE() << "the menu has no item " << caption;
        return;
    }
    try {
        item->Click();
    } catch (...) {
        Application().HandleException();
    }
}

TModalScript::TModalScript(std::function<void(TCustomForm&)> script) : FScript(std::move(script)) {
    FPrevious = SetModalDriver([this](TCustomForm& form) {
        ++FRuns;
        FScript(form);
    });
}

TModalScript::~TModalScript() {
    SetModalDriver(std::move(FPrevious));
}

int run_messages() {
    return Application().ProcessMessages();
}

void reset_ui() {
    CancelDrag();
    Mouse().SetCaptureControl(nullptr);
    Mouse().SetCursorPos({0, 0});
    gButtons = 0;
    SetKeyboardShiftState({});
    Application().ClearQueue();
    Application().ShownErrors.clear();
    Application().SetFocusHandle(0);
    Application().RefusePosts(false);
    ClearLastPopup();
}

TTestForm::TTestForm(int width, int height) : FForm(new TForm(nullptr)) {
    FForm->SetBounds(0, 0, width, height);
    FForm->Show();
}

TTestForm::~TTestForm() {
    FForm->Free();
}

} // namespace orvel
