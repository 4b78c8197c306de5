#include "core/app/StatusPopoverModel.h"

namespace veska {

namespace {

template <class T, class U>
bool assign(T& field, const U& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

void StatusPopoverModel::batch(const std::function<bool()>& write) {
    if (write() && onChange) onChange();
}

void StatusPopoverModel::setPermissions(bool mic, bool ax, bool im, int missing) {
    batch([&] {
        const bool changed[] = {assign(micOK, mic), assign(axOK, ax), assign(imOK, im), assign(missingPerms, missing)};
        return changed[0] || changed[1] || changed[2] || changed[3];
    });
}

void StatusPopoverModel::setSpeech(bool ready, std::optional<std::string> account, const std::string& provider) {
    batch([&] {
        const bool changed[] = {assign(sttReady, ready), assign(email, account), assign(sttProvider, provider)};
        return changed[0] || changed[1] || changed[2];
    });
}

void StatusPopoverModel::setReading(bool ready, const std::string& voice) {
    batch([&] {
        const bool changed[] = {assign(readReady, ready), assign(voiceName, voice)};
        return changed[0] || changed[1];
    });
}

}  // namespace veska
