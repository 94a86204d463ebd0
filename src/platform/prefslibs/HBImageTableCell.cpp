#include "platform/prefslibs/HBImageTableCell.h"

#include "platform/prefslibs/HBCellViews.h"
#include "platform/prefslibs/HBRowValues.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UIImageView.h"

#include <algorithm>
#include <cmath>

namespace {

std::shared_ptr<UIImageView> fittedImage(const std::shared_ptr<UIImage>& image) {
    auto view = UIImageView::create();
    view->setImage(image);
    view->setContentMode(UIViewContentModeScaleAspectFit);
    view->setBackgroundColor(UIColor::clearColor());
    return view;
}

} // namespace

std::shared_ptr<UITableViewCell> HBImageTableCell::cellForSpecifier(PSListController& /*list*/,
                                                                    const std::shared_ptr<PSSpecifier>& row,
                                                                    const PlistValue& /*value*/) const {
    auto cell = HBTableCell::create(UITableViewCellStyleDefault, "HBImageTableCell");
    if (auto image = row->propertyForKey("iconImage").objectAs<UIImage>())
        cell->setFaceView(fittedImage(image));
    return cell;
}

std::shared_ptr<UIView> HBImageTableCell::headerView(PSListController& /*list*/,
                                                     const std::shared_ptr<PSSpecifier>& group,
                                                     CGFloat width) const {
    auto image = group->propertyForKey("iconImage").objectAs<UIImage>();
    if (!image || image->size().width <= 0)
        return nullptr;
    // A very tall image is held to a few screens, as rows are.
    CGFloat height = std::min<CGFloat>(std::round(width * image->size().height / image->size().width), 2000);
    auto view = fittedImage(image);
    view->setFrame(CGRectMake(0, 0, width, height));
    return view;
}
