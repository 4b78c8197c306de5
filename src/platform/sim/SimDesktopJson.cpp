// Building a simulated desktop from a JSON description (format in docs/simulated-desktop.md).
#include <nlohmann/json.hpp>

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyNames.h"

namespace veska::sim {

namespace {

using nlohmann::json;
using ports::AXAttribute;
using ports::AXError;

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxDescribedElements = 20'000;
constexpr std::size_t kMaxKeySteps = 100'000;

[[noreturn]] void bad(const std::string& where, const std::string& what) {
    throw SimDescriptionError("simulated desktop description: " + where + ": " + what);
}

template <class T>
T field(const json& object, const char* name, const std::string& where, T fallback) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) return fallback;
    try {
        return it->get<T>();
    } catch (const json::exception&) {
        bad(where + "." + name, "has the wrong type");
    }
}

AXAttribute attributeNamed(const std::string& name, const std::string& where) {
    auto attribute = ports::attributeFromName(name);
    if (!attribute) bad(where, "unknown attribute \"" + name + "\"");
    return *attribute;
}

ports::AXParameterizedAttribute parameterizedNamed(const std::string& name, const std::string& where) {
    for (auto a : {ports::AXParameterizedAttribute::stringForRange, ports::AXParameterizedAttribute::lineForIndex,
                   ports::AXParameterizedAttribute::rangeForLine}) {
        if (ports::parameterizedAttributeName(a) == name) return a;
    }
    bad(where, "unknown parameterised attribute \"" + name + "\"");
}

AXError errorNamed(const std::string& name, const std::string& where) {
    for (int i = 0; i <= static_cast<int>(AXError::noValue); ++i) {
        const auto error = static_cast<AXError>(i);
        if (ports::errorName(error) == name) return error;
    }
    bad(where, "unknown error \"" + name + "\"");
}

ports::TextRange rangeOf(const json& value, const std::string& where) {
    if (!value.is_array() || value.size() != 2 || !value[0].is_number_integer() || !value[1].is_number_integer()) {
        bad(where, "a range is [location, length] in UTF-16 units");
    }
    return {value[0].get<std::int64_t>(), value[1].get<std::int64_t>()};
}

SimFault faultOf(const json& value, const std::string& where) {
    if (value.is_string()) return {.error = errorNamed(value.get<std::string>(), where)};
    if (!value.is_object()) bad(where, "a fault is an error name or {error, stalls, appliedAnyway}");
    SimFault fault;
    fault.error = errorNamed(field<std::string>(value, "error", where, "failure"), where);
    fault.stalls = field<bool>(value, "stalls", where, false);
    fault.appliedAnyway = field<bool>(value, "appliedAnyway", where, false);
    if (fault.stalls) fault.error = AXError::cannotComplete;
    return fault;
}

ports::AXValue valueOf(const json& value, const std::string& where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_boolean()) return value.get<bool>();
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (value.is_array()) return rangeOf(value, where);
    bad(where, "an attribute value is a string, boolean, integer or range");
}

class Builder {
public:
    explicit Builder(SimDesktop& desktop) : desktop_(desktop) {}

    void apps(const json& list);
    void keys(const json& list);

private:
    void element(std::int32_t pid, std::uint64_t parent, const json& item, const std::string& where, int depth);
    void faults(SimElement& element, const json& item, const std::string& where);

    SimDesktop& desktop_;
    std::size_t elementCount_ = 0;
};

void Builder::faults(SimElement& e, const json& item, const std::string& where) {
    if (auto it = item.find("faults"); it != item.end()) {
        if (!it->is_object()) bad(where + ".faults", "must be an object");
        const std::pair<const char*, std::map<AXAttribute, SimFault>*> kinds[] = {
            {"read", &e.readFaults}, {"write", &e.writeFaults}, {"settable", &e.settableFaults}};
        for (const auto& [kind, target] : kinds) {
            if (!it->contains(kind)) continue;
            const std::string at = where + ".faults." + kind;
            if (!(*it)[kind].is_object()) bad(at, "must be an object");
            for (const auto& [name, fault] : (*it)[kind].items()) {
                (*target)[attributeNamed(name, at)] = faultOf(fault, at + "." + name);
            }
        }
        if (it->contains("parameterized")) {
            const std::string at = where + ".faults.parameterized";
            if (!(*it)["parameterized"].is_object()) bad(at, "must be an object");
            for (const auto& [name, fault] : (*it)["parameterized"].items()) {
                e.parameterizedFaults[parameterizedNamed(name, at)] = faultOf(fault, at + "." + name);
            }
        }
    }
    if (auto it = item.find("overrides"); it != item.end()) {
        if (!it->is_object()) bad(where + ".overrides", "must be an object");
        for (const auto& [name, value] : it->items()) {
            e.overrides[attributeNamed(name, where + ".overrides")] = valueOf(value, where + ".overrides." + name);
        }
    }
}

