#pragma once

// The HB framework's image row (HBImageTableCell): the bundle's image "icon", aspect-fitted over a
// clear ground, with no text. As a row it is as high as its "height"; as a group's
// "headerCellClass" it spans the table and is as high as the width times the image's aspect.
// A tap does nothing.

#include "platform/prefs/PSCellClass.h"

class HBImageTableCell : public PSCellClass {
public:
    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    bool tap(PSListController&, const std::shared_ptr<PSSpecifier>&) const override { return true; }
    std::shared_ptr<UIView> headerView(PSListController& list, const std::shared_ptr<PSSpecifier>& group,
                                       CGFloat width) const override;
};
