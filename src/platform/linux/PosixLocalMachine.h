// Files, the current directory and loopback ports, with POSIX calls.
#pragma once

#include <optional>
#include <string>

#include "ports/LocalMachine.h"

namespace veska::platform {

class PosixLocalMachine final : public ports::LocalMachine {
public:
    [[nodiscard]] bool fileExists(const std::string& path) const override;
    [[nodiscard]] bool isExecutableFile(const std::string& path) const override;
    /// Files above `kMaxReadBytes` are not read.
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override;
    [[nodiscard]] std::string currentDirectory() const override;
    /// A non-blocking connect, given `kConnectTimeoutSeconds` to complete.
    [[nodiscard]] std::optional<bool> loopbackPortAnswers(int port) override;

    /// The resources directory of the bundle this program runs from
    /// ("…/Veska.app/Contents/Resources" beside "Contents/MacOS/veska"), when there is one.
    [[nodiscard]] static std::optional<std::string> mainBundleResources();

    static constexpr std::size_t kMaxReadBytes = std::size_t{1} << 20;
    static constexpr double kConnectTimeoutSeconds = 0.5;
};

}  // namespace veska::platform
