// Reading the simulated services' scripts from JSON.
#include "platform/sim/SimScriptReader.h"

#include <array>
#include <utility>

#include "platform/sim/SimBase64.h"
#include "platform/sim/SimJsonObject.h"
#include "ports/WebSocketClient.h"

namespace veska::sim {

namespace {

using nlohmann::json;

template <class E, std::size_t N>
E named(const std::string& name, const std::array<std::pair<const char*, E>, N>& names, const std::string& where) {
    std::string known;
    for (const auto& [text, value] : names) {
        if (name == text) return value;
        known += (known.empty() ? "" : ", ") + std::string(text);
    }
    SimJsonObject::fail(where, "\"" + name + "\" is not one of " + known);
}

template <class E, std::size_t N>
E namedField(SimJsonObject& object, const char* field, E fallback, const std::array<std::pair<const char*, E>, N>& names) {
    if (!object.has(field)) {
        object.find(field);
        return fallback;
    }
    return named(object.text(field, ""), names, object.at(field));
}

constexpr std::array<std::pair<const char*, ports::HttpMethod>, 6> kMethods{{{"GET", ports::HttpMethod::get},
    {"HEAD", ports::HttpMethod::head}, {"POST", ports::HttpMethod::post}, {"PUT", ports::HttpMethod::put},
    {"PATCH", ports::HttpMethod::patch}, {"DELETE", ports::HttpMethod::remove}}};
constexpr std::array<std::pair<const char*, HttpOpening>, 6> kOpenings{{{"respond", HttpOpening::respond},
    {"refuse", HttpOpening::refuse}, {"tlsFailure", HttpOpening::tlsFailure}, {"malformed", HttpOpening::malformed},
    {"silence", HttpOpening::silence}, {"drop", HttpOpening::drop}}};
constexpr std::array<std::pair<const char*, HttpEnding>, 3> kEndings{
    {{"complete", HttpEnding::complete}, {"drop", HttpEnding::drop}, {"hang", HttpEnding::hang}}};
constexpr std::array<std::pair<const char*, WsHandshake>, 5> kHandshakes{{{"accept", WsHandshake::accept},
    {"refuse", WsHandshake::refuse}, {"silence", WsHandshake::silence}, {"drop", WsHandshake::drop},
    {"tlsFailure", WsHandshake::tlsFailure}}};
constexpr std::array<std::pair<const char*, SimStream>, 2> kStreams{{{"out", SimStream::out}, {"err", SimStream::err}}};
constexpr std::array<std::pair<const char*, ports::ProcessErrorKind>, 4> kLaunchErrors{
    {{"notFound", ports::ProcessErrorKind::notFound}, {"notExecutable", ports::ProcessErrorKind::notExecutable},
     {"badWorkingDirectory", ports::ProcessErrorKind::badWorkingDirectory}, {"failed", ports::ProcessErrorKind::failed}}};
constexpr std::array<std::pair<const char*, ports::SampleType>, 2> kSampleTypes{
    {{"int16", ports::SampleType::int16}, {"float32", ports::SampleType::float32}}};

std::string indexed(const std::string& where, std::size_t i) { return where + "[" + std::to_string(i) + "]"; }

/// Bytes given as "text" (UTF-8) or "base64"; exactly one of them unless `optional`.
std::string bytesOf(SimJsonObject& object, const char* textField, const char* base64Field, const std::string& where) {
    const bool text = object.has(textField);
    const bool encoded = object.has(base64Field);
    if (text && encoded) SimJsonObject::fail(where, std::string("give \"") + textField + "\" or \"" + base64Field + "\", not both");
    if (encoded) return SimScriptReader::decodeBase64(object.text(base64Field, ""), object.at(base64Field));
    object.find(base64Field);
    return object.text(textField, "");
}

HttpPiece pieceOf(const json& value, const std::string& where) {
    SimJsonObject object(value, where);
    HttpPiece piece;
    piece.delaySeconds = object.seconds("after", 0);
    piece.bytes = bytesOf(object, "text", "base64", where);
    object.finish();
    return piece;
}

WsStep stepOf(const json& value, const std::string& where) {
    SimJsonObject object(value, where);
    WsStep step;
    step.delaySeconds = object.seconds("after", 0);
    int kinds = 0;
    if (object.has("text")) {
        step = WsStep::text(step.delaySeconds, object.text("text", ""));
        ++kinds;
    }
    if (object.has("binary")) {
        step = WsStep::binary(step.delaySeconds, SimScriptReader::decodeBase64(object.text("binary", ""), object.at("binary")));
        ++kinds;
    }
    if (object.has("close")) {
        step = WsStep::close(step.delaySeconds, object.integer("close", 1000, 0, 4999), object.text("reason", ""));
        if (step.closeCode != 0 && !ports::isSendableCloseCode(step.closeCode)) {
            SimJsonObject::fail(object.at("close"), "not a close code a server may send (0 sends none)");
        }
        ++kinds;
    }
    if (object.flag("drop", false)) {
        step = WsStep::drop(step.delaySeconds);
        ++kinds;
    }
    if (object.has("ping")) {
        step = WsStep::ping(step.delaySeconds, object.text("ping", ""));
        ++kinds;
    }
    for (const char* name : {"text", "binary", "close", "reason", "ping"}) object.find(name);
    if (kinds != 1) SimJsonObject::fail(where, "a step is exactly one of text, binary, close, drop, ping");
    object.finish();
    return step;
}

std::vector<WsStep> stepsOf(const json& list, const std::string& where) {
    std::vector<WsStep> steps;
    steps.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) steps.push_back(stepOf(list[i], indexed(where, i)));
    return steps;
}

template <class T, class Read>
std::vector<T> behavioursOf(SimJsonObject& object, const std::string& where, Read read) {
    std::vector<T> list;
    if (object.has("behaviour") == object.has("behaviours")) {
        SimJsonObject::fail(where, "give \"behaviour\" or \"behaviours\" (one of them)");
    }
    if (const auto* one = object.find("behaviour")) list.push_back(read(*one, object.at("behaviour")));
    const auto& many = object.array("behaviours");
    for (std::size_t i = 0; i < many.size(); ++i) list.push_back(read(many[i], indexed(object.at("behaviours"), i)));
    if (list.empty()) SimJsonObject::fail(object.at("behaviours"), "needs at least one behaviour");
    return list;
}

}  // namespace

