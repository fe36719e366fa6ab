// The keyboard: the virtual-key table fed by the key messages, scan codes, and the translation
// of the window system's key events into key messages.
#include <QKeyEvent>

#include <algorithm>

#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTesting.h"

namespace win {

namespace {

// Bit 7: down, bit 0: toggled, by virtual key.
struct KeyboardState {
  BYTE table[256] = {};
};

KeyboardState& Keys() {
  static KeyboardState* k = new KeyboardState;  // lives as long as the program, as the widgets do
  return *k;
}

// Scan codes (set 1) of the keys by virtual key; extended keys are marked.
struct ScanEntry {
  BYTE vk;
  BYTE scan;
  bool extended;
};
constexpr ScanEntry kScan[] = {
    {VK_ESCAPE, 0x01, false}, {'1', 0x02, false}, {'2', 0x03, false}, {'3', 0x04, false},
    {'4', 0x05, false}, {'5', 0x06, false}, {'6', 0x07, false}, {'7', 0x08, false},
    {'8', 0x09, false}, {'9', 0x0A, false}, {'0', 0x0B, false}, {VK_OEM_MINUS, 0x0C, false},
    {VK_OEM_PLUS, 0x0D, false}, {VK_BACK, 0x0E, false}, {VK_TAB, 0x0F, false}, {'Q', 0x10, false},
    {'W', 0x11, false}, {'E', 0x12, false}, {'R', 0x13, false}, {'T', 0x14, false},
    {'Y', 0x15, false}, {'U', 0x16, false}, {'I', 0x17, false}, {'O', 0x18, false},
    {'P', 0x19, false}, {VK_OEM_4, 0x1A, false}, {VK_OEM_6, 0x1B, false}, {VK_RETURN, 0x1C, false},
    {VK_CONTROL, 0x1D, false}, {VK_LCONTROL, 0x1D, false}, {'A', 0x1E, false}, {'S', 0x1F, false},
    {'D', 0x20, false}, {'F', 0x21, false}, {'G', 0x22, false}, {'H', 0x23, false},
    {'J', 0x24, false}, {'K', 0x25, false}, {'L', 0x26, false}, {VK_OEM_1, 0x27, false},
    {VK_OEM_7, 0x28, false}, {VK_OEM_3, 0x29, false}, {VK_SHIFT, 0x2A, false}, {VK_LSHIFT, 0x2A, false},
    {VK_OEM_5, 0x2B, false}, {'Z', 0x2C, false}, {'X', 0x2D, false}, {'C', 0x2E, false},
    {'V', 0x2F, false}, {'B', 0x30, false}, {'N', 0x31, false}, {'M', 0x32, false},
    {VK_OEM_COMMA, 0x33, false}, {VK_OEM_PERIOD, 0x34, false}, {VK_OEM_2, 0x35, false},
    {VK_RSHIFT, 0x36, false}, {VK_MULTIPLY, 0x37, false}, {VK_MENU, 0x38, false}, {VK_LMENU, 0x38, false},
    {VK_SPACE, 0x39, false}, {VK_CAPITAL, 0x3A, false}, {VK_F1, 0x3B, false}, {VK_F2, 0x3C, false},
    {VK_F3, 0x3D, false}, {VK_F4, 0x3E, false}, {VK_F5, 0x3F, false}, {VK_F6, 0x40, false},
    {VK_F7, 0x41, false}, {VK_F8, 0x42, false}, {VK_F9, 0x43, false}, {VK_F10, 0x44, false},
    {VK_NUMLOCK, 0x45, false}, {VK_SCROLL, 0x46, false}, {VK_NUMPAD7, 0x47, false},
    {VK_NUMPAD8, 0x48, false}, {VK_NUMPAD9, 0x49, false}, {VK_SUBTRACT, 0x4A, false},
    {VK_NUMPAD4, 0x4B, false}, {VK_NUMPAD5, 0x4C, false}, {VK_NUMPAD6, 0x4D, false},
    {VK_ADD, 0x4E, false}, {VK_NUMPAD1, 0x4F, false}, {VK_NUMPAD2, 0x50, false},
    {VK_NUMPAD3, 0x51, false}, {VK_NUMPAD0, 0x52, false}, {VK_DECIMAL, 0x53, false},
    {VK_F11, 0x57, false}, {VK_F12, 0x58, false},
    {VK_HOME, 0x47, true}, {VK_UP, 0x48, true}, {VK_PRIOR, 0x49, true}, {VK_LEFT, 0x4B, true},
    {VK_RIGHT, 0x4D, true}, {VK_END, 0x4F, true}, {VK_DOWN, 0x50, true}, {VK_NEXT, 0x51, true},
    {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true}, {VK_DIVIDE, 0x35, true},
    {VK_RCONTROL, 0x1D, true}, {VK_RMENU, 0x38, true}, {VK_LWIN, 0x5B, true}, {VK_RWIN, 0x5C, true},
    {VK_APPS, 0x5D, true}, {VK_PAUSE, 0x45, false}, {VK_SNAPSHOT, 0x37, true},
};

}  // namespace

bool IsExtendedKey(BYTE vk) {
  for (const auto& e : kScan)
    if (e.vk == vk) return e.extended;
  return false;
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
  if (mapType == MAPVK_VK_TO_VSC) {
    for (const auto& e : kScan)
      if (e.vk == code) return e.scan;
    return 0;
  }
  if (mapType == MAPVK_VSC_TO_VK) {
    for (const auto& e : kScan)
      if (e.scan == code && !e.extended && e.vk != VK_CONTROL && e.vk != VK_SHIFT && e.vk != VK_MENU &&
          e.vk != VK_PAUSE)
        return e.vk;
    return 0;
  }
  return 0;
}

BYTE VkFromX11Keycode(std::uint32_t keycode) {
  if (keycode < 9 || keycode > 8 + 0x58) return 0;
  return static_cast<BYTE>(MapVirtualKeyA(keycode - 8, MAPVK_VSC_TO_VK));
}

void RecordKey(BYTE vk, bool down) {
  BYTE* k = Keys().table;
  auto set = [&](BYTE v) {
    if (down) {
      if (!(k[v] & 0x80)) k[v] ^= 0x01;  // toggled on every fresh press
      k[v] |= 0x80;
    } else {
      k[v] &= static_cast<BYTE>(~0x80);
    }
  };
  set(vk);
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) {
    if (down || !((k[VK_LSHIFT] | k[VK_RSHIFT]) & 0x80)) set(VK_SHIFT);
  } else if (vk == VK_LCONTROL || vk == VK_RCONTROL) {
    if (down || !((k[VK_LCONTROL] | k[VK_RCONTROL]) & 0x80)) set(VK_CONTROL);
  } else if (vk == VK_LMENU || vk == VK_RMENU) {
    if (down || !((k[VK_LMENU] | k[VK_RMENU]) & 0x80)) set(VK_MENU);
  }
}

