#include "platform/ui/UIRenderer.h"

#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/layers/CALayer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <numbers>

using pixels::near;

namespace {
constexpr double pi = std::numbers::pi;

std::shared_ptr<UIView> box(CGRect frame, std::optional<UIColor> colour) {
    auto v = UIView::create(frame);
    v->setBackgroundColor(colour);
    return v;
}

// A white 100 × 100 root.
std::shared_ptr<UIView> whiteRoot() {
    return box(CGRectMake(0, 0, 100, 100), UIColor::whiteColor());
}

// Renders at 1x so pixels are points.
CGImageRef render(UIView& root) {
    return UIRenderer::imageOfView(root, 1)->CGImage();
}

CGImage::Pixel at(const CGImageRef& image, double x, double y) {
    return pixels::at(image, x, y);
}
bool white(const CGImage::Pixel& p) {
    return near(p, 255, 255, 255, 255, 10);
}

// A view that draws an arc, leaving an unbalanced save and an open path behind.
class SloppyArcView : public UIView {
public:
    static std::shared_ptr<SloppyArcView> create(CGRect frame) {
        auto v = std::shared_ptr<SloppyArcView>(new SloppyArcView(frame));
        v->commonInit();
        return v;
    }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override {
        ++draws;
        CGContextRef c = UIGraphicsGetCurrentContext();
        EXPECT_EQ(rect, bounds());
        CGContextSaveGState(c);
        CGContextSetStrokeColorWithColor(c, {1, 0, 0, 1});
        CGContextSetLineWidth(c, 4);
        CGContextAddArc(c, rect.midX(), rect.midY(), 15, -pi / 2, 0, 0);
        CGContextStrokePath(c);
        CGContextSetFillColorWithColor(c, {0, 1, 0, 1});
        CGContextSetBlendMode(c, kCGBlendModeCopy);
        CGContextMoveToPoint(c, 0, 0);
        CGContextAddLineToPoint(c, 100, 100);
    }
    int draws = 0;

protected:
    using UIView::UIView;
};
} // namespace

TEST(UIRendererTest, FillsBackgroundsInOrderAndSkipsHiddenViews) {
    auto root = whiteRoot();
    root->addSubview(box(CGRectMake(10, 10, 40, 40), UIColor::redColor()));
    root->addSubview(box(CGRectMake(30, 30, 40, 40), UIColor::blueColor()));
    auto hidden = box(CGRectMake(0, 0, 100, 100), UIColor::greenColor());
    hidden->setHidden(true);
    root->addSubview(hidden);
    auto invisible = box(CGRectMake(0, 0, 100, 100), UIColor::greenColor());
    invisible->setAlpha(0);
    root->addSubview(invisible);
    CGImageRef image = render(*root);
    EXPECT_EQ(image->width(), 100u);
    EXPECT_TRUE(pixels::red(at(image, 15, 15)));
    EXPECT_TRUE(pixels::blue(at(image, 40, 40))); // the later sibling is on top
    EXPECT_TRUE(white(at(image, 80, 20)));
    EXPECT_TRUE(UIRenderer(3).renderFrame(*root)->width() == 300u);
}

TEST(UIRendererTest, RoundedCornersCutTheBackgroundAndTheClip) {
    auto root = whiteRoot();
    auto card = box(CGRectMake(10, 10, 80, 80), UIColor::redColor());
    card->layer()->setCornerRadius(20);
    card->setClipsToBounds(true);
    card->addSubview(box(CGRectMake(-10, -10, 100, 100), UIColor::blueColor()));
    root->addSubview(card);
    auto plain = box(CGRectMake(0, 0, 10, 10), UIColor::redColor());
    plain->layer()->setCornerRadius(100); // more than half the side: a circle
    root->addSubview(plain);
    CGImageRef image = render(*root);
    EXPECT_TRUE(white(at(image, 12, 12)));        // outside the rounded corner
    EXPECT_TRUE(pixels::blue(at(image, 22, 22))); // inside it, the child clipped to the shape
    EXPECT_TRUE(pixels::blue(at(image, 50, 12)));
    EXPECT_TRUE(white(at(image, 95, 50))); // the child reaches here but is clipped
    EXPECT_TRUE(white(at(image, 0, 0)));
    EXPECT_TRUE(pixels::red(at(image, 5, 5)));
}

TEST(UIRendererTest, ChildrenOutsideANonClippingParentStillDraw) {
    auto root = whiteRoot();
    auto parent = box(CGRectMake(10, 10, 20, 20), std::nullopt);
    parent->addSubview(box(CGRectMake(40, 40, 20, 20), UIColor::redColor()));
    root->addSubview(parent);
    CGImageRef image = render(*root);
    EXPECT_TRUE(pixels::red(at(image, 55, 55)));
    parent->setClipsToBounds(true);
    EXPECT_TRUE(white(at(render(*root), 55, 55)));
}

