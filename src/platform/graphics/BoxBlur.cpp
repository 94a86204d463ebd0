#include "platform/graphics/BoxBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

bool CGPixelRegion::valid(std::size_t capacity) const {
    if (!data || width <= 0 || height <= 0 || stride < width)
        return false;
    return static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) +
               static_cast<std::size_t>(width) <=
           capacity;
}

std::array<int, 3> CGBoxRadiiForVariance(double variance) {
    std::array<int, 3> radii{};
    if (!(variance > 0) || !std::isfinite(variance))
        return radii;
    // A box of odd width w has variance (w² − 1) / 12. Three boxes of one width rarely hit the
    // variance exactly, so some passes take the odd width below the ideal one and the rest the
    // odd width above, as many of each as brings the sum closest.
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * variance / n + 1);
    int lower = static_cast<int>(std::floor(std::min(ideal, 4097.0)));
    if (lower % 2 == 0)
        --lower;
    const double wl = lower;
    const int lowerCount = std::clamp(
        static_cast<int>(std::lround((12 * variance - n * wl * wl - 4 * n * wl - 3 * n) / (-4 * wl - 4))), 0,
        n);
    for (int i = 0; i < n; ++i)
        radii[static_cast<std::size_t>(i)] = ((i < lowerCount ? lower : lower + 2) - 1) / 2;
    std::sort(radii.begin(), radii.end());
    return radii;
}

CGBackdropBlurPlan CGBackdropBlurPlanForSigma(double sigma) {
    CGBackdropBlurPlan plan;
    if (!(sigma > 0) || !std::isfinite(sigma))
        return plan;
    sigma = std::min(sigma, 1024.0);
    plan.factor = std::clamp(static_cast<int>(sigma / 3), 1, 8);
    const double f = plan.factor;
    // The reduction averages f pixels (variance (f² − 1) / 12) and the bilinear enlargement
    // spreads each reduced pixel over a tent 2f wide (variance f² / 6); the boxes make up the rest.
    const double rest = sigma * sigma - (f * f - 1) / 12 - f * f / 6;
    plan.radii = CGBoxRadiiForVariance(rest / (f * f));
    plan.margin = static_cast<int>(std::ceil(3 * sigma));
    return plan;
}

namespace {

// Division by a box's width as a fixed-point multiplication, rounded to nearest: exact for sums
// of equal values, so flat areas keep their colour. A sum of at most 255 values per counted pixel
// never rounds past 255, since the reciprocal's error times the sum stays below one half.
struct Reciprocal {
    explicit Reciprocal(std::uint32_t divisor) : value(((std::uint64_t{1} << 32) + divisor / 2) / divisor) {}
    std::uint32_t operator()(std::uint32_t sum) const {
        return static_cast<std::uint32_t>((sum * value + (std::uint64_t{1} << 31)) >> 32);
    }
    std::uint64_t value;
};

// A pixel's four channels spread over two words, two 32-bit lanes each (blue and red in one,
// green and alpha in the other), so one addition moves a whole pixel into a running sum that
// cannot overflow for any window that fits in memory.
struct Lanes {
    std::uint64_t br = 0;
    std::uint64_t ga = 0;

