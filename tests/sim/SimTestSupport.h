#pragma once

// Reading what the simulator prints: several JSON dumps one after another, each ending with a
// line "}"; and running the program itself, as a user does.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
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

// Runs orbitchat-sim with `arguments` (a shell's words), collecting its standard output, and its
// standard error too when `errors` is set; answers its exit status (-1 when it did not exit).
inline int runSimProgram(const std::string& arguments, std::string& out, bool errors = false) {
    std::string command = std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim " + arguments +
                          (errors ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
