// The Settings-look controls, checked on what they paint where and on what a touch does.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIAlertControllerView.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UISegmentedControl.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UIWindow.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>

namespace {

class SettingsControlsTest : public ::testing::Test {
protected:
    std::shared_ptr<NSRunLoop> loop = NSRunLoop::installMain(ManualClock::create());
    std::shared_ptr<UIView> root = UIView::create(CGRectMake(0, 0, 200, 100));
    void TearDown() override {
        loop->advanceBy(2);
        NSRunLoop::installMain(nullptr);
    }
    CGImageRef render() { return UIRenderer(2).renderFrame(*root); }
    void SetUp() override { root->setBackgroundColor(UIColor::whiteColor()); }
};

bool green(const CGImage::Pixel& p) {
    return p.g > 180 && p.r < 120 && p.b < 140 && p.a > 200;
}

} // namespace

TEST_F(SettingsControlsTest, SwitchIsGreenWithTheThumbRightWhenOnAndWhiteWithTheThumbLeftWhenOff) {
    auto toggle = UISwitch::create(CGRectMake(10, 10, 999, 999));
    root->addSubview(toggle);
    EXPECT_EQ(toggle->frame().size, CGSizeMake(51, 31));
    CGImageRef off = render();
    EXPECT_TRUE(pixels::near(pixels::at(off, 10 + 40, 10 + 15.5, 2), 255, 255, 255, 255, 4));
    EXPECT_EQ(pixels::count(off, 20, 20, 122, 82, green), 0);

    toggle->setOn(true, false);
    CGImageRef on = render();
    // Green track at the left end; the white thumb at the right end.
    EXPECT_TRUE(green(pixels::at(on, 10 + 8, 10 + 15.5, 2)));
    EXPECT_TRUE(pixels::near(pixels::at(on, 10 + 36, 10 + 15.5, 2), 255, 255, 255, 255, 6));
}

TEST_F(SettingsControlsTest, SwitchAnimatesAndATapFlipsItAndSendsValueChanged) {
    auto toggle = UISwitch::create(CGRectMake(10, 10, 0, 0));
    root->addSubview(toggle);
    int changes = 0;
    toggle->addAction([&](UIControl&) { ++changes; }, UIControlEventValueChanged);
    toggle->touchBegan(CGPointMake(20, 15));
    toggle->touchEnded(CGPointMake(20, 15));
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(changes, 1);
    // The model is on at once; the thumb is on its way.
    double start = toggle->thumbView()->presentationCenter().x;
    loop->advanceBy(0.1);
    double mid = toggle->thumbView()->presentationCenter().x;
    loop->advanceBy(0.3);
    EXPECT_LT(start, mid);
    EXPECT_LT(mid, toggle->thumbView()->presentationCenter().x);
    EXPECT_NEAR(toggle->thumbView()->presentationCenter().x, 51 - 2 - 13.5, 1e-9);
}

TEST_F(SettingsControlsTest, SliderFillsTheTintLeftOfTheThumbAndDraggingSetsTheValueWithinRange) {
    auto slider = UISlider::create(CGRectMake(0, 30, 200, 34));
    slider->setMinimumValue(40);
    slider->setMaximumValue(80);
    slider->setValue(60, false);
    root->addSubview(slider);
    root->layoutIfNeeded();
    EXPECT_NEAR(slider->thumbCenterForValue(60).x, 100, 1e-9);
    CGImageRef image = render();
    auto tinted = [](const CGImage::Pixel& p) { return p.b > 200 && p.r < 60 && p.a > 200; };
    EXPECT_TRUE(tinted(pixels::at(image, 40, 47, 2)));
    EXPECT_FALSE(tinted(pixels::at(image, 160, 47, 2)));

    double sent = -1;
    slider->addAction([&](UIControl& c) { sent = static_cast<UISlider&>(c).value(); },
                      UIControlEventValueChanged);
    slider->touchBegan(CGPointMake(100, 17));
    slider->touchMoved(CGPointMake(500, 17));
    slider->touchEnded(CGPointMake(500, 17));
    EXPECT_EQ(slider->value(), 80);
    EXPECT_EQ(sent, 80);
    slider->setValue(-5, false);
    EXPECT_EQ(slider->value(), 40);
}

