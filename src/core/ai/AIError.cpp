// Construction of the HTTP engines' errors.
#include "core/ai/AIError.h"

#include <utility>

namespace veska {

AIError::AIError(Kind kind, int status, std::string message)
    : kind_(kind), status_(status), message_(std::move(message)) {
    switch (kind_) {
        case Kind::http:
            summary_ = "AI service answered HTTP " + std::to_string(status_);
            break;
        case Kind::empty:
            summary_ = "AI service gave no text";
            break;
        case Kind::network:
            summary_ = "AI service unreachable";
            break;
    }
}

AIError AIError::http(int status, std::string message) {
    return AIError(Kind::http, status, std::move(message));
}

AIError AIError::empty() {
    return AIError(Kind::empty, 0, {});
}

AIError AIError::network() {
    return AIError(Kind::network, 0, {});
}

}  // namespace veska
