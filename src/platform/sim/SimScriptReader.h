// Reads the simulated services' scripts from JSON (format in docs/simulated-services.md).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/sim/SimFileRecorder.h"
#include "platform/sim/SimHttpScript.h"
#include "platform/sim/SimProcesses.h"
#include "platform/sim/SimWebSocketScript.h"
#include "ports/AudioFormat.h"
#include "ports/WebCookieStore.h"

namespace veska::sim {

/// A script that cannot be read; the message says where ("route.behaviours[1].status") and
/// what is wrong.
class SimScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Turns JSON descriptions into the scripts the simulated services run. Strict: an unknown
/// field, a wrong type, a negative delay or a status out of range is a `SimScriptError`, so
/// a typo in a scenario fails loudly instead of being ignored.
class SimScriptReader {
public:
    static HttpRoute httpRoute(const nlohmann::json& value);
    static HttpBehaviour httpBehaviour(const nlohmann::json& value, const std::string& where = "behaviour");
    static WsEndpoint wsEndpoint(const nlohmann::json& value);
    static WsBehaviour wsBehaviour(const nlohmann::json& value, const std::string& where = "behaviour");
    static SimProgram program(const nlohmann::json& value);
    static std::vector<SimLevel> levels(const nlohmann::json& value);
    static ports::AudioFormat audioFormat(const nlohmann::json& value);
    static ports::WebCookie cookie(const nlohmann::json& value);

    /// Bytes from standard base64 (padding optional); a `SimScriptError` for anything else.
    static std::string decodeBase64(const std::string& text, const std::string& where);
};

}  // namespace veska::sim
