// Simulated activity assertions: which are held, and every reason given.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ports/ActivityAssertion.h"

namespace veska::sim {

/// Counts the activities held. Lives on the loop's thread and may die before its tokens.
class SimActivityAssertion final : public ports::ActivityAssertion {
public:
    [[nodiscard]] std::unique_ptr<ports::Activity> begin(const std::string& reason) override;

    /// Activities begun and not ended yet.
    [[nodiscard]] int held() const { return *held_; }
    /// The reason of every activity begun, in order.
    [[nodiscard]] const std::vector<std::string>& reasons() const { return reasons_; }

private:
    std::shared_ptr<int> held_ = std::make_shared<int>(0);
    std::vector<std::string> reasons_;
};

}  // namespace veska::sim
