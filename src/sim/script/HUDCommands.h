#pragma once

// The script commands that put a progress HUD over the simulator's screen and drive the device
// around it (ScriptCommandRegistry hands them here):
//
//   hud show               a TQProgressHUD appears, animated, over the current screen: the view
//                          of the controller the user sees, or the window when an alert is up or
//                          the app is closed
//   hud hide               the HUD hides, animated, and removes itself when it has gone
//   hud mode N             0 spinner, 1 pie, 2 bar, 3 ring, 4 custom view (a check mark), 5 text
//                          only; the names spinner, pie, bar, ring, custom and text work too
//   hud label "TEXT"       the label's text ("" empties it)
//   hud details "TEXT"     the details label's text
//   hud button "TITLE"     a button with this title, which hides the HUD when tapped ("" hides it)
//   hud progress P         the progress shown by pie, bar and ring (not clamped, as the HUD's own)
//   hud offset X Y         the bezel's offset from the centre, in points
//   hud margin M           the margin around the bezel and its content, in points
//   hud minsize W H        the bezel's minimum size, in points
//   hud square on|off      whether the bezel is kept square
//   hud grace S            grace time in seconds: a HUD hidden sooner never appears
//   hud minshow S          minimum show time in seconds
//   hud background STYLE   clear, dim (black at 20%) or blur (a blurred backdrop)
//   hud animation TYPE     fade, grow-shrink, shrink or grow (or 0 to 3)
//   rotate                 the status bar turns a quarter (orientation notification); the HUD
//                          fits itself to its superview again
//   tilt X Y               tilts the device (X, Y from -1 to 1): the bezel's motion effects
//                          follow, 10 points at full tilt
//
// The commands keep one HUD configuration: each setting changes the HUD on screen at once and
// is kept for the next `hud show`, which builds a new HUD from the whole configuration (so grace
// and minimum show time can be given before the show they are meant for).

#include "hud/TQProgressHUD.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class SettingsApp;
class SimScreen;

class HUDCommands {
public:
    HUDCommands(SettingsApp& app, SimScreen& screen) : app_(app), screen_(screen) {}

    // The checks of a line's arguments before anything runs (ScriptCommandRegistry calls them):
    // the problem for the script's author, or nothing.
    static std::optional<std::string> checkHUD(const std::vector<std::string>& arguments);
    static std::optional<std::string> checkTilt(const std::vector<std::string>& arguments);

    // Carry out checked lines of "hud", "rotate" and "tilt"; each answers an error message, or
    // nothing.
    std::optional<std::string> runHUD(const std::vector<std::string>& arguments);
    void rotate();
    void tilt(const std::vector<std::string>& arguments);
    // Checks one line of "hud", "rotate" or "tilt" as a script's would be checked, then carries
    // it out.
    std::optional<std::string> run(const std::string& name, const std::vector<std::string>& arguments);

    // The HUD that the commands show, while it is on screen.
    std::shared_ptr<TQProgressHUD> hud() const;

private:
    struct Configuration {
        std::optional<std::int64_t> mode;
        std::optional<std::string> label, details, button;
        std::optional<float> progress;
        std::optional<CGPoint> offset;
        std::optional<double> margin;
        std::optional<CGSize> minSize;
        std::optional<bool> square;
        std::optional<double> grace, minShow;
        std::optional<std::string> background;
        std::optional<std::int64_t> animation;
    };

    void apply(TQProgressHUD& hud) const;
    // Where a new HUD goes: the visible controller's view, or the window.
    std::shared_ptr<UIView> hostView() const;

    SettingsApp& app_;
    SimScreen& screen_;
    Configuration configuration_;
    std::weak_ptr<TQProgressHUD> hud_;
};
