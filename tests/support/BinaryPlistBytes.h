#pragma once

// Hand-built binary property lists for reader tests: objects given as encoded bytes (a marker and
// its payload each), laid out with 4-byte offsets and references of `refSize` bytes.

#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> binaryList(const std::vector<std::vector<std::uint8_t>>& objects,
                                            std::uint64_t top = 0, std::uint8_t refSize = 1) {
    std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), o.begin(), o.end());
    }
    auto put = [&](std::uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    std::uint64_t table = out.size();
    for (auto off : offsets)
        put(off, 4);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 4, refSize});
    put(objects.size(), 8);
    put(top, 8);
    put(table, 8);
    return out;
}
