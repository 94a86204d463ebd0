#include "platform/ui/UIScreen.h"

const std::shared_ptr<UIScreen>& UIScreen::mainScreen() {
    static const std::shared_ptr<UIScreen> screen(new UIScreen());
    return screen;
}
