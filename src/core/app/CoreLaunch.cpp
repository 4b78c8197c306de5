// Finding the local core's program, a node runtime, and a free loopback port.
#include "core/app/CoreLaunch.h"

#include <string_view>
#include <vector>

#include "text/WhiteSpace.h"

namespace veska::V2Config {

namespace {

/// Everything up to the last "/" ("/a/b/cli.mjs" → "/a/b").
std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool holdsCore(const LaunchHost& host, const std::string& root) {
    return host.machine->fileExists(root + kCliBelowRepo);
}

/// `which`'s output trimmed, when it names an executable file.
rt::Task<std::optional<std::string>> whichNode(LaunchHost host) {
    ports::ProcessLaunch launch;
    launch.executable = kWhich;
    launch.arguments = {"node"};
    launch.output = ports::ProcessOutput::capture;
    launch.errorOutput = ports::ProcessOutput::discard;
    std::unique_ptr<ports::Process> process;
    try {
        process = host.processes->launch(std::move(launch));
    } catch (const ports::ProcessError&) {
        co_return std::nullopt;
    }
    const ports::ProcessExit exit = co_await process->wait();
    const std::string found(text::trimmed(exit.output));
    if (found.empty() || !host.machine->isExecutableFile(found)) co_return std::nullopt;
    co_return found;
}

}  // namespace

int firstFreeLoopbackPort(ports::LocalMachine& machine, int start, int limit) {
    for (int port = start; port < start + limit; ++port) {
        const std::optional<bool> answers = machine.loopbackPortAnswers(port);
        if (answers.has_value() && !*answers) return port;
    }
    return start + limit;
}

rt::Task<std::optional<CoreLaunch>> resolveCoreLaunch(Bundle bundle, LaunchHost host) {
    if (bundle.resourcesPath) {
        const std::string& resources = *bundle.resourcesPath;
        const std::string node = resources + "/runtime/node";
        const std::string coreDir = resources + "/local-core";
        const std::string cli = coreDir + "/cli.mjs";
        if (host.machine->isExecutableFile(node) && host.machine->fileExists(cli)) {
            co_return CoreLaunch{node, cli, coreDir, "bundled"};
        }
    }
    const std::string root = findDevRepoRoot(host);
    const std::string cli = root + kCliBelowRepo;
    if (!host.machine->fileExists(cli)) co_return std::nullopt;
    std::optional<std::string> node = co_await resolveSystemNode(host);
    co_return CoreLaunch{node.value_or(kEnv), cli, directoryOf(cli), "dev"};
}

std::string findDevRepoRoot(const LaunchHost& host) {
    if (host.mainBundle.resourcesPath) {
        const std::string marker = *host.mainBundle.resourcesPath + "/repo-root.txt";
        const std::optional<std::string> text =
            host.machine->fileExists(marker) ? host.machine->readFile(marker) : std::nullopt;
        if (text) {
            const std::string candidate(text::trimmed(*text));
            if (holdsCore(host, candidate)) return candidate;
        }
    }
    std::string home = host.env->homeDirectory() + "/dev/veska-voice-client";
    for (const std::string& candidate : {home, host.machine->currentDirectory()}) {
        if (holdsCore(host, candidate)) return candidate;
    }
    return home;
}

rt::Task<std::optional<std::string>> resolveSystemNode(LaunchHost host) {
    const std::string home = host.env->homeDirectory();
    std::vector<std::string> candidates;
    if (auto fromEnv = host.env->variable(kNodeVariable)) candidates.push_back(*fromEnv);
    candidates.push_back(home + "/.corvel/node/bin/node");
    candidates.push_back(home + "/.local/bin/node");
    candidates.push_back("/opt/homebrew/bin/node");
    candidates.push_back("/usr/local/bin/node");
    for (const std::string& candidate : candidates) {
        if (!candidate.empty() && host.machine->isExecutableFile(candidate)) co_return candidate;
    }
    co_return co_await whichNode(host);
}

}  // namespace veska::V2Config