HttpBehaviour SimScriptReader::httpBehaviour(const json& value, const std::string& where) {
    SimJsonObject object(value, where);
    HttpBehaviour b;
    b.opening = namedField(object, "opening", HttpOpening::respond, kOpenings);
    b.headDelaySeconds = object.seconds("headDelay", 0);
    b.status = object.integer("status", 200, 100, 599);
    b.headers = object.headers("headers");
    if ((object.has("body") || object.has("body64")) && object.has("pieces")) {
        SimJsonObject::fail(where, "give a body or pieces, not both");
    }
    const std::string body = bytesOf(object, "body", "body64", where);
    if (!body.empty()) b.pieces.push_back({0, body});
    const auto& pieces = object.array("pieces");
    for (std::size_t i = 0; i < pieces.size(); ++i) b.pieces.push_back(pieceOf(pieces[i], indexed(object.at("pieces"), i)));
    b.ending = namedField(object, "ending", HttpEnding::complete, kEndings);
    b.endDelaySeconds = object.seconds("endDelay", 0);
    object.finish();
    return b;
}

HttpRoute SimScriptReader::httpRoute(const json& value) {
    SimJsonObject object(value, "route");
    HttpRoute route;
    const std::string method = object.text("method", "*");
    if (method != "*") route.method = named(method, kMethods, object.at("method"));
    route.path = object.text("path", "");
    if (route.path.empty() || route.path.front() != '/') SimJsonObject::fail(object.at("path"), "a path starts with /");
    if (object.has("query")) route.query = object.text("query", "");
    object.find("query");
    route.behaviours = behavioursOf<HttpBehaviour>(object, "route", [](const json& v, const std::string& w) {
        return httpBehaviour(v, w);
    });
    object.finish();
    return route;
}

WsBehaviour SimScriptReader::wsBehaviour(const json& value, const std::string& where) {
    SimJsonObject object(value, where);
    WsBehaviour b;
    b.handshake = namedField(object, "handshake", WsHandshake::accept, kHandshakes);
    b.handshakeDelaySeconds = object.seconds("delay", 0);
    b.refuseStatus = object.integer("status", 403, 100, 599);
    b.refuseHeaders = object.headers("headers");
    b.refuseBody = object.text("body", "");
    if (object.has("protocol")) b.protocol = object.text("protocol", "");
    object.find("protocol");
    b.steps = stepsOf(object.array("steps"), object.at("steps"));
    const auto& reactions = object.array("reactions");
    for (std::size_t i = 0; i < reactions.size(); ++i) {
        SimJsonObject r(reactions[i], indexed(object.at("reactions"), i));
        WsReaction reaction;
        reaction.whenTextContains = r.text("when", "");
        reaction.onBinary = r.flag("onBinary", false);
        reaction.once = r.flag("once", false);
        reaction.steps = stepsOf(r.array("steps"), r.at("steps"));
        r.finish();
        b.reactions.push_back(std::move(reaction));
    }
    object.finish();
    return b;
}

