// Running a program to its end with a given environment and input, in a pipe or a terminal.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace veska::testing {

/// How a program ended and what it wrote.
struct ProcessResult {
    int exitCode = -1;  ///< -1 when it was killed (by a signal or the time limit)
    std::string out;    ///< standard output (in a terminal: everything the terminal showed)
    std::string err;    ///< standard error (empty in a terminal)
    bool timedOut = false;
};

/// Runs `argv` with exactly `environment`, feeding `input` on standard input, until it ends or
/// `timeoutSeconds` pass (then it is killed).
[[nodiscard]] ProcessResult runProcess(const std::vector<std::string>& argv,
                                       const std::map<std::string, std::string>& environment,
                                       const std::string& input, double timeoutSeconds = 30);

/// The same in a pseudo-terminal of `columns` × `rows` (standard input, output and error are
/// the terminal; nothing is typed).
[[nodiscard]] ProcessResult runInTerminal(const std::vector<std::string>& argv,
                                          const std::map<std::string, std::string>& environment, int columns,
                                          int rows, double timeoutSeconds = 30);

}  // namespace veska::testing
