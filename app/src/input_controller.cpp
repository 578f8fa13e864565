#include "quorvix_app/input_controller.h"

#include <json/json.h>
#include <unicode_text/unicode.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace quorvix::app {
namespace {

namespace flags = platform::modifier_flags;

constexpr std::int64_t kSurroundingUnits = 25;
constexpr std::chrono::milliseconds kConfigPollInterval{1000};
// Option+comma toggles Vietnamese when none of Shift, Control and Command is held with Option;
// Caps Lock and the other flags do not count.
constexpr std::uint64_t kToggleModifierMask =
    flags::kShift | flags::kControl | flags::kOption | flags::kCommand;
constexpr std::uint64_t kToggleModifiers = flags::kOption;

// The characters when they are exactly one scalar that types text.
bool isOneTextCharacter(const std::optional<std::string>& characters) {
  if (!characters || characters->empty() || !unicode::is_valid_utf8(*characters)) return false;
  std::size_t end = 0;
  const char32_t first = unicode::next_char(*characters, end);
  return end == characters->size() && !unicode::is_control(first);
}

std::uint32_t outputModeOf(const ConfigFile& configFile) {
  return configFile.outputMode() == "preedit" ? 0 : 1;
}

}  // namespace

QuorvixInputController::QuorvixInputController(ControllerServices services,
                                               std::shared_ptr<platform::TextInput> client)
    : services_(services), configFile_(services.files) {
  configFile_.ensureExists();
  currentClient_ = std::move(client);
  currentAppID_ = services_.workspace.frontmostApplicationID();
  globalOutputMode_ = outputModeOf(configFile_);
  engine_ = std::make_unique<QrxEngine>(configFile_.load(), globalOutputMode_);
  if (currentAppID_) engine_->focusChanged(currentAppID_);
  // The observation and the timer end with the controller, so neither outlives `this`.
  configChangedObservation_ =
      services_.notifications.observe(std::string(quorvixConfigChanged), [this] { reloadConfig(); });
  startConfigWatcher();
}

QuorvixInputController::~QuorvixInputController() {
  configChangedObservation_.reset();
  configTimer_.reset();
}

void QuorvixInputController::noteFrontmostApplication() {
  auto frontmost = services_.workspace.frontmostApplicationID();
  if (frontmost && *frontmost != ConfigFile::bundleID) currentAppID_ = std::move(frontmost);
}

void QuorvixInputController::applyAction(const QrxEngineAction& action,
                                         const std::shared_ptr<platform::TextInput>& client) {
  if (action.kind == QrxActionKind::pass || !client) return;
  FieldTextClient text(client);
  applier_.apply(action, text);
}

bool QuorvixInputController::handle(const std::optional<platform::KeyEvent>& event,
                                    std::shared_ptr<platform::TextInput> sender) {
  if (!event || !event->keyDown || !engine_) return false;
  currentClient_ = sender;
  const auto& client = currentClient_;
  noteFrontmostApplication();
  const std::uint64_t modifiers = event->modifierFlags;

  if (services_.workspace.isSecureEventInputEnabled()) {
    engine_->reset();
    clearMarkedText(client);
    return false;
  }
  if ((modifiers & kToggleModifierMask) == kToggleModifiers &&
      event->keyCode == platform::key_codes::kComma) {
    toggleVietnamese();
    return true;
  }
  // Without a field nothing the session does could be shown, while the key itself reaches the
  // application: the session would believe in a word the field does not have.
  if (!client) return false;

  const std::string before = engine_->displayText();
  // A field can start or stop telling its text (some tell it only once they hold text); the
  // output mode follows between words, since a change of mode ends the word.
  if (before.empty() && client->canReplaceText() != outputModeCanReplace_) applyOutputMode(client);
  FieldTextClient text(client);
  // The snapshot and the text before the caret are read together, asking the field once.
  auto [snapshot, beforeCursor] = text.readSurroundings(kSurroundingUnits);
  engine_->setSurroundingText(beforeCursor);

  const bool ctrl = (modifiers & flags::kControl) != 0;
  const bool alt = (modifiers & flags::kOption) != 0;
  const bool meta = (modifiers & flags::kCommand) != 0;
  QrxEngineAction action;
  if (const auto name = KeyMapper::name(event->keyCode)) {
    action = engine_->processKey(std::string(*name), ctrl, alt, meta);
  } else if (!ctrl && !alt && !meta && isOneTextCharacter(event->characters)) {
    action = engine_->processKey(*event->characters, false, false, false);
  } else {
    // A shortcut: whatever it ends is written out at once, and the key always goes on.
    applyAction(engine_->processKey("", ctrl, alt, meta), client);
    return false;
  }

  const auto plan = engine_->planAction(
      action, 0, before, snapshot ? std::optional(std::move(snapshot->text)) : std::nullopt,
      snapshot ? snapshot->cursorUTF16 : 0, snapshot ? snapshot->anchorUTF16 : 0, false, snapshot ? 1 : 0);
  if (plan.kind == QrxPlanKind::failSafe) {
    engine_->reset();
    clearMarkedText(client);
    return false;
  }
  const auto result = applier_.apply(plan, text);
  return result.handled && !result.forwardKey;
}

void QuorvixInputController::clearMarkedText(const std::shared_ptr<platform::TextInput>& client) {
  if (client) FieldTextClient(client).setMarkedText("", {0, 0}, {platform::kNotFound, 0});
}

