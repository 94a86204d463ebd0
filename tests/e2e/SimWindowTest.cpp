// The simulator as a person uses it: orbitchat-sim runs in its SDL window on a private Xvfb
// display, xdotool moves the real pointer and clicks, and the tests watch the preference file on
// the (copied) sample device and the state the window writes after every frame (--state-file).
//
// Waiting here is for another process (the X server, the simulator drawing its next frame), so
// the tests poll with a generous deadline; no behaviour of the system is timed by them.

#include "platform/foundation/plist/PropertyList.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr auto kDeadline = std::chrono::seconds(30);

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// A child process started without a shell; killed and reaped when the object goes.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }

    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
               posix_spawn_file_actions_t* actions = nullptr) {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> envStrings(extraEnv);
        for (char** e = environ; *e; ++e) {
            std::string entry(*e);
            bool overridden = false;
            for (const auto& extra : extraEnv)
                overridden =
                    overridden || entry.substr(0, entry.find('=')) == extra.substr(0, extra.find('='));
            if (!overridden)
                envStrings.push_back(entry);
        }
        std::vector<char*> env;
        for (auto& e : envStrings)
            env.push_back(e.data());
        env.push_back(nullptr);
        return posix_spawnp(&pid_, args[0], actions, nullptr, args.data(), env.data()) == 0;
    }

    // Asks the child to end (SIGTERM), and kills it if it has not after a few seconds.
    int stop() {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGTERM);
        auto until = Clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, &status_, WNOHANG) == 0) {
            if (Clock::now() > until) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status_, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return status_;
    }
    bool running() { return pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// A private X server. -displayfd lets the server pick a free display number and tell us.
class Xvfb {
public:
    bool start(std::string& why) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            why = "pipe failed";
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        bool started = server_.start(
            {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1600x24", "-nolisten", "tcp"}, {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (started && poll(&p, 1, 15000) == 1) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            why = "Xvfb did not report a display";
            return false;
        }
        display_ = ":" + number;
        return true;
    }
    const std::string& display() const { return display_; }

private:
    Child server_;
    std::string display_;
};

std::string runAndRead(const std::vector<std::string>& argv, const std::string& display, int& status) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::string displayEnv = "DISPLAY=" + display;
    std::vector<char*> env{displayEnv.data()};
    std::string pathEnv = std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
    env.push_back(pathEnv.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buf[256];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            out.append(buf, static_cast<std::size_t>(n));
        waitpid(pid, &status, 0);
    } else {
        status = -1;
    }
    close(fds[0]);
    return out;
}

struct ViewEntry {
    std::string className, text;
    double x = 0, y = 0, width = 0, height = 0, alpha = 0;
    bool hidden = false;
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
};

class SimWindowTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (!onPath(tool))
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it)";
        std::string pattern = (fs::temp_directory_path() / "oc-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        work_ = pattern;
        fs::copy(fs::path(ORBITCHAT_SOURCE_DIR) / "examples/device", work_ / "device",
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        std::string why;
        ASSERT_TRUE(xvfb_.start(why)) << why;
        std::string binary = std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim";
        // The simulator's log goes to a file, shown when a test fails.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, logFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        bool started =
            sim_.start({binary, "--device", (work_ / "device").string(), "--state-file", stateFile()},
                       {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11"}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_TRUE(started);
        // The window opens on the Settings app's list of tweaks; a click on the pane's row opens it.
        ASSERT_TRUE(waitFor([](const json& s) {
            return !findViews(s, "UINavigationBar", "Settings").empty() &&
                   !findViews(s, "UITableViewCell", "Orbitchat").empty();
        })) << "the window never showed the Settings list";
        int status = 0;
        std::string id =
            runAndRead({"xdotool", "search", "--sync", "--name", "^orbitchat-sim$"}, xvfb_.display(), status);
        windowId_ = id.substr(0, id.find('\n'));
        ASSERT_FALSE(windowId_.empty()) << "xdotool found no orbitchat-sim window";
        if (!opensPane_)
            return;
        click(findViews(last_, "UITableViewCell", "Orbitchat")[0]);
        ASSERT_TRUE(waitFor([](const json& s) {
            return !findViews(s, "UINavigationBar", "Orbitchat").empty() &&
                   !findViews(s, "UITableViewCell", "Enabled").empty();
        })) << "the window never showed the pane";
    }
    void TearDown() override {
        EXPECT_TRUE(sim_.running()) << "the simulator ended during the test";
        int status = sim_.stop();
        // SDL turns SIGTERM into a quit event: the simulator ends cleanly.
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        if (HasFailure()) {
            std::ifstream log(logFile());
            std::string line;
            std::vector<std::string> lines;
            while (std::getline(log, line))
                lines.push_back(line);
            std::cerr << "orbitchat-sim's last log lines:\n";
            for (std::size_t i = lines.size() > 40 ? lines.size() - 40 : 0; i < lines.size(); ++i)
                std::cerr << lines[i] << "\n";
        }
        std::error_code ec;
        if (!work_.empty())
            fs::remove_all(work_, ec);
    }

    std::string stateFile() const { return (work_ / "state.json").string(); }
    std::string logFile() const { return (work_ / "sim.log").string(); }

    std::optional<json> readState() const {
        std::ifstream in(stateFile());
        if (!in)
            return std::nullopt;
        json state = json::parse(in, nullptr, false);
        if (state.is_discarded())
            return std::nullopt;
        return state;
    }

    // Polls the state the window writes after each frame until `ready` holds for it.
    bool waitFor(const std::function<bool(const json&)>& ready) {
        auto until = Clock::now() + kDeadline;
        while (Clock::now() < until) {
            if (auto state = readState(); state && ready(*state)) {
                last_ = *state;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (auto state = readState())
            last_ = *state;
        return false;
    }

    static std::vector<ViewEntry> findViews(const json& state, const std::string& className,
                                            const std::string& text) {
        std::vector<ViewEntry> found;
        for (const auto& v : state.value("views", json::array())) {
            if (v["class"] != className || v["hidden"].get<bool>())
                continue;
            if (!text.empty() && (!v["text"].is_string() || v["text"] != text))
                continue;
            const auto& f = v["frame"];
            found.push_back({v["class"], v["text"].is_string() ? v["text"].get<std::string>() : "", f["x"],
                             f["y"], f["width"], f["height"], v["alpha"], v["hidden"]});
        }
        return found;
    }

    // "Get Extensions" lies below the first screenful: the wheel scrolls the list under the
    // pointer until the row is on screen, and a click opens the catalogue.
    void openCatalogue() {
        int status = 0;
        double scale = last_.value("windowPixelsPerPoint", 1.0);
        runAndRead({"xdotool", "mousemove", "--window", windowId_, std::to_string(std::lround(187 * scale)),
                    std::to_string(std::lround(400 * scale)), "click", "--repeat", "8", "5"},
                   xvfb_.display(), status);
        ASSERT_EQ(status, 0);
        ASSERT_TRUE(waitFor([](const json& s) {
            auto rows = findViews(s, "UITableViewCell", "Get Extensions");
            return !rows.empty() && rows[0].y > 64 && rows[0].y + rows[0].height < 667;
        })) << "scrolling did not bring the row on screen";
        click(findViews(last_, "UITableViewCell", "Get Extensions")[0]);
    }

    // A real click of the left button at a point of the device's screen.
    void click(double x, double y) {
        double scale = last_.value("windowPixelsPerPoint", 1.0);
        int status = 0;
        runAndRead({"xdotool", "mousemove", "--window", windowId_, std::to_string(std::lround(x * scale)),
                    std::to_string(std::lround(y * scale)), "click", "1"},
                   xvfb_.display(), status);
        ASSERT_EQ(status, 0) << "xdotool failed";
    }
    void click(const ViewEntry& view) { click(view.midX(), view.midY()); }

    fs::path preferenceFile() const {
        return work_ / "device/var/mobile/Library/Preferences/com.orbitchat.preferences.plist";
    }
    PlistValue preferences() const {
        std::ifstream in(preferenceFile(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto result =
            readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        return result.value;
    }

    static bool isRespring(const json& spawn) {
        return spawn["argv"] == json::array({"killall", "backboardd"});
    }

    // The window's pixels as the X server shows them (xwd's dump of the window: a ZPixmap of 24 or
    // 32 bits a pixel), as rows of 0xRRGGBB; empty when xwd is missing or its output is not that.
    struct WindowImage {
        int width = 0, height = 0;
        std::vector<std::uint32_t> pixels;
        std::uint32_t at(int x, int y) const {
            return x >= 0 && y >= 0 && x < width && y < height
                       ? pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                static_cast<std::size_t>(x)]
                       : 0;
        }
    };
    WindowImage windowImage() {
        WindowImage image;
        int status = 0;
        std::string bytes = runAndRead({"xwd", "-silent", "-id", windowId_}, xvfb_.display(), status);
        auto field = [&](std::size_t i) -> std::uint32_t {
            if (bytes.size() < (i + 1) * 4)
                return 0;
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + i * 4;
            return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
        };
        const std::uint32_t headerSize = field(0), format = field(2), width = field(4), height = field(5),
                            byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12),
                            colours = field(19);
        const std::size_t start = headerSize + std::size_t(colours) * 12;
        if (status != 0 || format != 2 || bitsPerPixel != 32 || width == 0 ||
            bytes.size() < start + std::size_t(bytesPerLine) * height)
            return image;
        image.width = static_cast<int>(width);
        image.height = static_cast<int>(height);
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x) {
                const auto* p =
                    reinterpret_cast<const unsigned char*>(bytes.data()) + start + y * bytesPerLine + x * 4;
                image.pixels.push_back(byteOrder == 0
                                           ? (std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0])
                                           : (std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]));
            }
        return image;
    }
    // The window's title as window managers show it (_NET_WM_NAME, UTF-8: the plain WM_NAME holds
    // only what the C locale can spell).
    std::string windowTitle() {
        int status = 0;
        std::string line = runAndRead({"xprop", "-id", windowId_, "_NET_WM_NAME"}, xvfb_.display(), status);
        auto open = line.find('"'), close = line.rfind('"');
        return open == std::string::npos || close <= open ? std::string()
                                                          : line.substr(open + 1, close - open - 1);
    }

    bool opensPane_ = true;
    fs::path work_;
    Xvfb xvfb_;
    Child sim_;
    std::string windowId_;
    json last_;
};

// A developer editing a bundle with the window open on it.
class SimWindowLiveReloadTest : public SimWindowTest {
protected:
    SimWindowLiveReloadTest() { opensPane_ = false; }

    fs::path rootPlist() const {
        return work_ / "device/Library/PreferenceBundles/DimmerPrefs.bundle/Root.plist";
    }
    std::string readRoot() const {
        std::ifstream in(rootPlist(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // The right end of the dark text of a row's title, in window pixels (0: none).
    int titleEnd(const ViewEntry& row) {
        double scale = last_.value("windowPixelsPerPoint", 1.0);
        WindowImage image = windowImage();
        int end = 0;
        for (int y = int((row.y + row.height * 0.3) * scale); y < int((row.y + row.height * 0.7) * scale);
             ++y)
            for (int x = int(15 * scale); x < int(280 * scale); ++x) {
                std::uint32_t p = image.at(x, y);
                if (((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90)
                    end = std::max(end, x);
            }
        return end;
    }
};

TEST_F(SimWindowTest, ClickingASwitchWritesThePreferenceFileAtOnce) {
    ASSERT_FALSE(preferences()["showUnreadBadges"].boolValue());
    auto rows = findViews(last_, "UITableViewCell", "Unread Badges");
    ASSERT_EQ(rows.size(), 1u);
    ViewEntry row = rows[0];
    std::optional<ViewEntry> toggle;
    for (const auto& s : findViews(last_, "UISwitch", ""))
        if (s.midY() > row.y && s.midY() < row.y + row.height)
            toggle = s;
    ASSERT_TRUE(toggle) << "no switch in the Unread Badges row";
    click(*toggle);

    ASSERT_TRUE(waitFor([&](const json&) { return preferences()["showUnreadBadges"].boolValue(); }))
        << "the preference file did not change";
    // The other values in the file are left as they were.
    EXPECT_TRUE(preferences()["enabled"].boolValue());
    EXPECT_EQ(preferences()["quickReplyText"].stringValue(), "Be right there!");
    // The switch shows the new state on screen.
    EXPECT_TRUE(waitFor([](const json& s) {
        for (const auto& v : findViews(s, "UISwitch", "1"))
            if (v.y > 360 && v.y < 400)
                return true;
        return false;
    }));

    // And a second click turns it off again.
    click(*toggle);
    EXPECT_TRUE(waitFor([&](const json&) { return !preferences()["showUnreadBadges"].boolValue(); }));
}

TEST_F(SimWindowTest, RespringAndItsConfirmationRestartTheScreen) {
    auto buttons = findViews(last_, "UIButton", "Respring");
    ASSERT_FALSE(buttons.empty());
    click(buttons.front());
    ASSERT_TRUE(waitFor([](const json& s) {
        return s["dump"]["alert"].is_object() &&
               s["dump"]["alert"]["message"] == "Are you sure you want to respring?";
    })) << "no confirmation";
    // The confirmation's own "Respring" button is the one drawn last, over the navigation bar's.
    ASSERT_TRUE(waitFor([](const json& s) { return findViews(s, "UIButton", "Respring").size() == 2; }));
    auto choices = findViews(last_, "UIButton", "Respring");
    ASSERT_GT(choices.back().y, 64) << "the alert's button should lie below the navigation bar";
    // Wait for the alert to finish appearing so the click lands on its resting place.
    ASSERT_TRUE(waitFor([](const json& s) {
        auto alerts = findViews(s, "UIAlertControllerView", "");
        return !alerts.empty() && alerts.back().alpha == 1.0;
    }));
    choices = findViews(last_, "UIButton", "Respring");
    click(choices.back());

    ASSERT_TRUE(waitFor([](const json& s) {
        for (const auto& spawn : s["dump"]["spawned"])
            if (isRespring(spawn))
                return true;
        return false;
    })) << "the device was not resprung";
    // After the dark moment the Settings app is back on the pane, without the alert.
    EXPECT_TRUE(waitFor([](const json& s) {
        return s["dump"]["alert"].is_null() && findViews(s, "UIAlertControllerView", "").empty() &&
               !findViews(s, "UINavigationBar", "Orbitchat").empty() && !findViews(s, "UISwitch", "").empty();
    }));
}

TEST_F(SimWindowTest, TheCatalogueSlidesUpAndCloseDismissesIt) {
    ASSERT_NO_FATAL_FAILURE(openCatalogue());

    ASSERT_TRUE(waitFor([](const json& s) {
        auto closes = findViews(s, "UIButton", "Close");
        return s["dump"]["presented"].size() == 1 && !closes.empty() && closes[0].y >= 0 && closes[0].y < 100;
    })) << "the catalogue did not come up";
    click(findViews(last_, "UIButton", "Close")[0]);

    EXPECT_TRUE(waitFor([](const json& s) {
        return s["dump"]["presented"].empty() && findViews(s, "UIButton", "Close").empty();
    })) << "Close did not dismiss the catalogue";
}

} // namespace

namespace {

TEST_F(SimWindowTest, TheCatalogueFetchedOverHTTPSListsRowsAndATapOpensThePackageManager) {
    ASSERT_NO_FATAL_FAILURE(openCatalogue());

    // The sample catalogue comes from the simulator's loopback HTTPS server, in its own order.
    ASSERT_TRUE(waitFor([](const json& s) {
        const json& catalogue = s["dump"]["catalogue"];
        auto rows = findViews(s, "UITableViewCell", "Orbitchat for Messages");
        return catalogue.is_object() && !catalogue["hud"].get<bool>() && catalogue["rows"].size() >= 4 &&
               !rows.empty() && rows[0].y > 64 && rows[0].y < 400;
    })) << "the catalogue's rows did not arrive";
    EXPECT_EQ(last_["dump"]["catalogue"]["rows"][0]["title"], "Orbitchat for Messages");
    EXPECT_EQ(last_["dump"]["catalogue"]["rows"][0]["icon"], true);
    click(findViews(last_, "UITableViewCell", "Orbitchat for Messages")[0]);

    EXPECT_TRUE(waitFor([](const json& s) {
        const json& opened = s["dump"]["openedURLs"];
        return !opened.empty() && opened.back() == "sileo://package/com.orbitchat.support.messages" &&
               !findViews(s, "UILabel", "com.orbitchat.support.messages").empty();
    })) << "the package manager did not open the extension's page";
    // The catalogue stays presented under the package manager.
    EXPECT_FALSE(last_["dump"]["catalogue"].is_null());
}

TEST_F(SimWindowTest, TypingIntoTheTextFieldAndDraggingTheSliderReachTheFile) {
    // The wheel brings the quick-reply row on screen.
    int status = 0;
    double scale = last_.value("windowPixelsPerPoint", 1.0);
    runAndRead({"xdotool", "mousemove", "--window", windowId_, std::to_string(std::lround(187 * scale)),
                std::to_string(std::lround(400 * scale)), "click", "--repeat", "3", "5"},
               xvfb_.display(), status);
    ASSERT_TRUE(waitFor([](const json& s) {
        auto fields = findViews(s, "UITextField", "");
        auto sliders = findViews(s, "UISlider", "");
        return !fields.empty() && fields[0].y > 64 && fields[0].y + fields[0].height < 667 &&
               !sliders.empty() && sliders[0].y > 64;
    })) << "scrolling did not bring the text field on screen";

    ViewEntry field = findViews(last_, "UITextField", "")[0];
    click(field);
    // Clear what is there, type, and end editing with Return.
    runAndRead({"xdotool",   "key",       "--delay",   "5",         "End",       "BackSpace", "BackSpace",
                "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace",
                "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"},
               xvfb_.display(), status);
    runAndRead({"xdotool", "type", "--delay", "5", "On my way"}, xvfb_.display(), status);
    runAndRead({"xdotool", "key", "Return"}, xvfb_.display(), status);
    ASSERT_TRUE(waitFor([&](const json&) {
        return preferences()["quickReplyText"].stringValue() == "On my way";
    })) << "the file holds '"
        << preferences()["quickReplyText"].stringValue() << "'";

    // Drag the slider's thumb to the right end of its track.
    ViewEntry slider = findViews(last_, "UISlider", "")[0];
    double from = preferences()["headSize"].doubleValue();
    runAndRead({"xdotool",
                "mousemove",
                "--window",
                windowId_,
                std::to_string(std::lround(slider.midX() * scale)),
                std::to_string(std::lround(slider.midY() * scale)),
                "mousedown",
                "1",
                "mousemove",
                "--window",
                windowId_,
                std::to_string(std::lround((slider.midX() + 40) * scale)),
                std::to_string(std::lround(slider.midY() * scale)),
                "mousemove",
                "--window",
                windowId_,
                std::to_string(std::lround((slider.x + slider.width + 20) * scale)),
                std::to_string(std::lround(slider.midY() * scale)),
                "mouseup",
                "1"},
               xvfb_.display(), status);
    EXPECT_TRUE(waitFor([&](const json&) { return preferences()["headSize"].doubleValue() > from; }))
        << "the slider's value did not reach the file";
}

TEST_F(SimWindowLiveReloadTest, SavingTheBundleOnScreenRedrawsItsPageAndTheTitleShowsNotifications) {
    for (const char* tool : {"xwd", "xprop"})
        if (!onPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it)";
    click(findViews(last_, "UITableViewCell", "Dimmer")[0]);
    ASSERT_TRUE(waitFor([](const json& s) {
        return !findViews(s, "UINavigationBar", "Dimmer").empty() &&
               !findViews(s, "UITableViewCell", "Enabled").empty();
    })) << "the window never showed the bundle";
    ViewEntry row = findViews(last_, "UITableViewCell", "Enabled")[0];
    const int before = titleEnd(row);
    ASSERT_GT(before, 0) << "no title drawn in the row";

    // Saved by rename, as editors save: the page is re-read, in the state and in pixels.
    std::string text = readRoot();
    text.replace(text.find("<string>Enabled</string>"), 25, "<string>Enabled Through The Night</string>");
    {
        std::ofstream out(rootPlist().string() + ".swp", std::ios::binary | std::ios::trunc);
        out << text;
    }
    fs::rename(rootPlist().string() + ".swp", rootPlist());
    ASSERT_TRUE(waitFor([](const json& s) {
        return !findViews(s, "UITableViewCell", "Enabled Through The Night").empty();
    })) << "the saved Root.plist was not re-read";
    EXPECT_FALSE(findViews(last_, "UINavigationBar", "Dimmer").empty());
    row = findViews(last_, "UITableViewCell", "Enabled Through The Night")[0];
    EXPECT_GT(titleEnd(row), before + 40) << "the longer title was not drawn";

    // Saved in place.
    text.replace(text.find("<string>Level</string>"), 22, "<string>Strength</string>");
    {
        std::ofstream out(rootPlist(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    ASSERT_TRUE(waitFor([](const json& s) { return !findViews(s, "UITableViewCell", "Strength").empty(); }))
        << "a file saved in place was not re-read";

    // A switch's notification shows in the title bar.
    ViewEntry toggle{};
    for (const auto& v : findViews(last_, "UISwitch", ""))
        if (v.midY() > row.y && v.midY() < row.y + row.height)
            toggle = v;
    ASSERT_GT(toggle.width, 0) << "no switch in the row";
    click(toggle);
    const fs::path dimmer = work_ / "device/var/mobile/Library/Preferences/com.example.dimmer.plist";
    ASSERT_TRUE(waitFor([&](const json&) { return fs::exists(dimmer); })) << "the switch stored nothing";
    auto until = Clock::now() + kDeadline;
    while (Clock::now() < until &&
           windowTitle().find("posted com.example.dimmer/changed") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(windowTitle(), "orbitchat-sim - posted com.example.dimmer/changed")
        << "posted: " << last_["dump"]["notifications"].dump();
}

} // namespace