TEST_F(SettingsControlsTest, SegmentedControlFillsTheSelectedSegmentAndATapSelectsAnother) {
    auto segments = UISegmentedControl::create({"Left", "Right"}, CGRectMake(10, 10, 180, 28));
    segments->setSelectedSegmentIndex(0);
    root->addSubview(segments);
    CGImageRef image = render();
    auto tinted = [](const CGImage::Pixel& p) { return p.b > 200 && p.r < 60 && p.a > 200; };
    EXPECT_TRUE(tinted(pixels::at(image, 20, 14, 2)));
    EXPECT_TRUE(pixels::near(pixels::at(image, 180, 14, 2), 255, 255, 255, 255, 4));
    int changes = 0;
    segments->addAction([&](UIControl&) { ++changes; }, UIControlEventValueChanged);
    segments->touchBegan(CGPointMake(150, 10));
    segments->touchEnded(CGPointMake(150, 10));
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);
    EXPECT_EQ(changes, 1);
    segments->setSelectedSegmentIndex(7);
    EXPECT_EQ(segments->selectedSegmentIndex(), UISegmentedControlNoSegment);
}

TEST_F(SettingsControlsTest, TextFieldTypesOnlyWhileFocusedAndDeletesWholeCharacters) {
    auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
    root->addSubview(field);
    std::vector<std::string> seen;
    field->addAction([&](UIControl& c) { seen.push_back(static_cast<UITextField&>(c).text()); },
                     UIControlEventEditingChanged);
    field->insertText("ignored");
    EXPECT_EQ(field->text(), "");
    field->touchBegan(CGPointMake(5, 5));
    field->touchEnded(CGPointMake(5, 5));
    ASSERT_TRUE(field->isFirstResponder());
    field->insertText("Caf\xC3\xA9");
    field->deleteBackward();
    EXPECT_EQ(field->text(), "Caf");
    EXPECT_EQ(seen, (std::vector<std::string>{"Caf\xC3\xA9", "Caf"}));
    // A line break is the return key: the editing ends.
    field->insertText("e\n");
    EXPECT_EQ(field->text(), "Cafe");
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(UITextField::focusedTextField());
}

TEST_F(SettingsControlsTest, EachDeviceHasItsOwnFocusedField) {
    auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
    int ended = 0;
    field->addAction([&](UIControl&) { ++ended; }, UIControlEventEditingDidEnd);
    ASSERT_TRUE(field->becomeFirstResponder());
    {
        DeviceEnvironment::Scope next;
        EXPECT_FALSE(UITextField::focusedTextField());
        EXPECT_FALSE(field->isFirstResponder()) << "the keyboard of this device types elsewhere";
        auto other = UITextField::create(CGRectMake(0, 0, 200, 30));
        ASSERT_TRUE(other->becomeFirstResponder());
        EXPECT_EQ(UITextField::focusedTextField(), other);
        field->insertText("typed on the other device");
        EXPECT_EQ(field->text(), "");
    }
    EXPECT_EQ(ended, 0) << "focus on another device takes nothing from this one";
    EXPECT_EQ(UITextField::focusedTextField(), field);
    field->insertText("x");
    EXPECT_EQ(field->text(), "x");
}

TEST_F(SettingsControlsTest, APadKeyboardEntersOnlyWhatItsKeysCan) {
    auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
    root->addSubview(field);
    field->touchBegan(CGPointMake(5, 5));
    field->touchEnded(CGPointMake(5, 5));
    ASSERT_TRUE(field->isFirstResponder());
    int changes = 0;
    field->addAction([&](UIControl&) { ++changes; }, UIControlEventEditingChanged);
    field->setKeyboardType(UIKeyboardTypeNumberPad);
    field->insertText("12ab3.5");
    EXPECT_EQ(field->text(), "1235");
    field->insertText("x"); // nothing the pad could type: no change is sent
    EXPECT_EQ(changes, 1);
    field->setText("");
    field->setKeyboardType(UIKeyboardTypeDecimalPad);
    field->insertText("3.1.4");
    EXPECT_EQ(field->text(), "3.14");
    field->setText("");
    field->setKeyboardType(UIKeyboardTypePhonePad);
    field->insertText("+41 (0)44 #1");
    EXPECT_EQ(field->text(), "+41044#1");
    field->setText("");
    field->setKeyboardType(UIKeyboardTypeEmailAddress);
    field->insertText("a@b.c");
    EXPECT_EQ(field->text(), "a@b.c");
}