    static std::uint64_t spread(std::uint32_t p) {
        const std::uint64_t q = p & 0x00ff00ffu;
        return (q | q << 16) & 0x000000ff000000ffull;
    }
    void add(std::uint32_t p) { br += spread(p), ga += spread(p >> 8); }
    void remove(std::uint32_t p) { br -= spread(p), ga -= spread(p >> 8); }
    void add(const Lanes& o) { br += o.br, ga += o.ga; }
    void remove(const Lanes& o) { br -= o.br, ga -= o.ga; }
    std::uint32_t divided(const Reciprocal& divide) const {
        return divide(static_cast<std::uint32_t>(br)) | divide(static_cast<std::uint32_t>(ga)) << 8 |
               divide(static_cast<std::uint32_t>(br >> 32)) << 16 |
               divide(static_cast<std::uint32_t>(ga >> 32)) << 24;
    }
};

// One horizontal box pass over a row, from `in` to `out`, repeating the row's end pixels.
void boxRow(const std::uint32_t* in, std::uint32_t* out, int n, int r, const Reciprocal& divide) {
    Lanes sum;
    for (int k = -r; k <= r; ++k)
        sum.add(in[std::clamp(k, 0, n - 1)]);
    for (int i = 0; i < n; ++i) {
        out[i] = sum.divided(divide);
        // Slide the window: the pixel entering on the right, the one leaving on the left.
        sum.add(in[std::min(i + r + 1, n - 1)]);
        sum.remove(in[std::max(i - r, 0)]);
    }
}

// One vertical box pass, from `in` to `out`, a whole row at a time so memory is read in order:
// `sums` holds the window's running sums of every column.
void boxColumns(const CGPixelRegion& in, const CGPixelRegion& out, int r, const Reciprocal& divide,
                std::vector<Lanes>& sums) {
    const int w = in.width, h = in.height;
    sums.assign(static_cast<std::size_t>(w), Lanes{});
    auto row = [&](const CGPixelRegion& image, int y) {
        return image.data + static_cast<std::size_t>(std::clamp(y, 0, h - 1)) * image.stride;
    };
    for (int k = -r; k <= r; ++k) {
        const std::uint32_t* line = row(in, k);
        for (int x = 0; x < w; ++x)
            sums[static_cast<std::size_t>(x)].add(line[x]);
    }
    for (int y = 0; y < h; ++y) {
        std::uint32_t* line = row(out, y);
        const std::uint32_t* entering = row(in, y + r + 1);
        const std::uint32_t* leaving = row(in, y - r);
        for (int x = 0; x < w; ++x) {
            Lanes& sum = sums[static_cast<std::size_t>(x)];
            line[x] = sum.divided(divide);
            sum.add(entering[x]);
            sum.remove(leaving[x]);
        }
    }
}

} // namespace

void CGBoxBlurPixels(CGPixelRegion image, std::size_t capacity, std::span<const int> radii) {
    if (!image.valid(capacity))
        return;
    // Each pass reads one buffer and writes the other, so nothing is read after it was written.
    std::vector<std::uint32_t> scratchPixels(static_cast<std::size_t>(image.width) * image.height);
    const CGPixelRegion scratch{scratchPixels.data(), image.width, image.height, image.width};
    std::vector<Lanes> sums;
    for (int r : radii) {
        if (r <= 0)
            continue;
        const Reciprocal divide(static_cast<std::uint32_t>(2 * r + 1));
        for (int y = 0; y < image.height; ++y)
            boxRow(image.data + static_cast<std::size_t>(y) * image.stride,
                   scratch.data + static_cast<std::size_t>(y) * scratch.stride, image.width, r, divide);
        boxColumns(scratch, image, r, divide, sums);
    }
}

bool CGDownsamplePixels(const CGPixelRegion& source, int factor, const CGPixelRegion& destination) {
    if (factor <= 0 || factor > 16 || source.width <= 0 || source.height <= 0 || !source.data ||
        !destination.data || destination.width != (source.width + factor - 1) / factor ||
        destination.height != (source.height + factor - 1) / factor || source.stride < source.width ||
        destination.stride < destination.width)
        return false;
    // A block of at most 16 × 16 pixels sums to at most 256 × 255 per channel, which fits a 16-bit
    // lane: each pixel is added whole, its four channels spread over one word.
    auto spread = [](std::uint32_t p) {
        return (p & 0x00ff00ffu) | static_cast<std::uint64_t>(p & 0xff00ff00u) << 24;
    };
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(destination.width));
    for (int sy = 0; sy < destination.height; ++sy) {
        std::fill(sums.begin(), sums.end(), 0);
        const int top = sy * factor, bottom = std::min(source.height, top + factor);
        for (int y = top; y < bottom; ++y) {
            const std::uint32_t* line = source.data + static_cast<std::size_t>(y) * source.stride;
            for (int sx = 0; sx < destination.width; ++sx) {
                std::uint64_t sum = 0;
                const int end = std::min(source.width, (sx + 1) * factor);
                for (int x = sx * factor; x < end; ++x)
                    sum += spread(line[x]);
                sums[static_cast<std::size_t>(sx)] += sum;
            }
        }
        std::uint32_t* out = destination.data + static_cast<std::size_t>(sy) * destination.stride;
        for (int sx = 0; sx < destination.width; ++sx) {
            const auto count = static_cast<std::uint32_t>(
                (bottom - top) * (std::min(source.width, (sx + 1) * factor) - sx * factor));
            const Reciprocal divide(count);
            const std::uint64_t sum = sums[static_cast<std::size_t>(sx)];
            out[sx] = divide(sum & 0xffff) | divide((sum >> 16) & 0xffff) << 16 |
                      divide((sum >> 32) & 0xffff) << 8 | divide(sum >> 48) << 24;
        }
    }
    return true;
}
