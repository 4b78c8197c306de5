#include "core/app/PermissionsSetupWindowController.h"

#include "core/ui/AppStrings.h"

namespace veska {

namespace {

using AppStrings::pick;

enum Step { kMicStep = 0, kAXStep = 1, kIMStep = 2 };

PermissionStepView step(const char* symbol, std::string title, std::string reason, bool granted) {
    return PermissionStepView{.symbol = symbol,
                              .title = std::move(title),
                              .reason = std::move(reason),
                              .buttonTitle = pick("Mở Cài đặt", "Open Settings"),
                              .statusText = granted ? pick("Đã bật", "On") : pick("Chưa bật", "Off"),
                              .granted = granted};
}

}  // namespace

PermissionsSetupWindowController::PermissionsSetupWindowController(Services services,
                                                                   PermissionsSetupView& view)
    : services_(services), view_(view) {
    view_.onOpenSettings = [this](int which) { openSettings(which); };
    view_.onCheckAgain = [this] { recheck(); };
    view_.onDone = [this] { doneTapped(); };
    view_.onClosed = [this] {
        shown_ = false;
        stopPolling();
    };
}

PermissionsSetupWindowController::~PermissionsSetupWindowController() {
    stopPolling();
    view_.onOpenSettings = nullptr;
    view_.onCheckAgain = nullptr;
    view_.onDone = nullptr;
    view_.onClosed = nullptr;
}

PermissionsSetupWindowController::Snapshot PermissionsSetupWindowController::snapshot() {
    return Snapshot{.mic = services_.permissions.granted(ports::Permission::microphone),
                    .ax = services_.permissions.granted(ports::Permission::accessibility),
                    .im = services_.selection.hasInputMonitoring()};
}

PermissionsSetupContent PermissionsSetupWindowController::content(const Snapshot& snapshot) {
    const int missing = snapshot.missingCount();
    return PermissionsSetupContent{
        .title = pick("Veska · Quyền", "Veska · Permissions"),
        .heading = pick("Ba quyền để bắt đầu", "Three permissions to start"),
        .progress = AppStrings::permsProgress(kPermissionCount - missing, kPermissionCount),
        .note =
            pick("Trên X11: micro là thiết bị thu âm mở được, Trợ năng là kênh trợ năng của màn hình nền "
                 "(AT-SPI), Theo dõi phím là hai phần mở rộng XInput và XTest của màn hình. Bật một lần là "
                 "các lần sau không hỏi lại.",
                 "On X11 the microphone is a sound input that opens, Accessibility is the desktop's "
                 "accessibility bus (AT-SPI), and Input Monitoring is the display's XInput and XTest "
                 "extensions. Once they are on, Veska does not ask again."),
        .summary = AppStrings::permsSummary(missing),
        .ready = missing == 0,
        .successText = AppStrings::permsSummary(0),
        .steps = {step("mic.fill", "Microphone", pick("Để nghe bạn nói", "So we can hear you speak"),
                       snapshot.mic),
                  step("accessibility", pick("Trợ năng", "Accessibility"),
                       pick("Để dán chữ vào app đang gõ", "To paste into the app you're typing in"),
                       snapshot.ax),
                  step("keyboard", pick("Theo dõi phím", "Input Monitoring"),
                       pick("Để dán vào Terminal và CLI", "To paste into Terminal and CLI"), snapshot.im)},
        .checkAgainTitle = pick("Kiểm tra lại", "Check again"),
        .doneTitle = pick("Xong", "Done"),
    };
}

void PermissionsSetupWindowController::show(bool force) {
    const Snapshot now = snapshot();
    if (!force && now.missingCount() == 0) {
        if (onAllGranted) onAllGranted();
        return;
    }
    refreshUI();
    startPolling();
    shown_ = true;
    view_.present();
    if (!now.ax) scope_.start(services_.main, askAccessibility());
    if (!now.im) services_.selection.requestInputMonitoring();
}

void PermissionsSetupWindowController::close() {
    stopPolling();
    shown_ = false;
    view_.hide();
}

void PermissionsSetupWindowController::refreshUI() {
    view_.render(content(snapshot()));
}

void PermissionsSetupWindowController::startPolling() {
    stopPolling();
    polling_ = true;
    pollTimer_ = services_.main.every(kPollSeconds, [this] { refreshUI(); });
}

void PermissionsSetupWindowController::stopPolling() {
    pollTimer_.cancel();
    polling_ = false;
}

void PermissionsSetupWindowController::openSettings(int which) {
    switch (which) {
        case kMicStep:
            scope_.start(services_.main, openMic());
            return;
        case kAXStep:
            scope_.start(services_.main, openAX());
            return;
        case kIMStep:
            services_.selection.requestInputMonitoring();
            refreshUI();
            return;
        default:
            return;
    }
}

rt::Task<void> PermissionsSetupWindowController::openMic() {
    (void)co_await services_.mic.requestAccess();
    services_.permissions.openSettings(ports::Permission::microphone);
    refreshUI();
}

rt::Task<void> PermissionsSetupWindowController::askAccessibility() {
    (void)co_await services_.permissions.request(ports::Permission::accessibility);
}

rt::Task<void> PermissionsSetupWindowController::openAX() {
    (void)co_await services_.permissions.request(ports::Permission::accessibility);
    services_.permissions.openSettings(ports::Permission::accessibility);
    refreshUI();
}

void PermissionsSetupWindowController::recheck() {
    refreshUI();
    if (snapshot().missingCount() == 0 && onAllGranted) onAllGranted();
}

void PermissionsSetupWindowController::doneTapped() {
    if (snapshot().missingCount() == 0 && onAllGranted) onAllGranted();
    close();
}

}  // namespace veska
