#pragma once

// A read-only text view (UIKit's UILabel): text in one font and colour, aligned within the
// label's bounds and centred vertically, on one line by default or wrapped onto up to
// `numberOfLines` lines (0 for as many as the text needs), the last shown line truncated per
// `lineBreakMode`.
//
//     auto title = UILabel::create(CGRectMake(16, 0, 200, 44));
//     title->setText("Enabled");
//     title->setFont(UIFont::systemFontOfSize(17));
//     title->sizeToFit();

#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIView.h"

#include <memory>
#include <optional>
#include <string>

class UILabel : public UIView {
public:
    static std::shared_ptr<UILabel> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UILabel"; }

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    // Null resets to the default, black.
    UIColor textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    int64_t numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int64_t lines);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // The width a multi-line label wraps at when it reports its intrinsic size (0: unbounded).
    CGFloat preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(CGFloat width);

    // The text's size, rounded up to whole points: on one line for a one-line label, otherwise
    // wrapped at `size.width` (when positive). An empty label measures 0 × 0.
    CGSize sizeThatFits(CGSize size) const override;
    // Without a preferred maximum width, a label of more than one line wraps at the width the
    // last layout pass gave it, as the platform's automatic preferred width does.
    CGSize intrinsicContentSize() const override;
    bool adoptLayoutWidth(CGFloat width) override;
    // Where the text goes inside `bounds` with at most `numberOfLines` lines.
    CGRect textRectForBounds(CGRect bounds, int64_t numberOfLines) const;

    void drawRect(CGRect rect) override;
    virtual void drawTextInRect(CGRect rect);
    bool drawsContent() const override { return true; }
    std::string accessibilityText() const override { return text_; }

protected:
    explicit UILabel(CGRect frame);
    void commonInit() override;

private:
    NSStringAttributes attributes() const;
    void contentChanged();

    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(UIFont::labelFontSize());
    UIColor textColor_ = UIColor::labelColor();
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    int64_t numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByTruncatingTail;
    bool enabled_ = true;
    CGFloat preferredMaxLayoutWidth_ = 0;
    CGFloat layoutWidth_ = 0; // the width layout gave, for wrapping without a preferred width
};
