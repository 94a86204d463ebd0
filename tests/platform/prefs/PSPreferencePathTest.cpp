// The one resolver of preference-file names, under the pane's lenient rules and the framework's
// strict ones.

#include "platform/prefs/PSPreferencePath.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Rules = PSPreferencePathRules;

std::optional<std::string> resolved(std::string_view defaults, Rules rules) {
    Result<std::string> path = PSPreferencePath::resolve(defaults, rules);
    return path ? std::optional<std::string>(path.value()) : std::nullopt;
}

TEST(PSPreferencePathTest, PlainNamesAndAbsolutePathsResolveAlikeUnderBothRules) {
    for (Rules rules : {Rules::Lenient, Rules::Strict}) {
        EXPECT_EQ(resolved("com.x", rules), "/var/mobile/Library/Preferences/com.x.plist");
        EXPECT_EQ(resolved("/var/mobile/x", rules), "/var/mobile/x.plist");
        // The extension is appended even when the value has it already: that is where tweaks look.
        EXPECT_EQ(resolved("com.x.plist", rules), "/var/mobile/Library/Preferences/com.x.plist.plist");
        EXPECT_EQ(resolved("..x", rules), "/var/mobile/Library/Preferences/..x.plist");
    }
}

TEST(PSPreferencePathTest, LenientRulesTakeOddNamesAsFilesOfTheFolder) {
    EXPECT_EQ(resolved("", Rules::Lenient), "/var/mobile/Library/Preferences/.plist");
    EXPECT_EQ(resolved(".", Rules::Lenient), "/var/mobile/Library/Preferences/..plist");
    EXPECT_EQ(resolved("..", Rules::Lenient), "/var/mobile/Library/Preferences/...plist");
    EXPECT_EQ(resolved("sub/x", Rules::Lenient), "/var/mobile/Library/Preferences/sub/x.plist");
    EXPECT_EQ(resolved("a/../x", Rules::Lenient), "/var/mobile/Library/Preferences/a/../x.plist");
    EXPECT_EQ(resolved("/var/../x", Rules::Lenient), "/var/../x.plist");
    EXPECT_EQ(resolved("/var/mobile/", Rules::Lenient), "/var/mobile/.plist");
}

TEST(PSPreferencePathTest, StrictRulesRefuseWhatNamesNoPlainFile) {
    for (std::string_view refused :
         {"", ".", "..", "sub/x", "a/../x", "/", "/var/mobile/", "/var//x", "/var/./x", "/var/../x"}) {
        Result<std::string> path = PSPreferencePath::resolve(refused, Rules::Strict);
        EXPECT_FALSE(path) << refused;
        EXPECT_FALSE(path.reason().empty()) << refused;
    }
}

TEST(PSPreferencePathTest, BothRulesRefuseNamesThatClimbOutOfTheFolderOrTheDevice) {
    for (Rules rules : {Rules::Lenient, Rules::Strict}) {
        for (std::string_view refused : {"../x", "a/../../x", "../Preferences/x", "/../x", "/var/../../x"})
            EXPECT_EQ(resolved(refused, rules), std::nullopt) << refused;
        EXPECT_EQ(resolved(std::string_view("a\0/../../x", 10), rules), std::nullopt);
    }
    EXPECT_EQ(PSPreferencePath::resolve("../x", Rules::Lenient).reason(),
              "the name leads out of the preferences folder");
    EXPECT_EQ(PSPreferencePath::resolve("/../x", Rules::Lenient).reason(),
              "the path leads out of the device");
    // A refused value is still shown as it spells itself.
    EXPECT_EQ(PSPreferencePath::spelled("../x"), "/var/mobile/Library/Preferences/../x.plist");
}

} // namespace
