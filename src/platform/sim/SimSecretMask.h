// Hides credentials when the simulated services print what they saw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ports/HttpHeaders.h"

namespace veska::sim {

/// What a recorded request or connection may show when printed: values of sensitive header
/// fields are hidden whole, and every registered secret is hidden wherever it appears (URL,
/// body, frames, other fields).
class SimSecretMask {
public:
    static constexpr std::string_view kMasked = "[masked]";

    SimSecretMask();

    /// Hides `secret` wherever it appears; empty strings are ignored.
    void addSecret(std::string secret);
    /// Hides the whole value of fields with this name (any letter case).
    void addSensitiveHeader(std::string name);

    [[nodiscard]] bool isSensitiveHeader(std::string_view name) const;
    /// `text` with every registered secret replaced by `kMasked`.
    [[nodiscard]] std::string mask(std::string_view text) const;
    /// The fields with sensitive values hidden and secrets masked in the others.
    [[nodiscard]] ports::HttpHeaders mask(const ports::HttpHeaders& headers) const;
    /// The masked fields as one line, "Name: value, Name: value".
    [[nodiscard]] std::string describe(const ports::HttpHeaders& headers) const;

private:
    std::vector<std::string> secrets_;
    std::vector<std::string> sensitiveHeaders_;
};

}  // namespace veska::sim
