// Object management of the software GDI: handles, device contexts, bitmaps, palettes, brushes,
// pens, and the simple drawing calls. The blitters are in GdiBlit.cpp.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiTesting.h"

namespace gdi {

using namespace detail;

namespace {

// Kept for the whole run (never destroyed), so that objects freed while the program ends still
// find it.
std::unordered_set<Object*>& Live() {
  static auto* live = new std::unordered_set<Object*>;
  return *live;
}

template <class T>
T* Track(std::unique_ptr<T> p) {
  T* raw = p.release();
  Live().insert(raw);
  return raw;
}

void Untrack(Object* o) {
  Live().erase(o);
  delete o;  // every tracked object was made by Track
}

Object* Find(const void* h) {
  if (!h) return nullptr;
  auto* o = static_cast<Object*>(const_cast<void*>(h));
  return Live().count(o) ? o : nullptr;
}

template <class T>
T* FindAs(const void* h, Kind k) {
  Object* o = Find(h);
  return o && o->kind == k ? static_cast<T*>(o) : nullptr;
}

constexpr PALETTEENTRY kStatic[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

PALETTEENTRY g_system[256];
bool g_systemInit = false;

void InitSystemPalette() {
  std::memset(g_system, 0, sizeof g_system);
  for (int i = 0; i < 10; ++i) g_system[i] = kStatic[i];
  for (int i = 0; i < 10; ++i) g_system[246 + i] = kStatic[10 + i];
  g_systemInit = true;
}

struct Stock {
  Brush brushes[6];
  Pen pens[3];
  Palette palette;
  Bitmap mono;  // the 1 x 1 bitmap a new memory DC starts with
  std::uint8_t monoBits[4] = {0, 0, 0, 0};
  DCObj screen;

  Stock() {
    const COLORREF colors[5] = {win::RGB(255, 255, 255), win::RGB(192, 192, 192),
                                win::RGB(128, 128, 128), win::RGB(64, 64, 64), win::RGB(0, 0, 0)};
    for (int i = 0; i < 6; ++i) {
      brushes[i].stock = true;
      if (i < 5) brushes[i].color = colors[i];
      else brushes[i].null = true;
      Live().insert(&brushes[i]);
    }
    pens[0].color = win::RGB(255, 255, 255);
    pens[1].color = 0;
    pens[2].style = PS_NULL;
    for (auto& p : pens) {
      p.stock = true;
      Live().insert(&p);
    }
    palette.stock = true;
    for (int i = 0; i < 20; ++i) palette.entries.push_back(kStatic[i]);
    Live().insert(&palette);
    mono.stock = true;
    mono.s.width = 1;
    mono.s.height = 1;
    mono.s.bitCount = 1;
    mono.s.pitch = 4;
    mono.s.bits = monoBits;
    mono.s.colorCount = 2;
    mono.s.colors[1] = RGBQUAD{255, 255, 255, 0};
    mono.s.Classify();
    Live().insert(&mono);
    screen.stock = true;
    screen.screen = true;
    screen.palette = &palette;
    screen.brush = &brushes[WHITE_BRUSH];
    screen.pen = &pens[1];
    Live().insert(&screen);
  }
};

Stock& Stocks() {
  static Stock* stock = new Stock;  // lives as long as the program
  return *stock;
}

HGDIOBJ H(Object* o) { return static_cast<void*>(o); }

std::size_t RowBytes(int width, int bitCount, int align) {
  const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount);
  return ((bits + align * 8 - 1) / (align * 8)) * align;
}

// Bitmaps larger than this are refused like a failed allocation.
constexpr std::size_t kMaxBitmapBytes = std::size_t(1) << 30;

std::unique_ptr<Bitmap> MakeBitmap(int width, int height, int bitCount, int align) {
  if (width <= 0 || height <= 0) return nullptr;
  const std::size_t pitch = RowBytes(width, bitCount, align);
  if (pitch == 0 || pitch > kMaxBitmapBytes / static_cast<std::size_t>(height)) return nullptr;
  auto b = std::make_unique<Bitmap>();
  try {
    b->owned.assign(pitch * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  b->s.width = width;
  b->s.height = height;
  b->s.bitCount = bitCount;
  b->s.pitch = static_cast<std::intptr_t>(pitch);
  b->s.bits = b->owned.data();
  return b;
}

DCObj* NewDC() {
  Stock& st = Stocks();
  auto dc = std::make_unique<DCObj>();
  dc->palette = &st.palette;
  dc->brush = &st.brushes[WHITE_BRUSH];
  dc->pen = &st.pens[1];
  return Track(std::move(dc));
}

}  // namespace

namespace detail {

DCObj* AsDC(HDC h) {
  Stocks();
  return FindAs<DCObj>(h, Kind::DC);
}
Bitmap* AsBitmap(HGDIOBJ h) {
  Stocks();
  return FindAs<Bitmap>(h, Kind::Bitmap);
}
Palette* AsPalette(HGDIOBJ h) {
  Stocks();
  return FindAs<Palette>(h, Kind::Palette);
}
Brush* AsBrush(HGDIOBJ h) {
  Stocks();
  return FindAs<Brush>(h, Kind::Brush);
}
Pen* AsPen(HGDIOBJ h) {
  Stocks();
  return FindAs<Pen>(h, Kind::Pen);
}
Palette* DefaultPalette() { return &Stocks().palette; }

bool Surface::Classify() {
  switch (bitCount) {
    case 1: kind = PixKind::K1; return true;
    case 4: kind = PixKind::K4; return true;
    case 8: kind = PixKind::K8; return true;
    case 16:
      if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
        masks[0] = 0x7C00;
        masks[1] = 0x3E0;
        masks[2] = 0x1F;
      }
      if (masks[0] == 0xF800 && masks[1] == 0x7E0 && masks[2] == 0x1F) kind = PixKind::K565;
      else if (masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F) kind = PixKind::K555;
      else kind = PixKind::K16M;
      return true;
    case 24: kind = PixKind::K24; return true;
    case 32:
      if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
      }
      kind = (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF) ? PixKind::K888
                                                                                  : PixKind::K32M;
      return true;
    default: return false;
  }
}

}  // namespace detail

// ---- Device contexts -------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC hdc) {
  Stock& st = Stocks();
  if (hdc && !AsDC(hdc)) return nullptr;
  DCObj* dc = NewDC();
  dc->memory = true;
  dc->bitmap = &st.mono;
  return reinterpret_cast<HDC>(dc);
}

