// Where the local core's program and a node runtime to run it are found, and a port to serve on.
#pragma once

#include <optional>
#include <string>

#include "ports/Environment.h"
#include "ports/LocalMachine.h"
#include "ports/Processes.h"
#include "runtime/Task.h"

namespace veska::V2Config {

/// How to start one local core.
struct CoreLaunch {
    std::string nodePath;  ///< the executable that runs the core
    std::string cliPath;   ///< its "cli.mjs"
    std::string coreDir;   ///< the core process's working directory
    std::string source;    ///< "bundled" or "dev"

    friend bool operator==(const CoreLaunch&, const CoreLaunch&) = default;
};

/// The application's bundle as the look-up sees it ("Veska.app/Contents/Resources" holds
/// "runtime/node", "local-core/" and, in a development build, "repo-root.txt").
struct Bundle {
    /// The resources directory without a trailing "/"; nothing when the bundle has none.
    std::optional<std::string> resourcesPath;
};

/// What the look-ups read: the main bundle, the environment, the files, and programs to run.
/// The pointers must outlive every task given the host.
struct LaunchHost {
    Bundle mainBundle;
    const ports::Environment* env = nullptr;
    ports::LocalMachine* machine = nullptr;
    ports::Processes* processes = nullptr;
};

inline constexpr char kNodeVariable[] = "VESKA_VOICE_NODE_BIN";
inline constexpr char kWhich[] = "/usr/bin/which";
inline constexpr char kEnv[] = "/usr/bin/env";
inline constexpr char kCliBelowRepo[] = "/packages/local-core/cli.mjs";

/// The first port from `start` to `start + limit - 1` where a loopback connection fails
/// (nobody listens); a port whose socket cannot be opened is skipped. `start + limit` when
/// every port answers.
[[nodiscard]] int firstFreeLoopbackPort(ports::LocalMachine& machine, int start, int limit);

/// The bundled core (resources "runtime/node" executable and "local-core/cli.mjs" present),
/// else a development checkout's core run by the system's node (or "/usr/bin/env"), else none.
rt::Task<std::optional<CoreLaunch>> resolveCoreLaunch(Bundle bundle, LaunchHost host);

/// The checkout named by the main bundle's "repo-root.txt" when it holds the core; else the
/// first of home + "/dev/veska-voice-client" and the current directory that does; else the
/// home candidate.
[[nodiscard]] std::string findDevRepoRoot(const LaunchHost& host);

/// The first executable of: "VESKA_VOICE_NODE_BIN", home + "/.corvel/node/bin/node",
/// home + "/.local/bin/node", "/opt/homebrew/bin/node", "/usr/local/bin/node"; else what
/// "/usr/bin/which node" prints, when that is an executable file; else none.
rt::Task<std::optional<std::string>> resolveSystemNode(LaunchHost host);

}  // namespace veska::V2Config
