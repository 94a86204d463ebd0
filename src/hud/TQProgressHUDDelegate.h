#pragma once

// The HUD's delegate. Its one operation is optional: a delegate says whether it implements it,
// and the HUD asks before calling.

#include <memory>

class TQProgressHUD;

class TQProgressHUDDelegate {
public:
    virtual ~TQProgressHUDDelegate() = default;

    // Called at the end of every hide, after the completion block.
    virtual void hudWasHidden(const std::shared_ptr<TQProgressHUD>& /*hud*/) {}
    virtual bool implementsHudWasHidden() const { return false; }
};
