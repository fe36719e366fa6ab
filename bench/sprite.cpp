// The sprite engine: moving and painting large worlds (the cost per sprite should not grow with
// their number), one 800 x 600 x 16 frame of 1000 keyed sprites over a wrapped background beside
// the same frame drawn with SDL2's blitter, and a collision pass over 1k, 10k and 100k sprites.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "dx/DXSprite.h"
#include "framework/Forms.h"
#include "platform/ddraw/DDraw.h"
#include "platform/pixels/Pixels.h"

namespace {

using namespace dx;

// A keyed disc: 0 outside the circle.
std::uint32_t Disc(int x, int y) {
  const int dx = x - 16, dy = y - 16;
  return dx * dx + dy * dy < 15 * 15 ? static_cast<std::uint32_t>(0x1234 + x * 37 + y * 101) & 0xFFFF : 0u;
}
std::uint32_t Water(int x, int y) { return static_cast<std::uint32_t>(0x0010 + ((x ^ y) & 0x1F)) | 0x0400; }

void FillSurface(TDirectDrawSurface* s, std::uint32_t (*pixel)(int, int)) {
  ddraw::DDSURFACEDESC d;
  if (!s->Lock(nullptr, d)) std::abort();
  const pixels::PixelView v{static_cast<std::uint8_t*>(d.lpSurface), d.lPitch, s->Width(), s->Height(),
                            d.ddpfPixelFormat.dwRGBBitCount};
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) pixels::PutPixel(v, x, y, pixel(x, y));
  s->Unlock();
}

// Moves one pixel a step, bouncing inside its world.
class Mover : public TImageSprite {
 public:
  Mover(TSprite* parent, int world) : TImageSprite(parent), world_(world) {}
  void Step(std::int32_t MoveCount) override {
    TImageSprite::Step(MoveCount);
    if (X() + dx_ < 0 || X() + dx_ > world_) dx_ = -dx_;
    if (Y() + dy_ < 0 || Y() + dy_ > world_) dy_ = -dy_;
    SetX(X() + dx_ * MoveCount);
    SetY(Y() + dy_ * MoveCount);
  }
  int dx_ = 1, dy_ = 1;

 private:
  int world_;
};

// A windowed display of 800 x 600 at 16 bits with an image list and a sprite engine.
struct Scene {
  Scene() {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fw::InitApplication();
    ddraw::AdapterConfig a = ddraw::DefaultAdapter();
    a.DesktopMode = ddraw::DisplayMode{1024, 768, 16};
    ddraw::SetAdapters({a});
    form = fw::MakeOwned<fw::TForm>(nullptr);
    form->SetClientSize(800, 600);
    draw = fw::MakeComponent<TDXDraw>(form.get());
    draw->SetAutoInitialize(false);
    draw->SetAutoSize(false);
    draw->SetSurfaceWidth(800);
    draw->SetSurfaceHeight(600);
    draw->SetParent(form.get());
    images = fw::MakeComponent<TDXImageList>(form.get());
    images->SetDXDraw(draw);
    sprites = fw::MakeComponent<TDXSpriteEngine>(form.get());
    sprites->SetDXDraw(draw);
    draw->Initialize();
    ball = Item(32, 32, Disc, true);
    water = Item(256, 256, Water, false);
  }
  ~Scene() {
    form.reset();
    ddraw::ResetAdapters();
  }
  TPictureCollectionItem* Item(int w, int h, std::uint32_t (*pixel)(int, int), bool keyed) {
    TPictureCollectionItem* item = images->Items()->Add();
    TDIB dib;
    dib.SetSize(w, h, 24);
    item->Picture()->SetGraphic(&dib);
    item->SetTransparent(keyed);
    item->Rebuild();
    FillSurface(item->Surfaces(0), pixel);
    item->Surfaces(0)->SetTransparentColor(0);
    return item;
  }
  std::vector<Mover*> Movers(int n, int world, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pos(0, world);
    std::vector<Mover*> out;
    for (int i = 0; i < n; ++i) {
      auto* m = MakeSprite<Mover>(sprites->Engine(), world);
      m->ImageItem = ball;
      m->SetWidth(32);
      m->SetHeight(32);
      m->SetX(pos(rng));
      m->SetY(pos(rng));
      m->dx_ = (i & 1) ? 1 : -1;
      m->dy_ = (i & 2) ? 1 : -1;
      out.push_back(m);
    }
    return out;
  }

  fw::TOwned<fw::TForm> form;
  TDXDraw* draw = nullptr;
  TDXImageList* images = nullptr;
  TDXSpriteEngine* sprites = nullptr;
  TPictureCollectionItem* ball = nullptr;
  TPictureCollectionItem* water = nullptr;
};

