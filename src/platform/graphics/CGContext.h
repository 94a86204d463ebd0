#pragma once

// The drawing context (Core Graphics' CGContext) over a Cairo context. Views draw into it in
// their own coordinates (origin top left, y down, in points); the context's transform maps
// points to the pixels of its surface.
//
// The operations are the platform's free functions on a CGContextRef, so drawing code reads as
// it does on the device:
//
//     CGContextRef ctx = UIGraphicsGetCurrentContext();
//     CGContextSetLineWidth(ctx, 2);
//     CGContextSetStrokeColorWithColor(ctx, color.rgba);
//     CGContextStrokeEllipseInRect(ctx, CGRectInset(rect, 1, 1));
//
// Every operation accepts a null context and then does nothing, as the platform's do. Values
// that are not finite are ignored instead of reaching Cairo, which would otherwise stop drawing
// on the whole surface for good.
//
// Arc direction: CGContextAddArc's `clockwise` flag is defined for y-up coordinates. In the
// y-down coordinates views draw in, flag 0 makes the angle increase, which runs clockwise on
// screen, and flag 1 runs counter-clockwise on screen.

#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGPath.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

typedef struct _cairo cairo_t;

enum CGLineCap : int32_t { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin : int32_t { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };

enum CGPathDrawingMode : int32_t {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};

enum CGBlendMode : int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeMultiply = 1,
    kCGBlendModeScreen = 2,
    kCGBlendModeOverlay = 3,
    kCGBlendModeDarken = 4,
    kCGBlendModeLighten = 5,
    kCGBlendModeColorDodge = 6,
    kCGBlendModeColorBurn = 7,
    kCGBlendModeSoftLight = 8,
    kCGBlendModeHardLight = 9,
    kCGBlendModeDifference = 10,
    kCGBlendModeExclusion = 11,
    kCGBlendModeHue = 12,
    kCGBlendModeSaturation = 13,
    kCGBlendModeColor = 14,
    kCGBlendModeLuminosity = 15,
    kCGBlendModeClear = 16, // the shape's pixels become transparent
    kCGBlendModeCopy = 17,  // the source replaces the pixels under the shape, alpha included
    kCGBlendModeSourceIn = 18,
    kCGBlendModeSourceOut = 19,
    kCGBlendModeSourceAtop = 20,
    kCGBlendModeDestinationOver = 21,
    kCGBlendModeDestinationIn = 22,
    kCGBlendModeDestinationOut = 23,
    kCGBlendModeDestinationAtop = 24,
    kCGBlendModeXOR = 25,
    kCGBlendModePlusDarker = 26,
    kCGBlendModePlusLighter = 27,
};

class CGContext {
public:
    // Wraps `cr`, taking a reference of its own to it.
    static std::shared_ptr<CGContext> create(cairo_t* cr);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    cairo_t* cairo() const { return cr_; }

    // The graphics state Cairo does not keep itself: separate fill and stroke colours, the blend
    // mode as the platform names it, and the global alpha. Saved and restored with Cairo's own.
    struct State {
        CGColor fillColor{0, 0, 0, 1};
        CGColor strokeColor{0, 0, 0, 1};
        CGBlendMode blendMode = kCGBlendModeNormal;
        CGFloat alpha = 1;
        bool antialias = true;
        // A transform flattened the plane: nothing drawn can be seen until a restore.
        bool flattened = false;
    };
    bool canPaint() const { return state().alpha > 0 && !state().flattened; }
    const State& state() const { return states_.back(); }
    State& state() { return states_.back(); }
    void saveGState();
    void restoreGState();
    // How many saves are outstanding; the renderer uses it to undo a drawRect's unbalanced saves.
    std::size_t gStateDepth() const { return states_.size() - 1; }
    // Starts a fresh drawing state (black colours, width 1, butt caps, normal blend) inside a
    // save, so a view's drawRect never inherits its neighbour's settings. Restores inside it
    // cannot reach below it; endCleanState undoes whatever saves the drawing left open.
    // Returns the token endCleanState takes.
    std::size_t beginCleanState();
    void endCleanState(std::size_t token);

