#pragma once

// libplist as a second opinion: the tests read the same bytes with it and with our readers and
// compare. Only lists that passed our safety checks go to it (its reader recurses).

#include "platform/foundation/plist/PlistValue.h"

#include <cstdint>
#include <optional>
#include <span>

// The value libplist reads from XML or binary bytes, or nullopt when it refuses them. Integers
// come back by their 64 bits (libplist cannot tell -1 from 2^64-1), dates as whole seconds.
std::optional<PlistValue> libplistRead(std::span<const std::uint8_t> bytes);
