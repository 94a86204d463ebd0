#include "platform/foundation/NSLog.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct LogState {
    std::mutex mutex;
    std::vector<std::pair<int, NSLogSink>> sinks;
    int nextToken = 1;
    bool echo = true;
};

LogState& state() {
    static LogState s;
    return s;
}

} // namespace

std::string NSStringWithFormat(std::string_view format, std::initializer_list<PlistValue> args) {
    std::string out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '@') {
                out += next != args.end() ? (next++)->description() : std::string("(null)");
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

void NSLog(std::string_view format, std::initializer_list<PlistValue> args) {
    std::string line = NSStringWithFormat(format, args);
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.echo) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
    for (auto& [token, sink] : s.sinks)
        sink(line);
}

int NSLogAddSink(NSLogSink sink) {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    s.sinks.emplace_back(s.nextToken, std::move(sink));
    return s.nextToken++;
}

void NSLogRemoveSink(int token) {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.sinks, [token](const auto& entry) { return entry.first == token; });
}

void NSLogSetEchoToStderr(bool echo) {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    s.echo = echo;
}