TEST(UIRendererTest, AlphaBlendsAndGroupsOverlappingChildren) {
    auto root = whiteRoot();
    auto faded = box(CGRectMake(0, 0, 20, 20), UIColor::redColor());
    faded->setAlpha(0.5);
    root->addSubview(faded);
    // A half-transparent group of two overlapping opaque squares: where they overlap, only the
    // top one shows, at half strength over white.
    auto group = box(CGRectMake(40, 0, 60, 60), std::nullopt);
    group->setAlpha(0.5);
    group->addSubview(box(CGRectMake(0, 0, 40, 40), UIColor::redColor()));
    group->addSubview(box(CGRectMake(20, 20, 40, 40), UIColor::blueColor()));
    root->addSubview(group);
    CGImageRef image = render(*root);
    EXPECT_TRUE(near(at(image, 10, 10), 255, 128, 128, 255, 3));
    EXPECT_TRUE(near(at(image, 70, 30), 128, 128, 255, 255, 3)); // the overlap
    EXPECT_TRUE(near(at(image, 45, 5), 255, 128, 128, 255, 3));

    // Without group opacity each child fades on its own and the red shows through.
    group->layer()->setAllowsGroupOpacity(false);
    CGImageRef ungrouped = render(*root);
    EXPECT_TRUE(near(at(ungrouped, 70, 30), 128, 64, 191, 255, 3));
}

TEST(UIRendererTest, TransformsRotateAboutTheCentre) {
    auto root = whiteRoot();
    auto bar = box(CGRectMake(30, 45, 40, 10), UIColor::redColor());
    bar->setTransform(CGAffineTransformMakeRotation(pi / 2));
    root->addSubview(bar);
    CGImageRef image = render(*root);
    EXPECT_TRUE(pixels::red(at(image, 50, 50)));
    EXPECT_TRUE(pixels::red(at(image, 50, 33))); // now vertical, about the same centre
    EXPECT_TRUE(white(at(image, 35, 50)));
}

TEST(UIRendererTest, LayerTransformsProjectOntoTheScreen) {
    auto root = whiteRoot();
    auto piece = box(CGRectMake(30, 30, 40, 40), UIColor::redColor());
    // A flip by 60° about the vertical axis narrows the square to half its width.
    piece->layer()->setTransform(CATransform3DMakeRotation(pi / 3, 0, 1, 0));
    root->addSubview(piece);
    auto edgeOn = box(CGRectMake(0, 0, 100, 100), UIColor::blueColor());
    edgeOn->layer()->setTransform(CATransform3DMakeRotation(pi / 2, 1, 0, 0));
    root->addSubview(edgeOn);
    CGImageRef image = render(*root);
    EXPECT_TRUE(pixels::red(at(image, 50, 35)));
    EXPECT_TRUE(pixels::red(at(image, 59, 50)));
    EXPECT_TRUE(white(at(image, 62, 50)));
    EXPECT_TRUE(white(at(image, 37, 50)));
    // The edge-on square shows nothing and breaks nothing.
    EXPECT_TRUE(white(at(image, 5, 5)));
}

TEST(UIRendererTest, BoundsOriginScrollsTheContent) {
    auto root = whiteRoot();
    auto scroller = box(CGRectMake(0, 0, 100, 100), std::nullopt);
    scroller->addSubview(box(CGRectMake(0, 50, 10, 10), UIColor::redColor()));
    scroller->setBounds(CGRectMake(0, 40, 100, 100));
    root->addSubview(scroller);
    CGImageRef image = render(*root);
    EXPECT_TRUE(pixels::red(at(image, 5, 15)));
    EXPECT_TRUE(white(at(image, 5, 55)));
}

TEST(UIRendererTest, BorderLiesInsideTheBoundsAboveTheSubviews) {
    auto root = whiteRoot();
    auto framed = box(CGRectMake(10, 10, 80, 80), UIColor::blueColor());
    framed->layer()->setBorderWidth(4);
    framed->layer()->setBorderColor(UIColor::redColor());
    framed->addSubview(box(CGRectMake(0, 0, 80, 80), UIColor::greenColor()));
    root->addSubview(framed);
    auto unset = box(CGRectMake(0, 90, 10, 10), std::nullopt);
    unset->layer()->setBorderWidth(2);
    root->addSubview(unset);
    CGImageRef image = render(*root);
    EXPECT_TRUE(pixels::red(at(image, 11, 50)));
    EXPECT_TRUE(pixels::red(at(image, 13.5, 50)));
    EXPECT_TRUE(near(at(image, 15, 50), 0, 255, 0, 255));
    EXPECT_TRUE(white(at(image, 9, 50)));
    EXPECT_TRUE(near(at(image, 0.5, 95), 0, 0, 0, 255)); // a border colour never set is black
    EXPECT_TRUE(white(at(image, 5, 95)));
}

