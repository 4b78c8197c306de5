// The audio, recorder, cookie store and process contracts, run against their sims.
#include "unit/sim_services/SimAudioEnvs.h"
#include "unit/sim_services/SimSystemEnvs.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, AudioCaptureContract, sim::SimAudioCaptureFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, AudioPlayerContract, sim::SimAudioPlayerFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, FileRecorderContract, sim::SimFileRecorderFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, WebCookieStoreContract, sim::SimCookieStoreFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, ProcessesContract, sim::SimProcessesFactory);

}  // namespace veska::contract
