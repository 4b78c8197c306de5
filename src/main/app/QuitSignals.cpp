#include "main/app/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <csignal>

namespace veska::app {

namespace {

// Written by the handler, read by the GUI thread.
std::array<int, 2> gPipe{-1, -1};

extern "C" void onQuitSignal(int /*signal*/) {
    const char byte = 1;
    // A full pipe already holds a wake-up: losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
}

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(gPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        std::array<char, 64> drain{};
        while (::read(gPipe[0], drain.data(), drain.size()) > 0) {
        }
        if (fired_) return;
        fired_ = true;
        if (onSignal_) onSignal_();
    });
    struct sigaction action{};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
    installed_ = true;
}

QuitSignals::~QuitSignals() {
    struct sigaction action{};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
    notifier_.reset();
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace veska::app
