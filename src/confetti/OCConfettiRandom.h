#pragma once

// The confetti's random draws as pure functions of the drawn 32-bit value, so their ranges and
// ends can be checked without a random source. OCConfettiArea feeds them arc4random().

#include <cstdint>

// a + (b - a) * r, with r the low 31 bits of `draw` over 2^31 - 1: both ends are reachable, and
// the bounds may come in either order.
double OCRandomFloatBetween(double a, double b, std::uint32_t draw);

// a + (draw mod (b - a)) with signed 64-bit truncating division: for a < b the result lies in
// [a, b), b itself never comes out. Equal bounds are handled by the caller, which answers b
// without drawing.
std::int64_t OCRandomIntegerFrom(std::int64_t a, std::int64_t b, std::uint32_t draw);
