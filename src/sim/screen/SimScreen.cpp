#include "sim/screen/SimScreen.h"

#include "hud/TQProgressHUD.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITableViewGroupedLayout.h"
#include "sim/settings/Simulator.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>
#include <unordered_map>

namespace {

// "%XX" escapes turned back into their bytes; a "%" without two hex digits stays as it is.
std::string percentDecoded(const std::string& text) {
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void walk(const std::shared_ptr<UIView>& v, const std::function<void(const std::shared_ptr<UIView>&)>& fn) {
    fn(v);
    for (const auto& s : v->subviews())
        walk(s, fn);
}

bool effectivelyVisible(const UIView& v) {
    for (const UIView* p = &v; p; p = p->superview().get())
        if (p->isHidden() || p->alpha() <= 0.01)
            return false;
    return true;
}

} // namespace

SimScreen::SimScreen(Simulator& simulator)
    : simulator_(simulator), renderer_(UIScreen::mainScreen()->scale()) {
    window_ = UIWindow::create(UIScreen::mainScreen()->bounds());
    update();
    resprings_ = simulator_.observeResprings([this] { showRespring(); });
    openedURLs_ = simulator_.observeOpenedURLs([this](const std::string& url) { showOpenedURL(url); });
}

SimScreen::~SimScreen() {
    frameSubscription_ = FrameSubscription();
}

void SimScreen::followRunLoopFrames() {
    auto loop = NSRunLoop::main();
    if (!loop)
        return;
    // Layout only catches up with what other work changed: a long wait with nothing moving on
    // screen need not lay the screen out on each of its frames.
    frameSubscription_ =
        loop->addFrameObserver([this](double) { update(); }, NSRunLoopCommonModes, FrameCadence::LatestFrame);
}

bool SimScreen::isRespringing() const {
    return cover_ && cover_->superview();
}

bool SimScreen::update() {
    bool changed = false;
    auto& app = simulator_.settings();
    auto nav = app.navigationController();
    if (nav != shownApp_.lock()) {
        shownApp_ = nav;
        window_->setRootViewController(nav);
        changed = true;
    }
    changed = window_->syncWithControllers() || changed;
    // Keep the device's own screens and the respring cover above the app.
    if (opened_ && opened_->superview())
        window_->bringSubviewToFront(opened_);
    if (cover_ && cover_->superview())
        window_->bringSubviewToFront(cover_);
    window_->layoutIfNeeded();
    return changed;
}

void SimScreen::showRespring() {
    // The app came back (or did not) after a respring: it is shown at once, under a black cover
    // that fades.
    update();
    if (cover_)
        cover_->removeFromSuperview();
    cover_ = UIView::create(window_->bounds());
    cover_->setBackgroundColor(UIColor::blackColor());
    window_->addSubview(cover_);
    std::weak_ptr<UIView> weak = cover_;
    UIView::animateWithDuration(
        0.3, kRespringDarkSeconds, UIViewAnimationOptionCurveEaseIn, [&] { cover_->setAlpha(0); },
        [weak](bool) {
            if (auto c = weak.lock())
                c->removeFromSuperview();
        });
    update();
}

std::shared_ptr<UIView> SimScreen::makeSheet(const std::string& title, const std::string& heading,
                                             const std::string& body) {
    CGRect b = window_->bounds();
    auto sheet = UIView::create(b);
    sheet->setBackgroundColor(UITableViewGroupedLayout::groupedBackgroundColor());
    auto bar = UIView::create(CGRectMake(0, 0, b.width(), 64));
    bar->setBackgroundColor(UIColor::barBackgroundColor().colorWithAlphaComponent(1));
    sheet->addSubview(bar);
    auto hair = UIView::create(CGRectMake(0, 63.5, b.width(), 0.5));
    hair->setBackgroundColor(UIColor::barHairlineColor());
    sheet->addSubview(hair);
    auto titleLabel = UILabel::create(CGRectMake(70, 20, b.width() - 140, 44));
    titleLabel->setText(title);
    titleLabel->setFont(UIFont::systemFontOfSize(17, UIFontWeightSemibold));
    titleLabel->setTextAlignment(NSTextAlignmentCenter);
    sheet->addSubview(titleLabel);
    auto done = UIButton::buttonWithType(UIButtonTypeCustom);
    done->setTitle("Done", UIControlStateNormal);
    UIColor tint = UIColor::systemBlueColor();
    done->setTitleColor(tint, UIControlStateNormal);
    done->setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
    done->titleLabel()->setFont(UIFont::systemFontOfSize(17, UIFontWeightSemibold));
    done->setFrame(CGRectMake(b.width() - 74, 20, 66, 44));
    done->addAction([this](UIControl&) { closeOpenedScreen(); }, UIControlEventTouchUpInside);
    sheet->addSubview(done);
    auto headingLabel = UILabel::create(CGRectMake(20, 100, b.width() - 40, 24));
    headingLabel->setText(heading);
    headingLabel->setFont(UIFont::systemFontOfSize(13));
    headingLabel->setTextColor(UITableViewGroupedLayout::secondaryTextColor());
    sheet->addSubview(headingLabel);
    auto bodyLabel = UILabel::create(CGRectMake(20, 128, b.width() - 40, 100));
    bodyLabel->setText(body);
    bodyLabel->setFont(UIFont::systemFontOfSize(20, UIFontWeightSemibold));
    bodyLabel->setNumberOfLines(0);
    CGSize s = bodyLabel->sizeThatFits(CGSizeMake(b.width() - 40, 0));
    bodyLabel->setFrame(CGRectMake(20, 128, b.width() - 40, s.height));
    sheet->addSubview(bodyLabel);
    return sheet;
}

void SimScreen::showOpenedURL(const std::string& url) {
    std::string scheme = lowercased(url.substr(0, url.find(':')));
    std::shared_ptr<UIView> sheet;
    if (scheme == "http" || scheme == "https") {
        openedKind_ = "browser";
        std::string host = url.substr(url.find("//") == std::string::npos ? 0 : url.find("//") + 2);
        host = host.substr(0, host.find('/'));
        sheet = makeSheet(host, "WEB PAGE", url);
    } else if (scheme == "sileo" || scheme == "cydia") {
        openedKind_ = "packageManager";
        std::string rest = url.substr(url.find(':') + 1);
        while (!rest.empty() && rest.front() == '/')
            rest.erase(0, 1);
        // The package as the package manager reads it: its escapes decoded.
        std::string package = percentDecoded(rest.rfind("package/", 0) == 0 ? rest.substr(8) : rest);
        sheet = makeSheet(scheme == "sileo" ? "Sileo" : "Cydia", "PACKAGE", package);
    } else {
        openedKind_ = "app";
        sheet = makeSheet(scheme, "OPENED", url);
    }
    openedAddress_ = url;
    if (opened_)
        opened_->removeFromSuperview();
    opened_ = sheet;
    CGRect b = window_->bounds();
    UIView::performWithoutAnimation([&] { sheet->setCenter(CGPointMake(b.midX(), b.midY() + b.height())); });
    window_->addSubview(sheet);
    UIView::animateWithDuration(UIWindow::kPresentDuration, 0, 1, 0, 0,
                                [&] { sheet->setCenter(CGPointMake(b.midX(), b.midY())); }, {});
}

void SimScreen::closeOpenedScreen() {
    if (!opened_)
        return;
    auto sheet = opened_;
    opened_.reset();
    openedKind_.reset();
    openedAddress_.clear();
    CGRect b = window_->bounds();
    UIView::animateWithDuration(
        UIWindow::kDismissDuration, 0, UIViewAnimationOptionCurveEaseIn,
        [&] { sheet->setCenter(CGPointMake(b.midX(), b.midY() + b.height())); },
        [sheet](bool) { sheet->removeFromSuperview(); });
}

bool SimScreen::needsRender() const {
    return UIView::displayGeneration() != renderedGeneration_ || window_->isAnimating() || renderedAnimating_;
}

const CGImageRef& SimScreen::render() {
    window_->layoutIfNeeded();
    renderedGeneration_ = UIView::displayGeneration();
    // One more frame after the last one that moved, so the end state is drawn.
    renderedAnimating_ = window_->isAnimating();
    return renderer_.renderFrame(*window_);
}

namespace {
// The parts of every progress HUD on the window, by view, named as the HUD names them.
std::unordered_map<const UIView*, std::string> hudParts(const std::shared_ptr<UIView>& root) {
    std::unordered_map<const UIView*, std::string> parts;
    walk(root, [&](const std::shared_ptr<UIView>& v) {
        auto hud = std::dynamic_pointer_cast<TQProgressHUD>(v);
        if (!hud)
            return;
        const std::pair<const UIView*, const char*> named[] = {
            {hud.get(), "hud"},
            {hud->backgroundView().get(), "backgroundView"},
            {hud->bezelView().get(), "bezelView"},
            {hud->indicator().get(), "indicator"},
            {hud->label().get(), "label"},
            {hud->detailsLabel().get(), "detailsLabel"},
            {hud->button().get(), "button"},
        };
        for (const auto& [view, name] : named)
            if (view)
                parts[view] = name;
    });
    return parts;
}
} // namespace

nlohmann::json SimScreen::viewsDump() {
    update();
    nlohmann::json views = nlohmann::json::array();
    auto parts = hudParts(window_);
    walk(window_, [&](const std::shared_ptr<UIView>& v) {
        CGRect f = v->convertRectToView(v->bounds(), nullptr);
        nlohmann::json entry = {
            {"class", v->className()},
            {"frame", {{"x", f.minX()}, {"y", f.minY()}, {"width", f.width()}, {"height", f.height()}}},
            {"alpha", v->alpha()},
            {"hidden", v->isHidden()},
        };
        std::string text = v->accessibilityText();
        entry["text"] = text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
        if (auto part = parts.find(v.get()); part != parts.end())
            entry["hudPart"] = part->second;
        if (!v->motionEffects().empty()) {
            CGPoint shift = UIMotionEffect::centerOffsetForView(*v);
            entry["motionOffset"] = {{"x", shift.x}, {"y", shift.y}};
        }
        views.push_back(std::move(entry));
    });
    return nlohmann::json{{"views", views}};
}

namespace {
std::shared_ptr<UITableViewCell> findRow(UIWindow& window, const std::string& title,
                                         std::shared_ptr<UITableViewContentView>& face) {
    std::shared_ptr<UITableViewCell> found;
    walk(std::static_pointer_cast<UIView>(window.shared_from_this()), [&](const std::shared_ptr<UIView>& v) {
        auto f = std::dynamic_pointer_cast<UITableViewContentView>(v);
        if (!f || !effectivelyVisible(*f) || !f->isUserInteractionEnabled())
            return;
        // A script names any row of the list, as a user scrolls to one: every row gets its cell.
        f->loadAllRows();
        for (const auto& [path, cell] : f->visibleRows()) {
            if (cell->text() == title) {
                found = cell;
                face = f;
            }
        }
    });
    return found;
}
} // namespace

bool SimScreen::scrollToRow(const std::string& title) {
    update();
    std::shared_ptr<UITableViewContentView> face;
    auto cell = findRow(*window_, title, face);
    if (!cell)
        return false;
    face->scrollRectToVisible(cell->frame(), false);
    return true;
}

std::optional<CGPoint> SimScreen::pointOfRow(const std::string& title) {
    update();
    std::shared_ptr<UITableViewContentView> face;
    if (auto cell = findRow(*window_, title, face))
        return cell->convertPointToView(CGPointMake(cell->bounds().midX(), cell->bounds().midY()), nullptr);
    return std::nullopt;
}

bool SimScreen::showsMotionEffects() {
    bool found = false;
    walk(window_, [&](const std::shared_ptr<UIView>& v) { found = found || !v->motionEffects().empty(); });
    return found;
}
