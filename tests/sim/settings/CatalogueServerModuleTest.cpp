// The catalogue server's module: built beside the program, it loads, starts a server that answers
// through the program's handler and names the authority to trust; missing or not a shared object,
// loading it fails with a reason that names the file; and a program whose module is broken says
// so once, shows an empty catalogue and carries on to the end of its script.

#include "sim/settings/CatalogueServerModule.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(ORBITCHAT_BINARY_DIR) / "src/sim/orbitchat-sim";

TEST(CatalogueServerModuleTest, TheModuleBuiltBesideTheProgramStartsAServerForTheHost) {
    ASSERT_TRUE(fs::exists(CatalogueServerModule::fileFor(kProgram)))
        << CatalogueServerModule::fileFor(kProgram);
    auto factory = CatalogueServerModule::load(kProgram);
    ASSERT_TRUE(factory) << factory.reason();
    std::string why;
    std::unique_ptr<CatalogueServer> server(factory.value()(
        "repo.orbitchat.example",
        [](const std::string&) {
            return CatalogueServer::Reply{200, "[]"};
        },
        why));
    ASSERT_TRUE(server) << why;
    EXPECT_GT(server->port(), 0);
    EXPECT_EQ(server->connectToEntry(443),
              "repo.orbitchat.example:443:127.0.0.1:" + std::to_string(server->port()));
    EXPECT_TRUE(server->authorityPEM().starts_with("-----BEGIN CERTIFICATE-----")) << server->authorityPEM();
    EXPECT_EQ(server->requestCount(), 0u);
}

TEST(CatalogueServerModuleTest, AMissingOrBrokenModuleFailsWithTheFileAndTheLoadersWords) {
    TempDeviceRoot elsewhere;
    const fs::path program = elsewhere.host("/bin/orbitchat-sim");
    const std::string file = CatalogueServerModule::fileFor(program).string();

    auto missing = CatalogueServerModule::load(program);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.reason().find(file), std::string::npos) << missing.reason();
    EXPECT_NE(missing.reason().find("No such file"), std::string::npos) << missing.reason();

    elsewhere.write(file.substr(elsewhere.path().size()), "not a shared object, only its name\n");
    auto broken = CatalogueServerModule::load(program);
    ASSERT_FALSE(broken);
    EXPECT_NE(broken.reason().find(file), std::string::npos) << broken.reason();
    EXPECT_EQ(broken.reason().find("No such file"), std::string::npos) << broken.reason();
}

TEST(CatalogueServerModuleTest, AProgramWithABrokenModuleSaysSoOnceAndShowsNoCatalogue) {
    TempDeviceRoot install;
    SampleDeviceCopy device;
    install.mkdirs("/bin");
    fs::copy_file(kProgram, install.host("/bin/orbitchat-sim"));
    const std::string module = CatalogueServerModule::fileFor(install.host("/bin/orbitchat-sim")).string();
    install.write(module.substr(install.path().size()), "garbage");
    install.write("/open-catalogue.script", "open\ntap \"Get Extensions\"\nnetwork wait\ndump\n");
    const std::string command = "env ORBITCHAT_SIM_DATA='" + std::string(ORBITCHAT_BINARY_DIR) +
                                "/share/orbitchat-sim' '" + install.host("/bin/orbitchat-sim") +
                                "' --headless --device '" + device.path() + "' --script '" +
                                install.host("/open-catalogue.script") + "' 2>&1";
    std::string out;
    const int status = runShellCommand(command, out);
    ASSERT_NE(status, -1) << "the program did not exit (a crash?):\n" << out;
    EXPECT_EQ(status, 0) << out;

    const std::string said = "orbitchat-sim: no catalogue server (its module could not be loaded: " + module;
    const std::size_t first = out.find(said);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find(said, first + 1), std::string::npos) << "said more than once:\n" << out;
    const std::size_t dump = out.find("\n{\n");
    ASSERT_NE(dump, std::string::npos) << out;
    auto dumps = splitDumps(out.substr(dump + 1));
    ASSERT_EQ(dumps.size(), 1u) << out;
    EXPECT_TRUE(dumps[0]["catalogue"]["rows"].empty()) << dumps[0]["catalogue"];
}

} // namespace
