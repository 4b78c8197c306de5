#include "main/app/ConfinedPorts.h"

namespace veska::app {

ThreadHome ThreadHome::of(rt::Executor& executor) {
    std::promise<std::thread::id> id;
    auto answer = id.get_future();
    executor.post([&id] { id.set_value(std::this_thread::get_id()); });
    return {executor, answer.get()};
}

std::int64_t ConfinedPasteboard::changeCount() const {
    return home_.call([this] { return inner_.changeCount(); });
}
std::optional<std::string> ConfinedPasteboard::plainText() const {
    return home_.call([this] { return inner_.plainText(); });
}
std::optional<std::string> ConfinedPasteboard::html() const {
    return home_.call([this] { return inner_.html(); });
}
std::optional<std::string> ConfinedPasteboard::rtf() const {
    return home_.call([this] { return inner_.rtf(); });
}
std::int64_t ConfinedPasteboard::clear() {
    return home_.call([this] { return inner_.clear(); });
}
bool ConfinedPasteboard::write(const ports::PasteboardContents& contents) {
    return home_.call([this, &contents] { return inner_.write(contents); });
}

bool ConfinedAccessibility::isProcessTrusted(bool prompt) {
    return home_.call([this, prompt] { return inner_.isProcessTrusted(prompt); });
}
ports::AXElement ConfinedAccessibility::systemWide() {
    return home_.call([this] { return inner_.systemWide(); });
}
ports::AXElement ConfinedAccessibility::application(std::int32_t pid) {
    return home_.call([this, pid] { return inner_.application(pid); });
}
ports::AXResult<std::int32_t> ConfinedAccessibility::processId(ports::AXElement element) {
    return home_.call([this, element] { return inner_.processId(element); });
}
ports::AXError ConfinedAccessibility::setMessagingTimeout(ports::AXElement element, double seconds) {
    return home_.call([this, element, seconds] { return inner_.setMessagingTimeout(element, seconds); });
}
ports::AXResult<ports::AXValue> ConfinedAccessibility::attribute(ports::AXElement element,
                                                                 ports::AXAttribute attribute) {
    return home_.call([this, element, attribute] { return inner_.attribute(element, attribute); });
}
ports::AXResult<ports::AXValue> ConfinedAccessibility::parameterizedAttribute(
    ports::AXElement element, ports::AXParameterizedAttribute attribute, const ports::AXValue& parameter) {
    return home_.call([this, element, attribute, &parameter] {
        return inner_.parameterizedAttribute(element, attribute, parameter);
    });
}
ports::AXResult<bool> ConfinedAccessibility::isAttributeSettable(ports::AXElement element,
                                                                 ports::AXAttribute attribute) {
    return home_.call([this, element, attribute] { return inner_.isAttributeSettable(element, attribute); });
}
ports::AXError ConfinedAccessibility::setAttribute(ports::AXElement element, ports::AXAttribute attribute,
                                                   const ports::AXValue& value) {
    return home_.call(
        [this, element, attribute, &value] { return inner_.setAttribute(element, attribute, value); });
}

std::vector<ports::RunningApp> LockedWorkspace::runningApplications() const {
    const std::lock_guard guard(lock_);
    return inner_.runningApplications();
}
std::optional<ports::RunningApp> LockedWorkspace::frontmostApplication() const {
    const std::lock_guard guard(lock_);
    return inner_.frontmostApplication();
}
std::optional<ports::RunningApp> LockedWorkspace::application(std::int32_t pid) const {
    const std::lock_guard guard(lock_);
    return inner_.application(pid);
}
bool LockedWorkspace::activate(std::int32_t pid) {
    const std::lock_guard guard(lock_);
    return inner_.activate(pid);
}
std::int32_t LockedWorkspace::ownProcessId() const {
    const std::lock_guard guard(lock_);
    return inner_.ownProcessId();
}
bool LockedWorkspace::fileExists(const std::string& path) const {
    const std::lock_guard guard(lock_);
    return inner_.fileExists(path);
}

bool LockedKeyPoster::canPost() const {
    const std::lock_guard guard(lock_);
    return inner_.canPost();
}
bool LockedKeyPoster::post(const std::vector<ports::SyntheticKey>& keys) {
    const std::lock_guard guard(lock_);
    return inner_.post(keys);
}
bool LockedKeyPoster::postViaAutomation(const std::vector<ports::SyntheticKey>& keys) {
    const std::lock_guard guard(lock_);
    return inner_.postViaAutomation(keys);
}
ports::KeyFlags LockedKeyPoster::heldModifiers() const {
    const std::lock_guard guard(lock_);
    return inner_.heldModifiers();
}

}  // namespace veska::app
