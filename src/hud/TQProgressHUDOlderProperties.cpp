// The older property interface: label and details texts, fonts and colours, the bezel's colour,
// corner radius and opacity, offsets and the dimmed background, each a facade over the views and
// properties of the current interface, settable only on the main thread.

#include "hud/TQProgressHUD.h"

#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/layers/CALayer.h"

// MARK: - Older property interface

std::string TQProgressHUD::labelText() const {
    return label_->text();
}
void TQProgressHUD::setLabelText(const std::string& text) {
    if (checkMainThread())
        label_->setText(text);
}
UIFont TQProgressHUD::labelFont() const {
    return label_->font();
}
void TQProgressHUD::setLabelFont(const UIFont& font) {
    if (checkMainThread())
        label_->setFont(font);
}
UIColor TQProgressHUD::labelColor() const {
    return label_->textColor();
}
void TQProgressHUD::setLabelColor(std::optional<UIColor> color) {
    if (checkMainThread())
        label_->setTextColor(color);
}
std::string TQProgressHUD::detailsLabelText() const {
    return detailsLabel_->text();
}
void TQProgressHUD::setDetailsLabelText(const std::string& text) {
    if (checkMainThread())
        detailsLabel_->setText(text);
}
UIFont TQProgressHUD::detailsLabelFont() const {
    return detailsLabel_->font();
}
void TQProgressHUD::setDetailsLabelFont(const UIFont& font) {
    if (checkMainThread())
        detailsLabel_->setFont(font);
}
UIColor TQProgressHUD::detailsLabelColor() const {
    return detailsLabel_->textColor();
}
void TQProgressHUD::setDetailsLabelColor(std::optional<UIColor> color) {
    if (checkMainThread())
        detailsLabel_->setTextColor(color);
}
void TQProgressHUD::setOpacity(double opacity) {
    if (checkMainThread())
        opacity_ = opacity;
}
UIColor TQProgressHUD::color() const {
    return bezelView_->color();
}
void TQProgressHUD::setColor(std::optional<UIColor> color) {
    if (checkMainThread())
        bezelView_->setColor(color);
}
void TQProgressHUD::setXOffset(double x) {
    if (checkMainThread())
        setOffset(CGPointMake(x, offset_.y));
}
void TQProgressHUD::setYOffset(double y) {
    if (checkMainThread())
        setOffset(CGPointMake(offset_.x, y));
}
double TQProgressHUD::cornerRadius() const {
    return bezelView_->layer()->cornerRadius();
}
void TQProgressHUD::setCornerRadius(double radius) {
    if (checkMainThread())
        bezelView_->layer()->setCornerRadius(radius);
}

bool TQProgressHUD::dimBackground() const {
    return backgroundView_->style() == TQBackgroundStyleFlat &&
           backgroundView_->color() == UIColor::colorWithWhite(0, static_cast<double>(0.2f));
}

void TQProgressHUD::setDimBackground(bool dim) {
    if (!checkMainThread())
        return;
    backgroundView_->setStyle(TQBackgroundStyleFlat);
    backgroundView_->setColor(dim ? UIColor::colorWithWhite(0, static_cast<double>(0.2f))
                                  : UIColor::clearColor());
}

void TQProgressHUD::setActivityIndicatorColor(std::optional<UIColor> color) {
    if (color == activityIndicatorColor_)
        return;
    activityIndicatorColor_ = color;
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_))
        spinner->setColor(color);
}
