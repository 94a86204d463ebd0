#pragma once

// The small text helpers the tree shares, in one place so that they read the same everywhere.
// Case and blanks are ASCII only, by design: URL schemes, file names, plist keys and script words
// are compared byte for byte, and neither the process's locale nor a multi-byte character may
// change what they mean (bytes above 0x7F pass through unchanged).
//
//     lowercased("Sileo")                  // "sileo"
//     trimmed("  text/html \r\n")          // "text/html"
//     joined({"a", "b"}, ", ")             // "a, b"
//     doubleQuoted("Show Me!")             // "\"Show Me!\"" (nothing escaped)
//     hexDigitValue('e')                   // 14
//
// (doubleQuoted is not called quoted: std::quoted, found by argument lookup for a std::string,
// would win the call.)

#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// The blanks trimmed() takes off both ends by default: space, tab, carriage return, line feed.
inline constexpr std::string_view kASCIIBlanks = " \t\r\n";
std::string trimmed(std::string_view text, std::string_view blanks = kASCIIBlanks);
// The same, as a view into `text`, for readers that only look at the trimmed text.
std::string_view trimmedView(std::string_view text, std::string_view blanks = kASCIIBlanks);
// Whether a byte is one of kASCIIBlanks: also XML's white space, which is the same four.
constexpr bool isASCIIBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of one hexadecimal digit, in either case ('7' is 7, 'b' and 'B' are 11); nothing for
// any other byte.
std::optional<int> hexDigitValue(char c);

// The items one after another with `separator` between them; "" for none.
std::string joined(const std::vector<std::string>& items, std::string_view separator);

// The text between double quotes, as a message shows a name; nothing inside is escaped.
std::string doubleQuoted(std::string_view text);
