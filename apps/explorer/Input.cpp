// Key scripts.
#include "apps/explorer/Input.h"

#include "apps/explorer/TextScreen.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Messages.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace orvel::explorer {

namespace {

struct TNamedKey {
    const char* Name;
    uint16_t Key;
};

const TNamedKey kKeys[] = {
    {"Up", VK_UP},        {"Down", VK_DOWN},   {"Left", VK_LEFT},   {"Right", VK_RIGHT},
    {"PgUp", VK_PRIOR},   {"PgDn", VK_NEXT},   {"Home", VK_HOME},   {"End", VK_END},
    {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE},  {"Tab", VK_TAB},     {"BS", VK_BACK},
    {"Ins", VK_INSERT},   {"Del", VK_DELETE},  {"Space", VK_SPACE}, {"F1", VK_F1},
    {"F2", VK_F2},        {"F3", VK_F1 + 2},   {"F4", VK_F1 + 3},   {"F5", VK_F5},
    {"F6", VK_F1 + 5},    {"F7", VK_F1 + 6},   {"F8", VK_F1 + 7},   {"F9", VK_F1 + 8},
    {"F10", VK_F10},      {"F11", VK_F1 + 10}, {"F12", VK_F1 + 11},
};

std::vector<int> Numbers(const std::string& text, const std::string& item) {
    std::vector<int> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int value = 0;
        auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || value < 0)
            throw EConvertError("bad cell position in <" + item + ">");
        out.push_back(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

TInputEvent MouseItem(const std::string& kind, const std::string& args, const std::string& item) {
    static const std::pair<const char*, TMouseAction> actions[] = {
        {"Click", TMouseAction::Click},       {"DClick", TMouseAction::DoubleClick},
        {"RClick", TMouseAction::RightClick}, {"Drag", TMouseAction::Drag},
        {"Press", TMouseAction::Press},       {"Release", TMouseAction::Release},
        {"Move", TMouseAction::Move},         {"WheelUp", TMouseAction::Wheel},
        {"WheelDown", TMouseAction::Wheel},
    };
    TInputEvent e;
    e.Kind = TInputKind::Mouse;
    e.Name = item;
    auto found = std::find_if(std::begin(actions), std::end(actions),
                              [&](const auto& a) { return kind == a.first; });
    if (found == std::end(actions)) throw EConvertError("unknown mouse action <" + item + ">");
    e.Action = found->second;
    if (e.Action == TMouseAction::Wheel) e.Wheel = kind == "WheelUp" ? 1 : -1;
    std::vector<int> n = Numbers(args, item);
    std::size_t wanted = e.Action == TMouseAction::Drag ? 4 : 2;
    if (n.size() != wanted) throw EConvertError("wrong number of cells in <" + item + ">");
    e.X = n[0];
    e.Y = n[1];
    if (wanted == 4) {
        e.X2 = n[2];
        e.Y2 = n[3];
    }
    return e;
}

TInputEvent NamedItem(const std::string& item) {
    TInputEvent e;
    e.Name = item;
    std::size_t colon = item.find(':');
    if (colon != std::string::npos && item.substr(0, colon) == "Size") {
        // The terminal changed its size: <Size:COLUMNS,ROWS>.
        std::vector<int> n = Numbers(item.substr(colon + 1), item);
        if (n.size() != 2 || n[0] < 1 || n[1] < 1)
            throw EConvertError("<Size:COLUMNS,ROWS> takes two sizes: <" + item + ">");
        e.Kind = TInputKind::Resize;
        e.X = n[0];
        e.Y = n[1];
        return e;
    }
    if (colon != std::string::npos)
        return MouseItem(item.substr(0, colon), item.substr(colon + 1), item);
    if (item == "Dump") {
        e.Kind = TInputKind::Dump;
        return e;
    }
    if (item == "lt") {
        e.Kind = TInputKind::Char;
        e.Text = "<";
        return e;
    }
    std::string name = item;
    while (name.size() > 2 && name[1] == '-' &&
           (name[0] == 'S' || name[0] == 'C' || name[0] == 'A')) {
        (name[0] == 'S' ? e.Shift : name[0] == 'C' ? e.Ctrl : e.Alt) = true;
        name = name.substr(2);
    }
    for (const TNamedKey& k : kKeys)
        if (name == k.Name) {
            e.Kind = TInputKind::Key;
            e.Key = k.Key;
            return e;
        }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])) && e.Ctrl) {
        e.Kind = TInputKind::Key;
        e.Key = static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(name[0])));
        return e;
    }
    throw EConvertError("unknown key <" + item + ">");
}

} // namespace

std::vector<TInputEvent> ParseKeyScript(const std::string& script) {
    std::vector<TInputEvent> events;
    std::size_t i = 0;
    while (i < script.size()) {
        if (script[i] == '<') {
            std::size_t close = script.find('>', i + 1);
            if (close == std::string::npos || close == i + 1)
                throw EConvertError(
                    "a '<' without its name and '>' in the key script (write <lt>)");
            events.push_back(NamedItem(script.substr(i + 1, close - i - 1)));
            i = close + 1;
            continue;
        }
        if (script[i] == '\n' || script[i] == '\r') { // scripts may span lines
            ++i;
            continue;
        }
        std::string character = SplitCharacters(script.substr(i, 4)).front();
        TInputEvent e;
        e.Kind = TInputKind::Char;
        e.Text = character;
        e.Name = character;
        events.push_back(e);
        i += character == "?" && script[i] != '?' ? 1 : character.size();
    }
    return events;
}

std::string KeyName(const TInputEvent& event) {
    if (event.Kind == TInputKind::Char) return event.Text;
    std::string prefix =
        std::string(event.Alt ? "A-" : "") + (event.Ctrl ? "C-" : "") + (event.Shift ? "S-" : "");
    for (const TNamedKey& k : kKeys)
        if (event.Key == k.Key) return prefix + k.Name;
    if (event.Key >= 'A' && event.Key <= 'Z')
        return prefix + static_cast<char>(event.Key - 'A' + 'a');
    return prefix + "key " + std::to_string(event.Key);
}

bool TScriptInput::Next(TInputEvent& event) {
    if (FEvents.empty()) return false;
    event = std::move(FEvents.front());
    FEvents.pop_front();
    return true;
}

} // namespace orvel::explorer
