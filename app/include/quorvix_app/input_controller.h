// The input method's controller: one per input context of the framework. It owns one engine
// session built from the configuration file, feeds it every key of its field, applies the
// resulting edit plans, follows focus, keeps the output mode in line with the focused
// application and the file, follows the file's changes, and serves the menu. A change of the file
// that leaves the controller's settings as they were keeps its session and the word being typed;
// one that changes them makes a new session once the word has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/key_event.h"
#include "platform/reports.h"
#include "platform/text_input.h"
#include "platform/workspace.h"
#include "quorvix_app/config_file.h"
#include "quorvix_app/config_watcher.h"
#include "quorvix_app/engine_bridge.h"
#include "quorvix_app/input_menu.h"
#include "quorvix_app/notification_center.h"
#include "quorvix_app/text_client.h"

namespace quorvix::app {

// What a controller needs of its platform. The platform keeps them alive as long as the
// controller.
struct ControllerServices {
  platform::Files& files;
  platform::Workspace& workspace;
  platform::ClipboardConversions& clipboard;
  // The configuration file as the whole process reads it.
  ConfigWatcher& configuration;
  // Where a choice the file could not keep is told; nowhere when absent.
  platform::Reports* reports = nullptr;
};

// The title under which the user is told that a choice made in a field was not saved.
inline constexpr std::string_view kChoiceNotSavedTitle = "Quorvix không lưu được lựa chọn";

class QuorvixInputController {
 public:
  // `client` is the field the controller is created for, absent when the framework gives none.
  QuorvixInputController(ControllerServices services, std::shared_ptr<platform::TextInput> client);
  ~QuorvixInputController();
  QuorvixInputController(const QuorvixInputController&) = delete;
  QuorvixInputController& operator=(const QuorvixInputController&) = delete;

  // Framework entry points, under their InputMethodKit names: on Fcitx5, activateServer is the
  // engine's activate, deactivateServer its deactivate (focus out, another input method) and
  // commitComposition its reset. `sender` is the field the call comes from, absent when none.
  // handle returns true when the event is consumed, false when it goes on to the application.
  bool handle(const std::optional<platform::KeyEvent>& event, std::shared_ptr<platform::TextInput> sender);
  void activateServer(std::shared_ptr<platform::TextInput> sender);
  void deactivateServer(std::shared_ptr<platform::TextInput> sender);
  void commitComposition(std::shared_ptr<platform::TextInput> sender);

  // The menu as it should be shown now, what it shows of the session, and the command behind one
  // of its items.
  Menu menu();
  MenuState menuState();
  void perform(const MenuItem& item);

  // Menu commands.
  void toggleVietnamese();
  void selectMethod(const MenuItem& item);
  void showPreferences();
  void openConfigFile();
  void reloadConfig();
  void openInputSources();
  void transformClipboard(const MenuItem& item);

  // The controller's engine session, for the platform's own checks; a new one after every
  // reload that changes the field's settings.
  EngineSession* engine() { return engine_.get(); }

 private:
  // Internal operations; the rest of the state follows in the implementation's order.
  // The field a call concerns: its sender, else the field of the last activation or key. The
  // framework gives a controller one field, so both are the same field whenever both are there.
  const std::shared_ptr<platform::TextInput>& fieldOf(const std::shared_ptr<platform::TextInput>& sender) const;
  void applyOutputMode(const std::shared_ptr<platform::TextInput>& sender);
  // Writes the session's choice for the current application into the file's "app_modes".
  void persistEngineConfig();
  // A session made from the reading, not yet told the application.
  void makeSession(std::shared_ptr<const ConfigSnapshot> reading);
  // A session made from the reading for the current application and field.
  void reloadSession(std::shared_ptr<const ConfigSnapshot> reading);
  // Takes in the reading not yet taken in: at once when it leaves the session's settings as they
  // are or nothing is being typed, else once the word being typed has ended; a field without
  // focus makes its new session when it next gets focus.
  void settleConfiguration();
  // Whether the reading gives the session the settings it has.
  bool keepsSession(const ConfigSnapshot& reading);
  // After a write of the controller's own: notes it when it was made, else tells the user that
  // `choice` was not saved, and why.
  void noteOwnWrite(const platform::FileResult& written, std::string_view choice);
  // Makes the configuration file when it is missing, and logs why it could not.
  void ensureConfigFile();
  const std::optional<std::string>& currentAppModesKey();
  // Takes the frontmost application unless there is none or it is the input method itself.
  void noteFrontmostApplication();
  // Applies an action that is not a pass to the client, when there is one.
  void applyAction(const QrxEngineAction& action, const std::shared_ptr<platform::TextInput>& client);
  void clearMarkedText(const std::shared_ptr<platform::TextInput>& client);

  ControllerServices services_;
  ConfigFile configFile_;
  std::unique_ptr<EngineSession> engine_;
  ActionApplier applier_;
  std::optional<std::string> currentAppID_;
  std::shared_ptr<platform::TextInput> currentClient_;
  // The output mode the file sets for every application: QRX_OUTPUT_PREEDIT or _REPLACE.
  std::uint32_t fileOutputMode_ = QRX_OUTPUT_REPLACE;
  // The reading the session stands on, the application it was last told, its shared settings
  // (the reading's, with the session's own changes since) and its input method, for the menu.
  std::shared_ptr<const ConfigSnapshot> sessionConfig_;
  std::optional<std::string> sessionAppID_;
  SharedSettings sessionSettings_;
  std::string sessionMethod_;
  // A reading the session has not taken in yet.
  std::shared_ptr<const ConfigSnapshot> pendingConfig_;
  // Why the configuration file could last not be made, as logged; empty when it could.
  std::string fileProblemLogged_;
  // The file's identity just after the controller's last write of its own.
  std::optional<platform::FileIdentity> ownWriteIdentity_;
  // The application and its key in "app_modes", as last asked.
  std::optional<std::string> appModesKeyApp_;
  std::optional<std::optional<std::string>> appModesKey_;
  bool reloading_ = false;
  // Whether the field could replace text when the output mode was last set.
  bool outputModeCanReplace_ = true;
  std::unique_ptr<NotificationCenter::Observation> configObservation_;
  // What the last key read of its field, kept so that the next key reads into the same buffers.
  platform::TextAround fieldRead_;
  FieldTextClient::Surroundings surroundings_;
};

}  // namespace quorvix::app
