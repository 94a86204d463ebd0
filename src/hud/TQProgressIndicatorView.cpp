#include "hud/TQProgressIndicatorView.h"

#include "platform/foundation/NSAssertionHandler.h"

void TQProgressIndicatorView::commonInit() {
    UIView::commonInit();
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

const SelectorTable* TQProgressIndicatorView::selectorTable() const {
    static const SelectorTable table({{"setProgress:", [](NSObject& self, std::span<const PlistValue> args) {
                                           double p = args.empty() ? 0 : args[0].doubleValue();
                                           static_cast<TQProgressIndicatorView&>(self).setProgress(
                                               static_cast<float>(p));
                                           return PlistValue();
                                       }}});
    return &table;
}

void TQProgressIndicatorView::setProgress(float progress) {
    if (progress == progress_)
        return;
    progress_ = progress;
    setNeedsDisplay();
}

void TQProgressIndicatorView::setRequiredColor(UIColor& slot, const std::optional<UIColor>& color) {
    NSAssert(color.has_value(), "The color should not be nil.");
    if (!color || *color == slot)
        return;
    slot = *color;
    setNeedsDisplay();
}
