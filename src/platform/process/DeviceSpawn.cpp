#include "platform/process/DeviceSpawn.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace {

constexpr const char* kKillall = "/usr/bin/killall";
// Pids the simulated device hands out; far above anything the host would show.
constexpr pid_t kFirstPid = 40000;

struct State {
    std::mutex mutex;
    DeviceSpawn::RespringHandler respring;
    // Which installation the handler is, so that an older handle leaves a newer handler be.
    std::uint64_t respringId = 0;
    std::vector<DeviceSpawnRecord> records;
    pid_t nextPid = kFirstPid;
};

// The device environment's spawning; a handler's handle reaches it weakly, so a handle that
// outlives the environment cancels nothing.
struct SpawnState : DeviceEnvironment::Part {
    std::shared_ptr<State> state = std::make_shared<State>();
};

State& state() {
    return *DeviceEnvironment::current().part<SpawnState>().state;
}

} // namespace

Subscription DeviceSpawn::setRespringHandler(RespringHandler handler) {
    std::shared_ptr<State> owner = DeviceEnvironment::current().part<SpawnState>().state;
    RespringHandler replaced;
    std::uint64_t id = 0;
    {
        std::lock_guard lock(owner->mutex);
        id = ++owner->respringId;
        replaced = std::exchange(owner->respring, std::move(handler));
    }
    return Subscription([weak = std::weak_ptr<State>(owner), id] {
        auto s = weak.lock();
        if (!s)
            return;
        RespringHandler removed;
        std::lock_guard lock(s->mutex);
        if (s->respringId == id)
            removed = std::exchange(s->respring, nullptr);
    });
}

std::vector<DeviceSpawnRecord> DeviceSpawn::records() {
    std::lock_guard lock(state().mutex);
    return state().records;
}

void DeviceSpawn::clearRecords() {
    std::lock_guard lock(state().mutex);
    state().records.clear();
}

int DeviceSpawn::spawn(pid_t* pid, const char* path, char* const argv[]) {
    DeviceSpawnRecord record;
    record.path = path ? path : "";
    // Arguments end at the null entry; a null vector is an empty one.
    for (std::size_t i = 0; argv && argv[i]; ++i)
        record.argv.emplace_back(argv[i]);

    bool isKillall = record.path == kKillall;
    record.result = isKillall ? 0 : ENOENT;

    bool killsBackboardd = false;
    for (std::size_t i = 1; isKillall && i < record.argv.size(); ++i)
        killsBackboardd = killsBackboardd || record.argv[i] == "backboardd";

    RespringHandler respring;
    {
        std::lock_guard lock(state().mutex);
        state().records.push_back(record);
        if (isKillall && pid)
            *pid = state().nextPid++;
        if (killsBackboardd)
            respring = state().respring;
    }
    if (respring)
        respring();
    return record.result;
}

int device::posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t*,
                        const posix_spawnattr_t*, char* const argv[], char* const /*envp*/[]) {
    return DeviceSpawn::spawn(pid, path, argv);
}
