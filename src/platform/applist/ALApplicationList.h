#pragma once

// The installed-application list (ALApplicationList): the apps of the current device, read from
// their bundles ("/Applications/*.app" and "/var/containers/Bundle/Application/*/*.app"), each
// described by its Info.plist in XML, binary or old-style text form.
//
// - identifier: CFBundleIdentifier (a bundle without one is not an app and is skipped);
// - display name: CFBundleDisplayName, else CFBundleName, else CFBundleExecutable, where an empty
//   or non-string value counts as missing (an app with none of them is listed under its identifier);
// - icon: the files that CFBundleIcons → CFBundlePrimaryIcon → CFBundleIconFiles name, else
//   CFBundleIconFile, else CFBundleIconFiles at the top; ".png" appended when a name has no
//   extension; the "@2x"/"@3x" variant matching the screen's scale preferred;
// - URL schemes: every CFBundleURLTypes → CFBundleURLSchemes entry;
// - what the application-list pages sort apps by: a system app is one under "/Applications", a
//   user app one in a container; its tags are the strings of SBAppTags ("hidden"), it is
//   launch-prohibited when SBIsLaunchProhibited is true, and a web clip when its identifier is one
//   SpringBoard gives web clips ("com.apple.webapp" and what follows). An app tagged hidden,
//   launch-prohibited or a web clip is hidden from the home screen.
//
// The list is read once per device root and kept, as the platform keeps it between launches;
// `reload` reads the bundles again (the simulator does so when the device resprings).
//
//     auto apps = ALApplicationList::sharedApplicationList();
//     apps->applications().get("com.apple.MobileSMS");        // "Messages"
//     apps->iconOfSize(29, "com.apple.MobileSMS");              // a UIImage, or null

#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSObject.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NSFileManager;
class UIImage;

enum ALApplicationIconSize : int {
    ALApplicationIconSizeSmall = 29,
    ALApplicationIconSizeLarge = 59,
};

class ALApplicationList : public NSObject {
public:
    // The current device environment's list, for its default file manager's device root; a new
    // root gets a freshly read list.
    static std::shared_ptr<ALApplicationList> sharedApplicationList();

    std::string className() const override { return "ALApplicationList"; }

    // What the application lists know of one installed app.
    struct ApplicationInfo {
        std::string identifier;
        std::string displayName;
        bool isSystemApplication = false;
        bool isWebApplication = false;
        bool isLaunchProhibited = false;
        std::vector<std::string> tags;

        bool hasTag(std::string_view tag) const;
        // Tagged hidden, launch-prohibited or a web clip: not on the home screen.
        bool isHidden() const;
    };

    // Bundle identifier → display name, for every installed app.
    PlistValue applications();
    // Every installed app, in the order of their identifiers.
    std::vector<ApplicationInfo> applicationInfos();
    // The app with this identifier, or nullopt when it is not installed.
    std::optional<ApplicationInfo> applicationInfo(const std::string& displayIdentifier);
    // iconOfSize:forDisplayIdentifier:. The app's icon, or null when the app is not installed or
    // none of its icon files loads.
    std::shared_ptr<UIImage> iconOfSize(int size, const std::string& displayIdentifier);
    // Whether an installed app declares the URL scheme (compared without regard to case).
    bool hasApplicationForURLScheme(const std::string& scheme);
    // The device folder of the app's bundle ("/Applications/MobileSMS.app"), or nullopt.
    std::optional<std::string> bundlePathForDisplayIdentifier(const std::string& displayIdentifier);

    // Reads the device's bundles again.
    void reload();

protected:
    ALApplicationList(std::string deviceRoot, std::shared_ptr<NSFileManager> files);

private:
    struct App {
        std::string bundlePath;
        std::vector<std::string> iconFiles;
        ApplicationInfo info;
    };
    void loadIfNeeded();
    // The app bundles of a listing, each name after `prefix` (a container's "<name>/").
    static std::vector<std::string> bundleNamesIn(const std::vector<DeviceFolder::Entry>& entries,
                                                  const std::string& prefix);
    // Adds the apps of the bundles at paths below a folder ("App.app" below "/Applications",
    // "<container>/App.app" below the folder of containers), their Info.plist files read at once.
    void addBundlesIn(const DeviceFolder& folder, const std::vector<std::string>& bundles);
    // Adds the app bundle at `bundlePath`, when its Info.plist names an identifier.
    void addBundle(const std::string& bundlePath, const PlistReadResult& info);

    std::string deviceRoot_;
    // The device root's manager, whose root stays open for the list's reads.
    std::shared_ptr<NSFileManager> files_;
    std::mutex mutex_;
    bool loaded_ = false;
    std::map<std::string, App, std::less<>> apps_;
    std::vector<std::string> schemes_; // lower case
};
