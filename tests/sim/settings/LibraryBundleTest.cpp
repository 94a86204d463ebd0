// The sample tweak built on the shared preference libraries, driven as its developer would from a
// script: every row of the libraries set or tapped, the files written in each library's format,
// and no row left dead.

#include "sim/settings/Simulator.h"

#include "platform/foundation/plist/PropertyList.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace {

using nlohmann::json;

PlistValue readDevicePlist(const SampleDeviceCopy& device, const std::string& path) {
    std::ifstream in(device.host(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        .value;
}

TEST(LibraryBundleTest, EveryRowOfTheSampleLibraryPageWorksFromAScript) {
    SampleDeviceCopy device;
    Simulator::Options options;
    options.deviceRoot = device.root();
    options.offline = true;
    std::string out;
    auto error = runSimScript(options,
                              "open bundle Glow\ndump\n"
                              "set Enabled off\nset \"Margin: 8 pixels\" 12\n"
                              "set \"Glow Colour\" #00FF8880\nset \"Badge Colour\" #112233\n"
                              "set \"Border Colour\" #445566\n"
                              "tap \"Glow In\"\nset Messages on\ntap Glow\n"
                              "tap \"Muted Apps\"\nset WhatsApp on\ntap Glow\n"
                              "tap Credits\ndump\ntap Glow\ntap \"Source Code\"\ntap \"Example Dev\"\ndump\n",
                              out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 3u);
    // Nothing on the page is a dead placeholder; library rows name their class, the bundle's own
    // are approximated.
    int approximated = 0, library = 0;
    for (const auto& row : dumps[0]["rows"]) {
        EXPECT_FALSE(row.contains("placeholder")) << row.dump();
        approximated += row.contains("approximated") ? 1 : 0;
        library += row.contains("cellClass") ? 1 : 0;
    }
    EXPECT_EQ(approximated, 3); // the bundle's own switch, slider and credits page
    EXPECT_EQ(library, 7);
    // A row whose library cell makes its title from the value is dumped under that title.
    auto titled = [](const json& dump, const std::string& title) {
        for (const auto& row : dump["rows"])
            if (row["title"] == title)
                return true;
        return false;
    };
    EXPECT_TRUE(titled(dumps[0], "Margin: 8 pixels")) << dumps[0]["rows"].dump();
    EXPECT_FALSE(titled(dumps[0], "Margin: %i pixels"));
    EXPECT_EQ(dumps[1]["title"], "Credits");
    EXPECT_EQ(dumps[2]["openedURLs"],
              json::array({"https://github.com/example/glow", "https://twitter.com/exampledev"}));

    PlistValue prefs = readDevicePlist(device, "/var/mobile/Library/Preferences/com.example.glow.plist");
    EXPECT_EQ(prefs.get("enabled"), PlistValue(false));
    EXPECT_EQ(prefs.get("margin").doubleValue(), 12);
    EXPECT_EQ(prefs.get("glowColour"), PlistValue("#00FF88:0.50196"));    // the HB picker's format
    EXPECT_EQ(prefs.get("badgeColour"), PlistValue("#112233:1.00"));      // libsparkcolourpicker's
    EXPECT_EQ(prefs.get("borderColour"), PlistValue("#445566:1.000000")); // libcolorpicker's
    ASSERT_TRUE(prefs.get("apps").isArray());
    EXPECT_EQ(prefs.get("apps").at(0), PlistValue("com.apple.MobileSMS"));
    EXPECT_EQ(readDevicePlist(device, "/var/mobile/Library/Preferences/com.example.glow.muted.plist")
                  .get("Muted-net.whatsapp.WhatsApp"),
              PlistValue(true));
    auto notes = dumps[2]["notifications"];
    EXPECT_NE(std::find(notes.begin(), notes.end(), "com.example.glow/muted"), notes.end());
}

} // namespace
