#pragma once

// The file manager of the simulated device. Every path it takes is a device path
// ("/Library/MobileSubstrate/DynamicLibraries") and resolves under the device root, a folder on
// the host: "/" on a phone, the device folder in the simulator. A path that climbs out of the
// root, through ".." or a symbolic link, is refused; a link to an absolute device path
// ("/var/x") resolves inside the root. Errors name device paths, never host paths. The default
// manager, and with it the device root, is the current device environment's.
//
//     NSFileManager::setDeviceRoot("/tmp/device");
//     auto fm = NSFileManager::defaultManager();
//     std::shared_ptr<NSError> error;
//     if (auto names = fm->contentsOfDirectoryAtPath("/Library", &error)) ...
//
// A manager is immutable and may be used from any thread.

#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/plist/PropertyList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class NSFileManager : public NSObject {
public:
    // The manager for the current device root ("/" until setDeviceRoot is called).
    static std::shared_ptr<NSFileManager> defaultManager();
    // Makes `hostPath` the device root of the default manager from now on.
    static void setDeviceRoot(std::string hostPath);
    // A manager for another root, independent of the default one.
    static std::shared_ptr<NSFileManager> create(std::string hostRoot);

    const std::string& deviceRoot() const { return root_; }

    // Whether something exists at the path, following links (a dangling link does not exist).
    bool fileExistsAtPath(std::string_view path) const;
    bool fileExistsAtPath(std::string_view path, bool* isDirectory) const;

    // The names of the folder's entries, without "." and "..", sorted by their bytes so that
    // every run sees the same order. None and an error when the folder cannot be listed.
    std::optional<std::vector<std::string>>
    contentsOfDirectoryAtPath(std::string_view path, std::shared_ptr<NSError>* error = nullptr) const;

    // The folder at the path, opened once for reading many of its entries (see DeviceFolder.h).
    // None and an error, as contentsOfDirectoryAtPath gives, when there is no folder there.
    std::optional<DeviceFolder> openDirectoryAtPath(std::string_view path,
                                                    std::shared_ptr<NSError>* error = nullptr) const;

    // `destinationOfSymbolicLinkAtPath:error:`: the target of the link at the path, as the link
    // spells it (not followed); none when there is no link there.
    std::optional<std::string> destinationOfSymbolicLinkAtPath(std::string_view path) const;

    // The bytes of a regular file, at most `maxBytes` of them (a larger file is an error).
    std::optional<std::vector<std::uint8_t>>
    contentsAtPath(std::string_view path, std::shared_ptr<NSError>* error,
                   std::size_t maxBytes = PlistLimits{}.maxBytes) const;

    // The first `count` bytes of a regular file (all of a shorter one), for a reader that looks at
    // a file's header before it reads the rest. The file is opened as contentsAtPath opens it and
    // refused for the same reasons, a file over `maxBytes` included, so what passes here is what
    // contentsAtPath would read whole.
    std::optional<std::vector<std::uint8_t>>
    headOfFileAtPath(std::string_view path, std::size_t count, std::shared_ptr<NSError>* error,
                     std::size_t maxBytes = PlistLimits{}.maxBytes) const;

    // Reads the file as a property list (any form), bounded by `limits`. The tree may be shared
    // with other readers of the same contents: treat it as immutable and change a mutableCopy.
    PlistReadResult propertyListAtPath(std::string_view path, const PlistLimits& limits = {}) const;

    // Replaces the file with `bytes` atomically (see AtomicFileWrite.h). The folder must exist. A
    // failure's reason is the text of the Cocoa file error for the device path
    // (NSError::fileError), its code the errno.
    Result<> writeContentsAtomically(std::string_view path, std::span<const std::uint8_t> bytes) const;

    // Encodes the value as an XML property list and writes it atomically; on any failure the old
    // file is left as it was. A value that cannot be encoded fails with the encoder's text and
    // code 0; a failed write as writeContentsAtomically does.
    Result<> writePropertyListAtomically(std::string_view path, const PlistValue& value) const;

    // Creates a folder, and with `intermediates` the missing folders above it too (an existing
    // folder is then no failure). Fails as writeContentsAtomically does.
    Result<> createDirectoryAtPath(std::string_view path, bool intermediates) const;

    std::string className() const override { return "NSFileManager"; }

    ~NSFileManager() override;

protected:
    explicit NSFileManager(std::string hostRoot) : root_(std::move(hostRoot)) {}

private:
    friend class DeviceFolder;
    // The root folder, opened on first use and kept open for the manager's life, so that each
    // call walks only the device path; -1 with errno set while the root cannot be opened.
    int rootFd() const;
    // Parses the bytes of a property list read by this layer, reusing an earlier equal parse.
    static PlistReadResult parsePropertyList(std::vector<std::uint8_t> bytes, const PlistLimits& limits);

    std::string root_;
    mutable std::atomic<int> rootFd_{-1};
};
