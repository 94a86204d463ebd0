#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSAssertionHandler.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Each test runs on a device environment of its own: whatever it sets (a device root, a language,
// a handler, a registered class) is gone when it ends, passed or failed, and nothing of an earlier
// test is seen. The environment starts before the fixture is made and ends after it is destroyed.
class FreshDevicePerTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        scope_ = std::make_unique<DeviceEnvironment::Scope>();
    }
    void OnTestEnd(const testing::TestInfo&) override { scope_.reset(); }
    std::unique_ptr<DeviceEnvironment::Scope> scope_;
};

} // namespace

// Every test program: assertion failures throw AssertionFailure instead of aborting, so a test
// can assert on the message.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    NSAssertionHandler::setHook([](const std::string& message) { throw AssertionFailure(message); });
    testing::UnitTest::GetInstance()->listeners().Append(new FreshDevicePerTest);
    return RUN_ALL_TESTS();
}