    // Makes the source colour of the next fill or stroke.
    void setSourceColor(const CGColor& color);

    // What the clip is, when whoever set up the drawing knows it whole and the drawing goes
    // straight to the target surface (no group pushed): numbers that two drawings share only when
    // their clips are the same. The renderer sets it around a view's drawRect, so a drawing may
    // reuse pixels it left in an earlier frame under the same clip. Null when unknown. Clipping
    // through the functions below forgets it; code that clips the Cairo context itself restores
    // before drawing anything that could rely on it.
    const std::vector<double>* clipDescription() const {
        return clipDescription_ ? &*clipDescription_ : nullptr;
    }
    void setClipDescription(std::optional<std::vector<double>> description) {
        clipDescription_ = std::move(description);
    }

    // The per-thread stack of current contexts that UIKit-level drawing (bezier paths, text,
    // images) draws into. UIGraphicsPushContext and the image contexts are built on it.
    static std::shared_ptr<CGContext> current();
    static void pushCurrent(std::shared_ptr<CGContext> ctx);
    static void popCurrent();
    static std::size_t currentDepth();
    // Takes the topmost entry of `ctx` off the stack, wherever it is.
    static void removeCurrent(const std::shared_ptr<CGContext>& ctx);

private:
    explicit CGContext(cairo_t* cr);

    cairo_t* cr_;
    std::vector<State> states_;
    std::size_t restoreFloor_ = 0;
    std::optional<std::vector<double>> clipDescription_;
};

using CGContextRef = std::shared_ptr<CGContext>;

// Graphics state.
void CGContextSaveGState(const CGContextRef& c);
void CGContextRestoreGState(const CGContextRef& c);
void CGContextSetLineWidth(const CGContextRef& c, CGFloat width);
void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap);
void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join);
void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit);
void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, std::span<const CGFloat> lengths);
void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha);
void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode);
void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias);
void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColor& color);
void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColor& color);
void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat a);
void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat a);

// Transform.
void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(const CGContextRef& c, CGFloat angle);
void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform t);
CGAffineTransform CGContextGetCTM(const CGContextRef& c);

// Path construction. Paths are not part of the saved state, as on the platform.
void CGContextBeginPath(const CGContextRef& c);
void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y,
                              CGFloat x, CGFloat y);
void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
                     CGFloat endAngle, int clockwise);
// A corner arc of `radius` tangent to the line from the current point to (x1, y1) and to the
// line from (x1, y1) to (x2, y2). Without a current point it starts the path at (x1, y1).
void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2,
                            CGFloat radius);
void CGContextAddRect(const CGContextRef& c, CGRect rect);
void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextAddPath(const CGContextRef& c, const CGPath& path);
void CGContextClosePath(const CGContextRef& c);
bool CGContextIsPathEmpty(const CGContextRef& c);
CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c);

// Painting. Each of these consumes the current path.
void CGContextFillPath(const CGContextRef& c);
void CGContextEOFillPath(const CGContextRef& c);
void CGContextStrokePath(const CGContextRef& c);
void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode);
void CGContextFillRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width);
// Makes the rectangle transparent, whatever the blend mode.
void CGContextClearRect(const CGContextRef& c, CGRect rect);
void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeLineSegments(const CGContextRef& c, std::span<const CGPoint> points);

// Clipping. Clip intersects the clip with the current path and consumes it; ClipToRect leaves
// the current path alone.
void CGContextClip(const CGContextRef& c);
void CGContextEOClip(const CGContextRef& c);
void CGContextClipToRect(const CGContextRef& c, CGRect rect);
CGRect CGContextGetClipBoundingBox(const CGContextRef& c);
