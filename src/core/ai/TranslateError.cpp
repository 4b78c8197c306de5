// Construction, comparison and the short technical summary of TranslateError.
#include "core/ai/TranslateError.h"

#include <utility>

namespace veska {

namespace {

const char* kindName(TranslateError::Kind kind) {
    using Kind = TranslateError::Kind;
    switch (kind) {
        case Kind::noKey:
            return "noKey";
        case Kind::badKey:
            return "badKey";
        case Kind::apiFailed:
            return "apiFailed";
        case Kind::needLogin:
            return "needLogin";
        case Kind::signedOut:
            return "signedOut";
        case Kind::unreachable:
            return "unreachable";
        case Kind::tooLong:
            return "tooLong";
        case Kind::failed:
            return "failed";
    }
    return "failed";
}

}  // namespace

TranslateError::TranslateError(Kind kind, std::optional<AISource> source, std::string detail)
    : kind_(kind), source_(source), detail_(std::move(detail)) {
    // The detail is a service's own message and stays out of the summary.
    summary_ = std::string("TranslateError.") + kindName(kind);
    if (source) summary_ += "(" + std::string(rawValue(*source)) + ")";
}

TranslateError TranslateError::noKey(AISource source) {
    return {Kind::noKey, source, {}};
}

TranslateError TranslateError::badKey(AISource source) {
    return {Kind::badKey, source, {}};
}

TranslateError TranslateError::apiFailed(AISource source, std::string detail) {
    return {Kind::apiFailed, source, std::move(detail)};
}

TranslateError TranslateError::needLogin(AISource source) {
    return {Kind::needLogin, source, {}};
}

TranslateError TranslateError::signedOut() {
    return {Kind::signedOut, std::nullopt, {}};
}

TranslateError TranslateError::unreachable() {
    return {Kind::unreachable, std::nullopt, {}};
}

TranslateError TranslateError::tooLong() {
    return {Kind::tooLong, std::nullopt, {}};
}

TranslateError TranslateError::failed() {
    return {Kind::failed, std::nullopt, {}};
}

bool TranslateError::operator==(const TranslateError& other) const {
    return kind_ == other.kind_ && source_ == other.source_ && detail_ == other.detail_;
}

}  // namespace veska
