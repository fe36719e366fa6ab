// Our surface blits beside SDL2's software blitter and memcpy, on the same sizes and formats:
// a 256 x 256 opaque tile, colour-keyed sprites of 16 x 16, 32 x 32 (the sizes games use most),
// 50 x 50 and 800 x 100, and an 800 x 600 fill, at 16 and at 32 bits. SDL2 is measured with a
// plain colour key and with RLE acceleration.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/DDraw.h"

namespace {

using namespace ddraw;

constexpr int kDestW = 800, kDestH = 600;
constexpr int kX = 13, kY = 17;

// A disc on the key colour: about a fifth of each sprite is transparent.
std::uint32_t SpritePixel(int x, int y, int w, int h, std::uint32_t key, std::uint32_t ink) {
  const long dx = 2L * x - w + 1, dy = (2L * y - h + 1) * w / h;
  return dx * dx + dy * dy <= static_cast<long>(w) * w ? ink + static_cast<std::uint32_t>(x) : key;
}

class Ours {
 public:
  explicit Ours(int bits) {
    DirectDrawCreate(nullptr, &dd_, nullptr);
    dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    bits_ = bits;
    dest_ = Make(kDestW, kDestH);
  }
  ~Ours() {
    for (auto* s : made_) s->Release();
    dd_->Release();
  }
  IDirectDrawSurface* Make(int w, int h) {
    DDSURFACEDESC d;
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits_);
    if (bits_ == 16) {
      d.ddpfPixelFormat.dwRBitMask = 0xF800;
      d.ddpfPixelFormat.dwGBitMask = 0x7E0;
      d.ddpfPixelFormat.dwBBitMask = 0x1F;
    } else {
      d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
      d.ddpfPixelFormat.dwGBitMask = 0xFF00;
      d.ddpfPixelFormat.dwBBitMask = 0xFF;
    }
    IDirectDrawSurface* s = nullptr;
    dd_->CreateSurface(&d, &s, nullptr);
    made_.push_back(s);
    return s;
  }
  IDirectDrawSurface* MakeSprite(int w, int h, std::uint32_t key, bool keyed) {
    IDirectDrawSurface* s = Make(w, h);
    DDSURFACEDESC l;
    l.dwSize = sizeof(l);
    s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t v = keyed ? SpritePixel(x, y, w, h, key, 0x4321) : 0x1234u + static_cast<std::uint32_t>(x ^ y);
        auto* row = static_cast<std::uint8_t*>(l.lpSurface) + static_cast<std::ptrdiff_t>(y) * l.lPitch;
        if (bits_ == 16) {
          reinterpret_cast<std::uint16_t*>(row)[x] = static_cast<std::uint16_t>(v);
        } else {
          reinterpret_cast<std::uint32_t*>(row)[x] = v;
        }
      }
    s->Unlock(nullptr);
    DDCOLORKEY k{key, key};
    s->SetColorKey(DDCKEY_SRCBLT, &k);
    return s;
  }
  IDirectDrawSurface* Dest() const { return dest_; }

 private:
  IDirectDraw* dd_ = nullptr;
  IDirectDrawSurface* dest_ = nullptr;
  std::vector<IDirectDrawSurface*> made_;
  int bits_ = 16;
};

Uint32 SdlFormat(int bits) { return bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888; }

SDL_Surface* SdlSprite(int w, int h, int bits, std::uint32_t key, bool keyed) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, bits, SdlFormat(bits));
  SDL_LockSurface(s);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = keyed ? SpritePixel(x, y, w, h, key, 0x4321) : 0x1234u + static_cast<std::uint32_t>(x ^ y);
      auto* row = static_cast<std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
      if (bits == 16) {
        reinterpret_cast<std::uint16_t*>(row)[x] = static_cast<std::uint16_t>(v);
      } else {
        reinterpret_cast<std::uint32_t*>(row)[x] = v;
      }
    }
  SDL_UnlockSurface(s);
  return s;
}

constexpr std::uint32_t kKey = 0x0000;

// --- ours ------------------------------------------------------------------------------------

