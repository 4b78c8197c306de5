// How talking to the local core fails.
#include "core/app/LocalError.h"

#include <vector>

#include "text/Characters.h"

namespace veska {

namespace {

std::string describe(LocalError::Kind kind, int status, const std::string& body) {
    switch (kind) {
        case LocalError::Kind::http: {
            const std::vector<std::size_t> bounds = text::characterBounds(body);
            const std::size_t characters = bounds.size() - 1;
            const std::size_t cut = characters > kLocalErrorBodyCharacters ? bounds[kLocalErrorBodyCharacters]
                                                                           : body.size();
            return "HTTP " + std::to_string(status) + ": " + body.substr(0, cut);
        }
        case LocalError::Kind::network: return "Local core unreachable — start packages/local-core";
        case LocalError::Kind::decode: return "Bad response";
        case LocalError::Kind::noMic: return "Microphone permission required";
        case LocalError::Kind::empty: return "Empty result";
    }
    return "Bad response";
}

}  // namespace

LocalError LocalError::http(int status, std::string body) {
    return LocalError(Kind::http, status, std::move(body));
}

LocalError::LocalError(Kind kind, int status, std::string body)
    : kind_(kind), status_(status), body_(std::move(body)), description_(describe(kind_, status_, body_)) {}

}  // namespace veska
