#pragma once

// A failure report as the platform's file and property-list operations hand it back: a domain, an
// integer code and a human-readable text. It is an NSObject, so it travels inside a PlistValue and
// "%@" prints its description, the way the pane logs a failed directory listing:
//
//     std::shared_ptr<NSError> error;
//     auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(dir, &error);
//     if (!names && error)
//         NSLog("[OC] Content Reading Erroing: %@", {PlistValue(error)});
//
// Texts name device paths only; host paths never appear in an error.

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

// The Cocoa codes that the file layer uses.
enum NSCocoaErrorCode : long {
    NSFileNoSuchFileError = 4,
    NSFileReadUnknownError = 256,
    NSFileReadNoPermissionError = 257,
    NSFileReadInvalidFileNameError = 258,
    NSFileReadCorruptFileError = 259,
    NSFileReadNoSuchFileError = 260,
    NSFileReadTooLargeError = 263,
    NSFileWriteUnknownError = 512,
    NSFileWriteNoPermissionError = 513,
    NSFileWriteInvalidFileNameError = 514,
    NSFileWriteOutOfSpaceError = 640,
    NSFileWriteVolumeReadOnlyError = 642,
    NSPropertyListReadCorruptError = 3840,
    NSPropertyListWriteInvalidError = 3852,
};

class NSError : public NSObject {
public:
    static std::shared_ptr<NSError> create(std::string domain, long code, std::string localizedDescription,
                                           std::string filePath = {});
    // A Cocoa file error for a failed system call: the code follows errno (no such file, no
    // permission, out of space...), the text names the device path.
    static std::shared_ptr<NSError> fileError(int posixErrno, const std::string& devicePath, bool writing);

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const std::string& localizedDescription() const { return localizedDescription_; }
    // The device path the error is about, or empty.
    const std::string& filePath() const { return filePath_; }

    std::string className() const override { return "NSError"; }
    // `Error Domain=<domain> Code=<code> "<text>"`, followed by the path when there is one.
    std::string description() const override;

protected:
    NSError(std::string domain, long code, std::string text, std::string filePath);

private:
    std::string domain_;
    long code_;
    std::string localizedDescription_;
    std::string filePath_;
};
