// veska-cli's process: wiring the adapters, running the action, printing the outcome.
#include "main/cli/CliMain.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "core/ai/AIConfig.h"
#include "core/ai/MakeSession.h"
#include "core/ai/TranslateError.h"
#include "core/app/ServiceConfig.h"
#include "core/ui/AppStrings.h"
#include "main/cli/CliAction.h"
#include "main/cli/TerminalView.h"
#include "platform/linux/JsonFilePreferences.h"
#include "platform/linux/PosixSystemLanguages.h"
#include "platform/linux/ProcessEnvironment.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"

namespace veska::cli {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
/// The main loop waits this long at most; the action's own limits end it much earlier.
constexpr double kLongestRunSeconds = 24 * 3600;

/// Standard input, or nothing when it holds more than `kMaxInputBytes`.
std::optional<std::string> readInput() {
    std::string text;
    char chunk[65536];
    while (true) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(chunk, static_cast<std::size_t>(got));
        if (text.size() > kMaxInputBytes) return std::nullopt;
    }
}

struct TerminalSize {
    int columns = 80;
    int rows = 24;
};

std::optional<TerminalSize> terminalOnStdout() {
    if (::isatty(STDOUT_FILENO) == 0) return std::nullopt;
    TerminalSize size;
    winsize window{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &window) == 0 && window.ws_col > 0 && window.ws_row > 0) {
        size.columns = window.ws_col;
        size.rows = window.ws_row;
    }
    return size;
}

int fail(const std::string& message) {
    std::cerr << message << "\n";
    return kExitFailed;
}

void printResult(const std::string& result) {
    std::fwrite(result.data(), 1, result.size(), stdout);
    if (result.empty() || result.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int runCli(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = parseArguments(arguments);
    if (parsed.help) {
        std::cout << usage();
        return 0;
    }
    if (!parsed.command) {
        std::cerr << "veska-cli: " << parsed.error << "\nTry 'veska-cli --help'.\n";
        return kExitUsage;
    }
    const CliCommand& command = *parsed.command;

    platform::ProcessEnvironment env;
    const platform::PosixSystemLanguages languages(env);
    AppStrings::setLocale(std::nullopt, languages);
    const ServiceConfig services = ServiceConfig::load(env);
    AppStrings::setServiceNames(services.names);

    std::string text;
    if (command.text) {
        text = *command.text;
    } else {
        auto input = readInput();
        if (!input) return fail(AppStrings::translateMessage(TranslateError::tooLong()));
        text = std::move(*input);
    }

    platform::JsonFilePreferences prefs(AIConfig::dir(env));
    platform::CurlHttpClient http;
    rt::RunLoop loop;
    const SessionFactory sessions = Translator::sessionFactory(Translator::SessionPorts{
        .http = &http,
        .env = &env,
        .endpoints = {services.url(Service::gemini), services.url(Service::deepseek)},
    });

    const auto terminal = terminalOnStdout();
    std::optional<TerminalView> view;
    std::optional<OnProgress> onProgress;
    if (terminal && command.action == Action::translate) {
        view.emplace(stdout, terminal->columns, terminal->rows);
        onProgress = [&view](const std::string& soFar) { view->show(soFar); };
    }

    auto handle = rt::spawn(loop, perform(command, std::move(text), &prefs, sessions, std::move(onProgress)));
    loop.runUntil([&] { return handle.done(); }, kLongestRunSeconds);
    std::string result;
    try {
        result = handle.take();
    } catch (const TranslateError& error) {
        if (view) view->show("");
        return fail(AppStrings::translateMessage(error));
    } catch (...) {
        if (view) view->show("");
        return fail(AppStrings::translateMessage(std::current_exception()));
    }
    if (view) {
        view->finish(result);
        return 0;
    }
    printResult(terminal ? printable(result) : result);
    return 0;
}

}  // namespace veska::cli
