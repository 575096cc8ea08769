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
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_CANCELMODE = 0x001F,
    WM_SETCURSOR = 0x0020,
    WM_SETFONT = 0x0030,
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
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_GETRECT = 0x00B2,
    EM_REPLACESEL = 0x00C2,
    EM_LIMITTEXT = 0x00C5,
    EM_GETMODIFY = 0x00B8,
    EM_SETMODIFY = 0x00B9,
    EM_SCROLLCARET = 0x00B7,
    EM_SETREADONLY = 0x00CF,
    EM_SETRECT = 0x00B3,
    EM_SETRECTNP = 0x00B4,

    // Buttons and check boxes.
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_CLICK = 0x00F5,

    // Combo boxes.
    CB_GETEDITSEL = 0x0140,
    CB_SETEDITSEL = 0x0142,
    CB_ADDSTRING = 0x0143,
    CB_DELETESTRING = 0x0144,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_GETLBTEXT = 0x0148,
    CB_INSERTSTRING = 0x014A,
    CB_RESETCONTENT = 0x014B,
    CB_FINDSTRING = 0x014C,
    CB_SELECTSTRING = 0x014D,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_SETITEMHEIGHT = 0x0153,
    CB_GETITEMHEIGHT = 0x0154,
    CB_GETDROPPEDSTATE = 0x0157,
    CB_FINDSTRINGEXACT = 0x0158,

    // List boxes.
    LB_ADDSTRING = 0x0180,
    LB_INSERTSTRING = 0x0181,
    LB_DELETESTRING = 0x0182,
    LB_RESETCONTENT = 0x0184,
    LB_SETSEL = 0x0185,
    LB_SETCURSEL = 0x0186,
    LB_GETSEL = 0x0187,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,
    LB_FINDSTRING = 0x018F,
    LB_GETSELCOUNT = 0x0190,
    LB_SETTOPINDEX = 0x0197,
    LB_SETCARETINDEX = 0x019E,
    LB_GETCARETINDEX = 0x019F,
    LB_SETITEMHEIGHT = 0x01A0,
    LB_GETITEMHEIGHT = 0x01A1,
    LB_FINDSTRINGEXACT = 0x01A2,

    // The host's own control messages.
    CM_BASE = 0xB000,
    CM_ACTIVATE = CM_BASE + 0,
    CM_DEACTIVATE = CM_BASE + 1,
    CM_ENABLEDCHANGED = CM_BASE + 3,
    CM_DIALOGKEY = CM_BASE + 5,
    CM_DIALOGCHAR = CM_BASE + 6,
    CM_FONTCHANGED = CM_BASE + 8,
    CM_VISIBLECHANGED = CM_BASE + 11,
    CM_ENTER = CM_BASE + 12,
    CM_EXIT = CM_BASE + 13,
    CM_CANCELMODE = CM_BASE + 16,
    CM_TEXTCHANGED = CM_BASE + 18,
    CM_RELEASE = CM_BASE + 33,
    CM_GETDATALINK = CM_BASE + 43,
};

// The error answer of list and combo box messages.
inline constexpr LRESULT LB_ERR = -1;
inline constexpr LRESULT CB_ERR = -1;

// Notification codes carried in the high word of WM_COMMAND's first parameter.
enum : unsigned {
    CBN_SELCHANGE = 1,
    CBN_DBLCLK = 2,
    CBN_SETFOCUS = 3,
    CBN_KILLFOCUS = 4,
    CBN_EDITCHANGE = 5,
    CBN_DROPDOWN = 7,
    CBN_CLOSEUP = 8,
    CBN_SELENDOK = 9,
    CBN_SELENDCANCEL = 10,
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    EN_CHANGE = 0x0300,
    BN_CLICKED = 0,
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
    VK_F3 = 0x72,
    VK_F4 = 0x73,
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
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
};

// Window styles and placement flags.
enum : uint32_t {
    WS_BORDER = 0x00800000,
    WS_CHILD = 0x40000000,
    WS_POPUP = 0x80000000,
    WS_VISIBLE = 0x10000000,
    WS_DISABLED = 0x08000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_CAPTION = 0x00C00000,
    WS_DLGFRAME = 0x00400000,
    WS_VSCROLL = 0x00200000,
    WS_HSCROLL = 0x00100000,
    WS_SYSMENU = 0x00080000,
    WS_THICKFRAME = 0x00040000,
    WS_TABSTOP = 0x00010000,
    WS_EX_DLGMODALFRAME = 0x00000001,
    WS_EX_TOPMOST = 0x00000008,
    WS_EX_TOOLWINDOW = 0x00000080,
    WS_EX_CLIENTEDGE = 0x00000200,
    CS_VREDRAW = 0x0001,
    CS_HREDRAW = 0x0002,
    CS_DBLCLKS = 0x0008,
    CS_SAVEBITS = 0x0800,
    // Styles of the host's list boxes, combo boxes, edit boxes and buttons.
    LBS_NOTIFY = 0x0001,
    LBS_SORT = 0x0002,
    LBS_MULTIPLESEL = 0x0008,
    LBS_OWNERDRAWFIXED = 0x0010,
    LBS_OWNERDRAWVARIABLE = 0x0020,
    LBS_HASSTRINGS = 0x0040,
    LBS_NOINTEGRALHEIGHT = 0x0100,
    LBS_EXTENDEDSEL = 0x0800,
    CBS_SIMPLE = 0x0001,
    CBS_DROPDOWN = 0x0002,
    CBS_DROPDOWNLIST = 0x0003,
    CBS_OWNERDRAWFIXED = 0x0010,
    CBS_OWNERDRAWVARIABLE = 0x0020,
    CBS_AUTOHSCROLL = 0x0040,
    CBS_SORT = 0x0100,
    CBS_HASSTRINGS = 0x0200,
    ES_MULTILINE = 0x0004,
    ES_AUTOHSCROLL = 0x0080,
    ES_READONLY = 0x0800,
    ES_WANTRETURN = 0x1000,
    BS_PUSHBUTTON = 0x0000,
    BS_DEFPUSHBUTTON = 0x0001,
    BS_CHECKBOX = 0x0002,
    BS_3STATE = 0x0005,
    BS_GROUPBOX = 0x0007,
    BS_LEFTTEXT = 0x0020,
};

// Indexes of GetWindowLong and GetClassLong, and the relations of GetWindow.
enum : int {
    GWL_EXSTYLE = -20,
    GWL_STYLE = -16,
    GCL_STYLE = -26,
    GW_HWNDFIRST = 0,
    GW_HWNDNEXT = 2,
    GW_OWNER = 4,
    GW_CHILD = 5,
};

// Places in the window order that SetWindowPos accepts.
inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
inline constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);

// Hit-test answer of the client area, as WM_SETCURSOR reports it.
inline constexpr int HTCLIENT = 1;

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
    DFCS_BUTTON3STATE = 0x0008,
    DFCS_BUTTONPUSH = 0x0010,
    DFCS_INACTIVE = 0x0100,
    DFCS_PUSHED = 0x0200,
    DFCS_CHECKED = 0x0400,
    DFCS_FLAT = 0x4000,
};

// Cursors.
enum : int { IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_DRAG = -12, IDC_NO = -18 };

} // namespace orvel
