// The accessibility port over AT-SPI 2 (libatspi): other applications' elements, their text
// and selection, and whether the desktop's accessibility is on.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

#include <atspi/atspi.h>

#include "platform/linux/atspi/A11yStatus.h"
#include "platform/linux/atspi/AtspiCalls.h"
#include "platform/linux/atspi/ElementTable.h"
#include "platform/linux/atspi/TextOffsets.h"
#include "ports/Accessibility.h"

namespace veska::platform {

/// Reads and writes other applications' interface elements through the AT-SPI registry.
///
/// Trust is the session's accessibility switch (`org.a11y.Status.IsEnabled`): while it is off
/// every call fails with `apiDisabled`; it is read again at least every `kTrustRecheckSeconds`
/// and at every `isProcessTrusted`, and a prompt switches it on for the session. libatspi is
/// set up at the first call made with trust (it needs the accessibility bus).
///
/// Elements are handles into a table of AT-SPI objects (at most `kMaxElements`, the least
/// recently used dropped first: a dropped or gone element fails with `invalidElement`). The
/// focused element is found by searching the active window for the FOCUSED state. Offsets are
/// converted between the port's UTF-16 units and AT-SPI's characters. Each call waits at most
/// the messaging time-out of its element (of the whole desktop by default), and a search for
/// the focus at most once that time in total.
///
/// Threads: libatspi is not thread-safe and keeps process-wide state, so every instance must
/// be used from one and the same thread (the app's look-ups executor, which is where blocking
/// accessibility calls belong anyway). The accessibility bus is served on a private GLib main
/// context, pumped by that thread at each call; nothing else may iterate it.
class AtspiAccessibility final : public ports::Accessibility {
public:
    static constexpr std::size_t kMaxElements = 4096;
    static constexpr double kDefaultTimeoutSeconds = 1.0;
    static constexpr double kTrustRecheckSeconds = 0.5;
    /// Elements looked at when searching a window for the focused one.
    static constexpr int kMaxFocusSearchNodes = 1500;
    /// Children listed for one element.
    static constexpr int kMaxChildren = 512;
    /// Lines walked by the line queries.
    static constexpr int kMaxLines = 20000;
    /// Longest text read in one piece, in characters.
    static constexpr std::int64_t kMaxTextCharacters = std::int64_t{1} << 24;
    static constexpr std::uint64_t kSystemWideId = 1;
    /// Handles of applications not registered yet carry their process id under this bit.
    static constexpr std::uint64_t kPendingApplicationBit = std::uint64_t{1} << 63;

    explicit AtspiAccessibility(std::size_t maxElements = kMaxElements);
    ~AtspiAccessibility() override;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isProcessTrusted(bool prompt) override;
    ports::AXElement systemWide() override { return {kSystemWideId}; }
    ports::AXElement application(std::int32_t pid) override;
    ports::AXResult<std::int32_t> processId(ports::AXElement element) override;
    ports::AXError setMessagingTimeout(ports::AXElement element, double seconds) override;
    ports::AXResult<ports::AXValue> attribute(ports::AXElement element,
                                              ports::AXAttribute attribute) override;
    ports::AXResult<ports::AXValue> parameterizedAttribute(ports::AXElement element,
                                                           ports::AXParameterizedAttribute attribute,
                                                           const ports::AXValue& parameter) override;
    ports::AXResult<bool> isAttributeSettable(ports::AXElement element,
                                              ports::AXAttribute attribute) override;
    ports::AXError setAttribute(ports::AXElement element, ports::AXAttribute attribute,
                                const ports::AXValue& value) override;

    /// Elements held in the table now.
    [[nodiscard]] std::size_t heldElements() const { return elements_.size(); }

private:
    using Clock = std::chrono::steady_clock;
    template <class T>
    using Ref = atspi_calls::Ref<T>;

    /// The error every call fails with now (no trust, no bus), if any; else pumps the bus.
    std::optional<ports::AXError> enter();
    bool ready();
    /// The object of a handle (borrowed), and the time-out of its calls set.
    tl::expected<AtspiAccessible*, ports::AXError> reach(ports::AXElement element);
    /// The time-out of the calls to come, and the bound a search's deadline puts on it.
    void useTimeout(double seconds);
    void limitTo(Clock::time_point deadline);
    [[nodiscard]] double timeoutOf(ports::AXElement element) const;
    ports::AXElement handle(AtspiAccessible* object);
    ports::AXError probe(AtspiAccessible* object);

    // Elements and focus (AtspiAccessibility.cpp, AtspiFocus.cpp).
    Ref<AtspiAccessible> findApplication(std::int32_t pid);
    ports::AXResult<ports::AXValue> readSystemWide(ports::AXAttribute attribute);
    ports::AXResult<ports::AXValue> readElement(AtspiAccessible* object, ports::AXAttribute attribute);
    ports::AXResult<ports::AXValue> readChildren(AtspiAccessible* object);
    ports::AXResult<ports::AXValue> readParent(AtspiAccessible* object);
    ports::AXResult<ports::AXValue> readRole(AtspiAccessible* object);
    ports::AXResult<std::uint64_t> states(AtspiAccessible* object);
    Ref<AtspiAccessible> activeWindow(AtspiAccessible* application, Clock::time_point deadline);
    Ref<AtspiAccessible> focusedBelow(AtspiAccessible* root, Clock::time_point deadline);
    ports::AXResult<ports::AXValue> focusOf(AtspiAccessible* application, bool wantApplication);

    // Text (AtspiTextAccess.cpp).
    /// The text up to an application's offset, with that application's way of counting.
    ports::AXResult<TextOffsets> textPrefix(AtspiAccessible* object, AtspiText* text, std::int64_t offset);
    ports::AXResult<ports::AXValue> readText(AtspiAccessible* object, ports::AXAttribute attribute);
    ports::AXResult<ports::AXValue> visibleRange(AtspiAccessible* object, AtspiText* text,
                                                 std::int64_t count);
    ports::AXResult<ports::AXValue> stringForRange(AtspiAccessible* object, AtspiText* text,
                                                   const ports::AXValue& parameter);
    ports::AXResult<ports::AXValue> lineQuery(AtspiAccessible* object, AtspiText* text,
                                              ports::AXParameterizedAttribute attribute,
                                              const ports::AXValue& parameter);
    ports::AXError writeSelectedText(AtspiAccessible* object, const ports::AXValue& value);
    ports::AXError writeSelectedRange(AtspiAccessible* object, const ports::AXValue& value);
    ports::AXError writeValue(AtspiAccessible* object, const ports::AXValue& value);
    ports::AXError writeFocused(AtspiAccessible* object, const ports::AXValue& value);

    A11yStatus status_;
    bool trusted_ = false;
    std::optional<Clock::time_point> trustReadAt_;
    bool initialised_ = false;
    bool unavailable_ = false;
    Ref<AtspiAccessible> desktop_;
    ElementTable elements_;
    std::map<std::uint64_t, double> timeouts_;
    double defaultTimeout_ = kDefaultTimeoutSeconds;
    double callTimeout_ = kDefaultTimeoutSeconds;
};

}  // namespace veska::platform
