#include "main/appsim/DictationWorld.h"

#include "core/ai/WriteMode.h"
#include "core/ui/HUDPresentation.h"

namespace veska::appsim {

DictationWorld::DictationWorld(rt::VirtualLoop& theLoop, sim::SimDesktop& theDesktop)
    : loop(theLoop),
      desktop(theDesktop),
      log(theLoop.main()),
      mic(theDesktop.permissions()),
      claude(theLoop.main()),
      cookies(theLoop.lane("web")),
      http(theLoop.lane("network")),
      chatgpt(theLoop.main(), jar, http, ChatGPTSessionConfig{std::string(kChatGPTOrigin)}),
      menu(statusItem, updater),
      panel(theLoop.main()),
      services_{theLoop.main(),
                theLoop.lane("veska.selection"),
                theLoop.lane("veska.live-typer"),
                theDesktop.keyboard(),
                theDesktop.keyPoster(),
                theDesktop.pasteboard(),
                theDesktop.accessibility(),
                theDesktop.workspace(),
                theDesktop.permissions()},
      selection_(services_),
      hud_(theLoop.main(), panel) {
    http.attach(chatgptServer);
    AppEnvironment env{theLoop.main(),
                       prefs,
                       theDesktop.permissions(),
                       theDesktop.workspace(),
                       theDesktop.pasteboard(),
                       loginItem,
                       selection_,
                       hud_,
                       core,
                       mic,
                       claude,
                       ai,
                       menu,
                       popover,
                       permissionsWindow,
                       dashboard,
                       card,
                       languageMenu,
                       actions,
                       updater,
                       grok,
                       chatgpt,
                       chatgptLogin,
                       claudeLogin,
                       grokLogin,
                       systemLanguages,
                       "2.4.0"};
    delegate_ = std::make_unique<AppDelegate>(env, shell, services_);
    hud_.model().onChange = [this] { observeHUD(); };
    popover.onChange = [this] { observePopover(); };
    ai.log = &log;
    core.log = &log;
}

DictationWorld::~DictationWorld() {
    hud_.model().onChange = nullptr;
    popover.onChange = nullptr;
    delegate_.reset();
}

void DictationWorld::launch() { delegate_->applicationDidFinishLaunching(); }

void DictationWorld::observePopover() {
    if (popover.readReady == shownReadReady_) return;
    shownReadReady_ = popover.readReady;
    log.add("grokSignIn", {{"signedIn", popover.readReady}});
}

void DictationWorld::observeHUD() {
    const HUDModel& model = hud_.model();
    if (!(model.state == shownState_)) {
        shownState_ = model.state;
        nlohmann::ordered_json fields{{"state", std::string(name(model.state.kind()))}};
        const auto kind = model.state.kind();
        if (kind != HUDState::Kind::idle && kind != HUDState::Kind::listening && kind != HUDState::Kind::speaking) {
            fields["text"] = HUDPresentation::pillText(model, Translator::current(prefs));
            // The pill shows the start of a long message; the trace keeps the whole of it.
            if (!model.state.message().empty() && fields["text"] != model.state.message()) {
                fields["message"] = model.state.message();
            }
        }
        if (kind == HUDState::Kind::listening && model.outputChip) fields["chip"] = *model.outputChip;
        log.add("hud", std::move(fields));
    }
    if (model.state.kind() == HUDState::Kind::listening && model.text != shownPreview_) {
        shownPreview_ = model.text;
        log.add("hudPreview", {{"text", model.text}});
    }
    if (model.state.kind() != HUDState::Kind::listening) shownPreview_.clear();
}

}  // namespace veska::appsim
