// The simulated microphone: sound fed by the test, captured in buffers at the real rate.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "ports/AudioCapture.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// A microphone whose sound the test provides. Each running capture takes a buffer every
/// `framesPerBuffer ÷ rate` seconds of virtual time on the `audio` lane (the audio thread),
/// converted to its format; when the fed sound runs out the microphone hears silence. Sound
/// fed while no capture runs waits for the next one. Lives on the loop's thread.
class SimAudioCapture final : public ports::AudioCapture {
public:
    /// Starts with a 48 kHz stereo float microphone.
    explicit SimAudioCapture(rt::Executor& audio);
    ~SimAudioCapture() override;
    SimAudioCapture(const SimAudioCapture&) = delete;
    SimAudioCapture& operator=(const SimAudioCapture&) = delete;

    /// The microphone's own format; none = no microphone.
    void setDevice(std::optional<ports::AudioFormat> format);
    /// A microphone that exists but may not be opened.
    void setDenied(bool denied) { denied_ = denied; }
    /// Sound reaching the microphone: interleaved float samples in the device's format, heard
    /// after whatever was fed before.
    void feed(const std::vector<float>& samples);
    /// The microphone goes away: running captures fail with `deviceLost`.
    void unplug();

    [[nodiscard]] std::size_t runningCaptures() const;
    [[nodiscard]] int accessRequests() const { return accessRequests_; }

    rt::Task<bool> requestAccess() override;
    rt::Task<std::optional<ports::AudioFormat>> deviceFormat() override;
    rt::Task<std::unique_ptr<ports::AudioCaptureStream>> start(ports::AudioCaptureRequest request) override;

    struct Stream;

private:
    rt::Executor& audio_;
    std::optional<ports::AudioFormat> device_;
    bool denied_ = false;
    int accessRequests_ = 0;
    std::vector<float> waiting_;  // fed while nothing captured
    std::vector<std::weak_ptr<Stream>> streams_;
};

}  // namespace veska::sim
