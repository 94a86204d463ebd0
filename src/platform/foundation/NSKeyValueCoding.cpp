#include "platform/foundation/NSKeyValueCoding.h"

#include <cctype>

std::string NSKeyValueSetterSelector(std::string_view key) {
    std::string selector = "set";
    selector += key;
    if (selector.size() > 3)
        selector[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(selector[3])));
    selector += ':';
    return selector;
}

bool NSKeyValueSetValue(NSObject& object, const PlistValue& value, std::string_view key) {
    std::string selector = NSKeyValueSetterSelector(key);
    if (key.empty() || !object.respondsToSelector(selector))
        return false;
    object.performSelector(selector, {value});
    return true;
}
