#include "platform/graphics/CGImage.h"

#include <cairo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace {
constexpr std::size_t kMaxSide = 32767;

struct ReadCursor {
    std::span<const std::uint8_t> data;
    std::size_t offset = 0;
};

cairo_status_t readFromSpan(void* closure, unsigned char* out, unsigned int length) {
    auto* cursor = static_cast<ReadCursor*>(closure);
    if (cursor->data.size() - cursor->offset < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, cursor->data.data() + cursor->offset, length);
    cursor->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

// Loaded PNGs come back in whatever format suits them (A8 for grey masks, RGB24 without alpha);
// everything else here reads ARGB32, so other formats are converted once on load.
cairo_surface_t* normalised(cairo_surface_t* loaded) {
    cairo_format_t format = cairo_image_surface_get_format(loaded);
    if (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24)
        return loaded;
    int w = cairo_image_surface_get_width(loaded), h = cairo_image_surface_get_height(loaded);
    cairo_surface_t* converted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, loaded, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(loaded);
    return converted;
}

std::shared_ptr<CGImage> adoptLoaded(cairo_surface_t* loaded) {
    if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(loaded);
        return nullptr;
    }
    return CGImage::createWithSurface(normalised(loaded));
}
} // namespace

CGImage::CGImage(cairo_surface_t* surface, bool opaque)
    : surface_(surface), width_(static_cast<std::size_t>(cairo_image_surface_get_width(surface))),
      height_(static_cast<std::size_t>(cairo_image_surface_get_height(surface))), opaque_(opaque) {}

CGImage::~CGImage() {
    cairo_surface_destroy(surface_);
}

std::shared_ptr<CGImage> CGImage::create(std::size_t width, std::size_t height, bool opaque) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                    static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<CGImage>(new CGImage(s, opaque));
}

std::shared_ptr<CGImage> CGImage::createWithSurface(cairo_surface_t* surface) {
    if (!surface)
        return nullptr;
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    return std::shared_ptr<CGImage>(new CGImage(surface, opaque));
}

std::optional<CGImage::Size> CGImage::declaredPNGSize(std::span<const std::uint8_t> data) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() < 24 || !std::equal(std::begin(kSignature), std::end(kSignature), data.begin()) ||
        !std::equal(data.begin() + 12, data.begin() + 16, "IHDR"))
        return std::nullopt;
    auto bigEndian = [&](std::size_t at) {
        return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
               std::uint32_t{data[at + 2]} << 8 | std::uint32_t{data[at + 3]};
    };
    return Size{bigEndian(16), bigEndian(20)};
}

