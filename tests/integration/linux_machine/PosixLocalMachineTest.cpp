// Files and loopback ports as the core launch sees them on this machine.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "platform/linux/PosixLocalMachine.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

/// A listening loopback socket on a port the system chose.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(fd_, 4);
        socklen_t length = sizeof(address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    [[nodiscard]] int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(PosixLocalMachine, FilesAndExecutables) {
    testing::TempDir dir;
    dir.write("runtime/node", "#!/bin/sh\n");
    dir.write("local-core/cli.mjs", "export {};\n");
    dir.write("repo-root.txt", "/src/veska\n");
    const auto path = [&](const char* name) { return (dir.path() / name).string(); };
    std::filesystem::permissions(path("runtime/node"), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    PosixLocalMachine machine;
    struct Row {
        std::string path;
        bool exists;
        bool executable;
    };
    const std::vector<Row> rows{
        {path("runtime/node"), true, true},   {path("local-core/cli.mjs"), true, false},
        {path("runtime"), true, false},       {path("missing"), false, false},
        {"", false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(machine.fileExists(row.path), row.exists) << row.path;
        EXPECT_EQ(machine.isExecutableFile(row.path), row.executable) << row.path;
    }
    EXPECT_EQ(machine.readFile(path("repo-root.txt")), "/src/veska\n");
    EXPECT_EQ(machine.readFile(path("missing")), std::nullopt);
    EXPECT_EQ(machine.readFile(path("runtime")), std::nullopt);
    EXPECT_EQ(machine.currentDirectory(), std::filesystem::current_path().string());
}

TEST(PosixLocalMachine, LoopbackPortsAnswerOnlyWhileSomethingListens) {
    PosixLocalMachine machine;
    Listener listener;
    EXPECT_EQ(machine.loopbackPortAnswers(listener.port()), true);
    listener.close();
    EXPECT_EQ(machine.loopbackPortAnswers(listener.port()), false);
    EXPECT_EQ(machine.loopbackPortAnswers(0), std::nullopt);
    EXPECT_EQ(machine.loopbackPortAnswers(70000), std::nullopt);
}

TEST(PosixLocalMachine, ATestProgramHasNoBundle) {
    EXPECT_EQ(PosixLocalMachine::mainBundleResources(), std::nullopt);
}

}  // namespace
}  // namespace veska::platform
