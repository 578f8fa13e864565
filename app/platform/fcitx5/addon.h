// Quorvix as an Fcitx5 input method: the platform services over Fcitx5 (a text field over an
// input context, key events, timers on the instance's event loop, the processes that convert the
// clipboard, the desktop around an input context), and the engine addon that gives every input
// context its own input controller and shows the controller's menu in the status area.
#pragma once

#include <fcitx-utils/key.h>
#include <fcitx-utils/trackableobject.h>
#include <fcitx/addonfactory.h>
#include <fcitx/addoninstance.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputcontextproperty.h>
#include <fcitx/inputmethodengine.h>
#include <fcitx/instance.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/key_event.h"
#include "platform/text_input.h"
#include "platform/timers.h"
#include "platform/workspace.h"
#include "quorvix_app/config_watcher.h"
#include "quorvix_app/input_controller.h"
#include "quorvix_app/input_menu.h"
#include "quorvix_app/notification_center.h"

namespace quorvix::platform::fcitx5 {

// The focused application's text field as Fcitx5 shows it to an input method. Positions count
// UTF-16 units of the context's surrounding text; the marked text is the client pre-edit when
// the application draws one, else the input panel's. Fcitx5 writes only at the caret: a
// replacement range is deleted and the text goes in at the caret, which is the same for the
// ranges that end there, as the text client's do. Once the context is gone, writes do nothing
// and reads give nothing.
//
// Applications apply the field's edits in order but tell their text late, so the field keeps an
// account of what it expects the text to be after each of its edits and of the keys it let
// through, reads from it, and believes a report only when it tells none of those expectations.
// Only the part of the text around the caret is kept and read.
struct Expectation;
class TextAccount;

class FcitxTextInput final : public platform::TextInput {
 public:
  explicit FcitxTextInput(fcitx::InputContext& context);
  ~FcitxTextInput() override;

  void setMarkedText(const std::string& text, platform::Utf16Range selected,
                     platform::Utf16Range replacement) override;
  void insertText(const std::string& text, platform::Utf16Range replacement) override;
  platform::Utf16Range selectedRange() override;
  std::optional<std::string> substring(platform::Utf16Range range) override;
  // Only while the application tells its text: otherwise nothing before the caret can be found.
  bool canReplaceText() override;

  // Lets a key the input method did not take go on to the application. Fcitx5's frontends for
  // GTK and Qt hand such a key back to the application's own event queue, behind the edits that
  // follow it; so in a toolkit's field (one that can tell its text) a key that types a character,
  // and Backspace where the text before the caret is known, are done here as the edit they stand
  // for, in order with the field's other edits (true: the key is taken). What any other key does
  // cannot be foreseen: it goes on (false).
  bool passKey(const fcitx::Key& key);
  // The application's text may have changed in ways the field cannot follow (it got the focus
  // back, its caret was moved): what it tells is taken as it is.
  void resync();

  // On focus out the client pre-edit is committed as it stands, by Fcitx5 or by the application
  // itself: the marked text is then document text, and an insert of the same text must not
  // write it a second time.
  void markedTextCommittedOnFocusOut();
  // Takes away whatever marked text is still shown, without committing it.
  void clearMarkedText();

 private:
  // What the application's text is expected to be now; absent when the application does not
  // tell its text. To record an edit on (not `toRead`), a toolkit's field that can tell its text
  // but has not yet has an expectation all the same, starting from an empty text.
  Expectation* expected(bool toRead = true);
  // Makes the expectation reach back to `units`, before what it knows; false when it cannot.
  bool reachBackTo(const Expectation& known, std::int64_t units);
  // The key goes on to the application; false.
  bool letThrough();
  // Deletes the characters a range of units covers, in one request relative to the caret.
  void deleteRange(fcitx::InputContext& context, const Expectation& known, platform::Utf16Range range);
  void showMarked(fcitx::InputContext& context, const std::string& text, std::size_t caretByte);
  void removeCommittedMarkedText(fcitx::InputContext& context);

  fcitx::TrackableObjectReference<fcitx::InputContext> context_;
  std::unique_ptr<TextAccount> account_;
  std::string marked_;
  bool markedInClient_ = false;
  bool markedCommitted_ = false;
};

// A key event of Fcitx5 as the application reads it: presses of keys other than modifiers are
// key-down events, named keys carry Mac key codes, modifiers the Mac flag bits.
platform::KeyEvent translateKey(const fcitx::Key& key, bool isRelease);

// Repeating timers on an Fcitx5 event loop.
class EventLoopTimers final : public platform::Timers {
 public:
  explicit EventLoopTimers(fcitx::EventLoop& loop) : loop_(loop) {}
  std::unique_ptr<platform::Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::function<void()> tick) override;

