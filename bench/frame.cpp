// One frame of the display at 800 x 600 x 16: clearing the back surface and presenting it,
// windowed (a blit into the window's part of the desktop) and in exclusive full screen (a flip),
// split into the presentation itself and the final conversion for the screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <vector>

#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/Forms.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/ddraw/DDrawPresentTesting.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/WinUser.h"

namespace {

using namespace ddraw;

void App() {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  fw::InitApplication();
}

HWND MakeWindow(int w, int h) {
  static bool registered = false;
  if (!registered) {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "BenchFrameWindow";
    win::RegisterClassA(&wc);
    registered = true;
  }
  HWND hwnd = win::CreateWindowExA(0, "BenchFrameWindow", "frame", win::WS_POPUP, 0, 0, w, h, nullptr, nullptr,
                                   nullptr, nullptr);
  win::ShowWindow(hwnd, win::SW_SHOW);
  return hwnd;
}

IDirectDrawSurface7* Create(IDirectDraw7* dd, DWORD flags, DWORD caps, DWORD w, DWORD h, DWORD backs) {
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  d.dwFlags = flags;
  d.dwWidth = w;
  d.dwHeight = h;
  d.dwBackBufferCount = backs;
  d.ddsCaps.dwCaps = caps;
  IDirectDrawSurface7* s = nullptr;
  dd->CreateSurface(&d, &s, nullptr);
  return s;
}

void Fill(IDirectDrawSurface7* s) {
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0;
  s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// A 16-bit desktop, so that the windowed case also runs at 16 bits.
void UseSixteenBitDesktop() {
  AdapterConfig a = DefaultAdapter();
  a.DesktopMode = DisplayMode{1024, 768, 16, 60};
  SetAdapters({a});
}

// Windowed: Fill(0) of an 800 x 600 back surface and its blit into the window; with the
// presenter installed (everything) or without one (the blit alone).
void Windowed(benchmark::State& state, bool present) {
  App();
  UseSixteenBitDesktop();
  WindowPresenter presenter;
  SetPresenter(present ? &presenter : nullptr);
  HWND hwnd = MakeWindow(800, 600);
  void* raw = nullptr;
  DirectDrawCreateEx(nullptr, &raw, IID_IDirectDraw7, nullptr);
  auto* dd = static_cast<IDirectDraw7*>(raw);
  dd->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
  IDirectDrawSurface7* primary = Create(dd, DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0, 0);
  IDirectDrawClipper* clipper = nullptr;
  dd->CreateClipper(0, &clipper, nullptr);
  clipper->SetHWnd(0, hwnd);
  primary->SetClipper(clipper);
  IDirectDrawSurface7* back =
      Create(dd, DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 800, 600, 0);
  win::POINT p{0, 0};
  win::ClientToScreen(hwnd, &p);
  RECT dest{p.x, p.y, p.x + 800, p.y + 600};
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  for (auto _ : state) {
    Fill(back);
    primary->Blt(&dest, back, nullptr, DDBLT_WAIT, &fx);
  }
  state.counters["conversion_us"] =
      present ? benchmark::Counter(
                    static_cast<double>(WindowPresenterTesting::ConversionNanoseconds(presenter)) / 1000.0 /
                    static_cast<double>(std::max<std::uint64_t>(WindowPresenterTesting::ConvertedFrames(presenter), 1)))
              : benchmark::Counter(0);
  back->Release();
  primary->Release();
  clipper->Release();
  dd->Release();
  SetPresenter(nullptr);
  win::DestroyWindow(hwnd);
  ResetAdapters();
}

// Full screen: Fill(0) of the back buffer and the flip, with or without the presenter.
void FullScreen(benchmark::State& state, bool present) {
  App();
  ResetAdapters();
  WindowPresenter presenter;
  SetPresenter(present ? &presenter : nullptr);
  HWND hwnd = MakeWindow(640, 480);
  void* raw = nullptr;
  DirectDrawCreateEx(nullptr, &raw, IID_IDirectDraw7, nullptr);
  auto* dd = static_cast<IDirectDraw7*>(raw);
  dd->SetCooperativeLevel(hwnd, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX);
  dd->SetDisplayMode(800, 600, 16, 0, 0);
  IDirectDrawSurface7* front =
      Create(dd, DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 0, 0, 1);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  IDirectDrawSurface7* back = nullptr;
  front->GetAttachedSurface(&caps, &back);
  // Flips keep to the retrace; on a virtual clock that wait costs nothing, so the frame itself
  // is measured.
  mm::SetVirtualTime(0);
  for (auto _ : state) {
    Fill(back);
    front->Flip(nullptr, DDFLIP_WAIT);
  }
  state.counters["conversion_us"] =
      present ? benchmark::Counter(
                    static_cast<double>(WindowPresenterTesting::ConversionNanoseconds(presenter)) / 1000.0 /
                    static_cast<double>(std::max<std::uint64_t>(WindowPresenterTesting::ConvertedFrames(presenter), 1)))
              : benchmark::Counter(0);
  mm::UseRealClock();
  back->Release();
  front->Release();
  dd->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
  dd->Release();
  SetPresenter(nullptr);
  win::DestroyWindow(hwnd);
  ResetAdapters();
}

// The final conversion alone: an 800 x 600 frame of 16-bit pixels to the screen's RGB.
void Conversion16(benchmark::State& state) {
  std::vector<std::uint16_t> pixels(800 * 600, 0x1234);
  Frame f;
  f.Bits = reinterpret_cast<const std::uint8_t*>(pixels.data());
  f.Pitch = 1600;
  f.Width = 800;
  f.Height = 600;
  f.BitCount = 16;
  QImage target(800, 600, QImage::Format_RGB32);
  for (auto _ : state) {
    ConvertFrame(f, RECT{0, 0, 800, 600}, target, 0, 0);
    benchmark::DoNotOptimize(target.constBits());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 800 * 600 * 2);
}

void BM_WindowedFillFlip(benchmark::State& s) { Windowed(s, false); }
void BM_WindowedFillFlipPresented(benchmark::State& s) { Windowed(s, true); }
void BM_FullScreenFillFlip(benchmark::State& s) { FullScreen(s, false); }
void BM_FullScreenFillFlipPresented(benchmark::State& s) { FullScreen(s, true); }

BENCHMARK(BM_WindowedFillFlip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowedFillFlipPresented)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScreenFillFlip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScreenFillFlipPresented)->Unit(benchmark::kMicrosecond);
BENCHMARK(Conversion16)->Unit(benchmark::kMicrosecond);

// The display component itself: Surface.Fill(0) and Flip, as the frame handler does them.
void Component(benchmark::State& state, bool fullScreen, bool present) {
  App();
  if (fullScreen)
    ResetAdapters();
  else
    UseSixteenBitDesktop();
  auto form = fw::MakeOwned<fw::TForm>(nullptr);
  form->SetBounds(0, 0, 820, 660);
  form->SetClientSize(800, 600);
  auto* draw = fw::MakeComponent<dx::TDXDraw>(form.get());
  draw->SetAutoInitialize(false);
  draw->SetParent(form.get());
  draw->SetBounds(0, 0, 800, 600);
  form->Show();
  if (fullScreen) {
    draw->SetOptions(dx::TDXDrawOptions{dx::doFullScreen, dx::doAllowReboot, dx::doCenter, dx::doFlip});
    draw->Display()->SetWidth(800);
    draw->Display()->SetHeight(600);
    draw->Display()->SetBitCount(16);
  } else {
    draw->SetOptions(dx::TDXDrawOptions{dx::doCenter});
  }
  draw->Initialize();
  EnsureWindowPresenter();
  WindowPresenter* presenter = InstalledWindowPresenter();
  SetPresenter(present ? presenter : nullptr);
  const std::uint64_t frames0 = presenter ? WindowPresenterTesting::ConvertedFrames(*presenter) : 0;
  const std::uint64_t ns0 = presenter ? WindowPresenterTesting::ConversionNanoseconds(*presenter) : 0;
  mm::SetVirtualTime(0);  // no waiting for the retrace (see above)
  for (auto _ : state) {
    if (!draw->CanDraw()) {
      state.SkipWithError("the display cannot draw");
      break;
    }
    draw->Surface()->Fill(0);
    draw->Flip();
  }
  mm::UseRealClock();
  if (present && presenter) {
    const double frames =
        static_cast<double>(std::max<std::uint64_t>(WindowPresenterTesting::ConvertedFrames(*presenter) - frames0, 1));
    state.counters["conversion_us"] =
        static_cast<double>(WindowPresenterTesting::ConversionNanoseconds(*presenter) - ns0) / 1000.0 / frames;
  }
  SetPresenter(presenter);
  draw->Finalize();
  form.reset();
  ResetAdapters();
}

void BM_DXDrawWindowed(benchmark::State& s) { Component(s, false, false); }
void BM_DXDrawWindowedPresented(benchmark::State& s) { Component(s, false, true); }
void BM_DXDrawFullScreen(benchmark::State& s) { Component(s, true, false); }
void BM_DXDrawFullScreenPresented(benchmark::State& s) { Component(s, true, true); }

BENCHMARK(BM_DXDrawWindowed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DXDrawWindowedPresented)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DXDrawFullScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DXDrawFullScreenPresented)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