BOOL DeleteDC(HDC hdc) {
  DCObj* dc = AsDC(hdc);
  if (!dc || dc->stock) return win::FALSE;
  if (dc->bitmap && !dc->bitmap->stock && dc->bitmap->selectedIn == dc) dc->bitmap->selectedIn = nullptr;
  if (dc->formatBitmap) Live().erase(dc->formatBitmap.get());
  Untrack(dc);
  return win::TRUE;
}

HDC GetScreenDC() { return reinterpret_cast<HDC>(&Stocks().screen); }
int ReleaseScreenDC(HDC hdc) { return AsDC(hdc) == &Stocks().screen ? 1 : 0; }

HDC CreateMemoryFormatDC(const MemoryFormat& f) {
  Stocks();
  if (f.Width <= 0 || f.Height <= 0 || !f.Bits) return nullptr;
  auto b = std::make_unique<Bitmap>();
  b->s.width = f.Width;
  b->s.height = f.Height;
  b->s.bitCount = f.BitCount;
  b->s.masks[0] = f.RedMask;
  b->s.masks[1] = f.GreenMask;
  b->s.masks[2] = f.BlueMask;
  if (!b->s.Classify()) return nullptr;
  if (f.Pitch <= 0 || static_cast<std::size_t>(f.Pitch) < RowBytes(f.Width, f.BitCount, 1)) return nullptr;
  b->s.pitch = f.Pitch;
  b->s.topDown = f.TopDown;
  b->s.bits = static_cast<std::uint8_t*>(f.Bits);
  if (f.BitCount <= 8) {
    const UINT n = std::min<UINT>(f.ColorCount, 1u << f.BitCount);
    if (f.ColorTable) std::memcpy(b->s.colors, f.ColorTable, n * sizeof(RGBQUAD));
    b->s.colorCount = f.ColorTable ? static_cast<int>(n) : 0;
    if (!f.ColorTable) {
      // Without a table the indices show as a grey ramp.
      const int count = 1 << f.BitCount;
      for (int i = 0; i < count; ++i) {
        const BYTE v = static_cast<BYTE>(i * 255 / (count - 1));
        b->s.colors[i] = RGBQUAD{v, v, v, 0};
      }
      b->s.colorCount = count;
    }
  }
  DCObj* dc = NewDC();
  dc->memory = true;
  b->selectedIn = dc;
  dc->formatBitmap = std::move(b);
  dc->bitmap = dc->formatBitmap.get();
  Live().insert(dc->bitmap);  // GetObject and GetCurrentObject see it; the DC frees it
  return reinterpret_cast<HDC>(dc);
}