 private:
  fcitx::EventLoop& loop_;
};

// Starts a program with its arguments, detached; the outcome is not reported.
using ProcessStarter = std::function<void(const std::vector<std::string>& arguments)>;
// The failure signal, given where it happened.
using Beeper = std::function<void(fcitx::InputContext& context)>;

// The input menu's clipboard conversions, each in a quorvix process of its own.
class ClipboardProcesses final : public platform::ClipboardConversions {
 public:
  explicit ClipboardProcesses(ProcessStarter start) : start_(std::move(start)) {}
  void start(const std::string& op, const std::string& charset) override;

 private:
  ProcessStarter start_;
};

// The desktop around one input context.
class FcitxWorkspace final : public platform::Workspace {
 public:
  FcitxWorkspace(fcitx::InputContext& context, ProcessStarter start, Beeper beep)
      : context_(context.watch()), start_(std::move(start)), beep_(std::move(beep)) {}
  std::optional<std::string> frontmostApplicationID() override;
  bool isSecureEventInputEnabled() override;
  void openFile(const std::filesystem::path& path) override;
  void openInputSourceSettings() override;
  void showPreferences() override;
  void beep() override;

 private:
  fcitx::TrackableObjectReference<fcitx::InputContext> context_;
  ProcessStarter start_;
  Beeper beep_;
};

// What the addon takes from its host; each one left empty is the real thing: the instance's
// event loop, the machine's files, fcitx::startProcess, the X bell of the context's display.
struct AddonServices {
  std::shared_ptr<platform::Timers> timers;
  platform::Files* files = nullptr;
  ProcessStarter startProcess;
  Beeper beep;
};

// The services left empty, filled with the real ones.
AddonServices completeServices(AddonServices services, fcitx::Instance& instance);

class StatusMenu;
struct InputContextState;

// The input method engine: one controller per input context, created when Quorvix first
// serves that context, the configuration file read once for all of them, and the controller's
// menu as status-area actions.
class QuorvixEngine final : public fcitx::InputMethodEngineV2 {
 public:
  QuorvixEngine(fcitx::Instance& instance, AddonServices services);
  ~QuorvixEngine() override;

  void keyEvent(const fcitx::InputMethodEntry& entry, fcitx::KeyEvent& event) override;
  void activate(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;
  void deactivate(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;
  void reset(const fcitx::InputMethodEntry& entry, fcitx::InputContextEvent& event) override;

  app::NotificationCenter& notifications() { return notifications_; }
  // The context's controller; absent until Quorvix first served the context.
  app::QuorvixInputController* controller(fcitx::InputContext& context);
  // The context's text field, as the controller reads and edits it.
  FcitxTextInput& textInput(fcitx::InputContext& context);

  // The menu item at `path` (indices from the top, then into sub-menus) as last shown for the
  // context, or as first built when there is none; and its command.
  const app::MenuItem* shownItem(fcitx::InputContext* context, const std::vector<std::size_t>& path);
  void perform(fcitx::InputContext* context, const std::vector<std::size_t>& path);

 private:
  InputContextState& state(fcitx::InputContext& context);
  app::QuorvixInputController& controllerFor(InputContextState& state);
  // Shows the controller's menu when it differs from the one shown.
  void renderMenu(fcitx::InputContext& context, InputContextState& state, bool addToStatusArea);
  // A new reading of the configuration may have changed what the focused fields' menus say.
  void renderFocusedMenus();

  fcitx::Instance& instance_;
  AddonServices services_;
  app::NotificationCenter notifications_;
  app::ConfigWatcher configuration_;
  std::unique_ptr<StatusMenu> statusMenu_;
  // Last, so that the controllers go before everything they use.
  fcitx::FactoryFor<InputContextState> stateFactory_;
};

class QuorvixAddonFactory final : public fcitx::AddonFactory {
 public:
  explicit QuorvixAddonFactory(AddonServices services = {}) : services_(std::move(services)) {}
  fcitx::AddonInstance* create(fcitx::AddonManager* manager) override;

 private:
  AddonServices services_;
};

}  // namespace quorvix::platform::fcitx5
