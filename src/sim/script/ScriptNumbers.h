#pragma once

// The numbers a script and a control's text input may hold, read one way everywhere: the whole
// word is a finite decimal or hexadecimal number as strtod reads it in the C locale ("0.5",
// "-3", "1e-3", "0x10"). A number too small for a double reads as the nearest one (0 or a
// denormal); one too large, "inf", "nan", an empty word or trailing characters read as none.
//
//     if (auto seconds = scriptNumber(word); seconds && *seconds <= 86400) ...

#include <cstdint>
#include <optional>
#include <string>

std::optional<double> scriptNumber(const std::string& text);

// A whole number in decimal, within 64 bits; none otherwise.
std::optional<std::int64_t> scriptInteger(const std::string& text);

// A count of things: a whole number in decimal from 0 up, within 64 bits; none otherwise ("-1",
// "1.5" and "+3" are not counts).
std::optional<std::int64_t> scriptCount(const std::string& text);
