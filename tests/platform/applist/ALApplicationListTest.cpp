#include "support/DeviceFixture.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UIScreen.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ALApplicationListTest : public ::testing::Test {
protected:
    PlistValue names() { return ALApplicationList::sharedApplicationList()->applications(); }
    DeviceFixture device;
};

TEST_F(ALApplicationListTest, DisplayNameRulesTreatEmptyAsMissing) {
    device.addApp("com.display", {{"CFBundleDisplayName", "Display"}, {"CFBundleName", "Name"}});
    device.addApp("com.name",
                  {{"CFBundleDisplayName", ""}, {"CFBundleName", "Name"}, {"CFBundleExecutable", "Exe"}});
    device.addApp("com.exe", {{"CFBundleName", ""}, {"CFBundleExecutable", "Exe"}});
    device.addApp("com.nothing", {{"CFBundleDisplayName", 7}});
    device.writePlist("/Applications/NoId.app/Info.plist", PlistValue::dictionary());
    device.write("/Applications/Broken.app/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>");
    device.write("/Applications/NotAnApp/Info.plist", "{ CFBundleIdentifier = com.not.app; }");
    PlistValue apps = names();
    EXPECT_EQ(apps.count(), 4u);
    EXPECT_EQ(apps.get("com.display"), PlistValue("Display"));
    EXPECT_EQ(apps.get("com.name"), PlistValue("Name"));
    EXPECT_EQ(apps.get("com.exe"), PlistValue("Exe"));
    EXPECT_EQ(apps.get("com.nothing"), PlistValue("com.nothing"));
}

TEST_F(ALApplicationListTest, ReadsAllThreeFormsInBothBundleFolders) {
    device.write("/Applications/Text.app/Info.plist",
                 "{ CFBundleIdentifier = com.text; CFBundleDisplayName = \"Text App\"; }");
    // Binary, as Python's plistlib writes it: {"CFBundleIdentifier": "com.bin", "CFBundleName": "Bin"}.
    const unsigned char binary[] = {
        0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xd2, 0x01, 0x02, 0x03, 0x04, 0x5f, 0x10, 0x12,
        0x43, 0x46, 0x42, 0x75, 0x6e, 0x64, 0x6c, 0x65, 0x49, 0x64, 0x65, 0x6e, 0x74, 0x69, 0x66, 0x69,
        0x65, 0x72, 0x5c, 0x43, 0x46, 0x42, 0x75, 0x6e, 0x64, 0x6c, 0x65, 0x4e, 0x61, 0x6d, 0x65, 0x57,
        0x63, 0x6f, 0x6d, 0x2e, 0x62, 0x69, 0x6e, 0x53, 0x42, 0x69, 0x6e, 0x08, 0x0d, 0x22, 0x2f, 0x37,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3b};
    device.write("/var/containers/Bundle/Application/UUID-1/Bin.app/Info.plist",
                 std::string(reinterpret_cast<const char*>(binary), sizeof binary));
    device.addApp("com.xml", {{"CFBundleName", "Xml"}});
    ALApplicationList::sharedApplicationList()->reload();
    PlistValue apps = names();
    EXPECT_EQ(apps.get("com.text"), PlistValue("Text App"));
    EXPECT_EQ(apps.get("com.bin"), PlistValue("Bin"));
    EXPECT_EQ(apps.get("com.xml"), PlistValue("Xml"));
    EXPECT_EQ(ALApplicationList::sharedApplicationList()->bundlePathForDisplayIdentifier("com.bin"),
              "/var/containers/Bundle/Application/UUID-1/Bin.app");
}

