#pragma once

// Whole-file replacement that a crash cannot tear. The new contents go to a fresh temporary file
// in the same folder (".<name>.tmp-XXXXXX", created exclusively, with the old file's mode or
// 0644), are flushed to disk, and the temporary file is renamed over the target; then the folder
// is flushed so that the rename itself survives a power cut. Whatever happens, the target holds
// either its old or its new contents, whole.
//
// Failures are values: the step that failed ("write", "fsync", "rename"...) as the reason, and its
// errno as the code. A failed fsync is never retried (after
// one, the kernel may already have dropped the dirty pages, so a second "success" would lie); the
// temporary file is removed on every failure. A writer that dies between creating and renaming
// its temporary file leaves it behind; each write removes such leftovers from its folder, telling
// them from the files of writers still at work by the lock that every live writer holds on its
// temporary file.

#include "platform/foundation/Result.h"

#include <cstdint>
#include <span>
#include <string>

// Replaces `name` in the folder `folderFd` (an fd of the folder, O_PATH is enough) with `bytes`.
// `name` must be a single path component. A symbolic link at `name` is replaced, not followed.
// A failure names the step that failed ("name", "create", "lock", "chmod", "write", "fsync",
// "rename", "folder fsync") and carries its errno.
Result<> writeFileAtomically(int folderFd, const std::string& name, std::span<const std::uint8_t> bytes);

// Whether `name` has the form of this writer's temporary files.
bool isAtomicWriteTemporaryName(const std::string& name);

// Removes temporary files in the folder that no live writer holds. Answers how many it removed.
int removeAtomicWriteLeftovers(int folderFd);
