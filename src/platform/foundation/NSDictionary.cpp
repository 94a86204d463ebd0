#include "platform/foundation/NSDictionary.h"

#include "platform/foundation/NSFileManager.h"

PlistValue NSDictionary::dictionaryWithContentsOfFile(std::string_view path) {
    PlistReadResult result = NSFileManager::defaultManager()->propertyListAtPath(path);
    return result.ok() && result.value.isDictionary() ? result.value : PlistValue();
}

bool NSDictionary::writeToFile(const PlistValue& dictionary, std::string_view path, bool atomically) {
    (void)atomically;
    if (!dictionary.isDictionary())
        return false;
    return !NSFileManager::defaultManager()->writePropertyListAtomically(path, dictionary);
}
