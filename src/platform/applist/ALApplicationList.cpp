#include "platform/applist/ALApplicationList.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/graphics/CGImage.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::uint32_t kLargestIconSide = 1024;

constexpr const char* kSystemApps = "/Applications";
constexpr std::string_view kSystemAppsPrefix = "/Applications/";
constexpr const char* kUserApps = "/var/containers/Bundle/Application";
// SpringBoard's identifiers of web clips on the home screen start so.
constexpr std::string_view kWebClipPrefix = "com.apple.webapp";
// Info.plist files are small; anything larger than this is not one.
constexpr std::size_t kMaxInfoPlistBytes = 1u << 20;

std::optional<std::string> nonEmptyString(const PlistValue& v) {
    if (v.isString() && !v.stringValue().empty())
        return v.stringValue();
    return std::nullopt;
}

void appendStrings(const PlistValue& array, std::vector<std::string>& out) {
    if (!array.isArray())
        return;
    for (const PlistValue& v : *array.arrayValue()) {
        if (auto s = nonEmptyString(v))
            out.push_back(*s);
    }
}

// A file name that the bundle itself may hold: no folder parts, so a hostile Info.plist cannot
// point the icon reader elsewhere on the device.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// The files to try for one icon name, best first: the screen's scale, then the plain file, then
// the other scales. "Icon" and "Icon.png" both give "Icon@2x.png", "Icon.png", "Icon@3x.png" at 2x.
std::vector<std::pair<std::string, double>> iconCandidates(const std::string& name, double screenScale) {
    std::string base = name;
    std::string extension = ".png";
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        base = name.substr(0, dot);
        extension = name.substr(dot);
    }
    // A name that already carries a scale suffix is taken as it stands.
    for (const char* suffix : {"@2x", "@3x"}) {
        if (base.ends_with(suffix))
            return {{base + extension, suffix[1] == '2' ? 2.0 : 3.0}};
    }
    std::vector<double> order;
    if (screenScale >= 3)
        order = {3, 2, 1};
    else if (screenScale >= 2)
        order = {2, 3, 1};
    else
        order = {1, 2, 3};
    std::vector<std::pair<std::string, double>> out;
    for (double scale : order) {
        if (scale == 1)
            out.emplace_back(base + extension, 1.0);
        else
            out.emplace_back(base + (scale == 2 ? "@2x" : "@3x") + extension, scale);
    }
    return out;
}

// The device environment's list, kept while its device root stays the same.
struct SharedList : DeviceEnvironment::Part {
    std::mutex mutex;
    std::shared_ptr<ALApplicationList> list;
};

} // namespace

ALApplicationList::ALApplicationList(std::string deviceRoot, std::shared_ptr<NSFileManager> files)
    : deviceRoot_(std::move(deviceRoot)), files_(std::move(files)) {}

std::shared_ptr<ALApplicationList> ALApplicationList::sharedApplicationList() {
    auto files = NSFileManager::defaultManager();
    const std::string& root = files->deviceRoot();
    SharedList& shared = DeviceEnvironment::current().part<SharedList>();
    std::lock_guard lock(shared.mutex);
    if (!shared.list || shared.list->deviceRoot_ != root)
        shared.list = std::shared_ptr<ALApplicationList>(new ALApplicationList(root, files));
    return shared.list;
}

void ALApplicationList::reload() {
    std::lock_guard lock(mutex_);
    loaded_ = false;
    apps_.clear();
    schemes_.clear();
}

void ALApplicationList::loadIfNeeded() {
    if (loaded_)
        return;
    loaded_ = true;
    // Each folder is opened once and its bundles' Info.plist files read relative to it, all of
    // them at once: a device has hundreds. A container is only listed; its bundle is read from
    // the folder of containers, through the container's name.
    if (auto system = files_->openDirectoryAtPath(kSystemApps))
        if (auto entries = system->entries())
            addBundlesIn(*system, bundleNamesIn(*entries, ""));
    auto user = files_->openDirectoryAtPath(kUserApps);
    if (!user)
        return;
    auto containers = user->entries();
    std::vector<std::string> folders;
    for (const auto& container : containers.value_or(std::vector<DeviceFolder::Entry>{}))
        if (container.mayBeFolder())
            folders.push_back(container.name);
    // The containers are listed together, which spares opening and closing each on its own.
    std::vector<DeviceFolder::FolderListing> listings = user->listedFolders(folders);
    std::vector<std::string> userBundles;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (!listings[i].entries)
            continue;
        for (auto& name : bundleNamesIn(*listings[i].entries, folders[i] + "/"))
            userBundles.push_back(std::move(name));
    }
    addBundlesIn(*user, userBundles);
}

std::vector<std::string> ALApplicationList::bundleNamesIn(const std::vector<DeviceFolder::Entry>& entries,
                                                          const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : entries)
        if (entry.name.ends_with(".app") && entry.mayBeFolder())
            names.push_back(prefix + entry.name);
    return names;
}

void ALApplicationList::addBundlesIn(const DeviceFolder& folder, const std::vector<std::string>& bundles) {
    PlistLimits limits;
    limits.maxBytes = kMaxInfoPlistBytes;
    std::vector<std::string> infoPaths;
    infoPaths.reserve(bundles.size());
    for (const auto& bundle : bundles)
        infoPaths.push_back(bundle + "/Info.plist");
    std::vector<PlistReadResult> infos = folder.propertyListsBelow(infoPaths, limits);
    for (std::size_t i = 0; i < bundles.size(); ++i)
        addBundle(folder.pathOf(bundles[i]), infos[i]);
}

