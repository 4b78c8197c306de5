// A private PulseAudio daemon for the tests of the audio adapters: a null sink to play into
// and hear back, and optionally a microphone the test feeds in real time.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace veska::testing {

/// A microphone made of a FIFO (module-pipe-source), the daemon's default source.
struct PipeMic {
    enum class Format { s16le, float32le };
    Format format = Format::s16le;
    int rate = 16000;
    int channels = 1;
};

struct PulseDaemonOptions {
    /// Without a microphone the default source is "heard", a mono remap of the null sink's
    /// monitor: what was played.
    std::optional<PipeMic> mic;
    /// Rate of the null sink "speakers" (mono, the default sink).
    int speakersRate = 24000;
    /// The daemon exits this long after its last client leaves (so one left behind by a test
    /// that died goes away by itself); below 0: never.
    int exitIdleSeconds = 10;
};

/// Starts `pulseaudio` with only the modules a test needs, the native protocol on a socket in
/// a private runtime directory, and stops it when destroyed. A microphone is fed by a thread
/// of this process every 10 ms, paced by the clock: the samples handed to `play`, in order,
/// else a 440 Hz tone at `setAmplitude` (0, the start: silence). `server()` is empty when the
/// daemon is missing or did not come up within 10 seconds.
class PulseDaemon {
public:
    explicit PulseDaemon(PulseDaemonOptions options = {});
    ~PulseDaemon();
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    /// The server address for libpulse ("unix:/…/native"); empty when there is no daemon.
    [[nodiscard]] const std::string& server() const { return server_; }
    /// The address, or std::runtime_error when the daemon did not come up.
    [[nodiscard]] const std::string& requiredServer() const;

    /// Interleaved float samples in [-1, 1] the microphone hears next.
    void play(const std::vector<float>& samples);
    /// Loudness (0…1) of the tone heard while nothing is played.
    void setAmplitude(double amplitude) { amplitude_ = amplitude; }
    /// Stops or resumes feeding: a stalled microphone delivers nothing.
    void setFeeding(bool feeding) { feeding_ = feeding; }

    /// Ends the daemon now with SIGTERM (a server that goes away).
    void stop() { end(15); }
    /// Ends the daemon now with SIGKILL, as a crash would.
    void kill() { end(9); }

private:
    void launch(const PulseDaemonOptions& options);
    void openMic(const std::string& fifo);
    void feed();
    void end(int signal);
    [[nodiscard]] std::size_t bytesPerSample() const;

    TempDir dir_;
    std::optional<PipeMic> mic_;
    std::string socket_;
    std::string server_;
    pid_t pid_ = 0;
    int fifo_ = -1;
    std::mutex mutex_;
    std::deque<char> queued_;
    std::atomic<double> amplitude_{0.0};
    std::atomic<bool> feeding_{true};
    std::atomic<bool> stop_{false};
    std::thread feeder_;
};

/// The microphone of the capture tests: 48 kHz stereo float, which the adapters convert.
/// Throws std::runtime_error when the daemon does not come up.
class PipeMicDaemon : public PulseDaemon {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;
    PipeMicDaemon();
};

}  // namespace veska::testing
