#pragma once

// The system log. `NSLog` formats with NSStringWithFormat and writes one line to standard error;
// sinks added with NSLogAddSink also receive every line (tests and the simulator's dump use them).
// The sinks and the echo belong to the current device environment: a scope that ends takes its
// sinks with it and puts the echo back.
//
//     NSLog("[OC] read key '%@' with value '%@'", {key, value});
//     Subscription capture = NSLogAddSink([&](const std::string& line) { lines.push_back(line); });

#include "platform/foundation/Subscription.h"
#include "platform/foundation/plist/PlistValue.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// Replaces each "%@" with the next argument's description text and "%%" with "%". Any other
// "%" sequence is copied as it stands. Missing arguments print "(null)".
std::string NSStringWithFormat(std::string_view format, std::initializer_list<PlistValue> args);

void NSLog(std::string_view format, std::initializer_list<PlistValue> args = {});

using NSLogSink = std::function<void(const std::string& line)>;
// Adds a sink until the handle goes. Sinks run on the thread that logs, under the log's lock, so
// a sink must neither log nor drop a sink's handle itself.
Subscription NSLogAddSink(NSLogSink sink);
// Whether lines also go to standard error (on by default; tests may turn it off).
void NSLogSetEchoToStderr(bool echo);
