// SDL's events in the host's terms, without a window: keys, typed text, mouse at a scale,
// wheel, window changes and timers.
#include "orvel/host/platform/SdlEvents.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orvel::platform {
namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Keycode key, Uint16 mod = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    e.button.clicks = clicks;
    return e;
}

TPlatformEvent Translate(const SDL_Event& e, TSdlContext context = {}) {
    TPlatformEvent out;
    out.Kind = TPlatformEventKind::None;
    if (!TranslateSdlEvent(e, context, out)) out.Kind = TPlatformEventKind::None;
    return out;
}

TEST(SdlEvents, KeysBecomeHostVirtualKeys) {
    EXPECT_EQ(VirtualKeyOf(SDLK_a), 'A');
    EXPECT_EQ(VirtualKeyOf(SDLK_z), 'Z');
    EXPECT_EQ(VirtualKeyOf(SDLK_7), '7');
    EXPECT_EQ(VirtualKeyOf(SDLK_F1), VK_F1);
    EXPECT_EQ(VirtualKeyOf(SDLK_F10), VK_F10);
    EXPECT_EQ(VirtualKeyOf(SDLK_F12), VK_F1 + 11);
    EXPECT_EQ(VirtualKeyOf(SDLK_KP_ENTER), VK_RETURN);
    EXPECT_EQ(VirtualKeyOf(SDLK_PAGEUP), VK_PRIOR);
    EXPECT_EQ(VirtualKeyOf(SDLK_PAGEDOWN), VK_NEXT);
    EXPECT_EQ(VirtualKeyOf(SDLK_DELETE), VK_DELETE);
    EXPECT_EQ(VirtualKeyOf(SDLK_BACKSPACE), VK_BACK);
    EXPECT_EQ(VirtualKeyOf(SDLK_RCTRL), VK_CONTROL);
    EXPECT_EQ(VirtualKeyOf(SDLK_CAPSLOCK), 0);
}

TEST(SdlEvents, AKeyThatTypesComesAsItsTextOnlyUnlessCtrlOrAltIsHeld) {
    // 'a' alone: the text event that follows carries it.
    EXPECT_EQ(Translate(KeyEvent(SDL_KEYDOWN, SDLK_a)).Kind, TPlatformEventKind::None);
    EXPECT_EQ(Translate(KeyEvent(SDL_KEYDOWN, SDLK_SPACE, KMOD_LSHIFT)).Kind,
              TPlatformEventKind::None);
    // Ctrl+C is a key with Ctrl (the editors copy on it); Alt+Down a key with Alt.
    TPlatformEvent copy = Translate(KeyEvent(SDL_KEYDOWN, SDLK_c, KMOD_LCTRL));
    EXPECT_EQ(copy.Kind, TPlatformEventKind::KeyDown);
    EXPECT_EQ(copy.Key, 'C');
    EXPECT_TRUE(copy.Shift.Contains(ssCtrl));
    EXPECT_FALSE(copy.Shift.Contains(ssShift));
    TPlatformEvent down = Translate(KeyEvent(SDL_KEYDOWN, SDLK_DOWN, KMOD_RALT | KMOD_NUM));
    EXPECT_EQ(down.Key, VK_DOWN);
    EXPECT_TRUE(down.Shift.Contains(ssAlt));
    // Shift-Tab and Enter do not type text: they are keys.
    TPlatformEvent back = Translate(KeyEvent(SDL_KEYDOWN, SDLK_TAB, KMOD_LSHIFT));
    EXPECT_EQ(back.Kind, TPlatformEventKind::KeyDown);
    EXPECT_TRUE(back.Shift.Contains(ssShift));
    EXPECT_EQ(Translate(KeyEvent(SDL_KEYDOWN, SDLK_RETURN)).Key, VK_RETURN);
    // Releases are keys up, the typing ones too; an unknown key is dropped.
    EXPECT_EQ(Translate(KeyEvent(SDL_KEYUP, SDLK_a)).Kind, TPlatformEventKind::KeyUp);
    EXPECT_EQ(Translate(KeyEvent(SDL_KEYDOWN, SDLK_CAPSLOCK)).Kind, TPlatformEventKind::None);
}

TEST(SdlEvents, TextInputIsUtf8Text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strcpy(e.text.text, "é");
    TPlatformEvent t = Translate(e);
    EXPECT_EQ(t.Kind, TPlatformEventKind::Text);
    EXPECT_EQ(t.Text, "é");
    e.text.text[0] = 0;
    EXPECT_EQ(Translate(e).Kind, TPlatformEventKind::None);
}

