#pragma once

// The program's command lines (`orbitchat-sim`, `orbitchat-sim lint`, `orbitchat-sim shot`,
// `orbitchat-sim test`),
// read in one place: the argument library is large, and only this file includes it.
//
// Each reader fills its arguments and answers nothing when the program goes on, or the exit
// status when it is done: 0 after printing help or the version (on `out`), 2 for a mistake on the
// command line (the message on `err`).

#include "sim/screen/SimWindowApp.h"
#include "sim/settings/Simulator.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct SimArguments {
    Simulator::Options options;
    SimWindowOptions window;
    std::string scriptPath;
    std::string screen; // WIDTHxHEIGHT@SCALE, read by Simulator::readScreen
    std::string appearance = "light";
    std::string outputFolder = "orbitchat-sim-out";
    std::optional<std::uint64_t> seed;
    bool resetDevice = false;
    bool dumpOnly = false;
    bool headless = false;
    bool hudGallery = false;
    std::string project;    // a Theos project whose bundle is installed and opened
    std::string package;    // a .deb installed, whose bundle is opened
    std::string bundleName; // which bundle of the project or package
    bool rootless = false;  // the project is built with the rootless scheme
};

struct LintArguments {
    std::vector<std::string> bundles; // bundle folders, projects (also those of --project) and packages
    std::string format = "text";      // "text", "json", "github" or "sarif"
    std::string bundleName;           // in a project or package: only this bundle
};

struct InstallArguments {
    std::string package;
    std::string device; // empty: the kept copy of the sample device
    bool resetDevice = false;
};

struct ShotArguments {
    std::string bundle; // empty with a project
    std::string picture;
    std::string project;    // a Theos project whose bundle is installed and shot
    std::string bundleName; // which bundle of the project or package
    bool rootless = false;
    std::string appearance = "light";
    std::string screen;
    std::string language; // empty: the device's default
};

struct TestArguments {
    std::vector<std::string> paths; // scripts, and folders searched for *.script
    std::string device;             // a device folder to copy for each script; empty: the sample
    std::string bundle;             // a preference bundle installed into each copy
    std::string project;            // a Theos project installed into each copy
    std::string bundleName;         // which bundle of the project
    bool rootless = false;          // the project is built with the rootless scheme
    std::string junit;              // the JUnit XML report to write; empty: none
    unsigned jobs = 0;              // scripts run at once; 0: one per core
    double timeout = 120;           // seconds a script may run before it is killed
};

// "orbitchat-sim VERSION", with the commit it was built from when known: "orbitchat-sim 0.9.0 (1a2b3c4)".
std::string simVersionText();

std::optional<int> readSimArguments(int argc, char** argv, SimArguments& arguments, std::ostream& out,
                                    std::ostream& err);
// argv[0] is "lint".
std::optional<int> readLintArguments(int argc, char** argv, LintArguments& arguments, std::ostream& out,
                                     std::ostream& err);
// argv[0] is "install".
std::optional<int> readInstallArguments(int argc, char** argv, InstallArguments& arguments, std::ostream& out,
                                        std::ostream& err);
// argv[0] is "shot".
std::optional<int> readShotArguments(int argc, char** argv, ShotArguments& arguments, std::ostream& out,
                                     std::ostream& err);
// argv[0] is "test".
std::optional<int> readTestArguments(int argc, char** argv, TestArguments& arguments, std::ostream& out,
                                     std::ostream& err);
