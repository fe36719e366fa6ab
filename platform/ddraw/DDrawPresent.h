#pragma once
// Showing DirectDraw's primary surface in the windows of the window system.
//
// Windowed, the primary surface is the desktop: a blit into it through a clipper bound to a
// window lands in that window, cut to the window's visible part. In exclusive full screen the
// cooperative window becomes a borderless window over the whole screen that shows the flip
// chain's front buffer, scaled to the screen with its aspect ratio kept; leaving exclusive mode
// (or losing it to another application) puts the window back as it was.
//
// Pixels stay in the display mode's format on the surfaces; they are turned into the screen's
// 32-bit RGB only here, once, on the way to the window. Presenting never writes to a surface.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ddraw/DDraw.h"

class QImage;

namespace ddraw {

// Converts `area` of the frame (clipped to the frame) into 0xFFRRGGBB pixels of `target`,
// placing the top-left of `area` at (x, y) of `target` (clipped to the target). 8-bit frames go
// through their palette (black without one); a gamma ramp is applied when the frame has one.
void ConvertFrame(const Frame& frame, const RECT& area, QImage& target, int x, int y);

class WindowPresenter final : public Presenter {
 public:
  WindowPresenter();
  ~WindowPresenter() override;
  WindowPresenter(const WindowPresenter&) = delete;
  WindowPresenter& operator=(const WindowPresenter&) = delete;

  void Present(const Frame& frame) override;
  void DisplayModeChanged(const DisplayMode& mode, bool exclusive, HWND window) override;
  bool VisibleRects(HWND window, std::vector<RECT>& rects) override;
  // The rate of the screen that shows the full-screen window (or of the primary screen).
  double ScreenRefreshRate() override;

  // The window shown full screen for an exclusive DirectDraw object, or null.
  HWND FullScreenWindow() const;

 private:
  friend struct WindowPresenterTesting;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::uint64_t converted_frames_ = 0;
  std::uint64_t conversion_ns_ = 0;
};

// The window presenter of the process is made and installed the first time a DirectDraw object
// is created while the window system runs (nothing is shown without one). This installs it now if
// the window system runs and no presenter was ever installed.
void EnsureWindowPresenter();

// What the window's client area shows now, windows inside it and presented frames included.
QImage GrabWindow(HWND window);

}  // namespace ddraw
