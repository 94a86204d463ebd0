#include "sim/tools/InstallCommand.h"

#include "platform/foundation/HostFileRead.h"
#include "sim/CommandLine.h"
#include "sim/settings/DataFolder.h"
#include "sim/tools/ArchiveLibrary.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>

namespace {

// The names of the preference bundles among a package's installed files.
std::set<std::string> bundleNamesIn(const std::vector<std::string>& files) {
    std::set<std::string> names;
    for (std::string_view file : files) {
        for (std::string_view folder :
             {"/Library/PreferenceBundles/", "/var/jb/Library/PreferenceBundles/"}) {
            if (!file.starts_with(folder))
                continue;
            std::string_view rest = file.substr(folder.size());
            const std::string_view first = rest.substr(0, rest.find('/'));
            if (first.size() > 7 && first.ends_with(".bundle") && first.size() < rest.size())
                names.emplace(first.substr(0, first.size() - 7));
        }
    }
    return names;
}

} // namespace

Result<std::string> bundleOfPackage(const std::string& package, const std::string& bundleName,
                                    std::unique_ptr<BundleSource::TemporaryFolder>& extracted) {
    if (auto loaded = ArchiveLibrary::load(); !loaded)
        return loaded.failure();
    auto folder = BundleSource::TemporaryFolder::create();
    if (!folder)
        return folder.failure();
    extracted = std::move(folder).value();
    auto installed = BundleSource::installPackage(package, extracted->path());
    if (!installed)
        return Failure{package + ": " + installed.reason()};
    auto picked = BundleSource::pick(BundleSource::deviceBundles(extracted->path()), bundleName, package);
    if (!picked)
        return picked.failure();
    return picked.value().folder;
}

Result<PackageStatus::Recorded> recordPackage(const BundleSource::InstalledPackage& installed,
                                              const std::string& deviceRoot) {
    auto control = PackageStatus::parseControl(installed.control);
    if (!control)
        return control.failure();
    const bool rootless = control.value().field("Architecture") == "iphoneos-arm64" ||
                          std::any_of(installed.files.begin(), installed.files.end(),
                                      [](const std::string& file) { return file.starts_with("/var/jb/"); });
    return PackageStatus::record(deviceRoot, control.value(), installed.files, rootless);
}

namespace {

// Records a project's package (from its control file) with the files its bundle installed. A
// project without a usable control file is installed all the same, with a note saying why it is
// not recorded.
void recordProject(const BundleSource::Project& project, const BundleSource::Bundle& bundle,
                   const std::string& deviceRoot, std::ostream& note) {
    if (project.controlFile.empty()) {
        note << "orbitchat-sim: " << project.folder
             << " has no control file; the package database does not list it\n";
        return;
    }
    Result<std::string> text = readHostFile(project.controlFile, BundleSource::kLargestControl);
    Result<PackageStatus::Control> control =
        text ? PackageStatus::parseControl(text.value()) : Result<PackageStatus::Control>(text.failure());
    Result<PackageStatus::Recorded> recorded =
        control ? PackageStatus::record(deviceRoot, control.value(),
                                        BundleSource::installedFiles(bundle, deviceRoot), bundle.rootless)
                : Result<PackageStatus::Recorded>(control.failure());
    if (!recorded) {
        note << "orbitchat-sim: " << project.controlFile << ": " << recorded.failure().reason
             << "; the package database does not list the project\n";
        return;
    }
    note << "orbitchat-sim: recorded " << control.value().field("Package") << " in "
         << recorded.value().statusFile << "\n";
}

} // namespace

