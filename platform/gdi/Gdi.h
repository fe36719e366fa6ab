#pragma once
// The window system's graphics interface, in software: device contexts over memory bitmaps (our
// own, or pixel memory a caller owns), DIB sections, brushes, palettes and the system palette,
// and the blits between any two of the supported pixel formats (1, 4 and 8 bits through a colour
// table; 16 bits 5-6-5, 5-5-5 or other bit fields; 24; 32), RLE4 and RLE8 included.
//
// Handles are checked: a handle that is not a live object of the expected kind makes a call fail
// the way the platform reports it (FALSE, 0, null or GDI_ERROR), never a crash.
#include <cstdint>

#include "platform/base/Types.h"

namespace gdi {

using win::BITMAP;
using win::BITMAPINFO;
using win::BITMAPINFOHEADER;
using win::BOOL;
using win::BYTE;
using win::COLORREF;
using win::DIBSECTION;
using win::DWORD;
using win::HANDLE;
using win::HBITMAP;
using win::HBRUSH;
using win::HDC;
using win::HGDIOBJ;
using win::HPALETTE;
using win::HPEN;
using win::LOGPALETTE;
using win::LONG;
using win::PALETTEENTRY;
using win::RECT;
using win::RGBQUAD;
using win::UINT;
using win::WORD;

// Object types (GetObjectType).
inline constexpr DWORD OBJ_PEN = 1;
inline constexpr DWORD OBJ_BRUSH = 2;
inline constexpr DWORD OBJ_DC = 3;
inline constexpr DWORD OBJ_PAL = 5;
inline constexpr DWORD OBJ_BITMAP = 7;
inline constexpr DWORD OBJ_MEMDC = 10;

// Current-object kinds for GetCurrentObject are the object types above.

// Colour usage of DIB calls.
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;

// Raster operations.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGECOPY = 0x00C000CA;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATPAINT = 0x00FB0A09;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// Stretch modes.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
inline constexpr int STRETCH_DELETESCANS = COLORONCOLOR;

// GetDeviceCaps indices and capability bits.
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int SIZEPALETTE = 104;
inline constexpr int NUMRESERVED = 106;
inline constexpr int RC_PALETTE = 0x0100;
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_STRETCHBLT = 0x0800;
inline constexpr int RC_DI_BITMAP = 0x0080;
inline constexpr int RC_STRETCHDIB = 0x2000;

// Stock objects.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int DEFAULT_PALETTE = 15;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;

inline constexpr UINT GDI_ERROR = 0xFFFFFFFF;
inline constexpr COLORREF CLR_INVALID = win::CLR_INVALID;
inline const HGDIOBJ HGDI_ERROR = reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(-1));

// Palette entry flags.
inline constexpr BYTE PC_RESERVED = 0x01;
inline constexpr BYTE PC_EXPLICIT = 0x02;
inline constexpr BYTE PC_NOCOLLAPSE = 0x04;

// ---- Device contexts -------------------------------------------------------------------------

// A memory DC compatible with `hdc` (with null: with the screen, which is 32 bits per pixel). It
// starts with a 1 x 1 monochrome bitmap selected.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// The screen's DC (32 bits, no palette). Released with ReleaseScreenDC; deleting it is refused.
HDC GetScreenDC();
int ReleaseScreenDC(HDC hdc);

// Pixel memory that someone else owns, described for a DC over it. Rows are `Pitch` bytes apart
// (at least the row's bytes); TopDown says whether the first row in memory is the top one.
struct MemoryFormat {
  LONG Width = 0;
  LONG Height = 0;
  WORD BitCount = 32;  // 1, 4, 8, 16, 24 or 32
  // For 16 and 32 bits; zero masks mean 5-5-5 for 16 bits and 8-8-8 for 32.
  DWORD RedMask = 0, GreenMask = 0, BlueMask = 0;
  LONG Pitch = 0;
  bool TopDown = true;
  void* Bits = nullptr;
  // For 1, 4 and 8 bits: the colours of the indices (a palette of a surface, say); copied.
  const RGBQUAD* ColorTable = nullptr;
  UINT ColorCount = 0;
};
// A DC drawing straight into the described memory. The memory must outlive the DC; DeleteDC
// leaves it alone. Null for a format it cannot describe.
HDC CreateMemoryFormatDC(const MemoryFormat& format);

int GetDeviceCaps(HDC hdc, int index);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
DWORD GetObjectType(HGDIOBJ h);

// ---- Bitmaps --------------------------------------------------------------------------------

