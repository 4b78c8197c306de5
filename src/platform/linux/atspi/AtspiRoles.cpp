// The role table.
#include "platform/linux/atspi/AtspiRoles.h"

#include "ports/Accessibility.h"

namespace veska::platform {

namespace roles = ports::roles;

namespace {

std::string_view textRole(bool multiLine) {
    return multiLine ? roles::kTextArea : roles::kTextField;
}

}  // namespace

std::string_view roleName(AtspiRole role, bool multiLine, bool editable) {
    switch (role) {
        case ATSPI_ROLE_APPLICATION:
            return roles::kApplication;
        case ATSPI_ROLE_FRAME:
        case ATSPI_ROLE_WINDOW:
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_ALERT:
        case ATSPI_ROLE_FILE_CHOOSER:
        case ATSPI_ROLE_COLOR_CHOOSER:
        case ATSPI_ROLE_FONT_CHOOSER:
            return roles::kWindow;
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
        case ATSPI_ROLE_SPIN_BUTTON:
        case ATSPI_ROLE_TEXT:
            return textRole(multiLine);
        case ATSPI_ROLE_TERMINAL:
        case ATSPI_ROLE_DOCUMENT_TEXT:
        case ATSPI_ROLE_DOCUMENT_EMAIL:
            return roles::kTextArea;
        case ATSPI_ROLE_PARAGRAPH:
            return editable ? roles::kTextArea : roles::kStaticText;
        case ATSPI_ROLE_COMBO_BOX:
        case ATSPI_ROLE_AUTOCOMPLETE:
            return roles::kComboBox;
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC:
        case ATSPI_ROLE_CAPTION:
        case ATSPI_ROLE_HEADING:
        case ATSPI_ROLE_STATUS_BAR:
            return roles::kStaticText;
        case ATSPI_ROLE_DOCUMENT_WEB:
        case ATSPI_ROLE_DOCUMENT_FRAME:
            return roles::kWebArea;
        case ATSPI_ROLE_PUSH_BUTTON:
        case ATSPI_ROLE_TOGGLE_BUTTON:
            return roles::kButton;
        case ATSPI_ROLE_PANEL:
        case ATSPI_ROLE_FILLER:
        case ATSPI_ROLE_SCROLL_PANE:
        case ATSPI_ROLE_VIEWPORT:
        case ATSPI_ROLE_SECTION:
        case ATSPI_ROLE_GROUPING:
        case ATSPI_ROLE_FORM:
        case ATSPI_ROLE_LAYERED_PANE:
        case ATSPI_ROLE_ROOT_PANE:
        case ATSPI_ROLE_SPLIT_PANE:
        case ATSPI_ROLE_PAGE_TAB:
        case ATSPI_ROLE_PAGE_TAB_LIST:
        case ATSPI_ROLE_TOOL_BAR:
        case ATSPI_ROLE_INTERNAL_FRAME:
            return roles::kGroup;
        default:
            return editable ? textRole(multiLine) : roles::kUnknown;
    }
}

}  // namespace veska::platform
