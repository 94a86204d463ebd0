#include "sim/screen/AnimatedImageWriter.h"

#include "platform/foundation/NSLog.h"

#include <cairo.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

struct AnimatedImageWriter::Encoder {
    WebPAnimEncoder* enc = nullptr;
    ~Encoder() {
        if (enc)
            WebPAnimEncoderDelete(enc);
    }
};

AnimatedImageWriter::AnimatedImageWriter(int downscale, double lastFrameSeconds)
    : encoder_(std::make_unique<Encoder>()), downscale_(std::max(1, downscale)), last_(lastFrameSeconds) {}

AnimatedImageWriter::~AnimatedImageWriter() = default;

bool AnimatedImageWriter::addFrame(const CGImage& frame, double seconds) {
    int w = static_cast<int>(frame.width()) / downscale_, h = static_cast<int>(frame.height()) / downscale_;
    if (w < 1 || h < 1 || !std::isfinite(seconds))
        return false;
    if (frames_ == 0) {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options))
            return false;
        options.allow_mixed = 0;
        options.kmin = 3;
        options.kmax = 30;
        encoder_->enc = WebPAnimEncoderNew(w, h, &options);
        if (!encoder_->enc)
            return false;
        width_ = w, height_ = h;
        firstTime_ = lastTime_ = seconds;
    } else if (w != width_ || h != height_ || seconds < lastTime_) {
        return false;
    }
    // Scale down by averaging whole pixel blocks (box filter) into straight RGBA.
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    const int n = downscale_ * downscale_;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int r = 0, g = 0, b = 0, a = 0;
            for (int dy = 0; dy < downscale_; ++dy)
                for (int dx = 0; dx < downscale_; ++dx) {
                    auto p = frame.pixelAt(static_cast<std::size_t>(x * downscale_ + dx),
                                           static_cast<std::size_t>(y * downscale_ + dy));
                    r += p.r, g += p.g, b += p.b, a += p.a;
                }
            std::size_t i =
                (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
            rgba[i] = static_cast<std::uint8_t>(r / n);
            rgba[i + 1] = static_cast<std::uint8_t>(g / n);
            rgba[i + 2] = static_cast<std::uint8_t>(b / n);
            rgba[i + 3] = static_cast<std::uint8_t>(a / n);
        }
    }
    WebPPicture picture;
    if (!WebPPictureInit(&picture))
        return false;
    picture.width = w;
    picture.height = h;
    picture.use_argb = 1;
    bool ok = WebPPictureImportRGBA(&picture, rgba.data(), w * 4);
    WebPConfig config;
    ok = ok && WebPConfigInit(&config);
    config.quality = 80;
    config.method = 2;
    auto timestamp = static_cast<int>(std::lround((seconds - firstTime_) * 1000));
    ok = ok && WebPAnimEncoderAdd(encoder_->enc, &picture, timestamp, &config);
    WebPPictureFree(&picture);
    if (!ok)
        return false;
    lastTime_ = seconds;
    ++frames_;
    return true;
}

bool AnimatedImageWriter::write(const std::string& path) {
    if (!encoder_->enc || frames_ == 0)
        return false;
    auto end = static_cast<int>(std::lround((lastTime_ - firstTime_ + last_) * 1000));
    if (!WebPAnimEncoderAdd(encoder_->enc, nullptr, end, nullptr))
        return false;
    WebPData data;
    WebPDataInit(&data);
    bool ok = WebPAnimEncoderAssemble(encoder_->enc, &data);
    if (ok) {
        std::string temporary = path + ".partial";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(data.bytes), static_cast<std::streamsize>(data.size));
            ok = static_cast<bool>(out.flush());
        }
        ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
        if (!ok) {
            std::remove(temporary.c_str());
            NSLog("Couldn't write the recording %@", {PlistValue(path)});
        }
    }
    WebPDataClear(&data);
    return ok;
}
