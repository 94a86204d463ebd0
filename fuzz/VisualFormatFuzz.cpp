// Feeds arbitrary text to the visual-format parser, with a few views and metrics that it may
// name and each alignment option in turn from the input's length. Whatever the input, parsing ends
// quickly with constraints or an error, and every constraint names views that exist.

#include "platform/layout/VisualFormatParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::set<std::string> views = {"a", "b", "c", "bezel", "top", "middle", "bottom", "view1"};
    static const NSLayoutMetrics metrics = {
        {"margin", 20}, {"m", 8}, {"p", 500}, {"huge", 1e308}, {"tiny", -1e308}};
    static constexpr std::uint64_t options[] = {0, NSLayoutFormatAlignAllLeft, NSLayoutFormatAlignAllTop,
                                                NSLayoutFormatAlignAllCenterX,
                                                NSLayoutFormatAlignAllCenterY | NSLayoutFormatAlignAllLeft};
    std::string format(reinterpret_cast<const char*>(data), size);
    VisualFormatParse parse =
        parseVisualFormat(format, options[size % (sizeof options / sizeof options[0])], metrics, views);
    if (!parse.error.empty())
        return 0;
    for (const VisualFormatConstraint& c : parse.constraints) {
        if (c.firstView != "|" && !views.count(c.firstView))
            std::abort();
        if (!c.secondView.empty() && c.secondView != "|" && !views.count(c.secondView))
            std::abort();
    }
    return 0;
}