int GetDeviceCaps(HDC hdc, int index) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return 0;
  const int bpp = dc->screen ? 32 : (dc->bitmap ? dc->bitmap->s.bitCount : 32);
  switch (index) {
    case HORZRES: return dc->screen ? 1024 : (dc->bitmap ? dc->bitmap->s.width : 0);
    case VERTRES: return dc->screen ? 768 : (dc->bitmap ? dc->bitmap->s.height : 0);
    case BITSPIXEL: return dc->memory && dc->bitmap && dc->bitmap->stock ? 32 : bpp;
    case PLANES: return 1;
    case NUMCOLORS: return bpp <= 8 ? (1 << bpp) : -1;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP | RC_STRETCHDIB;
    case SIZEPALETTE: return 0;
    case NUMRESERVED: return 20;
    default: return 0;
  }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_BITMAP: return H(dc->bitmap);
    case OBJ_PAL: return H(dc->palette);
    case OBJ_BRUSH: return H(dc->brush);
    case OBJ_PEN: return H(dc->pen);
    default: return nullptr;
  }
}

DWORD GetObjectType(HGDIOBJ h) {
  Stocks();
  Object* o = Find(h);
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::DC: return static_cast<DCObj*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
    case Kind::Palette: return OBJ_PAL;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Pen: return OBJ_PEN;
  }
  return 0;
}

// ---- Bitmaps --------------------------------------------------------------------------------

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  Stocks();
  if (bits) *bits = nullptr;
  if (!bmi || section || offset) return nullptr;
  const BITMAPINFOHEADER& h = bmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1) return nullptr;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min()) return nullptr;
  const int bc = h.biBitCount;
  if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32) return nullptr;
  if (h.biCompression != win::BI_RGB && !(h.biCompression == win::BI_BITFIELDS && (bc == 16 || bc == 32)))
    return nullptr;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  auto b = MakeBitmap(h.biWidth, height, bc, 4);
  if (!b) return nullptr;
  const auto* after = reinterpret_cast<const std::uint8_t*>(bmi) + h.biSize;
  if (h.biCompression == win::BI_BITFIELDS) {
    std::memcpy(b->s.masks, after, 12);
    after += 12;
  }
  if (!b->s.Classify()) return nullptr;
  b->s.topDown = h.biHeight < 0;
  if (bc <= 8) {
    const UINT max = 1u << bc;
    const UINT n = h.biClrUsed == 0 ? max : std::min<UINT>(h.biClrUsed, max);
    if (usage == DIB_PAL_COLORS) {
      DCObj* dc = AsDC(hdc);
      const Palette* pal = dc && dc->palette ? dc->palette : DefaultPalette();
      const auto* idx = reinterpret_cast<const WORD*>(after);
      for (UINT i = 0; i < n; ++i) {
        const PALETTEENTRY& e = pal->entries[idx[i] % pal->entries.size()];
        b->s.colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
      }
    } else {
      std::memcpy(b->s.colors, after, n * sizeof(RGBQUAD));
    }
    b->s.colorCount = static_cast<int>(max);
  }
  b->dibSection = true;
  b->bmih = h;
  b->bmih.biSize = sizeof(BITMAPINFOHEADER);
  b->bmih.biSizeImage = static_cast<DWORD>(b->owned.size());
  if (bits) *bits = b->s.bits;
  return reinterpret_cast<HBITMAP>(Track(std::move(b)));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return nullptr;
  if (width == 0 || height == 0) return CreateBitmap(1, 1, 1, 1, nullptr);
  const Surface* t = dc->screen || !dc->bitmap || dc->bitmap->stock ? nullptr : &dc->bitmap->s;
  auto b = MakeBitmap(width, height, t ? t->bitCount : 32, 4);
  if (!b) return nullptr;
  if (t) {
    std::memcpy(b->s.masks, t->masks, sizeof t->masks);
    std::memcpy(b->s.colors, t->colors, sizeof t->colors);
    b->s.colorCount = t->colorCount;
  }
  b->s.Classify();
  return reinterpret_cast<HBITMAP>(Track(std::move(b)));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  Stocks();
  if (planes != 1 || (bitCount != 1 && bitCount != 32)) return nullptr;
  auto b = MakeBitmap(width, height, static_cast<int>(bitCount), 4);
  if (!b) return nullptr;
  b->s.topDown = true;
  if (bitCount == 1) {
    b->s.colorCount = 2;
    b->s.colors[1] = RGBQUAD{255, 255, 255, 0};
  }
  b->s.Classify();
  if (bits) {
    const std::size_t src = RowBytes(width, static_cast<int>(bitCount), 2);
    for (int y = 0; y < height; ++y)
      std::memcpy(b->s.Row(y), static_cast<const std::uint8_t*>(bits) + src * y, src);
  }
  return reinterpret_cast<HBITMAP>(Track(std::move(b)));
}

