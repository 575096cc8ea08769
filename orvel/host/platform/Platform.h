// Showing forms in real windows: the one narrow interface between the application and a
// windowing system. A window presents rectangles of a bitmap's pixels; the platform delivers what
// the person does (mouse, keys, typed text, resizing) and timer ticks as plain events in the
// host's terms (virtual-key codes, shift states, pixels of the form), and reads and writes the
// system clipboard. Nothing of a particular toolkit shows through: another implementation (a
// different toolkit, a browser canvas) can stand beside the SDL one.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/Graphics.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvel::platform {

enum class TPlatformEventKind {
    None,
    Quit,      // the window was closed
    MouseDown, // Button at X, Y; DoubleClick for the second press of a double click
    MouseUp,
    MouseMove,
    MouseWheel, // Wheel notches, positive away from the person (scroll up)
    KeyDown,    // Key: a host virtual-key code
    KeyUp,
    Text,   // Text typed, UTF-8 (delivered after the KeyDown of the key that typed it)
    Resize, // the client area is now Width x Height pixels of the form
    Expose, // the window must be presented again
    Timer,  // TimerId fired
};

struct TPlatformEvent {
    TPlatformEventKind Kind = TPlatformEventKind::None;
    // Mouse position in the form's pixels (the window's pixels divided by the scale factor).
    int X = 0;
    int Y = 0;
    TMouseButton Button = mbLeft;
    bool DoubleClick = false;
    int Wheel = 0;
    uint16_t Key = 0;
    TShiftState Shift;
    std::string Text;
    int Width = 0;
    int Height = 0;
    int TimerId = 0;
};

// A window showing a form's pixels, each form pixel as Scale x Scale window pixels.
class TPlatformWindow {
public:
    virtual ~TPlatformWindow() = default;
    virtual void SetTitle(const std::string& title) = 0;
    // The client area in form pixels.
    virtual TSize ClientSize() const = 0;
    virtual int Scale() const = 0;
    // Shows the pixels of damaged (form pixels, clipped to the bitmap and the window); the rest
    // of the window keeps what it showed.
    virtual void Present(const TBitmap& pixels, const TRect& damaged) = 0;
    // Reads back what the window shows now, one bitmap pixel per form pixel (the top-left
    // window pixel of each Scale x Scale block); false when the window system cannot.
    virtual bool Screenshot(TBitmap& into) = 0;
};

class TPlatform {
public:
    virtual ~TPlatform() = default;
    // A window of width x height form pixels with its title; EInvalidOperation when the window
    // system refuses. scale 0 takes the display's own factor (DisplayScale).
    virtual std::unique_ptr<TPlatformWindow> CreateWindow(const std::string& title, int width,
                                                          int height, int scale) = 0;
    // The next event, waiting at most timeoutMs (negative: as long as it takes); false when
    // none came in time.
    virtual bool WaitEvent(TPlatformEvent& event, int timeoutMs) = 0;
    // The system clipboard's text ("" when it holds none) and setting it.
    virtual std::string ClipboardText() = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    // A repeating timer: a Timer event with the answered id every intervalMs.
    virtual int StartTimer(int intervalMs) = 0;
    virtual void StopTimer(int id) = 0;
    // The whole-number scale factor that suits the primary display's density (1 for an
    // ordinary screen, 2 for a high-density one).
    virtual int DisplayScale() const = 0;
};

// The scale factor for a display density in dots per inch: 1 up to 143 dpi, 2 up to 239, and so
// on (at most 4); densities the system does not know (0 or less) count as ordinary.
int ScaleForDpi(float dpi);

// Makes the host's clipboard routines (ClipboardText, SetClipboardText, and with them the edit
// boxes' and in-place editors' Ctrl-C, Ctrl-V, Ctrl-X) use the platform's clipboard; nullptr
// returns them to the application's own.
void UseSystemClipboard(TPlatform* platform);

} // namespace orvel::platform
