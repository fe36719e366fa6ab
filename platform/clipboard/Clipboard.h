#pragma once
// The clipboard, within this process: one set of data handles by format. Data put on it belongs
// to the clipboard, which frees global memory blocks (and deletes GDI objects) when it is
// emptied or the format is set again.
#include "platform/base/Types.h"

namespace win {

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_BITMAP = 2;
inline constexpr UINT CF_DIB = 8;
inline constexpr UINT CF_PALETTE = 9;

// Only one opener at a time; FALSE while it is open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Needs the clipboard open; frees what it held.
BOOL EmptyClipboard();
// Needs the clipboard open. CF_BITMAP and CF_PALETTE take GDI handles; every other format a
// global memory block. Returns the handle, null on failure.
HANDLE SetClipboardData(UINT format, HANDLE data);
// Needs the clipboard open; the data stays the clipboard's.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

}  // namespace win
