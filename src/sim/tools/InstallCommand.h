#pragma once

// `orbitchat-sim install PACKAGE.deb [--device DIR]`: a tweak's package extracted into a device
// folder (by default the kept copy of the sample device, see SampleDevice), under the rules of
// BundleSource::installPackage, listing each file it installed.
//
//     orbitchat-sim install build/com.example.tweak_1.0_iphoneos-arm64.deb
//
// The package is recorded in the device's package database (PackageStatus), so the HB package
// header shows its name, version and author.
//
// Exit status: 0 when installed, 1 when the package is refused or cannot be read (the reason,
// naming the entry, on `err`), 2 for a bad command line.
//
// Beside it, what the simulator and `shot` do with a project or package given in place of a
// bundle folder (`prepareBundleInput`, `bundleOfPackage`).

#include "platform/foundation/Result.h"
#include "sim/settings/BundleSource.h"
#include "sim/settings/PackageStatus.h"
#include "sim/settings/SampleDevice.h"
#include "sim/settings/Simulator.h"

#include <iosfwd>
#include <memory>
#include <string>

int RunInstallCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

// The preference bundle of a package, extracted into `extracted` (which must outlive its use):
// the one named `bundleName`, or the only one.
Result<std::string> bundleOfPackage(const std::string& package, const std::string& bundleName,
                                    std::unique_ptr<BundleSource::TemporaryFolder>& extracted);

// Records an installed package in the device's database, from its control file: rootless when it
// installed under /var/jb or its architecture is iphoneos-arm64.
Result<PackageStatus::Recorded> recordPackage(const BundleSource::InstalledPackage& installed,
                                              const std::string& deviceRoot);

// What the simulator's inputs hold on to while it runs.
struct BundleInput {
    std::unique_ptr<SampleDevice> freshDevice;
    std::unique_ptr<BundleSource::TemporaryFolder> extracted;
};

// Makes `options.preferenceBundle` the bundle that --project or --package brings (installed, with
// its entry, into the device: `options.deviceRoot`, or a fresh copy of `sampleDevice` when that is
// empty, and recorded in its package database), or the bundle of a package given as
// --preference-bundle. Does nothing without any of them. A project's bundle opens from its row in
// the Settings list when it is installed where the list finds it, and its folders are followed
// for live reload (`options.projectBundle`); `rootless` is --rootless. Writes what it opened and
// installed to `note`.
Result<> prepareBundleInput(const std::string& project, const std::string& package,
                            const std::string& bundleName, const std::string& sampleDevice,
                            Simulator::Options& options, BundleInput& keep, std::ostream& note,
                            bool rootless);
