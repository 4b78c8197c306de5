// Storage of the simulated accessibility trees.
#include "platform/sim/SimElementTree.h"

#include <algorithm>
#include <vector>

#include "platform/sim/SimText.h"
#include "runtime/Check.h"
#include "text/Utf.h"

namespace veska::sim {

using ports::AXAttribute;

std::uint64_t SimElementTree::applicationElement(std::int32_t pid) {
    auto it = applications_.find(pid);
    if (it != applications_.end()) return it->second;
    VESKA_CHECK(elements_.size() < kMaxElements, "too many simulated elements");
    SimElement app;
    app.id = nextId_++;
    app.pid = pid;
    app.role = std::string(ports::roles::kApplication);
    applications_.emplace(pid, app.id);
    const std::uint64_t id = app.id;
    elements_.emplace(id, std::move(app));
    return id;
}

std::uint64_t SimElementTree::add(std::int32_t pid, std::uint64_t parent, const SimElementSpec& desc) {
    VESKA_CHECK(elements_.size() < kMaxElements, "too many simulated elements");
    const std::uint64_t parentId = parent == 0 ? applicationElement(pid) : parent;
    SimElement* parentElement = find(parentId);
    VESKA_CHECK(parentElement != nullptr && parentElement->pid == pid, "parent must be an element of the same app");
    SimElement e;
    e.id = nextId_++;
    e.pid = pid;
    e.role = desc.role;
    e.title = desc.title;
    e.hasText = desc.text.has_value();
    e.text = text::toUtf16(desc.text.value_or(""));
    e.selection = desc.selection.value_or(ports::TextRange{static_cast<std::int64_t>(e.text.size()), 0});
    if (!e.validRange(e.selection)) e.selection = {static_cast<std::int64_t>(e.text.size()), 0};
    e.editable = desc.editable.value_or(e.hasText && isTextEntryRole(desc.role));
    if (desc.settable) {
        e.settable.insert(desc.settable->begin(), desc.settable->end());
    } else if (e.editable) {
        e.settable = {AXAttribute::value, AXAttribute::selectedText, AXAttribute::selectedTextRange, AXAttribute::focused};
    }
    e.html = desc.html;
    e.rtf = desc.rtf;
    e.parent = parentId;
    parentElement->children.push_back(e.id);
    const std::uint64_t id = e.id;
    elements_.emplace(id, std::move(e));
    return id;
}

void SimElementTree::remove(std::uint64_t id) {
    SimElement* e = find(id);
    if (e == nullptr || isApplicationElement(id)) return;
    if (SimElement* parent = find(e->parent)) std::erase(parent->children, id);
    std::vector<std::uint64_t> pending{id};
    while (!pending.empty()) {
        const std::uint64_t next = pending.back();
        pending.pop_back();
        auto it = elements_.find(next);
        if (it == elements_.end()) continue;
        pending.insert(pending.end(), it->second.children.begin(), it->second.children.end());
        auto focused = focus_.find(it->second.pid);
        if (focused != focus_.end() && focused->second == next) focus_.erase(focused);
        elements_.erase(it);
    }
}

void SimElementTree::focus(std::int32_t pid, std::uint64_t id) {
    if (id == 0) {
        focus_.erase(pid);
        return;
    }
    const SimElement* e = find(id);
    VESKA_CHECK(e != nullptr && e->pid == pid, "focusing an element of another app");
    focus_[pid] = id;
}

std::uint64_t SimElementTree::focusedOf(std::int32_t pid) const {
    auto it = focus_.find(pid);
    return it == focus_.end() ? 0 : it->second;
}

SimElement* SimElementTree::find(std::uint64_t id) {
    auto it = elements_.find(id);
    return it == elements_.end() ? nullptr : &it->second;
}

const SimElement* SimElementTree::find(std::uint64_t id) const {
    auto it = elements_.find(id);
    return it == elements_.end() ? nullptr : &it->second;
}

bool SimElementTree::isApplicationElement(std::uint64_t id) const {
    const SimElement* e = find(id);
    return e != nullptr && e->parent == 0 && e->role == ports::roles::kApplication;
}

}  // namespace veska::sim
