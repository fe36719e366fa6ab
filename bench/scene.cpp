// The full-screen model's frame at 800 x 600 x 16 with the default parameters, as the frame
// handler draws it (Advance, FreeDisposed, Fill(0), Paint, Flip), with and without presenting it
// on the screen; beside it the same scene drawn with SDL2's software blitter from the same
// pictures: a fill, 42 background tiles of 256 x 256, the keyed 800 x 100 band and the keyed
// 50 x 50 body, with run-length encoded colour keys and without.
//
// The frame's parts that are measured against the memory system itself: clearing the back
// surface against memset of its bytes, and the final conversion for the screen against memcpy
// of the bytes it writes.
#include <benchmark/benchmark.h>

#include <QImage>
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "framework/Forms.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/ddraw/DDrawPresentTesting.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/pixels/Pixels.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// The model's three forms with one scene set up with the defaults, made once for all cases.
struct Model {
  std::vector<std::string> boxes;
  bool ok = false;

  Model() {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The form's sound component stays silent rather than playing into a real device.
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    fw::InitApplication();
    fw::Application->Initialize();
    app::RegisterForms();
    ddraw::ResetAdapters();
    app::ResetModelState();
    // Flips keep to the retrace; on a virtual clock that wait costs nothing, so the frame itself
    // is measured.
    mm::SetVirtualTime(1000);
    win::SetVirtualTimers(true);
    win::SetMessageBoxHook([this](const std::string& text, const std::string&, win::UINT) {
      boxes.push_back(text);
      return win::IDOK;
    });
    fw::Application->CreateForm(app::Form1);
    fw::Application->CreateForm(app::Form3);
    fw::Application->CreateForm(app::form4);
    win::GuardedCall([] { app::Form1->Sprix1->Click(); });
    dx::TDXDraw* d = app::form4->DXDraw;
    ok = boxes.empty() && d->CanDraw() && d->Surface()->Width() == kWidth && d->Surface()->Height() == kHeight &&
         d->Surface()->BitCount() == 16 && app::form4->DXSpriteEngine->Engine()->ChildCount() == 3;
  }
};

Model& TheModel() {
  static Model m;
  return m;
}

// The frame handler's work, without reading the input devices (there are none here).
void SceneFrame(benchmark::State& state, bool present) {
  Model& m = TheModel();
  if (!m.ok) {
    state.SkipWithError(m.boxes.empty() ? "the scene was not set up" : m.boxes.front().c_str());
    return;
  }
  ddraw::EnsureWindowPresenter();
  ddraw::WindowPresenter* presenter = ddraw::InstalledWindowPresenter();
  ddraw::SetPresenter(present ? presenter : nullptr);
  using ddraw::WindowPresenterTesting;
  const std::uint64_t frames0 = presenter ? WindowPresenterTesting::ConvertedFrames(*presenter) : 0;
  const std::uint64_t ns0 = presenter ? WindowPresenterTesting::ConversionNanoseconds(*presenter) : 0;
  app::Tform4* f = app::form4;
  for (auto _ : state) {
    f->DXSpriteEngine->Advance(1);
    f->DXSpriteEngine->FreeDisposed();
    f->DXDraw->Surface()->Fill(0);
    f->DXSpriteEngine->Paint();
    f->DXDraw->Flip();
  }
  if (present && presenter) {
    const double frames =
        static_cast<double>(std::max<std::uint64_t>(WindowPresenterTesting::ConvertedFrames(*presenter) - frames0, 1));
    state.counters["present_us"] =
        static_cast<double>(WindowPresenterTesting::ConversionNanoseconds(*presenter) - ns0) / 1000.0 / frames;
  }
  ddraw::SetPresenter(presenter);
}

void BM_SceneFrame(benchmark::State& s) { SceneFrame(s, false); }
void BM_SceneFramePresented(benchmark::State& s) { SceneFrame(s, true); }

// --- SDL2 -----------------------------------------------------------------------------------

// A picture of the image list copied pixel for pixel into an SDL surface of the same format,
// with the picture's colour key when it has one.
SDL_Surface* SdlCopy(const std::string& name, bool rle) {
  dx::TPictureCollectionItem* item = app::form4->ImageList->Items()->Lookup(name);
  if (!item) return nullptr;
  dx::TDirectDrawSurface* src = item->PatternSurface(0);
  if (!src) return nullptr;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, src->Width(), src->Height(), 16, SDL_PIXELFORMAT_RGB565);
  for (int y = 0; y < src->Height(); ++y) {
    auto* row = static_cast<std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
    for (int x = 0; x < src->Width(); ++x) pixels::Pixel<16>::Store(row, x, src->Pixels(x, y));
  }
  if (item->Transparent()) {
    SDL_SetColorKey(s, SDL_TRUE, src->MatchColor(item->TransparentColor()));
    SDL_SetSurfaceRLE(s, rle ? 1 : 0);
  }
  return s;
}

