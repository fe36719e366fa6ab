// The bitmap and the GDI it draws with: RLE8 decoding, StretchDIBits of RLE and plain 8-bit
// data, and 24-bit to 16-bit StretchBlt at 1:1 and stretched, beside SDL2's software blitter
// doing the same conversions.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "dx/DIB.h"
#include "framework/Classes.h"
#include "platform/gdi/Gdi.h"

namespace {

// An RLE8 picture like the stored ones: runs of a few colours, some absolute stretches.
std::vector<std::uint8_t> RlePicture(int w, int h) {
  std::vector<std::uint8_t> rle;
  std::mt19937 rng(5);
  for (int y = 0; y < h; ++y) {
    int x = 0;
    while (x < w) {
      const int n = std::min(w - x, 3 + static_cast<int>(rng() % 60));
      if (rng() % 4 == 0 && n >= 3) {
        rle.push_back(0);
        rle.push_back(static_cast<std::uint8_t>(n));
        for (int k = 0; k < n; ++k) rle.push_back(static_cast<std::uint8_t>(rng()));
        if (n & 1) rle.push_back(0);
      } else {
        rle.push_back(static_cast<std::uint8_t>(n));
        rle.push_back(static_cast<std::uint8_t>(rng() % 32));
      }
      x += n;
    }
    rle.push_back(0);
    rle.push_back(0);
  }
  rle.push_back(0);
  rle.push_back(1);
  return rle;
}

struct Info {
  win::BITMAPINFOHEADER h{};
  win::RGBQUAD colors[256]{};
  Info(int w, int hgt, win::DWORD comp, win::DWORD size) {
    h.biSize = 40;
    h.biWidth = w;
    h.biHeight = hgt;
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = comp;
    h.biSizeImage = size;
    for (int i = 0; i < 256; ++i)
      colors[i] = win::RGBQUAD{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i), 0};
  }
  const win::BITMAPINFO* Get() const { return reinterpret_cast<const win::BITMAPINFO*>(this); }
};

std::vector<std::uint8_t> StoredRle(int w, int h) {
  const auto rle = RlePicture(w, h);
  Info info(w, h, win::BI_RLE8, static_cast<win::DWORD>(rle.size()));
  std::vector<std::uint8_t> s(reinterpret_cast<const std::uint8_t*>(&info),
                              reinterpret_cast<const std::uint8_t*>(&info) + sizeof info);
  s.insert(s.end(), rle.begin(), rle.end());
  return s;
}

void BM_Rle8Decode(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto stored = StoredRle(w, h);
  dx::TDIB dib;
  fw::TBytesStream s(stored.data(), stored.size());
  dib.ReadBody(s);
  for (auto _ : state) {
    auto img = std::make_unique<dx::TDIBSharedImage>();
    img->Decompress(dib.Image(), true);
    benchmark::DoNotOptimize(img->Bits);
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_Rle8Decode)->Args({160, 160})->Args({1024, 768});

// A DC over a 32-bit or 16-bit target in memory.
struct Target {
  std::vector<std::uint8_t> mem;
  win::HDC dc;
  Target(int w, int h, int bits) : mem(static_cast<std::size_t>(w * h * bits / 8)) {
    gdi::MemoryFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<win::WORD>(bits);
    if (bits == 16) {
      f.RedMask = 0xF800;
      f.GreenMask = 0x7E0;
      f.BlueMask = 0x1F;
    }
    f.Pitch = w * bits / 8;
    f.Bits = mem.data();
    dc = gdi::CreateMemoryFormatDC(f);
  }
  ~Target() { gdi::DeleteDC(dc); }
};

void BM_StretchDIBitsRle8(benchmark::State& state) {
  const int w = 640, h = 480;
  const auto rle = RlePicture(w, h);
  Info info(w, h, win::BI_RLE8, static_cast<win::DWORD>(rle.size()));
  Target t(w, h, static_cast<int>(state.range(0)));
  for (auto _ : state)
    gdi::StretchDIBits(t.dc, 0, 0, w, h, 0, 0, w, h, rle.data(), info.Get(), gdi::DIB_RGB_COLORS, gdi::SRCCOPY);
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_StretchDIBitsRle8)->Arg(32)->Arg(16);

void BM_StretchDIBitsPlain8(benchmark::State& state) {
  const int w = 640, h = 480;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(w * h));
  std::mt19937 rng(3);
  for (auto& b : bits) b = static_cast<std::uint8_t>(rng());
  Info info(w, h, win::BI_RGB, 0);
  Target t(w, h, static_cast<int>(state.range(0)));
  for (auto _ : state)
    gdi::StretchDIBits(t.dc, 0, 0, w, h, 0, 0, w, h, bits.data(), info.Get(), gdi::DIB_RGB_COLORS, gdi::SRCCOPY);
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_StretchDIBitsPlain8)->Arg(32)->Arg(16);

// 24-bit source for the conversions.
struct Source24 {
  std::vector<std::uint8_t> mem;
  win::HDC dc;
  Source24(int w, int h) : mem(static_cast<std::size_t>(w * h * 3)) {
    std::mt19937 rng(9);
    for (auto& b : mem) b = static_cast<std::uint8_t>(rng());
    gdi::MemoryFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = 24;
    f.Pitch = w * 3;
    f.Bits = mem.data();
    dc = gdi::CreateMemoryFormatDC(f);
  }
  ~Source24() { gdi::DeleteDC(dc); }
};

void BM_StretchBlt24To16(benchmark::State& state) {
  const int sw = 640, sh = 480;
  const int dw = static_cast<int>(state.range(0)), dh = static_cast<int>(state.range(1));
  Source24 src(sw, sh);
  Target t(dw, dh, 16);
  for (auto _ : state) gdi::StretchBlt(t.dc, 0, 0, dw, dh, src.dc, 0, 0, sw, sh, gdi::SRCCOPY);
  state.SetItemsProcessed(state.iterations() * dw * dh);
}
BENCHMARK(BM_StretchBlt24To16)->Args({640, 480})->Args({1024, 768});

// SDL2's software blitter on the same conversion: 24-bit to 5-6-5, 1:1 and scaled.
void BM_SdlBlit24To16(benchmark::State& state) {
  const int sw = 640, sh = 480;
  const int dw = static_cast<int>(state.range(0)), dh = static_cast<int>(state.range(1));
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, sw, sh, 24, SDL_PIXELFORMAT_BGR24);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, dw, dh, 16, SDL_PIXELFORMAT_RGB565);
  std::mt19937 rng(9);
  auto* p = static_cast<std::uint8_t*>(src->pixels);
  for (int i = 0; i < src->pitch * sh; ++i) p[i] = static_cast<std::uint8_t>(rng());
  SDL_Rect dr{0, 0, dw, dh};
  for (auto _ : state) {
    if (dw == sw && dh == sh) SDL_BlitSurface(src, nullptr, dst, nullptr);
    else SDL_BlitScaled(src, nullptr, dst, &dr);
  }
  state.SetItemsProcessed(state.iterations() * dw * dh);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}
BENCHMARK(BM_SdlBlit24To16)->Args({640, 480})->Args({1024, 768});

}  // namespace

BENCHMARK_MAIN();
