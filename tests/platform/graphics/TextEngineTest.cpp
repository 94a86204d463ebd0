// A label measured without a limit of lines and drawn with the limit its height holds: the second
// layout is the first, and a long unbroken word breaks in it exactly where Pango breaks it when
// the limit is laid out afresh (on another thread, whose engine has nothing cached).

#include "platform/graphics/TextEngine.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::string numberedWord(std::size_t letters) {
    std::string text = std::to_string(letters);
    while (text.size() < letters)
        text += static_cast<char>('a' + text.size() % 26);
    return text;
}

std::vector<int> lineStarts(const TextEngine::Laid& laid) {
    std::vector<int> starts;
    for (int i = 0; i < pango_layout_get_line_count(laid.layout); ++i)
        starts.push_back(pango_layout_get_line_readonly(laid.layout, i)->start_index);
    return starts;
}

TEST(TextEngineTest, ALimitTheTextDoesNotReachKeepsTheLayoutAndItsBreaks) {
    const std::string text = numberedWord(6000);
    const UIFont font = UIFont::systemFontOfSize(13);
    TextLayoutParams params;
    params.width = 343;
    params.lineBreakMode = 4; // truncating the tail, as labels do
    TextEngine& engine = TextEngine::forThisThread();
    const TextEngine::Laid unlimited = engine.layout(text, font, params);
    const std::vector<int> starts = lineStarts(unlimited);
    ASSERT_GT(unlimited.totalLines, 10);

    params.maxLines = unlimited.totalLines;
    const TextEngine::Laid all = engine.layout(text, font, params);
    EXPECT_EQ(all.layout, unlimited.layout);
    std::vector<int> fresh;
    CGSize freshSize;
    std::thread([&] {
        auto laid = TextEngine::forThisThread().layout(text, font, params);
        fresh = lineStarts(laid);
        freshSize = laid.size;
    }).join();
    EXPECT_EQ(fresh, starts);
    EXPECT_EQ(freshSize, all.size);

    // A limit the text passes cuts it: a layout of its own, with its last line ellipsized.
    params.maxLines = unlimited.totalLines - 1;
    const TextEngine::Laid cut = engine.layout(text, font, params);
    EXPECT_NE(cut.layout, unlimited.layout);
    EXPECT_EQ(cut.lineCount, unlimited.totalLines - 1);
}

} // namespace
