// Where the program finds its data: the variable, an install prefix, the build tree, and what it
// says when there is none; and the program itself, copied away from the build tree.

#include "sim/settings/DataFolder.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

class DataFolderTest : public ::testing::Test {
protected:
    // A data folder at a host folder of the temporary root: what makes it one is resources/.
    std::string makeData(const std::string& folder) const {
        tmp.mkdirs(folder + "/resources");
        return tmp.host(folder);
    }
    TempDeviceRoot tmp;
};

TEST_F(DataFolderTest, TheVariableIsTheOnlyPlaceLookedInWhenSet) {
    std::string data = makeData("/data");
    makeData("/prefix/share/orbitchat-sim");
    const fs::path program = tmp.host("/prefix/bin/orbitchat-sim");

    Result<DataFolder> found = DataFolder::find(data.c_str(), program);
    ASSERT_TRUE(found) << found.reason();
    EXPECT_EQ(found.value().path(), fs::path(data));

    // A variable that names no data folder is a mistake to report, not a reason to look elsewhere.
    std::string empty = tmp.host("/empty");
    tmp.mkdirs("/empty");
    Result<DataFolder> wrong = DataFolder::find(empty.c_str(), program);
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.failure().reason,
              "no data folder: ORBITCHAT_SIM_DATA is " + empty + ", which has no resources/ folder");

    // An empty variable counts as unset.
    Result<DataFolder> unset = DataFolder::find("", program);
    ASSERT_TRUE(unset) << unset.reason();
    EXPECT_EQ(unset.value().path(), fs::path(tmp.host("/prefix/share/orbitchat-sim")));
}

TEST_F(DataFolderTest, AnInstallPrefixComesBeforeTheNearestShareFolderAbove) {
    // Installed: <prefix>/bin/orbitchat-sim beside <prefix>/share/orbitchat-sim.
    std::string installed = makeData("/usr/share/orbitchat-sim");
    makeData("/usr/bin/share/orbitchat-sim");
    Result<DataFolder> prefix = DataFolder::find(nullptr, tmp.host("/usr/bin/orbitchat-sim"));
    ASSERT_TRUE(prefix) << prefix.reason();
    EXPECT_EQ(prefix.value().path(), fs::path(installed));

    // The build tree: the program deep inside, the data at the top of the build folder.
    std::string build = makeData("/build/share/orbitchat-sim");
    makeData("/share/orbitchat-sim"); // further up: not reached
    Result<DataFolder> tree = DataFolder::find(nullptr, tmp.host("/build/tests/sim/deeper/sim_tests"));
    ASSERT_TRUE(tree) << tree.reason();
    EXPECT_EQ(tree.value().path(), fs::path(build));
}

TEST_F(DataFolderTest, WithoutDataItSaysWhereItLooked) {
    tmp.mkdirs("/a/share/orbitchat-sim"); // no resources/: not data
    Result<DataFolder> none = DataFolder::find(nullptr, tmp.host("/a/b/program"));
    ASSERT_FALSE(none);
    const std::string& reason = none.failure().reason;
    EXPECT_EQ(reason.rfind("no data folder: looked in ", 0), 0u) << reason;
    for (const char* place : {"/a/share/orbitchat-sim", "/a/b/share/orbitchat-sim"})
        EXPECT_NE(reason.find(tmp.host(place)), std::string::npos) << reason;
    EXPECT_NE(reason.find("/share/orbitchat-sim (ORBITCHAT_SIM_DATA is not set)"), std::string::npos)
        << reason;
}

