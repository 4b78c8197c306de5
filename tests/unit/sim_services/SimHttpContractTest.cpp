// The HTTP client contract, run against the simulated network.
#include "contract/HttpClientContract.h"
#include "contract/HttpStreamContract.h"
#include "unit/sim_services/SimHttpEnv.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, HttpClientContract, sim::SimHttpFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, HttpStreamContract, sim::SimHttpFactory);

}  // namespace veska::contract
