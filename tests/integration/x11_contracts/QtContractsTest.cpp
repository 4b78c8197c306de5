// The key poster and pasteboard contracts against the XTest and Qt adapters: a Qt text field
// in this process on a private Xvfb is the application in front.
#include <gtest/gtest.h>

#include "contract/KeyPosterContract.h"
#include "contract/PasteboardContract.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextCursor>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

// Xlib's macros must come after the test framework's and Qt's headers.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/linux/qt/QtPasteboard.h"
#include "platform/linux/x11/KeyMapping.h"
#include "platform/linux/x11/XTestKeyPoster.h"
#include "support/PrivateDesktop.h"

namespace veska::contract {
namespace {

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

void spin(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

/// Hands Qt every event the X server has sent it so far: a round trip on Qt's own connection
/// puts them in its queue, then the event loop handles them. Keys posted before this call
/// have reached the text field when it returns.
void settle() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection != nullptr) free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

/// One X server, one Qt application and one text field for the whole process.
struct QtDesktop {
    testing::PrivateDesktop server;
    QApplication* app = nullptr;
    QPlainTextEdit* editor = nullptr;
    Display* user = nullptr;

    QtDesktop() {
        if (server.display().empty()) throw std::runtime_error("Xvfb is not installed");
        qputenv("DISPLAY", QByteArray::fromStdString(server.display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "qt_contract_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        editor = new QPlainTextEdit();
        editor->resize(400, 200);
        editor->show();
        editor->activateWindow();
        editor->setFocus();
        user = XOpenDisplay(server.display().c_str());
        for (int i = 0; i < 100 && QApplication::focusWidget() != editor; ++i) spin(0.02);
    }

    static QtDesktop& shared() {
        // Lives until the process ends (Qt objects are not destroyed at exit); the server goes then.
        static QtDesktop* desktop = [] {
            auto* made = new QtDesktop();
            std::atexit([] { shared().server.stop(); });
            return made;
        }();
        return *desktop;
    }
};

KeySym userKeysym(ports::KeyCode code) {
    if (code == ports::keys::kCommand) return XK_Super_L;
    if (code == ports::keys::kRightCommand) return XK_Super_R;
    return platform::postedKeysym(code).value_or(NoSymbol);
}

class QtKeyPosterRig : public KeyPosterRig {
public:
    QtKeyPosterRig()
        : desktop_(QtDesktop::shared()),
          poster_(platform::X11Connection::open(desktop_.server.display()), platform::PasteChordTable::defaults(),
                  nullptr) {}

    ports::KeyPoster& poster() override { return poster_; }
    ports::Pasteboard& pasteboard() override { return pasteboard_; }
    void setField(const std::string& text, ports::TextRange selection) override {
        settle();  // keys posted for the previous text must not land in this one
        desktop_.editor->setPlainText(QString::fromStdString(text));
        QTextCursor cursor = desktop_.editor->textCursor();
        cursor.setPosition(static_cast<int>(selection.location));
        cursor.setPosition(static_cast<int>(selection.end()), QTextCursor::KeepAnchor);
        desktop_.editor->setTextCursor(cursor);
        spin(0.01);
    }
    std::string fieldText() override { return desktop_.editor->toPlainText().toStdString(); }
    void userPress(ports::KeyCode code) override { userKey(code, true); }
    void userRelease(ports::KeyCode code) override { userKey(code, false); }
    [[nodiscard]] bool canSwitchInputMonitoring() const override { return false; }
    void setInputMonitoring(bool) override {}
    void pump(double seconds) override {
        spin(seconds);
        settle();
    }

private:
    void userKey(ports::KeyCode code, bool down) {
        XTestFakeKeyEvent(desktop_.user, XKeysymToKeycode(desktop_.user, userKeysym(code)), down ? True : False,
                          CurrentTime);
        XSync(desktop_.user, False);
    }

    QtDesktop& desktop_;
    platform::XTestKeyPoster poster_;
    platform::QtPasteboard pasteboard_;
};

class QtPasteboardRig : public PasteboardRig {
public:

    ~QtPasteboardRig() override {
        for (auto& xclip : others_) {
            xclip->kill();
            xclip->waitForFinished(1000);
        }
    }

    ports::Pasteboard& pasteboard() override { return pasteboard_; }
    void writeFromOtherApp(const std::string& text) override {
        // xclip in the foreground takes the clipboard and serves it until someone else takes
        // it or the rig ends; the suite lets time pass before it reads.
        auto xclip = std::make_unique<QProcess>();
        xclip->start("xclip", {"-quiet", "-selection", "clipboard", "-i"});
        xclip->waitForStarted(2000);
        xclip->write(QByteArray::fromStdString(text));
        xclip->closeWriteChannel();
        const std::int64_t before = pasteboard_.changeCount();
        for (int i = 0; i < 100 && pasteboard_.changeCount() == before; ++i) spin(0.02);
        others_.push_back(std::move(xclip));
    }
    void pump(double seconds) override { spin(seconds); }

private:
    QtDesktop& desktop_ = QtDesktop::shared();  // the application first: the clipboard needs it
    platform::QtPasteboard pasteboard_;
    std::vector<std::unique_ptr<QProcess>> others_;
};

template <class Rig, class Base>
struct Factory {
    static std::unique_ptr<Base> make() { return std::make_unique<Rig>(); }
};

using KeyPosterOnQt = Factory<QtKeyPosterRig, KeyPosterRig>;
using PasteboardOnQt = Factory<QtPasteboardRig, PasteboardRig>;

INSTANTIATE_TYPED_TEST_SUITE_P(X11, KeyPosterContract, ::testing::Types<KeyPosterOnQt>);
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, PasteboardContract, ::testing::Types<PasteboardOnQt>);

}  // namespace
}  // namespace veska::contract
