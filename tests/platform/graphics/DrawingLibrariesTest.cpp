// The drawing libraries as the program reaches them: through the forwarders, which load them at
// the first call; and the UTF-8 step that takes the place of GLib's table, which the program
// cannot reach without linking GLib.

#include "platform/graphics/DrawingLibraries.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DrawingLibrariesTest, TheLibrariesLoadAndTheirFunctionsAreReachedThroughTheForwarders) {
    ASSERT_TRUE(DrawingLibraries::load());
    ASSERT_TRUE(DrawingLibraries::loadAnimation());
    EXPECT_STREQ(cairo_status_to_string(CAIRO_STATUS_SUCCESS), "no error has occurred");
    EXPECT_EQ(g_utf8_strlen("héllo", -1), 5);
}

TEST(DrawingLibrariesTest, TheUTF8StepMovesAsGLibDoesOverCharactersOfEveryLength) {
    // One, two, three and four bytes: GLib's own scanner finds the same characters.
    const std::string text = "a\u00e9\u20ac\U0001F600z\u00e9";
    const char* end = text.data() + text.size();
    int characters = 0;
    for (const char* p = text.data(); p < end; ++characters) {
        const char* next = nextUTF8Character(p);
        const char* theirs = g_utf8_find_next_char(p, end); // null at the end
        ASSERT_EQ(next, theirs ? theirs : end) << "at byte " << (p - text.data());
        p = next;
    }
    EXPECT_EQ(characters, g_utf8_strlen(text.data(), -1));
    // Bytes that are not UTF-8 step as GLib's table says: a stray continuation byte or an invalid
    // lead byte alone, a lead byte by the length it announces even where the rest is missing.
    const char* const continuation = "\x80x";
    EXPECT_EQ(nextUTF8Character(continuation), continuation + 1);
    const char* const twoAnnounced = "\xC3x";
    EXPECT_EQ(nextUTF8Character(twoAnnounced), twoAnnounced + 2);
    const char* const invalidLead = "\xFFx";
    EXPECT_EQ(nextUTF8Character(invalidLead), invalidLead + 1);
}

} // namespace
