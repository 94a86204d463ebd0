#pragma once

// The visual format language of Auto Layout, parsed into constraint descriptions by view name.
//
//     H:|-(>=margin)-[bezel]-(>=margin)-|
//     V:|-[top]-8-[middle(>=44@999)][bottom(==middle)]-|
//
// `H:`/`V:` picks the axis (H when absent); `|` is the superview; `-` alone is the standard
// spacing (8 between views, 20 to the superview), nothing at all is flush; a spacing or a view's
// size is a number, a metric name, or a parenthesised list of predicates `relation object
// @priority` (relation ==, <= or >=; priority a number or metric). A view's size predicate may
// name another view. Kept apart from the constraint objects so that it is tested on its own.

#include "platform/layout/NSLayoutConstraint.h"

#include <set>
#include <string>
#include <vector>

struct VisualFormatConstraint {
    std::string firstView; // "|" is the superview
    NSLayoutAttribute firstAttribute = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation = NSLayoutRelationEqual;
    std::string secondView; // empty for a constant-only constraint
    NSLayoutAttribute secondAttribute = NSLayoutAttributeNotAnAttribute;
    double constant = 0;
    UILayoutPriority priority = UILayoutPriorityRequired;
};

struct VisualFormatParse {
    std::vector<VisualFormatConstraint> constraints;
    std::string error; // empty on success
    bool usesSuperview = false;
};

VisualFormatParse parseVisualFormat(const std::string& format, std::uint64_t options,
                                    const NSLayoutMetrics& metrics, const std::set<std::string>& viewNames);
