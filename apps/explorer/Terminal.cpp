// The ncurses front end.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>

#include "apps/explorer/Terminal.h"

#include "apps/explorer/Explorer.h"
#include "apps/explorer/Input.h"
#include "apps/explorer/TextScreen.h"
#include "orvel/host/core/Messages.h"

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <langinfo.h>
#include <string>

namespace orvel::explorer {

namespace {

short CursesColor(TCellColor c) {
    switch (c) {
    case ccBlack:
        return COLOR_BLACK;
    case ccRed:
        return COLOR_RED;
    case ccGreen:
        return COLOR_GREEN;
    case ccYellow:
        return COLOR_YELLOW;
    case ccBlue:
        return COLOR_BLUE;
    case ccMagenta:
        return COLOR_MAGENTA;
    case ccCyan:
        return COLOR_CYAN;
    case ccWhite:
        return COLOR_WHITE;
    default:
        return -1;
    }
}

// Colour pairs: one per foreground and background, numbered from 1.
short PairOf(const TCellAttr& a) {
    return static_cast<short>(1 + a.Fore * 9 + a.Back);
}

void InitColors() {
    if (!has_colors()) return;
    start_color();
    use_default_colors();
    for (int f = 0; f < 9; ++f)
        for (int b = 0; b < 9; ++b)
            init_pair(static_cast<short>(1 + f * 9 + b), CursesColor(static_cast<TCellColor>(f)),
                      CursesColor(static_cast<TCellColor>(b)));
}

void Show(const TTextScreen& screen) {
    for (int y = 0; y < screen.Height(); ++y) {
        for (int x = 0; x < screen.Width(); ++x) {
            const TCell& cell = screen.At(x, y);
            attr_t a = A_NORMAL;
            if (cell.Attr.Bold) a |= A_BOLD;
            if (cell.Attr.Reverse) a |= A_REVERSE;
            if (cell.Attr.Underline) a |= A_UNDERLINE;
            // The right half of a wide character: the character to its left covers it.
            if (cell.Glyph.empty()) continue;
            attr_set(a, has_colors() ? PairOf(cell.Attr) : 0, nullptr);
            // Each character goes to its own cell, so a terminal measuring a character other
            // than the screen does shifts nothing after it. The last cell of the screen is
            // written with insch, so the cursor never wraps.
            if (x == screen.Width() - 1 && y == screen.Height() - 1)
                mvinsstr(y, x, cell.Glyph.c_str());
            else
                mvaddstr(y, x, cell.Glyph.c_str());
        }
    }
    if (screen.CursorX() >= 0) {
        curs_set(1);
        move(screen.CursorY(), screen.CursorX());
    } else {
        curs_set(0);
    }
    refresh();
}

std::string Utf8(wint_t ch) {
    char buffer[MB_LEN_MAX + 1] = {};
    std::mbstate_t state{};
    std::size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(ch), &state);
    return n == static_cast<std::size_t>(-1) ? "?" : std::string(buffer, n);
}

class TTerminalInput : public TInputSource {
public:
    bool Next(TInputEvent& event) override {
        for (;;) {
            wint_t ch = 0;
            int kind = get_wch(&ch);
            if (kind == ERR) return false;
            event = TInputEvent{};
            if (kind == KEY_CODE_YES) {
                if (Special(static_cast<int>(ch), event)) return true;
                continue;
            }
            if (ch == 27 && AltFollows(event)) return true;
            if (Control(static_cast<int>(ch), event)) return true;
            event.Kind = TInputKind::Char;
            event.Text = Utf8(ch);
            return true;
        }
    }

private:
    // Terminals send Alt with a key as Escape followed at once by that key: a key that arrives
    // within the escape delay makes an Alt key, nothing makes a plain Escape.
    bool AltFollows(TInputEvent& e) {
        nodelay(stdscr, TRUE);
        wint_t next = 0;
        int kind = get_wch(&next);
        nodelay(stdscr, FALSE);
        if (kind == ERR) return false;
        bool known = kind == KEY_CODE_YES ? Special(static_cast<int>(next), e)
                                          : Control(static_cast<int>(next), e);
        if (!known) {
            e.Kind = TInputKind::Char;
            e.Text = Utf8(next);
        }
        e.Alt = true;
        return true;
    }

    // Alt with an arrow key arrives as a key code of its own that the terminal description names.
    bool AltArrow(int ch, TInputEvent& e) {
        static const struct {
            const char* Name;
            uint16_t Key;
        } arrows[] = {{"kUP3", VK_UP}, {"kDN3", VK_DOWN}, {"kLFT3", VK_LEFT}, {"kRIT3", VK_RIGHT}};
        for (const auto& a : arrows) {
            char* sequence = tigetstr(const_cast<char*>(a.Name));
            if (!sequence || sequence == reinterpret_cast<char*>(-1)) continue;
            if (key_defined(sequence) == ch) {
                Key(e, a.Key);
                e.Alt = true;
                return true;
            }
        }
        return false;
    }

