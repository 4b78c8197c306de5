#include "core/voice/GrokWebSession.h"

#include "core/voice/GrokSession.h"

namespace veska {

rt::Task<bool> GrokWebSession::hasSession() {
    const std::optional<std::string> header = co_await GrokSession::cookieHeader(&store_, domain_);
    co_return header.has_value();
}

}  // namespace veska
