// A scenario as read from its file: the desktop, the fake services and the timed steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "main/scenario/KeyChord.h"
#include "platform/sim/SimHttpScript.h"
#include "platform/sim/SimWebSocketScript.h"
#include "ports/Accessibility.h"
#include "ports/HttpRequest.h"
#include "ports/KeyEventSource.h"
#include "ports/Pasteboard.h"
#include "ports/WebSocketClient.h"

namespace veska::scenario {

/// The version of the scenario format this build reads.
inline constexpr int kFormatVersion = 1;

/// An application named by its name or bundle identifier, or by its process id.
struct AppRef {
    std::string name;
    std::int32_t pid = 0;
};

/// A text element: the focused element of an application, the first one with a title, or
/// one element by id.
struct FieldRef {
    AppRef app;
    std::optional<std::string> title;
    std::uint64_t element = 0;
};

/// The fake servers of one origin and what they answer, with the secrets they guard.
struct ServerSpec {
    std::string origin;
    bool webSocket = false;
    std::vector<sim::HttpRoute> routes;
    std::vector<sim::WsEndpoint> endpoints;
    std::vector<std::string> secrets;
    std::vector<std::string> sensitiveHeaders;
};

// ---- steps ----

enum class KeyAction { tap, press, release, repeat };

struct UserKey {
    KeyChord chord;
    KeyAction action = KeyAction::tap;
};
struct PostKeys {
    std::vector<ports::SyntheticKey> keys;
    bool viaAutomation = false;
};
struct TypeText {
    std::string text;
};
struct Activate {
    AppRef app;
};
struct Focus {
    FieldRef field;
};
struct Select {
    std::optional<FieldRef> field;   // none: the focused element of the application in front
    std::optional<ports::TextRange> range;  // none: everything
};
struct Copy {
    ports::PasteboardContents contents;
};
struct SendRequest {
    std::string id;
    ports::HttpRequest request;
};
struct Connect {
    std::string id;
    ports::WebSocketRequest request;
};
struct SendFrame {
    std::string id;
    ports::WebSocketFrame frame;
};
struct Disconnect {
    std::string id;
    int code = ports::kCloseNormal;
    std::string reason;
};
struct Cancel {
    std::string id;
};
struct Wait {
    double seconds = 0;
};
/// Veska's controller says whether Escape must be consumed (work is running).
struct SwallowEscape {
    bool on = false;
};
/// Veska's controller makes fn deaf for a while (after inserting a dictation's text).
struct SuppressFn {
    double seconds = 0;
};
/// The system disables the key taps, telling them why.
struct DisableTap {
    ports::KeyEventKind notice = ports::KeyEventKind::tapDisabledByTimeout;
};

/// Veska reads the selection of the application in front (accessibility only when `axOnly`).
struct Lookup {
    bool axOnly = false;
};
/// Veska inserts text into the focused field of an application (none: the one in front).
struct Insert {
    std::string text;
    std::optional<AppRef> app;
};
/// A live dictation starts, typing into an application (none: the one in front).
struct LiveStart {
    std::optional<AppRef> app;
};
/// The dictation's whole transcript so far.
struct LiveUpdate {
    std::string text;
};
/// The user's words so far on the running Claude voice stream (the whole transcript).
struct Say {
    std::string text;
};
/// The running Claude voice stream fails.
struct VoiceFails {
    std::string error;  // "needLogin", "noMic", "connect" or "server"
};
/// The dictation ends with its final text.
struct LiveSettle {
    std::string text;
};
/// The dictation is taken back.
struct LiveRetract {};

// ---- expectations ----

struct ExpectField {
    FieldRef field;
    std::optional<std::string> text;
    std::optional<ports::TextRange> selection;
};
struct ExpectClipboard {
    std::optional<std::string> text;  // none: nothing on the clipboard
};
struct ExpectFront {
    std::optional<AppRef> app;  // none: no application in front
};
struct ExpectKeys {
    AppRef app;
    std::vector<KeyChord> keys;
};
struct ExpectRequests {
    std::string server;
    std::optional<ports::HttpMethod> method;
    std::optional<std::string> path;
    std::optional<std::size_t> count;
    std::optional<std::string> body;              // of the last matching request
    std::vector<ports::HttpHeaders::Field> headers;  // the last matching request carries these
};
struct ExpectResponse {
    std::string id;
    std::optional<int> status;
    std::optional<std::string> body;
    std::optional<std::string> error;  // "" expects no error
    std::optional<bool> ended;
};
struct ExpectWebSocket {
    std::string id;
    std::optional<std::string> state;
    std::optional<std::string> error;
    std::optional<int> status;
    std::optional<std::vector<std::string>> received;
};

/// The gesture callbacks fired since the start, by name, in order.
struct ExpectGestures {
    std::vector<std::string> names;
};

/// The selection the last finished look-up found.
struct ExpectLookup {
    std::optional<std::string> text;  // none: it found nothing
    std::optional<std::string> source;
};

/// What Veska's HUD shows now: its state, and the pill's text (or the whole message).
struct ExpectHUD {
    std::string state;
    std::optional<std::string> text;
};

/// How many recorded audio files exist now.
struct ExpectRecordings {
    std::size_t count = 0;
};

using Expectation = std::variant<ExpectField, ExpectClipboard, ExpectFront, ExpectKeys, ExpectRequests, ExpectResponse,
                                 ExpectWebSocket, ExpectGestures, ExpectLookup, ExpectHUD, ExpectRecordings>;

struct Expect {
    Expectation what;
};

using Action = std::variant<UserKey, PostKeys, TypeText, Activate, Focus, Select, Copy, SendRequest, Connect, SendFrame,
                            Disconnect, Cancel, Wait, Expect, SwallowEscape, SuppressFn, DisableTap, Lookup, Insert,
                            LiveStart, LiveUpdate, LiveSettle, LiveRetract, Say, VoiceFails>;

struct Step {
    std::size_t index = 0;
    /// Absolute virtual time to run at; none: right after the step before.
    std::optional<double> at;
    Action action;
};

/// How one AI action of the simulated AI engines answers.
struct AIAnswer {
    std::optional<std::string> text;   // none: the message comes back unchanged
    std::optional<std::string> error;  // a TranslateError case: "unreachable", "signedOut"...
    double seconds = 0.4;
};

/// Veska itself, running on the scenario's desktop, with its outside services simulated.
struct AppSpec {
    std::string provider = "chatgpt_web";
    std::string locale = "en";
    /// User defaults set before start-up.
    nlohmann::json prefs = nlohmann::json::object();
    /// The local core's transcription of every recorded take, or its error message.
    std::string transcript = "xin chào";
    std::optional<std::string> transcribeError;
    double transcribeSeconds = 0.5;
    /// By action: "fix", "translate", "write".
    std::vector<std::pair<std::string, AIAnswer>> ai;
    /// The Claude voice stream.
    bool claudeSignedIn = true;
    std::string claudeAccount = "signedIn";
    std::optional<std::string> micFailure;
    std::optional<std::string> finishFailure;
    double finishSeconds = 0.3;
};

struct Scenario {
    int version = kFormatVersion;
    std::string description;
    std::optional<AppSpec> app;
    nlohmann::json desktop = nlohmann::json::object();
    std::vector<ServerSpec> servers;
    std::vector<Step> steps;
};

/// The path of a step in its file, for messages: "steps[3]".
std::string stepPath(std::size_t index);

}  // namespace veska::scenario
