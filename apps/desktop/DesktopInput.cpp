// Platform events as explorer input, and the desktop's command line.
#include "apps/desktop/DesktopInput.h"

#include "apps/explorer/TextScreen.h"
#include "orvel/host/core/Exceptions.h"

#include <charconv>

namespace orvel::desktop {

using platform::TPlatformEvent;
using platform::TPlatformEventKind;

namespace {

void Mouse(const TPlatformEvent& in, explorer::TMouseAction action, explorer::TInputEvent& out) {
    out.Kind = explorer::TInputKind::Mouse;
    out.Action = action;
    out.Pixels = true;
    out.X = in.X;
    out.Y = in.Y;
    out.Shift = in.Shift.Contains(ssShift);
    out.Ctrl = in.Shift.Contains(ssCtrl);
    out.Alt = in.Shift.Contains(ssAlt);
}

} // namespace

bool ToInputEvent(const TPlatformEvent& in, explorer::TInputEvent& out) {
    out = explorer::TInputEvent{};
    switch (in.Kind) {
    case TPlatformEventKind::KeyDown:
        if (in.Key == VK_SHIFT || in.Key == VK_CONTROL || in.Key == VK_MENU || in.Key == 0)
            return false;
        out.Kind = explorer::TInputKind::Key;
        out.Key = in.Key;
        out.Shift = in.Shift.Contains(ssShift);
        out.Ctrl = in.Shift.Contains(ssCtrl);
        out.Alt = in.Shift.Contains(ssAlt);
        return true;
    case TPlatformEventKind::Text:
        out.Kind = explorer::TInputKind::Char;
        out.Text = in.Text;
        return !in.Text.empty();
    case TPlatformEventKind::MouseDown:
        if (in.Button == mbRight) {
            // The right button selects what it points at and opens its menu.
            Mouse(in, explorer::TMouseAction::RightClick, out);
            return true;
        }
        if (in.Button != mbLeft) return false;
        Mouse(in,
              in.DoubleClick ? explorer::TMouseAction::DoublePress : explorer::TMouseAction::Press,
              out);
        return true;
    case TPlatformEventKind::MouseUp:
        if (in.Button != mbLeft) return false;
        Mouse(in, explorer::TMouseAction::Release, out);
        return true;
    case TPlatformEventKind::MouseMove:
        // Only a held button makes a move matter (a drag, a selection of text).
        if (!in.Shift.Contains(ssLeft)) return false;
        Mouse(in, explorer::TMouseAction::Move, out);
        return true;
    case TPlatformEventKind::MouseWheel:
        Mouse(in, explorer::TMouseAction::Wheel, out);
        out.Wheel = in.Wheel;
        return in.Wheel != 0;
    case TPlatformEventKind::Resize:
        out.Kind = explorer::TInputKind::Resize;
        out.X = std::max(1, in.Width / explorer::CellWidth);
        out.Y = std::max(1, in.Height / explorer::CellHeight);
        return true;
    case TPlatformEventKind::Expose:
        out.Kind = explorer::TInputKind::Redraw;
        return true;
    default:
        return false;
    }
}

bool TWindowInput::Next(explorer::TInputEvent& event) {
    for (;;) {
        TPlatformEvent e;
        if (!FPlatform.WaitEvent(e, -1)) continue;
        if (e.Kind == TPlatformEventKind::Quit) {
            if (++FCloseRequests > 1) return false;
            event = explorer::TInputEvent{};
            event.Kind = explorer::TInputKind::Key;
            event.Key = VK_F10;
            event.Name = "close";
            return true;
        }
        if (!ToInputEvent(e, event)) continue;
        if (FAdjust) FAdjust(event);
        return true;
    }
}

namespace {

int PositiveNumber(const std::string& option, const std::string& text, int largest) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > largest)
        throw EConvertError(option + " takes a whole number from 1 to " + std::to_string(largest) +
                            ": '" + text + "'");
    return value;
}

} // namespace

TDesktopOptions ParseDesktopOptions(const std::vector<std::string>& args) {
    TDesktopOptions options;
    std::vector<std::string> rest;
    bool sized = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw EConvertError(a + " needs a value");
            return args[++i];
        };
        if (a == "--scale") {
            options.Scale = PositiveNumber(a, value(), 8);
        } else if (a == "--screenshot") {
            options.Screenshot = value();
        } else if (a == "--offscreen") {
            options.Offscreen = value();
        } else {
            if (a == "--size") sized = true;
            rest.push_back(a);
        }
    }
    options.Explorer = explorer::ParseOptions(rest);
    if (!sized) {
        options.Explorer.Columns = DefaultColumns;
        options.Explorer.Rows = DefaultRows;
    }
    bool pictures = !options.Screenshot.empty() || !options.Offscreen.empty();
    if (pictures && !options.Explorer.Scripted)
        throw EConvertError("--screenshot and --offscreen take the picture at the end of --keys");
    return options;
}

std::string DesktopUsageText() {
    return "usage: orvel-desktop [options] [DATABASE]\n\n"
           "The explorer in a desktop window. Besides the explorer's options below:\n"
           "  --scale N             show each pixel as N x N (default: from the display)\n"
           "  --screenshot FILE     with --keys: read the window back at the end into FILE (PNG)\n"
           "  --offscreen FILE      with --keys: compose the same frame without a window\n"
           "                        (alone, no window is opened)\n\n" +
           explorer::UsageText();
}

} // namespace orvel::desktop
