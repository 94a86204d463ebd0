#include "platform/foundation/plist/PlistDictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> keysOf(const PlistDictionary& d) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : d)
        keys.push_back(key);
    return keys;
}

// The keys of a dictionary filled in the given order, as std::map orders them.
std::vector<std::string> byteOrder(std::vector<std::string> keys) {
    std::map<std::string, int> ordered;
    for (const auto& k : keys)
        ordered.emplace(k, 0);
    std::vector<std::string> out;
    for (const auto& [k, v] : ordered)
        out.push_back(k);
    return out;
}

TEST(PlistDictionaryTest, IteratesInByteOrderWhateverTheInsertionOrder) {
    // Upper case before lower, a prefix before what extends it, bytes above 0x7F last.
    const std::vector<std::string> inserted = {"b", "\xC3\xA4", "ab", "", "B", "a", std::string("a\0", 2),
                                               "A"};
    PlistDictionary d;
    for (std::size_t i = 0; i < inserted.size(); ++i)
        d[inserted[i]] = PlistValue(static_cast<int>(i));
    EXPECT_EQ(keysOf(d), byteOrder(inserted));
    EXPECT_EQ(keysOf(d).back(), "\xC3\xA4");
    // Each key still holds the value it was given.
    for (std::size_t i = 0; i < inserted.size(); ++i)
        EXPECT_EQ(d.at(inserted[i]), PlistValue(static_cast<int>(i))) << i;

    std::vector<std::string> backwards;
    for (auto it = d.rbegin(); it != d.rend(); ++it)
        backwards.push_back(it->first);
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, keysOf(d));
}

TEST(PlistDictionaryTest, TenThousandKeysInRandomOrderReadBack) {
    std::vector<std::string> keys;
    for (int i = 0; i < 10000; ++i)
        keys.push_back("key" + std::to_string(i));
    std::mt19937 random(7);
    std::shuffle(keys.begin(), keys.end(), random);

    PlistValue d = PlistValue::dictionary();
    for (const auto& k : keys)
        d.set(k, PlistValue(k + " value"));
    auto entries = d.dictionaryValue();
    ASSERT_EQ(entries->size(), 10000u);
    EXPECT_EQ(keysOf(*entries), byteOrder(keys));
    for (const auto& k : keys)
        ASSERT_EQ(d.get(k).stringValue(), k + " value") << k;
    EXPECT_TRUE(d.get("key10000").isNone());

    // Half of them removed, in another random order: the rest is whole and still in order.
    std::shuffle(keys.begin(), keys.end(), random);
    for (std::size_t i = 0; i < keys.size() / 2; ++i)
        d.remove(keys[i]);
    ASSERT_EQ(d.count(), 5000u);
    EXPECT_EQ(keysOf(*entries), byteOrder({keys.begin() + 5000, keys.end()}));
    EXPECT_TRUE(d.get(keys[0]).isNone());
    EXPECT_EQ(d.get(keys[9999]).stringValue(), keys[9999] + " value");
}

TEST(PlistDictionaryTest, FindsByAnyStringLikeKey) {
    PlistDictionary d{{"apple", 1}, {"banana", 2}, {"cherry", 3}};
    const std::string banana = "banana";
    const std::string_view view = "cherry";
    EXPECT_EQ(d.find("apple")->second, PlistValue(1));
    EXPECT_EQ(d.find(banana)->second, PlistValue(2));
    EXPECT_EQ(d.find(view)->second, PlistValue(3));
    EXPECT_EQ(d.find("appl"), d.end());
    EXPECT_EQ(d.find("apples"), d.end());
    EXPECT_EQ(d.find(""), d.end());
    EXPECT_TRUE(d.contains("banana"));
    EXPECT_EQ(d.count("cherry"), 1u);
    EXPECT_EQ(d.count("date"), 0u);
    EXPECT_EQ(d.lower_bound("b")->first, "banana");
    EXPECT_EQ(d.lower_bound("d"), d.end());

    const PlistDictionary& constant = d;
    EXPECT_EQ(constant.at("banana"), PlistValue(2));
    EXPECT_THROW((void)constant.at("date"), std::out_of_range);
    EXPECT_EQ(constant.find(view), constant.begin() + 2);
}

