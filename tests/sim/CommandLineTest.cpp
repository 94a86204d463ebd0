// The option group that picks a Theos project's bundle, as each command that shares it reads it:
// where --rootless and --bundle-name need --project, what --project excludes, and that lint takes
// several projects as bundles.

#include "sim/CommandLine.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Runs a reader on `words` (argv[0] first); answers its status, or -1 when it goes on.
template <class Arguments, class Reader>
int readWith(Reader reader, std::vector<std::string> words, Arguments& arguments, std::string& err) {
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    std::ostringstream o, e;
    const std::optional<int> status = reader(static_cast<int>(argv.size()), argv.data(), arguments, o, e);
    err = e.str();
    return status.value_or(-1);
}

TEST(CommandLineTest, EachCommandReadsTheProjectGroupWithItsOwnRules) {
    TempDeviceRoot project;
    const std::string folder = project.path();
    std::string err;

    ShotArguments shot;
    EXPECT_EQ(readWith(readShotArguments,
                       {"shot", "--project", folder, "--bundle-name", "B", "--rootless", "o.png"}, shot, err),
              -1)
        << err;
    EXPECT_EQ(shot.project, folder);
    EXPECT_EQ(shot.bundleName, "B");
    EXPECT_TRUE(shot.rootless);
    EXPECT_EQ(shot.picture, "o.png");
    ShotArguments rootlessAlone;
    EXPECT_EQ(readWith(readShotArguments, {"shot", "--rootless", "x.bundle", "o.png"}, rootlessAlone, err),
              2);
    EXPECT_NE(err.find("--rootless requires --project"), std::string::npos) << err;
    // A package's bundle is picked by name too, without a project.
    ShotArguments named;
    EXPECT_EQ(readWith(readShotArguments, {"shot", "--bundle-name", "B", "x.deb", "o.png"}, named, err), -1)
        << err;

    // The test command installs only projects by name: there --bundle-name needs one.
    TestArguments test;
    EXPECT_EQ(readWith(readTestArguments, {"test", "--bundle-name", "B"}, test, err), 2);
    EXPECT_NE(err.find("--bundle-name requires --project"), std::string::npos) << err;
    TestArguments both;
    EXPECT_EQ(readWith(readTestArguments, {"test", "--project", folder, "--bundle", folder}, both, err), 2);
    TestArguments tested;
    EXPECT_EQ(readWith(readTestArguments, {"test", "--project", folder, "--bundle-name", "B", "--rootless"},
                       tested, err),
              -1)
        << err;
    EXPECT_TRUE(tested.rootless);

    SimArguments sim;
    EXPECT_EQ(readWith(readSimArguments, {"orbitchat-sim", "--project", folder, "--package", "/etc/hostname"},
                       sim, err),
              2);
    EXPECT_NE(err.find("--project excludes --package"), std::string::npos) << err;
    SimArguments simRootless;
    EXPECT_EQ(readWith(readSimArguments, {"orbitchat-sim", "--rootless"}, simRootless, err), 2);

    // Lint has no --rootless, and reads each --project as one more bundle.
    LintArguments lint;
    EXPECT_EQ(readWith(readLintArguments, {"lint", "a.bundle", "--project", folder, "--bundle-name", "B"},
                       lint, err),
              -1)
        << err;
    EXPECT_EQ(lint.bundles, (std::vector<std::string>{"a.bundle", folder}));
    EXPECT_EQ(lint.bundleName, "B");
    LintArguments lintRootless;
    EXPECT_EQ(readWith(readLintArguments, {"lint", "a.bundle", "--rootless"}, lintRootless, err), 2);
    LintArguments missing;
    EXPECT_EQ(readWith(readLintArguments, {"lint", "--project", folder + "/none"}, missing, err), 2);
}

} // namespace
