#pragma once

// The one hook through which caller errors that the system reports as assertion failures pass
// (a null view, a null colour, a call off the main thread). By default the message is logged and
// the process aborts; tests install a hook that throws and assert on the message.
//
//     NSAssertionHandler::setHook([](const std::string& m) { throw AssertionFailure(m); });

#include <functional>
#include <stdexcept>
#include <string>

class AssertionFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class NSAssertionHandler {
public:
    using Hook = std::function<void(const std::string& message)>;
    // Installs a hook and returns the previous one; an empty hook restores the default.
    static Hook setHook(Hook hook);
    // Reports a failed assertion. Returns only when the installed hook returns.
    static void fail(const std::string& message);
};

// Reports `message` through the hook when `condition` is false.
#define NSAssert(condition, message)                                                                         \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            NSAssertionHandler::fail(message);                                                               \
    } while (0)