void Builder::element(std::int32_t pid, std::uint64_t parent, const json& item, const std::string& where, int depth) {
    if (depth > kMaxDepth) bad(where, "elements nest too deeply");
    if (!item.is_object()) bad(where, "an element is an object");
    if (++elementCount_ > kMaxDescribedElements) bad(where, "too many elements");
    SimElementSpec desc;
    desc.role = field<std::string>(item, "role", where, depth == 0 ? std::string(ports::roles::kWindow)
                                                                   : std::string(ports::roles::kGroup));
    desc.title = field<std::string>(item, "title", where, "");
    if (item.contains("text")) desc.text = field<std::string>(item, "text", where, "");
    if (item.contains("selection")) desc.selection = rangeOf(item["selection"], where + ".selection");
    if (item.contains("editable")) desc.editable = field<bool>(item, "editable", where, false);
    if (item.contains("settable")) {
        std::vector<AXAttribute> settable;
        for (const auto& name : field<std::vector<std::string>>(item, "settable", where, {})) {
            settable.push_back(attributeNamed(name, where + ".settable"));
        }
        desc.settable = std::move(settable);
    }
    if (item.contains("html")) desc.html = field<std::string>(item, "html", where, "");
    if (item.contains("rtf")) desc.rtf = field<std::string>(item, "rtf", where, "");
    const std::uint64_t id = desktop_.addElement(pid, parent, desc);
    SimElement& e = desktop_.element(id);
    if (desc.selection && e.selection != *desc.selection) bad(where + ".selection", "lies outside the text");
    if (item.contains("maxStringForRange")) e.maxStringForRange = field<std::int64_t>(item, "maxStringForRange", where, 0);
    if (item.contains("visibleRange")) e.visibleRange = rangeOf(item["visibleRange"], where + ".visibleRange");
    faults(e, item, where);
    if (field<bool>(item, "focused", where, false)) desktop_.focus(pid, id);
    if (auto children = item.find("children"); children != item.end()) {
        if (!children->is_array()) bad(where + ".children", "must be a list");
        for (std::size_t i = 0; i < children->size(); ++i) {
            element(pid, id, (*children)[i], where + ".children[" + std::to_string(i) + "]", depth + 1);
        }
    }
}

void Builder::apps(const json& list) {
    if (!list.is_array()) bad("apps", "must be a list");
    std::int32_t front = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& item = list[i];
        const std::string where = "apps[" + std::to_string(i) + "]";
        if (!item.is_object()) bad(where, "an application is an object");
        SimAppSpec desc;
        desc.pid = field<std::int32_t>(item, "pid", where, 0);
        if (desc.pid < 0) bad(where + ".pid", "must be positive");
        if (desc.pid != 0 && desktop_.workspace().find(desc.pid) != nullptr) bad(where + ".pid", "is taken");
        desc.bundleIdentifier = field<std::string>(item, "bundleIdentifier", where, "");
        desc.localizedName = field<std::string>(item, "name", where, "");
        desc.bundlePath = field<std::string>(item, "bundlePath", where, "");
        desc.executablePath = field<std::string>(item, "executablePath", where, "");
        desc.bundleFiles = field<std::vector<std::string>>(item, "bundleFiles", where, {});
        desc.activationDelaySeconds = field<double>(item, "activationDelay", where, 0);
        desc.refusesActivation = field<bool>(item, "refusesActivation", where, false);
        desc.keyDelaySeconds = field<double>(item, "keyDelay", where, 0);
        if (item.contains("shortcut")) {
            desc.shortcutFlags = 0;
            for (const auto& name : field<std::vector<std::string>>(item, "shortcut", where, {})) {
                auto flag = flagFromName(name);
                if (!flag) bad(where + ".shortcut", "unknown modifier \"" + name + "\"");
                desc.shortcutFlags |= *flag;
            }
        }
        const std::int32_t pid = desktop_.launchApp(std::move(desc));
        if (field<bool>(item, "frontmost", where, false)) {
            if (front != 0) bad(where + ".frontmost", "only one application can be in front");
            front = pid;
        }
        desktop_.accessibility().setApplicationStalled(pid, field<bool>(item, "stalled", where, false));
        if (auto windows = item.find("windows"); windows != item.end()) {
            if (!windows->is_array()) bad(where + ".windows", "must be a list");
            for (std::size_t w = 0; w < windows->size(); ++w) {
                element(pid, 0, (*windows)[w], where + ".windows[" + std::to_string(w) + "]", 0);
            }
        }
    }
    if (front != 0) desktop_.workspace().bringToFront(front);
}

