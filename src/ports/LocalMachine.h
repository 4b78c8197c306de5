// What finding and starting the local core needs from this machine: files and loopback ports.
#pragma once

#include <optional>
#include <string>

namespace veska::ports {

/// Quick, synchronous looks at the machine. Used from the main executor.
class LocalMachine {
public:
    virtual ~LocalMachine() = default;

    /// Whether a file or directory exists at `path`.
    [[nodiscard]] virtual bool fileExists(const std::string& path) const = 0;
    /// Whether `path` is a regular file this process may execute.
    [[nodiscard]] virtual bool isExecutableFile(const std::string& path) const = 0;
    /// The whole file, or nothing when it cannot be read.
    [[nodiscard]] virtual std::optional<std::string> readFile(const std::string& path) const = 0;
    /// This process's current directory.
    [[nodiscard]] virtual std::string currentDirectory() const = 0;
    /// Opens a TCP socket, tries to connect it to 127.0.0.1 at `port`, closes it: true when
    /// something accepted the connection, false when it failed, nothing when no socket could
    /// be opened.
    [[nodiscard]] virtual std::optional<bool> loopbackPortAnswers(int port) = 0;
};

}  // namespace veska::ports
