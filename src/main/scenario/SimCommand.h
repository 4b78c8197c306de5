// The veska-sim command: arguments, reading the file, exit statuses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace veska::scenario {

/// Exit statuses of veska-sim.
inline constexpr int kExitHeld = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

/// Runs `veska-sim [--check] FILE` (or `--version`, `--help`) with `args` (without the
/// program name): the trace goes to `out` (with --check only the failures), errors to `err`.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace veska::scenario
