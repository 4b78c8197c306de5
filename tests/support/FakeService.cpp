// Launching a Node.js fake and a minimal blocking HTTP client for its control endpoints.
#include "support/FakeService.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX provides no header

namespace veska::testing {

namespace {

constexpr int kStartMilliseconds = 10'000;

/// The first line the fake prints: its port.
int readPort(int fd) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, kStartMilliseconds) <= 0) return 0;
        char chunk[64];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) return 0;
        line.append(chunk, static_cast<std::size_t>(got));
    }
    return std::atoi(line.c_str());
}

}  // namespace

std::string FakeService::fakesDirectory() {
    return VESKA_FAKES_DIR;
}

FakeService::FakeService(const std::string& name, const std::vector<std::string>& arguments) {
    const char* node = std::getenv("VESKA_NODE");
    const std::string nodeBin = node != nullptr && *node != '\0' ? node : "node";
    std::vector<std::string> argv = {nodeBin, fakesDirectory() + "/" + name + "/server.mjs"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);

    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int spawned = ::posix_spawnp(&pid_, nodeBin.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    if (spawned != 0) {
        ::close(out[0]);
        ::close(stdinFd_);
        pid_ = -1;
        throw std::runtime_error("cannot start node for the fake " + name);
    }
    port_ = readPort(out[0]);
    ::close(out[0]);
    if (port_ <= 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        ::close(stdinFd_);
        throw std::runtime_error("the fake " + name + " did not report its port");
    }
}

FakeService::~FakeService() {
    if (stdinFd_ >= 0) ::close(stdinFd_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string FakeService::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

FakeReply FakeService::request(const std::string& method, const std::string& path,
                               const std::string& jsonBody) const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot reach the fake");
    }
    std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    text +=
        "Content-Type: application/json\r\nContent-Length: " + std::to_string(jsonBody.size()) + "\r\n\r\n";
    text += jsonBody;
    std::string_view left = text;
    while (!left.empty()) {
        const ssize_t sent = ::send(fd, left.data(), left.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;
        left.remove_prefix(static_cast<std::size_t>(sent));
    }
    std::string answer;
    char chunk[16384];
    while (true) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, kStartMilliseconds) <= 0) break;
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    const auto headEnd = answer.find("\r\n\r\n");
    if (answer.size() < 12 || headEnd == std::string::npos)
        throw std::runtime_error("no answer from the fake");
    return FakeReply{std::atoi(answer.c_str() + 9), answer.substr(headEnd + 4)};
}

}  // namespace veska::testing
