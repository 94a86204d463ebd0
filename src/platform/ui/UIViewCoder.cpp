#include "platform/ui/UIViewCoder.h"

#include "platform/foundation/NSDictionary.h"

#include <cmath>
#include <string>

namespace {

std::optional<double> finiteNumber(const PlistValue& value) {
    if (!(value.isInteger() || value.isReal() || value.isUnsignedInteger()))
        return std::nullopt;
    double number = value.doubleValue();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

} // namespace

Result<UIViewCoder> UIViewCoder::coderWithContentsOfFile(std::string_view devicePath) {
    PlistValue archive = NSDictionary::dictionaryWithContentsOfFile(devicePath);
    if (!archive)
        return Failure{std::string(devicePath) + ": not a property list with a dictionary at its top"};
    return UIViewCoder(std::move(archive));
}

Result<UIViewCoder> UIViewCoder::coderWithDictionary(PlistValue archive) {
    if (!archive.isDictionary())
        return Failure{"a view archive is a dictionary"};
    return UIViewCoder(std::move(archive));
}

bool UIViewCoder::containsValueForKey(std::string_view key) const {
    return !archive_.get(key).isNone();
}

std::optional<double> UIViewCoder::decodeDoubleForKey(std::string_view key) const {
    return finiteNumber(archive_.get(key));
}

std::optional<bool> UIViewCoder::decodeBoolForKey(std::string_view key) const {
    PlistValue value = archive_.get(key);
    if (!value.isBoolean())
        return std::nullopt;
    return value.boolValue();
}

std::optional<std::int64_t> UIViewCoder::decodeIntegerForKey(std::string_view key) const {
    PlistValue value = archive_.get(key);
    if (!value.isInteger() || value.isUnsignedInteger())
        return std::nullopt;
    return value.integerValue();
}

std::optional<std::vector<double>> UIViewCoder::numbersForKey(std::string_view key, std::size_t count) const {
    PlistValue value = archive_.get(key);
    if (!value.isArray() || value.count() != count)
        return std::nullopt;
    std::vector<double> numbers;
    numbers.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto number = finiteNumber(value.at(i));
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }
    return numbers;
}

std::optional<CGRect> UIViewCoder::decodeRectForKey(std::string_view key) const {
    auto n = numbersForKey(key, 4);
    if (!n)
        return std::nullopt;
    return CGRectMake((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
}

std::optional<UIColor> UIViewCoder::decodeColorForKey(std::string_view key) const {
    auto n = numbersForKey(key, 4);
    if (!n)
        return std::nullopt;
    for (double component : *n) {
        if (component < 0 || component > 1)
            return std::nullopt;
    }
    return UIColor::colorWithRed((*n)[0], (*n)[1], (*n)[2], (*n)[3]);
}
