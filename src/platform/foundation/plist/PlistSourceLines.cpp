#include "platform/foundation/plist/PlistSourceLines.h"

#include <algorithm>

const void* PlistSourceLines::identity(const PlistValue& container) {
    if (auto d = container.dictionaryValue())
        return d.get();
    if (auto a = container.arrayValue())
        return a.get();
    return nullptr;
}

std::size_t PlistSourceLines::lineOf(const PlistValue& container) const {
    const void* id = identity(container);
    if (!id)
        return 0;
    auto it = lines_.find(id);
    return it == lines_.end() ? 0 : it->second;
}

void PlistSourceLines::record(const PlistValue& container, std::size_t offset) {
    if (const void* id = identity(container))
        pending_.emplace_back(offset, id);
}

void PlistSourceLines::resolve(std::string_view text) {
    std::sort(pending_.begin(), pending_.end());
    std::size_t line = 1, at = 0;
    for (const auto& [offset, id] : pending_) {
        const std::size_t end = std::min(offset, text.size());
        for (; at < end; ++at) {
            if (text[at] == '\n' || (text[at] == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n')))
                ++line;
        }
        lines_[id] = line;
    }
    pending_.clear();
}

void PlistSourceLines::clear() {
    pending_.clear();
    lines_.clear();
}
