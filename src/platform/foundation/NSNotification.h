#pragma once

// One notification as the notification centre delivers it: a name, the object that sent it (may be
// null) and a dictionary of extra information (may be none).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"

#include <memory>
#include <string>

using NSNotificationName = std::string;

class NSNotification : public NSObject {
    struct Private {};

public:
    static std::shared_ptr<NSNotification> notificationWithName(NSNotificationName name,
                                                                std::shared_ptr<NSObject> object = nullptr,
                                                                PlistValue userInfo = {}) {
        return std::make_shared<NSNotification>(Private{}, std::move(name), std::move(object),
                                                std::move(userInfo));
    }

    NSNotification(Private, NSNotificationName name, std::shared_ptr<NSObject> object, PlistValue userInfo)
        : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

    std::string className() const override { return "NSNotification"; }

    const NSNotificationName& name() const { return name_; }
    const std::shared_ptr<NSObject>& object() const { return object_; }
    const PlistValue& userInfo() const { return userInfo_; }

private:
    NSNotificationName name_;
    std::shared_ptr<NSObject> object_;
    PlistValue userInfo_;
};
