#include "sim/CommandLine.h"

#include "sim/SimVersion.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>

namespace {

// Help and version are successes; every other mistake on the command line exits with 2, as a bad
// script line does.
std::optional<int> parse(CLI::App& cli, int argc, char** argv, std::ostream& out, std::ostream& err) {
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e, out, err) == 0 ? 0 : 2;
    }
    return std::nullopt;
}

// The options that pick a Theos project's preference bundle, which several commands share, in
// this order in their help: --project, --bundle-name, and --rootless (which needs --project) where
// the command installs the project. Each command words the help for what it does with them.
struct ProjectOptionHelp {
    const char* project;
    const char* bundleName;
    const char* rootless = "the project is built rootless (bundle and entry under /var/jb)";
    // Whether --bundle-name needs --project: it does where only a project has bundles to choose
    // from, and not where a package may bring several too.
    bool bundleNameNeedsProject = false;
};

// Adds the project options, --rootless only when there is a flag for it to set. `between` adds
// the command's own options that its help lists between --project and --bundle-name. `Project` is
// a folder, or a list of folders where the command takes several.
template <class Project>
CLI::Option* addProjectOptions(CLI::App& cli, const ProjectOptionHelp& help, Project& project,
                               std::string& bundleName, bool* rootless,
                               const std::function<void(CLI::Option* project)>& between = {}) {
    CLI::Option* projectOption =
        cli.add_option("--project", project, help.project)->check(CLI::ExistingDirectory);
    if (between)
        between(projectOption);
    CLI::Option* bundleNameOption = cli.add_option("--bundle-name", bundleName, help.bundleName);
    if (help.bundleNameNeedsProject)
        bundleNameOption->needs(projectOption);
    if (rootless)
        cli.add_flag("--rootless", *rootless, help.rootless)->needs(projectOption);
    return projectOption;
}

void addAppearanceOption(CLI::App& cli, std::string& appearance) {
    cli.add_option("--appearance", appearance, "draw the screen light or dark (default: light)")
        ->check(CLI::IsMember({"light", "dark"}));
}

} // namespace

std::string simVersionText() {
    std::string commit = ORBITCHAT_SIM_COMMIT;
    return std::string("orbitchat-sim ") + ORBITCHAT_SIM_VERSION +
           (commit.empty() ? "" : " (" + commit + ")");
}

