#include "platform/clipboard/Clipboard.h"

#include <map>

#include "platform/gdi/Gdi.h"
#include "platform/kernel/GlobalMemory.h"

namespace win {

namespace {

bool g_open = false;

std::map<UINT, HANDLE>& Data() {
  static std::map<UINT, HANDLE> data;
  return data;
}

void Release(UINT format, HANDLE h) {
  if (!h) return;
  if (format == CF_BITMAP || format == CF_PALETTE) gdi::DeleteObject(h);
  else kernel::GlobalFree(h);
}

}  // namespace

BOOL OpenClipboard(HWND) {
  if (g_open) return FALSE;
  g_open = true;
  return TRUE;
}

BOOL CloseClipboard() {
  if (!g_open) return FALSE;
  g_open = false;
  return TRUE;
}

BOOL EmptyClipboard() {
  if (!g_open) return FALSE;
  for (auto& [format, h] : Data()) Release(format, h);
  Data().clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  if (!g_open || !data) return nullptr;
  if (format != CF_BITMAP && format != CF_PALETTE) {
    if (!kernel::GlobalLock(data)) return nullptr;  // not a global memory block
    kernel::GlobalUnlock(data);
  }
  auto it = Data().find(format);
  if (it != Data().end() && it->second != data) Release(format, it->second);
  Data()[format] = data;
  return data;
}

HANDLE GetClipboardData(UINT format) {
  if (!g_open) return nullptr;
  auto it = Data().find(format);
  return it == Data().end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) { return Data().count(format) ? TRUE : FALSE; }

}  // namespace win
