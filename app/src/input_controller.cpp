#include "quorvix_app/input_controller.h"

#include <qrx_json/json.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <utility>

namespace quorvix::app {
namespace {

namespace flags = platform::modifier_flags;

constexpr std::int64_t kSurroundingUnits = 25;
// Option+comma toggles Vietnamese when none of Shift, Control and Command is held with Option;
// Caps Lock and the other flags do not count.
constexpr std::uint64_t kToggleModifierMask =
    flags::kShift | flags::kControl | flags::kOption | flags::kCommand;
constexpr std::uint64_t kToggleModifiers = flags::kOption;

// The characters when they are exactly one scalar that types text.
bool isOneTextCharacter(const std::optional<std::string>& characters) {
  if (!characters || characters->empty() || !qrx_unicode::is_valid_utf8(*characters)) return false;
  std::size_t end = 0;
  const char32_t first = qrx_unicode::next_char(*characters, end);
  return end == characters->size() && !qrx_unicode::is_control(first);
}

// The output mode of a session: marked text in a field that cannot replace text; else the focused
// application's profile's mode, which overrides the file's "output_mode".
std::uint32_t sessionOutputMode(bool fieldCanReplace, std::uint32_t profileMode, std::uint32_t fileMode) {
  if (!fieldCanReplace || profileMode == QRX_PROFILE_OUTPUT_PREEDIT) return QRX_OUTPUT_PREEDIT;
  if (profileMode == QRX_PROFILE_OUTPUT_REPLACE) return QRX_OUTPUT_REPLACE;
  return fileMode;
}

// Why the word started over rather than take the replacement `action` asked for, in words for the
// log: the counts the field told, never its text. The engine keeps its planner's reason to itself;
// asked, as here, for a normal field with no unverified replacement and a fall-back only for a
// field that tells no text, it fails safe on exactly these grounds.
std::string whyTheWordStartedOver(const QrxEnginePlan& plan, const QrxEngineAction& action,
                                  const std::optional<SurroundingSnapshot>& snapshot) {
  const std::string units = std::to_string(action.deleteBeforeUTF16) + " UTF-16 units";
  if (plan.kind == QrxPlanKind::replace) {
    return "the field could not delete the " + units + " before the caret that the word's replacement takes";
  }
  if (!snapshot) return "the field tells no text before the caret that could confirm the " + units + " to replace";
  return "the field's text before the caret (caret at unit " + std::to_string(snapshot->cursorUTF16) +
         ", anchor at unit " + std::to_string(snapshot->anchorUTF16) + " of what it told) does not end with the " +
         units + " the word wrote there";
}

// Runs `atExit` when the scope ends, however it ends.
template <class F>
class AtScopeExit {
 public:
  explicit AtScopeExit(F atExit) : atExit_(std::move(atExit)) {}
  ~AtScopeExit() { atExit_(); }
  AtScopeExit(const AtScopeExit&) = delete;
  AtScopeExit& operator=(const AtScopeExit&) = delete;

 private:
  F atExit_;
};

}  // namespace

QuorvixInputController::QuorvixInputController(ControllerServices services,
                                               std::shared_ptr<platform::TextInput> client)
    : services_(services), configFile_(services.files) {
  ensureConfigFile();
  currentClient_ = std::move(client);
  if (const auto frontmost = services_.workspace.frontmostApplicationID()) currentAppID_.emplace(*frontmost);
  makeSession(services_.configuration.latest());
  if (currentAppID_) engine_->focusChanged(currentAppID_);
  sessionAppID_ = currentAppID_;
  // The observation ends with the controller, so it never outlives `this`.
  configObservation_ = services_.configuration.observe([this] {
    pendingConfig_ = services_.configuration.current();
    settleConfiguration();
  });
}

QuorvixInputController::~QuorvixInputController() { configObservation_.reset(); }

void QuorvixInputController::noteFrontmostApplication() {
  // Noted at every key: the name is copied only when it changes, so that a key allocates nothing.
  const auto frontmost = services_.workspace.frontmostApplicationID();
  if (frontmost && *frontmost != ConfigFile::bundleID && currentAppID_ != frontmost)
    currentAppID_.emplace(*frontmost);
}

void QuorvixInputController::applyAction(const QrxEngineAction& action,
                                         const std::shared_ptr<platform::TextInput>& client) {
  if (action.kind == QrxActionKind::pass || !client) return;
  FieldTextClient text(client);
  applier_.apply(action, text);
}

bool QuorvixInputController::handle(const std::optional<platform::KeyEvent>& event,
                                    std::shared_ptr<platform::TextInput> sender) {
  // A reading of the file that came while a word was being typed is taken in once it has ended.
  const AtScopeExit settle([this] { settleConfiguration(); });
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
  text.readSurroundings(kSurroundingUnits, fieldRead_, surroundings_);
  const auto& [snapshot, beforeCursor] = surroundings_;
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
      action, QRX_FIELD_NORMAL, before, snapshot ? &snapshot->text : nullptr,
      snapshot ? snapshot->cursorUTF16 : 0, snapshot ? snapshot->anchorUTF16 : 0, false,
      snapshot ? QRX_REPLACE_FALLBACK_WITH_SURROUNDING : QRX_REPLACE_FALLBACK_NONE);
  const auto result = applier_.apply(plan, text);
  // A fail-safe plan, or a replacement the field could not make as planned: the word starts over
  // and the key reaches the application as it is.
  if (plan.kind == QrxPlanKind::failSafe || (plan.kind == QrxPlanKind::replace && !result.handled)) {
    if (services_.reports)
      services_.reports->debug("A word started over: " + whyTheWordStartedOver(plan, action, snapshot));
    engine_->reset();
    clearMarkedText(client);
    return false;
  }
  return result.handled && !result.forwardKey;
}

