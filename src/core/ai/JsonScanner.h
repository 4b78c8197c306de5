// A strict JSON reader that builds nothing: it checks a text and reports what it meets, for
// readers that want a few values out of a large document.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veska {

/// What a `JsonScanner` meets, in document order. Strings (keys and values) arrive decoded;
/// the view lives until the next call.
class JsonEvents {
public:
    virtual ~JsonEvents() = default;
    virtual void beginObject() = 0;
    virtual void endObject() = 0;
    virtual void beginArray() = 0;
    virtual void endArray() = 0;
    virtual void key(std::string_view name) = 0;
    virtual void string(std::string_view value) = 0;
    virtual void boolean(bool value) = 0;
    /// A number or null.
    virtual void otherValue() = 0;
};

/// Accepts exactly the texts the application's JSON library (nlohmann-json, strict, no
/// comments) accepts: one value with white space around it, an optional UTF-8 byte order mark
/// first, strings of well-formed UTF-8 with paired surrogate escapes, numbers whose value is
/// finite as a double. Nesting depth is limited by memory only; nothing recurses. One scanner
/// may read many texts, one at a time; it keeps its buffers between them.
class JsonScanner {
public:
    /// Reports `text` to `events` and returns whether it is valid JSON. On false, the events
    /// reported so far mean nothing.
    [[nodiscard]] bool scan(std::string_view text, JsonEvents& events);

private:
    enum class Container : unsigned char { object, array };

    [[nodiscard]] bool value(JsonEvents& events);
    [[nodiscard]] bool afterValue(JsonEvents& events);
    [[nodiscard]] bool keyThenColon(JsonEvents& events);
    /// Reads the string that starts after the opening quote; `decoded_` or a view of the text.
    [[nodiscard]] bool string(std::string_view& out);
    [[nodiscard]] bool escape();
    [[nodiscard]] bool utf8Sequence();
    [[nodiscard]] bool number();
    [[nodiscard]] bool literal(std::string_view word);
    void skipWhiteSpace();

    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::vector<Container> open_;
    std::string decoded_;
};

}  // namespace veska
