// Veska's cost at rest and its start, measured on a private desktop with the release program:
// the time from exec to its tray icon docking in the tray host, its memory (PSS) when idle,
// and how often its threads wake up over a minute of idleness.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/VeskaProcess.h"
#include "e2e/support/XScreen.h"

namespace veska::bench {
namespace {

using Clock = std::chrono::steady_clock;
using e2e::E2eDesktop;

constexpr double kIdleSeconds = 60;
constexpr double kSettleSeconds = 10;
constexpr double kStartLimitSeconds = 30;
constexpr int kStartRounds = 5;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

/// A "Name:   value kB" field of a /proc file, in kB; -1 when absent.
long field(const std::string& text, const std::string& name) {
    const auto at = text.find(name + ":");
    if (at == std::string::npos) return -1;
    return std::strtol(text.c_str() + at + name.size() + 1, nullptr, 10);
}

std::vector<pid_t> children(pid_t pid) {
    std::vector<pid_t> out;
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children"));
    pid_t child = 0;
    while (in >> child) out.push_back(child);
    return out;
}

/// `pid` and everything below it.
std::vector<pid_t> tree(pid_t pid) {
    std::vector<pid_t> out{pid};
    for (std::size_t i = 0; i < out.size(); ++i) {
        for (pid_t child : children(out[i])) out.push_back(child);
    }
    return out;
}

std::string command(pid_t pid) {
    std::string comm = readFile("/proc/" + std::to_string(pid) + "/comm");
    while (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

/// Voluntary context switches of every thread of `pid`, by thread id, with the thread's name.
std::map<long, std::pair<std::string, long>> wakeups(pid_t pid) {
    std::map<long, std::pair<std::string, long>> out;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = ::opendir(dir.c_str());
    if (tasks == nullptr) return out;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string status = readFile(dir + "/" + entry->d_name + "/status");
        const auto nameAt = status.find("Name:\t");
        std::string name = nameAt == std::string::npos ? "?" : status.substr(nameAt + 6, status.find('\n', nameAt) - nameAt - 6);
        out[std::strtol(entry->d_name, nullptr, 10)] = {name, field(status, "voluntary_ctxt_switches")};
    }
    ::closedir(tasks);
    return out;
}

long totalWakeups(pid_t pid) {
    long total = 0;
    for (const auto& [tid, entry] : wakeups(pid)) total += entry.second;
    return total;
}

/// Wake-up episodes: times (seconds from the start) at which some thread of `pid` woke after a
/// quiet spell. Sampled every few milliseconds; switches less than `kEpisodeGapSeconds` after
/// the previous ones belong to the same episode (a timer firing and the replies it waits for).
constexpr double kEpisodeGapSeconds = 0.1;

std::vector<double> wakeupEpisodes(pid_t pid, double seconds, const std::function<bool()>& ended) {
    std::vector<double> episodes;
    const auto start = Clock::now();
    long last = totalWakeups(pid);
    double lastChange = -1;
    while (!ended()) {
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        if (now >= seconds) break;
        const long total = totalWakeups(pid);
        if (total != last) {
            if (lastChange < 0 || now - lastChange > kEpisodeGapSeconds) episodes.push_back(now);
            lastChange = now;
            last = total;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    return episodes;
}

/// CPU time of every thread of `pid`, in seconds (schedstat: nanoseconds on the CPU).
double cpuSeconds(pid_t pid) {
    double total = 0;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = ::opendir(dir.c_str());
    if (tasks == nullptr) return 0;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        total += std::strtod(readFile(dir + "/" + entry->d_name + "/schedstat").c_str(), nullptr) / 1e9;
    }
    ::closedir(tasks);
    return total;
}

double mib(long kb) { return static_cast<double>(kb) / 1024.0; }

/// PSS by mapped file (anonymous memory and the heap under their own names), largest first.
std::vector<std::pair<long, std::string>> pssByMapping(pid_t pid) {
    std::map<std::string, long> totals;
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/smaps"));
    std::string line;
    std::string current = "[anonymous]";
    while (std::getline(in, line)) {
        if (line.find('-') != std::string::npos && line.find(':') != std::string::npos && !line.empty() &&
            std::isxdigit(static_cast<unsigned char>(line[0])) != 0 && line.find(" kB") == std::string::npos) {
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode, path;
            fields >> range >> perms >> offset >> device >> inode;
            std::getline(fields, path);
            path.erase(0, path.find_first_not_of(' '));
            current = path.empty() ? "[anonymous]" : path;
        } else if (line.rfind("Pss:", 0) == 0) {
            totals[current] += std::strtol(line.c_str() + 4, nullptr, 10);
        }
    }
    std::vector<std::pair<long, std::string>> out;
    for (const auto& [name, kb] : totals) out.emplace_back(kb, name);
    std::sort(out.rbegin(), out.rend());
    return out;
}

e2e::VeskaOptions options(const std::string& program, const std::filesystem::path& output) {
    e2e::VeskaOptions o{.program = program, .outputDir = output};
    o.preferences["v2.openedOnce"] = true;
    // NAME=VALUE settings for the app under measurement, to compare variants of its set-up.
    if (const char* extra = std::getenv("VESKA_BENCH_APP_ENV")) {
        std::istringstream pairs(extra);
        std::string pair;
        while (pairs >> pair) {
            const auto at = pair.find('=');
            if (at != std::string::npos) o.extra[pair.substr(0, at)] = pair.substr(at + 1);
        }
    }
    return o;
}

/// Milliseconds from exec to a window of Veska's docked in the tray host; -1 when none came.
double startToTray(E2eDesktop& desktop, const std::string& program, const std::filesystem::path& output) {
    e2e::VeskaProcess veska(desktop, options(program, output), false);
    if (!veska.error().empty()) {
        std::fprintf(stderr, "%s\n", veska.error().c_str());
        return -1;
    }
    const auto start = Clock::now();
    veska.launch();
    while (std::chrono::duration<double>(Clock::now() - start).count() < kStartLimitSeconds) {
        for (const auto& mine : e2e::windowsOf(desktop.x(), veska.pid())) {
            if (mine.viewable && e2e::isInsideWindowOf(desktop.x(), mine.id, desktop.trayPid())) {
                return std::chrono::duration<double>(Clock::now() - start).count() * 1000;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

}  // namespace
}  // namespace veska::bench

int main() {
    using namespace veska;
    const std::string program = VESKA_PROGRAM;
    const std::filesystem::path output = std::filesystem::path(VESKA_BENCH_OUTPUT);
    e2e::E2eDesktop desktop;
    if (!desktop.missing().empty()) {
        std::fprintf(stderr, "bench_desktop_app: %s\n", desktop.missing().c_str());
        return 1;
    }

    std::printf("Veska (%s) on a private desktop\n\n", program.c_str());
    std::vector<double> starts;
    for (int i = 0; i < bench::kStartRounds; ++i) {
        starts.push_back(bench::startToTray(desktop, program, output / "start"));
        if (starts.back() < 0) break;  // no tray icon at all: the other starts would wait as long
    }
    std::sort(starts.begin(), starts.end());
    std::printf("exec to tray icon docked (ms), %d starts: median %.1f, best %.1f, worst %.1f  (target <= 150; -1: "
                "no icon within %.0f s)\n",
                static_cast<int>(starts.size()), starts[starts.size() / 2], starts.front(), starts.back(), bench::kStartLimitSeconds);

    e2e::VeskaProcess veska(desktop, bench::options(program, output / "idle"));
    if (!veska.error().empty()) {
        std::fprintf(stderr, "%s\n", veska.error().c_str());
        return 1;
    }
    e2e::E2eDesktop::waitFor([] { return false; }, bench::kSettleSeconds, 100);  // start-up work finishes
    const auto before = bench::wakeups(veska.pid());
    const double cpuBefore = bench::cpuSeconds(veska.pid());
    const std::vector<double> episodes =
        bench::wakeupEpisodes(veska.pid(), bench::kIdleSeconds, [&] { return !veska.running(); });
    if (!veska.running()) {
        std::fprintf(stderr, "veska ended while idle:\n%s\n", veska.stderrText().c_str());
        return 1;
    }
    const auto after = bench::wakeups(veska.pid());
    const double cpu = bench::cpuSeconds(veska.pid()) - cpuBefore;

    long veskaPss = 0;
    long treePss = 0;
    long withoutNode = 0;
    bool webEngine = false;
    std::printf("\nprocesses after %.0f s idle (PSS, MiB):\n", bench::kIdleSeconds);
    for (pid_t pid : bench::tree(veska.pid())) {
        const long pss = bench::field(bench::readFile("/proc/" + std::to_string(pid) + "/smaps_rollup"), "Pss");
        const std::string name = bench::command(pid);
        std::printf("  %-8d %-20s %8.1f\n", pid, name.c_str(), bench::mib(pss));
        treePss += pss;
        if (pid == veska.pid()) veskaPss = pss;
        if (name != "node" && name != "nodejs") withoutNode += pss;
        webEngine = webEngine || name.find("QtWebEngine") != std::string::npos;
    }
    std::printf("veska alone %.1f MiB; its tree %.1f MiB; the tree without the node core %.1f MiB  (target <= 72 "
                "before any web page; web engine running: %s)\n",
                bench::mib(veskaPss), bench::mib(treePss), bench::mib(withoutNode), webEngine ? "yes" : "no");

    std::printf("\nlargest shares of veska's PSS (MiB):\n");
    const auto shares = bench::pssByMapping(veska.pid());
    for (std::size_t i = 0; i < shares.size() && i < 12; ++i) {
        std::printf("  %8.1f  %s\n", bench::mib(shares[i].first), shares[i].second.c_str());
    }
    std::printf("\nveska's windows on screen while idle:\n");
    for (const auto& window : e2e::windowsOf(desktop.x(), veska.pid())) {
        if (!window.viewable) continue;
        const bool docked = e2e::isInsideWindowOf(desktop.x(), window.id, desktop.trayPid());
        std::printf("  %dx%d \"%s\"%s\n", window.width, window.height, window.name.c_str(),
                    docked ? " (the tray icon, docked in the tray host)" : "");
    }

    long total = 0;
    std::printf("\nwake-ups of veska's threads over %.0f s idle (voluntary context switches):\n", bench::kIdleSeconds);
    for (const auto& [tid, entry] : after) {
        const auto old = before.find(tid);
        const long delta = entry.second - (old == before.end() ? 0 : old->second.second);
        total += delta;
        if (delta > 0) std::printf("  %-8ld %-20s %6ld\n", tid, entry.first.c_str(), delta);
    }
    std::printf("total %ld (%.2f/s); CPU %.3f s\n", total, static_cast<double>(total) / bench::kIdleSeconds, cpu);
    // Each timer firing costs a few switches (the timer, then the replies it waits for); the
    // episodes count the wake-ups themselves.
    std::printf("wake-up episodes (switches more than %.0f ms apart): %zu; the 3 s watchdog and the 8 s status poll "
                "alone make %.0f (fewer when they coincide)\n",
                bench::kEpisodeGapSeconds * 1000, episodes.size(), bench::kIdleSeconds / 3 + bench::kIdleSeconds / 8);
    std::map<long, int> gaps;  // tenths of a second between episodes
    for (std::size_t i = 1; i < episodes.size(); ++i) ++gaps[std::lround((episodes[i] - episodes[i - 1]) * 10)];
    std::printf("gaps between episodes (s x count):");
    for (const auto& [tenths, count] : gaps) std::printf(" %.1fx%d", static_cast<double>(tenths) / 10, count);
    std::printf("\n");
    return 0;
}
