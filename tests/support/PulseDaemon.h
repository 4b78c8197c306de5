// A private PulseAudio daemon for the tests of the audio adapters: a null sink to play into,
// its monitor as a mono source to hear what was played, on a socket of its own.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace veska::testing {

/// Starts `pulseaudio` with only the modules a test needs: the native protocol on a socket in
/// a private runtime directory, the null sink "speakers" (24 kHz mono, the default sink) and
/// "heard", a mono remap of its monitor (the default source). Stops it when destroyed; left
/// behind by a test that died, it exits by itself 10 seconds after its last client.
/// `server()` is empty when the daemon is missing or did not come up within 10 seconds.
class PulseDaemon {
public:
    PulseDaemon() {
        const std::string dir = dir_.path().string();
        socket_ = dir + "/native";
        dir_.write("veska.pa", "load-module module-native-protocol-unix socket=" + socket_ +
                                   " auth-anonymous=1\n"
                                   "load-module module-null-sink sink_name=speakers rate=24000 channels=1\n"
                                   "set-default-sink speakers\n"
                                   "load-module module-remap-source master=speakers.monitor source_name=heard "
                                   "channels=1\n"
                                   "set-default-source heard\n");
        std::vector<std::string> args{"pulseaudio",        "-n",
                                      "-F",                dir + "/veska.pa",
                                      "--exit-idle-time=10", "--daemonize=no",
                                      "--use-pid-file=no", "--disallow-exit",
                                      "--log-target=stderr"};
        std::vector<std::string> env{"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "XDG_CONFIG_HOME=" + dir + "/config",
                                     "PATH=/usr/bin:/bin"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = 0;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (accepts()) {
                server_ = "unix:" + socket_;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;
    ~PulseDaemon() { stop(); }

    /// The server string for libpulse ("unix:/…/native"); empty when there is no daemon.
    [[nodiscard]] const std::string& server() const { return server_; }

    /// Stops the daemon now (a test of a server that goes away).
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
    }

private:
    [[nodiscard]] bool accepts() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket_.c_str(), sizeof(address.sun_path) - 1);
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    TempDir dir_;
    std::string socket_;
    std::string server_;
    pid_t pid_ = 0;
};

}  // namespace veska::testing
