#include "platform/foundation/plist/PropertyList.h"

#include "platform/foundation/plist/BinaryPlistReader.h"
#include "platform/foundation/plist/BinaryPlistWriter.h"
#include "platform/foundation/plist/OpenStepPlistParser.h"
#include "platform/foundation/plist/PlistEncoding.h"
#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/XmlPlist.h"

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

PlistFormat detectFormat(std::string_view s) {
    if (s.starts_with("bplist"))
        return PlistFormat::Binary;
    if (s.starts_with("\xEF\xBB\xBF"))
        s.remove_prefix(3);
    std::size_t first = s.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && s.substr(first).starts_with("<?xml"))
        return PlistFormat::XML;
    if (first != std::string_view::npos &&
        (s.substr(first).starts_with("<plist") || s.substr(first).starts_with("<!")))
        return PlistFormat::XML;
    return PlistFormat::OpenStep;
}

std::shared_ptr<NSError> writeError(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                           "The data couldn’t be written because it isn’t in the correct format (" + reason +
                               ").");
}

} // namespace

std::shared_ptr<NSError> plistReadError(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                           "The data couldn’t be read because it isn’t in the correct format (" + reason +
                               ").");
}

PlistReadResult readPropertyList(std::span<const std::uint8_t> bytes, const PlistLimits& limits) {
    return readPropertyList(bytes, limits, PlistReadOptions{});
}

PlistReadResult readPropertyList(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                 const PlistReadOptions& options) {
    if (options.lines)
        options.lines->clear();
    if (bytes.empty()) {
        if (options.blankIsEmptyDictionary)
            return {PlistValue::dictionary(), nullptr, PlistFormat::OpenStep};
        return {PlistValue(), plistReadError("empty"), PlistFormat::XML};
    }
    if (bytes.size() > limits.maxBytes || bytes.size() > UINT32_MAX)
        return {PlistValue(), plistReadError("larger than the size limit"), PlistFormat::XML};
    // UTF-16 text is read in its UTF-8 form, whichever form it holds.
    std::string converted;
    if (hasUtf16ByteOrderMark(bytes)) {
        if (auto why = utf16ToUtf8(bytes, converted))
            return {PlistValue(), plistReadError(*why), PlistFormat::OpenStep};
        bytes = std::span(reinterpret_cast<const std::uint8_t*>(converted.data()), converted.size());
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    PlistFormat format = detectFormat(text);
    if (format == PlistFormat::OpenStep) {
        if (options.blankIsEmptyDictionary && isBlankOpenStepText(bytes))
            return {PlistValue::dictionary(), nullptr, PlistFormat::OpenStep};
        return parseOpenStepPlist(bytes, limits, options.lines);
    }
    if (format == PlistFormat::XML)
        return readXmlPlist(bytes, limits, options.lines);
    return readBinaryPlist(bytes, limits);
}

PlistWriteResult writePropertyListXML(const PlistValue& value, const PlistLimits& limits) {
    PlistWriteResult result;
    if (auto e = writeXmlPlist(value, limits, result.bytes)) {
        result.bytes.clear();
        result.error = writeError(*e);
    }
    return result;
}

PlistWriteResult writePropertyList(const PlistValue& value, const PlistLimits& limits) {
    PlistWriteResult result;
    if (!writeXmlPlist(value, limits, result.bytes))
        return result;
    // What XML text cannot give back exactly (a control character, bytes that are not UTF-8, a
    // date with a fraction of a second) is kept in the binary form, which every reader of
    // property lists on the device takes as well.
    result.bytes.clear();
    if (auto e = writeBinaryPlist(value, limits, result.bytes))
        result.error = writeError(*e);
    return result;
}