TEST_F(ALApplicationListTest, ContainersAreReadInsideTheRootWhateverTheyAre) {
    TempDeviceRoot outside;
    outside.write("/Evil.app/Info.plist", "{ CFBundleIdentifier = com.outside; }");
    const std::string containers = "/var/containers/Bundle/Application";
    device.write(containers + "/A/One.app/Info.plist", "{ CFBundleIdentifier = com.one; }");
    device.write(containers + "/A/notes.txt", "not an app");
    device.write("/var/elsewhere/Two.app/Info.plist", "{ CFBundleIdentifier = com.two; }");
    device.write(containers + "/file", "not a container");
    device.mkdirs(containers + "/Fifo/Three.app");
    ASSERT_EQ(mkfifo(device.host(containers + "/Fifo/Three.app/Info.plist").c_str(), 0644), 0);
    // A container that is a link is followed inside the root; one that climbs out is refused.
    ASSERT_EQ(symlink("/var/elsewhere", device.host(containers + "/Linked").c_str()), 0);
    ASSERT_EQ(
        symlink(("../../../../../.." + outside.path()).c_str(), device.host(containers + "/Out").c_str()), 0);
    ALApplicationList::sharedApplicationList()->reload();
    PlistValue apps = names();
    EXPECT_EQ(apps.count(), 2u);
    EXPECT_TRUE(apps.get("com.one").isString());
    EXPECT_TRUE(apps.get("com.two").isString());
    EXPECT_FALSE(apps.get("com.outside").isString()) << "a container led outside the root";
    EXPECT_EQ(ALApplicationList::sharedApplicationList()->bundlePathForDisplayIdentifier("com.two"),
              containers + "/Linked/Two.app");
}

TEST_F(ALApplicationListTest, IconsPreferTheScreenScaleAndAppendPng) {
    PlistValue primary = PlistValue::dictionary();
    primary.set("CFBundleIconFiles",
                PlistValue::array({PlistValue("AppIcon60x60"), PlistValue("AppIcon29x29")}));
    PlistValue icons = PlistValue::dictionary();
    icons.set("CFBundlePrimaryIcon", primary);
    std::string app = device.addApp("com.icons", {{"CFBundleIcons", icons}});
    device.write(app + "/AppIcon29x29.png", DeviceFixture::png(29));
    device.write(app + "/AppIcon29x29@2x.png", DeviceFixture::png(58));
    device.write(app + "/AppIcon29x29@3x.png", DeviceFixture::png(87));
    device.write(app + "/AppIcon60x60@2x.png", DeviceFixture::png(120));
    auto list = ALApplicationList::sharedApplicationList();

    for (double scale : {1.0, 2.0, 3.0}) {
        UIScreen::mainScreen()->setScale(scale);
        auto icon = list->iconOfSize(29, "com.icons");
        ASSERT_TRUE(icon) << scale;
        EXPECT_EQ(icon->scale(), scale);
        EXPECT_EQ(icon->size(), CGSizeMake(29, 29));
    }
    EXPECT_FALSE(list->iconOfSize(29, "com.not.installed"));

    std::string single = device.addApp("com.single", {{"CFBundleIconFile", "Icon.png"}});
    device.write(single + "/Icon.png", DeviceFixture::png(29));
    UIScreen::mainScreen()->setScale(3);
    auto icon = ALApplicationList::sharedApplicationList()->iconOfSize(29, "com.single");
    ASSERT_TRUE(icon); // falls back to the plain file
    EXPECT_EQ(icon->scale(), 1);
}

TEST_F(ALApplicationListTest, IconNamesCannotLeaveTheBundleAndBadFilesGiveNoIcon) {
    device.write("/secret.png", DeviceFixture::png(29));
    std::string app = device.addApp("com.evil", {{"CFBundleIconFile", "../../secret.png"}});
    EXPECT_FALSE(ALApplicationList::sharedApplicationList()->iconOfSize(29, "com.evil"));
    std::string junk = device.addApp("com.junk", {{"CFBundleIconFile", "Icon"}});
    device.write(junk + "/Icon@2x.png", "not a png");
    EXPECT_FALSE(ALApplicationList::sharedApplicationList()->iconOfSize(29, "com.junk"));
    // An icon file that declares more pixels than any icon needs is passed over, undecoded, for
    // the next candidate.
    std::string big = device.addApp("com.big", {{"CFBundleIconFile", "Icon"}});
    std::string header = DeviceFixture::png(58);
    header[16] = header[20] = 0;    // 58 becomes 0x0000_003A -> patch the high bytes of both sides
    header[17] = header[21] = 0x4E; // about 5 million pixels a side
    device.write(big + "/Icon@2x.png", header);
    device.write(big + "/Icon.png", DeviceFixture::png(29));
    auto icon = ALApplicationList::sharedApplicationList()->iconOfSize(29, "com.big");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->scale(), 1);
}

