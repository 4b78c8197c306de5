// Simulated activity assertions.
#include "platform/sim/SimActivityAssertion.h"

namespace veska::sim {

namespace {

class SimActivity final : public ports::Activity {
public:
    explicit SimActivity(std::shared_ptr<int> held) : held_(std::move(held)) { ++*held_; }
    ~SimActivity() override { --*held_; }
    SimActivity(const SimActivity&) = delete;
    SimActivity& operator=(const SimActivity&) = delete;

private:
    std::shared_ptr<int> held_;
};

}  // namespace

std::unique_ptr<ports::Activity> SimActivityAssertion::begin(const std::string& reason) {
    reasons_.push_back(reason);
    return std::make_unique<SimActivity>(held_);
}

}  // namespace veska::sim
