// SDL events in the host's terms.
#include "orvel/host/platform/SdlEvents.h"

#include <algorithm>

namespace orvel::platform {

uint16_t VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint16_t>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint16_t>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<uint16_t>(VK_F1 + (key - SDLK_F1));
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    default:
        return 0;
    }
}

TShiftState ShiftStateOf(Uint16 modifiers, Uint32 buttons) {
    TShiftState state;
    if (modifiers & KMOD_SHIFT) state.Include(ssShift);
    if (modifiers & KMOD_CTRL) state.Include(ssCtrl);
    if (modifiers & KMOD_ALT) state.Include(ssAlt);
    if (buttons & SDL_BUTTON_LMASK) state.Include(ssLeft);
    if (buttons & SDL_BUTTON_RMASK) state.Include(ssRight);
    if (buttons & SDL_BUTTON_MMASK) state.Include(ssMiddle);
    return state;
}

bool TypesText(SDL_Keycode key, Uint16 modifiers) {
    if (modifiers & (KMOD_CTRL | KMOD_ALT)) return false;
    // SDL key codes of printable keys are their characters.
    return key >= SDLK_SPACE && key < SDLK_DELETE;
}

namespace {

int ToForm(int windowPixels, int scale) {
    // Floor division, so a point left of or above the window stays outside it.
    int s = std::max(1, scale);
    return windowPixels >= 0 ? windowPixels / s : -((-windowPixels + s - 1) / s);
}

bool MouseButton(Uint8 button, TMouseButton& out) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        out = mbLeft;
        return true;
    case SDL_BUTTON_RIGHT:
        out = mbRight;
        return true;
    case SDL_BUTTON_MIDDLE:
        out = mbMiddle;
        return true;
    default:
        return false;
    }
}

bool TranslateKey(const SDL_KeyboardEvent& key, const TSdlContext& context, bool down,
                  TPlatformEvent& out) {
    Uint16 modifiers = key.keysym.mod;
    if (down && TypesText(key.keysym.sym, modifiers)) return false; // its text event follows
    uint16_t vk = VirtualKeyOf(key.keysym.sym);
    if (vk == 0) return false;
    out.Kind = down ? TPlatformEventKind::KeyDown : TPlatformEventKind::KeyUp;
    out.Key = vk;
    out.Shift = ShiftStateOf(modifiers, context.Buttons);
    return true;
}

bool TranslateWindow(const SDL_WindowEvent& window, const TSdlContext& context,
                     TPlatformEvent& out) {
    switch (window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        out.Kind = TPlatformEventKind::Resize;
        out.Width = std::max(0, window.data1 / std::max(1, context.Scale));
        out.Height = std::max(0, window.data2 / std::max(1, context.Scale));
        return true;
    case SDL_WINDOWEVENT_EXPOSED:
        out.Kind = TPlatformEventKind::Expose;
        return true;
    case SDL_WINDOWEVENT_CLOSE:
        out.Kind = TPlatformEventKind::Quit;
        return true;
    default:
        return false;
    }
}

} // namespace

bool TranslateSdlEvent(const SDL_Event& in, const TSdlContext& context, TPlatformEvent& out) {
    out = TPlatformEvent{};
    switch (in.type) {
    case SDL_QUIT:
        out.Kind = TPlatformEventKind::Quit;
        return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return TranslateKey(in.key, context, in.type == SDL_KEYDOWN, out);
    case SDL_TEXTINPUT:
        out.Kind = TPlatformEventKind::Text;
        out.Text = in.text.text;
        out.Shift = ShiftStateOf(context.Modifiers, context.Buttons);
        return !out.Text.empty();
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (!MouseButton(in.button.button, out.Button)) return false;
        out.Kind = in.type == SDL_MOUSEBUTTONDOWN ? TPlatformEventKind::MouseDown
                                                  : TPlatformEventKind::MouseUp;
        // Every second press in a row is a double click (a triple click is one, then a press).
        out.DoubleClick =
            in.type == SDL_MOUSEBUTTONDOWN && in.button.clicks >= 2 && in.button.clicks % 2 == 0;
        out.X = ToForm(in.button.x, context.Scale);
        out.Y = ToForm(in.button.y, context.Scale);
        out.Shift = ShiftStateOf(context.Modifiers, context.Buttons);
        if (out.DoubleClick) out.Shift.Include(ssDouble);
        return true;
    case SDL_MOUSEMOTION:
        out.Kind = TPlatformEventKind::MouseMove;
        out.X = ToForm(in.motion.x, context.Scale);
        out.Y = ToForm(in.motion.y, context.Scale);
        out.Shift = ShiftStateOf(context.Modifiers, in.motion.state);
        return true;
    case SDL_MOUSEWHEEL: {
        int notches = in.wheel.y;
        if (in.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        if (notches == 0) return false;
        out.Kind = TPlatformEventKind::MouseWheel;
        out.Wheel = notches;
#if SDL_VERSION_ATLEAST(2, 26, 0)
        out.X = ToForm(in.wheel.mouseX, context.Scale);
        out.Y = ToForm(in.wheel.mouseY, context.Scale);
#endif
        out.Shift = ShiftStateOf(context.Modifiers, context.Buttons);
        return true;
    }
    case SDL_WINDOWEVENT:
        return TranslateWindow(in.window, context, out);
    default:
        if (context.TimerEventType != 0 && in.type == context.TimerEventType) {
            out.Kind = TPlatformEventKind::Timer;
            out.TimerId = in.user.code;
            return true;
        }
        return false;
    }
}

} // namespace orvel::platform
