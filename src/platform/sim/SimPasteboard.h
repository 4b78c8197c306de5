// The simulated general pasteboard: three types, a change count, writes by any application.
#pragma once

#include <cstdint>

#include "platform/sim/SimTrace.h"
#include "ports/Pasteboard.h"

namespace veska::sim {

/// The clipboard of the simulated desktop. Writes through the port are Veska's (traced with
/// `ownPid`); applications write through `writeFromApp`. Lives on the loop's thread.
class SimPasteboard final : public ports::Pasteboard {
public:
    SimPasteboard(SimTrace& trace, std::int32_t ownPid) : trace_(trace), ownPid_(ownPid) {}

    /// An application (or the user through one) puts `contents` on the pasteboard.
    void writeFromApp(std::int32_t pid, const ports::PasteboardContents& contents);
    /// The platform refuses writes through the port (write() answers false, nothing changes).
    void setRefusesWrites(bool refuses) { refusesWrites_ = refuses; }
    [[nodiscard]] const ports::PasteboardContents& contents() const { return contents_; }

    [[nodiscard]] std::int64_t changeCount() const override { return changeCount_; }
    [[nodiscard]] std::optional<std::string> plainText() const override { return contents_.plainText; }
    [[nodiscard]] std::optional<std::string> html() const override { return contents_.html; }
    [[nodiscard]] std::optional<std::string> rtf() const override { return contents_.rtf; }
    std::int64_t clear() override;
    bool write(const ports::PasteboardContents& contents) override;

private:
    void replace(std::int32_t pid, const ports::PasteboardContents& contents);

    SimTrace& trace_;
    std::int32_t ownPid_;
    ports::PasteboardContents contents_;
    std::int64_t changeCount_ = 1;
    bool refusesWrites_ = false;
};

}  // namespace veska::sim
