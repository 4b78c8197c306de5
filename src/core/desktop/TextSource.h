// Where a text Veska acts on came from: the user's selection, a whole field, or the clipboard.
#pragma once

#include <optional>
#include <string_view>

namespace veska {

enum class TextSource { selection, field, clipboard };

/// The stored name of a source ("selection", "field", "clipboard").
std::string_view rawValue(TextSource source);
/// The source with this stored name; none for any other string.
std::optional<TextSource> textSourceFromRaw(std::string_view raw);

}  // namespace veska
