#pragma once

// Resolving a device path ("/var/mobile/Library/Preferences/x.plist") inside a device root folder
// on the host. The walk goes one component at a time with openat and O_NOFOLLOW, so the kernel
// never follows a link on its own: a symbolic link is read and its target spliced into the rest
// of the path, an absolute target starting again at the device root. A ".." that would climb
// above the root, by itself or through a link, is refused (EXDEV); so is a chain of more than 40
// links (ELOOP). Nothing outside the root is ever opened.
//
//     UniqueFd root(open(hostRoot, O_PATH | O_DIRECTORY | O_CLOEXEC));
//     ResolvedDevicePath r;
//     if (resolveDevicePath(root.get(), "/var/mobile/x.plist", true, r) == 0)
//         int fd = openat(r.parent.get(), r.name.c_str(), O_RDONLY | O_NOFOLLOW);

#include "platform/foundation/UniqueFd.h"

#include <string>
#include <string_view>

struct ResolvedDevicePath {
    UniqueFd parent;  // the folder holding the last component (O_PATH)
    std::string name; // the last component; "." when the path ends at a folder reached by ".." or is "/"
};

// Answers 0 and fills `out`, or an errno value. With `followLast` a link in the last component
// is followed too (reading, listing, existence); without it the last component is taken as it
// stands (writing replaces a link rather than writing through it). The last component need not
// exist; every folder before it must. A relative device path is taken from the root.
int resolveDevicePath(int rootFd, std::string_view devicePath, bool followLast, ResolvedDevicePath& out);

// Opens the device path in one system call when no link and no "." or ".." takes part in it:
// the kernel walks beneath the root and refuses every link, so what opens is what the walk above
// would reach. `flags` are openat's (O_CLOEXEC is added). Answers 0 and fills `out`, an errno
// value that the walk would give as well (ENOENT, ENOTDIR, EACCES), or -1 when the walk must
// decide: a link on the way, a dot component, the root itself, a kernel without openat2.
int openDevicePathBeneath(int rootFd, std::string_view devicePath, int flags, UniqueFd& out);