TEST(UIRendererTest, DrawRectGetsACleanContextAndCannotLeakState) {
    auto root = whiteRoot();
    auto arc = SloppyArcView::create(CGRectMake(0, 0, 50, 50));
    root->addSubview(arc);
    root->addSubview(box(CGRectMake(60, 60, 20, 20), UIColor::blueColor()));
    CGImageRef image = render(*root);
    EXPECT_EQ(arc->draws, 1);
    EXPECT_FALSE(arc->needsDisplay());
    // Flag 0 from twelve to three o'clock runs clockwise on screen: the upper right quarter.
    EXPECT_TRUE(pixels::red(at(image, 25 + 15 * std::cos(-pi / 4), 25 + 15 * std::sin(-pi / 4))));
    EXPECT_TRUE(white(at(image, 25 - 15 * std::cos(pi / 4), 25 - 15 * std::sin(pi / 4))));
    // The copy mode and the open save did not reach the next view.
    EXPECT_TRUE(pixels::blue(at(image, 70, 70)));
    EXPECT_TRUE(white(at(image, 90, 90)));
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

TEST(UIRendererTest, DirtyRegionRepaintsOnlyThere) {
    auto root = whiteRoot();
    auto left = box(CGRectMake(0, 0, 20, 20), UIColor::redColor());
    auto right = box(CGRectMake(60, 0, 20, 20), UIColor::redColor());
    root->addSubview(left);
    root->addSubview(right);
    UIRenderer renderer(2);
    renderer.renderFrame(*root);
    left->setBackgroundColor(UIColor::blueColor());
    right->setBackgroundColor(UIColor::blueColor());
    right->setCenter({75, 15});
    CGImageRef frame = renderer.renderFrame(*root, CGRectUnion(CGRectMake(60, 0, 20, 20), right->frame()));
    EXPECT_TRUE(pixels::red(pixels::at(frame, 10, 10, 2))); // untouched outside the region
    EXPECT_TRUE(pixels::blue(pixels::at(frame, 78, 20, 2)));
    EXPECT_TRUE(white(pixels::at(frame, 62, 2, 2))); // where the moved view was
    // A full frame brings the rest up to date.
    EXPECT_TRUE(pixels::blue(pixels::at(renderer.renderFrame(*root), 10, 10, 2)));
}

TEST(UIRendererTest, AFrameShowsNothingOfTheOneBefore) {
    // Each frame over one renderer against the same frame from a fresh renderer: a root whose
    // opaque background covers every pixel paints over the last frame, and one that leaves any
    // pixel uncovered (translucent, rounded, see-through, a size off the pixel grid) starts clear.
    struct Frame {
        CGSize size;
        double alpha;     // the root's background alpha
        double radius;    // the root's corner radius
        double viewAlpha; // the root's own alpha
    };
    const Frame frames[] = {{{80, 40}, 1, 0, 1},      {{80, 40}, 0.5, 0, 1},    {{80, 40}, 1, 0, 1},
                            {{80, 40}, 1, 9, 1},      {{80, 40}, 1, 0, 0.7},    {{80.5, 40.25}, 1, 0, 1},
                            {{80.5, 40.25}, 0, 0, 1}, {{80, 40.25}, 0.5, 0, 1}, {{80, 40.25}, 1, 0, 1},
                            {{80.25, 40}, 0.5, 0, 1}, {{80.25, 40}, 1, 0, 1},   {{80, 40}, 1, 0, 1}};
    for (double scale : {1.0, 2.0, 3.0}) {
        auto root = UIView::create(CGRectZero);
        auto child = box(CGRectMake(10, 5, 30, 20), UIColor::redColor());
        root->addSubview(child);
        UIRenderer renderer(scale);
        for (const Frame& f : frames) {
            root->setBounds(CGRectMake(0, 0, f.size.width, f.size.height));
            root->setBackgroundColor(UIColor::colorWithRed(0.2, 0.3, 0.9, f.alpha));
            root->layer()->setCornerRadius(f.radius);
            root->setAlpha(f.viewAlpha);
            // The child moves, so what the last frame showed lies where this one shows something else.
            child->setCenter({child->center().x + 7, child->center().y});
            CGImageRef kept = renderer.renderFrame(*root)->copy();
            CGImageRef fresh = UIRenderer(scale).renderFrame(*root);
            ASSERT_EQ(kept->width(), fresh->width());
            ASSERT_EQ(kept->height(), fresh->height());
            for (std::size_t y = 0; y < kept->height(); ++y)
                for (std::size_t x = 0; x < kept->width(); ++x)
                    ASSERT_EQ(kept->pixelAt(x, y), fresh->pixelAt(x, y))
                        << "scale " << scale << ", frame " << (&f - frames) << ", pixel " << x << "," << y;
        }
    }
}

TEST(UIRendererTest, RendersIntoAnImageContextAndSurvivesNonsenseGeometry) {
    auto root = whiteRoot();
    auto broken = box(CGRectMake(0, 0, 10, 10), UIColor::redColor());
    broken->setCenter({NAN, 5});
    root->addSubview(broken);
    auto nothing = box(CGRectZero, UIColor::redColor());
    nothing->addSubview(box(CGRectMake(80, 80, 10, 10), UIColor::blueColor()));
    root->addSubview(nothing);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(100, 100), false, 1);
    UIRenderer::renderInContext(*root, UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(white(at(image->CGImage(), 5, 5)));
    EXPECT_TRUE(pixels::blue(at(image->CGImage(), 85, 85))); // a zero-size parent's children draw

    auto empty = UIView::create(CGRectZero);
    EXPECT_EQ(UIRenderer::imageOfView(*empty), nullptr);
}
