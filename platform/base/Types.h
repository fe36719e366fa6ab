#pragma once
// The types every platform module shares: the integer types, handles, result codes, rectangles
// and points, GUIDs, colours and the bitmap and palette records, with their published layouts and
// values. They keep the window system's namespace, where the interfaces that use them declare
// them.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using SHORT = std::int16_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using HRESULT = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using COLORREF = DWORD;
using ATOM = WORD;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

#define WIN_DECLARE_HANDLE(name) \
  struct name##__;               \
  using name = name##__*

WIN_DECLARE_HANDLE(HWND);
WIN_DECLARE_HANDLE(HDC);
WIN_DECLARE_HANDLE(HBITMAP);
WIN_DECLARE_HANDLE(HPALETTE);
WIN_DECLARE_HANDLE(HBRUSH);
WIN_DECLARE_HANDLE(HPEN);
WIN_DECLARE_HANDLE(HFONT);
WIN_DECLARE_HANDLE(HRGN);
WIN_DECLARE_HANDLE(HMENU);
WIN_DECLARE_HANDLE(HCURSOR);
WIN_DECLARE_HANDLE(HICON);
WIN_DECLARE_HANDLE(HINSTANCE);
WIN_DECLARE_HANDLE(HMONITOR);
#undef WIN_DECLARE_HANDLE
using HGDIOBJ = void*;  // any of the GDI object handles
using HGLOBAL = void*;
using HANDLE = void*;
using HMODULE = HINSTANCE;

// Results.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr HRESULT MAKE_HRESULT(unsigned sev, unsigned fac, unsigned code) {
  return static_cast<HRESULT>((static_cast<DWORD>(sev) << 31) | (static_cast<DWORD>(fac) << 16) |
                              static_cast<DWORD>(code));
}

struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
  constexpr bool operator==(const RECT&) const = default;
};
struct POINT {
  LONG x = 0, y = 0;
  constexpr bool operator==(const POINT&) const = default;
};
struct SIZE {
  LONG cx = 0, cy = 0;
  constexpr bool operator==(const SIZE&) const = default;
};
using LPRECT = RECT*;

struct GUID {
  DWORD Data1 = 0;
  WORD Data2 = 0;
  WORD Data3 = 0;
  BYTE Data4[8] = {};
  bool operator==(const GUID& o) const { return std::memcmp(this, &o, sizeof(GUID)) == 0; }
};
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;
using CLSID = GUID;
inline constexpr GUID GUID_NULL{};

// Colours: 0x00BBGGRR.
inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
inline constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

inline constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPCOREHEADER {
  DWORD bcSize;
  WORD bcWidth;
  WORD bcHeight;
  WORD bcPlanes;
  WORD bcBitCount;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};
struct RGBTRIPLE {
  BYTE rgbtBlue;
  BYTE rgbtGreen;
  BYTE rgbtRed;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_RLE8 = 1;
inline constexpr DWORD BI_RLE4 = 2;
inline constexpr DWORD BI_BITFIELDS = 3;

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

}  // namespace win