// A large world: 800 x 600 of it is on screen, the rest costs a rectangle test per sprite.
void BM_AdvancePaint(benchmark::State& state) {
  Scene scene;
  const int n = static_cast<int>(state.range(0));
  scene.Movers(n, 30000, 1);
  for (auto _ : state) {
    scene.sprites->Advance(1);
    scene.sprites->FreeDisposed();
    scene.sprites->Paint();
  }
  state.counters["ns_per_sprite"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["drawn"] = scene.sprites->Engine()->DrawnCount();
}
BENCHMARK(BM_AdvancePaint)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

constexpr int kFrameSprites = 1000;

void BM_FrameOurs(benchmark::State& state) {
  Scene scene;
  auto* bg = MakeSprite<TBackgroundSprite>(scene.sprites->Engine());
  bg->SetImageItem(scene.water);
  bg->ResizeMap(1, 1);
  bg->SetWrap(true);
  bg->SetZ(-1);
  scene.Movers(kFrameSprites, 768, 2);
  for (auto _ : state) {
    scene.draw->Surface()->Fill(0);
    scene.sprites->Advance(1);
    scene.sprites->FreeDisposed();
    scene.sprites->Paint();
  }
}
BENCHMARK(BM_FrameOurs)->Unit(benchmark::kMicrosecond);

// The same frame with SDL2: a 565 target, the background tiled the same 42 times, the sprites
// moved the same way and blitted with their colour key.
void FrameSDL(benchmark::State& state, bool rle) {
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* water = SDL_CreateRGBSurfaceWithFormat(0, 256, 256, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* ball = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 16, SDL_PIXELFORMAT_RGB565);
  auto fill = [](SDL_Surface* s, std::uint32_t (*pixel)(int, int)) {
    for (int y = 0; y < s->h; ++y)
      for (int x = 0; x < s->w; ++x)
        reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch)[x] =
            static_cast<std::uint16_t>(pixel(x, y));
  };
  fill(water, Water);
  fill(ball, Disc);
  SDL_SetColorKey(ball, SDL_TRUE, 0);
  SDL_SetSurfaceRLE(ball, rle ? 1 : 0);
  struct M {
    int x, y, dx, dy;
  };
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> pos(0, 768);
  std::vector<M> ms;
  for (int i = 0; i < kFrameSprites; ++i) ms.push_back({pos(rng), pos(rng), (i & 1) ? 1 : -1, (i & 2) ? 1 : -1});
  for (auto _ : state) {
    SDL_FillRect(target, nullptr, 0);
    for (int ty = -1; ty <= 3; ++ty)
      for (int tx = -1; tx <= 4; ++tx) {
        SDL_Rect d{tx * 256, ty * 256, 256, 256};
        SDL_BlitSurface(water, nullptr, target, &d);
      }
    for (M& m : ms) {
      if (m.x + m.dx < 0 || m.x + m.dx > 768) m.dx = -m.dx;
      if (m.y + m.dy < 0 || m.y + m.dy > 768) m.dy = -m.dy;
      m.x += m.dx;
      m.y += m.dy;
      SDL_Rect d{m.x, m.y, 32, 32};
      SDL_BlitSurface(ball, nullptr, target, &d);
    }
  }
  SDL_FreeSurface(ball);
  SDL_FreeSurface(water);
  SDL_FreeSurface(target);
}
void BM_FrameSDL_RLE(benchmark::State& state) { FrameSDL(state, true); }
void BM_FrameSDL_NoRLE(benchmark::State& state) { FrameSDL(state, false); }
BENCHMARK(BM_FrameSDL_RLE)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameSDL_NoRLE)->Unit(benchmark::kMicrosecond);

// Every one of n sprites moves a pixel and then asks for its collisions, about four neighbours
// each: the world grows with n, so the crowd is as dense at every size and the cost per sprite
// should not change with their number. Only the asking is timed (and what it does to catch up
// with the moves).
void BM_CollisionPass(benchmark::State& state) {
  Scene scene;
  const int n = static_cast<int>(state.range(0));
  const bool exact = state.range(1) != 0;
  const int world = static_cast<int>(3200 * std::sqrt(n / 10000.0));
  std::vector<Mover*> ms = scene.Movers(n, world, 3);
  for (Mover* m : ms) m->ExactHit = exact;
  std::int64_t hits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scene.sprites->Advance(1);
    state.ResumeTiming();
    for (Mover* m : ms) hits += m->Collision();
  }
  state.counters["hits_per_sprite"] =
      static_cast<double>(hits) / static_cast<double>(state.iterations()) / static_cast<double>(n);
  state.counters["ns_per_sprite"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CollisionPass)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
