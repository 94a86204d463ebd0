#include "sim/script/ScreenCommands.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/SimDump.h"
#include "sim/settings/Simulator.h"

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {

std::shared_ptr<UITextField> textFieldOfRow(UIView& root, const std::string& title) {
    std::shared_ptr<UITextField> found;
    std::function<void(const std::shared_ptr<UIView>&)> walk = [&](const std::shared_ptr<UIView>& v) {
        if (auto face = std::dynamic_pointer_cast<UITableViewContentView>(v)) {
            face->loadAllRows();
            for (const auto& [path, cell] : face->visibleRows()) {
                if (cell->text() != title)
                    continue;
                for (const auto& s : cell->subviews())
                    if (auto field = std::dynamic_pointer_cast<UITextField>(s))
                        found = field;
            }
        }
        for (const auto& s : v->subviews())
            walk(s);
    };
    walk(std::static_pointer_cast<UIView>(root.shared_from_this()));
    return found;
}

} // namespace

const std::vector<ScreenCommands::Shape>& ScreenCommands::shapes() {
    static const std::vector<Shape> all = {
        {"screenshot", 1, "screenshot FILE"}, {"record", 1, "record FILE"}, {"stop", 0, "stop"},
        {"scroll", 1, "scroll \"ROW\""},      {"type", 1, "type \"TEXT\""}, {"views", 0, "views"},
    };
    return all;
}

bool ScreenCommands::isScreenCommand(const std::string& name) {
    for (const auto& s : shapes())
        if (name == s.name)
            return true;
    return false;
}

ScreenCommands::ScreenCommands(Simulator& simulator, SimScreen& screen, std::string outputFolder)
    : simulator_(simulator), screen_(screen), folder_(std::move(outputFolder)) {}

ScreenCommands::~ScreenCommands() {
    recordingFrames_.reset();
}

std::string ScreenCommands::resolve(const std::string& file) const {
    std::filesystem::path p(file);
    if (p.is_relative() && !folder_.empty())
        p = std::filesystem::path(folder_) / p;
    // The output folder is made on first use; a failure shows when the file is written.
    std::error_code ignored;
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path(), ignored);
    return p.string();
}

void ScreenCommands::capture() {
    if (!recording_ || !screen_.needsRender())
        return;
    const CGImageRef& frame = screen_.render();
    if (frame)
        recording_->addFrame(*frame, NSRunLoop::main() ? NSRunLoop::main()->now() : 0);
}

void ScreenCommands::afterCommand() {
    screen_.update();
    capture();
}

bool ScreenCommands::tap(const std::string& title) {
    screen_.update();
    if (screen_.openedScreenKind() && title == "Done") {
        screen_.closeOpenedScreen();
        return true;
    }
    if (auto field = textFieldOfRow(screen_.window(), title)) {
        field->becomeFirstResponder();
        return true;
    }
    return false;
}

std::optional<std::string> ScreenCommands::finish() {
    recordingFrames_.reset();
    if (!recording_)
        return std::nullopt;
    bool ok = recording_->write(recordingPath_);
    recording_.reset();
    if (!ok)
        return "cannot write the recording " + recordingPath_;
    written_.push_back(recordingPath_);
    return std::nullopt;
}

std::optional<std::string> ScreenCommands::run(const std::string& name, const std::vector<std::string>& args,
                                               std::ostream& out) {
    screen_.update();
    if (name == "screenshot") {
        std::string path = resolve(args[0]);
        const CGImageRef& frame = screen_.render();
        if (!frame || !frame->writePNG(path))
            return "cannot write the screenshot " + path;
        written_.push_back(path);
        return std::nullopt;
    }
    if (name == "record") {
        if (recording_)
            return "a recording is already running (end it with stop)";
        recordingPath_ = resolve(args[0]);
        recording_ = std::make_unique<AnimatedImageWriter>(2);
        // Every frame of the run loop while it records: the transitions, not only the ends.
        if (auto loop = NSRunLoop::main())
            recordingFrames_ = std::make_unique<FrameSubscription>(loop->addFrameObserver([this](double) {
                screen_.update();
                capture();
            }));
        const CGImageRef& frame = screen_.render();
        if (frame)
            recording_->addFrame(*frame, NSRunLoop::main() ? NSRunLoop::main()->now() : 0);
        return std::nullopt;
    }
    if (name == "stop") {
        if (!recording_)
            return "no recording is running (start one with record FILE)";
        std::string path = recordingPath_;
        recordingFrames_.reset();
        bool ok = recording_->write(path);
        recording_.reset();
        if (!ok)
            return "cannot write the recording " + path;
        written_.push_back(path);
        return std::nullopt;
    }
    if (name == "scroll") {
        if (!screen_.scrollToRow(args[0]))
            return "no row titled \"" + args[0] + "\" on screen";
        return std::nullopt;
    }
    if (name == "type") {
        auto field = UITextField::focusedTextField();
        if (!field)
            return "no text field has the focus (tap a text row first)";
        screen_.window().typeText(args[0]);
        return std::nullopt;
    }
    if (name == "views") {
        out << SimDumpText(screen_.viewsDump()) << '\n';
        out.flush();
        return std::nullopt;
    }
    return "unknown screen command \"" + name + "\"";
}
