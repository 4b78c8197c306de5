// A machine in memory for finding and starting the local core.
#include "platform/sim/SimLocalMachine.h"

namespace veska::sim {

void SimLocalMachine::addFile(const std::string& path, std::string contents, bool executable) {
    files_[path] = File{std::move(contents), executable};
    for (auto slash = path.rfind('/'); slash != std::string::npos && slash > 0; slash = path.rfind('/', slash - 1)) {
        directories_.insert(path.substr(0, slash));
    }
}

void SimLocalMachine::addUnreadableFile(const std::string& path) {
    addFile(path);
    files_[path].contents.reset();
}

void SimLocalMachine::addDirectory(const std::string& path) {
    directories_.insert(path);
}

void SimLocalMachine::remove(const std::string& path) {
    files_.erase(path);
    directories_.erase(path);
}

bool SimLocalMachine::fileExists(const std::string& path) const {
    return files_.contains(path) || directories_.contains(path);
}

bool SimLocalMachine::isExecutableFile(const std::string& path) const {
    auto file = files_.find(path);
    return file != files_.end() && file->second.executable;
}

std::optional<std::string> SimLocalMachine::readFile(const std::string& path) const {
    auto file = files_.find(path);
    if (file == files_.end()) return std::nullopt;
    return file->second.contents;
}

std::optional<bool> SimLocalMachine::loopbackPortAnswers(int port) {
    probes_.push_back(port);
    if (failing_.contains(port)) return std::nullopt;
    return listening_.contains(port);
}

}  // namespace veska::sim
