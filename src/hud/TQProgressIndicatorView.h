#pragma once

// What the bar and the round progress views share: a progress value that redraws the view when it
// changes and that key-value setting of "progress" reaches (the view answers "setProgress:"), a
// clear, non-opaque background, and colours that must not be none.

#include "platform/ui/UIView.h"

#include <optional>

class TQProgressIndicatorView : public UIView {
public:
    float progress() const { return progress_; }
    void setProgress(float progress);

    bool drawsContent() const override { return true; }
    const SelectorTable* selectorTable() const override;

protected:
    explicit TQProgressIndicatorView(CGRect frame) : UIView(frame) {}
    void commonInit() override;
    // Stores a colour that must not be none (a none colour is a caller error, reported as an
    // assertion, and changes nothing) and redraws when it changed.
    void setRequiredColor(UIColor& slot, const std::optional<UIColor>& color);

private:
    float progress_ = 0;
};
