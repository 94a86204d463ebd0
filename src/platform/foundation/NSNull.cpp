#include "platform/foundation/NSNull.h"

const std::shared_ptr<NSNull>& NSNull::null() {
    static const std::shared_ptr<NSNull> instance(new NSNull());
    return instance;
}

bool NSNull::isNull(const PlistValue& value) {
    return value.isObject() && value.objectValue() == null();
}
