#pragma once

// Collects frames and writes them as one animated WebP (libwebp's WebPAnimEncoder, lossy, so a
// tour of a few seconds stays small). Frames are scaled down by `downscale` first (2 turns a 2x
// screen into a 1x image). Each frame is shown until the next one's time; the last one for
// `lastFrameSeconds`.
//
//     AnimatedImageWriter movie(2);
//     movie.addFrame(*frame, 0.0); movie.addFrame(*frame2, 0.4);
//     movie.write("tour.webp");

#include "platform/graphics/CGImage.h"

#include <memory>
#include <string>

class AnimatedImageWriter {
public:
    explicit AnimatedImageWriter(int downscale = 2, double lastFrameSeconds = 1.0);
    ~AnimatedImageWriter();
    AnimatedImageWriter(const AnimatedImageWriter&) = delete;
    AnimatedImageWriter& operator=(const AnimatedImageWriter&) = delete;

    // Frames must come in time order; one earlier than the last is dropped. A frame of a
    // different size from the first is dropped too (an animation has one canvas).
    bool addFrame(const CGImage& frame, double seconds);
    std::size_t frameCount() const { return frames_; }
    // Writes the file (atomically: a temporary name, then a rename); false when it could not.
    bool write(const std::string& path);

private:
    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
    int downscale_;
    double last_;
    std::size_t frames_ = 0;
    double firstTime_ = 0, lastTime_ = 0;
    int width_ = 0, height_ = 0;
};
