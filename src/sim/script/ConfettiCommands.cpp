#include "sim/script/ConfettiCommands.h"
#include "sim/script/ScriptNumbers.h"

#include "confetti/OCConfettiArea.h"
#include "confetti/OCConfettiPieceTypes.h"
#include "confetti/OCConfettiView.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"
#include "sim/settings/SettingsApp.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <numbers>

namespace {

struct Subcommand {
    const char* name;
    std::size_t arguments;
    const char* usage;
};

constexpr Subcommand kSubcommands[] = {
    {"burst", 4, "confetti burst X Y WIDTH N"},
    {"blast", 6, "confetti blast X Y ANGLE FORCE WIDTH N"},
    {"typed", 6, "confetti typed X Y ANGLE FORCE N TYPE"},
};

constexpr const char* kStarType = "SimStarView";
constexpr std::int64_t kMaxPieces = 100000;
constexpr const char* kNotAViewType = "SimNotAView";

// A piece type of the simulator's own: a gold five-pointed star, 12 points across, centred on the
// emit point. It draws itself, so building it on a generation worker sets nothing shared.
class SimStarView : public UIView {
public:
    static std::shared_ptr<SimStarView> create(CGPoint centre) {
        auto v =
            std::shared_ptr<SimStarView>(new SimStarView(CGRectMake(centre.x - 6, centre.y - 6, 12, 12)));
        v->commonInit();
        return v;
    }
    std::string className() const override { return kStarType; }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override {
        auto path = UIBezierPath::bezierPath();
        const double pi = std::numbers::pi;
        for (int i = 0; i < 10; ++i) {
            double r = i % 2 ? 2.6 : 6.0;
            double a = -pi / 2 + i * pi / 5;
            CGPoint p{rect.midX() + r * std::cos(a), rect.midY() + r * std::sin(a)};
            if (i == 0)
                path->moveToPoint(p);
            else
                path->addLineToPoint(p);
        }
        path->closePath();
        UIColorSetFill(UIColor::colorWithRed(1, 0.78, 0.1, 1));
        path->fill();
    }

private:
    explicit SimStarView(CGRect frame) : UIView(frame) {}
};

std::shared_ptr<OCConfettiArea> areaOf(SettingsApp& app) {
    if (!app.pane())
        throw SettingsApp::Error("the pane is not open; \"open\" it first");
    auto area = app.pane()->confettiArea();
    if (!area)
        throw SettingsApp::Error("the pane has no confetti area yet");
    return area;
}

} // namespace

void ConfettiCommands::registerPieceTypes() {
    // Into the simulator's device, whose types go with it; registering again replaces.
    OCConfettiPieceTypes::registerType(
        kStarType, [](CGPoint at, std::optional<UIColor>, double, std::int64_t) -> std::shared_ptr<NSObject> {
            return SimStarView::create(at);
        });
    OCConfettiPieceTypes::registerType(
        kNotAViewType,
        [](CGPoint, std::optional<UIColor>, double, std::int64_t) -> std::shared_ptr<NSObject> {
            return std::make_shared<NSObject>();
        });
}

std::optional<std::string> ConfettiCommands::check(const std::vector<std::string>& args) {
    std::vector<std::string> each;
    for (const auto& s : kSubcommands)
        each.emplace_back(s.usage);
    const std::string usages = joined(each, "; ");
    if (args.empty())
        return "confetti takes a kind and its arguments: " + usages;
    const Subcommand* sub = nullptr;
    for (const auto& s : kSubcommands) {
        if (args[0] == s.name)
            sub = &s;
    }
    if (!sub)
        return "unknown confetti kind " + doubleQuoted(args[0]) + " (" + usages + ")";
    if (args.size() - 1 != sub->arguments)
        return doubleQuoted(std::string("confetti ") + sub->name) + " takes " +
               std::to_string(sub->arguments) + " argument(s): " + sub->usage;
    // Numbers first, the count (whole) in its place, the typed blast's type last.
    const bool typed = args[0] == "typed";
    std::size_t countAt = typed ? 5 : args.size() - 1;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (typed && i == 6) {
            if (args[i] != kStarType && args[i] != kNotAViewType)
                return "unknown piece type " + doubleQuoted(args[i]) + " (known: " + kStarType + ", " +
                       kNotAViewType + ")";
            continue;
        }
        if (i == countAt) {
            auto n = scriptCount(args[i]);
            if (!n)
                return "the number of pieces must be a whole number of 0 or more, not " +
                       doubleQuoted(args[i]) + ": " + sub->usage;
            // The area itself takes any count; a script line is not allowed to exhaust memory.
            if (*n > kMaxPieces)
                return "at most " + std::to_string(kMaxPieces) + " pieces at a time, not " + args[i];
        } else if (!scriptNumber(args[i])) {
            return doubleQuoted(args[i]) + " is not a number: " + sub->usage;
        }
    }
    return std::nullopt;
}

void ConfettiCommands::settle() {
    dispatch_global_queue_drain_for_testing();
    if (auto loop = NSRunLoop::main())
        loop->runUntilIdle();
}

void ConfettiCommands::run(SettingsApp& app, const std::vector<std::string>& a) {
    registerPieceTypes();
    auto area = areaOf(app);
    auto num = [&](std::size_t i) { return *scriptNumber(a[i]); };
    settle();
    CGPoint at{num(1), num(2)};
    if (a[0] == "burst")
        area->burstAt(at, num(3), *scriptCount(a[4]));
    else if (a[0] == "blast")
        area->blastFrom(at, num(3), num(4), num(5), *scriptCount(a[6]));
    else
        area->blastConfettiType(a[6], at, num(3), num(4), *scriptCount(a[5]));
    settle();
}

nlohmann::ordered_json ConfettiCommands::dump(SettingsApp& app) {
    using json = nlohmann::ordered_json;
    auto pane = app.pane();
    auto area = pane ? pane->confettiArea() : nullptr;
    if (!area)
        return nullptr;
    auto objects = area->confettiObjects();
    json pieces = json::array();
    for (const auto& object : objects) {
        const auto& view = object->confettiView();
        if (!view)
            continue;
        CGRect f = view->frame();
        json piece;
        piece["frame"] = {f.origin.x, f.origin.y, f.size.width, f.size.height};
        if (auto c = view->backgroundColor())
            piece["color"] = {c->rgba.r, c->rgba.g, c->rgba.b, c->rgba.a};
        else
            piece["color"] = nullptr;
        auto flutter = std::dynamic_pointer_cast<OCConfettiView>(view);
        piece["flutterType"] = flutter ? json(flutter->flutterType()) : json(nullptr);
        piece["flutterSpeed"] = flutter ? json(flutter->flutterSpeed()) : json(nullptr);
        // The velocity as the animator has it now; before the piece joins, the one it starts with.
        CGPoint v = object->linearVelocity();
        if (const auto& behavior = object->builtFallingBehavior())
            v = behavior->linearVelocityForItem(*view);
        piece["velocity"] = {v.x, v.y};
        piece["density"] = object->density();
        piece["swayLength"] = object->swayLength();
        pieces.push_back(std::move(piece));
    }
    return {{"live", objects.size()}, {"pieces", std::move(pieces)}};
}