void Builder::keys(const json& list) {
    if (!list.is_array()) bad("keys", "must be a list");
    if (list.size() > kMaxKeySteps) bad("keys", "too many steps");
    std::vector<SimKeyStep> steps;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& item = list[i];
        const std::string where = "keys[" + std::to_string(i) + "]";
        if (!item.is_object()) bad(where, "a key step is an object");
        SimKeyStep step;
        step.atSeconds = field<double>(item, "at", where, 0);
        const std::pair<const char*, SimKeyStep::Action> actions[] = {
            {"press", SimKeyStep::Action::press}, {"release", SimKeyStep::Action::release},
            {"tap", SimKeyStep::Action::tap}, {"repeat", SimKeyStep::Action::repeat}};
        bool found = false;
        for (const auto& [name, action] : actions) {
            if (!item.contains(name)) continue;
            if (found) bad(where, "needs exactly one of press, release, tap, repeat");
            const std::string key = field<std::string>(item, name, where, "");
            auto code = keyCodeFromName(key);
            if (!code) bad(where + "." + name, "unknown key \"" + key + "\"");
            step.action = action;
            step.keyCode = *code;
            found = true;
        }
        if (!found) bad(where, "needs one of press, release, tap, repeat");
        steps.push_back(step);
    }
    desktop_.keyboard().script(steps);
}

ports::PermissionStatus statusOf(const json& value, const std::string& where) {
    if (value.is_boolean()) return value.get<bool>() ? ports::PermissionStatus::granted : ports::PermissionStatus::denied;
    if (value == "granted") return ports::PermissionStatus::granted;
    if (value == "denied") return ports::PermissionStatus::denied;
    if (value == "notDetermined") return ports::PermissionStatus::notDetermined;
    bad(where, "a permission is true, false, \"granted\", \"denied\" or \"notDetermined\"");
}

void applyPermissions(SimPermissions& target, const json& object) {
    if (!object.is_object()) bad("permissions", "must be an object");
    for (auto p : {ports::Permission::microphone, ports::Permission::accessibility, ports::Permission::inputMonitoring,
                   ports::Permission::screenRecording}) {
        const std::string name(ports::permissionName(p));
        if (object.contains(name)) target.set(p, statusOf(object[name], "permissions." + name));
    }
}

}  // namespace

std::unique_ptr<SimDesktop> SimDesktop::fromJson(rt::Executor& executor, const json& d) {
    if (!d.is_object()) bad("top level", "must be an object");
    SimDesktopOptions options;
    options.ownPid = field<std::int32_t>(d, "ownPid", "top level", options.ownPid);
    if (options.ownPid <= 0) bad("ownPid", "must be positive");
    options.ownBundleIdentifier = field<std::string>(d, "ownBundleIdentifier", "top level", options.ownBundleIdentifier);
    options.ownName = field<std::string>(d, "ownName", "top level", options.ownName);
    auto desktop = std::make_unique<SimDesktop>(executor, options);
    if (d.contains("permissions")) applyPermissions(desktop->permissions(), d["permissions"]);
    if (d.contains("pasteboard")) {
        const json& p = d["pasteboard"];
        if (!p.is_object()) bad("pasteboard", "must be an object");
        ports::PasteboardContents contents;
        if (p.contains("text")) contents.plainText = field<std::string>(p, "text", "pasteboard", "");
        if (p.contains("html")) contents.html = field<std::string>(p, "html", "pasteboard", "");
        if (p.contains("rtf")) contents.rtf = field<std::string>(p, "rtf", "pasteboard", "");
        desktop->pasteboard().writeFromApp(0, contents);
    }
    for (const auto& path : field<std::vector<std::string>>(d, "files", "top level", {})) desktop->workspace().addFile(path);
    Builder builder(*desktop);
    if (d.contains("apps")) builder.apps(d["apps"]);
    if (d.contains("keys")) builder.keys(d["keys"]);
    return desktop;
}

}  // namespace veska::sim
