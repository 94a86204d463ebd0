#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// `count` rows in one section; rows whose number is a multiple of `tallEvery` are subtitle rows
// (58 points), the others plain (44). Counts the cells it makes.
class NumberedRows : public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit NumberedRows(std::int64_t count, std::int64_t tallEvery = 1)
        : count_(count), tallEvery_(tallEvery) {}
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>&, std::int64_t) override {
        return count_;
    }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                           NSIndexPath indexPath) override {
        ++cellsMade;
        auto cell = UITableViewCell::create(UITableViewCellStyleSubtitle, "Cell");
        cell->setText("Row " + std::to_string(indexPath.row));
        if (indexPath.row % tallEvery_ == 0)
            cell->setDetailText("detail");
        if (indexPath.row == fieldRow) {
            field = UITextField::create(CGRectMake(0, 0, 100, 30));
            cell->setAccessoryView(field);
        }
        return cell;
    }
    std::optional<CGFloat> heightForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                   NSIndexPath indexPath) override {
        if (!answerHeights)
            return std::nullopt;
        return indexPath.row % tallEvery_ == 0 ? 58 : 44;
    }

    std::int64_t cellsMade = 0;
    bool answerHeights = false;
    std::int64_t fieldRow = -1; // the row whose cell carries `field`
    std::shared_ptr<UITextField> field;

private:
    std::int64_t count_;
    std::int64_t tallEvery_;
};

std::size_t dressedRows(const UITableViewContentView& face) {
    const auto& views = face.subviews();
    return static_cast<std::size_t>(std::count_if(views.begin(), views.end(), [](const auto& v) {
        return std::dynamic_pointer_cast<UITableViewCell>(v) != nullptr;
    }));
}

// Where row `row` is on screen: its top less the offset.
CGFloat screenY(const UITableViewContentView& face, std::int64_t row) {
    return face.rectForRowAtIndexPath({0, row})->minY() - face.contentOffset().y;
}

TEST(UITableViewContentViewTest, ALongListAsksForTheCellsOfTheRowsNearTheViewOnlyAndTheRestAsTheyScrollIn) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(10000);
    auto table = UITableView::create(CGRectMake(0, 0, 375, 580));
    table->setDataSource(rows);
    auto face = UITableViewContentView::attach(table);
    // The rows on screen and a screenful below have cells: 1160 points of 58-point rows, with a
    // few more asked for while the rows were still thought 44 points high.
    EXPECT_GE(rows->cellsMade, 20);
    EXPECT_LE(rows->cellsMade, 27);
    EXPECT_EQ(dressedRows(*face), static_cast<std::size_t>(rows->cellsMade));
    EXPECT_EQ(face->visibleRows().size(), static_cast<std::size_t>(rows->cellsMade));
    EXPECT_FALSE(face->cellForRowAtIndexPath({0, 9999}));
    // Every row has a place: the made ones at the cell's height, the rest at the estimate.
    EXPECT_NEAR(face->rectForRowAtIndexPath({0, 1})->minY() - face->rectForRowAtIndexPath({0, 0})->minY(), 58,
                1e-9);
    EXPECT_NEAR(face->rectForRowAtIndexPath({0, 9999})->height(), 44, 1e-9);
    EXPECT_GT(face->contentSize().height, 10000 * 44.0);

    // Scrolled to the end, the rows there get their cells and can be found under a point.
    auto last = *face->rectForRowAtIndexPath({0, 9999});
    face->setContentOffset(CGPointMake(0, last.minY() - 100));
    EXPECT_TRUE(face->syncWithTable());
    ASSERT_TRUE(face->cellForRowAtIndexPath({0, 9999}));
    EXPECT_EQ(face->cellForRowAtIndexPath({0, 9999})->superview(), face);
    auto lastNow = *face->rectForRowAtIndexPath({0, 9999});
    EXPECT_EQ(face->indexPathForRowAtPoint(CGPointMake(10, lastNow.midY())),
              NSIndexPath::indexPathForRow(9999, 0));
    EXPECT_LE(rows->cellsMade, 80);
    EXPECT_FALSE(face->syncWithTable()); // nothing new near the view
    // The offset can reach the end of the list as it now measures.
    face->setContentOffset(face->maximumContentOffset());
    face->syncWithTable();
    EXPECT_NEAR(face->rectForRowAtIndexPath({0, 9999})->maxY() + 20, face->contentSize().height, 1e-9);

    // A reload starts afresh where the view is, with the rows above it placed exactly.
    rows->cellsMade = 0;
    table->reloadData();
    EXPECT_TRUE(face->syncWithTable());
    EXPECT_EQ(rows->cellsMade, 10000);
    // A script looks rows up by their text: every row can be given its cell.
    table->reloadData();
    face->setContentOffset(CGPointZero);
    face->syncWithTable();
    EXPECT_TRUE(face->loadAllRows());
    EXPECT_EQ(face->visibleRows().size(), 10000u);
    EXPECT_FALSE(face->loadAllRows());
    NSRunLoop::installMain(nullptr);
}