std::optional<int> readSimArguments(int argc, char** argv, SimArguments& arguments, std::ostream& out,
                                    std::ostream& err) {
    CLI::App cli{"orbitchat-sim: the Orbitchat settings pane, and any tweak's preference bundle, on a "
                 "simulated device"};
    cli.set_version_flag("--version", simVersionText(), "print the version and exit");
    cli.footer("Subcommands (each takes --help):\n"
               "  lint BUNDLE...    report what the device would do differently from what the bundle's "
               "author likely meant\n"
               "  shot BUNDLE OUT   write a PNG of a bundle's first page as the device shows it\n"
               "  test [PATH...]    run UI test scripts, each on a fresh copy of the device, with a JUnit "
               "report\n"
               "  install PACKAGE   extract a tweak's .deb into the device");
    auto& options = arguments.options;
    cli.add_option(
           "--device", options.deviceRoot,
           "device folder (the device's root), used in place; without it the simulator runs on a "
           "copy of examples/device kept in ~/.local/state/orbitchat-sim/device, and records the tour "
           "and the HUD gallery on a fresh copy")
        ->check(CLI::ExistingDirectory);
    cli.add_flag("--reset-device", arguments.resetDevice, "start the kept copy of the sample device afresh");
    auto* paneBundle =
        cli.add_option("--bundle", options.bundlePath,
                       "folder of the pane's resources (default: the data folder's resources/)")
            ->check(CLI::ExistingDirectory);
    auto* preferenceBundle =
        cli.add_option("--preference-bundle", options.preferenceBundle,
                       "open this preference bundle folder (or the bundle of this .deb) as the device would: "
                       "its principal class when the simulator has it, otherwise the platform's list of its "
                       "Root.plist (\"open\" opens it)")
            ->check(CLI::ExistingDirectory | CLI::ExistingFile)
            ->excludes(paneBundle);
    const ProjectOptionHelp projectHelp{
        .project = "install the preference bundle of this Theos project, with its entry, into the device (a "
                   "fresh copy of the sample unless --device) and open it",
        .bundleName = "the bundle to open when the project or package has several",
        .rootless = "the project is built rootless (as make THEOS_PACKAGE_SCHEME=rootless): its bundle and "
                    "entry go under /var/jb",
    };
    addProjectOptions(cli, projectHelp, arguments.project, arguments.bundleName, &arguments.rootless,
                      [&](CLI::Option* project) {
                          project->excludes(paneBundle)->excludes(preferenceBundle);
                          cli.add_option(
                                 "--package", arguments.package,
                                 "install this .deb into the device (a fresh copy of the sample unless "
                                 "--device) and open its preference bundle")
                              ->check(CLI::ExistingFile)
                              ->excludes(paneBundle)
                              ->excludes(preferenceBundle)
                              ->excludes(project);
                      });
    cli.add_option("--language", options.language,
                   "the device's language, which picks the bundles' localisations (default: en)");
    cli.add_option("--model", options.model,
                   "the device's model, which decides the rows that require hardware: iphone, ipad or ipod "
                   "(default: iphone)")
        ->check(CLI::IsMember({"iphone", "ipad", "ipod"}));
    addAppearanceOption(cli, arguments.appearance);
    cli.add_option("--script", arguments.scriptPath, "script to run, one command per line")
        ->check(CLI::ExistingFile);
    cli.add_option("--screen", arguments.screen, "screen size and scale, as 375x667@2");
    cli.add_option("--out", arguments.outputFolder,
                   "folder for screenshots and recordings (default: orbitchat-sim-out)");
    cli.add_flag("--dump", arguments.dumpOnly, "open the pane headless and print its state");
    cli.add_flag("--headless", arguments.headless, "never open a window; record the tour instead");
    cli.add_flag("--hud-gallery", arguments.hudGallery,
                 "show the progress HUD in each mode and option: in a window, the next picture on a "
                 "click or key press; headless (or --headless), record a PNG of each and an animated "
                 "WebP of the show and hide animations into the output folder");
    auto* catalogueFile =
        cli.add_option("--catalogue", options.catalogueFile,
                       "serve this JSON file as the maker's catalogue, over HTTPS on the loopback "
                       "interface (default: examples/catalogue.json)")
            ->check(CLI::ExistingFile);
    // Checked here, so that a URL the device could never load stops the program as any other
    // mistake on the command line does, rather than failing only when the catalogue is fetched.
    auto* catalogueURL =
        cli.add_option("--catalogue-url", options.catalogueURL,
                       "fetch the catalogue from this https server instead, checked "
                       "against the host's trusted certificates")
            ->excludes(catalogueFile)
            ->check(
                CLI::Validator([](std::string& url) { return Simulator::catalogueHostFromURL(url).reason(); },
                               "https://HOST[:PORT]"));
    cli.add_flag("--offline", options.offline, "every request fails as on a device without a connection")
        ->excludes(catalogueFile)
        ->excludes(catalogueURL);
    cli.add_option("--seed", arguments.seed,
                   "seed the device's random numbers: the same confetti on every run");
    cli.add_option("--state-file", arguments.window.stateFile,
                   "window mode: write the views dump here after each frame");
    return parse(cli, argc, argv, out, err);
}

std::optional<int> readLintArguments(int argc, char** argv, LintArguments& arguments, std::ostream& out,
                                     std::ostream& err) {
    CLI::App cli{"Report what the device would do differently from what a preference bundle's author "
                 "likely meant"};
    cli.name("orbitchat-sim lint");
    cli.add_option("BUNDLE", arguments.bundles,
                   "one or more bundle folders (NAME.bundle), Theos project folders or .deb packages");
    std::vector<std::string> projects;
    addProjectOptions(cli,
                      {.project = "a Theos project folder, as a BUNDLE",
                       .bundleName = "in a project or package, check only the bundle of this name (default: "
                                     "every one)"},
                      projects, arguments.bundleName, nullptr);
    cli.add_option("--format", arguments.format,
                   "text (one line per finding), json, github (workflow annotations) or sarif (SARIF 2.1.0)")
        ->check(CLI::IsMember({"text", "json", "github", "sarif"}));
    if (auto status = parse(cli, argc, argv, out, err))
        return status;
    arguments.bundles.insert(arguments.bundles.end(), projects.begin(), projects.end());
    if (arguments.bundles.empty()) {
        err << "orbitchat-sim lint: give a BUNDLE or --project\nRun with --help for more information.\n";
        return 2;
    }
    return std::nullopt;
}

