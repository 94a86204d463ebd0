#include "pane/QueryParameters.h"

#include "platform/foundation/NSCharacterSet.h"

std::string NSStringFromQueryParameters(const PlistValue& parameters) {
    auto entries = parameters.dictionaryValue();
    if (!entries)
        return {};
    const NSCharacterSet& allowed = NSCharacterSet::URLUnreservedCharacterSet();
    std::string out;
    for (const auto& [key, value] : *entries) {
        if (!out.empty())
            out += '&';
        out += NSStringByAddingPercentEncoding(key, allowed);
        out += '=';
        out += NSStringByAddingPercentEncoding(value.description(), allowed);
    }
    return out;
}
