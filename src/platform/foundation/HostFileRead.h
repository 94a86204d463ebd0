#pragma once

// Reading a whole file of the host (the bundle's resources, a script given on the command line):
// never blocking and never without bound. A FIFO, a device, a socket or a folder is refused
// without waiting for a writer; a file larger than the caller's cap is refused rather than read
// until memory runs out (a file that grows while it is read is caught too).
//
//     Result<std::string> text = readHostFile(path, 1 << 20);
//     if (!text)
//         std::cerr << path << ": " << text.failure().reason << "\n";   // "no such file", ...

#include "platform/foundation/Result.h"

#include <cstddef>
#include <string>

// The whole file, or why not, in a few words: "no such file", "permission denied", "a folder,
// not a file", "not a regular file", "larger than N bytes", or the system's text for a read error.
// The failure's code is the errno behind it (EFBIG when too large, 0 for "not a regular file").
Result<std::string> readHostFile(const std::string& path, std::size_t maxBytes);
