// What a simulated WebSocket server does on a connection: plain data, so scenarios can be JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ports/HttpHeaders.h"

namespace veska::sim {

enum class WsStepKind {
    text,    // a text message
    binary,  // a binary message
    close,   // a close frame (`closeCode` 0 sends none: the client sees 1005)
    drop,    // the connection is lost without a close handshake
    ping,    // a ping; the client answers with a pong, which the server records
};

/// One thing the server does, `delaySeconds` after the step before it (or after the
/// moment its list started: the opening, or the client frame a reaction answers).
struct WsStep {
    double delaySeconds = 0;
    WsStepKind kind = WsStepKind::text;
    std::string data;
    int closeCode = 1000;
    std::string closeReason;

    static WsStep text(double delay, std::string s) { return {delay, WsStepKind::text, std::move(s), 0, {}}; }
    static WsStep binary(double delay, std::string s) { return {delay, WsStepKind::binary, std::move(s), 0, {}}; }
    static WsStep close(double delay, int code, std::string reason = {}) {
        return {delay, WsStepKind::close, {}, code, std::move(reason)};
    }
    static WsStep drop(double delay) { return {delay, WsStepKind::drop, {}, 0, {}}; }
    static WsStep ping(double delay, std::string payload = {}) { return {delay, WsStepKind::ping, std::move(payload), 0, {}}; }
};

/// Steps run when the client sends a frame: a text frame containing `whenTextContains`
/// (empty: any text frame), or any binary frame when `onBinary`. A `once` reaction runs for
/// the first such frame only.
struct WsReaction {
    std::string whenTextContains;
    bool onBinary = false;
    std::vector<WsStep> steps;
    bool once = false;
};

enum class WsHandshake {
    accept,      // the upgrade succeeds
    refuse,      // answered with `refuseStatus`, `refuseHeaders` and `refuseBody`
    silence,     // never answered: the client's time-out decides
    drop,        // the connection is reset during the upgrade
    tlsFailure,  // the secure connection fails
};

/// What one connection does, from the upgrade on.
struct WsBehaviour {
    WsHandshake handshake = WsHandshake::accept;
    double handshakeDelaySeconds = 0;
    int refuseStatus = 403;
    ports::HttpHeaders refuseHeaders;
    std::string refuseBody;
    /// The sub-protocol to choose; none = the first the client offered.
    std::optional<std::string> protocol;
    /// Steps from the moment the connection opens.
    std::vector<WsStep> steps;
    std::vector<WsReaction> reactions;

    static WsBehaviour accept(std::vector<WsStep> steps = {}, std::vector<WsReaction> reactions = {}) {
        WsBehaviour b;
        b.steps = std::move(steps);
        b.reactions = std::move(reactions);
        return b;
    }
    static WsBehaviour refuse(int status, std::string body = {}, ports::HttpHeaders headers = {}) {
        WsBehaviour b;
        b.handshake = WsHandshake::refuse;
        b.refuseStatus = status;
        b.refuseBody = std::move(body);
        b.refuseHeaders = std::move(headers);
        return b;
    }
    static WsBehaviour failing(WsHandshake handshake, double delaySeconds = 0) {
        WsBehaviour b;
        b.handshake = handshake;
        b.handshakeDelaySeconds = delaySeconds;
        return b;
    }
};

/// Connections an endpoint takes: same path, and same query when given. The n-th connection
/// gets the n-th behaviour; the last one repeats.
struct WsEndpoint {
    std::string path;
    std::optional<std::string> query;
    std::vector<WsBehaviour> behaviours;
};

}  // namespace veska::sim
