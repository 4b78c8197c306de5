// The scenario trace: one JSON object per line, stamped with virtual time, secrets masked.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/sim/SimSecretMask.h"
#include "ports/HttpHeaders.h"

namespace veska::scenario {

/// Writes trace lines `{"t":1.250,"event":"field",...}`: the time with three decimals, the
/// event's name, then its fields in the order given. Every string is masked: registered
/// secrets are replaced wherever they appear, and `headers` hides the values of sensitive
/// fields. Invalid UTF-8 is replaced, so any text can be written. In `failuresOnly` mode only
/// the lines marked as failures are written. Lives on the loop's thread.
class TraceWriter {
public:
    enum class Mode { full, failuresOnly };
    using Fields = nlohmann::ordered_json;

    TraceWriter(std::ostream& out, Mode mode) : out_(out), mode_(mode) {}

    /// The secrets and sensitive header names to hide (every server's, together).
    [[nodiscard]] sim::SimSecretMask& mask() { return mask_; }

    void emit(double t, std::string_view event, Fields fields, bool failure = false);
    /// Header fields as a list of "Name: value", sensitive values hidden.
    [[nodiscard]] Fields headers(const ports::HttpHeaders& fields) const;
    /// A value that travels in header field `name` (a sub-protocol may carry a token).
    [[nodiscard]] std::string headerValue(std::string_view name, const std::string& value) const;
    [[nodiscard]] std::size_t linesWritten() const { return lines_; }

    /// "1.250": a time as trace lines show it.
    static std::string timeText(double t);

private:
    void maskStrings(Fields& value) const;

    std::ostream& out_;
    Mode mode_;
    sim::SimSecretMask mask_;
    std::size_t lines_ = 0;
};

}  // namespace veska::scenario
