// A private PulseAudio daemon: its start, its microphone feeder and its end.
#include "support/PulseDaemon.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace veska::testing {

namespace {

bool socketAnswers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

/// Runs `args` with `env` only, its output discarded; 0 when it cannot be started.
pid_t spawn(std::vector<std::string> args, std::vector<std::string> env) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& var : env) envp.push_back(var.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : 0;
}

/// Feeding 10 ms at a time keeps each write under PIPE_BUF, so it is all or nothing.
constexpr int kChunksPerSecond = 100;

}  // namespace

PulseDaemon::PulseDaemon(PulseDaemonOptions options) : mic_(options.mic) {
    // Feeding the FIFO of a daemon that was killed must fail the write, not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    launch(options);
}

void PulseDaemon::launch(const PulseDaemonOptions& options) {
    const std::string dir = dir_.path().string();
    socket_ = dir + "/native";
    const std::string fifo = dir + "/mic.fifo";
    std::string script = "load-module module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1\n" +
                         "load-module module-null-sink sink_name=speakers rate=" +
                         std::to_string(options.speakersRate) + " channels=1\nset-default-sink speakers\n";
    if (mic_) {
        const char* format = mic_->format == PipeMic::Format::s16le ? "s16le" : "float32le";
        script += "load-module module-pipe-source source_name=mic file=" + fifo + " format=" + format +
                  " rate=" + std::to_string(mic_->rate) + " channels=" + std::to_string(mic_->channels) +
                  "\nset-default-source mic\n";
    } else {
        script += "load-module module-remap-source master=speakers.monitor source_name=heard channels=1\n"
                  "set-default-source heard\n";
    }
    dir_.write("daemon.pa", script);
    std::vector<std::string> args{"pulseaudio", "-n", "-F", dir + "/daemon.pa",
                                  "--exit-idle-time=" + std::to_string(options.exitIdleSeconds),
                                  "--daemonize=no", "--use-pid-file=no", "--log-target=stderr"};
    if (options.exitIdleSeconds >= 0) args.emplace_back("--disallow-exit");
    pid_ = spawn(std::move(args), {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "XDG_CONFIG_HOME=" + dir + "/config",
                                   "PATH=/usr/bin:/bin"});
    if (pid_ == 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline &&
           !(socketAnswers(socket_) && (!mic_ || std::filesystem::exists(fifo)))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!socketAnswers(socket_)) {
        kill();
        return;
    }
    if (mic_) {
        openMic(fifo);
        if (fifo_ < 0) {
            kill();
            return;
        }
        feeder_ = std::thread([this] { feed(); });
    }
    server_ = "unix:" + socket_;
}

void PulseDaemon::openMic(const std::string& fifo) {
    // The FIFO opens for writing once the daemon's source holds it open for reading.
    for (int i = 0; i < 200 && fifo_ < 0; ++i) {
        fifo_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fifo_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

const std::string& PulseDaemon::requiredServer() const {
    if (server_.empty()) throw std::runtime_error("pulseaudio did not come up (scripts/setup installs it)");
    return server_;
}

std::size_t PulseDaemon::bytesPerSample() const {
    return mic_ && mic_->format == PipeMic::Format::s16le ? sizeof(std::int16_t) : sizeof(float);
}

void PulseDaemon::play(const std::vector<float>& samples) {
    std::vector<char> bytes(samples.size() * bytesPerSample());
    if (bytesPerSample() == sizeof(float)) {
        std::memcpy(bytes.data(), samples.data(), bytes.size());
    } else {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto value = static_cast<std::int16_t>(std::lround(std::clamp(samples[i], -1.0F, 1.0F) * 32767.0F));
            std::memcpy(bytes.data() + i * sizeof(value), &value, sizeof(value));
        }
    }
    std::lock_guard lock(mutex_);
    queued_.insert(queued_.end(), bytes.begin(), bytes.end());
}

void PulseDaemon::feed() {
    const int frames = mic_->rate / kChunksPerSecond;
    const std::size_t chunkBytes = static_cast<std::size_t>(frames * mic_->channels) * bytesPerSample();
    std::vector<char> chunk(chunkBytes);
    long long frame = 0;
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        if (feeding_) {
            bool played = false;
            {
                std::lock_guard lock(mutex_);
                played = !queued_.empty();
                const std::size_t take = std::min(chunkBytes, queued_.size());
                std::copy_n(queued_.begin(), take, chunk.begin());
                std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(take), chunk.end(), '\0');
            }
            if (!played) {
                std::vector<float> tone(static_cast<std::size_t>(frames * mic_->channels));
                for (int i = 0; i < frames; ++i, ++frame) {
                    const double s = amplitude_ * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(frame) / mic_->rate);
                    std::fill_n(tone.begin() + i * mic_->channels, mic_->channels, static_cast<float>(s));
                }
                for (std::size_t i = 0; i < tone.size(); ++i) {
                    if (bytesPerSample() == sizeof(float)) {
                        std::memcpy(chunk.data() + i * sizeof(float), &tone[i], sizeof(float));
                    } else {
                        const auto value = static_cast<std::int16_t>(std::lround(tone[i] * 32767.0F));
                        std::memcpy(chunk.data() + i * sizeof(value), &value, sizeof(value));
                    }
                }
            }
            // A full pipe (nobody reading) drops a tone chunk: the microphone runs on regardless.
            // Played sound leaves the queue only as the daemon takes it, so none is skipped.
            const auto written = ::write(fifo_, chunk.data(), chunk.size());
            if (played && written > 0) {
                std::lock_guard lock(mutex_);
                const auto taken = std::min(static_cast<std::size_t>(written), queued_.size());
                queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(taken));
            }
        }
        next += std::chrono::milliseconds(1000 / kChunksPerSecond);
        std::this_thread::sleep_until(next);
    }
}

void PulseDaemon::end(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
}

PulseDaemon::~PulseDaemon() {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (fifo_ >= 0) ::close(fifo_);
    stop();
}

PipeMicDaemon::PipeMicDaemon()
    : PulseDaemon({.mic = PipeMic{PipeMic::Format::float32le, kRate, kChannels}, .exitIdleSeconds = -1}) {
    (void)requiredServer();
}

}  // namespace veska::testing
