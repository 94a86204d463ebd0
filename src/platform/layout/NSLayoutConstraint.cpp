#include "platform/layout/NSLayoutConstraint.h"

#include "platform/foundation/NSLog.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/layout/VisualFormatParser.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <tuple>

std::uint64_t NSLayoutConstraint::changeCount() {
    return NSLayoutEngine::shared().changeCount();
}

std::shared_ptr<NSLayoutConstraint>
NSLayoutConstraint::constraintWithItem(const std::shared_ptr<UIView>& item1, NSLayoutAttribute attribute1,
                                       NSLayoutRelation relation, const std::shared_ptr<UIView>& item2,
                                       NSLayoutAttribute attribute2, double multiplier, double constant) {
    auto c = std::shared_ptr<NSLayoutConstraint>(new NSLayoutConstraint());
    c->firstItem_ = item1;
    c->firstAttribute_ = attribute1;
    c->relation_ = relation;
    c->secondItem_ = item2;
    c->secondAttribute_ = item2 ? attribute2 : NSLayoutAttributeNotAnAttribute;
    c->multiplier_ = multiplier;
    c->constant_ = constant;
    return c;
}

namespace {

const char* attributeName(NSLayoutAttribute a) {
    switch (a) {
    case NSLayoutAttributeLeft:
        return "left";
    case NSLayoutAttributeRight:
        return "right";
    case NSLayoutAttributeTop:
        return "top";
    case NSLayoutAttributeBottom:
        return "bottom";
    case NSLayoutAttributeLeading:
        return "leading";
    case NSLayoutAttributeTrailing:
        return "trailing";
    case NSLayoutAttributeWidth:
        return "width";
    case NSLayoutAttributeHeight:
        return "height";
    case NSLayoutAttributeCenterX:
        return "centerX";
    case NSLayoutAttributeCenterY:
        return "centerY";
    case NSLayoutAttributeLastBaseline:
        return "lastBaseline";
    case NSLayoutAttributeFirstBaseline:
        return "firstBaseline";
    default:
        return "none";
    }
}

std::string viewName(const std::shared_ptr<UIView>& v) {
    if (!v)
        return "(null)";
    char buf[64];
    std::snprintf(buf, sizeof buf, ":%p", static_cast<const void*>(v.get()));
    return v->className() + buf;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

std::string NSLayoutConstraint::description() const {
    char self[32];
    std::snprintf(self, sizeof self, "%p", static_cast<const void*>(this));
    std::string text = "<NSLayoutConstraint:" + std::string(self) + " " + viewName(firstItem()) + "." +
                       attributeName(firstAttribute_) + " " +
                       (relation_ == NSLayoutRelationEqual             ? "=="
                        : relation_ == NSLayoutRelationLessThanOrEqual ? "<="
                                                                       : ">=") +
                       " ";
    auto second = secondItem();
    if (second && secondAttribute_ != NSLayoutAttributeNotAnAttribute) {
        if (multiplier_ != 1)
            text += number(multiplier_) + "*";
        text += viewName(second) + "." + attributeName(secondAttribute_);
        if (constant_ != 0)
            text += (constant_ < 0 ? " - " : " + ") + number(std::abs(constant_));
    } else {
        text += number(constant_);
    }
    if (priority_ < UILayoutPriorityRequired)
        text += " @" + number(priority_);
    return text + ">";
}

namespace {
// The next layout pass of the constraint's system must look at it again.
void noteChange(const NSLayoutConstraint& c) {
    NSLayoutEngine::shared().noteConstraintChanged();
    if (auto host = c.installedOn()) {
        if (UIView* root = NSLayoutEngine::layoutRoot(*host))
            root->setNeedsLayout();
    }
}
} // namespace

void NSLayoutConstraint::setConstant(double constant) {
    if (constant_ == constant)
        return;
    constant_ = constant;
    noteChange(*this);
}

void NSLayoutConstraint::setPriority(UILayoutPriority priority) {
    if (priority_ == priority)
        return;
    priority_ = priority;
    noteChange(*this);
}

void NSLayoutConstraint::setActive(bool active) {
    if (active == isActive())
        return;
    auto self = std::static_pointer_cast<NSLayoutConstraint>(shared_from_this());
    if (!active) {
        if (auto host = installedOn())
            host->removeConstraint(self);
        return;
    }
    auto first = firstItem();
    auto second = secondItem();
    std::shared_ptr<UIView> host;
    if (first && second) {
        // The closest common ancestor of the two items.
        for (auto a = first; a && !host; a = a->superview()) {
            if (second.get() == a.get() || second->isDescendantOfView(a.get()))
                host = a;
        }
    } else {
        host = first ? first : second;
    }
    if (!host) {
        NSLog("Unable to activate constraint %@: its items have no common ancestor", {description()});
        return;
    }
    host->addConstraint(self);
}

void NSLayoutConstraint::activateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (auto& c : constraints) {
        if (c)
            c->setActive(true);
    }
}

void NSLayoutConstraint::deactivateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (auto& c : constraints) {
        if (c)
            c->setActive(false);
    }
}