int GetObject(HGDIOBJ h, int size, void* buffer) {
  Stocks();
  Object* o = Find(h);
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      BITMAP bm{};
      bm.bmType = 0;
      bm.bmWidth = b->s.width;
      bm.bmHeight = b->s.height;
      bm.bmWidthBytes = static_cast<LONG>(b->s.pitch);
      bm.bmPlanes = 1;
      bm.bmBitsPixel = static_cast<WORD>(b->s.bitCount);
      bm.bmBits = b->dibSection ? b->s.bits : nullptr;
      if (b->dibSection && (size >= static_cast<int>(sizeof(DIBSECTION)) || !buffer)) {
        if (!buffer) return sizeof(DIBSECTION);
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b->bmih;
        if (b->s.bitCount == 16 || b->s.bitCount == 32) std::memcpy(ds.dsBitfields, b->s.masks, 12);
        std::memcpy(buffer, &ds, sizeof ds);
        return sizeof(DIBSECTION);
      }
      if (!buffer) return sizeof(BITMAP);
      if (size < static_cast<int>(sizeof(BITMAP))) return 0;
      std::memcpy(buffer, &bm, sizeof bm);
      return sizeof(BITMAP);
    }
    case Kind::Palette: {
      if (!buffer) return sizeof(WORD);
      if (size < static_cast<int>(sizeof(WORD))) return 0;
      const WORD n = static_cast<WORD>(static_cast<Palette*>(o)->entries.size());
      std::memcpy(buffer, &n, sizeof n);
      return sizeof(WORD);
    }
    case Kind::Brush:
    case Kind::Pen: {
      if (!buffer) return sizeof(COLORREF);
      if (size < static_cast<int>(sizeof(COLORREF))) return 0;
      const COLORREF c = o->kind == Kind::Brush ? static_cast<Brush*>(o)->color : static_cast<Pen*>(o)->color;
      std::memcpy(buffer, &c, sizeof c);
      return sizeof(COLORREF);
    }
    case Kind::DC: return 0;
  }
  return 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  DCObj* dc = AsDC(hdc);
  Object* o = Find(h);
  if (!dc || !o) return nullptr;
  switch (o->kind) {
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (!dc->memory || dc->formatBitmap) return nullptr;
      if (b == dc->bitmap) return H(b);
      if (!b->stock && b->selectedIn) return nullptr;
      Bitmap* old = dc->bitmap;
      if (old && !old->stock) old->selectedIn = nullptr;
      if (!b->stock) b->selectedIn = dc;
      dc->bitmap = b;
      return H(old);
    }
    case Kind::Brush: {
      Brush* old = dc->brush;
      dc->brush = static_cast<Brush*>(o);
      return H(old);
    }
    case Kind::Pen: {
      Pen* old = dc->pen;
      dc->pen = static_cast<Pen*>(o);
      return H(old);
    }
    default: return nullptr;  // palettes go through SelectPalette
  }
}

BOOL DeleteObject(HGDIOBJ h) {
  Stocks();
  Object* o = Find(h);
  if (!o || o->kind == Kind::DC) return win::FALSE;
  if (o->stock) return win::TRUE;
  // Objects in use by a DC stay alive.
  if (o->kind == Kind::Bitmap && static_cast<Bitmap*>(o)->selectedIn) return win::FALSE;
  for (Object* other : Live()) {
    if (other->kind != Kind::DC) continue;
    auto* dc = static_cast<DCObj*>(other);
    if (dc->brush == o || dc->pen == o) return win::FALSE;
    if (dc->palette == o) dc->palette = DefaultPalette();
  }
  Untrack(o);
  return win::TRUE;
}

