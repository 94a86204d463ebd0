#include "platform/prefslibs/ApplicationLists.h"

void ApplicationLists::install() {}

bool ApplicationLists::hasClass(std::string_view /*name*/) {
    return false;
}
