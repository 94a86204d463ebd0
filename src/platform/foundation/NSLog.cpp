#include "platform/foundation/NSLog.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Sinks {
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, NSLogSink>> sinks;
    std::uint64_t next = 1;
    bool echo = true;
};

// The log of one device environment. Its sinks live in an object of their own, which a sink's
// handle reaches weakly: a handle that outlives its environment cancels nothing.
struct LogState : DeviceEnvironment::Part {
    std::shared_ptr<Sinks> sinks = std::make_shared<Sinks>();
};

Sinks& sinks() {
    return *DeviceEnvironment::current().part<LogState>().sinks;
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
    Sinks& s = sinks();
    std::lock_guard lock(s.mutex);
    if (s.echo) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
    for (auto& [id, sink] : s.sinks)
        sink(line);
}

Subscription NSLogAddSink(NSLogSink sink) {
    std::shared_ptr<Sinks> owner = DeviceEnvironment::current().part<LogState>().sinks;
    std::uint64_t id = 0;
    {
        std::lock_guard lock(owner->mutex);
        id = owner->next++;
        owner->sinks.emplace_back(id, std::move(sink));
    }
    return Subscription([weak = std::weak_ptr<Sinks>(owner), id] {
        auto s = weak.lock();
        if (!s)
            return;
        std::lock_guard lock(s->mutex);
        std::erase_if(s->sinks, [id](const auto& entry) { return entry.first == id; });
    });
}

void NSLogSetEchoToStderr(bool echo) {
    Sinks& s = sinks();
    std::lock_guard lock(s.mutex);
    s.echo = echo;
}