void QuorvixInputController::clearMarkedText(const std::shared_ptr<platform::TextInput>& client) {
  if (client) FieldTextClient(client).setMarkedText("", {0, 0}, {platform::kNotFound, 0});
}

void QuorvixInputController::activateServer(std::shared_ptr<platform::TextInput> sender) {
  ensureConfigFile();
  currentClient_ = sender;
  noteFrontmostApplication();
  if (!engine_) engine_ = std::make_unique<EngineSession>(configFile_.load(), QRX_OUTPUT_PREEDIT);
  // A reading that came while the field had no focus.
  settleConfiguration();
  engine_->focusChanged(currentAppID_);
  sessionAppID_ = currentAppID_;
  engine_->cursorMoved();
  applyOutputMode(sender);
}

const std::shared_ptr<platform::TextInput>& QuorvixInputController::fieldOf(
    const std::shared_ptr<platform::TextInput>& sender) const {
  return sender ? sender : currentClient_;
}

void QuorvixInputController::applyOutputMode(const std::shared_ptr<platform::TextInput>& sender) {
  const auto& client = fieldOf(sender);
  if (!engine_ || !client) return;
  // A field that cannot replace text gets marked text, and the configured mode again once it can.
  outputModeCanReplace_ = client->canReplaceText();
  applyAction(engine_->setOutputMode(
                  sessionOutputMode(outputModeCanReplace_, engine_->profileOutputMode(), fileOutputMode_)),
              client);
}

void QuorvixInputController::deactivateServer(std::shared_ptr<platform::TextInput> sender) {
  // Without focus the field makes no new session before it gets focus again.
  auto client = fieldOf(sender);
  currentClient_.reset();
  commitComposition(std::move(client));
}

void QuorvixInputController::commitComposition(std::shared_ptr<platform::TextInput> sender) {
  if (!engine_) return;
  applyAction(engine_->cursorMoved(), fieldOf(sender));
  settleConfiguration();
}

void QuorvixInputController::reloadConfig() {
  // The old session writes out the word in progress before it goes.
  if (currentClient_ && engine_) applyAction(engine_->cursorMoved(), currentClient_);
  // Every controller hears of the reading; this one makes its session anew, changed or not.
  reloading_ = true;
  services_.configuration.reload();
  reloading_ = false;
  pendingConfig_.reset();
  reloadSession(services_.configuration.current());
}

void QuorvixInputController::makeSession(std::shared_ptr<const ConfigSnapshot> reading) {
  fileOutputMode_ = reading->outputMode();
  engine_ = std::make_unique<EngineSession>(reading->text(), fileOutputMode_);
  reading->sessionMade(engine_->tookConfiguration());
  sessionSettings_ = reading->shared();
  // The file's method, unless the engine fell back to its defaults.
  const auto method = sessionSettings_.find("input_method");
  sessionMethod_ = configuredMethod(engine_->tookConfiguration() && method != sessionSettings_.end()
                                        ? method->second.get()
                                        : nullptr);
  sessionConfig_ = std::move(reading);
}

void QuorvixInputController::reloadSession(std::shared_ptr<const ConfigSnapshot> reading) {
  makeSession(std::move(reading));
  engine_->focusChanged(currentAppID_);
  sessionAppID_ = currentAppID_;
  applyOutputMode(currentClient_);
}

