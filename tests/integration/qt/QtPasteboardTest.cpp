// The Qt clipboard adapter on a private X server, read and written by another X client.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <memory>

#include "platform/linux/qt/QtPasteboard.h"
#include "support/PrivateDesktop.h"

namespace veska::platform {
namespace {

/// Runs a command while Qt's event loop keeps serving the clipboard (the other client reads
/// from us, so waiting without the loop would deadlock). Its standard output, or nothing.
std::optional<std::string> runServing(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    process.start(program, args);
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput().toStdString();
}

void spin(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

/// One Qt GUI application per process: made once on the suite's private X server.
class QtPasteboardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new testing::PrivateDesktop();
        if (server_->display().empty()) return;
        qputenv("DISPLAY", QByteArray::fromStdString(server_->display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "qt_adapter_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (app_ == nullptr) GTEST_SKIP() << "Xvfb is not installed";
        if (!runServing("xclip", {"-version"})) GTEST_SKIP() << "xclip is not installed";
        pasteboard_ = std::make_unique<QtPasteboard>();
    }

    static std::optional<std::string> otherReads(const char* type) {
        return runServing("xclip", {"-o", "-selection", "clipboard", "-t", type});
    }

    static inline testing::PrivateDesktop* server_ = nullptr;
    static inline QGuiApplication* app_ = nullptr;
    std::unique_ptr<QtPasteboard> pasteboard_;
};

TEST_F(QtPasteboardTest, WhatVeskaWritesOtherProgramsReadInEveryType) {
    const std::int64_t before = pasteboard_->changeCount();
    ASSERT_TRUE(pasteboard_->write({.plainText = "Xin chào 👋", .html = "<b>Xin chào</b>", .rtf = "{\\rtf1 hi}"}));
    EXPECT_GT(pasteboard_->changeCount(), before);
    EXPECT_EQ(otherReads("UTF8_STRING"), "Xin chào 👋");
    EXPECT_EQ(otherReads("text/html"), "<b>Xin chào</b>");
    EXPECT_EQ(otherReads("text/rtf"), "{\\rtf1 hi}");
    const std::string targets = otherReads("TARGETS").value_or("");
    EXPECT_EQ(targets.find("x-kde-passwordManagerHint"), std::string::npos) << targets;
    EXPECT_EQ(pasteboard_->plainText(), "Xin chào 👋");
    EXPECT_EQ(pasteboard_->html(), "<b>Xin chào</b>");
}

TEST_F(QtPasteboardTest, TransientTextAsksClipboardManagersToLookAway) {
    ASSERT_TRUE(pasteboard_->write({.plainText = "chunk", .transient = true}));
    EXPECT_EQ(otherReads("x-kde-passwordManagerHint"), "secret");
    EXPECT_EQ(otherReads("UTF8_STRING"), "chunk");
}

TEST_F(QtPasteboardTest, AnotherProgramsCopyIsSeenAndCounted) {
    ASSERT_TRUE(pasteboard_->write({.plainText = "ours"}));
    const std::int64_t before = pasteboard_->changeCount();
    // xclip keeps serving its selection from the background until someone else takes it.
    ASSERT_TRUE(runServing("sh", {"-c", "printf '<i>theirs</i>' | xclip -selection clipboard -t text/html -i"}));
    for (int i = 0; i < 100 && pasteboard_->changeCount() == before; ++i) spin(10);
    EXPECT_GT(pasteboard_->changeCount(), before);
    EXPECT_EQ(pasteboard_->html(), "<i>theirs</i>");
    EXPECT_FALSE(pasteboard_->rtf().has_value());

    const std::int64_t cleared = pasteboard_->clear();
    EXPECT_GT(cleared, before);
    EXPECT_FALSE(pasteboard_->plainText().has_value());
    EXPECT_FALSE(pasteboard_->html().has_value());
    EXPECT_TRUE(pasteboard_->write({}));
    EXPECT_FALSE(pasteboard_->plainText().has_value());
}

}  // namespace
}  // namespace veska::platform
