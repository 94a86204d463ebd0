#pragma once

// One linear relation between two views' layout attributes:
//     item1.attribute1 (==, <= or >=) multiplier * item2.attribute2 + constant
// held at a priority (1000 = required). A constraint takes part in layout while it is active,
// that is installed on a view (the closest common ancestor of its items). Changing `constant`
// on an installed constraint is cheap: the next layout pass updates the solution in place.
//
//     auto c = NSLayoutConstraint::constraintWithItem(bezel, NSLayoutAttributeCenterX,
//         NSLayoutRelationEqual, hud, NSLayoutAttributeCenterX, 1, 0);
//     c->setPriority(998);
//     hud->addConstraint(c);
//
// Items are held weakly: the views own their constraints, not the other way round.

#include "platform/foundation/NSObject.h"
#include "platform/ui/UIView.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

enum NSLayoutAttribute : std::int64_t {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
    NSLayoutAttributeLastBaseline = 11,
    NSLayoutAttributeFirstBaseline = 12,
};

enum NSLayoutRelation : std::int64_t {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

// Visual format options: align every view of the format on one attribute (the platform's bits).
enum NSLayoutFormatOptions : std::uint64_t {
    NSLayoutFormatAlignAllLeft = 1 << NSLayoutAttributeLeft,
    NSLayoutFormatAlignAllRight = 1 << NSLayoutAttributeRight,
    NSLayoutFormatAlignAllTop = 1 << NSLayoutAttributeTop,
    NSLayoutFormatAlignAllBottom = 1 << NSLayoutAttributeBottom,
    NSLayoutFormatAlignAllLeading = 1 << NSLayoutAttributeLeading,
    NSLayoutFormatAlignAllTrailing = 1 << NSLayoutAttributeTrailing,
    NSLayoutFormatAlignAllCenterX = 1 << NSLayoutAttributeCenterX,
    NSLayoutFormatAlignAllCenterY = 1 << NSLayoutAttributeCenterY,
};

using NSLayoutMetrics = std::map<std::string, double>;
using NSLayoutViews = std::map<std::string, std::shared_ptr<UIView>>;

class NSLayoutConstraint : public NSObject {
public:
    static std::shared_ptr<NSLayoutConstraint>
    constraintWithItem(const std::shared_ptr<UIView>& item1, NSLayoutAttribute attribute1,
                       NSLayoutRelation relation, const std::shared_ptr<UIView>& item2,
                       NSLayoutAttribute attribute2, double multiplier, double constant);

    // The constraints that a visual format string describes, left to right, e.g.
    // "H:|-(>=margin)-[bezel]-(>=margin)-|". A format that does not parse gives no constraints,
    // logs one line saying where and why, and sets `error` when given.
    static std::vector<std::shared_ptr<NSLayoutConstraint>>
    constraintsWithVisualFormat(const std::string& format, std::uint64_t options,
                                const NSLayoutMetrics& metrics, const NSLayoutViews& views,
                                std::string* error = nullptr);

    static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    std::string className() const override { return "NSLayoutConstraint"; }
    // "<NSLayoutConstraint:0x… UILabel:0x….width >= 100 @998>", as log lines name constraints.
    std::string description() const override;

    std::shared_ptr<UIView> firstItem() const { return firstItem_.lock(); }
    std::shared_ptr<UIView> secondItem() const { return secondItem_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    double multiplier() const { return multiplier_; }

    double constant() const { return constant_; }
    void setConstant(double constant);
    UILayoutPriority priority() const { return priority_; }
    void setPriority(UILayoutPriority priority);

    // Active means installed on a view. Activating installs on the items' closest common
    // ancestor; deactivating removes from wherever it is installed.
    bool isActive() const { return !installedOn_.expired(); }
    void setActive(bool active);
    std::shared_ptr<UIView> installedOn() const { return installedOn_.lock(); }

    // Bumped by every constant or priority change of any constraint, so a layout pass knows
    // whether it has anything to re-read.
    static std::uint64_t changeCount();

private:
    NSLayoutConstraint() = default;
    friend class NSLayoutEngine;

    std::weak_ptr<UIView> firstItem_;
    std::weak_ptr<UIView> secondItem_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    double multiplier_ = 1;
    double constant_ = 0;
    UILayoutPriority priority_ = UILayoutPriorityRequired;
    std::weak_ptr<UIView> installedOn_;
};
