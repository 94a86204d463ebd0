#include "sim/script/ScriptNumbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

std::optional<double> scriptNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    const bool underflow = errno == ERANGE && std::fabs(value) < 1;
    if ((errno != 0 && !underflow) || end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> scriptInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> scriptCount(const std::string& text) {
    // strtoll would take a sign or leading spaces; a count is digits only.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return scriptInteger(text);
}