void QuorvixInputController::settleConfiguration() {
  if (!pendingConfig_ || reloading_) return;
  if (keepsSession(*pendingConfig_)) {
    sessionSettings_ = pendingConfig_->shared();
    sessionConfig_ = std::move(pendingConfig_);
    pendingConfig_.reset();
    return;
  }
  if (!currentClient_ || (engine_ && !engine_->displayText().empty())) return;
  auto reading = std::move(pendingConfig_);
  pendingConfig_.reset();
  reloadSession(std::move(reading));
}

bool QuorvixInputController::keepsSession(const ConfigSnapshot& reading) {
  if (!engine_ || !sessionConfig_ || reading.outputMode() != fileOutputMode_ ||
      !sameSettings(reading.shared(), sessionSettings_)) {
    return false;
  }
  // In the reading of its own last write, the application's choice is the one the session made.
  if (reading.fileIdentity() && reading.fileIdentity() == ownWriteIdentity_) return true;
  return reading.application(sessionAppID_) == sessionConfig_->application(sessionAppID_);
}

void QuorvixInputController::noteOwnWrite(const platform::FileResult& written, std::string_view choice) {
  if (!written) {
    // The session has the choice all the same, until it is made anew from the file.
    if (services_.reports)
      services_.reports->tell(kChoiceNotSavedTitle,
                              std::string(choice) + " was not saved: " + written.problem);
    return;
  }
  // The write carried whatever an earlier reading held that the session had not taken in yet:
  // the reading of the write itself stands in for it.
  ownWriteIdentity_ = configFile_.modificationDate();
  pendingConfig_.reset();
}

void QuorvixInputController::ensureConfigFile() {
  const auto made = configFile_.ensureExists();
  // Tried at every focus: a folder that cannot be written is logged once, until it can be.
  if (made.problem != fileProblemLogged_ && !made.ok() && services_.reports)
    services_.reports->warn("Quorvix could not make its configuration file: " + made.problem);
  fileProblemLogged_ = made.problem;
}

const std::optional<std::string>& QuorvixInputController::currentAppModesKey() {
  if (!appModesKey_ || appModesKeyApp_ != currentAppID_) {
    appModesKeyApp_ = currentAppID_;
    appModesKey_ = appModesKey(currentAppID_);
  }
  return *appModesKey_;
}

void QuorvixInputController::persistEngineConfig() {
  if (!engine_) return;
  // A session keeps no choice for an application without a name.
  const auto& key = currentAppModesKey();
  if (!key) return;
  // Only this application's entry changes, in the file as it is now: choices that other fields
  // made since this session was made stay.
  const qrx_json::Value choice(engine_->isEnabled());
  const auto written = configFile_.update([&](ConfigDictionary& dictionary) {
    auto& modes = dictionary["app_modes"];
    if (!modes.is_object()) modes = qrx_json::Object{};
    std::erase_if(modes.as_object(), [&](const qrx_json::Member& member) { return member.name == *key; });
    modes.as_object().push_back({*key, choice});
  });
  noteOwnWrite(written, "Turning Vietnamese on or off for this program");
}

Menu QuorvixInputController::menu() { return inputMenu(menuState()); }

MenuState QuorvixInputController::menuState() { return {!engine_ || engine_->isEnabled(), sessionMethod_}; }

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
  const auto written =
      configFile_.update([method](ConfigDictionary& dictionary) { dictionary["input_method"] = *method; });
  if (engine_ && engine_->setConfigJSON(qrx_json::write_compact(qrx_json::Object{{"input_method", *method}}))) {
    sessionSettings_.insert_or_assign("input_method", std::make_shared<const qrx_json::Value>(*method));
    sessionMethod_ = *method;
  }
  noteOwnWrite(written, "The input method chosen in the menu");
}

void QuorvixInputController::showPreferences() { services_.workspace.showPreferences(); }

void QuorvixInputController::openConfigFile() {
  ensureConfigFile();
  services_.workspace.openFile(configFile_.path());
}

void QuorvixInputController::openInputSources() { services_.workspace.openInputSourceSettings(); }

void QuorvixInputController::transformClipboard(const MenuItem& item) {
  // The clipboard is read, converted and taken in a process of its own, which signals its own
  // failures; an item that names no conversion fails here.
  const auto conversion = clipboardConversion(item.representedObject);
  if (!conversion) return services_.workspace.beep();
  services_.clipboard.start(conversion->op, conversion->charset);
}

}  // namespace quorvix::app
