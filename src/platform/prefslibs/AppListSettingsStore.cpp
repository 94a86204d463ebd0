#include "platform/prefslibs/AppListSettingsStore.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/prefs/PSPreferenceFile.h"

#include <cerrno>

Result<std::string> AppListSettingsStore::checkedPath(const PlistValue& settingsPath) {
    if (!settingsPath.isString() || settingsPath.stringValue().empty())
        return Failure{"the row has no ALSettingsPath", EINVAL};
    const std::string& path = settingsPath.stringValue();
    if (path.find('\0') != std::string::npos)
        return Failure{"the ALSettingsPath holds a NUL byte", EINVAL};
    if (!path.starts_with(kAllowedFolder))
        return Failure{"the ALSettingsPath " + path + " is outside " + std::string(kAllowedFolder), EPERM};
    // Every part after the leading "/" is a plain name: "//", "/./" and "/../" are refused, and
    // so is a trailing "/", which names a folder.
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        std::string_view part =
            std::string_view(path).substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return Failure{"the ALSettingsPath " + path + " is not a plain path", EPERM};
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return path;
}

AppListSettingsStore::AppListSettingsStore(const PlistValue& rowProperties)
    : path_(checkedPath(rowProperties.get("ALSettingsPath"))) {
    if (PlistValue note = rowProperties.get("ALChangeNotification"); note.isString())
        notification_ = note.stringValue();
}

PlistValue AppListSettingsStore::values() const {
    if (!path_)
        return PlistValue::dictionary();
    Result<PlistValue> read = PSPreferenceFile::dictionaryAtPath(path_.value());
    return read ? read.value() : PlistValue::dictionary();
}

Result<> AppListSettingsStore::change(const std::function<void(const PlistValue& dictionary)>& edit) const {
    if (!path_)
        return path_.failure();
    Result<PlistValue> read = PSPreferenceFile::dictionaryAtPath(path_.value());
    if (!read)
        return read.failure();
    // What was read is shared with every other reader of the file; the change goes to a copy.
    PlistValue dictionary = read.value().mutableCopy();
    edit(dictionary);
    if (Result<> written =
            NSFileManager::defaultManager()->writePropertyListAtomically(path_.value(), dictionary);
        !written)
        return written;
    if (!notification_.empty())
        DarwinNotifyCenter::post(notification_);
    return {};
}
