#pragma once

// Paints a view tree into an image, as Core Animation composites the screen. For each view, in
// order: hidden views and views at alpha 0 are skipped; the view's transform (its layer's 3D
// transform projected onto the screen plane, about the centre of its bounds), its centre displaced
// by its motion effects at the device's tilt (UIMotionEffect) and its bounds origin set up its
// coordinates; its background colour fills its bounds, rounded by the layer's
// corner radius; clipsToBounds / masksToBounds clip its content and subviews to that shape;
// drawRect paints (for classes that draw); subviews follow back to front; the layer's border
// is drawn last, inside the bounds and above the subviews. A view with alpha below 1 is
// composited as a group when it has content or subviews, so overlapping children do not show
// through one another.
//
// The root view is drawn in its own coordinate space (its bounds at the image's origin); its
// position and transform in any superview are ignored, like a layer rendered into a context.
// Layout is the caller's business: lay the tree out before rendering.
//
//     UIRenderer renderer;                       // 2 pixels per point
//     CGImageRef frame = renderer.renderFrame(*window);
//     ...one view moved:
//     renderer.renderFrame(*window, CGRectUnion(oldFrame, newFrame));   // repaint only there

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UIView.h"

#include <memory>

class UIRenderer {
public:
    explicit UIRenderer(CGFloat scale = 2);
    UIRenderer(const UIRenderer&) = delete;
    UIRenderer& operator=(const UIRenderer&) = delete;

    CGFloat scale() const { return scale_; }

    // Renders the whole tree into the frame image (kept and reused between frames; a new one is
    // made when the root's size changes) and returns it.
    const CGImageRef& renderFrame(UIView& root);
    // Repaints only `dirty` (in the root's coordinates) over the previous frame. Without a
    // previous frame of the same size the whole frame is rendered.
    const CGImageRef& renderFrame(UIView& root, CGRect dirty);
    const CGImageRef& frame() const { return frame_; }

    // Draws the tree into any context, in the root's coordinates (the context's current
    // transform maps them to its pixels).
    static void renderInContext(UIView& root, const CGContextRef& context);
    // A new image of the tree at `scale`; null for an empty root.
    static std::shared_ptr<UIImage> imageOfView(UIView& root, CGFloat scale = 2);

private:
    bool prepareFrame(const UIView& root);

    CGFloat scale_;
    CGImageRef frame_;
};