TEST_F(DataFolderTest, EntriesAreTheFilesTheLinksLeadTo) {
    // In the build tree the entries are links into the source tree; a copy of the sample device
    // made from a link would be a link to the sample itself, and the device would write into it.
    tmp.mkdirs("/source/examples/device/var");
    std::string data = makeData("/data");
    fs::create_directory_symlink(tmp.host("/source/examples/device"), tmp.host("/data/device"));
    Result<DataFolder> found = DataFolder::find(data.c_str(), "/nowhere/program");
    ASSERT_TRUE(found) << found.reason();
    EXPECT_EQ(found.value().sampleDevice(), fs::canonical(tmp.host("/source/examples/device")).string());
    EXPECT_FALSE(fs::is_symlink(found.value().sampleDevice()));
    EXPECT_EQ(found.value().catalogue(), fs::weakly_canonical(fs::path(data) / "catalogue.json").string());
}

TEST_F(DataFolderTest, TheBuildTreeHoldsTheSourceTreesData) {
    Result<DataFolder> found = DataFolder::find(nullptr, fs::read_symlink("/proc/self/exe"));
    ASSERT_TRUE(found) << found.reason();
    const DataFolder& data = found.value();
    EXPECT_EQ(data.path(), fs::path(ORBITCHAT_BINARY_DIR) / "share/orbitchat-sim");
    const fs::path source = fs::canonical(ORBITCHAT_SOURCE_DIR);
    EXPECT_EQ(fs::path(data.resources()), source / "resources");
    EXPECT_EQ(fs::path(data.sampleDevice()), source / "examples/device");
    EXPECT_EQ(fs::path(data.catalogue()), source / "examples/catalogue.json");
    EXPECT_EQ(fs::path(data.tourScript()), source / "examples/tour.script");
    EXPECT_EQ(fs::path(data.hudGalleryScript()), source / "examples/hud-gallery.script");
}

// Runs `command` in a shell, collecting its output and error; answers its exit status.
int run(const std::string& command, std::string& out) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DataFolderTest, AProgramCopiedElsewhereRunsFromAnyFolderWithTheVariable) {
    tmp.mkdirs("/bin");
    tmp.mkdirs("/work");
    fs::copy_file(fs::path(ORBITCHAT_BINARY_DIR) / "src/sim/orbitchat-sim", tmp.host("/bin/orbitchat-sim"));
    tmp.write("/work/pane.script", "open\nwait 0.5\ndump\n");
    auto program = [&](const std::string& variables) {
        return "cd '" + tmp.host("/work") + "' && env -u ORBITCHAT_SIM_DATA " + variables + " '" +
               tmp.host("/bin/orbitchat-sim") + "' --script pane.script --out out";
    };

    std::string lost;
    EXPECT_EQ(run(program(""), lost), 1);
    EXPECT_NE(lost.find("no data folder: looked in " + tmp.host("/share/orbitchat-sim")), std::string::npos)
        << lost;

    std::string found;
    const std::string data = std::string(ORBITCHAT_BINARY_DIR) + "/share/orbitchat-sim";
    EXPECT_EQ(run(program("ORBITCHAT_SIM_DATA='" + data + "'"), found), 0) << found;
    EXPECT_NE(found.find("\"title\": \"Orbitchat\""), std::string::npos) << found;
    EXPECT_NE(found.find("\"title\": \"Enabled\""), std::string::npos)
        << "the pane's rows come from its resources";
}

} // namespace

namespace {

// What a user types first: the version (with the commit of a git build) and the help, which lists
// the subcommands; neither needs data.
TEST(ProgramHelpTest, VersionAndHelpWorkWithoutDataAndListTheSubcommands) {
    const std::string program = "env ORBITCHAT_SIM_DATA=/nonexistent '" + std::string(ORBITCHAT_BINARY_DIR) +
                                "/src/sim/orbitchat-sim'";
    std::string version;
    EXPECT_EQ(run(program + " --version", version), 0);
    EXPECT_EQ(version.rfind("orbitchat-sim ", 0), 0u) << version;
    EXPECT_NE(version.find('.'), std::string::npos) << version;
    std::string help;
    EXPECT_EQ(run(program + " --help", help), 0);
    for (const char* line : {"\n  lint BUNDLE", "\n  shot BUNDLE OUT"})
        EXPECT_NE(help.find(line), std::string::npos) << help;
}

} // namespace