void SdlScene(benchmark::State& state, bool rle) {
  Model& m = TheModel();
  if (!m.ok) {
    state.SkipWithError("the scene was not set up");
    return;
  }
  SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* tile = SdlCopy("background", rle);
  SDL_Surface* band = SdlCopy("fon1", rle);
  SDL_Surface* body = SdlCopy("img1", rle);
  if (!back || !tile || !band || !body) {
    state.SkipWithError("SDL surfaces not made");
  } else {
    // Where the model's body is now (it has reached its target by the time this runs or not;
    // either way it lies inside the water).
    const int bx = static_cast<int>(app::StartX), by = static_cast<int>(app::TargetY);
    for (auto _ : state) {
      SDL_FillRect(back, nullptr, 0);
      // The wrapped one-cell map: a tile before the first and after the last visible one,
      // 7 x 6 = 42 tiles, as the background sprite lays them out.
      for (int ty = -1; ty <= 4; ++ty)
        for (int tx = -1; tx <= 5; ++tx) {
          SDL_Rect d{tx * 256, ty * 256, 256, 256};
          SDL_BlitSurface(tile, nullptr, back, &d);
        }
      SDL_Rect d{0, 0, 800, 100};
      SDL_BlitSurface(band, nullptr, back, &d);
      d = SDL_Rect{bx, by, 50, 50};
      SDL_BlitSurface(body, nullptr, back, &d);
      benchmark::DoNotOptimize(back->pixels);
    }
  }
  for (SDL_Surface* s : {back, tile, band, body})
    if (s) SDL_FreeSurface(s);
}

void BM_SdlSceneKeyed(benchmark::State& s) { SdlScene(s, false); }
void BM_SdlSceneKeyedRle(benchmark::State& s) { SdlScene(s, true); }

// --- the frame's parts against the memory system ---------------------------------------------

// Fill(0) of the back surface through the display component.
void BM_SurfaceFill(benchmark::State& state) {
  Model& m = TheModel();
  if (!m.ok) {
    state.SkipWithError("the scene was not set up");
    return;
  }
  for (auto _ : state) app::form4->DXDraw->Surface()->Fill(0);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 2);
}

// The pixel module's fill alone, with zero and with a colour whose two bytes differ.
void BM_PixelsFill(benchmark::State& state) {
  std::vector<std::uint8_t> mem(kWidth * kHeight * 2);
  const pixels::PixelView v{mem.data(), kWidth * 2, kWidth, kHeight, 16};
  const auto value = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    pixels::Fill(v, v.Bounds(), value);
    benchmark::DoNotOptimize(mem.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 2);
}

void BM_MemsetSurfaceBytes(benchmark::State& state) {
  std::vector<std::uint8_t> mem(kWidth * kHeight * 2);
  for (auto _ : state) {
    std::memset(mem.data(), 0, mem.size());
    benchmark::DoNotOptimize(mem.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 2);
}

// The final conversion of a whole 16-bit frame for the screen; it writes 4 bytes a pixel.
void BM_Convert565(benchmark::State& state) {
  std::vector<std::uint16_t> px(kWidth * kHeight);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  ddraw::Frame f;
  f.Bits = reinterpret_cast<const std::uint8_t*>(px.data());
  f.Pitch = kWidth * 2;
  f.Width = kWidth;
  f.Height = kHeight;
  f.BitCount = 16;
  QImage target(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    ddraw::ConvertFrame(f, win::RECT{0, 0, kWidth, kHeight}, target, 0, 0);
    benchmark::DoNotOptimize(target.constBits());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

void BM_MemcpyConvertedBytes(benchmark::State& state) {
  std::vector<std::uint8_t> from(kWidth * kHeight * 4, 1), to(kWidth * kHeight * 4);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

BENCHMARK(BM_SceneFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlSceneKeyed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlSceneKeyedRle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SceneFramePresented)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SurfaceFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PixelsFill)->Arg(0)->Arg(0x1234)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemsetSurfaceBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Convert565)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyConvertedBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
