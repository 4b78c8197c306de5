// The Grok console session as the sign-in status sees it: a session cookie in the shared store.
#pragma once

#include <string>

#include "core/app/AppCollaborators.h"
#include "ports/WebCookieStore.h"

namespace veska {

/// Looks for the Grok console's session cookie among the cookies of `domain` (the xAI
/// registrable domain). Main executor; the store outlives it.
class GrokWebSession final : public GrokWeb {
public:
    GrokWebSession(ports::WebCookieStore& store, std::string domain) : store_(store), domain_(std::move(domain)) {}
    rt::Task<bool> hasSession() override;

private:
    ports::WebCookieStore& store_;
    std::string domain_;
};

}  // namespace veska
