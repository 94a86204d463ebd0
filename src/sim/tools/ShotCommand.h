#pragma once

// `orbitchat-sim shot BUNDLE OUT.png`: a PNG of a preference bundle's first page as the device
// shows it, for a package's depiction. The bundle (a folder of the host) opens on a fresh copy of
// the sample device, the screen settles for half a second, and the picture is written to OUT,
// relative to the current folder unless it is absolute.
//
// With `--project DIR` the project's bundle is installed into the fresh copy (BundleSource) and
// shot as it opens from its row in Settings.
//
//     orbitchat-sim shot My.bundle my.png --appearance dark --screen 414x896@3 --language de
//     orbitchat-sim shot --project ~/src/mytweak my.png
//
// A page that cannot be read (a missing, empty, oversized, broken or too deeply nested plist, a
// FIFO or a link loop in its place) is not shot: the device would show it blank.
//
// Exit status: 0 when the picture is written ("wrote OUT" on `out`), 1 when the bundle cannot be
// opened, its page cannot be read or the picture cannot be written (the reason on `err`, nothing
// written), 2 for a bad command line.

#include <iosfwd>

int RunShotCommand(int argc, char** argv, std::ostream& out, std::ostream& err);