BOOL GetKeyboardState(BYTE* keyState256) {
  if (!keyState256) return FALSE;
  std::copy(Keys().table, Keys().table + 256, keyState256);
  return TRUE;
}

BOOL SetKeyboardState(const BYTE* keyState256) {
  if (!keyState256) return FALSE;
  std::copy(keyState256, keyState256 + 256, Keys().table);
  return TRUE;
}

SHORT GetKeyState(INT vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE b = Keys().table[vk];
  return static_cast<SHORT>(((b & 0x80) ? 0x8000 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(INT vk) {
  if (vk < 0 || vk > 255) return 0;
  return (Keys().table[vk] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}


namespace {

BYTE VkFromQtKey(const QKeyEvent* ke) {
  int k = ke->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<BYTE>('A' + (k - Qt::Key_A));
  if (k >= Qt::Key_0 && k <= Qt::Key_9) {
    if (ke->modifiers() & Qt::KeypadModifier) return static_cast<BYTE>(VK_NUMPAD0 + (k - Qt::Key_0));
    return static_cast<BYTE>('0' + (k - Qt::Key_0));
  }
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<BYTE>(VK_F1 + (k - Qt::Key_F1));
  switch (k) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return (ke->modifiers() & Qt::KeypadModifier) ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus: return (ke->modifiers() & Qt::KeypadModifier) ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_Period: return (ke->modifiers() & Qt::KeypadModifier) ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Slash: return (ke->modifiers() & Qt::KeypadModifier) ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Semicolon: return VK_OEM_1;
    case Qt::Key_QuoteLeft: return VK_OEM_3;
    case Qt::Key_BracketLeft: return VK_OEM_4;
    case Qt::Key_Backslash: return VK_OEM_5;
    case Qt::Key_BracketRight: return VK_OEM_6;
    case Qt::Key_Apostrophe: return VK_OEM_7;
    default: break;
  }
  // Keys of another keyboard layout (Cyrillic letters): the key's place on the keyboard.
  return VkFromX11Keycode(ke->nativeScanCode());
}

LPARAM KeyLParam(BYTE vk, bool up, bool repeat, bool alt) {
  DWORD scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  DWORD lp = 1 | ((scan & 0xFF) << 16);
  if (IsExtendedKey(vk)) lp |= 1u << 24;
  if (alt) lp |= 1u << 29;
  if (repeat || up) lp |= 1u << 30;
  if (up) lp |= 1u << 31;
  return static_cast<LPARAM>(lp);
}

}  // namespace

bool TranslateKeyEvent(const QKeyEvent& event, MSG& message) {
  BYTE vk = VkFromQtKey(&event);
  if (!vk) return false;
  bool up = event.type() == QEvent::KeyRelease;
  if (up && event.isAutoRepeat()) return false;
  RecordKey(vk, !up);
  if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
    // The left-hand variant, unless the platform tells the right one apart.
    BYTE side = vk == VK_SHIFT ? VK_LSHIFT : vk == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
    RecordKey(side, !up);
  }
  bool alt = (event.modifiers() & Qt::AltModifier) != 0 || (vk == VK_MENU && !up);
  message.message = (alt || vk == VK_F10) ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
  message.wParam = vk;
  message.lParam = KeyLParam(vk, up, event.isAutoRepeat(), alt);
  return true;
}

}  // namespace win