void ALApplicationList::addBundle(const std::string& bundlePath, const PlistReadResult& info) {
    if (!info.ok() || !info.value.isDictionary())
        return;
    const PlistValue& plist = info.value;
    auto identifier = nonEmptyString(plist.get("CFBundleIdentifier"));
    if (!identifier)
        return;

    App app;
    app.bundlePath = bundlePath;
    app.info.identifier = *identifier;
    app.info.isSystemApplication = bundlePath.starts_with(kSystemAppsPrefix);
    app.info.isWebApplication = identifier->starts_with(kWebClipPrefix);
    PlistValue prohibited = plist.get("SBIsLaunchProhibited");
    app.info.isLaunchProhibited = prohibited.isBoolean() && prohibited.boolValue();
    appendStrings(plist.get("SBAppTags"), app.info.tags);
    auto name = nonEmptyString(plist.get("CFBundleDisplayName"));
    if (!name)
        name = nonEmptyString(plist.get("CFBundleName"));
    if (!name)
        name = nonEmptyString(plist.get("CFBundleExecutable"));
    app.info.displayName = name.value_or(*identifier);

    appendStrings(plist.get("CFBundleIcons").get("CFBundlePrimaryIcon").get("CFBundleIconFiles"),
                  app.iconFiles);
    if (auto file = nonEmptyString(plist.get("CFBundleIconFile")))
        app.iconFiles.push_back(*file);
    appendStrings(plist.get("CFBundleIconFiles"), app.iconFiles);

    PlistValue urlTypes = plist.get("CFBundleURLTypes");
    if (urlTypes.isArray()) {
        for (const PlistValue& type : *urlTypes.arrayValue()) {
            std::vector<std::string> schemes;
            appendStrings(type.get("CFBundleURLSchemes"), schemes);
            for (auto& s : schemes)
                schemes_.push_back(lowercased(s));
        }
    }
    // Two bundles with one identifier: the first found (system apps come first) wins.
    apps_.emplace(*identifier, std::move(app));
}

PlistValue ALApplicationList::applications() {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    PlistDictionary names;
    for (const auto& [identifier, app] : apps_)
        names.emplace(identifier, PlistValue(app.info.displayName));
    return PlistValue::dictionary(std::move(names));
}

bool ALApplicationList::ApplicationInfo::hasTag(std::string_view tag) const {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

bool ALApplicationList::ApplicationInfo::isHidden() const {
    return isWebApplication || isLaunchProhibited || hasTag("hidden");
}

std::vector<ALApplicationList::ApplicationInfo> ALApplicationList::applicationInfos() {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    std::vector<ApplicationInfo> infos;
    infos.reserve(apps_.size());
    for (const auto& [identifier, app] : apps_)
        infos.push_back(app.info);
    return infos;
}

std::optional<ALApplicationList::ApplicationInfo>
ALApplicationList::applicationInfo(const std::string& displayIdentifier) {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    auto it = apps_.find(displayIdentifier);
    if (it == apps_.end())
        return std::nullopt;
    return it->second.info;
}

std::optional<std::string>
ALApplicationList::bundlePathForDisplayIdentifier(const std::string& displayIdentifier) {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    auto it = apps_.find(displayIdentifier);
    if (it == apps_.end())
        return std::nullopt;
    return it->second.bundlePath;
}

bool ALApplicationList::hasApplicationForURLScheme(const std::string& scheme) {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    return std::find(schemes_.begin(), schemes_.end(), lowercased(scheme)) != schemes_.end();
}

std::shared_ptr<UIImage> ALApplicationList::iconOfSize(int size, const std::string& displayIdentifier) {
    // Only what the icon is read from is copied out of the list; most apps list no icon files,
    // and then nothing is copied and their folder is not even opened.
    std::string bundlePath;
    std::vector<std::string> iconFiles;
    {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        auto it = apps_.find(displayIdentifier);
        if (it == apps_.end() || it->second.iconFiles.empty())
            return nullptr;
        bundlePath = it->second.bundlePath;
        iconFiles = it->second.iconFiles;
    }
    // Prefer a file whose name mentions the size asked for ("AppIcon29x29"), then the others in
    // the order the Info.plist lists them.
    std::string sizeText = std::to_string(size);
    std::stable_partition(iconFiles.begin(), iconFiles.end(),
                          [&](const std::string& n) { return n.find(sizeText) != std::string::npos; });
    auto bundle = files_->openDirectoryAtPath(bundlePath);
    if (!bundle)
        return nullptr;
    double screenScale = UIScreen::mainScreen()->scale();
    for (const auto& name : iconFiles) {
        if (!isPlainFileName(name))
            continue;
        for (const auto& [file, scale] : iconCandidates(name, screenScale)) {
            auto bytes = bundle->contentsOf(file, nullptr);
            if (!bytes)
                continue;
            // An icon never needs more than the store's 1024-pixel artwork; a file that declares
            // more is skipped before anything is decoded.
            auto declared = CGImage::declaredPNGSize(*bytes);
            if (!declared || declared->width > kLargestIconSide || declared->height > kLargestIconSide)
                continue;
            if (auto image = UIImage::imageWithData(PlistData(bytes->begin(), bytes->end()), scale))
                return image;
        }
    }
    return nullptr;
}
