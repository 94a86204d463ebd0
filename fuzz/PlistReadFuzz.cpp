// Feeds arbitrary bytes to the property-list reader. Whatever the input, reading must end
// quickly with a value or an error, and a value that came back must survive a rewrite: what is
// written reads back, and writing that again gives the same bytes (so nothing was lost or
// changed on the way, NaN included).

#include "platform/foundation/plist/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

[[noreturn]] void lost(const char* what) {
    std::fprintf(stderr, "a value read did not survive a rewrite: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PlistReadResult r = readPropertyList(std::span<const std::uint8_t>(data, size));
    if (!r.ok())
        return 0;
    PlistWriteResult first = writePropertyList(r.value);
    if (!first.ok())
        return 0; // refused, with a reason: allowed (a date that is not finite)
    PlistReadResult again = readPropertyList(bytesOf(first.bytes));
    if (!again.ok())
        lost(again.error->localizedDescription().c_str());
    PlistWriteResult second = writePropertyList(again.value);
    if (!second.ok() || second.bytes != first.bytes)
        lost("the second write differs from the first");
    return 0;
}
