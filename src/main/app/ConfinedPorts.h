// Ports whose real adapters must stay on one thread, made safe for callers on other threads:
// the clipboard (Qt's GUI thread), accessibility (libatspi's thread), and the X11 workspace and
// key poster (one X connection each, one caller at a time).
#pragma once

#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

#include "ports/Accessibility.h"
#include "ports/KeyPoster.h"
#include "ports/Pasteboard.h"
#include "ports/Workspace.h"
#include "runtime/Executor.h"

namespace veska::app {

/// An executor and the one thread it runs on.
class ThreadHome {
public:
    /// `thread`: the id of the thread `executor` runs its callbacks on.
    ThreadHome(rt::Executor& executor, std::thread::id thread) : executor_(executor), thread_(thread) {}
    /// The home of a thread executor, asked of the executor itself (blocks until it answers).
    [[nodiscard]] static ThreadHome of(rt::Executor& executor);

    /// Runs `fn` on the home thread and gives its result: at once when the caller is that
    /// thread, otherwise through the executor, waiting for it. The home thread must never wait
    /// for the caller.
    template <class F>
    auto call(F&& fn) const -> std::invoke_result_t<F&> {
        if (std::this_thread::get_id() == thread_) return fn();
        std::packaged_task<std::invoke_result_t<F&>()> task(std::forward<F>(fn));
        auto result = task.get_future();
        executor_.post([&task] { task(); });
        return result.get();
    }

private:
    rt::Executor& executor_;
    std::thread::id thread_;
};

/// Every call of `inner` made on its home thread.
class ConfinedPasteboard final : public ports::Pasteboard {
public:
    ConfinedPasteboard(ports::Pasteboard& inner, ThreadHome home) : inner_(inner), home_(home) {}
    [[nodiscard]] std::int64_t changeCount() const override;
    [[nodiscard]] std::optional<std::string> plainText() const override;
    [[nodiscard]] std::optional<std::string> html() const override;
    [[nodiscard]] std::optional<std::string> rtf() const override;
    std::int64_t clear() override;
    bool write(const ports::PasteboardContents& contents) override;

private:
    ports::Pasteboard& inner_;
    ThreadHome home_;
};

/// Every call of `inner` made on its home thread.
class ConfinedAccessibility final : public ports::Accessibility {
public:
    ConfinedAccessibility(ports::Accessibility& inner, ThreadHome home) : inner_(inner), home_(home) {}
    bool isProcessTrusted(bool prompt) override;
    ports::AXElement systemWide() override;
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

private:
    ports::Accessibility& inner_;
    ThreadHome home_;
};

/// One caller at a time.
class LockedWorkspace final : public ports::Workspace {
public:
    explicit LockedWorkspace(ports::Workspace& inner) : inner_(inner) {}
    [[nodiscard]] std::vector<ports::RunningApp> runningApplications() const override;
    [[nodiscard]] std::optional<ports::RunningApp> frontmostApplication() const override;
    [[nodiscard]] std::optional<ports::RunningApp> application(std::int32_t pid) const override;
    bool activate(std::int32_t pid) override;
    [[nodiscard]] std::int32_t ownProcessId() const override;
    [[nodiscard]] bool fileExists(const std::string& path) const override;

private:
    ports::Workspace& inner_;
    mutable std::mutex lock_;
};

/// One caller at a time.
class LockedKeyPoster final : public ports::KeyPoster {
public:
    explicit LockedKeyPoster(ports::KeyPoster& inner) : inner_(inner) {}
    [[nodiscard]] bool canPost() const override;
    bool post(const std::vector<ports::SyntheticKey>& keys) override;
    bool postViaAutomation(const std::vector<ports::SyntheticKey>& keys) override;
    [[nodiscard]] ports::KeyFlags heldModifiers() const override;

private:
    ports::KeyPoster& inner_;
    mutable std::mutex lock_;
};

}  // namespace veska::app
