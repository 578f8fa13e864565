#include "platform/fcitx5/addon.h"

#include <fcitx/action.h>
#include <fcitx/inputcontextmanager.h>
#include <fcitx/menu.h>
#include <fcitx/statusarea.h>
#include <fcitx/userinterface.h>
#include <fcitx/userinterfacemanager.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fcitx5/keys.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5 {

namespace {

// What the status-area actions are named after: the command an item carries out.
constexpr std::array<std::pair<app::MenuCommand, std::string_view>, 7> kCommandNames{{
    {app::MenuCommand::toggleVietnamese, "toggle"},
    {app::MenuCommand::selectMethod, "method"},
    {app::MenuCommand::showPreferences, "preferences"},
    {app::MenuCommand::openConfigFile, "open-config-file"},
    {app::MenuCommand::reloadConfig, "reload-config"},
    {app::MenuCommand::openInputSources, "fcitx5-settings"},
    {app::MenuCommand::transformClipboard, "clipboard"},
}};

std::string_view commandName(app::MenuCommand command) {
  const auto* found =
      std::ranges::find(kCommandNames, command, &std::pair<app::MenuCommand, std::string_view>::first);
  return found != kCommandNames.end() ? found->second : std::string_view();
}

// One item of the input menu in the status area, the same action for every input context, as
// the default menu has it. It asks the context's controller what the item says and whether it is
// checked whenever it is shown, and carries out the item's command on that controller when it is
// activated. A sub-menu's action is named after the command of the sub-menu's items.
class MenuAction final : public fcitx::Action {
 public:
  MenuAction(QuorvixEngine& engine, const app::MenuItem& item)
      : engine_(engine),
        opensSubmenu_(!item.submenu.empty()),
        command_(opensSubmenu_ ? item.submenu.front().action : item.action),
        item_(item) {
    item_.submenu.clear();
    // Only a method item shows whether it is the one chosen.
    setCheckable(command_ == app::MenuCommand::selectMethod && !opensSubmenu_);
  }

  // "quorvix-", the command, then which method or conversion: "quorvix-toggle",
  // "quorvix-method", "quorvix-method-telex", "quorvix-clipboard-decode-viqr".
  std::string actionName() const {
    auto name = std::string(app::ConfigFile::bundleID) + "-" + std::string(commandName(command_));
    if (const auto* method = std::get_if<std::string>(&item_.representedObject)) name += "-" + *method;
    if (const auto conversion = app::clipboardConversion(item_.representedObject)) {
      name += "-" + conversion->op;
      if (!conversion->charset.empty()) name += "-" + conversion->charset;
    }
    return name;
  }

  std::string shortText(fcitx::InputContext* context) const override {
    if (command_ == app::MenuCommand::toggleVietnamese) {
      return app::toggleTitle(engine_.menuState(context).vietnameseOn);
    }
    if (command_ == app::MenuCommand::selectMethod && opensSubmenu_) {
      return app::methodMenuTitle(engine_.menuState(context).method);
    }
    return item_.title;
  }
  std::string icon(fcitx::InputContext*) const override { return {}; }
  bool isChecked(fcitx::InputContext* context) const override {
    const auto* method = std::get_if<std::string>(&item_.representedObject);
    return isCheckable() && method && *method == engine_.menuState(context).method;
  }
  void activate(fcitx::InputContext* context) override {
    if (!opensSubmenu_) engine_.perform(context, item_);
  }

  fcitx::Menu submenu;
  std::vector<std::unique_ptr<fcitx::Action>> children;

 private:
  QuorvixEngine& engine_;
  bool opensSubmenu_;
  app::MenuCommand command_;
  // The item's own words, command and argument, without its sub-menu.
  app::MenuItem item_;
};

}  // namespace

// The status area's actions, built once from the menu's items: the menu has the same items for
// every context and session, only their words and check marks differ.
class StatusMenu {
 public:
  StatusMenu(QuorvixEngine& engine, fcitx::UserInterfaceManager& ui, const app::Menu& menu) {
    for (const auto& item : menu.items) top_.push_back(build(engine, ui, item));
  }

