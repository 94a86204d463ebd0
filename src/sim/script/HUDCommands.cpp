#include "sim/script/HUDCommands.h"
#include "sim/script/ScriptCommandRegistry.h"
#include "sim/script/ScriptNumbers.h"

#include "hud/TQBackgroundView.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIStatusBarOrientation.h"
#include "sim/screen/SimCheckmarkView.h"
#include "sim/screen/SimScreen.h"
#include "sim/settings/SettingsApp.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

struct Subcommand {
    const char* name;
    std::size_t arguments;
    const char* usage;
};

constexpr Subcommand kSubcommands[] = {
    {"show", 0, "hud show"},
    {"hide", 0, "hud hide"},
    {"mode", 1, "hud mode N (0 spinner, 1 pie, 2 bar, 3 ring, 4 custom, 5 text)"},
    {"label", 1, "hud label \"TEXT\""},
    {"details", 1, "hud details \"TEXT\""},
    {"button", 1, "hud button \"TITLE\""},
    {"progress", 1, "hud progress P"},
    {"offset", 2, "hud offset X Y"},
    {"margin", 1, "hud margin M"},
    {"minsize", 2, "hud minsize W H"},
    {"square", 1, "hud square on|off"},
    {"grace", 1, "hud grace SECONDS"},
    {"minshow", 1, "hud minshow SECONDS"},
    {"background", 1, "hud background clear|dim|blur"},
    {"animation", 1, "hud animation fade|grow-shrink|shrink|grow"},
};

constexpr const char* kModeNames[] = {"spinner", "pie", "bar", "ring", "custom", "text"};
constexpr const char* kAnimationNames[] = {"fade", "grow-shrink", "shrink", "grow"};

// A small whole number from its digits or from one of `names` (their index).
template <std::size_t N>
std::optional<std::int64_t> choice(const std::string& text, const char* const (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (text == names[i])
            return static_cast<std::int64_t>(i);
    if (text.size() == 1 && text[0] >= '0' && static_cast<std::size_t>(text[0] - '0') < N)
        return text[0] - '0';
    return std::nullopt;
}

std::int64_t nextOrientation(std::int64_t orientation) {
    // A quarter turn clockwise each time, as a device turned on a table.
    switch (orientation) {
    case UIInterfaceOrientationLandscapeRight:
        return UIInterfaceOrientationPortraitUpsideDown;
    case UIInterfaceOrientationPortraitUpsideDown:
        return UIInterfaceOrientationLandscapeLeft;
    case UIInterfaceOrientationLandscapeLeft:
        return UIInterfaceOrientationPortrait;
    default:
        return UIInterfaceOrientationLandscapeRight;
    }
}

} // namespace

