#include "platform/ui/UIScreen.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIGraphics.h"

namespace {

// UIScreen is made only as a device's main screen; a subclass reaches its protected constructor.
struct DeviceMainScreen final : UIScreen {};

// Each device environment has a screen of its own, so a size or scale that one simulated device
// sets is gone with it.
struct MainScreen : DeviceEnvironment::Part {
    const std::shared_ptr<UIScreen> screen = std::make_shared<DeviceMainScreen>();
};

} // namespace

const std::shared_ptr<UIScreen>& UIScreen::mainScreen() {
    return DeviceEnvironment::current().part<MainScreen>().screen;
}

void UIScreen::setScale(CGFloat scale) {
    scale_ = scale;
    UIGraphicsSetScreenScale(scale);
}
