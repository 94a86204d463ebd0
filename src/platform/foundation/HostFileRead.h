#pragma once

// Reading a whole file of the host (the bundle's resources, a script given on the command line):
// never blocking and never without bound. A FIFO, a device, a socket or a folder is refused
// without waiting for a writer; a file larger than the caller's cap is refused rather than read
// until memory runs out (a file that grows while it is read is caught too).
//
//     std::string text, why;
//     if (!readHostFile(path, 1 << 20, text, why))
//         std::cerr << path << ": " << why << "\n";   // "not a regular file", "no such file", ...

#include <cstddef>
#include <string>

// Answers whether the whole file was read into `bytes`; otherwise `why` says, in a few words,
// what stood in the way ("no such file", "permission denied", "a folder, not a file",
// "not a regular file", "larger than N bytes", or the system's text for a read error).
bool readHostFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& why);
