#pragma once

// The failure of the system call that has just failed, for a message about the file or folder it
// was about: `what`, then the system's reason for errno ("\"Library\": Permission denied"), with
// errno as the code. Call it before anything else can change errno.
//
//     if (::mkdirat(folder, name, 0755) != 0 && errno != EEXIST)
//         return systemFailure(doubleQuoted(name));

#include "platform/foundation/Result.h"

#include <string>

Failure systemFailure(const std::string& what);
