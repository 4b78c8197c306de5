// The WebSocket client contract, run against the Beast client over TLS on loopback.
#include "BeastWebSocketEnv.h"
#include "contract/WebSocketClientContract.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Beast, WebSocketClientContract, platform::BeastWebSocketFactory);

}  // namespace veska::contract
