#pragma once

// The piece view types that a typed blast (OCConfettiArea::blastConfettiType) can make, by class
// name. A type is a factory standing for the class's `initWithStartingPoint:confettiColor:
// withFlutterSpeed:flutterType:`: it gets the emit point, a colour (the area always passes none),
// a flutter speed and a flutter type, and answers an object, which is used only if it is a
// UIView. The type decides its own size, colour and motion; the area gives it physics only.
//
//     OCConfettiPieceTypes::registerType("StarView", [](CGPoint at, std::optional<UIColor>, double speed,
//                                                      std::int64_t type) -> std::shared_ptr<NSObject> {
//         return StarView::create(at, speed, type);
//     });
//
// Factories run on generation workers: they may build their view but must not touch shared
// state of the main thread. Registering is safe from any thread; a name registered again is
// replaced. The types are the current device environment's: a type one simulated device
// registered is gone with it.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIColor.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class OCConfettiPieceTypes {
public:
    using Factory =
        std::function<std::shared_ptr<NSObject>(CGPoint startingPoint, std::optional<UIColor> confettiColor,
                                                double flutterSpeed, std::int64_t flutterType)>;

    static void registerType(const std::string& name, Factory factory);
    static void unregisterType(const std::string& name);
    // The factory of `name`, or an empty one for a name nobody registered.
    static Factory factoryFor(const std::string& name);
};
