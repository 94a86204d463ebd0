#include "platform/prefs/PSMissingCodeController.h"

#include "platform/prefs/PSControllerClasses.h"

std::shared_ptr<PSMissingCodeController> PSMissingCodeController::create(std::string missingClass) {
    return std::shared_ptr<PSMissingCodeController>(new PSMissingCodeController(std::move(missingClass)));
}

std::string PSMissingCodeController::message() const {
    if (PSControllerClasses::isFrameworkShellClass(missingClass_))
        return missingClass_ +
               " would open here, showing a page that code of the tweak's bundle makes, which this device "
               "does not have.";
    return missingClass_ +
           " would open here. It is code of the tweak's bundle, which this device does not have.";
}

std::shared_ptr<const PSSpecifierList> PSMissingCodeController::specifiers() {
    if (_specifiers)
        return _specifiers;
    auto list = std::make_shared<PSSpecifierList>();
    auto group = PSSpecifier::preferenceSpecifierNamed("", shared_from_this(), {}, {}, {}, PSGroupCell, {});
    group->setProperty(PlistValue(message()), "footerText");
    group->setProperty(PlistValue(missingClass_), "missingClass");
    list->push_back(std::move(group));
    _specifiers = std::move(list);
    return _specifiers;
}