namespace {

// Views that rebuild their constraints in every constraint pass parse the same few formats with
// the same metrics and names again and again. A parse depends on nothing else, so the results
// are kept, a bounded number of them, by everything that decides them.
//
// The cache is the process's, not a device environment's: it is a memo of a pure function of
// values it keeps as its key (no view, no device setting enters a parse), so one device can never
// see another's state through it, only the same answer it would have computed itself.
class VisualFormatCache {
public:
    VisualFormatParse parse(const std::string& format, std::uint64_t options, const NSLayoutMetrics& metrics,
                            std::set<std::string> names) {
        Key key{format, options, metrics, std::move(names)};
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = parses_.find(key);
        if (it != parses_.end())
            return it->second;
        VisualFormatParse parse = parseVisualFormat(format, options, metrics, std::get<3>(key));
        if (parses_.size() >= kCapacity)
            parses_.clear();
        parses_.emplace(std::move(key), parse);
        return parse;
    }

private:
    using Key = std::tuple<std::string, std::uint64_t, NSLayoutMetrics, std::set<std::string>>;
    static constexpr std::size_t kCapacity = 256;
    std::mutex mutex_;
    std::map<Key, VisualFormatParse> parses_;
};

VisualFormatCache& visualFormatCache() {
    static VisualFormatCache cache;
    return cache;
}

} // namespace

std::vector<std::shared_ptr<NSLayoutConstraint>>
NSLayoutConstraint::constraintsWithVisualFormat(const std::string& format, std::uint64_t options,
                                                const NSLayoutMetrics& metrics, const NSLayoutViews& views,
                                                std::string* error) {
    std::set<std::string> names;
    for (auto& [name, view] : views) {
        if (view)
            names.insert(name);
    }
    VisualFormatParse parse = visualFormatCache().parse(format, options, metrics, std::move(names));
    std::shared_ptr<UIView> superview;
    if (parse.error.empty() && parse.usesSuperview) {
        for (auto& c : parse.constraints) {
            for (const std::string& n : {c.firstView, c.secondView}) {
                if (!superview && n != "|" && !n.empty())
                    superview = views.at(n)->superview();
            }
        }
        if (!superview)
            parse.error = "Unable to interpret '|' character, because the related view doesn't have a "
                          "superview, in \"" +
                          format + "\"";
    }
    if (!parse.error.empty()) {
        NSLog("Unable to parse constraint format: %@", {parse.error});
        if (error)
            *error = parse.error;
        return {};
    }
    if (error)
        error->clear();
    std::vector<std::shared_ptr<NSLayoutConstraint>> out;
    auto resolve = [&](const std::string& n) -> std::shared_ptr<UIView> {
        if (n.empty())
            return nullptr;
        return n == "|" ? superview : views.at(n);
    };
    for (auto& c : parse.constraints) {
        auto made = constraintWithItem(resolve(c.firstView), c.firstAttribute, c.relation,
                                       resolve(c.secondView), c.secondAttribute, 1, c.constant);
        made->priority_ = c.priority;
        out.push_back(made);
    }
    return out;
}