TEST_F(ALApplicationListTest, UrlSchemesComeFromTheBundles) {
    PlistValue type = PlistValue::dictionary();
    type.set("CFBundleURLSchemes", PlistValue::array({PlistValue("Sileo"), PlistValue(3)}));
    device.addApp("org.coolstar.SileoStore", {{"CFBundleURLTypes", PlistValue::array({type})}});
    auto list = ALApplicationList::sharedApplicationList();
    EXPECT_TRUE(list->hasApplicationForURLScheme("sileo"));
    EXPECT_TRUE(list->hasApplicationForURLScheme("SILEO"));
    EXPECT_FALSE(list->hasApplicationForURLScheme("cydia"));
}

TEST_F(ALApplicationListTest, ManyContainersGiveTheAppsThatReadingThemOneAtATimeGives) {
    // More containers than one batch of the ring, with every kind a container can be.
    const std::string containers = "/var/containers/Bundle/Application";
    device.write("/var/elsewhere/Linked.app/Info.plist", "{ CFBundleIdentifier = com.linked; }");
    for (int i = 0; i < 140; ++i) {
        const std::string container = containers + "/C" + std::to_string(i);
        const std::string id = "com.container" + std::to_string(i);
        switch (i % 7) {
        case 0: // two bundles: both are apps
            device.write(container + "/A.app/Info.plist", "{ CFBundleIdentifier = " + id + "a; }");
            device.write(container + "/B.app/Info.plist", "{ CFBundleIdentifier = " + id + "b; }");
            break;
        case 1: // a file where the container would be
            device.write(container, "not a container");
            break;
        case 2: // a link to a folder inside the root
            device.mkdirs(containers);
            ASSERT_EQ(symlink("/var/elsewhere", device.host(container).c_str()), 0);
            break;
        case 3: // an empty container, and one whose ".app" is a file
            device.mkdirs(container);
            device.write(container + "x/File.app", "{ CFBundleIdentifier = com.file; }");
            break;
        default:
            device.write(container + "/App.app/Info.plist", "{ CFBundleIdentifier = " + id +
                                                                "; CFBundleDisplayName = \"Name " +
                                                                std::to_string(i) + "\"; }");
        }
    }
    auto list = ALApplicationList::sharedApplicationList();
    list->reload();
    auto batched = list->applicationInfos();
    PlistValue names = list->applications();
    DeviceFolder::setBatchedReadsUseRing(false);
    list->reload();
    auto single = list->applicationInfos();
    EXPECT_EQ(list->applications(), names);
    ASSERT_EQ(batched.size(), single.size());
    for (std::size_t i = 0; i < batched.size(); ++i) {
        EXPECT_EQ(batched[i].identifier, single[i].identifier);
        EXPECT_EQ(batched[i].displayName, single[i].displayName);
    }
    // 20 containers of two apps, 60 of one, and the app that 20 links lead to once.
    EXPECT_EQ(names.count(), 20u * 2 + 60 + 1);
    EXPECT_EQ(names.get("com.container137"), PlistValue("Name 137"));
    EXPECT_EQ(list->bundlePathForDisplayIdentifier("com.container0b"), containers + "/C0/B.app");
    EXPECT_EQ(list->bundlePathForDisplayIdentifier("com.linked"), containers + "/C100/Linked.app");
    EXPECT_FALSE(names.get("com.file").isString());
    DeviceFolder::setBatchedReadsUseRing(true);
}

} // namespace
