// The colours of the floating HUD (light appearance only).
#pragma once

#include "core/ui/SRGBColor.h"

namespace veska::HUDColor {

inline constexpr SRGBColor orange{255, 107, 26, 1.0};
inline constexpr SRGBColor orangeSoft{255, 230, 211, 1.0};
inline constexpr SRGBColor orangeText{154, 52, 18, 1.0};
inline constexpr SRGBColor orangeDeep{194, 65, 12, 1.0};
inline constexpr SRGBColor ink{34, 22, 14, 1.0};
inline constexpr SRGBColor muted{127, 108, 96, 1.0};
inline constexpr SRGBColor faint{168, 150, 138, 1.0};
inline constexpr SRGBColor line{235, 216, 200, 1.0};
inline constexpr SRGBColor tint{255, 246, 238, 0.35};

}  // namespace veska::HUDColor
