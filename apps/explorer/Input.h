// What a person does, as the explorer receives it: keys and characters, mouse actions on text
// cells or pixels, and (for scripts) a request to print the screen. The terminal front end reads
// them from the terminal, the desktop front end from its window; the non-interactive mode reads
// them from a key script.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace orvel::explorer {

// Redraw: no input, only a request to show the screen (a dialog has just opened).
enum class TInputKind { Key, Char, Mouse, Resize, Dump, Redraw };
// DoublePress: the second press of a double click (its first press and release came before);
// Wheel: Wheel notches (positive: away from the person) over the point.
enum class TMouseAction {
    Press,
    Release,
    Move,
    Click,
    DoubleClick,
    RightClick,
    Drag,
    DoublePress,
    Wheel
};

struct TInputEvent {
    TInputKind Kind = TInputKind::Key;
    uint16_t Key = 0; // virtual key code (Key)
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    std::string Text; // the character typed (Char), UTF-8
    TMouseAction Action = TMouseAction::Click;
    int X = 0; // cells, or pixels when Pixels (Mouse; Resize: columns)
    int Y = 0; // cells, or pixels when Pixels (Mouse; Resize: rows)
    int X2 = 0;
    int Y2 = 0;
    bool Pixels = false; // a mouse position in pixels of the form (the desktop's mouse)
    int Wheel = 0;
    std::string Name; // how a script wrote it, for step dumps
};

// Parses a key script (see UsageText); EConvertError for an unknown <name> or a bad mouse item.
std::vector<TInputEvent> ParseKeyScript(const std::string& script);
// A key name as scripts and the status line write it ("Down", "F2", "C-a").
std::string KeyName(const TInputEvent& event);

// Where the explorer's input comes from: the terminal, or a script.
class TInputSource {
public:
    virtual ~TInputSource() = default;
    // The next input; false when there is none any more (the end of a script, a closed
    // terminal).
    virtual bool Next(TInputEvent& event) = 0;
};

class TScriptInput : public TInputSource {
public:
    explicit TScriptInput(std::vector<TInputEvent> events)
        : FEvents(events.begin(), events.end()) {}
    bool Next(TInputEvent& event) override;
    bool Empty() const { return FEvents.empty(); }

private:
    std::deque<TInputEvent> FEvents;
};

} // namespace orvel::explorer
