#include "platform/foundation/NSAssertionHandler.h"

#include "platform/foundation/NSLog.h"

#include <cstdlib>
#include <mutex>

namespace {
std::mutex hookMutex;
NSAssertionHandler::Hook& currentHook() {
    static NSAssertionHandler::Hook hook;
    return hook;
}
} // namespace

NSAssertionHandler::Hook NSAssertionHandler::setHook(Hook hook) {
    std::lock_guard lock(hookMutex);
    Hook previous = std::move(currentHook());
    currentHook() = std::move(hook);
    return previous;
}

void NSAssertionHandler::fail(const std::string& message) {
    Hook hook;
    {
        std::lock_guard lock(hookMutex);
        hook = currentHook();
    }
    if (hook) {
        hook(message);
        return;
    }
    NSLog("*** Assertion failure: %@", {PlistValue(message)});
    std::abort();
}
