// veska-cli's process: configuration, the network client, the main loop and the output.
#pragma once

#include <string>
#include <vector>

namespace veska::cli {

/// Longest input read from standard input; more is refused as too long without reading on.
inline constexpr std::size_t kMaxInputBytes = std::size_t{1024} * 1024;

/// Runs veska-cli with the arguments after the program name and returns its exit status: 0 on
/// success, 1 when the action failed (its message printed on standard error in the interface
/// language), 2 for a usage error. Reads the user's configuration, the environment's service
/// addresses and proxies; talks to the AI services through libcurl on a loop of its own.
int runCli(const std::vector<std::string>& arguments);

}  // namespace veska::cli
