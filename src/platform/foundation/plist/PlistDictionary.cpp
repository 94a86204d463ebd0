#include "platform/foundation/plist/PlistDictionary.h"

namespace {

using Entry = PlistDictionary::value_type;

bool keyBefore(const Entry& a, const Entry& b) {
    return PlistKeyOrder{}(a.first, b.first);
}

// Dictionaries read from files are mostly small, and an insertion sort of a few entries needs no
// buffer where std::stable_sort asks the allocator for one. Both keep entries with equal keys in
// the order they came, which is what settles a repeated key.
constexpr std::size_t kInsertionSortUpTo = 16;

void insertionSort(std::vector<Entry>& entries) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (!keyBefore(entries[i], entries[i - 1]))
            continue;
        Entry moving = std::move(entries[i]);
        std::size_t j = i;
        for (; j > 0 && keyBefore(moving, entries[j - 1]); --j)
            entries[j] = std::move(entries[j - 1]);
        entries[j] = std::move(moving);
    }
}

} // namespace

void PlistDictionary::settle(PlistRepeatedKeys repeated) {
    // Readers of files written in key order, which writers do, find the entries settled already.
    auto notAfter = [](const Entry& a, const Entry& b) { return !keyBefore(a, b); };
    if (std::adjacent_find(entries_.begin(), entries_.end(), notAfter) == entries_.end())
        return;
    if (entries_.size() <= kInsertionSortUpTo)
        insertionSort(entries_);
    else
        std::stable_sort(entries_.begin(), entries_.end(), keyBefore);
    // Each run of one key becomes the entry the rule keeps.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size();) {
        std::size_t next = i + 1;
        while (next < entries_.size() && entries_[next].first == entries_[i].first)
            ++next;
        const std::size_t keep = repeated == PlistRepeatedKeys::FirstWins ? i : next - 1;
        if (kept != keep)
            entries_[kept] = std::move(entries_[keep]);
        ++kept;
        i = next;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kept), entries_.end());
}
