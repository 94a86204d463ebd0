#pragma once

// A bitmap image (Core Graphics' CGImage): premultiplied 32-bit pixels in a Cairo image surface,
// measured in pixels. Images are loaded from and written to PNG; the renderer draws frames into
// one, and the window back end and screenshots read it.
//
//     auto image = CGImage::createFromPNGFile("/tmp/icon.png");
//     if (image && image->pixelAt(0, 0).a == 255) ...

#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

class CGImage {
public:
    // A transparent image; an opaque one has no alpha channel and starts black. Null when the
    // size is zero or too large for a surface (more than 32767 pixels on a side).
    static std::shared_ptr<CGImage> create(std::size_t width, std::size_t height, bool opaque = false);
    // Adopts `surface` (an image surface): the image takes over the caller's reference.
    static std::shared_ptr<CGImage> createWithSurface(cairo_surface_t* surface);
    // The most pixels a loaded PNG may have: 4096 × 4096 (64 MB decoded).
    static constexpr std::uint64_t kMaxLoadedPixels = 4096ull * 4096ull;

    // Null when the file cannot be read, is not a PNG, or declares more than `maxPixels` pixels
    // (checked in its header before anything is decoded: a small file can declare a huge image).
    // Only a regular file is read, from the one descriptor whose header was checked.
    static std::shared_ptr<CGImage> createFromPNGFile(const std::string& path,
                                                      std::uint64_t maxPixels = kMaxLoadedPixels);
    static std::shared_ptr<CGImage> createFromPNGData(std::span<const std::uint8_t> data,
                                                      std::uint64_t maxPixels = kMaxLoadedPixels);

    // The width and height a PNG's header declares, or nullopt for bytes that do not begin like
    // a PNG (signature, then the IHDR chunk). Reads the first 24 bytes only.
    struct Size {
        std::uint32_t width = 0, height = 0;
    };
    static std::optional<Size> declaredPNGSize(std::span<const std::uint8_t> data);

    // What a PNG's header promises, read without decoding anything: the signature and a whole
    // IHDR chunk with a size inside the load bounds (no side over 32767, at most `maxPixels`
    // pixels) and a bit depth, colour type, compression, filter and interlace method that the
    // decoder takes. Nullopt otherwise. An image made from it learns its size here and decodes
    // its pixels only when they are first needed.
    // How many bytes of a file pngHeaderOfData looks at: the signature (8 bytes), the IHDR
    // chunk's length and type (8) and its 13 bytes of data.
    static constexpr std::size_t kPNGHeaderBytes = 29;
    static std::optional<Size> pngHeaderOfData(std::span<const std::uint8_t> data,
                                               std::uint64_t maxPixels = kMaxLoadedPixels);
    // The same for the start of a file. Only regular files are read, and opening one never waits
    // (a FIFO is refused without blocking for a writer); only the header's bytes are read.
    static std::optional<Size> pngHeaderOfFile(const std::string& path,
                                               std::uint64_t maxPixels = kMaxLoadedPixels);
    ~CGImage();
    CGImage(const CGImage&) = delete;
    CGImage& operator=(const CGImage&) = delete;

    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }
    bool isOpaque() const { return opaque_; }
    cairo_surface_t* surface() const { return surface_; }

    // A pixel as straight (not premultiplied) 8-bit components; transparent black outside.
    struct Pixel {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
        bool operator==(const Pixel&) const = default;
    };
    Pixel pixelAt(std::size_t x, std::size_t y) const;
    // A deep copy: later drawing into this image does not change the copy.
    std::shared_ptr<CGImage> copy() const;

    // Writes a PNG next to `path` and renames it into place, so a reader never sees half a
    // file. Returns false (and leaves any old file) when writing fails.
    bool writePNG(const std::string& path) const;
    std::vector<std::uint8_t> PNGData() const;

private:
    CGImage(cairo_surface_t* surface, bool opaque);

    cairo_surface_t* surface_;
    std::size_t width_, height_;
    bool opaque_;
};

using CGImageRef = std::shared_ptr<CGImage>;

inline std::size_t CGImageGetWidth(const CGImageRef& image) {
    return image ? image->width() : 0;
}
inline std::size_t CGImageGetHeight(const CGImageRef& image) {
    return image ? image->height() : 0;
}
