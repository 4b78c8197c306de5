// Where the local core is and the token it wants: environment, user defaults and the env file.
#pragma once

#include <string>
#include <string_view>

#include "ports/Environment.h"
#include "ports/Preferences.h"

/// Stateless: every call reads its sources again.
namespace veska::V2Config {

inline constexpr char kDefaultBaseURL[] = "http://127.0.0.1:8797";
inline constexpr char kBaseURLVariable[] = "VESKA_VOICE_LOCAL_URL";
inline constexpr char kTokenVariable[] = "LOCAL_CORE_TOKEN";
inline constexpr char kTokenLinePrefix[] = "LOCAL_CORE_TOKEN=";

/// "VESKA_VOICE_LOCAL_URL" when set; else the user default "localCoreURL" when set; else
/// "http://127.0.0.1:8797". Returned as found (see `clientBaseURL` for the trimmed form).
[[nodiscard]] std::string baseURL(const ports::Environment& env, const ports::Preferences& prefs);

/// `baseURL` with every leading and trailing "/" removed: what request paths are appended to.
[[nodiscard]] std::string clientBaseURL(const ports::Environment& env, const ports::Preferences& prefs);

/// `url` without any leading or trailing "/".
[[nodiscard]] std::string trimSlashes(std::string_view url);

/// "LOCAL_CORE_TOKEN" when set and not empty; else the token line of the env file; else empty.
[[nodiscard]] std::string token(const ports::Environment& env);

/// The home directory followed by "/.config/veska-voice/v2.env".
[[nodiscard]] std::string envFilePath(const ports::Environment& env);

/// The token in the text of an env file: lines split on "\n", empty ones skipped, each trimmed
/// of spaces and tabs; the first line beginning "LOCAL_CORE_TOKEN=" gives the rest of the line
/// without its leading and trailing double and single quotes. Empty when there is no such line.
[[nodiscard]] std::string tokenFromEnvText(std::string_view text);

}  // namespace veska::V2Config