void QuorvixInputController::activateServer(std::shared_ptr<platform::TextInput> sender) {
  configFile_.ensureExists();
  currentClient_ = sender;
  noteFrontmostApplication();
  if (!engine_) engine_ = std::make_unique<QrxEngine>(configFile_.load(), 0);
  engine_->focusChanged(currentAppID_);
  engine_->cursorMoved();
  applyOutputMode(sender);
}

void QuorvixInputController::applyOutputMode(const std::shared_ptr<platform::TextInput>& sender) {
  const auto& client = sender ? sender : currentClient_;
  if (!engine_ || !client) return;
  // The focused application's profile overrides the file's "output_mode".
  const std::uint32_t profileMode = engine_->profileOutputMode();
  // A field that cannot replace text gets marked text, and the configured mode again once it can.
  outputModeCanReplace_ = client->canReplaceText();
  const std::uint32_t mode = !outputModeCanReplace_ ? 0
                             : profileMode == 1     ? 0
                             : profileMode == 2     ? 1
                                                    : globalOutputMode_;
  applyAction(engine_->setOutputMode(mode), client);
}

void QuorvixInputController::deactivateServer(std::shared_ptr<platform::TextInput> sender) {
  commitComposition(std::move(sender));
  currentClient_.reset();
}

void QuorvixInputController::commitComposition(std::shared_ptr<platform::TextInput> sender) {
  if (!engine_) return;
  applyAction(engine_->cursorMoved(), sender ? sender : currentClient_);
}

void QuorvixInputController::reloadConfig() {
  // The old session writes out the word in progress before it goes.
  if (currentClient_ && engine_) applyAction(engine_->cursorMoved(), currentClient_);
  globalOutputMode_ = outputModeOf(configFile_);
  engine_ = std::make_unique<QrxEngine>(configFile_.load(), globalOutputMode_);
  engine_->focusChanged(currentAppID_);
  applyOutputMode(currentClient_);
  lastConfigMtime_ = configFile_.modificationDate();
}

void QuorvixInputController::startConfigWatcher() {
  lastConfigMtime_ = configFile_.modificationDate();
  configTimer_ = services_.timers.scheduleRepeating(kConfigPollInterval, [this] { pollConfigFile(); });
}

void QuorvixInputController::pollConfigFile() {
  // A file that disappears or reappears counts as a change as much as a new date.
  auto date = configFile_.modificationDate();
  if (date == lastConfigMtime_) return;
  lastConfigMtime_ = std::move(date);
  reloadConfig();
}

void QuorvixInputController::persistEngineConfig() {
  if (!engine_) return;
  const auto configJSON = engine_->configJSON();
  if (!configJSON) return;
  const auto parsed = json::parse(*configJSON);
  if (!parsed || !parsed.value().is_object()) return;
  const json::Value* appModes = parsed.value().find("app_modes");
  if (appModes == nullptr) return;
  configFile_.update([appModes](ConfigDictionary& dictionary) { dictionary["app_modes"] = *appModes; });
  // The controller's own write is no outside change: the next poll must not reload for it.
  lastConfigMtime_ = configFile_.modificationDate();
}

Menu QuorvixInputController::menu() { return inputMenu(engine_.get()); }

void QuorvixInputController::perform(const MenuItem& item) {
  switch (item.action) {
    case MenuCommand::none:
      return;
    case MenuCommand::toggleVietnamese:
      return toggleVietnamese();
    case MenuCommand::selectMethod:
      return selectMethod(item);
    case MenuCommand::showPreferences:
      return showPreferences();
    case MenuCommand::openConfigFile:
      return openConfigFile();
    case MenuCommand::reloadConfig:
      return reloadConfig();
    case MenuCommand::openInputSources:
      return openInputSources();
    case MenuCommand::transformClipboard:
      return transformClipboard(item);
  }
}

void QuorvixInputController::toggleVietnamese() {
  if (!engine_) return;
  applyAction(engine_->toggleVietnamese(), currentClient_);
  persistEngineConfig();
}

void QuorvixInputController::selectMethod(const MenuItem& item) {
  const auto* method = std::get_if<std::string>(&item.representedObject);
  if (method == nullptr) return;
  // The word in progress is written out under the old method.
  if (currentClient_ && engine_) applyAction(engine_->cursorMoved(), currentClient_);
  configFile_.update([method](ConfigDictionary& dictionary) { dictionary["input_method"] = *method; });
  if (engine_) engine_->setConfigJSON(json::write_compact(json::Object{{"input_method", *method}}));
  persistEngineConfig();
}

void QuorvixInputController::showPreferences() { services_.workspace.showPreferences(); }

void QuorvixInputController::openConfigFile() {
  configFile_.ensureExists();
  services_.workspace.openFile(configFile_.path());
}

void QuorvixInputController::openInputSources() { services_.workspace.openInputSourceSettings(); }

void QuorvixInputController::transformClipboard(const MenuItem& item) {
  const auto text = services_.clipboard.string();
  const auto converted =
      text ? convertClipboardText(item.representedObject, *text, engine_.get()) : std::nullopt;
  if (!converted) return services_.workspace.beep();
  services_.clipboard.setString(*converted);
}

}  // namespace quorvix::app
