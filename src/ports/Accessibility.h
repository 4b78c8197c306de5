// The accessibility interface of other applications: elements, attributes, ranges, trust.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <tl/expected.hpp>

namespace veska::ports {

/// An opaque handle to one accessibility element. Equal handles name the same element; the
/// null handle (id 0) names none. A handle may go stale (its element gone): calls then fail
/// with `invalidElement`.
struct AXElement {
    std::uint64_t id = 0;

    [[nodiscard]] explicit operator bool() const { return id != 0; }
    friend bool operator==(const AXElement&, const AXElement&) = default;
};

/// The outcome of one call, as the platform reports it.
enum class AXError {
    success,
    failure,
    illegalArgument,
    invalidElement,
    /// The application did not answer within the messaging time-out (or is busy).
    cannotComplete,
    attributeUnsupported,
    parameterizedAttributeUnsupported,
    notImplemented,
    /// Veska is not trusted for accessibility, or the platform's accessibility is off.
    apiDisabled,
    /// The attribute exists but has no value now.
    noValue,
};

/// A range of text in UTF-16 code units, whatever the platform counts in.
struct TextRange {
    std::int64_t location = 0;
    std::int64_t length = 0;

    [[nodiscard]] std::int64_t end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

/// An attribute value: text, flag, count, range, element or list of elements.
using AXValue = std::variant<std::string, bool, std::int64_t, TextRange, AXElement, std::vector<AXElement>>;

template <class T>
using AXResult = tl::expected<T, AXError>;

enum class AXAttribute {
    role,                   // string, one of the roles below
    title,                  // string
    value,                  // string for text elements
    selectedText,           // string, empty when only a caret
    selectedTextRange,      // TextRange
    visibleCharacterRange,  // TextRange
    numberOfCharacters,     // int, UTF-16 units
    focused,                // bool
    focusedUIElement,       // element (system-wide or application element)
    focusedApplication,     // element (system-wide element)
    parent,                 // element
    children,               // list of elements
};

enum class AXParameterizedAttribute {
    stringForRange,  // TextRange → string
    lineForIndex,    // int (UTF-16 offset) → int (line number from 0)
    rangeForLine,    // int (line number) → TextRange, its line break included
};

/// Role names, the vocabulary every adapter maps its platform's roles onto.
namespace roles {
inline constexpr std::string_view kApplication = "AXApplication";
inline constexpr std::string_view kWindow = "AXWindow";
inline constexpr std::string_view kGroup = "AXGroup";
inline constexpr std::string_view kTextField = "AXTextField";
inline constexpr std::string_view kTextArea = "AXTextArea";
inline constexpr std::string_view kTextView = "AXTextView";
inline constexpr std::string_view kComboBox = "AXComboBox";
inline constexpr std::string_view kSearchField = "AXSearchField";
inline constexpr std::string_view kStaticText = "AXStaticText";
inline constexpr std::string_view kWebArea = "AXWebArea";
inline constexpr std::string_view kButton = "AXButton";
inline constexpr std::string_view kUnknown = "AXUnknown";
}  // namespace roles

/// The attribute's platform name ("AXSelectedText"), and back.
std::string_view attributeName(AXAttribute attribute);
std::optional<AXAttribute> attributeFromName(std::string_view name);
std::string_view parameterizedAttributeName(AXParameterizedAttribute attribute);
std::string_view errorName(AXError error);

/// Reads and writes other applications' interface elements. Every call is synchronous and
/// may block for up to the messaging time-out of the element (then `cannotComplete`), so
/// callers run on a background executor. Strings are UTF-8; ranges are UTF-16 units.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    /// Whether Veska may use accessibility. With `prompt`, also asks the user to allow it
    /// (the answer comes later; this call does not wait for it).
    virtual bool isProcessTrusted(bool prompt) = 0;

    /// The element of the whole desktop (its focused application and element).
    virtual AXElement systemWide() = 0;
    /// The element of the application with this process id (not checked until used).
    virtual AXElement application(std::int32_t pid) = 0;
    /// The process id of the application owning `element`.
    virtual AXResult<std::int32_t> processId(AXElement element) = 0;

    /// How long calls on `element` wait for an answer. On the system-wide element it sets the
    /// default for every element; 0 puts an element back on that default.
    virtual AXError setMessagingTimeout(AXElement element, double seconds) = 0;

    virtual AXResult<AXValue> attribute(AXElement element, AXAttribute attribute) = 0;
    virtual AXResult<AXValue> parameterizedAttribute(AXElement element, AXParameterizedAttribute attribute,
                                                     const AXValue& parameter) = 0;
    virtual AXResult<bool> isAttributeSettable(AXElement element, AXAttribute attribute) = 0;
    virtual AXError setAttribute(AXElement element, AXAttribute attribute, const AXValue& value) = 0;

    /// Typed reads: the value if it has the type asked for; a value of another type is
    /// `failure`, as a platform value of the wrong type would be to a careful caller.
    AXResult<std::string> stringAttribute(AXElement element, AXAttribute attr) { return as<std::string>(element, attr); }
    AXResult<TextRange> rangeAttribute(AXElement element, AXAttribute attr) { return as<TextRange>(element, attr); }
    AXResult<AXElement> elementAttribute(AXElement element, AXAttribute attr) { return as<AXElement>(element, attr); }
    AXResult<std::vector<AXElement>> elementsAttribute(AXElement element, AXAttribute attr) {
        return as<std::vector<AXElement>>(element, attr);
    }

private:
    template <class T>
    AXResult<T> as(AXElement element, AXAttribute attr) {
        AXResult<AXValue> value = attribute(element, attr);
        if (!value) return tl::make_unexpected(value.error());
        if (auto* typed = std::get_if<T>(&*value)) return std::move(*typed);
        return tl::make_unexpected(AXError::failure);
    }
};

}  // namespace veska::ports
