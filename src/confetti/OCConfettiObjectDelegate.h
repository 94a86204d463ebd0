#pragma once

// The piece model's delegate protocol (OCConfettiObjectDelegate): told once, by
// `needToDeallocateConfettiObject`, when a piece has fallen below its area and detached itself.
// The confetti area implements it and drops the piece. Its one operation is required.

#include <memory>

class OCConfettiObject;

class OCConfettiObjectDelegate {
public:
    virtual ~OCConfettiObjectDelegate() = default;
    // needToDeallocateConfettiObject:. Nothing of the piece is used after this call.
    virtual void needToDeallocateConfettiObject(const std::shared_ptr<OCConfettiObject>& object) = 0;
};
