#include "platform/prefslibs/ColourPickers.h"

void ColourPickers::install() {}

bool ColourPickers::hasClass(std::string_view /*name*/) {
    return false;
}
