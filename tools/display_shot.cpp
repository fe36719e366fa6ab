// Puts a display on a real form, draws a known pattern on its back surface, presents it, and
// saves what the window shows as PNG: windowed, and in exclusive full screen at 800 x 600 x 16.
// The saved pixels are checked against the pattern; the exit code says whether they matched.
//
//   display_shot [output directory]
//
// Runs on any Qt platform: offscreen, or a real X server (xvfb-run).
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <string>

#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/Forms.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace {

struct Quadrants {
  win::DWORD TopLeft, TopRight, BottomLeft, BottomRight;  // in the surface's format
  std::uint32_t Rgb[4];                                   // as the screen shows them
};

void FillRect(dx::TDirectDrawSurface* s, win::RECT r, win::DWORD color) {
  ddraw::DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = color;
  s->ISurface()->Blt(&r, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx);
}

void DrawPattern(dx::TCustomDXDraw& d, const Quadrants& q) {
  dx::TDirectDrawSurface* s = d.Surface();
  const win::LONG w = s->Width(), h = s->Height();
  s->Fill(0);
  FillRect(s, win::RECT{0, 0, w / 2, h / 2}, q.TopLeft);
  FillRect(s, win::RECT{w / 2, 0, w, h / 2}, q.TopRight);
  FillRect(s, win::RECT{0, h / 2, w / 2, h}, q.BottomLeft);
  FillRect(s, win::RECT{w / 2, h / 2, w, h}, q.BottomRight);
}

// Checks the four quadrants of `area` in the picture, a few pixels inside each corner.
int Check(const QImage& shown, const QRect& area, const Quadrants& q, const char* what) {
  int bad = 0;
  const int l = area.left() + 3, r = area.right() - 3, t = area.top() + 3, b = area.bottom() - 3;
  const int cx = area.left() + area.width() / 2, cy = area.top() + area.height() / 2;
  const struct {
    int x, y;
    std::uint32_t rgb;
  } probes[] = {{l, t, q.Rgb[0]},          {cx - 3, cy - 3, q.Rgb[0]}, {r, t, q.Rgb[1]}, {cx + 3, cy - 3, q.Rgb[1]},
                {l, b, q.Rgb[2]},          {cx - 3, cy + 3, q.Rgb[2]}, {r, b, q.Rgb[3]}, {cx + 3, cy + 3, q.Rgb[3]}};
  for (const auto& p : probes) {
    const std::uint32_t got = shown.pixel(p.x, p.y) & 0xFFFFFFu;
    if (got != p.rgb) {
      std::fprintf(stderr, "%s: pixel (%d, %d) is %06X, the pattern has %06X\n", what, p.x, p.y, got, p.rgb);
      ++bad;
    }
  }
  return bad;
}

bool Save(const QImage& image, const std::string& path) {
  const bool ok = image.save(QString::fromStdString(path), "PNG");
  std::printf("%s %s (%d x %d)\n", ok ? "saved" : "could not save", path.c_str(), image.width(), image.height());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : ".";
  fw::InitApplication();
  int bad = 0;

  auto form = fw::MakeOwned<fw::TForm>(nullptr);
  form->SetCaption("display_shot");
  form->SetBounds(40, 30, 700, 640);
  form->SetClientSize(640, 572);
  auto* draw = fw::MakeComponent<dx::TDXDraw>(form.get());
  draw->SetAutoInitialize(false);
  draw->SetParent(form.get());
  draw->SetAutoSize(false);
  draw->SetBounds(0, 0, 640, 572);
  draw->SetSurfaceSize(640, 480);
  form->Show();

  // Windowed: a 640 x 480 surface centred in a 640 x 572 control, on the desktop's format.
  draw->Initialize();
  if (!draw->CanDraw()) {
    std::fprintf(stderr, "windowed display cannot draw\n");
    return 2;
  }
  const Quadrants desktop32{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}};
  DrawPattern(*draw, desktop32);
  draw->Flip();
  fw::Application->ProcessMessages();
  QImage shown = ddraw::GrabWindow(form->Handle());
  Save(shown, dir + "/display_windowed.png");
  bad += Check(shown, QRect(0, 46, 640, 480), desktop32, "windowed");
  draw->Finalize();

  // Exclusive full screen at 800 x 600 x 16 with page flipping, as the sprite model asks.
  draw->SetOptions(dx::TDXDrawOptions{dx::doFullScreen, dx::doAllowReboot, dx::doWaitVBlank, dx::doCenter, dx::doFlip});
  draw->Display()->SetWidth(800);
  draw->Display()->SetHeight(600);
  draw->Display()->SetBitCount(16);
  draw->Initialize();
  if (!draw->CanDraw() || draw->Surface()->BitCount() != 16) {
    std::fprintf(stderr, "full-screen display cannot draw\n");
    return 2;
  }
  const Quadrants mode16{0xF800, 0x07E0, 0x001F, 0xFFFF, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  for (int frame = 0; frame < 2; ++frame) {  // both buffers of the chain hold the pattern
    DrawPattern(*draw, mode16);
    draw->Flip();
  }
  fw::Application->ProcessMessages();
  shown = ddraw::GrabWindow(form->Handle());
  Save(shown, dir + "/display_fullscreen_800x600x16.png");
  const int sw = shown.width(), sh = shown.height();
  const double scale = std::min(sw / 800.0, sh / 600.0);
  const int w = static_cast<int>(800 * scale + 0.5), h = static_cast<int>(600 * scale + 0.5);
  std::printf("screen %d x %d, the 800 x 600 frame shown at %d x %d\n", sw, sh, w, h);
  bad += Check(shown, QRect((sw - w) / 2, (sh - h) / 2, w, h), mode16, "full screen");
  if (!win::IsFullScreenWindow(form->Handle())) {
    std::fprintf(stderr, "the form is not full screen\n");
    ++bad;
  }
  draw->Finalize();
  if (win::IsFullScreenWindow(form->Handle())) {
    std::fprintf(stderr, "the form stayed full screen\n");
    ++bad;
  }
  std::printf(bad ? "MISMATCH\n" : "pictures match the pattern\n");
  form.reset();
  return bad ? 1 : 0;
}