// A DIB section from a header of 1, 4, 8, 16, 24 or 32 bits (BI_RGB, or BI_BITFIELDS with the
// three masks after the header, for 16 and 32 bits); *bits receives its pixel memory, rows
// bottom up (top down for a negative height), each 4-byte aligned. With DIB_RGB_COLORS the
// colour table follows the header (biClrUsed entries, or all for 0); with DIB_PAL_COLORS it holds
// 16-bit indices into the palette selected into `hdc`. `section` and `offset` are not supported
// (must be null and 0).
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A bitmap in the format of `hdc`'s device (32 bits for the screen and for memory DCs without
// a colour bitmap; the selected bitmap's format otherwise). A 0 x 0 size gives a 1 x 1
// monochrome bitmap.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// A device-dependent bitmap of 1 or 32 bits per pixel; `bits` (rows top down, 2-byte aligned)
// may be null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);

// For bitmaps: fills a BITMAP (size >= sizeof(BITMAP)) or, for DIB sections, a DIBSECTION (size
// >= sizeof(DIBSECTION)); returns the bytes written. For palettes: a WORD with the entry count.
// For brushes and pens: their colour (COLORREF, 4 bytes). Null buffer: the size it would write.
int GetObject(HGDIOBJ h, int size, void* buffer);

// Selects a bitmap (memory DCs only; a bitmap can be in one DC at a time), brush or pen. Returns
// the previous object of that kind, null on failure (HGDI_ERROR is not used).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
// Frees a bitmap, brush, pen or palette. Objects selected into a DC are not freed (FALSE);
// stock objects are left alone (TRUE).
BOOL DeleteObject(HGDIOBJ h);
HGDIOBJ GetStockObject(int index);

// Colour tables of the DIB section (or memory format) selected into a DC; counts are clipped to
// the table. Return the entries set or read (0 for a DC without a colour table).
UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors);
UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors);

// Every drawing call completes at once; kept for callers that synchronize with the device.
BOOL GdiFlush();

// ---- Brushes and pens -----------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);

// ---- Palettes ------------------------------------------------------------------------------

// From a logical palette of version 0x300 with 1 to 256 entries; null otherwise.
HPALETTE CreatePalette(const LOGPALETTE* lp);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries);
// Returns the previously selected palette (the default palette at first), null on failure.
HPALETTE SelectPalette(HDC hdc, HPALETTE pal, BOOL forceBackground);
// The number of entries mapped into the system palette (the selected palette's size; 0 for the
// default palette), GDI_ERROR for a bad DC.
UINT RealizePalette(HDC hdc);
// The system palette: the 20 static colours at 0-9 and 246-255, the rest as last set by whoever
// owns the display's palette (black until then). The count is clipped to 256.
UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries);
// For the display: sets entries of the system palette (the static ones included).
UINT SetSystemPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries);
// The index of the entry nearest to `color` (CLR_INVALID for a bad palette).
UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color);

// ---- Drawing ---------------------------------------------------------------------------------

// Returns the previous mode, 0 on failure.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// Source and destination may be any two DCs over colour bitmaps of the supported formats (the
// same DC included). Indexed sources go through their colour tables, indexed targets take the
// nearest colour of their own table; 16-bit sources are widened by replicating the high bits.
// Stretching picks the nearest source pixel; a negative width or height mirrors. Everything is
// clipped to both bitmaps; destination pixels whose source lies outside the source bitmap are
// left alone. Raster operations are the ternary ones (source, destination and the DC's brush as
// pattern) applied to the destination's pixel values.
BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop);
BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
// Draws a rectangle of a DIB given by header and bits (BI_RGB, BI_BITFIELDS, BI_RLE8, BI_RLE4;
// bottom-up or, uncompressed, top-down). Source coordinates count from the bottom-left corner, as
// for every DIB. RLE data is drawn straight from the compressed bytes: pixels it skips (deltas,
// early ends of line or of the bitmap) are left alone, and runs that would reach past the
// bitmap's right edge or top are cut there. Reads never go past biSizeImage bytes of RLE data.
// Returns the number of scan lines drawn, 0 on failure.
int StretchDIBits(HDC hdc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                  int hSrc, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop);
// Uncompressed and RLE DIB data onto a DC at 1:1 (StretchDIBits with equal sizes); returns lines.
int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage);

BOOL FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL MoveToEx(HDC hdc, int x, int y, win::POINT* old);
BOOL LineTo(HDC hdc, int x, int y);
// Outline with the pen, inside with the brush.
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);

// The raw pixel value at (x, y) of the bitmap selected into a DC (CLR_INVALID outside), and its
// format, for callers comparing GDI output with their own conversions.
DWORD GetPixelValue(HDC hdc, int x, int y);

}  // namespace gdi
