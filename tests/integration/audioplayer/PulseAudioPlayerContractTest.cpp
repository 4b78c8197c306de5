// The AudioPlayer contract on the PulseAudio speakers of a private daemon.
#include "integration/audioplayer/PulseEnv.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(PulseAudio, AudioPlayerContract, platform::PulseFactory);

}  // namespace veska::contract