TEST(UITableViewContentViewTest, RowsAboveTheViewThatTurnOutTallerThanEstimatedLeaveTheScreenStill) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(2000, 2); // half the rows are 14 points taller than estimated
    auto table = UITableView::create(CGRectMake(0, 0, 375, 600));
    table->setDataSource(rows);
    auto face = UITableViewContentView::attach(table);
    // Far down by the estimates; then up in steps, each bringing unmade rows above into reach.
    face->setContentOffset(CGPointMake(0, 1500 * 44));
    face->syncWithTable();
    for (int step = 0; step < 40; ++step) {
        std::int64_t shown =
            face->indexPathForRowAtPoint(CGPointMake(10, face->contentOffset().y + 300))->row;
        CGFloat before = screenY(*face, shown);
        face->scrollBy(CGPointMake(0, -100));
        face->syncWithTable();
        EXPECT_NEAR(screenY(*face, shown), before + 100, 1e-9) << "step " << step;
    }
    // A drag under way keeps the row under the finger while rows above grow.
    std::int64_t shown = face->indexPathForRowAtPoint(CGPointMake(10, face->contentOffset().y + 300))->row;
    CGFloat start = face->contentOffset().y + 300;
    face->touchBegan(CGPointMake(10, start));
    for (int move = 1; move <= 20; ++move) {
        CGFloat before = screenY(*face, shown);
        // The finger moves 30 points down the screen, in the content's coordinates of the moment.
        face->touchMoved(CGPointMake(10, face->contentOffset().y + 300 + 30 * move));
        face->syncWithTable();
        EXPECT_NEAR(screenY(*face, shown), before + 30, 1e-9) << "move " << move;
    }
    face->touchCancelled();
    NSRunLoop::installMain(nullptr);
}

TEST(UITableViewContentViewTest, RowsLeftFarBehindGiveUpTheirCellsButNotTheirPlaces) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(10000, 2);
    rows->fieldRow = 3;
    auto table = UITableView::create(CGRectMake(0, 0, 375, 580));
    table->setDataSource(rows);
    auto face = UITableViewContentView::attach(table);
    ASSERT_TRUE(rows->field);
    ASSERT_TRUE(rows->field->becomeFirstResponder());

    // Scrolled down in screenful steps, as a wheel does: at most seven screenfuls of rows
    // (4060 points, 93 rows at 44 points) hold cells at any time, and the row being edited.
    std::size_t most = 0;
    std::optional<CGRect> measured; // row 50 once its cell has told its height
    for (int step = 0; step < 200; ++step) {
        face->scrollBy(CGPointMake(0, 580));
        face->syncWithTable();
        most = std::max(most, dressedRows(*face));
        if (!measured && face->cellForRowAtIndexPath({0, 50}))
            measured = face->rectForRowAtIndexPath({0, 50});
    }
    ASSERT_TRUE(measured);
    const CGRect row50 = *measured;
    EXPECT_LE(most, 94u);
    EXPECT_GE(rows->cellsMade, 2000);
    EXPECT_FALSE(face->cellForRowAtIndexPath({0, 50}));
    ASSERT_TRUE(face->cellForRowAtIndexPath({0, 3}));
    EXPECT_TRUE(rows->field->isFirstResponder());
    // A row that gave its cell up keeps its measured place.
    EXPECT_EQ(*face->rectForRowAtIndexPath({0, 50}), row50);

    // Back at the top, the rows ask for their cells again and sit where they were.
    rows->field->resignFirstResponder();
    std::int64_t before = rows->cellsMade;
    face->setContentOffset(CGPointZero);
    face->syncWithTable();
    EXPECT_GT(rows->cellsMade, before);
    ASSERT_TRUE(face->cellForRowAtIndexPath({0, 0}));
    EXPECT_EQ(face->cellForRowAtIndexPath({0, 0})->frame(), *face->rectForRowAtIndexPath({0, 0}));
    EXPECT_EQ(*face->rectForRowAtIndexPath({0, 50}), row50);
    EXPECT_EQ(face->indexPathForRowAtPoint(CGPointMake(10, row50.midY())),
              NSIndexPath::indexPathForRow(50, 0));
    NSRunLoop::installMain(nullptr);
}

TEST(UITableViewContentViewTest, TheDelegatesHeightsPlaceEveryRowExactlyWithoutItsCell) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto rows = std::make_shared<NumberedRows>(1000, 3);
    rows->answerHeights = true;
    auto table = UITableView::create(CGRectMake(0, 0, 375, 500));
    table->setDataSource(rows);
    table->setDelegate(rows);
    auto face = UITableViewContentView::attach(table);
    EXPECT_LE(rows->cellsMade, 30);
    // Row 999 lies below 333 rows of 58 and 666 of 44 points, all known without their cells.
    EXPECT_NEAR(face->rectForRowAtIndexPath({0, 999})->minY() - face->rectForRowAtIndexPath({0, 0})->minY(),
                333 * 58.0 + 666 * 44.0, 1e-6);
    CGFloat height = face->contentSize().height;
    face->loadAllRows();
    EXPECT_EQ(face->contentSize().height, height);
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
