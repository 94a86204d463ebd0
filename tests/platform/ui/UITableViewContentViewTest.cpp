#include "platform/ui/UITableViewContentView.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class NumberedRows : public UITableViewDataSource {
public:
    explicit NumberedRows(std::int64_t count) : count_(count) {}
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>&, std::int64_t) override {
        return count_;
    }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                           NSIndexPath indexPath) override {
        auto cell = UITableViewCell::create(UITableViewCellStyleSubtitle, "Cell");
        cell->setText("Row " + std::to_string(indexPath.row));
        cell->setDetailText("detail");
        return cell;
    }

private:
    std::int64_t count_;
};

std::size_t dressedRows(const UITableViewContentView& face) {
    const auto& views = face.subviews();
    return static_cast<std::size_t>(std::count_if(views.begin(), views.end(), [](const auto& v) {
        return std::dynamic_pointer_cast<UITableViewCell>(v) != nullptr;
    }));
}

TEST(UITableViewContentViewTest, ALongListDressesOnlyTheRowsNearTheViewAndTheRestAsTheyScrollIn) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(10000);
    auto table = UITableView::create(CGRectMake(0, 0, 375, 580));
    table->setDataSource(rows);
    auto face = UITableViewContentView::attach(table);
    // Every row has its place (58 points a subtitle row) ...
    ASSERT_EQ(face->visibleRows().size(), 10000u);
    EXPECT_GT(face->contentSize().height, 10000 * 58.0);
    auto last = face->rectForRowAtIndexPath({0, 9999});
    ASSERT_TRUE(last);
    EXPECT_NEAR(last->minY() - face->rectForRowAtIndexPath({0, 0})->minY(), 9999 * 58.0, 0.01);
    // ... but only the ones on screen and a screenful below have views: 580 points of 58-point rows.
    std::size_t first = dressedRows(*face);
    EXPECT_GE(first, 20u);
    EXPECT_LE(first, 40u);
    EXPECT_EQ(face->cellForRowAtIndexPath({0, 9999})->superview(), nullptr);

    // Scrolled to the end, the rows there are dressed and can be found under a point.
    face->setContentOffset(CGPointMake(0, last->minY() - 100));
    EXPECT_TRUE(face->syncWithTable());
    EXPECT_EQ(face->cellForRowAtIndexPath({0, 9999})->superview(), face);
    EXPECT_EQ(face->indexPathForRowAtPoint(CGPointMake(10, last->midY())),
              NSIndexPath::indexPathForRow(9999, 0));
    EXPECT_FALSE(face->syncWithTable()); // nothing new near the view
    // A reload starts afresh from where the view is.
    table->reloadData();
    EXPECT_TRUE(face->syncWithTable());
    EXPECT_LE(dressedRows(*face), 40u);
    EXPECT_TRUE(face->cellForRowAtIndexPath({0, 9999})->superview());
    NSRunLoop::installMain(nullptr);
}

TEST(UITableViewContentViewTest, AListWithinTwoScreenfulsIsDressedWhole) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(10); // 580 points of rows under a 300-point view
    auto table = UITableView::create(CGRectMake(0, 0, 375, 300));
    table->setDataSource(rows);
    auto face = UITableViewContentView::attach(table);
    EXPECT_EQ(dressedRows(*face), 10u);
    NSRunLoop::installMain(nullptr);
}

} // namespace

namespace {

// One section with a header and a footer of the given texts.
class TitledSection : public UITableViewDataSource {
public:
    TitledSection(std::string header, NSTextAlignment footerAlignment)
        : header_(std::move(header)), alignment_(footerAlignment) {}
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>&, std::int64_t) override {
        return 1;
    }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                           NSIndexPath) override {
        auto cell = UITableViewCell::create(UITableViewCellStyleDefault, "Cell");
        cell->setText("Row");
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(const std::shared_ptr<UITableView>&,
                                                       std::int64_t) override {
        return header_;
    }
    std::optional<std::string> titleForFooterInSection(const std::shared_ptr<UITableView>&,
                                                       std::int64_t) override {
        return "Footer";
    }
    NSTextAlignment alignmentForFooterInSection(const std::shared_ptr<UITableView>&, std::int64_t) override {
        return alignment_;
    }

private:
    std::string header_;
    NSTextAlignment alignment_;
};

// The first row's top, and the footer label's alignment, for a section laid out 320 points wide.
std::pair<CGFloat, NSTextAlignment> layOut(TitledSection& source) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto table = UITableView::create(CGRectMake(0, 0, 320, 480), UITableViewStyleGrouped);
    auto shared = std::shared_ptr<TitledSection>(&source, [](TitledSection*) {});
    table->setDataSource(shared);
    auto face = UITableViewContentView::attach(table);
    CGFloat top = face->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0))->minY();
    NSTextAlignment alignment = NSTextAlignmentNatural;
    for (const auto& v : face->subviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(v); label && label->text() == "Footer")
            alignment = label->textAlignment();
    return {top, alignment};
}

} // namespace

TEST(UITableViewContentViewTest, LongHeadersWrapAndPushTheirRowsDownAndFootersTakeTheirAlignment) {
    TitledSection shortHeader("General", NSTextAlignmentCenter);
    TitledSection longHeader("A header long enough to need a second and then a third line in a narrow list",
                             NSTextAlignmentRight);
    auto [shortTop, centred] = layOut(shortHeader);
    auto [longTop, right] = layOut(longHeader);
    EXPECT_GT(longTop, shortTop + 20); // two more lines of 13-point text
    EXPECT_EQ(centred, NSTextAlignmentCenter);
    EXPECT_EQ(right, NSTextAlignmentRight);
}
