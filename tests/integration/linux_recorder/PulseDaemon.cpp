// A private PulseAudio daemon with a FIFO microphone.
#include "integration/linux_recorder/PulseDaemon.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace veska::testing {

namespace {

bool socketAnswers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

PulseDaemon::PulseDaemon() {
    // Feeding the FIFO of a daemon that was killed must fail the write, not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    const std::string dir = dir_.path().string();
    const std::string socket = dir + "/native";
    const std::string fifo = dir + "/mic.fifo";
    server_ = "unix:" + socket;
    dir_.write("daemon.pa", "load-module module-native-protocol-unix socket=" + socket + " auth-anonymous=1\n"
                            "load-module module-null-sink sink_name=null\n"
                            "load-module module-pipe-source source_name=fifo_mic file=" + fifo +
                            " format=s16le rate=16000 channels=1\n"
                            "set-default-source fifo_mic\n");
    const std::string script = dir + "/daemon.pa";
    std::vector<std::string> args{"pulseaudio", "-n", "-F", script, "--exit-idle-time=-1", "--daemonize=no",
                                  "--use-pid-file=no", "--log-target=stderr", "--log-level=0"};
    std::vector<std::string> env{"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "XDG_CONFIG_HOME=" + dir, "PATH=/usr/bin:/bin"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& var : env) envp.push_back(var.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start pulseaudio");
    for (int i = 0; i < 200 && !(socketAnswers(socket) && std::filesystem::exists(fifo)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!socketAnswers(socket)) {
        kill();
        throw std::runtime_error("pulseaudio did not come up");
    }
    // The FIFO opens for writing once the daemon's source holds it open for reading.
    for (int i = 0; i < 200 && fifo_ < 0; ++i) {
        fifo_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fifo_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fifo_ < 0) {
        kill();
        throw std::runtime_error("cannot open the microphone FIFO");
    }
    feeder_ = std::thread([this] { feed(); });
}

void PulseDaemon::feed() {
    constexpr int kRate = 16000;
    constexpr int kChunk = kRate / 50;  // 20 ms
    std::vector<std::int16_t> chunk(kChunk);
    long long sample = 0;
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        if (feeding_) {
            const double amplitude = amplitude_;
            for (auto& value : chunk) {
                const double s = amplitude * std::sin(2 * M_PI * 440.0 * static_cast<double>(sample++) / kRate);
                value = static_cast<std::int16_t>(std::lround(s * 32767.0));
            }
            // A full pipe (nobody reading) drops the chunk: the microphone runs on regardless.
            [[maybe_unused]] const auto written = ::write(fifo_, chunk.data(), chunk.size() * sizeof(std::int16_t));
        }
        next += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(next);
    }
}

void PulseDaemon::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

PulseDaemon::~PulseDaemon() {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (fifo_ >= 0) ::close(fifo_);
    kill();
}

}  // namespace veska::testing
