// A private PulseAudio daemon whose default source is a FIFO the test plays sound into.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace veska::testing {

/// Starts `pulseaudio` with a private runtime directory and socket and a microphone
/// (module-pipe-source, 48 kHz stereo float) fed in real time, 10 ms at a time, by a thread of
/// this process: the samples handed to `play`, in order, and silence when there are none.
/// Stops both when destroyed.
class PipeMicDaemon {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;

    PipeMicDaemon();
    ~PipeMicDaemon();
    PipeMicDaemon(const PipeMicDaemon&) = delete;
    PipeMicDaemon& operator=(const PipeMicDaemon&) = delete;

    /// The server address for clients: "unix:<dir>/native".
    [[nodiscard]] const std::string& server() const { return server_; }
    /// Interleaved stereo float samples the microphone hears next.
    void play(const std::vector<float>& samples);
    /// Ends the daemon now, as a crash would.
    void kill();

private:
    void feed();

    TempDir dir_;
    std::string server_;
    int pid_ = -1;
    int fifo_ = -1;
    std::mutex mutex_;
    std::deque<char> queued_;
    std::atomic<bool> stop_{false};
    std::thread feeder_;
};

}  // namespace veska::testing
