// A colour in the sRGB space: 0–255 components and an opacity.
#pragma once

#include <cstdint>

namespace veska {

struct SRGBColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    double opacity = 1.0;  ///< 0 (transparent) … 1 (opaque)

    constexpr bool operator==(const SRGBColor&) const = default;
};

}  // namespace veska
