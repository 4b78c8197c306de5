#include "platform/linux/pulse/PulseSupport.h"

namespace veska::platform {

ports::AudioErrorKind audioErrorKind(int pulseError) {
    using ports::AudioErrorKind;
    switch (pulseError) {
        case PA_ERR_ACCESS:
        case PA_ERR_AUTHKEY: return AudioErrorKind::denied;
        case PA_ERR_CONNECTIONREFUSED:
        case PA_ERR_INVALIDSERVER:
        case PA_ERR_NOENTITY:
        case PA_ERR_CONNECTIONTERMINATED: return AudioErrorKind::noDevice;
        case PA_ERR_NOTSUPPORTED:
        case PA_ERR_INVALID: return AudioErrorKind::badFormat;
        default: return AudioErrorKind::failed;
    }
}

}  // namespace veska::platform
