// The predicate forms that bundles give AppList's sections and AltList's custom sections, and
// that anything else is a failure with a reason rather than a crash.

#include "platform/prefslibs/AppListPredicate.h"

#include <gtest/gtest.h>

namespace {

using Info = ALApplicationList::ApplicationInfo;

Info app(std::string id, std::string name, bool system, std::vector<std::string> tags = {},
         bool prohibited = false) {
    Info info;
    info.identifier = std::move(id);
    info.displayName = std::move(name);
    info.isSystemApplication = system;
    info.isWebApplication = info.identifier.starts_with("com.apple.webapp");
    info.isLaunchProhibited = prohibited;
    info.tags = std::move(tags);
    return info;
}

const std::vector<Info> kApps{
    app("com.apple.MobileSMS", "Messages", true),
    app("com.apple.hidden", "Secret", true, {"hidden", "x"}),
    app("com.apple.webapp-1", "Clip", false),
    app("net.whatsapp.WhatsApp", "WhatsApp", false),
    app("com.apple.blocked", "Blocked", true, {}, true),
};

// The identifiers of the apps the predicate selects, in the list's order.
std::vector<std::string> selected(std::string_view text) {
    auto predicate = AppListPredicate::parse(text);
    EXPECT_TRUE(predicate) << text << ": " << predicate.reason();
    std::vector<std::string> out;
    if (!predicate)
        return out;
    for (const auto& a : kApps)
        if (predicate.value().evaluate(a))
            out.push_back(a.identifier);
    return out;
}

using Ids = std::vector<std::string>;

TEST(AppListPredicateTest, ReadsTheFormsBundlesUse) {
    EXPECT_EQ(selected("isSystemApplication = TRUE"),
              (Ids{"com.apple.MobileSMS", "com.apple.hidden", "com.apple.blocked"}));
    EXPECT_EQ(selected("isSystemApplication == NO"), (Ids{"com.apple.webapp-1", "net.whatsapp.WhatsApp"}));
    EXPECT_EQ(selected("isSystemApplication != 1"), selected("isSystemApplication = FALSE"));
    EXPECT_EQ(selected("NOT tags CONTAINS 'hidden'"), (Ids{"com.apple.MobileSMS", "com.apple.webapp-1",
                                                           "net.whatsapp.WhatsApp", "com.apple.blocked"}));
    EXPECT_EQ(selected("'hidden' IN tags"), Ids{"com.apple.hidden"});
    EXPECT_EQ(selected("isWebApplication = TRUE"), Ids{"com.apple.webapp-1"});
    EXPECT_EQ(selected("bundleIdentifier = 'net.whatsapp.WhatsApp'"), Ids{"net.whatsapp.WhatsApp"});
    EXPECT_EQ(selected("displayIdentifier IN {'com.apple.MobileSMS', \"com.apple.blocked\"}"),
              (Ids{"com.apple.MobileSMS", "com.apple.blocked"}));
    EXPECT_EQ(selected("identifier BEGINSWITH[c] 'COM.APPLE.M'"), Ids{"com.apple.MobileSMS"});
    EXPECT_EQ(selected("identifier BEGINSWITH 'COM.APPLE.M'"), Ids{});
    EXPECT_EQ(selected("displayName LIKE '*sApp'"), Ids{"net.whatsapp.WhatsApp"});
    EXPECT_EQ(selected("displayName ENDSWITH 'et'"), Ids{"com.apple.hidden"});
    EXPECT_EQ(selected("isLaunchProhibited = YES"), Ids{"com.apple.blocked"});
    EXPECT_EQ(selected("TRUEPREDICATE").size(), kApps.size());
    EXPECT_EQ(selected("falsepredicate"), Ids{});
}

TEST(AppListPredicateTest, NotBindsTighterThanAndAndAndTighterThanOr) {
    // OR of two ANDs, not an AND of an OR.
    EXPECT_EQ(selected("isSystemApplication = FALSE AND isWebApplication = FALSE OR tags CONTAINS 'x'"),
              (Ids{"com.apple.hidden", "net.whatsapp.WhatsApp"}));
    EXPECT_EQ(selected("isSystemApplication = FALSE AND (isWebApplication = FALSE OR tags CONTAINS 'x')"),
              Ids{"net.whatsapp.WhatsApp"});
    EXPECT_EQ(selected("NOT isSystemApplication = TRUE && !isWebApplication = TRUE"),
              Ids{"net.whatsapp.WhatsApp"});
    EXPECT_EQ(selected("not (isSystemApplication = TRUE or isWebApplication = TRUE)"),
              Ids{"net.whatsapp.WhatsApp"});
    EXPECT_EQ(
        selected("isSystemApplication = TRUE AND NOT tags CONTAINS 'hidden' AND isLaunchProhibited = FALSE"),
        Ids{"com.apple.MobileSMS"});
}

TEST(AppListPredicateTest, OtherTextFailsWithAReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    for (const Case& c :
         {Case{"", "expected a key"}, Case{"installDate > 3", "the key \"installDate\" is not known"},
          Case{"isSystemApplication = 'yes'", "compared with = or != to TRUE or FALSE"},
          Case{"tags CONTAINS hidden", "compared with a quoted string"},
          Case{"(isSystemApplication = TRUE", "a ( is not closed"},
          Case{"displayName = 'open", "a quote is not closed"},
          Case{"isSystemApplication = TRUE isWebApplication = TRUE", "unexpected"},
          Case{"displayName MATCHES 'x'", "not understood"}, Case{"displayName = 'a' AND", "expected a key"},
          Case{"a ~ b", "'~'"}}) {
        auto p = AppListPredicate::parse(c.text);
        ASSERT_FALSE(p) << c.text;
        EXPECT_NE(p.reason().find(c.reason), std::string::npos) << c.text << ": " << p.reason();
    }
    // Deep nesting and very long text are refused before they cost anything.
    std::string deep(10000, '(');
    EXPECT_FALSE(AppListPredicate::parse(deep));
    std::string nots;
    for (int i = 0; i < 100; ++i)
        nots += "NOT ";
    EXPECT_NE(AppListPredicate::parse(nots + "TRUEPREDICATE").reason().find("deeper"), std::string::npos);
    EXPECT_NE(AppListPredicate::parse(std::string(5000, ' ') + "TRUEPREDICATE").reason().find("longer"),
              std::string::npos);
}

} // namespace
