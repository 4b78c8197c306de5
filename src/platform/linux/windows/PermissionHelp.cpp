#include "platform/linux/windows/PermissionHelp.h"

#include <QMessageBox>

#include "core/ui/AppStrings.h"

namespace veska::platform {

std::string permissionHelpText(ports::Permission permission) {
    switch (permission) {
        case ports::Permission::microphone:
            return AppStrings::pick(
                "Veska không mở được micro. Hãy kiểm tra micro đã cắm và không bị tắt tiếng trong cài đặt âm "
                "thanh (PulseAudio hoặc PipeWire), rồi bấm Kiểm tra lại.",
                "Veska could not open a microphone. Check that one is plugged in and not muted in the sound "
                "settings (PulseAudio or PipeWire), then press Check again.");
        case ports::Permission::accessibility:
            return AppStrings::pick(
                "Veska đọc và ghi chữ qua kênh trợ năng của màn hình nền (AT-SPI) và đã bật nó cho phiên "
                "này. "
                "Các app đã mở trước đó có thể cần mở lại để Veska thấy chữ của chúng.",
                "Veska reads and writes text through the desktop's accessibility bus (AT-SPI) and has "
                "switched it "
                "on for this session. Applications started before may need a restart before Veska sees their "
                "text.");
        case ports::Permission::inputMonitoring:
            return AppStrings::pick(
                "Veska cần hai phần mở rộng XInput 2.2 và XTest của màn hình X11. Màn hình này không có "
                "(phiên Wayland không cho Veska dùng chúng): hãy đăng nhập phiên X11.",
                "Veska needs the XInput 2.2 and XTest extensions of the X11 display. This display lacks them "
                "(Wayland sessions do not offer them to Veska): log in to an X11 session.");
        case ports::Permission::screenRecording:
            return AppStrings::pick("Trên X11, Veska luôn chụp được cửa sổ.",
                                    "On X11 Veska can always capture windows.");
    }
    return {};
}

void showPermissionHelp(ports::Permission permission) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Veska"),
                                QString::fromStdString(permissionHelpText(permission)), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace veska::platform