HGDIOBJ GetStockObject(int index) {
  Stock& st = Stocks();
  if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return H(&st.brushes[index]);
  if (index >= WHITE_PEN && index <= NULL_PEN) return H(&st.pens[index - WHITE_PEN]);
  if (index == DEFAULT_PALETTE) return H(&st.palette);
  return nullptr;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
  DCObj* dc = AsDC(hdc);
  if (!dc || !dc->bitmap || dc->bitmap->stock || !colors) return 0;
  Surface& s = dc->bitmap->s;
  if (s.bitCount > 8) return 0;
  const UINT size = 1u << s.bitCount;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::memcpy(s.colors + start, colors, n * sizeof(RGBQUAD));
  s.colorCount = static_cast<int>(size);
  return n;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
  DCObj* dc = AsDC(hdc);
  if (!dc || !dc->bitmap || !colors) return 0;
  const Surface& s = dc->bitmap->s;
  if (s.bitCount > 8) return 0;
  const UINT size = 1u << s.bitCount;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::memcpy(colors, s.colors + start, n * sizeof(RGBQUAD));
  return n;
}

BOOL GdiFlush() { return win::TRUE; }

// ---- Brushes and pens -----------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color) {
  Stocks();
  auto b = std::make_unique<Brush>();
  b->color = color & 0x00FFFFFF;
  return reinterpret_cast<HBRUSH>(Track(std::move(b)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  Stocks();
  auto p = std::make_unique<Pen>();
  p->style = style;
  p->width = std::max(width, 1);
  p->color = color & 0x00FFFFFF;
  return reinterpret_cast<HPEN>(Track(std::move(p)));
}

// ---- Palettes ------------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* lp) {
  Stocks();
  if (!lp || lp->palVersion != 0x300 || lp->palNumEntries == 0 || lp->palNumEntries > 256) return nullptr;
  auto p = std::make_unique<Palette>();
  p->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
  return reinterpret_cast<HPALETTE>(Track(std::move(p)));
}

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries) {
  Palette* p = AsPalette(pal);
  if (!p) return 0;
  const UINT size = static_cast<UINT>(p->entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::memcpy(entries, p->entries.data() + start, n * sizeof(PALETTEENTRY));
  return n;
}

UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries) {
  Palette* p = AsPalette(pal);
  if (!p || p->stock || !entries) return 0;
  const UINT size = static_cast<UINT>(p->entries.size());
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::memcpy(p->entries.data() + start, entries, n * sizeof(PALETTEENTRY));
  return n;
}

HPALETTE SelectPalette(HDC hdc, HPALETTE pal, BOOL) {
  DCObj* dc = AsDC(hdc);
  Palette* p = AsPalette(pal);
  if (!dc || !p) return nullptr;
  Palette* old = dc->palette ? dc->palette : DefaultPalette();
  dc->palette = p;
  return reinterpret_cast<HPALETTE>(old);
}

UINT RealizePalette(HDC hdc) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return GDI_ERROR;
  if (!dc->palette || dc->palette->stock) return 0;
  return static_cast<UINT>(dc->palette->entries.size());
}

UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries) {
  if (!AsDC(hdc)) return 0;
  if (!g_systemInit) InitSystemPalette();
  if (!entries) return 256;
  if (start >= 256) return 0;
  const UINT n = std::min(count, 256 - start);
  std::memcpy(entries, g_system + start, n * sizeof(PALETTEENTRY));
  return n;
}

UINT SetSystemPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries) {
  if (!g_systemInit) InitSystemPalette();
  if (!entries || start >= 256) return 0;
  const UINT n = std::min(count, 256 - start);
  std::memcpy(g_system + start, entries, n * sizeof(PALETTEENTRY));
  return n;
}

void ResetSystemPalette() { InitSystemPalette(); }

UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color) {
  Palette* p = AsPalette(pal);
  if (!p || p->entries.empty()) return CLR_INVALID;
  RGBQUAD q[256];
  const int n = static_cast<int>(p->entries.size());
  for (int i = 0; i < n; ++i) q[i] = RGBQUAD{p->entries[i].peBlue, p->entries[i].peGreen, p->entries[i].peRed, 0};
  return static_cast<UINT>(NearestIndex(q, n, RgbFromColorRef(color)));
}

// ---- Simple drawing --------------------------------------------------------------------------

int SetStretchBltMode(HDC hdc, int mode) {
  DCObj* dc = AsDC(hdc);
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int old = dc->stretchMode;
  dc->stretchMode = mode;
  return old;
}

int GetStretchBltMode(HDC hdc) {
  DCObj* dc = AsDC(hdc);
  return dc ? dc->stretchMode : 0;
}

namespace {

void FillRectValue(const Surface& s, const RECT& r, std::uint32_t v) { pixels::Fill(s.View(), r, v); }

}  // namespace

