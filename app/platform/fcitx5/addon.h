// Quorvix as an Fcitx5 input method: the engine addon that gives every input context its own
// input controller, reads the configuration file once for all of them, and shows the
// controller's menu as status-area actions.
#pragma once

#include <fcitx/addonfactory.h>
#include <fcitx/addoninstance.h>
#include <fcitx/addonmanager.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputcontextproperty.h>
#include <fcitx/inputmethodengine.h>
#include <fcitx/instance.h>

#include <memory>

#include "platform/fcitx5/reports.h"
#include "platform/fcitx5/services.h"
#include "platform/fcitx5/text_input.h"
#include "quorvix_app/config_watcher.h"
#include "quorvix_app/input_controller.h"
#include "quorvix_app/input_menu.h"
#include "quorvix_app/notification_center.h"

namespace quorvix::platform::fcitx5 {

class StatusMenu;
struct InputContextState;

// The input method engine: one controller per input context, created when Quorvix first
// serves that context, the configuration file read once for all of them, and the controller's
// menu as status-area actions, built once and worded for each context.
class QuorvixEngine final : public fcitx::InputMethodEngineV2 {
 public:
  QuorvixEngine(fcitx::Instance& instance, AddonServices services);
  ~QuorvixEngine() override;

  void keyEvent(const fcitx::InputMethodEntry& entry, fcitx::KeyEvent& event) override;
  void activate(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;
  void deactivate(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;
  void reset(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;
  // Fcitx5's own reload of the addon's configuration (the configuration tool, the D-Bus
  // ReloadAddonConfig): the menu's reload, carried out in the focused field; the file is read at
  // once in any case.
  void reloadConfig() override;

  // What the addon keeps, for the tests and benchmarks that drive a real instance: nothing in
  // Fcitx5 asks for it. A preferences window in this process would post its notification here.
  app::NotificationCenter& notifications() { return notifications_; }
  // The context's controller; absent until Quorvix first served the context.
  app::QuorvixInputController* controller(fcitx::InputContext& context);
  // The context's text field, as the controller reads and edits it.
  FcitxTextInput& textInput(fcitx::InputContext& context);

  // What the context's menu shows: its controller's state, or that of a session on the default
  // settings for a context Quorvix has not served; and the command of one of the menu's items,
  // carried out for the context.
  app::MenuState menuState(fcitx::InputContext* context);
  void perform(fcitx::InputContext* context, const app::MenuItem& item);

 private:
  InputContextState& state(fcitx::InputContext& context);
  app::QuorvixInputController& controllerFor(InputContextState& state);
  // Shows the controller's menu anew when what it shows of the controller changed.
  void renderMenu(fcitx::InputContext& context, InputContextState& state, bool addToStatusArea);
  // A new reading of the configuration may have changed what the focused fields' menus say.
  void renderFocusedMenus();

  // Fcitx5's xcb module, looked up once: the X bell rings through it.
  FCITX_ADDON_DEPENDENCY_LOADER(xcb, instance_.addonManager())

  fcitx::Instance& instance_;
  AddonServices services_;
  app::NotificationCenter notifications_;
  FcitxReports reports_;
  app::ConfigWatcher configuration_;
  // The status area's actions, built from the menu of a session on the default settings.
  const std::unique_ptr<StatusMenu> statusMenu_;
  // After everything the controllers use, so that they go first (but for the watcher).
  fcitx::FactoryFor<InputContextState> stateFactory_;
  // Goes first: it reaches the contexts' fields.
  std::unique_ptr<fcitx::HandlerTableEntry<fcitx::EventHandler>> surroundingTextWatcher_;
};

class QuorvixAddonFactory final : public fcitx::AddonFactory {
 public:
  explicit QuorvixAddonFactory(AddonServices services = {}) : services_(std::move(services)) {}
  fcitx::AddonInstance* create(fcitx::AddonManager* manager) override;

 private:
  AddonServices services_;
};

}  // namespace quorvix::platform::fcitx5