std::optional<std::string> HUDCommands::checkHUD(const std::vector<std::string>& args) {
    std::vector<std::string> known;
    for (const auto& s : kSubcommands)
        known.emplace_back(s.name);
    if (args.empty())
        return "hud needs what to do (" + joined(known, ", ") + ")";
    const Subcommand* shape = nullptr;
    for (const auto& s : kSubcommands)
        if (args[0] == s.name)
            shape = &s;
    if (!shape)
        return "unknown hud command " + doubleQuoted(args[0]) + " (known: " + joined(known, ", ") + ")";
    if (args.size() - 1 != shape->arguments)
        return doubleQuoted("hud " + args[0]) + " takes " + std::to_string(shape->arguments) +
               " argument(s): " + shape->usage;
    const std::string& what = args[0];
    if (what == "mode" && !choice(args[1], kModeNames))
        return "hud mode takes 0 to 5 or spinner, pie, bar, ring, custom, text, not " + doubleQuoted(args[1]);
    if (what == "animation" && !choice(args[1], kAnimationNames))
        return "hud animation takes fade, grow-shrink, shrink or grow (or 0 to 3), not " +
               doubleQuoted(args[1]);
    if (what == "square" && args[1] != "on" && args[1] != "off")
        return "hud square takes on or off, not " + doubleQuoted(args[1]);
    if (what == "background" && args[1] != "clear" && args[1] != "dim" && args[1] != "blur")
        return "hud background takes clear, dim or blur, not " + doubleQuoted(args[1]);
    if (what == "progress" || what == "offset") {
        for (std::size_t i = 1; i < args.size(); ++i)
            if (!scriptNumber(args[i]))
                return "hud " + what + " takes numbers, not " + doubleQuoted(args[i]);
    }
    if (what == "margin" || what == "minsize" || what == "grace" || what == "minshow") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            auto value = scriptNumber(args[i]);
            if (!value || *value < 0)
                return "hud " + what + " takes numbers of 0 or more, not " + doubleQuoted(args[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::string> HUDCommands::checkTilt(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        auto value = scriptNumber(a);
        if (!value || *value < -1 || *value > 1)
            return "tilt takes X and Y from -1 to 1, not " + doubleQuoted(a);
    }
    return std::nullopt;
}

std::shared_ptr<TQProgressHUD> HUDCommands::hud() const {
    auto hud = hud_.lock();
    return hud && hud->superview() ? hud : nullptr;
}

std::shared_ptr<UIView> HUDCommands::hostView() const {
    if (app_.isOpen()) {
        auto chain = app_.presentedChain();
        // An alert is a small card over a dimmed screen: the HUD covers the whole window then.
        bool alert = !chain.empty() && std::dynamic_pointer_cast<UIAlertController>(chain.back());
        if (!alert) {
            if (auto visible = app_.visibleController())
                if (auto view = visible->view())
                    return view;
        }
    }
    return screen_.windowPtr();
}

void HUDCommands::apply(TQProgressHUD& hud) const {
    const Configuration& c = configuration_;
    if (c.mode) {
        if (*c.mode == TQModeCustom && !hud.customView())
            hud.setCustomView(SimCheckmarkView::create());
        hud.setMode(*c.mode);
    }
    if (c.label)
        hud.label()->setText(*c.label);
    if (c.details)
        hud.detailsLabel()->setText(*c.details);
    if (c.button) {
        auto button = hud.button();
        button->setTitle(*c.button, UIControlStateNormal);
        if (!c.button->empty() && button->allControlEvents() == 0) {
            std::weak_ptr<TQProgressHUD> weak =
                std::static_pointer_cast<TQProgressHUD>(hud.shared_from_this());
            button->addAction(
                [weak](UIControl&) {
                    if (auto h = weak.lock())
                        h->hideAnimated(true);
                },
                UIControlEventTouchUpInside);
        }
        // An action cannot be taken off a button again, so an emptied one is hidden instead.
        button->setHidden(c.button->empty());
        hud.setNeedsUpdateConstraints();
    }
    if (c.progress)
        hud.setProgress(*c.progress);
    if (c.offset)
        hud.setOffset(*c.offset);
    if (c.margin)
        hud.setMargin(*c.margin);
    if (c.minSize)
        hud.setMinSize(*c.minSize);
    if (c.square)
        hud.setSquare(*c.square);
    if (c.grace)
        hud.setGraceTime(*c.grace);
    if (c.minShow)
        hud.setMinShowTime(*c.minShow);
    if (c.background) {
        auto background = hud.backgroundView();
        if (*c.background == "blur") {
            background->setStyle(TQBackgroundStyleBlurred);
            background->setColor(UIColor::colorWithWhite(0.8, 0.6));
        } else {
            background->setStyle(TQBackgroundStyleFlat);
            hud.setDimBackground(*c.background == "dim");
        }
    }
    if (c.animation)
        hud.setAnimationType(*c.animation);
}

std::optional<std::string> HUDCommands::runHUD(const std::vector<std::string>& args) {
    const std::string& what = args[0];
    auto value = [&](std::size_t i) { return scriptNumber(args[i]).value_or(0); };
    if (what == "show") {
        auto current = hud();
        if (!current) {
            auto host = hostView();
            if (!host)
                return "nothing on screen to show a HUD over";
            // As showHUDAddedTo:animated: does, with the configuration applied before the show
            // so that a grace time takes effect.
            current = TQProgressHUD::createWithView(host);
            current->setRemoveFromSuperViewOnHide(true);
            host->addSubview(current);
            hud_ = current;
        }
        apply(*current);
        current->showAnimated(true);
        return std::nullopt;
    }
    if (what == "hide") {
        auto current = hud();
        if (!current)
            return std::string("no HUD is on screen (show one with hud show)");
        current->hideAnimated(true);
        return std::nullopt;
    }
    Configuration& c = configuration_;
    if (what == "mode")
        c.mode = choice(args[1], kModeNames);
    else if (what == "label")
        c.label = args[1];
    else if (what == "details")
        c.details = args[1];
    else if (what == "button")
        c.button = args[1];
    else if (what == "progress")
        c.progress = static_cast<float>(value(1));
    else if (what == "offset")
        c.offset = CGPointMake(value(1), value(2));
    else if (what == "margin")
        c.margin = value(1);
    else if (what == "minsize")
        c.minSize = CGSizeMake(value(1), value(2));
    else if (what == "square")
        c.square = args[1] == "on";
    else if (what == "grace")
        c.grace = value(1);
    else if (what == "minshow")
        c.minShow = value(1);
    else if (what == "background")
        c.background = args[1];
    else if (what == "animation")
        c.animation = choice(args[1], kAnimationNames);
    if (auto current = hud())
        apply(*current);
    return std::nullopt;
}

void HUDCommands::rotate() {
    UISetStatusBarOrientation(nextOrientation(UIStatusBarOrientation()));
}

void HUDCommands::tilt(const std::vector<std::string>& args) {
    UIDeviceTilt::set(scriptNumber(args[0]).value_or(0), scriptNumber(args[1]).value_or(0));
}

std::optional<std::string> HUDCommands::run(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> words{name};
    words.insert(words.end(), args.begin(), args.end());
    if (auto problem = ScriptCommandRegistry::check(words))
        return problem;
    if (name == "rotate")
        rotate();
    else if (name == "tilt")
        tilt(args);
    else if (name == "hud")
        return runHUD(args);
    else
        return doubleQuoted(name) + " is not a command of the HUD";
    return std::nullopt;
}