std::optional<int> readInstallArguments(int argc, char** argv, InstallArguments& arguments, std::ostream& out,
                                        std::ostream& err) {
    CLI::App cli{"Extract a tweak's .deb into the simulated device: only files and folders under the "
                 "folders tweaks install to, never out of the device"};
    cli.name("orbitchat-sim install");
    cli.add_option("PACKAGE", arguments.package, "the package (NAME.deb)")
        ->required()
        ->check(CLI::ExistingFile);
    cli.add_option("--device", arguments.device,
                   "device folder to install into (default: the kept copy of the sample device)")
        ->check(CLI::ExistingDirectory);
    cli.add_flag("--reset-device", arguments.resetDevice,
                 "start the kept copy of the sample device afresh first");
    return parse(cli, argc, argv, out, err);
}

std::optional<int> readShotArguments(int argc, char** argv, ShotArguments& arguments, std::ostream& out,
                                     std::ostream& err) {
    CLI::App cli{"Write a PNG of a preference bundle's first page as the device shows it"};
    cli.name("orbitchat-sim shot");
    cli.add_option("BUNDLE", arguments.bundle,
                   "the bundle folder (NAME.bundle) or a .deb with one (left out with --project)");
    cli.add_option("OUT", arguments.picture, "the PNG to write (relative to the current folder)");
    addProjectOptions(cli,
                      {.project =
                           "shoot the preference bundle of this Theos project, installed with its entry "
                           "into a fresh copy of the sample device",
                       .bundleName = "the bundle to shoot when the project or package has several"},
                      arguments.project, arguments.bundleName, &arguments.rootless);
    addAppearanceOption(cli, arguments.appearance);
    cli.add_option("--screen", arguments.screen, "screen size and scale, as 375x667@2");
    cli.add_option("--language", arguments.language,
                   "the device's language, which picks the bundle's localisation (default: en)");
    if (auto status = parse(cli, argc, argv, out, err))
        return status;
    // With a project the only word is the picture.
    if (!arguments.project.empty() && arguments.picture.empty())
        std::swap(arguments.bundle, arguments.picture);
    if (arguments.picture.empty() || (!arguments.project.empty() && !arguments.bundle.empty())) {
        err << "orbitchat-sim shot: give BUNDLE OUT, or --project DIR OUT\nRun with --help for more "
               "information.\n";
        return 2;
    }
    return std::nullopt;
}

std::optional<int> readTestArguments(int argc, char** argv, TestArguments& arguments, std::ostream& out,
                                     std::ostream& err) {
    CLI::App cli{"Run UI test scripts (*.script), each on a fresh copy of the device in a process of its "
                 "own; exit 0 when all pass, 1 when an expectation failed, 2 when a script could not run "
                 "or none was found"};
    cli.name("orbitchat-sim test");
    cli.add_option("PATH", arguments.paths,
                   "script files, and folders searched for *.script (default: ., or the project's tests/)");
    cli.add_option("--device", arguments.device,
                   "copy this device folder for each script (default: the sample device)")
        ->check(CLI::ExistingDirectory);
    auto* bundle =
        cli.add_option("--bundle", arguments.bundle,
                       "install this preference bundle folder into each copy of the device, with a "
                       "Settings entry that opens it (\"open\" opens it too)")
            ->check(CLI::ExistingDirectory);
    addProjectOptions(cli,
                      {.project =
                           "install this Theos project's preference bundle, with its entry, into each copy "
                           "of the device (\"open\" opens it); PATH defaults to its tests/",
                       .bundleName = "the project's bundle, when it has several",
                       .bundleNameNeedsProject = true},
                      arguments.project, arguments.bundleName, &arguments.rootless,
                      [&](CLI::Option* project) { project->excludes(bundle); });
    cli.add_option("--junit", arguments.junit, "write a JUnit XML report to this file");
    cli.add_option("-j,--jobs", arguments.jobs, "scripts run at once (default: the number of cores)")
        ->check(CLI::Range(1u, 256u));
    cli.add_option("--timeout", arguments.timeout,
                   "seconds a script may run before it is killed and reported as an error (default: 120)")
        ->check(CLI::Range(0.001, 86400.0));
    return parse(cli, argc, argv, out, err);
}
