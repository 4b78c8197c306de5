// The permissions window in Qt Widgets.
#pragma once

#include <array>
#include <memory>

#include "core/app/PermissionsSetupView.h"

class QWidget;
class QLabel;
class QPushButton;

namespace veska::platform {

/// A plain dialog window (not modal, no taskbar entry of its own), built at the first
/// `render` and kept when closed. GUI thread.
class QtPermissionsView final : public PermissionsSetupView {
public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 540;

    QtPermissionsView();
    ~QtPermissionsView() override;
    QtPermissionsView(const QtPermissionsView&) = delete;
    QtPermissionsView& operator=(const QtPermissionsView&) = delete;

    void render(const PermissionsSetupContent& content) override;
    void present() override;
    void hide() override;

    /// The window, once built (for tests).
    [[nodiscard]] QWidget* window() const;

    struct Widgets;

private:
    void build();
    std::unique_ptr<Widgets> w_;
};

}  // namespace veska::platform
