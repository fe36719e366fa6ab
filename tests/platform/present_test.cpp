// Frames of the primary surface reaching real windows: windowed through a clipper, and in
// exclusive full screen on a borderless window over the whole screen.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <vector>

#include "platform/ddraw/DDrawPresent.h"
#include "platform/pixels/Pixels.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace ddraw;

std::uint32_t Rgb(QRgb p) { return p & 0xFFFFFFu; }

TEST(PresentConvert, EveryDepthBecomesScreenRgbAndStaysInsideTheTarget) {
  QImage target(4, 2, QImage::Format_RGB32);
  target.fill(0xFF123456);

  // 5-6-5: full red, full green, full blue, and a middle grey.
  const std::uint16_t p16[4] = {0xF800, 0x07E0, 0x001F, 0x8410};
  Frame f;
  f.Bits = reinterpret_cast<const std::uint8_t*>(p16);
  f.Pitch = 8;
  f.Width = 4;
  f.Height = 1;
  f.BitCount = 16;
  ConvertFrame(f, RECT{0, 0, 4, 1}, target, 0, 0);
  EXPECT_EQ(Rgb(target.pixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(Rgb(target.pixel(1, 0)), 0x00FF00u);
  EXPECT_EQ(Rgb(target.pixel(2, 0)), 0x0000FFu);
  EXPECT_EQ(Rgb(target.pixel(3, 0)), 0x848284u);
  EXPECT_EQ(Rgb(target.pixel(0, 1)), 0x123456u) << "rows outside the frame are left alone";

  // 8 bits through the palette.
  PALETTEENTRY pal[256] = {};
  pal[7] = PALETTEENTRY{10, 20, 30, 0};
  const std::uint8_t p8[2] = {7, 0};
  f = Frame{};
  f.Bits = p8;
  f.Pitch = 4;
  f.Width = 2;
  f.Height = 1;
  f.BitCount = 8;
  f.Palette = pal;
  ConvertFrame(f, RECT{0, 0, 2, 1}, target, 0, 1);
  EXPECT_EQ(Rgb(target.pixel(0, 1)), 0x0A141Eu);
  EXPECT_EQ(Rgb(target.pixel(1, 1)), 0x000000u);

  // 24 and 32 bits are blue, green, red in memory.
  const std::uint8_t p24[6] = {1, 2, 3, 4, 5, 6};
  f = Frame{};
  f.Bits = p24;
  f.Pitch = 8;
  f.Width = 2;
  f.Height = 1;
  f.BitCount = 24;
  ConvertFrame(f, RECT{0, 0, 2, 1}, target, 2, 1);
  EXPECT_EQ(Rgb(target.pixel(2, 1)), 0x030201u);
  EXPECT_EQ(Rgb(target.pixel(3, 1)), 0x060504u);
  const std::uint8_t p32[8] = {9, 8, 7, 0, 1, 1, 1, 0};
  f.Bits = p32;
  f.BitCount = 32;
  // Placed partly outside the target: only the part inside is written, from the right source.
  ConvertFrame(f, RECT{0, 0, 2, 1}, target, -1, 0);
  EXPECT_EQ(Rgb(target.pixel(0, 0)), 0x010101u);
  EXPECT_EQ(Rgb(target.pixel(1, 0)), 0x00FF00u);
  ConvertFrame(f, RECT{0, 0, 2, 1}, target, 3, 0);
  EXPECT_EQ(Rgb(target.pixel(3, 0)), 0x070809u);

  // A gamma ramp is applied on the way.
  DDGAMMARAMP ramp{};
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<WORD>((255 - i) << 8);
  f.Gamma = &ramp;
  ConvertFrame(f, RECT{0, 0, 1, 1}, target, 0, 0);
  EXPECT_EQ(Rgb(target.pixel(0, 0)), 0xF8F7F6u);
}

// Every 5-6-5 value; and widths around the wide paths' 8 and 16 pixels, from sources that are and
// are not aligned, top-down and bottom-up, into a target window with untouched margins: each
// pixel must widen by repeating its channel's high bits, and nothing beside the area may change.
TEST(PresentConvert, SixteenBitRowsOfEveryWidthConvertEachPixelExactly) {
  const pixels::ColorMasks m565(0xF800, 0x07E0, 0x001F);
  constexpr int kRows = 3;
  std::uint32_t next = 1;
  for (int width = 1; width <= 70; ++width)
    for (int offset = 0; offset < 2; ++offset)
      for (int bottomUp = 0; bottomUp < 2; ++bottomUp) {
        // Scattered values with the extremes at the row ends, where a tail starts.
        const std::ptrdiff_t pitch = 2 * width + 6;
        std::vector<std::uint8_t> mem(static_cast<std::size_t>(pitch * kRows + offset));
        std::uint8_t* top = mem.data() + offset;
        for (int row = 0; row < kRows; ++row)
          for (int x = 0; x < width; ++x) {
            std::uint16_t v = static_cast<std::uint16_t>(next);
            next = next * 1103515245u + 12345u;
            if (x == 0) v = 0xFFFF;
            if (x == width - 1) v = row == 0 ? 0x0000 : 0x0821;  // the lowest bit of each channel
            pixels::Pixel<16>::Store(top + row * pitch, x, v);
          }
        Frame f;
        f.Width = static_cast<DWORD>(width);
        f.Height = kRows;
        f.BitCount = 16;
        if (bottomUp) {
          f.Bits = top + (kRows - 1) * pitch;  // row 0 of the frame is the last in memory
          f.Pitch = static_cast<LONG>(-pitch);
        } else {
          f.Bits = top;
          f.Pitch = static_cast<LONG>(pitch);
        }
        QImage target(width + 4, kRows + 2, QImage::Format_RGB32);
        target.fill(0xFF5A5A5A);
        ConvertFrame(f, RECT{0, 0, width, kRows}, target, 2, 1);
        for (int y = 0; y < target.height(); ++y)
          for (int x = 0; x < target.width(); ++x) {
            const bool inside = x >= 2 && x < width + 2 && y >= 1 && y < kRows + 1;
            std::uint32_t want = 0xFF5A5A5Au;
            if (inside) {
              const std::uint8_t* row = f.Bits + static_cast<std::ptrdiff_t>(y - 1) * f.Pitch;
              want = 0xFF000000u | m565.ToRgb(pixels::Pixel<16>::Load(row, x - 2));
            }
            ASSERT_EQ(target.pixel(x, y), want) << "width " << width << ", offset " << offset << ", bottom-up "
                                                << bottomUp << ", at " << x << "," << y;
          }
      }

  // All 65536 values in one frame of 256 x 256.
  std::vector<std::uint16_t> all(65536);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint16_t>(i);
  Frame whole;
  whole.Bits = reinterpret_cast<const std::uint8_t*>(all.data());
  whole.Pitch = 512;
  whole.Width = 256;
  whole.Height = 256;
  whole.BitCount = 16;
  QImage image(256, 256, QImage::Format_RGB32);
  ConvertFrame(whole, RECT{0, 0, 256, 256}, image, 0, 0);
  for (int v = 0; v < 65536; ++v)
    ASSERT_EQ(image.pixel(v % 256, v / 256), 0xFF000000u | m565.ToRgb(static_cast<std::uint32_t>(v))) << v;

  // The channels land where they belong, whatever the path.
  std::vector<std::uint16_t> row(33, 0x0821);
  row[31] = 0xF800;
  row[32] = 0x001F;
  Frame f;
  f.Bits = reinterpret_cast<const std::uint8_t*>(row.data());
  f.Pitch = 66;
  f.Width = 33;
  f.Height = 1;
  f.BitCount = 16;
  QImage target(33, 1, QImage::Format_RGB32);
  ConvertFrame(f, RECT{0, 0, 33, 1}, target, 0, 0);
  EXPECT_EQ(target.pixel(0, 0), 0xFF080408u);
  EXPECT_EQ(target.pixel(30, 0), 0xFF080408u);
  EXPECT_EQ(target.pixel(31, 0), 0xFFFF0000u);
  EXPECT_EQ(target.pixel(32, 0), 0xFF0000FFu);
}

// Part of a wide frame, starting at an odd column, into a target that cuts it.
TEST(PresentConvert, SixteenBitAreasStartAnywhereAndStopAtTheTarget) {
  std::vector<std::uint16_t> px(64 * 2);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<std::uint16_t>(i * 977);
  Frame f;
  f.Bits = reinterpret_cast<const std::uint8_t*>(px.data());
  f.Pitch = 128;
  f.Width = 64;
  f.Height = 2;
  f.BitCount = 16;
  QImage target(30, 2, QImage::Format_RGB32);
  target.fill(0xFF010203);
  ConvertFrame(f, RECT{3, 1, 60, 2}, target, 5, 0);
  for (int x = 0; x < 30; ++x) {
    const std::uint32_t want = x < 5 ? 0xFF010203u : 0xFF000000u | pixels::Rgb565ToRgb(px[64 + 3 + (x - 5)]);
    ASSERT_EQ(target.pixel(x, 0), want) << x;
    ASSERT_EQ(target.pixel(x, 1), 0xFF010203u) << x;
  }
}

class PresentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ResetAdapters();
    SetPresenter(&presenter_);
    static bool registered = false;
    if (!registered) {
      win::WNDCLASSA wc;
      wc.lpfnWndProc = win::DefWindowProcA;
      wc.lpszClassName = "PresentTestWindow";
      win::RegisterClassA(&wc);
      registered = true;
    }
  }
  void TearDown() override {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) (*it)->Release();
    held_.clear();
    if (child_) win::DestroyWindow(child_);
    if (top_) win::DestroyWindow(top_);
    SetPresenter(nullptr);
    ResetAdapters();
  }
  template <class T>
  T* Keep(T* p) {
    held_.push_back(p);
    return p;
  }
  IDirectDraw7* Open() {
    void* dd = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &dd, IID_IDirectDraw7, nullptr), DD_OK);
    return Keep(static_cast<IDirectDraw7*>(dd));
  }
  IDirectDrawSurface7* Make(IDirectDraw7* dd, DWORD flags, DWORD caps, DWORD w = 0, DWORD h = 0, DWORD backs = 0) {
    DDSURFACEDESC2 d;
    d.dwSize = sizeof(d);
    d.dwFlags = flags;
    d.dwWidth = w;
    d.dwHeight = h;
    d.dwBackBufferCount = backs;
    d.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
    return s ? Keep(s) : nullptr;
  }
  static void FillRect(IDirectDrawSurface7* s, RECT r, DWORD color) {
    DDBLTFX fx;
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = color;
    ASSERT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }
  void MakeWindows() {
    top_ = win::CreateWindowExA(0, "PresentTestWindow", "present", win::WS_POPUP, 100, 50, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
    child_ = win::CreateWindowExA(0, "PresentTestWindow", "", win::WS_CHILD | win::WS_VISIBLE, 20, 10, 100, 80,
                                  top_, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top_ && child_);
    win::ShowWindow(top_, win::SW_SHOW);
  }

  WindowPresenter presenter_;
  std::vector<IUnknown*> held_;
  HWND top_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(PresentTest, WindowedBlitThroughAClipperAppearsOnlyInThatWindowsVisiblePart) {
  MakeWindows();
  IDirectDraw7* dd = Open();
  ASSERT_EQ(dd->SetCooperativeLevel(child_, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface7* primary = Make(dd, DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  Keep(clipper);
  ASSERT_EQ(clipper->SetHWnd(0, child_), DD_OK);
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);

  // The desktop is 32 bits: left half red, right half blue, a bigger source than the window.
  IDirectDrawSurface7* back = Make(dd, DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 200, 160);
  FillRect(back, RECT{0, 0, 50, 160}, 0xFF0000);
  FillRect(back, RECT{50, 0, 200, 160}, 0x0000FF);

  win::POINT origin{0, 0};
  win::ClientToScreen(child_, &origin);
  EXPECT_EQ(origin.x, 120);
  EXPECT_EQ(origin.y, 60);
  RECT dest{origin.x, origin.y, origin.x + 200, origin.y + 160};
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  ASSERT_EQ(primary->Blt(&dest, back, nullptr, DDBLT_WAIT, &fx), DD_OK);

  const QImage shown = GrabWindow(top_);
  testsupport::SaveWidgetPng(win::WindowWidget(top_), "present_windowed.png");
  ASSERT_EQ(shown.width(), 300);
  EXPECT_EQ(Rgb(shown.pixel(20, 10)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(69, 89)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(70, 10)), 0x0000FFu);
  EXPECT_EQ(Rgb(shown.pixel(119, 89)), 0x0000FFu);
  // The blit was wider and taller than the window: nothing leaks around it.
  EXPECT_NE(Rgb(shown.pixel(120, 10)), 0x0000FFu);
  EXPECT_NE(Rgb(shown.pixel(20, 90)), 0xFF0000u);
  EXPECT_NE(Rgb(shown.pixel(19, 10)), 0xFF0000u);

  // Moved half out of its parent, the window shows only its visible part.
  win::SetWindowPos(child_, nullptr, 250, 150, 100, 80, win::SWP_NOZORDER);
  std::vector<RECT> rects;
  ASSERT_TRUE(presenter_.VisibleRects(child_, rects));
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], (RECT{350, 200, 400, 250}));
  win::ShowWindow(child_, win::SW_HIDE);
  ASSERT_TRUE(presenter_.VisibleRects(child_, rects));
  EXPECT_TRUE(rects.empty()) << "a hidden window shows nothing";
  EXPECT_FALSE(presenter_.VisibleRects(reinterpret_cast<HWND>(0x77), rects));
}

TEST_F(PresentTest, ExclusiveFullScreenShowsTheFrontBufferScaledAndGivesTheWindowBack) {
  MakeWindows();
  RECT before;
  win::GetWindowRect(top_, &before);
  IDirectDraw7* dd = Open();
  ASSERT_EQ(dd->SetCooperativeLevel(top_, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX), DD_OK);
  EXPECT_TRUE(win::IsFullScreenWindow(top_));
  EXPECT_EQ(presenter_.FullScreenWindow(), top_);
  // 1280 x 1024 is 5:4; the screen is wider, so black bars stand left and right.
  ASSERT_EQ(dd->SetDisplayMode(1280, 1024, 16, 0, 0), DD_OK);
  IDirectDrawSurface7* front =
      Make(dd, DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 0, 0, 1);
  ASSERT_NE(front, nullptr);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  IDirectDrawSurface7* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
  Keep(back);
  FillRect(back, RECT{0, 0, 1280, 512}, 0x07E0);     // green top
  FillRect(back, RECT{0, 512, 1280, 1024}, 0xF800);  // red bottom
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);

  const int sw = win::GetSystemMetrics(win::SM_CXSCREEN), sh = win::GetSystemMetrics(win::SM_CYSCREEN);
  const QImage shown = GrabWindow(top_);
  testsupport::SaveWidgetPng(win::WindowWidget(top_), "present_fullscreen.png");
  ASSERT_EQ(shown.width(), sw);
  ASSERT_EQ(shown.height(), sh);
  const double scale = std::min(sw / 1280.0, sh / 1024.0);
  const int w = static_cast<int>(1280 * scale + 0.5), h = static_cast<int>(1024 * scale + 0.5);
  const int x0 = (sw - w) / 2, y0 = (sh - h) / 2;
  EXPECT_EQ(Rgb(shown.pixel(x0 + 2, y0 + 2)), 0x00FF00u);
  EXPECT_EQ(Rgb(shown.pixel(x0 + w - 3, y0 + h / 2 - 3)), 0x00FF00u);
  EXPECT_EQ(Rgb(shown.pixel(x0 + 2, y0 + h / 2 + 3)), 0xFF0000u);
  EXPECT_EQ(Rgb(shown.pixel(x0 + w - 3, y0 + h - 3)), 0xFF0000u);
  if (x0 > 0) {
    EXPECT_EQ(Rgb(shown.pixel(x0 - 1, sh / 2)), 0u);
    EXPECT_EQ(Rgb(shown.pixel(x0 + w, sh / 2)), 0u);
  }

  // Presenting left the surfaces' own 16-bit pixels alone.
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  ASSERT_EQ(front->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<const std::uint16_t*>(d.lpSurface), 0x07E0);
  front->Unlock(nullptr);

  // Another application takes over: the display is lost and the window is an ordinary one.
  win::SimulateAppSwitch(nullptr);
  EXPECT_FALSE(win::IsFullScreenWindow(top_));
  EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
  win::SimulateAppSwitch(top_);
  EXPECT_TRUE(win::IsFullScreenWindow(top_));
  EXPECT_EQ(front->Restore(), DD_OK);
  EXPECT_EQ(front->IsLost(), DD_OK);

  // Leaving exclusive mode puts the window back where it was.
  ASSERT_EQ(dd->SetCooperativeLevel(top_, DDSCL_NORMAL), DD_OK);
  EXPECT_FALSE(win::IsFullScreenWindow(top_));
  EXPECT_EQ(presenter_.FullScreenWindow(), nullptr);
  RECT after;
  win::GetWindowRect(top_, &after);
  EXPECT_EQ(after, before);
}

}  // namespace
