// The stored names of text sources.
#include "core/desktop/TextSource.h"

namespace veska {

std::string_view rawValue(TextSource source) {
    switch (source) {
    case TextSource::selection:
        return "selection";
    case TextSource::field:
        return "field";
    case TextSource::clipboard:
        return "clipboard";
    }
    return "selection";
}

std::optional<TextSource> textSourceFromRaw(std::string_view raw) {
    for (TextSource source : {TextSource::selection, TextSource::field, TextSource::clipboard}) {
        if (rawValue(source) == raw) return source;
    }
    return std::nullopt;
}

}  // namespace veska
