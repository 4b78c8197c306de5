// What the floating HUD and the menu-bar icon show: the vocabulary of every action's progress.
#pragma once

#include <string>
#include <string_view>

namespace veska {

/// One state of the HUD. `error` and `info` carry the message shown; the others carry nothing.
/// Equal when the case and the message are equal.
class HUDState {
public:
    enum class Kind {
        error,
        info,
        idle,
        listening,
        transcribing,
        done,
        stopped,
        readying,
        speaking,
        translating,
        composing,
        fixing,
    };

    HUDState() = default;
    // Implicit on purpose: `hud.show(HUDState::Kind::done)` reads like the state itself.
    HUDState(Kind kind) : kind_(kind) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] static HUDState error(std::string message) { return {Kind::error, std::move(message)}; }
    [[nodiscard]] static HUDState info(std::string message) { return {Kind::info, std::move(message)}; }

    [[nodiscard]] Kind kind() const { return kind_; }
    /// The message of `error` and `info`; empty for the others.
    [[nodiscard]] const std::string& message() const { return message_; }

    /// The finished states that go away by themselves: `error`, `info`, `done`, `stopped`.
    /// Their delay in seconds; 0 for every other state.
    [[nodiscard]] double autoHideSeconds() const;

    bool operator==(const HUDState&) const = default;

private:
    HUDState(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_ = Kind::idle;
    std::string message_;
};

/// The case's name as the code spells it ("listening"), for traces and tests.
[[nodiscard]] std::string_view name(HUDState::Kind kind);

/// The symbol image of the menu-bar icon for a state.
[[nodiscard]] std::string_view hudSymbol(const HUDState& state);

}  // namespace veska
