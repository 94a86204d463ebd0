#include "platform/ui/UILabel.h"

#include "platform/ui/UIRenderer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

using pixels::count;

namespace {
bool dark(const CGImage::Pixel& p) {
    return p.a > 200 && p.r < 100 && p.g < 100 && p.b < 100;
}

// A label at `frame` inside a white 200 × 100 root, rendered at 2x.
CGImageRef renderLabel(const std::shared_ptr<UILabel>& label) {
    auto root = UIView::create(CGRectMake(0, 0, 200, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    root->addSubview(label);
    return UIRenderer::imageOfView(*root, 2)->CGImage();
}
} // namespace

TEST(UILabelTest, DefaultsOfAPlatformLabel) {
    auto label = UILabel::create();
    EXPECT_EQ(label->className(), "UILabel");
    EXPECT_EQ(label->font(), UIFont::systemFontOfSize(17));
    EXPECT_EQ(label->textColor(), UIColor::blackColor());
    EXPECT_EQ(label->numberOfLines(), 1);
    EXPECT_EQ(label->textAlignment(), NSTextAlignmentNatural);
    EXPECT_EQ(label->lineBreakMode(), NSLineBreakByTruncatingTail);
    EXPECT_FALSE(label->isUserInteractionEnabled());
    EXPECT_FALSE(label->isOpaque());
    EXPECT_TRUE(label->drawsContent());
    label->setTextColor(UIColor::redColor());
    label->setTextColor(std::nullopt);
    EXPECT_EQ(label->textColor(), UIColor::blackColor());
}

TEST(UILabelTest, MeasuresItsText) {
    auto label = UILabel::create();
    EXPECT_EQ(label->intrinsicContentSize(), CGSizeZero);
    label->setText("Respring");
    CGSize one = label->intrinsicContentSize();
    EXPECT_GT(one.width, 40);
    EXPECT_EQ(one.height, std::ceil(label->font().lineHeight()));
    EXPECT_EQ(one.width, std::ceil(one.width)); // whole points
    label->setText("Respring Respring");
    EXPECT_GT(label->intrinsicContentSize().width, 2 * one.width - 2);
    // A one-line label does not wrap when asked to fit a narrow width.
    EXPECT_EQ(label->sizeThatFits(CGSizeMake(30, 0)).height, one.height);
    label->setNumberOfLines(0);
    CGSize wrapped = label->sizeThatFits(CGSizeMake(90, 0));
    EXPECT_LE(wrapped.width, 90);
    EXPECT_GE(wrapped.height, 2 * one.height - 1);
    label->setPreferredMaxLayoutWidth(90);
    EXPECT_EQ(label->intrinsicContentSize(), wrapped);
    label->sizeToFit();
    EXPECT_EQ(label->bounds().size, label->sizeThatFits(label->bounds().size));
    EXPECT_EQ(label->accessibilityText(), "Respring Respring");
}

TEST(UILabelTest, PaintsDarkTextWithinItsFrameOnly) {
    auto label = UILabel::create(CGRectMake(20, 30, 120, 30));
    label->setText("Enabled");
    CGImageRef image = renderLabel(label);
    // The frame in pixels: x 40..280, y 60..120.
    EXPECT_GT(count(image, 40, 60, 280, 120, dark), 50);
    EXPECT_EQ(count(image, 0, 0, 400, 60, dark), 0);
    EXPECT_EQ(count(image, 0, 120, 400, 200, dark), 0);
    EXPECT_EQ(count(image, 0, 0, 40, 200, dark), 0);
    EXPECT_EQ(count(image, 280, 0, 400, 200, dark), 0);
    // Centred vertically: ink both above and below the middle row.
    EXPECT_GT(count(image, 40, 60, 280, 90, dark), 10);
    EXPECT_GT(count(image, 40, 90, 280, 120, dark), 10);
}

TEST(UILabelTest, AlignmentColourAndTruncation) {
    auto label = UILabel::create(CGRectMake(0, 0, 200, 40));
    label->setText("On");
    label->setTextAlignment(NSTextAlignmentRight);
    label->setTextColor(UIColor::redColor());
    CGImageRef image = renderLabel(label);
    EXPECT_GT(count(image, 300, 0, 400, 80, pixels::red), 10);
    EXPECT_EQ(count(image, 0, 0, 300, 80, [](const CGImage::Pixel& p) { return p.g < 200; }), 0);

    auto long_ = UILabel::create(CGRectMake(0, 0, 60, 30));
    long_->setText("A title far too long to fit in sixty points");
    CGImageRef truncated = renderLabel(long_);
    EXPECT_GT(count(truncated, 0, 0, 120, 60, dark), 20);
    EXPECT_EQ(count(truncated, 120, 0, 400, 200, dark), 0);
    EXPECT_EQ(count(truncated, 0, 60, 400, 200, dark), 0);
}

TEST(UILabelTest, MultipleLinesStopAtTheLimit) {
    auto label = UILabel::create(CGRectMake(0, 0, 80, 100));
    label->setText("one two three four five six seven eight nine ten");
    label->setNumberOfLines(2);
    CGFloat line = label->font().lineHeight();
    CGImageRef image = renderLabel(label);
    // Two lines centred in 100 points: nothing beyond one line's height above or below them.
    int top = static_cast<int>((50 - line) * 2) - 2, bottom = static_cast<int>((50 + line) * 2) + 2;
    EXPECT_GT(count(image, 0, top, 160, bottom, dark), 50);
    EXPECT_EQ(count(image, 0, 0, 400, top, dark), 0);
    EXPECT_EQ(count(image, 0, bottom, 400, 200, dark), 0);
}

TEST(UILabelTest, AWordOf64kCharactersWrapsToABoundedHeightAndDraws) {
    std::string word;
    while (word.size() < 64 * 1024)
        word += static_cast<char>('a' + word.size() % 26);
    auto label = UILabel::create();
    label->setNumberOfLines(0);
    label->setText(word.substr(0, 1000));
    CGSize thousand = label->sizeThatFits(CGSizeMake(180, 0));
    label->setText(word);
    CGSize size = label->sizeThatFits(CGSizeMake(180, 0));
    // Wrapped by characters within the width, and measured as the longest text that is ever
    // laid out: about four times a thousand characters, not sixty-five times.
    EXPECT_LE(size.width, 180);
    EXPECT_GT(size.height, 3.5 * thousand.height);
    EXPECT_LT(size.height, 4.5 * thousand.height);

    // Drawn in a frame of a few lines: ink on every line of it and nowhere else.
    label->setFrame(CGRectMake(10, 10, 180, 80));
    CGImageRef image = renderLabel(label);
    EXPECT_GT(count(image, 20, 20, 380, 60, dark), 100);
    EXPECT_GT(count(image, 20, 120, 380, 180, dark), 100);
    EXPECT_EQ(count(image, 0, 0, 400, 20, dark), 0);
    EXPECT_EQ(count(image, 0, 180, 400, 200, dark), 0);
    EXPECT_EQ(count(image, 380, 0, 400, 200, dark), 0);
}
