// Veska itself on the test desktop: a home of its own with its settings, signed in to the
// voice stream fake, every service pointed at loopback.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/Launched.h"
#include "support/TempDir.h"

namespace veska::e2e {

struct VeskaOptions {
    /// The `veska` program.
    std::filesystem::path program;
    /// preferences.json (the user defaults, "v2." keys).
    nlohmann::json preferences = nlohmann::json::object();
    /// v2.json; its "services" object gets the fakes' base URLs added.
    nlohmann::json v2 = nlohmann::json::object();
    /// Seed the Claude session cookie the fake accepts into the web profile.
    bool signedIn = true;
    /// The interface language comes from LANG.
    std::string lang = "en_US.UTF-8";
    /// Where the program's standard output and error are kept.
    std::filesystem::path outputDir;
    /// More variables, set last.
    Environment extra{};
};

/// Runs `veska` with HOME in a private directory: ~/.config/veska-voice holds the given
/// preferences and v2.json, and its web profile ("webengine") the session cookies of the voice
/// fake, written by the web profile itself (`veska-e2e-seed-cookies`). The Claude service is
/// the desktop's fake; every other service a closed loopback port, so nothing leaves the
/// machine. Stopped (with anything it started) by the destructor.
class VeskaProcess {
public:
    /// The folder of the web profile under the configuration directory.
    static constexpr const char* kWebProfileFolder = "webengine";
    /// A loopback address where nothing listens.
    static constexpr const char* kNowhere = "http://127.0.0.1:1";

    VeskaProcess(E2eDesktop& desktop, VeskaOptions options);
    ~VeskaProcess();
    VeskaProcess(const VeskaProcess&) = delete;
    VeskaProcess& operator=(const VeskaProcess&) = delete;

    /// Empty once it runs; else what failed.
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] pid_t pid() const { return process_.pid(); }
    [[nodiscard]] bool running() { return process_.running(); }
    [[nodiscard]] std::filesystem::path configDir() const { return home_.path() / ".config" / "veska-voice"; }
    /// The environment it was started with.
    [[nodiscard]] const Environment& environment() const { return env_; }
    /// Its standard error so far (sanitizer reports, Qt warnings).
    [[nodiscard]] std::string stderrText() const;
    /// SIGTERM and a grace period; false when it had to be killed.
    bool stop() { return process_.stop(5); }
    /// Starts the program (the constructor prepares the home only when `launchNow` was false).
    void launch();

    /// Writes the home and environment without starting it (for timing the start separately).
    VeskaProcess(E2eDesktop& desktop, VeskaOptions options, bool launchNow);

private:
    void prepare();

    E2eDesktop& desktop_;
    VeskaOptions options_;
    testing::TempDir home_;
    Environment env_;
    Launched process_;
    std::string error_;
};

/// Whether another client holds a passive grab of `keysym` on the root window with no
/// modifiers (how Veska takes its fn key): a grab of our own would fail with BadAccess.
[[nodiscard]] bool keyGrabbedByOther(Display* x, const char* keysym);

/// Presses or releases a key through XTest, as a keyboard would (another program than Veska).
void pressKey(Display* x, const char* keysym, bool down);

}  // namespace veska::e2e
