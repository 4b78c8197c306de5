// Pieces shared by the PulseAudio adapters (microphone, file recorder, speaker).
#pragma once

#include <pulse/pulseaudio.h>

#include "ports/AudioFormat.h"

namespace veska::platform {

/// The audio error a PulseAudio error code stands for: refused access is `denied`, a missing
/// server or device is `noDevice`, a format the server rejects is `badFormat`.
[[nodiscard]] ports::AudioErrorKind audioErrorKind(int pulseError);

/// Holds a threaded main loop's lock for a scope. Only for threads other than the loop's own:
/// its callbacks already run with the lock held.
class PulseLoopLock {
public:
    explicit PulseLoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~PulseLoopLock() { pa_threaded_mainloop_unlock(loop_); }
    PulseLoopLock(const PulseLoopLock&) = delete;
    PulseLoopLock& operator=(const PulseLoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

}  // namespace veska::platform
