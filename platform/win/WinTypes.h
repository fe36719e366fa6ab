#pragma once
// The window system's messages, styles, key codes and records, with their published layouts and
// values. The types every module shares are in the base module.
#include <cstdint>

#include "platform/base/Types.h"

namespace win {

// Message numbers.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_INITMENU = 0x0116;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_QUERYNEWPALETTE = 0x030F;
inline constexpr UINT WM_PALETTEISCHANGING = 0x0310;
inline constexpr UINT WM_PALETTECHANGED = 0x0311;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// WM_ACTIVATE, low word of wParam.
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// WM_SYSCOMMAND, wParam.
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_NEXTWINDOW = 0xF040;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// WM_SIZE, wParam.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// Mouse messages, wParam key flags.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// WINDOWPOS flags.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;

// ShowWindow commands, also WINDOWPLACEMENT.showCmd.
inline constexpr INT SW_HIDE = 0;
inline constexpr INT SW_SHOWNORMAL = 1;
inline constexpr INT SW_NORMAL = 1;
inline constexpr INT SW_SHOWMINIMIZED = 2;
inline constexpr INT SW_SHOWMAXIMIZED = 3;
inline constexpr INT SW_MAXIMIZE = 3;
inline constexpr INT SW_SHOWNOACTIVATE = 4;
inline constexpr INT SW_SHOW = 5;
inline constexpr INT SW_MINIMIZE = 6;
inline constexpr INT SW_SHOWMINNOACTIVE = 7;
inline constexpr INT SW_SHOWNA = 8;
inline constexpr INT SW_RESTORE = 9;

// Get/SetWindowLongPtr indices.
inline constexpr INT GWLP_WNDPROC = -4;
inline constexpr INT GWL_WNDPROC = -4;
inline constexpr INT GWLP_ID = -12;
inline constexpr INT GWL_STYLE = -16;
inline constexpr INT GWL_EXSTYLE = -20;
inline constexpr INT GWLP_USERDATA = -21;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

// Extended window styles.
inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Message box types and answers.
inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNOCANCEL = 0x00000003;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONHAND = 0x00000010;
inline constexpr UINT MB_ICONSTOP = 0x00000010;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONWARNING = 0x00000030;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;
inline constexpr UINT MB_APPLMODAL = 0x00000000;
inline constexpr UINT MB_TASKMODAL = 0x00002000;
inline constexpr INT IDOK = 1;
inline constexpr INT IDCANCEL = 2;
inline constexpr INT IDYES = 6;
inline constexpr INT IDNO = 7;

// System metrics.
inline constexpr INT SM_CXSCREEN = 0;
inline constexpr INT SM_CYSCREEN = 1;
inline constexpr INT SM_CXVSCROLL = 2;
inline constexpr INT SM_CYHSCROLL = 3;
inline constexpr INT SM_CYCAPTION = 4;
inline constexpr INT SM_CXBORDER = 5;
inline constexpr INT SM_CYBORDER = 6;
inline constexpr INT SM_CXDLGFRAME = 7;
inline constexpr INT SM_CYDLGFRAME = 8;
inline constexpr INT SM_CXFRAME = 32;
inline constexpr INT SM_CYFRAME = 33;
inline constexpr INT SM_CYMENU = 15;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
inline constexpr BYTE VK_LBUTTON = 0x01;
inline constexpr BYTE VK_RBUTTON = 0x02;
inline constexpr BYTE VK_CANCEL = 0x03;
inline constexpr BYTE VK_MBUTTON = 0x04;
inline constexpr BYTE VK_BACK = 0x08;
inline constexpr BYTE VK_TAB = 0x09;
inline constexpr BYTE VK_CLEAR = 0x0C;
inline constexpr BYTE VK_RETURN = 0x0D;
inline constexpr BYTE VK_SHIFT = 0x10;
inline constexpr BYTE VK_CONTROL = 0x11;
inline constexpr BYTE VK_MENU = 0x12;
inline constexpr BYTE VK_PAUSE = 0x13;
inline constexpr BYTE VK_CAPITAL = 0x14;
inline constexpr BYTE VK_ESCAPE = 0x1B;
inline constexpr BYTE VK_SPACE = 0x20;
inline constexpr BYTE VK_PRIOR = 0x21;
inline constexpr BYTE VK_NEXT = 0x22;
inline constexpr BYTE VK_END = 0x23;
inline constexpr BYTE VK_HOME = 0x24;
inline constexpr BYTE VK_LEFT = 0x25;
inline constexpr BYTE VK_UP = 0x26;
inline constexpr BYTE VK_RIGHT = 0x27;
inline constexpr BYTE VK_DOWN = 0x28;
inline constexpr BYTE VK_SNAPSHOT = 0x2C;
inline constexpr BYTE VK_INSERT = 0x2D;
inline constexpr BYTE VK_DELETE = 0x2E;
inline constexpr BYTE VK_LWIN = 0x5B;
inline constexpr BYTE VK_RWIN = 0x5C;
inline constexpr BYTE VK_APPS = 0x5D;
inline constexpr BYTE VK_NUMPAD0 = 0x60;
inline constexpr BYTE VK_NUMPAD1 = 0x61;
inline constexpr BYTE VK_NUMPAD2 = 0x62;
inline constexpr BYTE VK_NUMPAD3 = 0x63;
inline constexpr BYTE VK_NUMPAD4 = 0x64;
inline constexpr BYTE VK_NUMPAD5 = 0x65;
inline constexpr BYTE VK_NUMPAD6 = 0x66;
inline constexpr BYTE VK_NUMPAD7 = 0x67;
inline constexpr BYTE VK_NUMPAD8 = 0x68;
inline constexpr BYTE VK_NUMPAD9 = 0x69;
inline constexpr BYTE VK_MULTIPLY = 0x6A;
inline constexpr BYTE VK_ADD = 0x6B;
inline constexpr BYTE VK_SEPARATOR = 0x6C;
inline constexpr BYTE VK_SUBTRACT = 0x6D;
inline constexpr BYTE VK_DECIMAL = 0x6E;
inline constexpr BYTE VK_DIVIDE = 0x6F;
inline constexpr BYTE VK_F1 = 0x70;
inline constexpr BYTE VK_F2 = 0x71;
inline constexpr BYTE VK_F3 = 0x72;
inline constexpr BYTE VK_F4 = 0x73;
inline constexpr BYTE VK_F5 = 0x74;
inline constexpr BYTE VK_F6 = 0x75;
inline constexpr BYTE VK_F7 = 0x76;
inline constexpr BYTE VK_F8 = 0x77;
inline constexpr BYTE VK_F9 = 0x78;
inline constexpr BYTE VK_F10 = 0x79;
inline constexpr BYTE VK_F11 = 0x7A;
inline constexpr BYTE VK_F12 = 0x7B;
inline constexpr BYTE VK_NUMLOCK = 0x90;
inline constexpr BYTE VK_SCROLL = 0x91;
inline constexpr BYTE VK_LSHIFT = 0xA0;
inline constexpr BYTE VK_RSHIFT = 0xA1;
inline constexpr BYTE VK_LCONTROL = 0xA2;
inline constexpr BYTE VK_RCONTROL = 0xA3;
inline constexpr BYTE VK_LMENU = 0xA4;
inline constexpr BYTE VK_RMENU = 0xA5;
inline constexpr BYTE VK_OEM_1 = 0xBA;       // ;:
inline constexpr BYTE VK_OEM_PLUS = 0xBB;    // =+
inline constexpr BYTE VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr BYTE VK_OEM_MINUS = 0xBD;   // -_
inline constexpr BYTE VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr BYTE VK_OEM_2 = 0xBF;       // /?
inline constexpr BYTE VK_OEM_3 = 0xC0;       // `~
inline constexpr BYTE VK_OEM_4 = 0xDB;       // [{
inline constexpr BYTE VK_OEM_5 = 0xDC;       // \|
inline constexpr BYTE VK_OEM_6 = 0xDD;       // ]}
inline constexpr BYTE VK_OEM_7 = 0xDE;       // '"

// MapVirtualKey translations.
inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT MAPVK_VSC_TO_VK = 1;

// Standard cursors (the resource numbers the platform gives them).
inline constexpr UINT_PTR IDC_ARROW = 32512;
inline constexpr UINT_PTR IDC_IBEAM = 32513;
inline constexpr UINT_PTR IDC_WAIT = 32514;
inline constexpr UINT_PTR IDC_CROSS = 32515;
inline constexpr UINT_PTR IDC_UPARROW = 32516;
inline constexpr UINT_PTR IDC_SIZEALL = 32646;
inline constexpr UINT_PTR IDC_SIZENWSE = 32642;
inline constexpr UINT_PTR IDC_SIZENESW = 32643;
inline constexpr UINT_PTR IDC_SIZEWE = 32644;
inline constexpr UINT_PTR IDC_SIZENS = 32645;
inline constexpr UINT_PTR IDC_NO = 32648;
inline constexpr UINT_PTR IDC_HAND = 32649;
inline constexpr UINT_PTR IDC_APPSTARTING = 32650;
inline constexpr UINT_PTR IDC_HELP = 32651;

// Placement of a top-level window: 44 bytes, no pointers.
inline constexpr UINT WPF_SETMINPOSITION = 0x0001;
inline constexpr UINT WPF_RESTORETOMAXIMIZED = 0x0002;
struct WINDOWPLACEMENT {
  UINT length = 0;
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};
static_assert(sizeof(WINDOWPLACEMENT) == 44);

// WM_WINDOWPOSCHANGED (lParam points at it).
struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  INT x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};

// A queued message.
struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

// WM_CREATE (lParam points at it).
struct CREATESTRUCTA {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  INT cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr SHORT GET_X_LPARAM(LPARAM lp) { return static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(lp))); }
inline constexpr SHORT GET_Y_LPARAM(LPARAM lp) { return static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(lp))); }

}  // namespace win