    static bool Key(TInputEvent& e, uint16_t key, bool shift = false) {
        e.Kind = TInputKind::Key;
        e.Key = key;
        e.Shift = shift;
        return true;
    }

    bool Control(int ch, TInputEvent& e) {
        switch (ch) {
        case '\t':
            return Key(e, VK_TAB);
        case '\n':
        case '\r':
            return Key(e, VK_RETURN);
        case 27:
            return Key(e, VK_ESCAPE);
        case 127:
        case 8:
            return Key(e, VK_BACK);
        default:
            if (ch > 0 && ch < 27) {
                e.Kind = TInputKind::Key;
                e.Key = static_cast<uint16_t>('A' + ch - 1);
                e.Ctrl = true;
                return true;
            }
            return false;
        }
    }

    bool Special(int ch, TInputEvent& e) {
        if (AltArrow(ch, e)) return true;
        if (ch >= KEY_F(1) && ch <= KEY_F(12))
            return Key(e, static_cast<uint16_t>(VK_F1 + ch - KEY_F(1)));
        if (ch >= KEY_F(13) && ch <= KEY_F(24)) // Shift with a function key
            return Key(e, static_cast<uint16_t>(VK_F1 + ch - KEY_F(13)), true);
        switch (ch) {
        case KEY_UP:
            return Key(e, VK_UP);
        case KEY_DOWN:
            return Key(e, VK_DOWN);
        case KEY_LEFT:
            return Key(e, VK_LEFT);
        case KEY_RIGHT:
            return Key(e, VK_RIGHT);
        case KEY_PPAGE:
            return Key(e, VK_PRIOR);
        case KEY_NPAGE:
            return Key(e, VK_NEXT);
        case KEY_HOME:
            return Key(e, VK_HOME);
        case KEY_END:
            return Key(e, VK_END);
        case KEY_IC:
            return Key(e, VK_INSERT);
        case KEY_DC:
            return Key(e, VK_DELETE);
        case KEY_BACKSPACE:
            return Key(e, VK_BACK);
        case KEY_ENTER:
            return Key(e, VK_RETURN);
        case KEY_BTAB:
            return Key(e, VK_TAB, true);
        case KEY_RESIZE:
            e.Kind = TInputKind::Resize;
            getmaxyx(stdscr, e.Y, e.X);
            return true;
        case KEY_MOUSE:
            return Mouse(e);
        default:
            return false;
        }
    }

    bool Mouse(TInputEvent& e) {
        MEVENT m;
        if (getmouse(&m) != OK) return false;
        e.Kind = TInputKind::Mouse;
        e.X = m.x;
        e.Y = m.y;
        if (m.bstate & BUTTON1_PRESSED) {
            e.Action = TMouseAction::Press;
            FPressed = true;
        } else if (m.bstate & BUTTON1_RELEASED) {
            e.Action = TMouseAction::Release;
            FPressed = false;
        } else if (m.bstate & (BUTTON1_CLICKED | BUTTON1_DOUBLE_CLICKED)) {
            e.Action = (m.bstate & BUTTON1_DOUBLE_CLICKED) ? TMouseAction::DoubleClick
                                                           : TMouseAction::Click;
        } else if (m.bstate & (BUTTON3_PRESSED | BUTTON3_CLICKED)) {
            e.Action = TMouseAction::RightClick;
        } else if (m.bstate & REPORT_MOUSE_POSITION) {
            if (!FPressed) return false;
            e.Action = TMouseAction::Move;
        } else {
            return false;
        }
        return true;
    }

    bool FPressed = false;
};

// Restores the terminal however the explorer ends.
struct TCursesSession {
    TCursesSession() {
        initscr();
        raw();
        noecho();
        keypad(stdscr, TRUE);
        set_escdelay(25);
        mousemask(ALL_MOUSE_EVENTS | REPORT_MOUSE_POSITION, nullptr);
        mouseinterval(0);
        // Button-event tracking: moves are reported while a button is held (for dragging).
        std::printf("\033[?1002h");
        std::fflush(stdout);
        InitColors();
        curs_set(0);
    }
    ~TCursesSession() {
        std::printf("\033[?1002l");
        std::fflush(stdout);
        endwin();
    }
};

bool Utf8Terminal() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && std::string(codeset) == "UTF-8";
}

} // namespace

int RunInTerminal(const TOptions& options) {
    std::setlocale(LC_ALL, "");
    TOptions opts = options;
    if (!Utf8Terminal()) opts.Ascii = true;
    std::string failure;
    {
        TCursesSession session;
        int rows = 0, cols = 0;
        getmaxyx(stdscr, rows, cols);
        // The screen is the terminal's own size: a smaller one than the layout needs shows a
        // notice instead of a layout drawn past the terminal's edge.
        TTextScreen screen(std::max(cols, 1), std::max(rows, 1));
        try {
            TExplorer explorer(opts, screen);
            explorer.Start();
            Show(screen);
            TTerminalInput input;
            explorer.Run(input, [&](const TInputEvent&) { Show(screen); });
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "orvel-explorer: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}

} // namespace orvel::explorer
