// The program loads libcurl and the catalogue server's module when the device first goes to the
// network, not when it starts: a headless open and dump maps neither, nor OpenSSL or the HTTPS
// server library behind them, the catalogue opened over the loopback server maps them and shows
// its rows, and a program whose libcurl cannot be loaded shows an empty catalogue, says why
// once in its log, and carries on to the end of its script.

#include "SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const std::string kSimProgramFile = std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim";

struct ScriptRun {
    int status = -1;
    std::string out;    // standard output and error
    std::string loader; // the dynamic loader's log of the libraries it mapped
};

// Runs the program headless on a copy of the sample device with `script`, `environment` before
// it, and the dynamic loader's log of every library it maps ("file=libcurl.so.4 [0];  needed by
// ..."), so that a library loaded through another one is seen too.
ScriptRun runHeadlessScript(const std::string& script, const std::string& environment = {}) {
    SampleDeviceCopy device;
    TempDeviceRoot work;
    work.write("/run.script", script);
    const std::string command = "env " + environment + " LD_DEBUG=files LD_DEBUG_OUTPUT='" +
                                work.host("/loader") + "' '" + kSimProgramFile + "' --headless --device '" +
                                device.path() + "' --script '" + work.host("/run.script") + "' 2>&1";
    ScriptRun run;
    run.status = runShellCommand(command, run.out);
    for (const auto& entry : fs::directory_iterator(work.path()))
        if (entry.path().filename().string().starts_with("loader"))
            run.loader += work.read("/" + entry.path().filename().string());
    return run;
}

// The dumps of a run's output, past the log lines before the first.
std::vector<nlohmann::json> dumpsAfterTheLog(const std::string& out) {
    const std::size_t first = out.starts_with("{\n") ? 0 : out.find("\n{\n");
    return first == std::string::npos ? std::vector<nlohmann::json>{} : splitDumps(out.substr(first));
}

const char* const kOpenCatalogueScript = "open\ntap \"Get Extensions\"\nnetwork wait\ndump\n";

// What only the network needs: libcurl, the catalogue server's module, and the TLS and HTTPS
// server libraries behind them.
const char* const kNetworkLibraries[] = {"libcurl",   "orbitchat-sim-loopback", "libssl",
                                         "libcrypto", "libcpp-httplib",         "libbrotlienc"};

TEST(NetworkLibraryLoadingTest, AHeadlessOpenAndDumpLoadsNothingThatOnlyTheNetworkNeeds) {
    ScriptRun run = runHeadlessScript("open\ndump\n");
    ASSERT_EQ(run.status, 0) << run.out;
    ASSERT_NE(run.loader.find("file=libstdc++"), std::string::npos) << "the loader's log was not read:\n"
                                                                    << run.loader;
    for (const char* library : kNetworkLibraries)
        EXPECT_EQ(run.loader.find(library), std::string::npos) << library << " was loaded:\n" << run.loader;
}

TEST(NetworkLibraryLoadingTest, TheCatalogueComesOverTheLoopbackServerThroughTheLibraryLoadedThen) {
    ScriptRun run = runHeadlessScript(kOpenCatalogueScript);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.loader.find("file=libcurl"), std::string::npos) << run.loader;
    EXPECT_NE(run.loader.find("lib/orbitchat-sim/orbitchat-sim-loopback.so"), std::string::npos)
        << run.loader;
    auto dumps = dumpsAfterTheLog(run.out);
    ASSERT_EQ(dumps.size(), 1u) << run.out;
    EXPECT_FALSE(dumps[0]["catalogue"]["rows"].empty()) << dumps[0]["catalogue"];
}

TEST(NetworkLibraryLoadingTest, WithoutAUsableLibcurlTheCatalogueFailsWithTheReasonSaidOnce) {
    ScriptRun run =
        runHeadlessScript(kOpenCatalogueScript,
                          "LD_LIBRARY_PATH='" + std::string(ORBITCHAT_BINARY_DIR) + "/tests/empty-libcurl'");
    ASSERT_EQ(run.status, 0) << run.out;
    auto dumps = dumpsAfterTheLog(run.out);
    ASSERT_EQ(dumps.size(), 1u) << run.out;
    EXPECT_TRUE(dumps[0]["catalogue"]["rows"].empty()) << dumps[0]["catalogue"];
    // The device's log: the engine says once why, and the catalogue screen's failed fetch says it.
    std::size_t why = 0, failed = 0;
    for (const auto& line : dumps[0]["log"]) {
        why += line.get<std::string>().starts_with("URL loading: the network library (libcurl");
        failed +=
            line.get<std::string>().starts_with("URL Session Task Failed: the network library (libcurl");
    }
    EXPECT_EQ(why, 1u) << dumps[0]["log"];
    EXPECT_EQ(failed, 1u) << dumps[0]["log"];
    EXPECT_EQ(dumps[0]["catalogue"]["hud"], false);
}

} // namespace