TEST_F(SettingsControlsTest, ScrollViewClampsDragsAndWheelToItsContent) {
    auto scroller = UIScrollView::create(CGRectMake(0, 0, 200, 100));
    scroller->setContentSize(CGSizeMake(200, 300));
    scroller->setContentInset(UIEdgeInsetsMake(20, 0, 0, 0));
    scroller->scrollBy(CGPointMake(0, -50));
    EXPECT_EQ(scroller->contentOffset().y, -20);
    scroller->scrollBy(CGPointMake(0, 1000));
    EXPECT_EQ(scroller->contentOffset().y, 200);
    scroller->setContentOffset(CGPointMake(0, 0));
    scroller->touchBegan(CGPointMake(50, 80));
    scroller->touchMoved(CGPointMake(50, 30)); // the finger moves up 50: the content follows
    EXPECT_EQ(scroller->contentOffset().y, 50);
    scroller->scrollRectToVisible(CGRectMake(0, 250, 10, 40), false);
    EXPECT_EQ(scroller->contentOffset().y, 190);
}

TEST_F(SettingsControlsTest, AlertPutsTwoActionsSideBySideCancelFirstAndStacksThreeWithCancelLast) {
    auto two = UIAlertController::alertControllerWithTitle("Alert", "Sure?", UIAlertControllerStyleAlert);
    two->addAction(UIAlertAction::actionWithTitle("Respring", UIAlertActionStyleDestructive, nullptr));
    two->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
    auto face = UIAlertControllerView::create(two);
    ASSERT_EQ(face->buttons().size(), 2u);
    EXPECT_EQ(face->buttons()[0].action->title(), "Cancel");
    EXPECT_EQ(face->buttons()[0].button->frame().minY(), face->buttons()[1].button->frame().minY());
    EXPECT_EQ(face->bounds().width(), 270);

    auto three = UIAlertController::alertControllerWithTitle("T", std::nullopt, UIAlertControllerStyleAlert);
    three->addAction(UIAlertAction::actionWithTitle("Later", UIAlertActionStyleCancel, nullptr));
    three->addAction(UIAlertAction::actionWithTitle("A", UIAlertActionStyleDefault, nullptr));
    three->addAction(UIAlertAction::actionWithTitle("B", UIAlertActionStyleDefault, nullptr));
    auto stacked = UIAlertControllerView::create(three);
    ASSERT_EQ(stacked->buttons().size(), 3u);
    EXPECT_EQ(stacked->buttons()[2].action->title(), "Later");
    EXPECT_EQ(stacked->buttons()[1].button->frame().minY() - stacked->buttons()[0].button->frame().minY(),
              44);

    // Painted: a rounded frosted panel, the destructive title red. Black bars behind the panel
    // stand for the text of the screen below: they show sharp outside it and only as a soft
    // light blur through it, never as dark strokes.
    root = UIView::create(CGRectMake(0, 0, 300, 200));
    root->setBackgroundColor(UIColor::whiteColor());
    for (int i = 0; i < 15; ++i) {
        auto bar = UIView::create(CGRectMake(0, 5 + 13 * i, 300, 3));
        bar->setBackgroundColor(UIColor::blackColor());
        root->addSubview(bar);
    }
    face->setCenter(CGPointMake(150, 100));
    root->addSubview(face);
    root->layoutIfNeeded();
    CGImageRef image = render();
    CGRect panel = face->frame();
    EXPECT_GT(pixels::count(image, 0, int(panel.minY() * 2), int(panel.minX() * 2) - 2, int(panel.maxY() * 2),
                            [](const CGImage::Pixel& p) { return p.r < 40; }),
              100);
    // Inside the panel, away from its rounded corners, text and hairlines, everything is light.
    EXPECT_EQ(pixels::count(image, int(panel.minX() * 2) + 4, int(panel.minY() * 2) + 30,
                            int(panel.minX() * 2) + 30, int(panel.maxY() * 2) - 30,
                            [](const CGImage::Pixel& p) { return p.r < 170; }),
              0);
    // The bars do not show through as stripes: down a column the panel's shade hardly changes.
    int lightest = 0, darkest = 255;
    for (double y = panel.minY() + 15; y < panel.minY() + 50; y += 0.5) {
        int r = pixels::at(image, panel.minX() + 8, y, 2).r;
        lightest = std::max(lightest, r), darkest = std::min(darkest, r);
    }
    EXPECT_LE(lightest - darkest, 4);
    EXPECT_TRUE(
        pixels::near(pixels::at(image, panel.minX() + 8, panel.minY() + 8, 2), 230, 230, 230, 255, 25));
    CGRect right =
        face->buttons()[1].button->convertRectToView(face->buttons()[1].button->bounds(), root.get());
    EXPECT_GT(pixels::count(image, int(right.minX() * 2), int(right.minY() * 2), int(right.maxX() * 2),
                            int(right.maxY() * 2),
                            [](const CGImage::Pixel& p) { return p.r > 200 && p.g < 120; }),
              40);
}
