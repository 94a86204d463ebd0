#include "platform/foundation/NSError.h"

#include <cerrno>
#include <cstring>

NSError::NSError(std::string domain, long code, std::string text, std::string filePath)
    : domain_(std::move(domain)), code_(code), localizedDescription_(std::move(text)),
      filePath_(std::move(filePath)) {}

std::shared_ptr<NSError> NSError::create(std::string domain, long code, std::string localizedDescription,
                                         std::string filePath) {
    return std::shared_ptr<NSError>(
        new NSError(std::move(domain), code, std::move(localizedDescription), std::move(filePath)));
}

namespace {

std::string lastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

} // namespace

std::shared_ptr<NSError> NSError::fileError(int posixErrno, const std::string& devicePath, bool writing) {
    const std::string name = "“" + lastComponent(devicePath) + "”";
    long code = writing ? NSFileWriteUnknownError : NSFileReadUnknownError;
    std::string text;
    switch (posixErrno) {
    case ENOENT:
        code = writing ? NSFileNoSuchFileError : NSFileReadNoSuchFileError;
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because there is no such file.";
        break;
    case ENOTDIR:
        code = writing ? NSFileNoSuchFileError : NSFileReadNoSuchFileError;
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because a part of its path is not a folder.";
        break;
    case EACCES:
    case EPERM:
        code = writing ? NSFileWriteNoPermissionError : NSFileReadNoPermissionError;
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because you don’t have permission to " + (writing ? "write to it." : "view it.");
        break;
    case ENOSPC:
    case EDQUOT:
        code = NSFileWriteOutOfSpaceError;
        text = "The file " + name + " couldn’t be saved because there isn’t enough space.";
        break;
    case EROFS:
        code = NSFileWriteVolumeReadOnlyError;
        text = "The file " + name + " couldn’t be saved because the volume is read only.";
        break;
    case EXDEV:
        code = writing ? NSFileWriteInvalidFileNameError : NSFileReadInvalidFileNameError;
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because its path leads outside the device.";
        break;
    case EISDIR:
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because it is a folder, not a file.";
        break;
    case ENODEV:
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") +
               " because it is not a regular file.";
        break;
    case EFBIG:
        code = NSFileReadTooLargeError;
        text = "The file " + name + " couldn’t be opened because it is too large.";
        break;
    default:
        text = "The file " + name + " couldn’t be " + (writing ? "saved" : "opened") + ": " +
               std::strerror(posixErrno) + ".";
        break;
    }
    return create(NSCocoaErrorDomain, code, std::move(text), devicePath);
}

std::string NSError::description() const {
    std::string out =
        "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription_ + "\"";
    if (!filePath_.empty())
        out += " UserInfo={NSFilePath=" + filePath_ + "}";
    return out;
}