Result<> prepareBundleInput(const std::string& project, const std::string& package,
                            const std::string& bundleName, const std::string& sampleDevice,
                            Simulator::Options& options, BundleInput& keep, std::ostream& note,
                            bool rootless) {
    if (BundleSource::isPackage(options.preferenceBundle)) {
        auto bundle = bundleOfPackage(options.preferenceBundle, bundleName, keep.extracted);
        if (!bundle)
            return bundle.failure();
        options.preferenceBundle = bundle.value();
        return {};
    }
    std::error_code ec;
    if (!options.preferenceBundle.empty() && !std::filesystem::is_directory(options.preferenceBundle, ec))
        return Failure{options.preferenceBundle + " is neither a bundle folder nor a .deb package"};
    if (project.empty() && package.empty())
        return {};
    if (options.deviceRoot.empty()) {
        if (sampleDevice.empty())
            return Failure{"no sample device to install into; give one with --device"};
        std::string why;
        keep.freshDevice = SampleDevice::temporaryCopy(sampleDevice, why);
        if (!keep.freshDevice)
            return Failure{why};
        options.deviceRoot = keep.freshDevice->path();
    }
    std::vector<BundleSource::Bundle> bundles;
    const std::string& from = project.empty() ? package : project;
    BundleSource::Project read;
    if (!project.empty()) {
        read = BundleSource::readProject(project, rootless);
        bundles = read.bundles;
    } else {
        if (auto loaded = ArchiveLibrary::load(); !loaded)
            return loaded.failure();
        auto installed = BundleSource::installPackage(package, options.deviceRoot);
        if (!installed)
            return Failure{package + ": " + installed.reason()};
        note << "orbitchat-sim: installed " << installed.value().files.size() << " files of " << package
             << "\n";
        if (auto recorded = recordPackage(installed.value(), options.deviceRoot); !recorded)
            return Failure{package + ": " + recorded.reason()};
        const std::set<std::string> names = bundleNamesIn(installed.value().files);
        for (auto& bundle : BundleSource::deviceBundles(options.deviceRoot))
            if (names.contains(bundle.name))
                bundles.push_back(std::move(bundle));
    }
    auto picked = BundleSource::pick(bundles, bundleName, from);
    if (!picked)
        return picked.failure();
    std::string folder = picked.value().folder;
    if (!project.empty()) {
        auto installed = BundleSource::installBundle(picked.value(), options.deviceRoot);
        if (!installed)
            return Failure{project + ": " + installed.reason()};
        folder = installed.value();
        recordProject(read, picked.value(), options.deviceRoot, note);
        // The Settings list finds bundles in the preference bundles folder only; one installed
        // elsewhere opens on its own, as --preference-bundle opens a bundle.
        const std::string place = BundleSource::installFolder(picked.value()).value();
        options.preferenceBundleFromSettings =
            place == "/Library/PreferenceBundles" || place == "/var/jb/Library/PreferenceBundles";
        options.projectBundle = picked.value();
    }
    note << "orbitchat-sim: opening " << picked.value().name << " from " << from << " on the device "
         << options.deviceRoot << "\n";
    options.preferenceBundle = folder;
    return {};
}

int RunInstallCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    InstallArguments arguments;
    if (auto status = readInstallArguments(argc, argv, arguments, out, err))
        return *status;
    std::string device = arguments.device;
    if (device.empty()) {
        Result<DataFolder> data = DataFolder::find();
        if (!data) {
            err << "orbitchat-sim install: " << data.failure().reason << "\n";
            return 1;
        }
        std::string why;
        auto kept = SampleDevice::workingCopy(data.value().sampleDevice(), arguments.resetDevice, why);
        if (!kept) {
            err << "orbitchat-sim install: " << why << "\n";
            return 1;
        }
        device = *kept;
    }
    if (!BundleSource::isPackage(arguments.package)) {
        err << "orbitchat-sim install: " << arguments.package << " is not a .deb file\n";
        return 1;
    }
    if (auto loaded = ArchiveLibrary::load(); !loaded) {
        err << "orbitchat-sim install: " << loaded.reason() << "\n";
        return 1;
    }
    auto installed = BundleSource::installPackage(arguments.package, device);
    if (!installed) {
        err << "orbitchat-sim install: " << arguments.package << ": " << installed.reason() << "\n";
        return 1;
    }
    for (const auto& file : installed.value().files)
        out << "installed " << file << "\n";
    for (const auto& link : installed.value().skipped)
        out << "left out the link " << link << "\n";
    out << installed.value().files.size() << " files installed into " << device << "\n";
    auto recorded = recordPackage(installed.value(), device);
    if (!recorded) {
        err << "orbitchat-sim install: " << arguments.package
            << ": installed, but not recorded in the package database: " << recorded.reason() << "\n";
        return 1;
    }
    out << "recorded " << PackageStatus::parseControl(installed.value().control).value().field("Package")
        << " in " << recorded.value().statusFile << "\n";
    return 0;
}
