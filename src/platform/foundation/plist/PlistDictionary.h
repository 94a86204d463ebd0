#pragma once

// The entries of a property-list dictionary: keys in byte order, each with its value. It answers
// to the part of std::map's interface that the code base uses (find by any string-like key,
// operator[], try_emplace, emplace, insert_or_assign, erase, iteration in key order, structured
// bindings), but keeps its entries in one sorted vector: a dictionary of a parsed file is one
// allocation instead of one per key, and walking it touches contiguous memory.
//
//     PlistDictionary d;
//     d["b"] = PlistValue(2);
//     d["a"] = PlistValue(1);
//     for (const auto& [key, value] : d) ...   // "a", then "b"
//
// The one rule that differs from std::map: inserting or erasing an entry moves the others, so it
// invalidates every iterator, pointer and reference into the dictionary (std::map kept those to
// other entries). Copy a value out, or find it again, after changing the dictionary. Changing an
// entry's value in place does not move anything. A key must never be changed through an
// iterator: the order is what lookups rely on.
//
// A reader that has all of a dictionary's entries at hand builds it in one step from them in any
// order (the constructor that takes a vector and a rule for repeated keys): they are sorted once
// instead of each being inserted in its place.

#include "platform/foundation/plist/PlistValue.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

// The order of a dictionary's keys: byte order, as std::string compares them (bytes unsigned),
// looked up by any string-like key. Keys are short, and they mostly differ in their first bytes,
// so they are compared here rather than in a call into the C library for each step of a search.
struct PlistKeyOrder {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i)
            if (a[i] != b[i])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
        return a.size() < b.size();
    }
};

// Which of several entries with one key a dictionary built from a list of entries keeps.
enum class PlistRepeatedKeys { FirstWins, LastWins };

class PlistDictionary {
public:
    using key_type = std::string;
    using mapped_type = PlistValue;
    using value_type = std::pair<std::string, PlistValue>;
    using Entries = std::vector<value_type>;
    using size_type = std::size_t;
    using iterator = Entries::iterator;
    using const_iterator = Entries::const_iterator;
    using reverse_iterator = Entries::reverse_iterator;
    using const_reverse_iterator = Entries::const_reverse_iterator;

    PlistDictionary() = default;
    // As std::map's: of a repeated key the first entry is kept.
    PlistDictionary(std::initializer_list<value_type> entries)
        : PlistDictionary(Entries(entries), PlistRepeatedKeys::FirstWins) {}
    // Entries in any order; of a repeated key, `repeated` says which one is kept.
    PlistDictionary(Entries entries, PlistRepeatedKeys repeated) : entries_(std::move(entries)) {
        settle(repeated);
    }

    iterator begin() noexcept { return entries_.begin(); }
    iterator end() noexcept { return entries_.end(); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }
    const_iterator cbegin() const noexcept { return entries_.cbegin(); }
    const_iterator cend() const noexcept { return entries_.cend(); }
    reverse_iterator rbegin() noexcept { return entries_.rbegin(); }
    reverse_iterator rend() noexcept { return entries_.rend(); }
    const_reverse_iterator rbegin() const noexcept { return entries_.rbegin(); }
    const_reverse_iterator rend() const noexcept { return entries_.rend(); }

    size_type size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    void clear() noexcept { entries_.clear(); }
    void reserve(size_type n) { entries_.reserve(n); }

    // The first entry whose key is not before `key`.
    iterator lower_bound(std::string_view key) {
        return std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore{});
    }
    const_iterator lower_bound(std::string_view key) const {
        return std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore{});
    }
    iterator find(std::string_view key) {
        auto at = lower_bound(key);
        return at != entries_.end() && at->first == key ? at : entries_.end();
    }
    const_iterator find(std::string_view key) const {
        auto at = lower_bound(key);
        return at != entries_.end() && at->first == key ? at : entries_.end();
    }
    bool contains(std::string_view key) const { return find(key) != end(); }
    size_type count(std::string_view key) const { return contains(key) ? 1 : 0; }

    // The value of `key`; std::out_of_range when there is none.
    PlistValue& at(std::string_view key) {
        auto found = find(key);
        if (found == end())
            throw std::out_of_range("no such key in the dictionary");
        return found->second;
    }
    const PlistValue& at(std::string_view key) const {
        auto found = find(key);
        if (found == end())
            throw std::out_of_range("no such key in the dictionary");
        return found->second;
    }

    // The value of `key`, inserted as none when there is none.
    template <class K> PlistValue& operator[](K&& key) {
        return try_emplace(std::forward<K>(key)).first->second;
    }

    // Inserts `key` with a value made of `args` unless the key is there; the entry and whether
    // it was inserted. The key is copied (or moved) only when it is inserted.
    template <class K, class... Args> std::pair<iterator, bool> try_emplace(K&& key, Args&&... args) {
        const std::string_view view(key);
        // Entries that come in order, as most builders give them, go on at the end.
        iterator at = entries_.empty() || PlistKeyOrder{}(entries_.back().first, view) ? entries_.end()
                                                                                       : lower_bound(view);
        if (at != entries_.end() && at->first == view)
            return {at, false};
        at = entries_.emplace(at, std::piecewise_construct, std::forward_as_tuple(std::forward<K>(key)),
                              std::forward_as_tuple(std::forward<Args>(args)...));
        return {at, true};
    }
    // As std::map's: an entry already there is kept.
    template <class K, class V> std::pair<iterator, bool> emplace(K&& key, V&& value) {
        return try_emplace(std::forward<K>(key), std::forward<V>(value));
    }
    template <class K, class V> std::pair<iterator, bool> insert_or_assign(K&& key, V&& value) {
        auto [at, inserted] = try_emplace(std::forward<K>(key));
        at->second = std::forward<V>(value);
        return {at, inserted};
    }

    // For readers, which take entries in a file's order: `appendUnsettled` adds one at the end
    // without looking for its place, and `settleAppended` puts them all in order at once, keeping
    // the last of a repeated key as every reader does. A file's keys may come in any order, and
    // placing each one as it comes would move the entries after it: quadratic in the number of
    // keys. Between the two calls the dictionary is out of order and only appending may be done.
    void appendUnsettled(std::string key, PlistValue value) {
        entries_.emplace_back(std::move(key), std::move(value));
    }
    void settleAppended() { settle(PlistRepeatedKeys::LastWins); }

    // Erasing answers the entry after the erased one, as std::map's erase does.
    iterator erase(const_iterator at) { return entries_.erase(at); }
    iterator erase(iterator at) { return entries_.erase(at); }
    size_type erase(std::string_view key) {
        auto found = find(key);
        if (found == end())
            return 0;
        entries_.erase(found);
        return 1;
    }

    // Equal when they hold the same keys with equal values.
    bool operator==(const PlistDictionary& other) const { return entries_ == other.entries_; }

private:
    struct KeyBefore {
        bool operator()(const value_type& entry, std::string_view key) const noexcept {
            return PlistKeyOrder{}(entry.first, key);
        }
    };

    void settle(PlistRepeatedKeys repeated);

    Entries entries_;
};
