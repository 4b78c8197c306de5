// Visual constants shared by several windows.
#pragma once

#include "core/ui/SRGBColor.h"

namespace veska::DesignTokens {

/// Highlight colour of the permission and setup windows.
inline constexpr SRGBColor accent{108, 124, 255, 1.0};

}  // namespace veska::DesignTokens
