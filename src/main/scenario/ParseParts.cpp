// Reading the small values scenario files share: applications, fields, keys, headers, ids.
#include "main/scenario/ParseParts.h"

namespace veska::scenario::parse {

namespace {
/// Longest id of a request or connection.
constexpr std::size_t kMaxIdBytes = 64;
/// Most header fields one request or answer may list.
constexpr std::size_t kMaxHeaderFields = 256;
}  // namespace

AppRef appRef(const JsonNode& node) {
    if (node.isString()) {
        AppRef out{node.string(), 0};
        if (out.name.empty()) node.fail("names no application");
        return out;
    }
    if (node.isNumber()) return AppRef{{}, static_cast<std::int32_t>(node.integer(1, INT32_MAX))};
    node.fail("is an application's name, bundle identifier or process id");
}

FieldRef fieldRef(const JsonNode& node) {
    if (!node.isObject()) return FieldRef{appRef(node), std::nullopt, 0};
    node.allowOnly({"app", "title", "element"});
    FieldRef out;
    if (auto element = node.find("element")) {
        if (node.has("app") || node.has("title")) node.fail("names an element by \"element\" alone, or by \"app\" and \"title\"");
        out.element = static_cast<std::uint64_t>(element->integer(1, INT64_MAX));
        return out;
    }
    out.app = appRef(node.at("app"));
    if (auto title = node.find("title")) out.title = title->string();
    return out;
}

KeyChord chord(const JsonNode& node) {
    std::string why;
    auto parsed = parseChord(node.string(), why);
    if (!parsed) node.fail(why);
    return *parsed;
}

ports::TextRange range(const JsonNode& node) {
    if (!node.isArray() || node.size(2) != 2) node.fail("is a range [location, length] in UTF-16 units");
    return {node[0].integer(0, INT32_MAX), node[1].integer(0, INT32_MAX)};
}

ports::HttpMethod method(const JsonNode& node) {
    const std::string name = node.string();
    for (auto m : {ports::HttpMethod::get, ports::HttpMethod::head, ports::HttpMethod::post, ports::HttpMethod::put,
                   ports::HttpMethod::patch, ports::HttpMethod::remove}) {
        if (ports::methodName(m) == name) return m;
    }
    node.fail("is one of GET, HEAD, POST, PUT, PATCH, DELETE");
}

ports::HttpHeaders headers(const JsonNode& node) {
    ports::HttpHeaders out;
    if (node.isObject()) {
        if (node.json().size() > kMaxHeaderFields) node.fail("lists too many fields");
        for (const auto& [name, value] : node.json().items()) {
            if (name.empty()) node.fail("holds a field without a name");
            out.add(name, JsonNode(value, node.path() + "." + name).string());
        }
        return out;
    }
    for (std::size_t i = 0, n = node.size(kMaxHeaderFields); i < n; ++i) {
        const JsonNode pair = node[i];
        if (!pair.isArray() || pair.json().size() != 2) pair.fail("is a header field written [\"Name\", \"value\"]");
        const std::string name = pair[0].string();
        if (name.empty()) pair[0].fail("is an empty field name");
        out.add(name, pair[1].string());
    }
    return out;
}

std::string newId(const JsonNode& owner, std::string fallback, KnownIds& ids, bool connection) {
    std::string id = std::move(fallback);
    const auto given = owner.find("id");
    if (given) {
        id = given->string();
        if (id.empty() || id.size() > kMaxIdBytes) given->fail("is an id of 1 to 64 bytes");
    }
    if (ids.requests.contains(id) || ids.connections.contains(id)) {
        if (given) given->fail("is already the id of an earlier step");
        owner.fail("needs an \"id\": its default \"" + id + "\" is taken by an earlier step");
    }
    (connection ? ids.connections : ids.requests).insert(id);
    return id;
}

std::string knownId(const JsonNode& node, const KnownIds& ids, bool connection) {
    const std::string id = node.string();
    const auto& known = connection ? ids.connections : ids.requests;
    if (!known.contains(id)) {
        node.fail(connection ? "names no connection opened by a \"connect\" step above"
                             : "names no request sent by a \"request\" step above");
    }
    return id;
}

}  // namespace veska::scenario::parse
