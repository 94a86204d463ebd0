#include "hud/TQIntrinsicSize.h"

CGSize TQIntrinsicContentSize(const UIView& view) {
    CGSize size = view.intrinsicContentSize();
    if (size.width < 0)
        size.width = TQNoIntrinsicMetric;
    if (size.height < 0)
        size.height = TQNoIntrinsicMetric;
    return size;
}
