#include "app/MainArith.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "framework/SysUtils.h"

namespace app {

namespace {
std::int32_t Wrap(std::int64_t v) {
  // Conversion of an out-of-range value to a signed type is modular since C++20.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}
}  // namespace

std::int32_t Mul32(std::int32_t a, std::int32_t b) {
  return Wrap(static_cast<std::int64_t>(a) * static_cast<std::int64_t>(b));
}
std::int32_t Add32(std::int32_t a, std::int32_t b) {
  return Wrap(static_cast<std::int64_t>(a) + static_cast<std::int64_t>(b));
}
std::int32_t Sub32(std::int32_t a, std::int32_t b) {
  return Wrap(static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b));
}

std::int32_t Div32(std::int32_t a, std::int32_t b) {
  if (b == 0) throw fw::EDivByZero(fw::msg::DivByZero);
  return Wrap(static_cast<std::int64_t>(a) / static_cast<std::int64_t>(b));
}

std::int32_t ImmersedDepth(std::int32_t w, std::int32_t h, std::int32_t rhoBody,
                           std::int32_t rhoLiquid) {
  std::int32_t a = Mul32(rhoBody, w);
  a = Mul32(a, h);
  const std::int32_t b = Mul32(w, rhoLiquid);
  return Div32(a, b);
}

std::int64_t Protrusion(std::int32_t h, std::int32_t rhoBody, std::int32_t rhoLiquid) {
  if (rhoLiquid == 0) throw fw::EZeroDivide("Floating point division by zero");
  const long double r = static_cast<long double>(rhoBody) / static_cast<long double>(rhoLiquid);
  const long double hf = static_cast<long double>(h);
  const long double p = hf - hf * r;
  // |h * r| stays below 2^62 for 32-bit inputs, so the rounded value always fits.
  const int mode = std::fegetround();
  if (mode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const long double rounded = std::nearbyintl(p);
  if (mode != FE_TONEAREST) std::fesetround(mode);
  return static_cast<std::int64_t>(rounded);
}

}  // namespace app
