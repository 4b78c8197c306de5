// What the status popover shows, as the controller keeps it; the popover's view draws it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/app/AppCollaborators.h"

namespace veska {

/// The popover's model: plain fields written by the controller, with `onChange` called after
/// every write that changed something. Main executor; lives as long as the controller.
class StatusPopoverModel final : public PopoverModel {
public:
    std::function<void()> onChange;

    bool micOK = false;
    bool axOK = false;
    bool imOK = false;
    int missingPerms = 0;
    bool sttReady = false;
    std::optional<std::string> email;
    std::string sttProvider;
    bool readReady = false;
    std::string voiceName;
    std::optional<TranslateLang> output;
    std::string writeMode = "normal";
    bool canStop = false;
    bool launchAtLogin = false;

    void setOutput(const std::optional<TranslateLang>& lang) override { update(output, lang); }
    void setWriteMode(const std::string& mode) override { update(writeMode, mode); }
    void setCanStop(bool value) override { update(canStop, value); }
    void setLaunchAtLogin(bool on) override { update(launchAtLogin, on); }
    void setPermissions(bool mic, bool ax, bool im, int missing) override;
    void setSpeech(bool ready, std::optional<std::string> account, const std::string& provider) override;
    void setReading(bool ready, const std::string& voice) override;

private:
    template <class T, class U>
    void update(T& field, const U& value) {
        if (field == value) return;
        field = value;
        if (onChange) onChange();
    }
    /// Runs `write`, then `onChange` once when a field changed.
    void batch(const std::function<bool()>& write);
};

}  // namespace veska