WsEndpoint SimScriptReader::wsEndpoint(const json& value) {
    SimJsonObject object(value, "endpoint");
    WsEndpoint endpoint;
    endpoint.path = object.text("path", "");
    if (endpoint.path.empty() || endpoint.path.front() != '/') SimJsonObject::fail(object.at("path"), "a path starts with /");
    if (object.has("query")) endpoint.query = object.text("query", "");
    object.find("query");
    endpoint.behaviours = behavioursOf<WsBehaviour>(object, "endpoint", [](const json& v, const std::string& w) {
        return wsBehaviour(v, w);
    });
    object.finish();
    return endpoint;
}

SimProgram SimScriptReader::program(const json& value) {
    SimJsonObject object(value, "program");
    SimProgram p;
    p.exitCode = object.integer("exitCode", 0, 0, 255);
    p.lifetimeSeconds = object.number("lifetime", 0);
    p.terminateSignal = object.integer("terminateSignal", 15, 1, 64);
    p.ignoresTerminate = object.flag("ignoresTerminate", false);
    p.echoArguments = object.flag("echoArguments", false);
    p.echoWorkingDirectory = object.flag("echoWorkingDirectory", false);
    const auto& variables = object.array("echoVariables");
    for (std::size_t i = 0; i < variables.size(); ++i) {
        if (!variables[i].is_string()) SimJsonObject::fail(indexed(object.at("echoVariables"), i), "expected a string");
        p.echoVariables.push_back(variables[i].get<std::string>());
    }
    const auto& output = object.array("output");
    for (std::size_t i = 0; i < output.size(); ++i) {
        SimJsonObject piece(output[i], indexed(object.at("output"), i));
        SimOutput out;
        out.delaySeconds = piece.seconds("after", 0);
        out.stream = namedField(piece, "stream", SimStream::out, kStreams);
        out.text = piece.text("text", "");
        piece.finish();
        p.output.push_back(std::move(out));
    }
    if (object.has("launchError")) p.launchError = namedField(object, "launchError", ports::ProcessErrorKind::failed, kLaunchErrors);
    object.find("launchError");
    object.finish();
    return p;
}

std::vector<SimLevel> SimScriptReader::levels(const json& value) {
    if (!value.is_array()) SimJsonObject::fail("levels", "expected an array of {at, db}");
    std::vector<SimLevel> out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        SimJsonObject object(value[i], indexed("levels", i));
        SimLevel level;
        level.atSeconds = object.seconds("at", 0);
        level.db = object.number("db", ports::kSilenceDb);
        if (level.db > 0 || level.db < ports::kSilenceDb) SimJsonObject::fail(object.at("db"), "expected -160 to 0");
        object.finish();
        out.push_back(level);
    }
    return out;
}

ports::AudioFormat SimScriptReader::audioFormat(const json& value) {
    SimJsonObject object(value, "format");
    ports::AudioFormat format;
    format.sampleRate = object.number("sampleRate", 0);
    format.channels = object.integer("channels", 0, 1, 32);
    format.sampleType = namedField(object, "sampleType", ports::SampleType::float32, kSampleTypes);
    if (!format.valid()) SimJsonObject::fail("format", "needs a sample rate above 0 and 1 to 32 channels");
    object.finish();
    return format;
}

ports::WebCookie SimScriptReader::cookie(const json& value) {
    SimJsonObject object(value, "cookie");
    ports::WebCookie c;
    c.name = object.text("name", "");
    c.value = object.text("value", "");
    c.domain = object.text("domain", "");
    c.path = object.text("path", "/");
    if (object.has("expires")) c.expires = object.number("expires", 0);
    object.find("expires");
    c.secure = object.flag("secure", false);
    c.httpOnly = object.flag("httpOnly", false);
    object.finish();
    if (!ports::isStorableCookie(c)) SimJsonObject::fail("cookie", "not a cookie the store can hold");
    return c;
}

std::string SimScriptReader::decodeBase64(const std::string& text, const std::string& where) {
    auto bytes = base64Decode(text);
    if (!bytes) SimJsonObject::fail(where, "not base64");
    return *bytes;
}

}  // namespace veska::sim
