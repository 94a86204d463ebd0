#pragma once

// Process spawning on the simulated device (posix_spawn). Programs run on the device, never on the
// host: the device knows one program, /usr/bin/killall, and killing "backboardd" with it restarts
// the device's user interface through the respring handler that the host installs. Every other
// path fails to spawn with ENOENT, as a missing file would.
//
// Every spawn attempt is recorded (path, arguments, result) so the host can show what ran. The
// records and the handler belong to the current device environment.
//
//     char* const argv[] = {(char*)"killall", (char*)"backboardd", nullptr};
//     device::posix_spawn(&pid, "/usr/bin/killall", nullptr, nullptr, argv, nullptr);

#include "platform/foundation/Subscription.h"

#include <spawn.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct DeviceSpawnRecord {
    std::string path;
    std::vector<std::string> argv;
    int result = 0; // 0, or the error number the spawn returned
};

class DeviceSpawn {
public:
    using RespringHandler = std::function<void()>;

    // Installed by the host until the handle goes; called (on the spawning thread) when backboardd
    // is killed. One handler at a time: a newer one replaces the one before, whose handle then
    // cancels nothing. The handler must not tear the caller down synchronously: a device restarts
    // its interface after the spawn has returned, so a host defers the restart to its run loop.
    static Subscription setRespringHandler(RespringHandler handler);
    static std::vector<DeviceSpawnRecord> records();
    static void clearRecords();

    static int spawn(pid_t* pid, const char* path, char* const argv[]);
};

namespace device {

// posix_spawn with the platform's signature. File actions, attributes and the environment are
// accepted and ignored: the device's programs need none of them.
int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* fileActions,
                const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);

} // namespace device
