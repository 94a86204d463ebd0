#pragma once

// The script commands that look at the screen (ScriptRunner hands them here):
//
//   screenshot FILE      writes the screen as it is now as a PNG (device pixels)
//   record FILE          starts recording every frame that changes into an animated WebP ...
//   stop                 ... and writes it
//   scroll "ROW"         scrolls the list until the row titled ROW is in view
//   type "TEXT"          types into the focused text field (tap its row first)
//   views                prints every view on screen as JSON (SimScreen::viewsDump)
//
// Relative file names are taken from the output folder given at construction. Each command
// answers an error message for the script's author, or nothing.

#include "sim/screen/AnimatedImageWriter.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SimScreen;
class Simulator;
class Subscription;
using FrameSubscription = Subscription;

class ScreenCommands {
public:
    ScreenCommands(Simulator& simulator, SimScreen& screen, std::string outputFolder);
    ~ScreenCommands();

    // The commands and how many arguments each takes.
    struct Shape {
        const char* name;
        std::size_t arguments;
        const char* usage;
    };
    static const std::vector<Shape>& shapes();
    static bool isScreenCommand(const std::string& name);

    std::optional<std::string> run(const std::string& name, const std::vector<std::string>& arguments,
                                   std::ostream& out);
    // What the screen does for a tap before the app sees it: a "Done" of an opened page closes
    // it; a text row's title focuses its field. Answers whether the screen took the tap.
    bool tap(const std::string& title);
    // After every command: the screen catches up, and a recording takes the frame.
    void afterCommand();
    // The files written so far, in order.
    const std::vector<std::string>& written() const { return written_; }
    // Ends a recording that the script left running, writing what it has; nullopt, or why the
    // recording could not be written.
    std::optional<std::string> finish();

private:
    std::string resolve(const std::string& file) const;
    void capture();

    Simulator& simulator_;
    SimScreen& screen_;
    std::string folder_;
    std::unique_ptr<AnimatedImageWriter> recording_;
    std::string recordingPath_;
    std::unique_ptr<FrameSubscription> recordingFrames_;
    std::vector<std::string> written_;
};
