#pragma once
// Rectangles and points as the framework uses them: (Left, Top, Right, Bottom), right and
// bottom exclusive.
#include "platform/base/Types.h"

namespace fw {

using TRect = win::RECT;
using TPoint = win::POINT;

constexpr TRect Rect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }
constexpr TRect Bounds(int Left, int Top, int Width, int Height) {
  return TRect{Left, Top, Left + Width, Top + Height};
}
constexpr TPoint Point(int X, int Y) { return TPoint{X, Y}; }
constexpr int RectWidth(const TRect& r) { return r.right - r.left; }
constexpr int RectHeight(const TRect& r) { return r.bottom - r.top; }

}  // namespace fw
