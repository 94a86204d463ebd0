#include "confetti/OCConfettiRandom.h"

double OCRandomFloatBetween(double a, double b, std::uint32_t draw) {
    double r = static_cast<double>(draw & 0x7FFFFFFFu) / 2147483647.0;
    return a + (b - a) * r;
}

std::int64_t OCRandomIntegerFrom(std::int64_t a, std::int64_t b, std::uint32_t draw) {
    std::int64_t d = b - a;
    if (d == 0)
        return b;
    return a + static_cast<std::int64_t>(draw) % d;
}
