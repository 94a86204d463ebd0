#include "platform/prefslibs/ATLApplicationListSubcontrollerController.h"

#include "platform/foundation/NSLog.h"

std::shared_ptr<ATLApplicationListSubcontrollerController>
ATLApplicationListSubcontrollerController::create() {
    return std::shared_ptr<ATLApplicationListSubcontrollerController>(
        new ATLApplicationListSubcontrollerController());
}

std::string ATLApplicationListSubcontrollerController::applicationDetailClass() const {
    PlistValue name = specifier() ? specifier()->propertyForKey("subcontrollerClass") : PlistValue();
    if (name.isString() && !name.stringValue().empty())
        return name.stringValue();
    NSLog("AltList: %@ names no subcontrollerClass; its apps open nothing",
          {PlistValue(specifier() ? specifier()->name() : std::string())});
    return {};
}
