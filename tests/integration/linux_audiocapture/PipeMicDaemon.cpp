// A private PulseAudio daemon with a FIFO microphone the test plays into.
#include "integration/linux_audiocapture/PipeMicDaemon.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

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

PipeMicDaemon::PipeMicDaemon() {
    ::signal(SIGPIPE, SIG_IGN);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    const std::string dir = dir_.path().string();
    const std::string socket = dir + "/native";
    const std::string fifo = dir + "/mic.fifo";
    server_ = "unix:" + socket;
    dir_.write("daemon.pa", "load-module module-native-protocol-unix socket=" + socket + " auth-anonymous=1\n"
                            "load-module module-null-sink sink_name=null\n"
                            "load-module module-pipe-source source_name=fifo_mic file=" + fifo +
                            " format=float32le rate=48000 channels=2\n"
                            "set-default-source fifo_mic\n");
    std::vector<std::string> args{"pulseaudio", "-n", "-F", dir + "/daemon.pa", "--exit-idle-time=-1",
                                  "--daemonize=no", "--use-pid-file=no", "--log-target=stderr"};
    std::vector<std::string> env{"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "XDG_CONFIG_HOME=" + dir, "PATH=/usr/bin:/bin"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& var : env) envp.push_back(var.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start pulseaudio");
    for (int i = 0; i < 200 && !(socketAnswers(socket) && std::filesystem::exists(fifo)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    for (int i = 0; i < 200 && fifo_ < 0; ++i) {
        fifo_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fifo_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!socketAnswers(socket) || fifo_ < 0) {
        kill();
        throw std::runtime_error("pulseaudio did not come up");
    }
    feeder_ = std::thread([this] { feed(); });
}

void PipeMicDaemon::play(const std::vector<float>& samples) {
    const auto* bytes = reinterpret_cast<const char*>(samples.data());
    std::lock_guard lock(mutex_);
    queued_.insert(queued_.end(), bytes, bytes + samples.size() * sizeof(float));
}

void PipeMicDaemon::feed() {
    // 10 ms: under PIPE_BUF, so a write to the FIFO is all or nothing.
    constexpr std::size_t kChunkBytes = kRate / 100 * kChannels * sizeof(float);
    std::vector<char> chunk(kChunkBytes);
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        bool sound = false;
        {
            std::lock_guard lock(mutex_);
            sound = !queued_.empty();
            const std::size_t take = std::min(kChunkBytes, queued_.size());
            std::copy(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(take), chunk.begin());
            std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(take), chunk.end(), '\0');
        }
        const auto written = ::write(fifo_, chunk.data(), chunk.size());
        if (sound && written > 0) {
            // Only what the daemon took leaves the queue: played sound is never skipped.
            std::lock_guard lock(mutex_);
            const auto taken = std::min(static_cast<std::size_t>(written), queued_.size());
            queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(taken));
        }
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
    }
}

void PipeMicDaemon::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

PipeMicDaemon::~PipeMicDaemon() {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (fifo_ >= 0) ::close(fifo_);
    kill();
}

}  // namespace veska::testing
