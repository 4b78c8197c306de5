// A private PulseAudio daemon whose default source is a FIFO fed in real time with a tone.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "support/TempDir.h"

namespace veska::testing {

/// Starts `pulseaudio` with a private runtime directory and socket, and a microphone
/// (module-pipe-source, 16 kHz mono s16le) fed by a thread of this process: a 440 Hz sine at
/// `amplitude` (0 = silence), 20 ms at a time, paced by the clock. Stops both when destroyed.
class PulseDaemon {
public:
    PulseDaemon();
    ~PulseDaemon();
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    /// The server address for clients: "unix:<dir>/native".
    [[nodiscard]] const std::string& server() const { return server_; }
    /// Loudness of the tone fed from now on (0…1).
    void setAmplitude(double amplitude) { amplitude_ = amplitude; }
    /// Stops or resumes feeding: a stalled microphone delivers nothing.
    void setFeeding(bool feeding) { feeding_ = feeding; }
    /// Ends the daemon now, as a crash would.
    void kill();

private:
    void feed();

    TempDir dir_;
    std::string server_;
    int pid_ = -1;
    int fifo_ = -1;
    std::atomic<double> amplitude_{0.0};
    std::atomic<bool> feeding_{true};
    std::atomic<bool> stop_{false};
    std::thread feeder_;
};

}  // namespace veska::testing
