#pragma once
// What tests and benchmarks reach inside the window presenter for: the presenter installed for
// the process, and how many frames it converted for the screen in how much time. Not for
// programs: no public header includes this one.
#include <cstdint>

#include "platform/ddraw/DDrawPresent.h"

namespace ddraw {

// The window presenter EnsureWindowPresenter (or the first DirectDraw object) installed; null
// before that.
WindowPresenter* InstalledWindowPresenter();

struct WindowPresenterTesting {
  // Frames converted for the screen so far, and the time spent converting them.
  static std::uint64_t ConvertedFrames(const WindowPresenter& Presenter) { return Presenter.converted_frames_; }
  static std::uint64_t ConversionNanoseconds(const WindowPresenter& Presenter) { return Presenter.conversion_ns_; }
};

}  // namespace ddraw