BOOL FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DCObj* dc = AsDC(hdc);
  Brush* b = AsBrush(brush);
  if (!dc || !rect || !b) return win::FALSE;
  if (b->null || !dc->Target()) return win::TRUE;
  const Surface& s = *dc->Target();
  FillRectValue(s, *rect, EncodeColor(s, RgbFromColorRef(b->color)));
  return win::TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DCObj* dc = AsDC(hdc);
  if (!dc || !dc->Target()) return CLR_INVALID;
  const Surface& s = *dc->Target();
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  const std::uint32_t v = EncodeColor(s, RgbFromColorRef(color));
  WritePixelValue(s, x, y, v);
  return ColorRefFromRgb(DecodeValue(s, v));
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DCObj* dc = AsDC(hdc);
  if (!dc || !dc->Target()) return CLR_INVALID;
  const Surface& s = *dc->Target();
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  return ColorRefFromRgb(DecodeValue(s, ReadPixelValue(s, x, y)));
}

DWORD GetPixelValue(HDC hdc, int x, int y) {
  DCObj* dc = AsDC(hdc);
  if (!dc || !dc->Target()) return CLR_INVALID;
  const Surface& s = *dc->Target();
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  return ReadPixelValue(s, x, y);
}

BOOL MoveToEx(HDC hdc, int x, int y, win::POINT* old) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return win::FALSE;
  if (old) *old = dc->pos;
  dc->pos = win::POINT{x, y};
  return win::TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return win::FALSE;
  const win::POINT from = dc->pos;
  dc->pos = win::POINT{x, y};
  if (!dc->Target() || !dc->pen || dc->pen->style == PS_NULL) return win::TRUE;
  const Surface& s = *dc->Target();
  const std::uint32_t v = EncodeColor(s, RgbFromColorRef(dc->pen->color));
  // Bresenham, the end point excluded.
  long long x0 = from.x, y0 = from.y;
  const long long x1 = x, y1 = y;
  const long long ddx = std::llabs(x1 - x0), ddy = -std::llabs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long long err = ddx + ddy;
  // Long lines far outside the bitmap are cut short: nothing past this many steps can be seen.
  long long steps = std::max(ddx, -ddy);
  while (steps-- > 0) {
    if (x0 >= 0 && y0 >= 0 && x0 < s.width && y0 < s.height)
      WritePixelValue(s, static_cast<int>(x0), static_cast<int>(y0), v);
    const long long e2 = 2 * err;
    if (e2 >= ddy) {
      err += ddy;
      x0 += sx;
    }
    if (e2 <= ddx) {
      err += ddx;
      y0 += sy;
    }
  }
  return win::TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  DCObj* dc = AsDC(hdc);
  if (!dc) return win::FALSE;
  if (!dc->Target()) return win::TRUE;
  const Surface& s = *dc->Target();
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const bool pen = dc->pen && dc->pen->style != PS_NULL;
  if (dc->brush && !dc->brush->null) {
    const int inset = pen ? 1 : 0;
    FillRectValue(s, RECT{left + inset, top + inset, right - inset, bottom - inset},
                  EncodeColor(s, RgbFromColorRef(dc->brush->color)));
  }
  if (pen && right > left && bottom > top) {
    const std::uint32_t v = EncodeColor(s, RgbFromColorRef(dc->pen->color));
    FillRectValue(s, RECT{left, top, right, top + 1}, v);
    FillRectValue(s, RECT{left, bottom - 1, right, bottom}, v);
    FillRectValue(s, RECT{left, top, left + 1, bottom}, v);
    FillRectValue(s, RECT{right - 1, top, right, bottom}, v);
  }
  return win::TRUE;
}

int LiveObjectCount() {
  Stocks();
  int n = 0;
  for (Object* o : Live())
    if (!o->stock) ++n;
  return n;
}

int LiveObjectCount(DWORD objectType) {
  Stocks();
  const Kind kind = objectType == OBJ_BITMAP ? Kind::Bitmap
                    : objectType == OBJ_DC || objectType == OBJ_MEMDC ? Kind::DC
                    : objectType == OBJ_PAL ? Kind::Palette
                    : objectType == OBJ_BRUSH ? Kind::Brush
                    : objectType == OBJ_PEN ? Kind::Pen
                                            : Kind(-1);
  int n = 0;
  for (Object* o : Live())
    if (!o->stock && o->kind == kind) ++n;
  return n;
}

}  // namespace gdi
