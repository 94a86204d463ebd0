#pragma once

// The confetti area's delegate protocol (OCConfettiAreaDelegate). Its one operation,
// colorsForConfettiArea:, is optional: a delegate says whether it implements it, and an answer
// of nullopt ("no list at all") is told apart from not implementing it.

#include "platform/ui/UIColor.h"

#include <memory>
#include <optional>
#include <vector>

class OCConfettiArea;

class OCConfettiAreaDelegate {
public:
    virtual ~OCConfettiAreaDelegate() = default;

    virtual bool implementsColorsForConfettiArea() const { return false; }
    // colorsForConfettiArea:. Called only when implementsColorsForConfettiArea answers true.
    virtual std::optional<std::vector<UIColor>>
    colorsForConfettiArea(const std::shared_ptr<OCConfettiArea>& /*area*/) {
        return std::nullopt;
    }
};
