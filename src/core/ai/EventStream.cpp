// The event-stream line reader of the HTTP engines.
#include "core/ai/EventStream.h"

#include <vector>

#include "core/ai/JsonScanner.h"
#include "text/WhiteSpace.h"

namespace veska::EventStream {

namespace {

constexpr std::string_view kDataPrefix = "data:";
constexpr std::string_view kDoneMark = "[DONE]";

/// Follows one event down the path to its text. Each container gets a role from its parent's
/// role and its key (or index); a key met again replaces what the earlier one gave, as it
/// does in a parsed object.
class TextPath : public JsonEvents {
public:
    explicit TextPath(Format format) : format_(format) {}

    [[nodiscard]] bool rootIsObject() const { return rootIsObject_; }
    [[nodiscard]] std::string takeText() { return std::move(text_); }

    void beginObject() override { open(true); }
    void beginArray() override { open(false); }
    void endObject() override { close(); }
    void endArray() override { close(); }
    void key(std::string_view name) override;
    void string(std::string_view value) override;
    void boolean(bool value) override;
    void otherValue() override { startValue(false); }

private:
    // gemini: root → candidates → firstCandidate → content → parts → part
    // deepseek: root → choices → firstChoice → delta
    enum class Role : unsigned char { other, root, list, first, holder, parts, part };
    struct Frame {
        Role role;
        std::size_t index = 0;  // elements met so far, in an array
    };

    [[nodiscard]] bool gemini() const { return format_ == Format::gemini; }
    [[nodiscard]] std::string_view listKey() const { return gemini() ? "candidates" : "choices"; }
    [[nodiscard]] std::string_view holderKey() const { return gemini() ? "content" : "delta"; }
    [[nodiscard]] std::string_view innerKey() const { return gemini() ? "parts" : "content"; }
    Role startValue(bool isObject);
    void open(bool isObject);
    void close();

    Format format_;
    std::vector<Frame> frames_;
    std::string_view key_;  // the current key, when it is one of the path's
    bool rootIsObject_ = false;
    std::string text_;
    // The part being read (gemini).
    std::string partText_;
    bool partHasText_ = false;
    bool partIsThought_ = false;
};

// The role of the value that starts now; counts it in its array.
TextPath::Role TextPath::startValue(bool isObject) {
    if (frames_.empty()) return isObject ? Role::root : Role::other;
    Frame& parent = frames_.back();
    const std::size_t index = parent.index++;
    switch (parent.role) {
        case Role::root: return !isObject && key_ == listKey() ? Role::list : Role::other;
        case Role::list: return isObject && index == 0 ? Role::first : Role::other;
        case Role::first: return isObject && key_ == holderKey() ? Role::holder : Role::other;
        case Role::holder: return gemini() && !isObject && key_ == "parts" ? Role::parts : Role::other;
        case Role::parts: return isObject ? Role::part : Role::other;
        case Role::part:
        case Role::other: return Role::other;
    }
    return Role::other;
}

void TextPath::open(bool isObject) {
    const Role role = startValue(isObject);
    if (role == Role::root) rootIsObject_ = true;
    if (role == Role::part) {
        partText_.clear();
        partHasText_ = false;
        partIsThought_ = false;
    }
    frames_.push_back(Frame{role});
}

void TextPath::close() {
    if (frames_.back().role == Role::part && partHasText_ && !partIsThought_) text_ += partText_;
    frames_.pop_back();
}

void TextPath::key(std::string_view name) {
    key_ = {};
    const auto replaces = [&](std::string_view pathKey) {
        if (name != pathKey) return;
        key_ = pathKey;
        text_.clear();
    };
    switch (frames_.back().role) {
        case Role::root: replaces(listKey()); return;
        case Role::first: replaces(holderKey()); return;
        case Role::holder: replaces(innerKey()); return;
        case Role::part:
            if (name == "text") {
                key_ = "text";
                partHasText_ = false;
            } else if (name == "thought") {
                key_ = "thought";
                partIsThought_ = false;
            }
            return;
        case Role::list:
        case Role::parts:
        case Role::other: return;
    }
}

void TextPath::string(std::string_view value) {
    if (frames_.empty()) return;
    const Role parent = frames_.back().role;
    startValue(false);
    if (parent == Role::holder && format_ == Format::deepseek && key_ == "content") text_ = value;
    if (parent == Role::part && key_ == "text") {
        partText_ = value;
        partHasText_ = true;
    }
}

void TextPath::boolean(bool value) {
    if (frames_.empty()) return;
    const Role parent = frames_.back().role;
    startValue(false);
    if (parent == Role::part && key_ == "thought") partIsThought_ = value;
}

}  // namespace

std::optional<std::string_view> payload(std::string_view line) {
    if (!line.starts_with(kDataPrefix)) return std::nullopt;
    return text::trimmedBlanks(line.substr(kDataPrefix.size()));
}

Line parseLine(std::string_view line) {
    std::optional<std::string_view> data = payload(line);
    if (!data) return Skip{};
    if (*data == kDoneMark) return Done{};
    // No valid JSON text holds a NUL byte; the JSON reader would take one for the end.
    if (data->find('\0') != std::string_view::npos) return Skip{};
    nlohmann::json object = nlohmann::json::parse(*data, nullptr, /*allow_exceptions=*/false);
    if (!object.is_object()) return Skip{};
    return object;
}

Delta parseDelta(std::string_view line, Format format) {
    std::optional<std::string_view> data = payload(line);
    if (!data) return Skip{};
    if (*data == kDoneMark) return Done{};
    if (data->find('\0') != std::string_view::npos) return Skip{};
    TextPath path(format);
    JsonScanner scanner;
    if (!scanner.scan(*data, path) || !path.rootIsObject()) return Skip{};
    return path.takeText();
}

}  // namespace veska::EventStream
