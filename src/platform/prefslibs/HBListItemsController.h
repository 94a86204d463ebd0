#pragma once

// The HB framework's choice page (HBListItemsController), which bundles name as the "detail" of a
// link list row: the framework keeps it for old bundles, and it behaves exactly as the stock
// choice page.

#include "platform/prefs/PSListItemsController.h"

class HBListItemsController : public PSListItemsController {
public:
    static std::shared_ptr<HBListItemsController> create() {
        return std::shared_ptr<HBListItemsController>(new HBListItemsController());
    }

    std::string className() const override { return "HBListItemsController"; }

protected:
    HBListItemsController() = default;
};