void OursTile(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Ours o(bits);
  IDirectDrawSurface* tile = o.MakeSprite(256, 256, kKey, false);
  for (auto _ : state) o.Dest()->BltFast(kX, kY, tile, nullptr, DDBLTFAST_WAIT);
  state.SetBytesProcessed(state.iterations() * 256 * 256 * bits / 8);
}

void OursSprite(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  Ours o(bits);
  IDirectDrawSurface* sprite = o.MakeSprite(w, h, kKey, true);
  const DWORD x = w + kX <= kDestW ? kX : 0;
  for (auto _ : state) o.Dest()->BltFast(x, kY, sprite, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
  state.SetBytesProcessed(state.iterations() * w * h * bits / 8);
}

void OursFill(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Ours o(bits);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0x1234;
  for (auto _ : state) o.Dest()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  state.SetBytesProcessed(state.iterations() * kDestW * kDestH * bits / 8);
}

// --- SDL2 ------------------------------------------------------------------------------------

void SdlTile(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, kDestW, kDestH, bits, SdlFormat(bits));
  SDL_Surface* tile = SdlSprite(256, 256, bits, kKey, false);
  for (auto _ : state) {
    SDL_Rect r{kX, kY, 256, 256};
    SDL_BlitSurface(tile, nullptr, dest, &r);
  }
  state.SetBytesProcessed(state.iterations() * 256 * 256 * bits / 8);
  SDL_FreeSurface(tile);
  SDL_FreeSurface(dest);
}

void SdlSpriteBench(benchmark::State& state, bool rle) {
  const int bits = static_cast<int>(state.range(0));
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, kDestW, kDestH, bits, SdlFormat(bits));
  SDL_Surface* sprite = SdlSprite(w, h, bits, kKey, true);
  SDL_SetColorKey(sprite, SDL_TRUE, kKey);
  SDL_SetSurfaceRLE(sprite, rle ? 1 : 0);
  const int x = w + kX <= kDestW ? kX : 0;
  for (auto _ : state) {
    SDL_Rect r{x, kY, w, h};
    SDL_BlitSurface(sprite, nullptr, dest, &r);
  }
  state.SetBytesProcessed(state.iterations() * w * h * bits / 8);
  SDL_FreeSurface(sprite);
  SDL_FreeSurface(dest);
}
void SdlSpriteKey(benchmark::State& state) { SdlSpriteBench(state, false); }
void SdlSpriteRle(benchmark::State& state) { SdlSpriteBench(state, true); }

void SdlFill(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, kDestW, kDestH, bits, SdlFormat(bits));
  for (auto _ : state) SDL_FillRect(dest, nullptr, 0x1234);
  state.SetBytesProcessed(state.iterations() * kDestW * kDestH * bits / 8);
  SDL_FreeSurface(dest);
}

// --- the physical bound ----------------------------------------------------------------------

void Memcpy(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void Memset(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> b(bytes);
  for (auto _ : state) {
    std::memset(b.data(), 0x34, bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void Sizes16And32(benchmark::internal::Benchmark* b) { b->Arg(16)->Arg(32); }
void Sprites(benchmark::internal::Benchmark* b) {
  for (int bits : {16, 32}) {
    for (int size : {16, 32, 50}) b->Args({bits, size, size});
    b->Args({bits, 800, 100});
  }
}

BENCHMARK(OursTile)->Apply(Sizes16And32);
BENCHMARK(SdlTile)->Apply(Sizes16And32);
BENCHMARK(Memcpy)->Arg(256 * 256 * 2)->Arg(256 * 256 * 4);
BENCHMARK(OursSprite)->Apply(Sprites);
BENCHMARK(SdlSpriteKey)->Apply(Sprites);
BENCHMARK(SdlSpriteRle)->Apply(Sprites);
BENCHMARK(Memcpy)->Arg(16 * 16 * 2)->Arg(32 * 32 * 2)->Arg(50 * 50 * 2)->Arg(800 * 100 * 2)->Arg(32 * 32 * 4)->Arg(50 * 50 * 4)->Arg(800 * 100 * 4);
BENCHMARK(OursFill)->Apply(Sizes16And32);
BENCHMARK(SdlFill)->Apply(Sizes16And32);
BENCHMARK(Memset)->Arg(kDestW * kDestH * 2)->Arg(kDestW * kDestH * 4);

}  // namespace

BENCHMARK_MAIN();
