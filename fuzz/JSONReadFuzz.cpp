// Feeds arbitrary bytes to the catalogue's JSON reader, with and without fragments allowed, and a
// parsed catalogue to the screen's choice of rows and its package addresses. Whatever the input,
// reading ends quickly with a value or an error, never both and never neither.

#include "pane/ExtensionsTableViewController.h"
#include "platform/foundation/NSJSONSerialization.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

PlistValue readChecked(std::string_view text, std::uint64_t options) {
    std::shared_ptr<NSError> error;
    PlistValue value = NSJSONSerialization::JSONObjectWithData(text, options, &error);
    if (static_cast<bool>(value) == static_cast<bool>(error))
        std::abort();
    // Without fragments the top level is a container.
    if (value && !(options & NSJSONReadingFragmentsAllowed) && !value.isArray() && !value.isDictionary())
        std::abort();
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PlistValue strict = readChecked(text, 0);
    PlistValue fragments = readChecked(text, NSJSONReadingFragmentsAllowed);
    // Allowing fragments never turns a readable document away.
    if (strict && !fragments)
        std::abort();

    PlistValue rows = ExtensionsTableViewController::displayableItems(strict);
    if (!rows.isArray())
        return 0;
    for (const PlistValue& item : *rows.arrayValue()) {
        if (!item.isDictionary())
            std::abort();
        (void)ExtensionsTableViewController::packageURLString(item, true);
        (void)ExtensionsTableViewController::packageURLString(item, false);
    }
    return 0;
}
