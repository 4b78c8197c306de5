// veska-sim: runs one scenario file on the simulated desktop and prints what a user would see.
#include "main/scenario/SimCommand.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "main/scenario/ScenarioParser.h"
#include "main/scenario/ScenarioRunner.h"

#ifndef VESKA_VERSION
#define VESKA_VERSION "0.0.0"
#endif

namespace veska::scenario {

namespace {

constexpr const char* kUsage =
    "usage: veska-sim [--check] FILE\n"
    "       veska-sim --version\n"
    "Runs the scenario FILE on the simulated desktop in virtual time and prints its trace,\n"
    "one JSON object per line. With --check only failed expectations are printed.\n"
    "Exit status: 0 every expectation held, 1 one failed, 2 a malformed file or usage error.\n";

/// The file's bytes, or nothing when it cannot be read or is too large.
std::optional<std::string> readFile(const std::string& path, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot be opened";
        return std::nullopt;
    }
    std::string text;
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxScenarioBytes) {
            why = "is larger than 16 MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        why = "cannot be read";
        return std::nullopt;
    }
    return text;
}

}  // namespace

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool check = false;
    std::optional<std::string> file;
    for (const std::string& arg : args) {
        if (arg == "--version") {
            out << "veska-sim " << VESKA_VERSION << " (scenario format " << kFormatVersion << ")\n";
            return kExitHeld;
        }
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return kExitHeld;
        }
        if (arg == "--check") {
            check = true;
        } else if (!arg.empty() && arg[0] == '-') {
            err << "veska-sim: unknown option " << arg << "\n" << kUsage;
            return kExitBadInput;
        } else if (file) {
            err << "veska-sim: one scenario file at a time\n" << kUsage;
            return kExitBadInput;
        } else {
            file = arg;
        }
    }
    if (!file) {
        err << kUsage;
        return kExitBadInput;
    }
    std::string why;
    const auto text = readFile(*file, why);
    if (!text) {
        err << "veska-sim: " << *file << ": " << why << "\n";
        return kExitBadInput;
    }
    try {
        const Scenario scenario = parseScenarioText(*text);
        TraceWriter writer(out, check ? TraceWriter::Mode::failuresOnly : TraceWriter::Mode::full);
        ScenarioRunner runner(scenario, writer);
        const RunResult result = runner.run();
        out.flush();
        return result.failures == 0 ? kExitHeld : kExitFailed;
    } catch (const ScenarioError& error) {
        err << "veska-sim: " << *file << ": " << error.what() << "\n";
        return kExitBadInput;
    } catch (const std::exception& error) {
        // Not expected: every bad input is a ScenarioError. Still an answer, not a crash.
        err << "veska-sim: " << *file << ": cannot run: " << error.what() << "\n";
        return kExitBadInput;
    }
}

}  // namespace veska::scenario
