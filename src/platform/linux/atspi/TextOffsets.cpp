// Character and UTF-16 offsets of a UTF-8 text.
#include "platform/linux/atspi/TextOffsets.h"

#include <algorithm>

namespace veska::platform {

namespace {

/// The length in bytes of the well-formed sequence at `i` and whether it needs a surrogate
/// pair; 1 byte for anything malformed.
struct Sequence {
    std::size_t bytes = 1;
    bool pair = false;
};

Sequence sequenceAt(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t need = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) return {};
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
    } else {
        return {};
    }
    if (i + need >= s.size()) return {};
    for (std::size_t k = 1; k <= need; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong = (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000);
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    if (overlong || surrogate || cp > 0x10FFFF) return {};
    return {need + 1, cp >= 0x10000};
}

}  // namespace

TextOffsets::TextOffsets(std::string utf8, OffsetUnit unit) : text_(std::move(utf8)), unit_(unit) {
    starts_.reserve(text_.size() + 1);
    units_.reserve(text_.size() + 1);
    std::int64_t units = 0;
    std::size_t i = 0;
    while (i < text_.size()) {
        const Sequence seq = sequenceAt(text_, i);
        starts_.push_back(i);
        units_.push_back(units);
        units += seq.pair ? 2 : 1;
        i += seq.bytes;
    }
    starts_.push_back(text_.size());
    units_.push_back(units);
}

std::optional<std::int64_t> TextOffsets::offsetAt(std::int64_t utf16) const {
    if (utf16 < 0 || utf16 > utf16Length()) return std::nullopt;
    const auto it = std::lower_bound(units_.begin(), units_.end(), utf16);
    if (it == units_.end() || *it != utf16) return std::nullopt;
    if (unit_ == OffsetUnit::utf16) return utf16;
    return static_cast<std::int64_t>(it - units_.begin());
}

std::size_t TextOffsets::characterOf(std::int64_t offset) const {
    if (unit_ == OffsetUnit::characters)
        return static_cast<std::size_t>(std::clamp<std::int64_t>(offset, 0, characters()));
    const auto it =
        std::lower_bound(units_.begin(), units_.end(), std::clamp<std::int64_t>(offset, 0, utf16Length()));
    return static_cast<std::size_t>(it - units_.begin());
}

std::int64_t TextOffsets::utf16At(std::int64_t offset) const {
    if (unit_ == OffsetUnit::utf16) return std::clamp<std::int64_t>(offset, 0, utf16Length());
    return units_[characterOf(offset)];
}

std::string TextOffsets::slice(std::int64_t from, std::int64_t to) const {
    const std::size_t a = characterOf(from);
    const std::size_t b = characterOf(to);
    if (b <= a) return {};
    return text_.substr(starts_[a], starts_[b] - starts_[a]);
}

std::int64_t utf16Units(std::string_view utf8) {
    std::int64_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const Sequence seq = sequenceAt(utf8, i);
        units += seq.pair ? 2 : 1;
        i += seq.bytes;
    }
    return units;
}

}  // namespace veska::platform
