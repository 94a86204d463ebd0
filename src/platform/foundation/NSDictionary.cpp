#include "platform/foundation/NSDictionary.h"

#include "platform/foundation/NSFileManager.h"

PlistValue NSDictionary::dictionaryWithContentsOfFile(std::string_view path) {
    PlistReadResult result = NSFileManager::defaultManager()->propertyListAtPath(path);
    return result.ok() && result.value.isDictionary() ? result.value : PlistValue();
}

bool NSDictionary::writeToFile(const PlistValue& dictionary, std::string_view path, bool atomically) {
    return writeToFile(dictionary, path, atomically, nullptr);
}

bool NSDictionary::writeToFile(const PlistValue& dictionary, std::string_view path, bool /*atomically*/,
                               std::shared_ptr<NSError>* error) {
    std::shared_ptr<NSError> failure;
    if (!dictionary.isDictionary())
        failure = NSError::create(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                                  "The data couldn’t be written because it isn’t a dictionary.");
    else if (auto written = NSFileManager::defaultManager()->writePropertyListAtomically(path, dictionary);
             !written)
        failure = written.failure().code
                      ? NSError::fileError(written.failure().code, std::string(path), true)
                      : NSError::create(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                                        written.failure().reason);
    if (error)
        *error = failure;
    return !failure;
}