namespace {
bool decodableFormat(std::uint8_t bitDepth, std::uint8_t colourType) {
    switch (colourType) {
    case 0: // grey
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3: // palette
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2: // RGB
    case 4: // grey with alpha
    case 6: // RGBA
        return bitDepth == 8 || bitDepth == 16;
    default:
        return false;
    }
}

// An open file that closes itself.
class OpenFile {
public:
    // Opens a regular file for reading without waiting: O_NONBLOCK keeps a FIFO from blocking the
    // open until a writer comes, and anything but a regular file is then refused.
    explicit OpenFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Reads up to `length` bytes, fewer only at the end of the file or on an error.
    std::size_t read(unsigned char* out, std::size_t length) {
        std::size_t got = 0;
        while (got < length) {
            ssize_t n = ::read(fd_, out + got, length - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }
    bool rewind() { return ::lseek(fd_, 0, SEEK_SET) == 0; }

private:
    int fd_;
};

cairo_status_t readFromFile(void* closure, unsigned char* out, unsigned int length) {
    return static_cast<OpenFile*>(closure)->read(out, length) == length ? CAIRO_STATUS_SUCCESS
                                                                        : CAIRO_STATUS_READ_ERROR;
}
} // namespace

std::optional<CGImage::Size> CGImage::pngHeaderOfData(std::span<const std::uint8_t> data,
                                                      std::uint64_t maxPixels) {
    auto size = declaredPNGSize(data);
    if (!size || data.size() < kPNGHeaderBytes || data[8] != 0 || data[9] != 0 || data[10] != 0 ||
        data[11] != 13)
        return std::nullopt;
    if (size->width == 0 || size->height == 0 || size->width > kMaxSide || size->height > kMaxSide ||
        std::uint64_t{size->width} * size->height > maxPixels)
        return std::nullopt;
    std::uint8_t bitDepth = data[24], colourType = data[25];
    std::uint8_t compression = data[26], filter = data[27], interlace = data[28];
    if (!decodableFormat(bitDepth, colourType) || compression != 0 || filter != 0 || interlace > 1)
        return std::nullopt;
    return size;
}

std::optional<CGImage::Size> CGImage::pngHeaderOfFile(const std::string& path, std::uint64_t maxPixels) {
    OpenFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    unsigned char header[kPNGHeaderBytes];
    std::size_t got = file.read(header, sizeof header);
    return pngHeaderOfData(std::span<const std::uint8_t>(header, got), maxPixels);
}

std::shared_ptr<CGImage> CGImage::createFromPNGFile(const std::string& path, std::uint64_t maxPixels) {
    // The header is checked and the image decoded from one open file, so a file swapped in
    // between cannot slip a larger image past the bounds.
    OpenFile file(path);
    if (!file.isOpen())
        return nullptr;
    unsigned char header[kPNGHeaderBytes];
    std::size_t got = file.read(header, sizeof header);
    if (!pngHeaderOfData(std::span<const std::uint8_t>(header, got), maxPixels) || !file.rewind())
        return nullptr;
    return adoptLoaded(cairo_image_surface_create_from_png_stream(readFromFile, &file));
}

std::shared_ptr<CGImage> CGImage::createFromPNGData(std::span<const std::uint8_t> data,
                                                    std::uint64_t maxPixels) {
    if (!pngHeaderOfData(data, maxPixels))
        return nullptr;
    ReadCursor cursor{data};
    return adoptLoaded(cairo_image_surface_create_from_png_stream(readFromSpan, &cursor));
}

CGImage::Pixel CGImage::pixelAt(std::size_t x, std::size_t y) const {
    if (x >= width_ || y >= height_)
        return {};
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    std::uint32_t argb;
    std::memcpy(&argb, data + y * static_cast<std::size_t>(stride) + x * 4, 4);
    std::uint8_t a = opaque_ ? 255 : static_cast<std::uint8_t>(argb >> 24);
    auto unpremultiply = [a](std::uint32_t v) -> std::uint8_t {
        v &= 0xff;
        if (a == 0)
            return 0;
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (v * 255 + a / 2) / a));
    };
    return {unpremultiply(argb >> 16), unpremultiply(argb >> 8), unpremultiply(argb), a};
}

std::shared_ptr<CGImage> CGImage::copy() const {
    auto out = create(width_, height_, opaque_);
    if (!out)
        return nullptr;
    cairo_surface_flush(surface_);
    cairo_t* cr = cairo_create(out->surface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, surface_, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return out;
}

bool CGImage::writePNG(const std::string& path) const {
    namespace fs = std::filesystem;
    std::random_device rd;
    fs::path target(path);
    fs::path temp = target;
    temp += ".tmp" + std::to_string(rd());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    cairo_surface_flush(surface_);
    bool ok = cairo_surface_write_to_png_stream(surface_, writeToFile, f) == CAIRO_STATUS_SUCCESS;
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok)
        fs::rename(temp, target, ec);
    if (!ok || ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> CGImage::PNGData() const {
    std::vector<std::uint8_t> out;
    cairo_surface_flush(surface_);
    if (cairo_surface_write_to_png_stream(surface_, appendToVector, &out) != CAIRO_STATUS_SUCCESS)
        return {};
    return out;
}
