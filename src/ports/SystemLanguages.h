// The user's preferred languages as the system reports them, most preferred first.
#pragma once

#include <string>
#include <vector>

namespace veska::ports {

class SystemLanguages {
public:
    virtual ~SystemLanguages() = default;
    /// Language tags such as "vi-VN" or "en-GB"; may be empty.
    [[nodiscard]] virtual std::vector<std::string> preferredLanguages() const = 0;
};

}  // namespace veska::ports
