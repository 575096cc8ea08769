// The user driver for tests: acts on the headless controls as a person would, with window
// messages at pixel points (a control's client coordinates): clicks, double and right clicks,
// keys, typing into an in-place editor and ending or cancelling it, dragging from one point to
// another, Escape during a drag. Input is handled at once, and an exception a handler raises is
// shown as the message loop shows it (Application().ShownErrors); messages the controls post
// stay queued until run_messages runs the loop.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/controls/StdCtrls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace orvel {

// --- Mouse ---
void mouse_down(TControl& control, int x, int y, TMouseButton button = mbLeft,
                TShiftState shift = {});
void mouse_up(TControl& control, int x, int y, TMouseButton button = mbLeft,
              TShiftState shift = {});
// Moves the cursor to a point of control (the window holding the mouse gets the message).
void mouse_move(TControl& control, int x, int y, TShiftState shift = {});
void click(TControl& control, int x, int y, TShiftState shift = {});
void click(TControl& control, TPoint p, TShiftState shift = {});
// Press, release, double-click press, release: the message order of a double click.
void double_click(TControl& control, int x, int y);
void double_click(TControl& control, TPoint p);
void right_click(TControl& control, int x, int y);
void right_click(TControl& control, TPoint p);

// The middle of a rectangle (for clicking on a node's or item's DisplayRect).
TPoint center_of(const TRect& r);
// Moves the cursor over a point of control as the window system does: WM_SETCURSOR (the window
// under the point shows its cursor), then WM_MOUSEMOVE.
void hover(TControl& control, int x, int y);
// Clicks the middle of an entry of a list box (scrolled into view first), with modifier keys.
void click_item(TCustomListBox& list, int index, TShiftState shift = {});

// --- Keys ---
// Key down, the character it types (Enter, Escape, Backspace, Tab, Space, letters and digits),
// key up; to a control, or to the control with the focus.
void press_key(TWinControl& control, uint16_t key, TShiftState shift = {});
void press_key(uint16_t key, TShiftState shift = {});
// Types characters (WM_CHAR, one per byte) into a control.
void type_text(TWinControl& control, const std::string& text);

// How type_caption leaves the in-place editor.
enum class TEditEnd { Accept, Cancel, KeepOpen };
// Types text into the in-place editor of a tree or list view (replacing the selected caption),
// then presses Enter (Accept), Escape (Cancel) or nothing. A failed expectation when no editor
// is open.
void type_caption(TWinControl& control, const std::string& text, TEditEnd end = TEditEnd::Accept);

// --- Drag and drop ---
// Presses the left button at from, moves halfway and then to the target point, and releases
// there. The drag starts as the control's drag mode says (automatic mode: once the mouse has
// moved beyond the drag threshold).
void drag_to(TControl& source, TPoint from, TControl& target, TPoint to);
// The same up to the point over, then Escape, then the release at over.
void drag_and_cancel(TControl& source, TPoint from, TControl& target, TPoint over);

// --- Menus ---
// Chooses the item of a menu with this caption ('&' markers and case ignored); a failed
// expectation when there is none.
void choose(TMenuItem& menu, const std::string& caption);

// --- Modal dialogs ---
// Runs a test's script as the modal driver while it lives: each ShowModal hands its form to the
// script (which clicks, types and ends the dialog as a person would); the previous driver comes
// back at the end.
class TModalScript {
public:
    explicit TModalScript(std::function<void(TCustomForm&)> script);
    ~TModalScript();
    TModalScript(const TModalScript&) = delete;
    TModalScript& operator=(const TModalScript&) = delete;
    // How many dialogs the script has run.
    int Runs() const { return FRuns; }

private:
    std::function<void(TCustomForm&)> FScript;
    TModalDriver FPrevious;
    int FRuns = 0;
};

// --- Message loop ---
int run_messages();

// Forgets what earlier tests left: queued messages, shown errors, the last popup, a drag, the
// mouse capture, the focus and the modifier keys.
void reset_ui();

// A shown form at (0, 0) that tests put controls on; frees the form and its controls.
class TTestForm {
public:
    explicit TTestForm(int width = 640, int height = 480);
    ~TTestForm();
    TTestForm(const TTestForm&) = delete;
    TTestForm& operator=(const TTestForm&) = delete;

    TForm& Form() { return *FForm; }
    // A control owned by the form, placed on it with the given bounds (windows created).
    template <class C> C& Place(int left, int top, int width, int height) {
        auto* control = new C(FForm);
        control->SetParent(FForm);
        control->SetBounds(left, top, width, height);
        return *control;
    }

private:
    TForm* FForm;
};

// A test whose user interface state starts clean.
class TUiTest : public ::testing::Test {
protected:
    void SetUp() override { reset_ui(); }
    void TearDown() override { reset_ui(); }
};

} // namespace orvel
