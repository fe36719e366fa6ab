#pragma once
// The model's integer and floating-point arithmetic. Products and sums are 32-bit signed and
// wrap around like the machine's registers do; division truncates toward zero.
#include <cstdint>

namespace app {

// a * b, a + b, a - b modulo 2^32, as signed 32-bit values.
std::int32_t Mul32(std::int32_t a, std::int32_t b);
std::int32_t Add32(std::int32_t a, std::int32_t b);
std::int32_t Sub32(std::int32_t a, std::int32_t b);
// a div b, truncating toward zero. b = 0 raises fw::EDivByZero ("Division by zero");
// the one quotient that does not fit (-2^31 div -1) wraps to -2^31.
std::int32_t Div32(std::int32_t a, std::int32_t b);

// Immersed depth of a floating body in pixels: (rhoBody * w * h) div (w * rhoLiquid), the
// products formed in that order.
std::int32_t ImmersedDepth(std::int32_t w, std::int32_t h, std::int32_t rhoBody,
                           std::int32_t rhoLiquid);

// How far a floating body stands out above the surface: h - h * (rhoBody / rhoLiquid) in
// extended precision, rounded to nearest with an exact half going to the even neighbour.
// rhoLiquid must not be zero.
std::int64_t Protrusion(std::int32_t h, std::int32_t rhoBody, std::int32_t rhoLiquid);

}  // namespace app