TEST(SdlEvents, MousePositionsAreFormPixelsAtTheScale) {
    TSdlContext scaled;
    scaled.Scale = 2;
    scaled.Modifiers = KMOD_LSHIFT;
    TPlatformEvent down = Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 201, 99), scaled);
    EXPECT_EQ(down.Kind, TPlatformEventKind::MouseDown);
    EXPECT_EQ(down.Button, mbLeft);
    EXPECT_EQ(down.X, 100);
    EXPECT_EQ(down.Y, 49);
    EXPECT_TRUE(down.Shift.Contains(ssShift));
    EXPECT_FALSE(down.DoubleClick);
    // A point left of the window stays left of it at any scale.
    TPlatformEvent outside = Translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, -1, 0), scaled);
    EXPECT_EQ(outside.Kind, TPlatformEventKind::MouseUp);
    EXPECT_EQ(outside.Button, mbRight);
    EXPECT_EQ(outside.X, -1);
    // Unknown buttons (side buttons) are dropped.
    EXPECT_EQ(Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 1)).Kind,
              TPlatformEventKind::None);
}

TEST(SdlEvents, EverySecondPressInARowIsADoubleClick) {
    EXPECT_TRUE(Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 2)).DoubleClick);
    EXPECT_TRUE(
        Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 2)).Shift.Contains(ssDouble));
    EXPECT_FALSE(Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 3)).DoubleClick);
    EXPECT_TRUE(Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 4)).DoubleClick);
    // The release of the second click is a plain release.
    EXPECT_FALSE(Translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, 2)).DoubleClick);
}

TEST(SdlEvents, MovesCarryTheButtonsHeldAndTheWheelItsDirection) {
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = 30;
    move.motion.y = 40;
    move.motion.state = SDL_BUTTON_LMASK;
    TPlatformEvent m = Translate(move);
    EXPECT_EQ(m.Kind, TPlatformEventKind::MouseMove);
    EXPECT_EQ(m.X, 30);
    EXPECT_TRUE(m.Shift.Contains(ssLeft));
    EXPECT_FALSE(m.Shift.Contains(ssRight));

    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    EXPECT_EQ(Translate(wheel).Wheel, -2);
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    EXPECT_EQ(Translate(wheel).Wheel, 2);
    // A sideways scroll alone is no vertical wheel.
    wheel.wheel.y = 0;
    wheel.wheel.x = 3;
    EXPECT_EQ(Translate(wheel).Kind, TPlatformEventKind::None);
}

TEST(SdlEvents, WindowChangesQuitAndTimers) {
    SDL_Event resized{};
    resized.type = SDL_WINDOWEVENT;
    resized.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resized.window.data1 = 1601;
    resized.window.data2 = 900;
    TSdlContext scaled;
    scaled.Scale = 2;
    TPlatformEvent r = Translate(resized, scaled);
    EXPECT_EQ(r.Kind, TPlatformEventKind::Resize);
    EXPECT_EQ(r.Width, 800);
    EXPECT_EQ(r.Height, 450);
    resized.window.event = SDL_WINDOWEVENT_EXPOSED;
    EXPECT_EQ(Translate(resized).Kind, TPlatformEventKind::Expose);
    resized.window.event = SDL_WINDOWEVENT_MOVED;
    EXPECT_EQ(Translate(resized).Kind, TPlatformEventKind::None);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(Translate(quit).Kind, TPlatformEventKind::Quit);

    SDL_Event tick{};
    tick.type = SDL_USEREVENT + 3;
    tick.user.code = 7;
    EXPECT_EQ(Translate(tick).Kind, TPlatformEventKind::None); // no timer type registered
    TSdlContext timers;
    timers.TimerEventType = SDL_USEREVENT + 3;
    TPlatformEvent t = Translate(tick, timers);
    EXPECT_EQ(t.Kind, TPlatformEventKind::Timer);
    EXPECT_EQ(t.TimerId, 7);
}

TEST(SdlEvents, ScaleFollowsTheDisplayDensity) {
    EXPECT_EQ(ScaleForDpi(0), 1);
    EXPECT_EQ(ScaleForDpi(-5), 1);
    EXPECT_EQ(ScaleForDpi(96), 1);
    EXPECT_EQ(ScaleForDpi(143), 1);
    EXPECT_EQ(ScaleForDpi(144), 2);
    EXPECT_EQ(ScaleForDpi(192), 2);
    EXPECT_EQ(ScaleForDpi(288), 3);
    EXPECT_EQ(ScaleForDpi(1000), 4);
}

} // namespace
} // namespace orvel::platform
