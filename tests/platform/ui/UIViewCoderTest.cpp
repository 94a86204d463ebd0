// Views made from archives: a property-list file in a temporary device root, and archives whose
// values are missing, of the wrong kind or not finite.

#include "platform/ui/UIViewCoder.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/ui/UIView.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PlistValue numbers(std::initializer_list<double> values) {
    PlistValue array = PlistValue::array();
    for (double v : values)
        array.append(PlistValue(v));
    return array;
}

TEST(UIViewCoderTest, AViewTakesWhatItsArchiveFileHolds) {
    TempDeviceRoot root;
    NSFileManager::setDeviceRoot(root.path());
    PlistValue archive = PlistValue::dictionary();
    archive.set("frame", numbers({10, 20, 300, 400}));
    archive.set("alpha", PlistValue(0.5));
    archive.set("hidden", PlistValue(true));
    archive.set("tag", PlistValue(std::int64_t{7}));
    archive.set("backgroundColor", numbers({1, 0, 0, 1}));
    root.writePlist("/Library/Orbitchat/view.plist", archive);
    auto coder = UIViewCoder::coderWithContentsOfFile("/Library/Orbitchat/view.plist");
    ASSERT_TRUE(coder) << coder.reason();
    auto view = UIView::createWithCoder(coder.value());
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 300, 400));
    EXPECT_EQ(view->alpha(), 0.5);
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->tag(), 7);
    EXPECT_EQ(view->backgroundColor(), UIColor::redColor());

    // Files that hold no dictionary, or are missing, are failures, not views.
    root.writePlist("/Library/Orbitchat/array.plist", numbers({0, 0, 10, 10}));
    root.write("/Library/Orbitchat/torn.plist", "<plist><dict><key>frame</key>");
    for (const char* path : {"/Library/Orbitchat/array.plist", "/Library/Orbitchat/torn.plist",
                             "/Library/Orbitchat/missing.plist", "/../../etc/passwd"})
        EXPECT_FALSE(UIViewCoder::coderWithContentsOfFile(path)) << path;
}

TEST(UIViewCoderTest, WrongMissingOrNonFiniteValuesKeepTheDefaults) {
    PlistValue archive = PlistValue::dictionary();
    archive.set("frame", numbers({0, 0, 100})); // three numbers are no frame
    archive.set("alpha", PlistValue(std::nan("")));
    archive.set("hidden", PlistValue(std::int64_t{1})); // a number is not a boolean
    archive.set("tag", PlistValue("seven"));
    archive.set("backgroundColor", numbers({2, 0, 0, 1})); // beyond 0…1
    auto view = UIView::createWithCoder(UIViewCoder::coderWithDictionary(archive).value());
    auto plain = UIView::create();
    EXPECT_EQ(view->frame(), plain->frame());
    EXPECT_EQ(view->alpha(), plain->alpha());
    EXPECT_EQ(view->isHidden(), plain->isHidden());
    EXPECT_EQ(view->tag(), plain->tag());
    EXPECT_EQ(view->backgroundColor(), plain->backgroundColor());
    archive.set("frame", numbers({0, 0, -10, 50}));
    EXPECT_EQ(UIView::createWithCoder(UIViewCoder::coderWithDictionary(archive).value())->frame(),
              CGRectZero);
    EXPECT_FALSE(UIViewCoder::coderWithDictionary(PlistValue("frame")));
}

} // namespace
