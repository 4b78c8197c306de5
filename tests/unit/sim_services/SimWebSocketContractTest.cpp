// The WebSocket client contract, run against the simulated network.
#include "contract/WebSocketClientContract.h"
#include "unit/sim_services/SimWebSocketEnv.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, WebSocketClientContract, sim::SimWebSocketFactory);

}  // namespace veska::contract
