#include "sim/script/ScreenCommands.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/graphics/DrawingLibraries.h"
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

Result<> ScreenCommands::writeRecording() {
    recordingFrames_.reset();
    std::string path = recordingPath_;
    bool ok = recording_->write(path);
    recording_.reset();
    if (!ok)
        return Failure{"cannot write the recording " + path};
    written_.push_back(path);
    return {};
}

Result<> ScreenCommands::finish() {
    recordingFrames_.reset();
    if (!recording_)
        return {};
    return writeRecording();
}

Result<> ScreenCommands::screenshot(const std::string& file) {
    screen_.update();
    std::string path = resolve(file);
    const CGImageRef& frame = screen_.render();
    if (!frame || !frame->writePNG(path))
        return Failure{"cannot write the screenshot " + path};
    written_.push_back(path);
    return {};
}

Result<> ScreenCommands::record(const std::string& file) {
    screen_.update();
    if (recording_)
        return Failure{"a recording is already running (end it with stop)"};
    if (auto loaded = DrawingLibraries::loadAnimation(); !loaded)
        return Failure{"cannot record " + resolve(file) + ": " + loaded.reason()};
    recordingPath_ = resolve(file);
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
    return {};
}

Result<> ScreenCommands::stop() {
    screen_.update();
    if (!recording_)
        return Failure{"no recording is running (start one with record FILE)"};
    return writeRecording();
}

Result<> ScreenCommands::scroll(const std::string& row) {
    screen_.update();
    if (!screen_.scrollToRow(row))
        return Failure{"no row titled " + doubleQuoted(row) + " on screen"};
    return {};
}

Result<> ScreenCommands::type(const std::string& text) {
    screen_.update();
    if (!UITextField::focusedTextField())
        return Failure{"no text field has the focus (tap a text row first)"};
    screen_.window().typeText(text);
    // Then return, as a user ends what they typed: the row stores its text, so the script's next
    // line sees it stored. (A line break in the text has already pressed return.)
    screen_.window().returnKey();
    return {};
}

void ScreenCommands::views(std::ostream& out) {
    screen_.update();
    out << SimDumpText(screen_.viewsDump()) << '\n';
    out.flush();
}
