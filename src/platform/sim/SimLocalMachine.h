// A machine in memory for finding and starting the local core: files, directories, ports.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ports/LocalMachine.h"

namespace veska::sim {

/// Files (with contents and an executable flag), directories, the current directory, and the
/// loopback ports where something listens. Lives on the loop's thread.
class SimLocalMachine final : public ports::LocalMachine {
public:
    /// A file at `path`; its parent directories come into being with it.
    void addFile(const std::string& path, std::string contents = {}, bool executable = false);
    /// A file whose contents cannot be read (it still exists).
    void addUnreadableFile(const std::string& path);
    void addDirectory(const std::string& path);
    void remove(const std::string& path);
    void setCurrentDirectory(std::string path) { currentDirectory_ = std::move(path); }

    /// Something listens at `port` (or stops listening).
    void listen(int port) { listening_.insert(port); }
    void close(int port) { listening_.erase(port); }
    /// A socket cannot be opened for `port`.
    void failSocket(int port) { failing_.insert(port); }
    /// Every port asked about, in order.
    [[nodiscard]] const std::vector<int>& probes() const { return probes_; }

    [[nodiscard]] bool fileExists(const std::string& path) const override;
    [[nodiscard]] bool isExecutableFile(const std::string& path) const override;
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override;
    [[nodiscard]] std::string currentDirectory() const override { return currentDirectory_; }
    [[nodiscard]] std::optional<bool> loopbackPortAnswers(int port) override;

private:
    struct File {
        std::optional<std::string> contents;
        bool executable = false;
    };

    std::map<std::string, File> files_;
    std::set<std::string> directories_{"/"};
    std::string currentDirectory_ = "/";
    std::set<int> listening_;
    std::set<int> failing_;
    std::vector<int> probes_;
};

}  // namespace veska::sim
