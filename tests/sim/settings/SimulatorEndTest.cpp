// The program ends cleanly with a catalogue request still in flight: the request stops and its
// completion (which holds the catalogue screen and, through it, a progress HUD registered with the
// notification centre) goes before anything it reaches, whether the script simply ends or a
// "network wait" gives up. Run under the sanitizers, a use after free shows in what it prints.

#include "sim/SimTestSupport.h"
#include "support/HTTPSFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;
using testing::Not;

class SimulatorEndTest : public testing::Test {
protected:
    // Runs the program on a copy of the sample device against the silent server, with `script`;
    // answers its exit status and everything it printed.
    int run(const std::string& script, std::string& out) {
        device.write("/end.script", script);
        return runSimProgram("--device " + device.root() + " --catalogue-url https://127.0.0.1:" +
                                 std::to_string(silent.port()) + " --script " + device.host("/end.script"),
                             out, true);
    }
    static void expectNoSanitizerReport(const std::string& out) {
        EXPECT_THAT(out, Not(HasSubstr("Sanitizer")));
        EXPECT_THAT(out, Not(HasSubstr("runtime error")));
    }

    SampleDeviceCopy device;
    SilentLoopbackServer silent;
};

TEST_F(SimulatorEndTest, AScriptThatEndsWithTheCatalogueLoadingExitsCleanly) {
    std::string out;
    int status = run("open\ntap \"Get Extensions\"\n", out);
    EXPECT_EQ(status, 0) << out;
    EXPECT_THAT(out, HasSubstr("1 request(s) still in flight as the device shuts down"));
    expectNoSanitizerReport(out);
}

TEST_F(SimulatorEndTest, ANetworkWaitThatGivesUpEndsTheProgramCleanly) {
    std::string out;
    int status = run("open\ntap \"Get Extensions\"\nnetwork wait\n", out);
    EXPECT_EQ(status, 2) << out;
    EXPECT_THAT(out, HasSubstr("network wait: 1 request(s) still in flight"));
    expectNoSanitizerReport(out);
}

} // namespace
