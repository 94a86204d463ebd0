#include "confetti/OCConfettiPieceTypes.h"

#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, OCConfettiPieceTypes::Factory, std::less<>> factories;
};
Registry& registry() {
    static Registry shared;
    return shared;
}
} // namespace

void OCConfettiPieceTypes::registerType(const std::string& name, Factory factory) {
    std::lock_guard lock(registry().mutex);
    registry().factories[name] = std::move(factory);
}

void OCConfettiPieceTypes::unregisterType(const std::string& name) {
    std::lock_guard lock(registry().mutex);
    registry().factories.erase(name);
}

OCConfettiPieceTypes::Factory OCConfettiPieceTypes::factoryFor(const std::string& name) {
    std::lock_guard lock(registry().mutex);
    auto it = registry().factories.find(name);
    return it == registry().factories.end() ? Factory() : it->second;
}
