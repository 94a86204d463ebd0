#include "confetti/OCConfettiPieceTypes.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <map>
#include <mutex>

namespace {
// The types of the current device environment: registered by its host, gone with it.
struct Registry : DeviceEnvironment::Part {
    std::mutex mutex;
    std::map<std::string, OCConfettiPieceTypes::Factory, std::less<>> factories;
};
Registry& registry() {
    return DeviceEnvironment::current().part<Registry>();
}
} // namespace

void OCConfettiPieceTypes::registerType(const std::string& name, Factory factory) {
    Registry& device = registry();
    std::lock_guard lock(device.mutex);
    device.factories[name] = std::move(factory);
}

void OCConfettiPieceTypes::unregisterType(const std::string& name) {
    Registry& device = registry();
    std::lock_guard lock(device.mutex);
    device.factories.erase(name);
}

OCConfettiPieceTypes::Factory OCConfettiPieceTypes::factoryFor(const std::string& name) {
    Registry& device = registry();
    std::lock_guard lock(device.mutex);
    auto it = device.factories.find(name);
    return it == device.factories.end() ? Factory() : it->second;
}
