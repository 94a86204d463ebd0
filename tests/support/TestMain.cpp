#include "platform/foundation/NSAssertionHandler.h"

#include <gtest/gtest.h>

// Every test program: assertion failures throw AssertionFailure instead of aborting, so a test
// can assert on the message.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    NSAssertionHandler::setHook([](const std::string& message) { throw AssertionFailure(message); });
    return RUN_ALL_TESTS();
}
