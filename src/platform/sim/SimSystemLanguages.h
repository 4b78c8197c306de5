// The system's preferred languages, as a list the test chooses.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ports/SystemLanguages.h"

namespace veska::sim {

class SimSystemLanguages : public ports::SystemLanguages {
public:
    explicit SimSystemLanguages(std::vector<std::string> languages = {"vi-VN"})
        : languages_(std::move(languages)) {}

    [[nodiscard]] std::vector<std::string> preferredLanguages() const override { return languages_; }
    void setPreferredLanguages(std::vector<std::string> languages) { languages_ = std::move(languages); }

private:
    std::vector<std::string> languages_;
};

}  // namespace veska::sim
