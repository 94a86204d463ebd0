#pragma once

// Reading what the simulator prints: several JSON dumps one after another, each ending with a
// line "}".

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

inline std::vector<nlohmann::json> splitDumps(const std::string& out) {
    std::vector<nlohmann::json> result;
    std::istringstream in(out);
    std::string line, current;
    while (std::getline(in, line)) {
        current += line + "\n";
        if (line == "}") {
            result.push_back(nlohmann::json::parse(current));
            current.clear();
        }
    }
    return result;
}
