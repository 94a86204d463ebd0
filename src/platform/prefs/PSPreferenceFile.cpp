#include "platform/prefs/PSPreferenceFile.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/plist/PlistKind.h"

#include <cerrno>
#include <mutex>

namespace {

// Read-change-write is not atomic by itself: two stores that read the same old dictionary would
// each write back their own key only. The device's stores take turns.
struct PreferenceStores : DeviceEnvironment::Part {
    std::mutex mutex;
};

} // namespace

Result<PSPreferenceFile::Entry> PSPreferenceFile::entryOf(const PSSpecifier& row,
                                                          PSPreferencePathRules rules) {
    PlistValue key = row.propertyForKey("key");
    PlistValue defaults = row.propertyForKey("defaults");
    if (!key.isString())
        return Failure{"the row has no \"key\"", EINVAL};
    if (!defaults.isString())
        return Failure{"the row has no \"defaults\"", EINVAL};
    Result<std::string> path = PSPreferencePath::resolve(defaults.stringValue(), rules);
    if (!path)
        return Failure{"the \"defaults\" \"" + defaults.stringValue() + "\" is not allowed: " + path.reason(),
                       path.failure().code};
    return Entry{std::move(path).value(), key.stringValue()};
}

bool PSPreferenceFile::isStorable(const PlistValue& value) {
    return !value.isNone() && !value.isObject();
}

Result<PlistValue> PSPreferenceFile::dictionaryAtPath(std::string_view path) {
    PlistReadResult read = NSFileManager::defaultManager()->propertyListAtPath(path);
    if (!read.ok()) {
        // Only a file that is not there holds no values yet. Whatever else stands at the path (a
        // list the readers refuse, a FIFO, a link loop, a file too large) may hold values that a
        // write would destroy, so it is left alone, and the reader's reason is passed on.
        if (read.error->code() == NSFileReadNoSuchFileError)
            return PlistValue::dictionary();
        return Failure{"the file cannot be read: " + read.error->localizedDescription(),
                       static_cast<int>(read.error->code())};
    }
    if (!read.value.isDictionary())
        return Failure{"the file holds " + plistKindName(read.value) + ", not a dictionary", EINVAL};
    return read.value;
}

Result<PlistValue> PSPreferenceFile::valueOf(const Entry& entry) {
    Result<PlistValue> dictionary = dictionaryAtPath(entry.path);
    if (!dictionary)
        return dictionary.failure();
    return dictionary.value().get(entry.key);
}

Result<> PSPreferenceFile::store(const Entry& entry, const PlistValue& value) {
    // Setting none would remove the key, and an object cannot be written: neither is a change a
    // store makes.
    if (!isStorable(value))
        return Failure{"the value is not a property-list value", EINVAL};
    std::lock_guard turn(DeviceEnvironment::current().part<PreferenceStores>().mutex);
    Result<PlistValue> read = dictionaryAtPath(entry.path);
    if (!read)
        return read.failure();
    // What was read is shared with every other reader of the file; the change goes to a copy.
    PlistValue dictionary = read.value().mutableCopy();
    dictionary.set(entry.key, value);
    std::shared_ptr<NSError> error;
    if (!NSDictionary::writeToFile(dictionary, entry.path, true, &error))
        return Failure{error ? error->localizedDescription() : "the write failed",
                       error ? static_cast<int>(error->code()) : 0};
    return {};
}
