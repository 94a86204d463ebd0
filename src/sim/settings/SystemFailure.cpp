#include "sim/settings/SystemFailure.h"

#include <cerrno>
#include <cstring>

Failure systemFailure(const std::string& what) {
    const int code = errno;
    return Failure{what + ": " + std::strerror(code), code};
}
