#include "platform/linux/windows/QtPermissionsView.h"

#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace veska::platform {

namespace {

constexpr const char* kSuccessColour = "#248A3D";
constexpr const char* kWarningColour = "#C93400";
constexpr int kStepSpacing = 10;
constexpr int kPanelRadius = 8;

/// Tells the view when the user closes the window: its close button and Escape both end in
/// `done`, which a plain `hide` does not reach.
class PermissionsDialog final : public QDialog {
public:
    std::function<void()> onClosed;

    void done(int result) override {
        QDialog::done(result);
        if (onClosed) onClosed();
    }
};

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString coloured(const std::string& value, bool success) {
    return QStringLiteral("<span style=\"color:%1\">%2</span>")
        .arg(QLatin1String(success ? kSuccessColour : kWarningColour), text(value).toHtmlEscaped());
}

}  // namespace

struct QtPermissionsView::Widgets {
    std::unique_ptr<PermissionsDialog> window;
    QLabel* heading = nullptr;
    QLabel* progress = nullptr;
    QLabel* note = nullptr;
    QLabel* summary = nullptr;
    QFrame* successPanel = nullptr;
    QLabel* successText = nullptr;
    QWidget* steps = nullptr;
    struct Card {
        QLabel* title = nullptr;
        QLabel* reason = nullptr;
        QLabel* status = nullptr;
        QPushButton* button = nullptr;
    };
    std::array<Card, 3> cards;
    QPushButton* checkAgain = nullptr;
    QPushButton* done = nullptr;
};

QtPermissionsView::QtPermissionsView() = default;
QtPermissionsView::~QtPermissionsView() = default;

QWidget* QtPermissionsView::window() const {
    return w_ ? w_->window.get() : nullptr;
}

void QtPermissionsView::build() {
    w_ = std::make_unique<Widgets>();
    w_->window = std::make_unique<PermissionsDialog>();
    PermissionsDialog& window = *w_->window;
    window.setModal(false);
    window.setFixedSize(kWidth, kHeight);
    window.onClosed = [this] {
        if (onClosed) onClosed();
    };
    auto* layout = new QVBoxLayout(&window);

    w_->heading = new QLabel(&window);
    QFont bold = w_->heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    w_->heading->setFont(bold);
    w_->progress = new QLabel(&window);
    w_->note = new QLabel(&window);
    w_->note->setWordWrap(true);
    w_->summary = new QLabel(&window);
    for (QLabel* label : {w_->heading, w_->progress, w_->note, w_->summary}) layout->addWidget(label);

    w_->successPanel = new QFrame(&window);
    w_->successPanel->setStyleSheet(
        QStringLiteral("QFrame { background: #E8F5EC; border-radius: %1px; }").arg(kPanelRadius));
    auto* panelLayout = new QVBoxLayout(w_->successPanel);
    w_->successText = new QLabel(w_->successPanel);
    QFont semibold = w_->successText->font();
    semibold.setWeight(QFont::DemiBold);
    w_->successText->setFont(semibold);
    panelLayout->addWidget(w_->successText);
    layout->addWidget(w_->successPanel);

    w_->steps = new QWidget(&window);
    auto* stepsLayout = new QVBoxLayout(w_->steps);
    stepsLayout->setSpacing(kStepSpacing);
    stepsLayout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        auto* card = new QFrame(w_->steps);
        card->setFrameShape(QFrame::StyledPanel);
        auto* cardLayout = new QHBoxLayout(card);
        auto* words = new QVBoxLayout();
        Widgets::Card& c = w_->cards.at(static_cast<std::size_t>(i));
        c.title = new QLabel(card);
        c.title->setFont(semibold);
        c.reason = new QLabel(card);
        c.reason->setWordWrap(true);
        words->addWidget(c.title);
        words->addWidget(c.reason);
        cardLayout->addLayout(words, 1);
        c.status = new QLabel(card);
        cardLayout->addWidget(c.status);
        c.button = new QPushButton(card);
        c.button->setAutoDefault(false);
        QObject::connect(c.button, &QPushButton::clicked, card, [this, i] {
            if (onOpenSettings) onOpenSettings(i);
        });
        cardLayout->addWidget(c.button);
        stepsLayout->addWidget(card);
    }
    layout->addWidget(w_->steps);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    w_->checkAgain = new QPushButton(&window);
    w_->checkAgain->setAutoDefault(false);
    w_->done = new QPushButton(&window);
    w_->done->setDefault(true);
    QObject::connect(w_->checkAgain, &QPushButton::clicked, &window, [this] {
        if (onCheckAgain) onCheckAgain();
    });
    QObject::connect(w_->done, &QPushButton::clicked, &window, [this] {
        if (onDone) onDone();
    });
    buttons->addWidget(w_->checkAgain);
    buttons->addWidget(w_->done);
    layout->addLayout(buttons);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
}

void QtPermissionsView::render(const PermissionsSetupContent& content) {
    if (!w_) build();
    w_->window->setWindowTitle(text(content.title));
    w_->heading->setText(text(content.heading));
    w_->progress->setText(text(content.progress));
    w_->note->setText(text(content.note));
    w_->summary->setText(coloured(content.summary, content.ready));
    w_->successText->setText(text(content.successText));
    w_->successPanel->setVisible(content.ready);
    w_->steps->setVisible(!content.ready);
    for (std::size_t i = 0; i < content.steps.size(); ++i) {
        const PermissionStepView& step = content.steps.at(i);
        Widgets::Card& card = w_->cards.at(i);
        card.title->setText(text(step.title));
        card.reason->setText(text(step.reason));
        card.status->setText(coloured(step.statusText, step.granted));
        card.button->setText(text(step.buttonTitle));
    }
    w_->checkAgain->setText(text(content.checkAgainTitle));
    w_->done->setText(text(content.doneTitle));
}

void QtPermissionsView::present() {
    if (!w_) return;
    w_->window->show();
    w_->window->raise();
    w_->window->activateWindow();
}

void QtPermissionsView::hide() {
    if (w_) w_->window->hide();
}

}  // namespace veska::platform
