// Files, the current directory and loopback ports, with POSIX calls.
#include "platform/linux/PosixLocalMachine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace veska::platform {

bool PosixLocalMachine::fileExists(const std::string& path) const {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool PosixLocalMachine::isExecutableFile(const std::string& path) const {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> PosixLocalMachine::readFile(const std::string& path) const {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxReadBytes) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::string PosixLocalMachine::currentDirectory() const {
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::string("/") : path.string();
}

std::optional<bool> PosixLocalMachine::loopbackPortAnswers(int port) {
    if (port <= 0 || port > 65535) return std::nullopt;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (!answered && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        if (::poll(&waiting, 1, static_cast<int>(kConnectTimeoutSeconds * 1000)) == 1) {
            int failure = 0;
            socklen_t length = sizeof(failure);
            answered = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) == 0 && failure == 0;
        }
    }
    ::close(fd);
    return answered;
}

std::optional<std::string> PosixLocalMachine::mainBundleResources() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::nullopt;
    const auto contents = executable.parent_path().parent_path();
    const auto resources = contents / "Resources";
    if (executable.parent_path().filename() != "MacOS" || !std::filesystem::is_directory(resources, error)) {
        return std::nullopt;
    }
    return resources.string();
}

}  // namespace veska::platform