  // Fcitx5 empties the input method's part of a context's status area at every activation.
  void addTo(fcitx::InputContext& context) const {
    for (const auto& action : top_)
      context.statusArea().addAction(fcitx::StatusGroup::InputMethod, action.get());
  }

 private:
  static std::unique_ptr<fcitx::Action> build(QuorvixEngine& engine, fcitx::UserInterfaceManager& ui,
                                              const app::MenuItem& item) {
    if (item.separator) {
      auto separator = std::make_unique<fcitx::SimpleAction>();
      separator->setSeparator(true);
      ui.registerAction(separator.get());
      return separator;
    }
    auto action = std::make_unique<MenuAction>(engine, item);
    ui.registerAction(action->actionName(), action.get());
    for (const auto& inside : item.submenu) {
      action->children.push_back(build(engine, ui, inside));
      action->submenu.addAction(action->children.back().get());
    }
    if (!item.submenu.empty()) action->setMenu(&action->submenu);
    return action;
  }

  std::vector<std::unique_ptr<fcitx::Action>> top_;
};

// Everything Quorvix keeps for one input context.
struct InputContextState final : public fcitx::InputContextProperty {
  InputContextState(fcitx::InputContext& context, const AddonServices& services)
      : client(std::make_shared<FcitxTextInput>(context)),
        workspace(context, services.startProcess, services.beep),
        clipboard(services.startProcess) {}

  std::shared_ptr<FcitxTextInput> client;
  FcitxWorkspace workspace;
  ClipboardProcesses clipboard;
  std::unique_ptr<app::QuorvixInputController> controller;
  // What the status area last showed of the controller, to tell when it needs showing anew.
  std::optional<app::MenuState> shownState;
};

QuorvixEngine::QuorvixEngine(fcitx::Instance& instance, AddonServices services)
    : instance_(instance),
      services_(completeServices(std::move(services), instance,
                                 [this](fcitx::InputContext& context) { ringXBell(xcb(), context); })),
      reports_(instance),
      configuration_(
          *services_.files, *services_.timers, notifications_, [this] { renderFocusedMenus(); }, &reports_),
      statusMenu_(std::make_unique<StatusMenu>(*this, instance.userInterfaceManager(),
                                               app::inputMenu(app::MenuState{}))),
      stateFactory_(
          [this](fcitx::InputContext& context) { return new InputContextState(context, services_); }) {
  instance_.inputContextManager().registerProperty("quorvixState", &stateFactory_);
  surroundingTextWatcher_ = instance_.watchEvent(
      fcitx::EventType::InputContextSurroundingTextUpdated, fcitx::EventWatcherPhase::Default,
      [this](fcitx::Event& event) {
        textInput(*static_cast<fcitx::InputContextEvent&>(event).inputContext()).surroundingTextUpdated();
      });
}

QuorvixEngine::~QuorvixEngine() = default;

InputContextState& QuorvixEngine::state(fcitx::InputContext& context) {
  return *context.propertyFor(&stateFactory_);
}

app::QuorvixInputController& QuorvixEngine::controllerFor(InputContextState& state) {
  if (!state.controller) {
    state.controller = std::make_unique<app::QuorvixInputController>(
        app::ControllerServices{*services_.files, state.workspace, state.clipboard, configuration_,
                                &reports_},
        state.client);
  }
  return *state.controller;
}

app::QuorvixInputController* QuorvixEngine::controller(fcitx::InputContext& context) {
  return state(context).controller.get();
}

FcitxTextInput& QuorvixEngine::textInput(fcitx::InputContext& context) { return *state(context).client; }