TEST(PlistDictionaryTest, InsertionKeepsOrReplacesAsStdMapDoes) {
    PlistDictionary d;
    EXPECT_TRUE(d.try_emplace("k", 1).second);
    EXPECT_FALSE(d.try_emplace("k", 2).second);
    EXPECT_FALSE(d.emplace("k", PlistValue(3)).second);
    EXPECT_EQ(d.at("k"), PlistValue(1));
    EXPECT_FALSE(d.insert_or_assign("k", PlistValue(4)).second);
    EXPECT_EQ(d.at("k"), PlistValue(4));
    EXPECT_TRUE(d["new"].isNone());
    EXPECT_EQ(d.size(), 2u);

    // A moved-in key is taken over, not copied.
    std::string key(100, 'x');
    const char* storage = key.data();
    auto [at, inserted] = d.try_emplace(std::move(key), 5);
    EXPECT_TRUE(inserted);
    EXPECT_EQ(at->first.data(), storage);

    // A list of entries: std::map keeps the first of a repeated key.
    PlistDictionary listed{{"b", 1}, {"a", 2}, {"b", 3}};
    EXPECT_EQ(keysOf(listed), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(listed.at("b"), PlistValue(1));
}

TEST(PlistDictionaryTest, BuiltFromEntriesInAnyOrderKeepsTheChosenOfARepeatedKey) {
    // Short lists and long ones are sorted by different means; both keep the order of equal keys.
    for (int n : {5, 16, 17, 300}) {
        PlistDictionary::Entries entries;
        for (int i = 0; i < n; ++i) {
            entries.emplace_back("k" + std::to_string((i * 7) % n), PlistValue(i));
            entries.emplace_back("k" + std::to_string((i * 7) % n), PlistValue(-i));
            if (i % 3 == 0)
                entries.emplace_back("k" + std::to_string((i * 7) % n), PlistValue(1000 + i));
        }
        PlistDictionary first(entries, PlistRepeatedKeys::FirstWins);
        PlistDictionary last(entries, PlistRepeatedKeys::LastWins);
        std::map<std::string, PlistValue, PlistKeyOrder> firstWins, lastWins;
        for (const auto& [k, v] : entries) {
            firstWins.emplace(k, v);
            lastWins[k] = v;
        }
        ASSERT_EQ(first.size(), firstWins.size()) << n;
        auto same = [](const auto& a, const auto& b) { return a.first == b.first && a.second == b.second; };
        EXPECT_TRUE(std::equal(first.begin(), first.end(), firstWins.begin(), firstWins.end(), same)) << n;
        EXPECT_TRUE(std::equal(last.begin(), last.end(), lastWins.begin(), lastWins.end(), same)) << n;
    }
}

TEST(PlistDictionaryTest, ErasesByKeyAndWhileIterating) {
    PlistDictionary d;
    for (int i = 0; i < 10; ++i)
        d["k" + std::to_string(i)] = PlistValue(i);
    EXPECT_EQ(d.erase("k3"), 1u);
    EXPECT_EQ(d.erase("k3"), 0u);
    auto next = d.erase(d.find("k4"));
    EXPECT_EQ(next->first, "k5");

    // Erasing the odd ones in one pass, going on from the entry that erase answers.
    for (auto it = d.begin(); it != d.end();) {
        if (it->second.integerValue() % 2)
            it = d.erase(it);
        else
            ++it;
    }
    EXPECT_EQ(keysOf(d), (std::vector<std::string>{"k0", "k2", "k6", "k8"}));

    // The value conveniences: none removes a key.
    PlistValue v = PlistValue::dictionary(d);
    v.set("k0", PlistValue());
    v.remove("k2");
    v.remove("absent");
    EXPECT_EQ(keysOf(*v.dictionaryValue()), (std::vector<std::string>{"k6", "k8"}));
    d.clear();
    EXPECT_TRUE(d.empty());
}

TEST(PlistDictionaryTest, EqualityIsByContentNotByInsertionOrder) {
    PlistDictionary a, b;
    a["x"] = 1;
    a["y"] = PlistValue::array({PlistValue("s")});
    b["y"] = PlistValue::array({PlistValue("s")});
    b["x"] = 1;
    EXPECT_EQ(a, b);
    EXPECT_EQ(PlistValue::dictionary(a), PlistValue::dictionary(b));
    b["x"] = 1.0;
    EXPECT_NE(a, b);
    b["x"] = 1;
    b["z"] = PlistValue();
    EXPECT_NE(a, b);
}

TEST(PlistDictionaryTest, MutableCopySharesElementsAndDeepCopySharesNothing) {
    PlistValue inner = PlistValue::dictionary({{"n", 1}});
    PlistValue outer = PlistValue::dictionary({{"inner", inner}, {"s", "text"}});

    PlistValue shallow = outer.mutableCopy();
    shallow.set("added", true);
    EXPECT_TRUE(outer.get("added").isNone());
    EXPECT_EQ(shallow.get("inner").dictionaryValue(), inner.dictionaryValue());

    PlistValue deep = outer.deepCopy();
    EXPECT_EQ(deep, outer);
    EXPECT_NE(deep.get("inner").dictionaryValue(), inner.dictionaryValue());
    deep.get("inner").set("n", 2);
    EXPECT_EQ(inner.get("n"), PlistValue(1));
    EXPECT_EQ(keysOf(*deep.dictionaryValue()), keysOf(*outer.dictionaryValue()));
}

} // namespace
