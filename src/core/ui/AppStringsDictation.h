// The messages of dictation and of the settings it changes, in both languages (a few exist in
// Vietnamese only).
#pragma once

#include <string>
#include <string_view>

namespace veska::AppStrings {

[[nodiscard]] std::string micPermission();
[[nodiscard]] std::string micError();
/// Vietnamese only.
[[nodiscard]] std::string missingPermissions();
[[nodiscard]] std::string emptyTranscript();
/// Vietnamese only.
[[nodiscard]] std::string enableInputMonitoring();
[[nodiscard]] std::string microphoneUnavailable();
/// `service`: the Claude web service's display name.
[[nodiscard]] std::string serviceDisconnected(std::string_view service);
[[nodiscard]] std::string signInTo(std::string_view service);
[[nodiscard]] std::string copiedPasteHint();
[[nodiscard]] std::string writtenLongContext();
[[nodiscard]] std::string composeKeptAsSpoken();
[[nodiscard]] std::string fixKeptAsSpoken();
[[nodiscard]] std::string translateKeptAsSpoken();
/// "Output: " and the language's own name.
[[nodiscard]] std::string outputNotice(std::string_view nativeName);
/// "Output: As spoken".
[[nodiscard]] std::string outputAsSpokenNotice();
/// "Mode: " and the mode's name.
[[nodiscard]] std::string modeNotice(std::string_view modeName);
/// "Login item: " and the failure's description.
[[nodiscard]] std::string loginItemFailed(std::string_view description);

}  // namespace veska::AppStrings
