#pragma once

// The simulator's state dump: one JSON object with what a user of the pane would see and what the
// device did. Tests and tweak developers read it, so its shape is a contract:
//
//   title       the navigation title of the screen on top, or null when nothing is open
//   rows        the rows of the settings list on top of the navigation stack (the pane, a bundle's
//               page, a choice page, the Settings app's list of tweaks): title, cell (the cell
//               type's name), key, defaults, value (what the cell shows, as text: "on"/"off" for a
//               switch, the number of a slider, the chosen title of a segment or link list, the
//               text of a field; null for rows that show none), stored (what the row's getter
//               answers, or null), footerText, hasIcon, placeholder (the class the device
//               lacks, for a row with nothing stock to draw, shown as a placeholder; absent
//               otherwise), approximated (the class of the bundle's own that the device lacks, for
//               a row drawn and run as its stock cell in that class's place, or whose tap would
//               open that class; absent otherwise) and cellClass (for a row drawn by a preference
//               library's class that the device has; absent otherwise)
//   extensions  the discovered Extension records, with their keys and values
//   alert       the presented alert (title, message, actions with title and style) or null
//   presented   the class names of the presented controllers, bottom first
//   spawned     the programs spawned on the device: path, argv, result (0 or the error number)
//   openedURLs  the URLs the device opened, in order
//   confetti    the pane's confetti area, or null: live (the number of live pieces) and pieces,
//               each with frame [x, y, w, h] in the area, color [r, g, b, a] or null,
//               flutterType, flutterSpeed, velocity [vx, vy] as the animator has it, density and
//               swayLength
//   notifications  the Darwin notifications posted so far, in order
//   log         every log line so far
//
// Values of the rows and records are written as JSON of their own kind; dates and data as their
// description text. Byte sequences that are not UTF-8 (odd file names) come out with U+FFFD.

#include "platform/foundation/plist/PlistValue.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <optional>
#include <string>

class PSListController;
class PSSpecifier;
class Simulator;

// What a row of `list` holds and shows, as the dump's "stored" and "value" have them: nothing for
// a placeholder row.
struct SimRowValue {
    PlistValue stored;
    std::optional<std::string> shown;
};
SimRowValue SimRowValueOf(PSListController& list, const std::shared_ptr<PSSpecifier>& row);

nlohmann::ordered_json SimDump(Simulator& simulator);
nlohmann::ordered_json SimJSONFromPlist(const PlistValue& value);
// The dump as text: indented, never failing on bytes that are not UTF-8.
std::string SimDumpText(const nlohmann::ordered_json& dump);
