// Performing the look-up, insertion and live-typing steps with Veska's own components.
#include "main/scenario/DesktopActions.h"

#include <exception>

namespace veska::scenario {

namespace {

using Fields = TraceWriter::Fields;

DesktopServices servicesOf(ScenarioWorld& world) {
    auto& desktop = world.desktop();
    auto& loop = world.loop();
    return DesktopServices{loop.main(),
                           loop.lane("veska.selection"),
                           loop.lane("veska.live-typer"),
                           desktop.keyboard(),
                           desktop.keyPoster(),
                           desktop.pasteboard(),
                           desktop.accessibility(),
                           desktop.workspace(),
                           desktop.permissions()};
}

Fields optionalText(const std::optional<std::string>& text) {
    return text ? Fields(*text) : Fields(nullptr);
}

}  // namespace

void ResultLines::add(double t, std::string event, Fields fields, bool failure) {
    pending_.push_back({t, std::move(event), std::move(fields), failure});
}

void ResultLines::sync(TraceWriter& writer, double /*now*/) {
    for (Line& line : pending_) writer.emit(line.t, line.event, std::move(line.fields), line.failure);
    pending_.clear();
}

DesktopActions::DesktopActions(ScenarioWorld& world, Timeline& timeline)
    : world_(world), timeline_(timeline), selection_(servicesOf(world)) {
    auto lines = std::make_unique<ResultLines>();
    lines_ = lines.get();
    timeline_.add(std::move(lines));
}

DesktopActions::~DesktopActions() = default;

std::optional<ports::RunningApp> DesktopActions::application(const std::optional<AppRef>& app) const {
    auto& workspace = world_.desktop().workspace();
    if (!app) return workspace.frontmostApplication();
    const std::int32_t pid = world_.pidOf(*app);
    if (pid == 0) return std::nullopt;
    return workspace.application(pid);
}

void DesktopActions::start(std::size_t step, std::string operation, rt::Task<void> work) {
    running_[step] = std::move(operation);
    scope_.start(world_.loop().main(), std::move(work));
}

void DesktopActions::finished(std::size_t step, std::string event, Fields fields) {
    running_.erase(step);
    Fields out{{"step", step}};
    for (auto& [key, value] : fields.items()) out[key] = std::move(value);
    lines_->add(world_.loop().now(), std::move(event), std::move(out));
}

void DesktopActions::failed(std::size_t step, const std::string& reason) {
    running_.erase(step);
    ++failures_;
    lines_->add(world_.loop().now(), "stepFailed", Fields{{"step", step}, {"reason", reason}}, true);
}

std::optional<std::string> DesktopActions::lookup(std::size_t step, const Lookup& lookup) {
    timeline_.emit("lookup", lookup.axOnly ? Fields{{"axOnly", true}} : Fields::object());
    if (lookup.axOnly) {
        start(step, "lookup", axOnlyTask(step));
    } else {
        start(step, "lookup", lookupTask(step));
    }
    return std::nullopt;
}

rt::Task<void> DesktopActions::lookupTask(std::size_t step) {
    try {
        const SelectionLookup found = co_await selection_.lookupSelectionAsync();
        FoundSelection last;
        if (found.hit) last = {found.hit->text, std::string(rawValue(found.hit->source))};
        lastLookup_ = last;
        finished(step, "selection",
                 Fields{{"text", optionalText(last.text)},
                        {"source", found.hit ? Fields(last.source) : Fields(nullptr)},
                        {"oversized", found.oversized},
                        {"blind", found.blind}});
    } catch (const std::exception&) {
        failed(step, "the look-up failed");
    }
}

rt::Task<void> DesktopActions::axOnlyTask(std::size_t step) {
    try {
        const AXOnlySelection found = co_await selection_.selectedTextAXOnlyAsync();
        lastLookup_ =
            FoundSelection{found.text, found.text ? std::string(rawValue(TextSource::selection)) : ""};
        finished(step, "selection",
                 Fields{{"text", optionalText(found.text)},
                        {"source", found.text ? Fields(rawValue(TextSource::selection)) : Fields(nullptr)},
                        {"oversized", found.oversized},
                        {"blind", found.blind},
                        {"axOnly", true},
                        {"cut", found.cut}});
    } catch (const std::exception&) {
        failed(step, "the look-up failed");
    }
}

std::optional<std::string> DesktopActions::insert(std::size_t step, const Insert& insert) {
    std::optional<ports::RunningApp> target;
    if (insert.app) {
        target = application(insert.app);
        if (!target) return "the application is not running";
    }
    Fields fields{{"text", insert.text}};
    if (target) fields["app"] = world_.appLabel(target->pid);
    timeline_.emit("insert", std::move(fields));
    start(step, "insert", insertTask(step, insert.text, std::move(target)));
    return std::nullopt;
}

rt::Task<void> DesktopActions::insertTask(std::size_t step, std::string text,
                                          std::optional<ports::RunningApp> app) {
    try {
        const bool ok = co_await selection_.insertText(std::move(text), std::move(app));
        finished(step, "inserted", Fields{{"ok", ok}});
    } catch (const std::exception&) {
        failed(step, "the insertion failed");
    }
}

std::optional<std::string> DesktopActions::liveStart(const LiveStart& start) {
    std::optional<ports::RunningApp> target = application(start.app);
    if (start.app && !target) return "the application is not running";
    timeline_.emit("liveStart", Fields{{"app", target ? world_.appLabel(target->pid) : Fields(nullptr)}});
    typers_.push_back(std::make_unique<LiveTyper>(selection_, std::move(target)));
    return std::nullopt;
}

std::optional<std::string> DesktopActions::liveUpdate(const LiveUpdate& update) {
    if (typers_.empty()) return "no live dictation is going on";
    timeline_.emit("liveUpdate", Fields{{"text", update.text}});
    typers_.back()->update(update.text);
    return std::nullopt;
}

std::optional<std::string> DesktopActions::liveSettle(std::size_t step, const LiveSettle& settle) {
    if (typers_.empty()) return "no live dictation is going on";
    timeline_.emit("liveSettle", Fields{{"text", settle.text}});
    start(step, "liveSettle", settleTask(step, typers_.back().get(), settle.text));
    return std::nullopt;
}

rt::Task<void> DesktopActions::settleTask(std::size_t step, LiveTyper* typer, std::string text) {
    try {
        const bool ok = co_await typer->settle(std::move(text));
        finished(step, "settled", Fields{{"ok", ok}});
    } catch (const std::exception&) {
        failed(step, "settling the dictation failed");
    }
}

std::optional<std::string> DesktopActions::liveRetract(std::size_t step) {
    if (typers_.empty()) return "no live dictation is going on";
    timeline_.emit("liveRetract", Fields::object());
    start(step, "liveRetract", retractTask(step, typers_.back().get()));
    return std::nullopt;
}

rt::Task<void> DesktopActions::retractTask(std::size_t step, LiveTyper* typer) {
    try {
        co_await typer->retract();
        finished(step, "retracted", Fields::object());
    } catch (const std::exception&) {
        failed(step, "retracting the dictation failed");
    }
}

std::size_t DesktopActions::reportUnfinished() {
    timeline_.sync();
    const std::size_t count = running_.size();
    for (const auto& [step, operation] : running_) {
        timeline_.emit(
            "stepFailed",
            Fields{{"step", step}, {"reason", operation + " was still running when the scenario ended"}},
            true);
    }
    return count;
}

}  // namespace veska::scenario
