#include "platform/foundation/plist/PlistValue.h"

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistDescription.h"

namespace {
const std::string kEmptyString;
const PlistData kEmptyData;
} // namespace

PlistValue::PlistValue(std::shared_ptr<PlistArray> a) {
    if (a)
        v_ = std::move(a);
}
PlistValue::PlistValue(std::shared_ptr<PlistDictionary> d) {
    if (d)
        v_ = std::move(d);
}
PlistValue::PlistValue(std::shared_ptr<NSObject> o) {
    if (o)
        v_ = std::move(o);
}

PlistValue PlistValue::array(PlistArray items) {
    return PlistValue(std::make_shared<PlistArray>(std::move(items)));
}
PlistValue PlistValue::dictionary() {
    return PlistValue(std::make_shared<PlistDictionary>());
}
PlistValue PlistValue::dictionary(PlistDictionary entries) {
    return PlistValue(std::make_shared<PlistDictionary>(std::move(entries)));
}

PlistValue PlistValue::unsignedInteger(std::uint64_t u) {
    PlistValue v;
    if (u <= static_cast<std::uint64_t>(INT64_MAX))
        v.v_ = static_cast<std::int64_t>(u);
    else
        v.v_ = Unsigned{u};
    return v;
}

PlistValue::Kind PlistValue::kind() const {
    return isUnsignedInteger() ? Kind::Integer : static_cast<Kind>(v_.index());
}

const std::string& PlistValue::stringValue() const {
    const auto* s = std::get_if<std::string>(&v_);
    return s ? *s : kEmptyString;
}

std::int64_t PlistValue::integerValue() const {
    if (const auto* u = std::get_if<Unsigned>(&v_))
        return static_cast<std::int64_t>(u->value);
    switch (kind()) {
    case Kind::Integer:
        return std::get<std::int64_t>(v_);
    case Kind::Real:
        return static_cast<std::int64_t>(std::get<double>(v_));
    case Kind::Boolean:
        return std::get<bool>(v_) ? 1 : 0;
    case Kind::String:
        return std::strtoll(stringValue().c_str(), nullptr, 10);
    default:
        return 0;
    }
}

std::uint64_t PlistValue::unsignedValue() const {
    if (const auto* u = std::get_if<Unsigned>(&v_))
        return u->value;
    return static_cast<std::uint64_t>(integerValue());
}

double PlistValue::doubleValue() const {
    if (const auto* u = std::get_if<Unsigned>(&v_))
        return static_cast<double>(u->value);
    switch (kind()) {
    case Kind::Integer:
        return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Real:
        return std::get<double>(v_);
    case Kind::Boolean:
        return std::get<bool>(v_) ? 1.0 : 0.0;
    case Kind::String:
        return std::strtod(stringValue().c_str(), nullptr);
    default:
        return 0;
    }
}

bool PlistValue::boolValue() const {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(v_);
    case Kind::Integer:
        return integerValue() != 0;
    case Kind::Real:
        return std::get<double>(v_) != 0;
    case Kind::String: {
        // NSString's boolValue: leading whitespace, then Y/y/T/t or a non-zero digit.
        const std::string& s = stringValue();
        std::size_t i = s.find_first_not_of(" \t\n");
        if (i == std::string::npos)
            return false;
        char c = s[i];
        if (c == 'Y' || c == 'y' || c == 'T' || c == 't')
            return true;
        if (c == '+' || c == '-')
            c = i + 1 < s.size() ? s[i + 1] : '0';
        return c >= '1' && c <= '9';
    }
    default:
        return false;
    }
}

NSDate PlistValue::dateValue() const {
    const auto* d = std::get_if<NSDate>(&v_);
    return d ? *d : NSDate{};
}

const PlistData& PlistValue::dataValue() const {
    const auto* d = std::get_if<std::shared_ptr<PlistData>>(&v_);
    return d ? **d : kEmptyData;
}

std::shared_ptr<PlistArray> PlistValue::arrayValue() const {
    const auto* a = std::get_if<std::shared_ptr<PlistArray>>(&v_);
    return a ? *a : nullptr;
}

std::shared_ptr<PlistDictionary> PlistValue::dictionaryValue() const {
    const auto* d = std::get_if<std::shared_ptr<PlistDictionary>>(&v_);
    return d ? *d : nullptr;
}

std::shared_ptr<NSObject> PlistValue::objectValue() const {
    const auto* o = std::get_if<std::shared_ptr<NSObject>>(&v_);
    return o ? *o : nullptr;
}

PlistValue PlistValue::get(std::string_view key) const {
    auto d = dictionaryValue();
    if (!d)
        return {};
    auto it = d->find(key);
    return it == d->end() ? PlistValue() : it->second;
}

void PlistValue::set(std::string key, PlistValue value) const {
    if (auto d = dictionaryValue()) {
        if (value.isNone())
            d->erase(key);
        else
            (*d)[std::move(key)] = std::move(value);
    }
}

void PlistValue::remove(std::string_view key) const {
    if (auto d = dictionaryValue()) {
        auto it = d->find(key);
        if (it != d->end())
            d->erase(it);
    }
}

PlistValue PlistValue::at(std::size_t index) const {
    auto a = arrayValue();
    return a && index < a->size() ? (*a)[index] : PlistValue();
}

void PlistValue::append(PlistValue value) const {
    if (auto a = arrayValue())
        a->push_back(std::move(value));
}

std::size_t PlistValue::count() const {
    if (auto a = arrayValue())
        return a->size();
    if (auto d = dictionaryValue())
        return d->size();
    return 0;
}

std::string PlistValue::description() const {
    return plistDescription(*this);
}

bool PlistValue::operator==(const PlistValue& other) const {
    if (kind() != other.kind())
        return false;
    switch (kind()) {
    case Kind::Data:
        return dataValue() == other.dataValue();
    case Kind::Array: {
        auto a = arrayValue(), b = other.arrayValue();
        return a == b || *a == *b;
    }
    case Kind::Dictionary: {
        auto a = dictionaryValue(), b = other.dictionaryValue();
        return a == b || *a == *b;
    }
    default:
        return v_ == other.v_;
    }
}

PlistValue PlistValue::deepCopy() const {
    switch (kind()) {
    case Kind::Data:
        return PlistValue(dataValue());
    case Kind::Array: {
        PlistArray items;
        for (const auto& item : *arrayValue())
            items.push_back(item.deepCopy());
        return array(std::move(items));
    }
    case Kind::Dictionary: {
        const auto& source = *dictionaryValue();
        PlistDictionary entries;
        entries.reserve(source.size());
        for (const auto& [k, item] : source)
            entries.emplace(k, item.deepCopy());
        return dictionary(std::move(entries));
    }
    default:
        return *this;
    }
}

PlistValue PlistValue::mutableCopy() const {
    if (auto a = arrayValue())
        return array(*a);
    if (auto d = dictionaryValue())
        return dictionary(*d);
    return *this;
}
