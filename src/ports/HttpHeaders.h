// HTTP header fields: an ordered list of name-value pairs whose names ignore letter case.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Ascii.h"

namespace veska::ports {

/// Header fields in the order they were given. Names compare without regard to letter case;
/// a name may repeat (several "Set-Cookie" fields), in which case `value` gives the first.
class HttpHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    HttpHeaders() = default;
    HttpHeaders(std::initializer_list<Field> fields) : fields_(fields) {}

    /// True when `a` and `b` are the same name, ignoring ASCII letter case.
    static bool sameName(std::string_view a, std::string_view b) {
        return text::equalsIgnoringAsciiCase(a, b);
    }

    /// Adds a field after the others, keeping any earlier field of the same name.
    void add(std::string name, std::string value) { fields_.emplace_back(std::move(name), std::move(value)); }

    /// Leaves exactly one field of that name, holding `value`, where the first one was.
    void set(const std::string& name, std::string value) {
        auto first = find(name);
        if (first == fields_.end()) {
            add(name, std::move(value));
            return;
        }
        first->second = std::move(value);
        const auto index = static_cast<std::size_t>(first - fields_.begin());
        removeAfter(name, index + 1);
    }

    void remove(std::string_view name) { removeAfter(name, 0); }

    [[nodiscard]] std::optional<std::string> value(std::string_view name) const {
        for (const auto& field : fields_) {
            if (sameName(field.first, name)) return field.second;
        }
        return std::nullopt;
    }

    [[nodiscard]] std::vector<std::string> values(std::string_view name) const {
        std::vector<std::string> found;
        for (const auto& field : fields_) {
            if (sameName(field.first, name)) found.push_back(field.second);
        }
        return found;
    }

    [[nodiscard]] bool contains(std::string_view name) const { return value(name).has_value(); }
    /// The fields in order. Taken from a temporary, they are moved (or copied) out of it, so
    /// `for (auto& f : response().headers.fields())` never reads a destroyed object.
    [[nodiscard]] const std::vector<Field>& fields() const& { return fields_; }
    [[nodiscard]] std::vector<Field> fields() && { return std::move(fields_); }
    [[nodiscard]] std::vector<Field> fields() const&& { return fields_; }
    [[nodiscard]] std::size_t size() const { return fields_.size(); }
    [[nodiscard]] bool empty() const { return fields_.empty(); }

    friend bool operator==(const HttpHeaders&, const HttpHeaders&) = default;

private:
    std::vector<Field>::iterator find(std::string_view name) {
        for (auto it = fields_.begin(); it != fields_.end(); ++it) {
            if (sameName(it->first, name)) return it;
        }
        return fields_.end();
    }

    void removeAfter(std::string_view name, std::size_t from) {
        std::vector<Field> kept(fields_.begin(), fields_.begin() + static_cast<std::ptrdiff_t>(from));
        for (std::size_t i = from; i < fields_.size(); ++i) {
            if (!sameName(fields_[i].first, name)) kept.push_back(std::move(fields_[i]));
        }
        fields_ = std::move(kept);
    }

    std::vector<Field> fields_;
};

}  // namespace veska::ports
