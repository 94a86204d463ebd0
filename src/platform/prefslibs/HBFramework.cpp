#include "platform/prefslibs/HBFramework.h"

void HBFramework::install() {}

bool HBFramework::hasClass(std::string_view /*name*/) {
    return false;
}
