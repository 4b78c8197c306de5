#include "core/ui/DesignTokens.h"

namespace veska::DesignTokens {

StatusBarImage statusBarImage(bool symbolExists, bool showSetupBadge) {
    StatusBarImage image;
    image.blankSymbol = !symbolExists;
    // A blank stand-in is not marked as a template; a real symbol is, until the badge is drawn.
    image.isTemplate = symbolExists && !showSetupBadge;
    if (showSetupBadge) image.badgeDot = kBadgeDot;
    return image;
}

}  // namespace veska::DesignTokens