void QuorvixEngine::keyEvent(const fcitx::InputMethodEntry&, fcitx::KeyEvent& event) {
  // A release is no key-down event: the controller would let it through untouched.
  if (event.isRelease()) return;
  auto& context = *event.inputContext();
  auto& state = this->state(context);
  auto& controller = controllerFor(state);
  const auto typed = keyAsTyped(xcb(), context, event.rawKey());
  const auto key = translateKey(typed, false);
  const auto enabled = [&] { return !controller.engine() || controller.engine()->isEnabled(); };
  const bool wasEnabled = key.keyDown && enabled();
  const auto* session = controller.engine();
  if (controller.handle(key, state.client) || (key.keyDown && state.client->passKey(typed))) {
    event.filterAndAccept();
  }
  // The toggle key changes what the menu's first item says, and a session made anew at the end
  // of a word may have another input method.
  if (key.keyDown && (enabled() != wasEnabled || controller.engine() != session)) {
    renderMenu(context, state, false);
  }
}

void QuorvixEngine::activate(const fcitx::InputMethodEntry&, fcitx::InputContextEvent& event) {
  auto& context = *event.inputContext();
  auto& state = this->state(context);
  state.client->resync();
  controllerFor(state).activateServer(state.client);
  renderMenu(context, state, true);
}

void QuorvixEngine::deactivate(const fcitx::InputMethodEntry&, fcitx::InputContextEvent& event) {
  auto& state = this->state(*event.inputContext());
  if (!state.controller) return;
  // Fcitx5 reports the focus out after its own commit of the client pre-edit.
  if (event.type() == fcitx::EventType::InputContextFocusOut) state.client->markedTextCommittedOnFocusOut();
  state.controller->deactivateServer(state.client);
  state.client->clearMarkedText();
}

void QuorvixEngine::reset(const fcitx::InputMethodEntry&, fcitx::InputContextEvent& event) {
  auto& context = *event.inputContext();
  auto& state = this->state(context);
  // The application resets its input method when its caret moves by other means than typing.
  state.client->resync();
  if (!state.controller) return;
  const auto* session = state.controller->engine();
  state.controller->commitComposition(state.client);
  // A reading of the configuration that waited for the word to end makes its session now, which
  // may say something else in the menu.
  if (state.controller->engine() != session) renderMenu(context, state, false);
}

void QuorvixEngine::reloadConfig() {
  // The focused field reloads as its menu's reload item would: its word in progress is written out
  // and its session made anew. Every other field takes the new reading in as any change of the
  // file; so do all of them when Quorvix serves no focused field.
  auto* focused = instance_.inputContextManager().lastFocusedInputContext();
  if (focused && focused->hasFocus() && instance_.inputMethod(focused) == app::ConfigFile::bundleID &&
      controller(*focused)) {
    app::MenuItem reload;
    reload.action = app::MenuCommand::reloadConfig;
    return perform(focused, reload);
  }
  configuration_.reload();
}

app::MenuState QuorvixEngine::menuState(fcitx::InputContext* context) {
  if (auto* served = context ? controller(*context) : nullptr) return served->menuState();
  return {};
}

void QuorvixEngine::perform(fcitx::InputContext* context, const app::MenuItem& item) {
  if (!context) return;
  auto& state = this->state(*context);
  if (!state.controller) return;
  state.controller->perform(item);
  renderMenu(*context, state, false);
}

void QuorvixEngine::renderMenu(fcitx::InputContext& context, InputContextState& state, bool addToStatusArea) {
  auto shown = controllerFor(state).menuState();
  const bool changed = state.shownState != shown;
  state.shownState = std::move(shown);
  if (addToStatusArea) statusMenu_->addTo(context);
  if (changed || addToStatusArea) context.updateUserInterface(fcitx::UserInterfaceComponent::StatusArea);
}

void QuorvixEngine::renderFocusedMenus() {
  instance_.inputContextManager().foreachFocused([this](fcitx::InputContext* context) {
    auto& state = this->state(*context);
    if (state.controller && instance_.inputMethod(context) == app::ConfigFile::bundleID) {
      renderMenu(*context, state, false);
    }
    return true;
  });
}

fcitx::AddonInstance* QuorvixAddonFactory::create(fcitx::AddonManager* manager) {
  return new QuorvixEngine(*manager->instance(), services_);
}

}  // namespace quorvix::platform::fcitx5
