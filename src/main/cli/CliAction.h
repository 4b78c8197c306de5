// What veska-cli does with a text: translate, fix or compose through the app's AI sessions.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/ai/TextSession.h"
#include "main/cli/CliOptions.h"
#include "ports/Preferences.h"
#include "runtime/Task.h"

namespace veska::cli {

/// Receives the whole translation so far while it streams in.
using OnProgress = std::function<void(const std::string& soFar)>;

/// Runs `command` on `text` exactly as the app runs the same action: translation in the
/// reading style to `--to` or the stored default target (Vietnamese and English swapped when
/// that is "swap"), fix of a selection, compose with the context as background. Missing
/// `--mode` reads the stored writing mode from `prefs`. Throws `TranslateError`.
rt::Task<std::string> perform(CliCommand command, std::string text, const ports::Preferences* prefs,
                              SessionFactory sessions, std::optional<OnProgress> onProgress);

}  // namespace veska::cli
