#include <fcitx/action.h>
#include <fcitx/addonmanager.h>
#include <fcitx/inputcontextmanager.h>
#include <fcitx/menu.h>
#include <fcitx/statusarea.h>
#include <fcitx/userinterface.h>
#include <fcitx/userinterfacemanager.h>

#include <algorithm>

#include "platform/fcitx5/addon.h"

namespace quorvix::platform::fcitx5 {

namespace {

// One menu item in the status area. What it reads and whether it is checked are asked of the
// menu last shown for the context in question; its place in the menu is all it keeps.
class MenuAction final : public fcitx::Action {
 public:
  MenuAction(QuorvixEngine& engine, std::vector<std::size_t> path)
      : engine_(engine), path_(std::move(path)) {}

  std::string shortText(fcitx::InputContext* context) const override {
    const auto* item = engine_.shownItem(context, path_);
    return item ? item->title : std::string();
  }
  std::string icon(fcitx::InputContext*) const override { return {}; }
  bool isChecked(fcitx::InputContext* context) const override {
    const auto* item = engine_.shownItem(context, path_);
    return item && item->on;
  }
  void activate(fcitx::InputContext* context) override { engine_.perform(context, path_); }

  fcitx::Menu submenu;
  std::vector<std::unique_ptr<MenuAction>> children;

 private:
  QuorvixEngine& engine_;
  std::vector<std::size_t> path_;
};

// Only a method item shows whether it is the one chosen.
bool checkable(const app::MenuItem& item) { return item.action == app::MenuCommand::selectMethod; }

bool sameShape(const std::vector<app::MenuItem>& a, const std::vector<app::MenuItem>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.separator == y.separator && checkable(x) == checkable(y) && sameShape(x.submenu, y.submenu);
  });
}

std::string actionName(const std::vector<std::size_t>& path) {
  std::string name = "quorvix-menu";
  for (const auto index : path) name += "-" + std::to_string(index);
  return name;
}

}  // namespace

// The actions of one menu shape; the items' words come from each context's own menu.
class StatusMenu {
 public:
  StatusMenu(QuorvixEngine& engine, fcitx::UserInterfaceManager& ui, app::Menu menu)
      : shape_(std::move(menu)) {
    for (std::size_t i = 0; i < shape_.items.size(); ++i)
      top_.push_back(build(engine, ui, shape_.items[i], {i}));
  }

  bool fits(const app::Menu& menu) const { return sameShape(menu.items, shape_.items); }
  const app::Menu& shape() const { return shape_; }

  void addTo(fcitx::InputContext& context) {
    for (const auto& action : top_)
      context.statusArea().addAction(fcitx::StatusGroup::InputMethod, action.get());
  }

 private:
  static std::unique_ptr<MenuAction> build(QuorvixEngine& engine, fcitx::UserInterfaceManager& ui,
                                           const app::MenuItem& item, std::vector<std::size_t> path) {
    auto action = std::make_unique<MenuAction>(engine, path);
    action->setSeparator(item.separator);
    action->setCheckable(checkable(item));
    ui.registerAction(actionName(path), action.get());
    for (std::size_t i = 0; i < item.submenu.size(); ++i) {
      path.push_back(i);
      action->children.push_back(build(engine, ui, item.submenu[i], path));
      action->submenu.addAction(action->children.back().get());
      path.pop_back();
    }
    if (!item.submenu.empty()) action->setMenu(&action->submenu);
    return action;
  }

  app::Menu shape_;
  std::vector<std::unique_ptr<MenuAction>> top_;
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
  std::optional<app::Menu> shownMenu;
};

QuorvixEngine::QuorvixEngine(fcitx::Instance& instance, AddonServices services)
    : instance_(instance),
      services_(completeServices(std::move(services), instance)),
      configuration_(*services_.files, *services_.timers, notifications_, [this] { renderFocusedMenus(); }),
      stateFactory_([this](fcitx::InputContext& context) {
        return new InputContextState(context, services_);
      }) {
  instance_.inputContextManager().registerProperty("quorvixState", &stateFactory_);
}

QuorvixEngine::~QuorvixEngine() = default;

InputContextState& QuorvixEngine::state(fcitx::InputContext& context) {
  return *context.propertyFor(&stateFactory_);
}

app::QuorvixInputController& QuorvixEngine::controllerFor(InputContextState& state) {
  if (!state.controller) {
    state.controller = std::make_unique<app::QuorvixInputController>(
        app::ControllerServices{*services_.files, state.workspace, state.clipboard, configuration_},
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
  const auto key = translateKey(event.rawKey(), false);
  const auto enabled = [&] { return !controller.engine() || controller.engine()->isEnabled(); };
  const bool wasEnabled = key.keyDown && enabled();
  const auto* session = controller.engine();
  if (controller.handle(key, state.client) || (key.keyDown && state.client->passKey(event.rawKey()))) {
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
  // Fcitx5 empties the input method's part of the status area before every activation.
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

const app::MenuItem* QuorvixEngine::shownItem(fcitx::InputContext* context,
                                              const std::vector<std::size_t>& path) {
  const app::Menu* menu = nullptr;
  if (context) {
    if (const auto& shown = state(*context).shownMenu) menu = &*shown;
  }
  if (!menu && statusMenu_) menu = &statusMenu_->shape();
  if (!menu) return nullptr;
  const auto* items = &menu->items;
  const app::MenuItem* item = nullptr;
  for (const auto index : path) {
    if (index >= items->size()) return nullptr;
    item = &(*items)[index];
    items = &item->submenu;
  }
  return item;
}

void QuorvixEngine::perform(fcitx::InputContext* context, const std::vector<std::size_t>& path) {
  if (!context) return;
  auto& state = this->state(*context);
  const auto* item = shownItem(context, path);
  if (!item || !state.controller) return;
  // The command may show a new menu in place of the one the item belongs to.
  const auto chosen = *item;
  state.controller->perform(chosen);
  renderMenu(*context, state, false);
}

void QuorvixEngine::renderMenu(fcitx::InputContext& context, InputContextState& state, bool addToStatusArea) {
  auto menu = controllerFor(state).menu();
  bool changed = state.shownMenu != menu;
  if (!statusMenu_ || !statusMenu_->fits(menu)) {
    // The old actions leave every status area with their destruction.
    statusMenu_.reset();
    statusMenu_ = std::make_unique<StatusMenu>(*this, instance_.userInterfaceManager(), menu);
    addToStatusArea = true;
  }
  state.shownMenu = std::move(menu);
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
