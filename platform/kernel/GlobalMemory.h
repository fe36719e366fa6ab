#pragma once
// Global memory blocks of the kernel: fixed blocks, whose handle is their address, and movable
// ones, reached through GlobalLock. Bitmaps keep pixel data in them and the clipboard hands them
// from one owner to the next.
#include <cstddef>

#include "platform/base/Types.h"

namespace kernel {

using win::BOOL;
using win::HGLOBAL;
using win::UINT;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Null when the memory cannot be had (sizes beyond what this process allows included). A block
// of 0 bytes is valid and has size 0.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// The block's address (counting a lock for movable blocks); null for a bad handle.
void* GlobalLock(HGLOBAL h);
// FALSE once the lock count of a movable block reaches 0 (and for fixed blocks), as the
// platform reports it.
BOOL GlobalUnlock(HGLOBAL h);
// 0 for a bad handle.
std::size_t GlobalSize(HGLOBAL h);
// Null on success, the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL h);

}  // namespace kernel
