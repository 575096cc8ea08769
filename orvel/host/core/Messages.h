// Window messages, their parameters and the other numeric constants of the host's window system
// that controls and components exchange.
#pragma once

#include <cstdint>

namespace orvel {

using HWND = uintptr_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HDC = uintptr_t;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// A queued message with its destination window.
struct TMsg {
    HWND Handle = 0;
    UINT Message = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
};

inline constexpr int16_t LoWordSigned(LPARAM l) {
    return static_cast<int16_t>(l & 0xFFFF);
}
inline constexpr int16_t HiWordSigned(LPARAM l) {
    return static_cast<int16_t>((l >> 16) & 0xFFFF);
}
inline constexpr uint16_t LoWord(uintptr_t l) {
    return static_cast<uint16_t>(l & 0xFFFF);
}
inline constexpr uint16_t HiWord(uintptr_t l) {
    return static_cast<uint16_t>((l >> 16) & 0xFFFF);
}
inline constexpr LPARAM MakeLParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(x))) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline constexpr WPARAM MakeWParam(unsigned lo, unsigned hi) {
    return static_cast<WPARAM>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16));
}

enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETREDRAW = 0x000B,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_CANCELMODE = 0x001F,
    WM_SETCURSOR = 0x0020,
    WM_WINDOWPOSCHANGED = 0x0047,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCHAR = 0x0106,
    WM_COMMAND = 0x0111,
    WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
    WM_USER = 0x0400,

    // Edit boxes.
    EM_SETSEL = 0x00B1,
    EM_SCROLLCARET = 0x00B7,
    EM_SETREADONLY = 0x00CF,
    EM_SETRECT = 0x00B3,
    EM_SETRECTNP = 0x00B4,

    // Buttons and check boxes.
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,

    // Combo boxes.
    CB_ADDSTRING = 0x0143,
    CB_DELETESTRING = 0x0144,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_RESETCONTENT = 0x014B,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_GETDROPPEDSTATE = 0x0157,

    // List boxes.
    LB_ADDSTRING = 0x0180,
    LB_RESETCONTENT = 0x0184,
    LB_SETCURSEL = 0x0186,
    LB_GETCURSEL = 0x0188,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,

    // The host's own control messages.
    CM_BASE = 0xB000,
    CM_ACTIVATE = CM_BASE + 0,
    CM_DEACTIVATE = CM_BASE + 1,
    CM_ENABLEDCHANGED = CM_BASE + 3,
    CM_FONTCHANGED = CM_BASE + 8,
    CM_VISIBLECHANGED = CM_BASE + 11,
    CM_ENTER = CM_BASE + 12,
    CM_EXIT = CM_BASE + 13,
    CM_CANCELMODE = CM_BASE + 16,
    CM_TEXTCHANGED = CM_BASE + 18,
    CM_GETDATALINK = CM_BASE + 43,
};

// Notification codes carried in the high word of WM_COMMAND's first parameter.
enum : unsigned {
    CBN_SELCHANGE = 1,
    CBN_DBLCLK = 2,
    CBN_SETFOCUS = 3,
    CBN_KILLFOCUS = 4,
    CBN_EDITCHANGE = 5,
    CBN_DROPDOWN = 7,
    CBN_CLOSEUP = 8,
    LBN_SELCHANGE = 1,
};

// Virtual key codes.
enum : uint16_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F5 = 0x74,
    VK_F10 = 0x79,
};

// Mouse-key flags in the first parameter of mouse messages.
enum : WPARAM {
    MK_LBUTTON = 0x01,
    MK_RBUTTON = 0x02,
    MK_SHIFT = 0x04,
    MK_CONTROL = 0x08,
    MK_MBUTTON = 0x10
};

// The Alt key is held: bit 29 of the key data of WM_SYSKEYDOWN and WM_KEYDOWN.
inline constexpr LPARAM KF_ALTDOWN_LPARAM = static_cast<LPARAM>(1) << 29;

// System metrics.
enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
};

// Window styles and placement flags.
enum : uint32_t {
    WS_BORDER = 0x00800000,
    WS_CHILD = 0x40000000,
    WS_POPUP = 0x80000000,
    WS_VISIBLE = 0x10000000,
    WS_VSCROLL = 0x00200000,
    WS_EX_TOOLWINDOW = 0x00000080,
    WS_EX_TOPMOST = 0x00000008,
    CS_SAVEBITS = 0x0800,
    CS_DBLCLKS = 0x0008,
};

enum : UINT {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
};

// Frame-control drawing.
enum : UINT {
    DFC_SCROLL = 3,
    DFC_BUTTON = 4,
    DFCS_SCROLLCOMBOBOX = 0x0005,
    DFCS_BUTTONCHECK = 0x0000,
    DFCS_INACTIVE = 0x0100,
    DFCS_PUSHED = 0x0200,
    DFCS_CHECKED = 0x0400,
    DFCS_FLAT = 0x4000,
};

// Cursors.
enum : int { IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_DRAG = -12, IDC_NO = -18 };

} // namespace orvel
