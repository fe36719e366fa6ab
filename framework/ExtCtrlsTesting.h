#pragma once
// What tests reach inside the framework's extra controls for. Not for programs: no public
// header includes this one.
#include <cstdint>
#include <vector>

#include "framework/ExtCtrls.h"

namespace fw {

struct TImageTesting {
  // The image control's pixels as it paints them (0x00RRGGBB, rows top first).
  static std::vector<std::uint32_t> RenderPixels(TImage& Image) { return Image.RenderPixels(); }
};

}  // namespace fw
