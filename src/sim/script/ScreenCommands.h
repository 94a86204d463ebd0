#pragma once

// The script commands that look at the screen (ScriptCommandRegistry hands them here):
//
//   screenshot FILE      writes the screen as it is now as a PNG (device pixels)
//   record FILE          starts recording every frame that changes into an animated WebP ...
//   stop                 ... and writes it
//   scroll "ROW"         scrolls the list until the row titled ROW is in view
//   type "TEXT"          types into the focused text field (tap its row first), then presses
//                        return, which ends the editing and stores the row's text
//   views                prints every view on screen as JSON (SimScreen::viewsDump)
//
// Relative file names are taken from the output folder given at construction. Each command
// first lets the screen catch up with the app; a failure's reason is written for the script's
// author.

#include "platform/foundation/Result.h"
#include "sim/screen/AnimatedImageWriter.h"

#include <iosfwd>
#include <memory>
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
    ScreenCommands(const ScreenCommands&) = delete;
    ScreenCommands& operator=(const ScreenCommands&) = delete;

    // Fails when the picture cannot be written.
    Result<> screenshot(const std::string& file);
    // Fails when a recording is already running.
    Result<> record(const std::string& file);
    // Fails when no recording is running, or when it cannot be written.
    Result<> stop();
    // Fails when no row of that title is on screen.
    Result<> scroll(const std::string& row);
    // Types into the focused field and presses return. Fails when no text field has the focus.
    Result<> type(const std::string& text);
    void views(std::ostream& out);

    // What the screen does for a tap before the app sees it: a "Done" of an opened page closes
    // it; a text row's title focuses its field. Answers whether the screen took the tap.
    bool tap(const std::string& title);
    // After every command: the screen catches up, and a recording takes the frame.
    void afterCommand();
    // The files written so far, in order.
    const std::vector<std::string>& written() const { return written_; }
    // Ends a recording that the script left running, writing what it has; fails when the
    // recording cannot be written.
    Result<> finish();

    SimScreen& screen() { return screen_; }

private:
    std::string resolve(const std::string& file) const;
    void capture();
    Result<> writeRecording();

    Simulator& simulator_;
    SimScreen& screen_;
    std::string folder_;
    std::unique_ptr<AnimatedImageWriter> recording_;
    std::string recordingPath_;
    std::unique_ptr<FrameSubscription> recordingFrames_;
    std::vector<std::string> written_;
};
