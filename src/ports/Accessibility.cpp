// Platform names of accessibility attributes and errors.
#include "ports/Accessibility.h"

#include <array>
#include <utility>

namespace veska::ports {

namespace {

constexpr std::array<std::pair<AXAttribute, std::string_view>, 12> kAttributeNames{{
    {AXAttribute::role, "AXRole"},
    {AXAttribute::title, "AXTitle"},
    {AXAttribute::value, "AXValue"},
    {AXAttribute::selectedText, "AXSelectedText"},
    {AXAttribute::selectedTextRange, "AXSelectedTextRange"},
    {AXAttribute::visibleCharacterRange, "AXVisibleCharacterRange"},
    {AXAttribute::numberOfCharacters, "AXNumberOfCharacters"},
    {AXAttribute::focused, "AXFocused"},
    {AXAttribute::focusedUIElement, "AXFocusedUIElement"},
    {AXAttribute::focusedApplication, "AXFocusedApplication"},
    {AXAttribute::parent, "AXParent"},
    {AXAttribute::children, "AXChildren"},
}};

}  // namespace

std::string_view attributeName(AXAttribute attribute) {
    for (const auto& [attr, name] : kAttributeNames) {
        if (attr == attribute) return name;
    }
    return "AXUnknownAttribute";
}

std::optional<AXAttribute> attributeFromName(std::string_view name) {
    for (const auto& [attr, attrName] : kAttributeNames) {
        if (attrName == name) return attr;
    }
    return std::nullopt;
}

std::string_view parameterizedAttributeName(AXParameterizedAttribute attribute) {
    switch (attribute) {
    case AXParameterizedAttribute::stringForRange:
        return "AXStringForRange";
    case AXParameterizedAttribute::lineForIndex:
        return "AXLineForIndex";
    case AXParameterizedAttribute::rangeForLine:
        return "AXRangeForLine";
    }
    return "AXUnknownParameterizedAttribute";
}

std::string_view errorName(AXError error) {
    switch (error) {
    case AXError::success: return "success";
    case AXError::failure: return "failure";
    case AXError::illegalArgument: return "illegalArgument";
    case AXError::invalidElement: return "invalidElement";
    case AXError::cannotComplete: return "cannotComplete";
    case AXError::attributeUnsupported: return "attributeUnsupported";
    case AXError::parameterizedAttributeUnsupported: return "parameterizedAttributeUnsupported";
    case AXError::notImplemented: return "notImplemented";
    case AXError::apiDisabled: return "apiDisabled";
    case AXError::noValue: return "noValue";
    }
    return "unknown";
}


}  // namespace veska::ports
