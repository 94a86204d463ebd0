#pragma once

// AltList's page of per-app pages (ATLApplicationListSubcontrollerController, also known to
// bundles as ALApplicationListSubcontrollerController): every installed app as a row with a
// chevron; a tap pushes a controller of the parent row's "subcontrollerClass", titled with the
// app's name, whose specifier is the app's row (its "applicationIdentifier" says which app). The
// page stores nothing. A class the device does not have opens the page that names it
// (PSMissingCodeController); a parent row without "subcontrollerClass" has rows that open nothing.
//
//     { cell = PSLinkCell; label = "Per App"; detail = ATLApplicationListSubcontrollerController;
//       subcontrollerClass = MYAppSettingsController; }

#include "platform/prefslibs/ATLApplicationListController.h"

class ATLApplicationListSubcontrollerController : public ATLApplicationListController {
public:
    static std::shared_ptr<ATLApplicationListSubcontrollerController> create();
    std::string className() const override { return "ATLApplicationListSubcontrollerController"; }

protected:
    ATLApplicationListSubcontrollerController() = default;

    PSCellType applicationCellType() const override { return PSLinkCell; }
    bool storesValues() const override { return false; }
    std::string applicationDetailClass() const override;
};
