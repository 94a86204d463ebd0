#pragma once

// The page a tap opens when what it would open or run is code the device does not have (a page
// class of the bundle's own, a cell's own tap, an action the list does not answer): one group
// whose footer says which class or method it is, so a user sees where the tap leads rather than
// nothing happening.
//
//     navigation->pushViewController(PSMissingCodeController::create("MYCreditsController"), true);

#include "platform/prefs/PSListController.h"

class PSMissingCodeController : public PSListController {
public:
    static std::shared_ptr<PSMissingCodeController> create(std::string missingClass);

    std::string className() const override { return "PSMissingCodeController"; }
    // The class or method the page stands for.
    const std::string& missingClass() const { return missingClass_; }
    // What the page says.
    std::string message() const;

    std::shared_ptr<const PSSpecifierList> specifiers() override;

private:
    explicit PSMissingCodeController(std::string missingClass) : missingClass_(std::move(missingClass)) {}
    std::string missingClass_;
};
