#include "platform/dispatch/Clock.h"

#include <chrono>

double RealClock::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
