// The lazy-library helper on real libraries: the C library's maths (libm.so.6, always there) as a
// library that has some of the functions asked for and not others, a soname that no library has,
// and the once-only lookup raced by several threads.

#include "platform/process/LazyLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <latch>
#include <thread>
#include <vector>

namespace {

// Two functions that libm has, and one it does not.
struct MathFunctions {
    double (*cos)(double) = nullptr;
    double (*sqrt)(double) = nullptr;
    double (*missing)(double) = nullptr;
    std::string failure;
};

MathFunctions lookUpMaths(bool withMissing, LibraryLookup::Words words = {}) {
    MathFunctions f;
    LibraryLookup lookup(words);
    lookup.open("libm.so.6");
    lookup.find(f.cos, "cos");
    lookup.find(f.sqrt, "sqrt");
    if (withMissing)
        lookup.find(f.missing, "orbitchatNoSuchFunction");
    return lookup.finish(f, "the maths (libm.so.6) could not be loaded: ");
}

TEST(LazyLibraryTest, ALibraryWithEveryFunctionAskedForIsUsedThroughThem) {
    MathFunctions f = lookUpMaths(false);
    EXPECT_EQ(f.failure, "");
    ASSERT_NE(f.cos, nullptr);
    ASSERT_NE(f.sqrt, nullptr);
    EXPECT_DOUBLE_EQ(f.cos(0), 1.0);
    EXPECT_DOUBLE_EQ(f.sqrt(16), 4.0);
}

TEST(LazyLibraryTest, ALibraryThatLacksOneFunctionIsUsedForNoneAndTheFailureNamesIt) {
    MathFunctions f = lookUpMaths(true);
    EXPECT_EQ(f.failure, "the maths (libm.so.6) could not be loaded: it has no orbitchatNoSuchFunction");
    EXPECT_EQ(f.cos, nullptr);
    EXPECT_EQ(f.sqrt, nullptr);
    EXPECT_EQ(f.missing, nullptr);

    MathFunctions worded = lookUpMaths(true, {.cannotOpen = "unused", .missing = "libm.so.6: has no "});
    EXPECT_EQ(worded.failure,
              "the maths (libm.so.6) could not be loaded: libm.so.6: has no orbitchatNoSuchFunction");
}

TEST(LazyLibraryTest, ASonameThatNoLibraryHasFailsWithTheLoadersWordsAndStopsTheLookup) {
    MathFunctions f;
    LibraryLookup lookup;
    lookup.open("liborbitchat-no-such-library.so.9");
    EXPECT_EQ(lookup.soname(), "liborbitchat-no-such-library.so.9");
    lookup.open("libm.so.6"); // after a failure, nothing more is opened or found
    lookup.find(f.cos, "cos");
    EXPECT_EQ(lookup.soname(), "liborbitchat-no-such-library.so.9");
    f = lookup.finish(f, "prefix: ");
    EXPECT_EQ(f.cos, nullptr);
    EXPECT_TRUE(
        f.failure.starts_with("prefix: liborbitchat-no-such-library.so.9: cannot open shared object file"))
        << f.failure;
}

TEST(LazyLibraryTest, AFailureOfTheLibrarysOwnInitialisationIsKeptBehindAnEarlierOne) {
    LibraryLookup lookup;
    lookup.fail("it did not initialise");
    lookup.fail("a later reason");
    EXPECT_EQ(lookup.failure(), "it did not initialise");
}

TEST(LazyLibraryTest, ManyThreadsAskingFirstAtOnceLookTheLibraryUpExactlyOnceAndAllSeeTheSameOutcome) {
    LazyLibrary<MathFunctions> library;
    std::atomic<int> lookups = 0;
    auto resolve = [&] {
        ++lookups;
        return lookUpMaths(false);
    };
    constexpr int kThreads = 8;
    std::latch go(kThreads);
    std::vector<const MathFunctions*> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            go.arrive_and_wait();
            seen[static_cast<std::size_t>(i)] = &library.functions(resolve);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(lookups.load(), 1);
    for (const MathFunctions* functions : seen) {
        EXPECT_EQ(functions, seen[0]);
        ASSERT_NE(functions->cos, nullptr);
        EXPECT_DOUBLE_EQ(functions->cos(0), 1.0);
    }
    // A failed lookup is not tried again either: the outcome is the process's.
    LazyLibrary<MathFunctions> failing;
    int failedLookups = 0;
    auto resolveFailing = [&] {
        ++failedLookups;
        return lookUpMaths(true);
    };
    EXPECT_NE(failing.functions(resolveFailing).failure, "");
    EXPECT_NE(failing.functions(resolveFailing).failure, "");
    EXPECT_EQ(failedLookups, 1);
}

struct CodeAnswers {
    template <class R> static R unavailable() { return static_cast<R>(-7); }
};

int twice(int x) {
    return 2 * x;
}

TEST(LazyLibraryTest, AForwarderWithoutItsFunctionAnswersLikeALibraryThatCannotStart) {
    int (*none)(int) = nullptr;
    const char* (*noText)(int) = nullptr;
    void (*noAction)(int) = nullptr;
    EXPECT_EQ(forwardTo<CodeAnswers>(none, 3), -7);
    EXPECT_EQ(forwardTo(noText, 3), nullptr);
    forwardTo(noAction, 3); // does nothing, and does not crash
    EXPECT_EQ(forwardTo<CodeAnswers>(&twice, 21), 42);
}

} // namespace
