// Stored names, persistence and cycling of the writing mode.
#include "core/ai/WriteMode.h"

#include <string>

namespace veska::Translator {

std::string_view rawValue(WriteMode mode) {
    switch (mode) {
        case WriteMode::normal:
            return "normal";
        case WriteMode::prompt:
            return "prompt";
        case WriteMode::email:
            return "email";
    }
    return "normal";
}

WriteMode parseWriteMode(std::string_view raw) {
    for (WriteMode mode : kAllWriteModes) {
        if (rawValue(mode) == raw) return mode;
    }
    return WriteMode::normal;
}

WriteMode current(const ports::Preferences& prefs) {
    auto stored = prefs.string(kWriteModeKey);
    if (!stored) return WriteMode::normal;
    return parseWriteMode(*stored);
}

void setCurrent(ports::Preferences& prefs, WriteMode mode) {
    prefs.set(kWriteModeKey, std::string(rawValue(mode)));
}

WriteMode next(WriteMode mode) {
    switch (mode) {
        case WriteMode::normal:
            return WriteMode::prompt;
        case WriteMode::prompt:
            return WriteMode::email;
        case WriteMode::email:
            return WriteMode::normal;
    }
    return WriteMode::normal;
}

}  // namespace veska::Translator
