// Visual constants shared by several windows, and how the menu-bar icon is made.
#pragma once

#include <optional>

#include "core/ui/SRGBColor.h"

namespace veska::DesignTokens {

/// Highlight colour of the permission and setup windows.
inline constexpr SRGBColor accent{108, 124, 255, 1.0};

/// A rectangle in points, origin bottom left.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const Rect&) const = default;
};

/// How the menu-bar icon is drawn: the system symbol (16 pt, semibold) or, when the system has
/// no such symbol, a blank 18 × 18 image; with the setup badge, the image drawn into an
/// 18 × 18 canvas with an orange dot at the lower right, not a template (so the dot keeps its
/// colour); without it, the image itself as a template (tinted by the menu bar).
struct StatusBarImage {
    static constexpr double kSymbolPointSize = 16;
    static constexpr double kCanvas = 18;

    bool blankSymbol = false;
    bool isTemplate = true;
    /// The system orange dot, present with the badge.
    std::optional<Rect> badgeDot;

    bool operator==(const StatusBarImage&) const = default;
};

/// The badge dot's place in the 18 × 18 canvas.
inline constexpr Rect kBadgeDot{10, 1, 7, 7};
/// The badge dot's colour, the system orange.
inline constexpr SRGBColor kBadgeColor{255, 149, 0, 1.0};

[[nodiscard]] StatusBarImage statusBarImage(bool symbolExists, bool showSetupBadge);

}  // namespace veska::DesignTokens
