// The thin layer between the engine's results and the focused text field: the action applier
// turns a plan or an action into at most one call on a text client, and the key mapper names
// the special keys in the engine's vocabulary. Nothing here waits, sends synthetic keys or
// deletes by repeated backspaces: a replacement is one insert over a range.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/key_event.h"
#include "platform/text_input.h"
#include "quorvix_app/engine_bridge.h"

namespace quorvix::app {

// Whether the applier acted on the client, and whether the key must still reach the
// application. A key is consumed exactly when it was handled and is not forwarded.
struct ApplyResult {
  bool handled = false;
  bool forwardKey = true;
  friend bool operator==(const ApplyResult&, const ApplyResult&) = default;
};

class EngineTextClient {
 public:
  virtual ~EngineTextClient() = default;
  virtual void setMarkedText(const std::string& text, platform::Utf16Range selected,
                             platform::Utf16Range replacement) = 0;
  virtual void insertText(const std::string& text, platform::Utf16Range replacement) = 0;
  // Replaces the `deleteBeforeUTF16` units before the caret (none when negative) by `text`.
  // False, with nothing written, when the field cannot delete them all: the caret stands nearer
  // the start of its text, or the field does not tell where the caret is. Inserting the text
  // anyway would leave what it was to replace in front of it.
  virtual bool replaceText(const std::string& text, std::int64_t deleteBeforeUTF16) = 0;
};

// Up to `maxLength` units before the caret, the selection and one unit after it, with the caret
// (the selection's end) and the anchor (its start) counted from the start of `text`.
struct SurroundingSnapshot {
  std::string text;
  std::uint32_t cursorUTF16 = 0;
  std::uint32_t anchorUTF16 = 0;
  friend bool operator==(const SurroundingSnapshot&, const SurroundingSnapshot&) = default;
};

// The text client over a field of the input method framework. It holds the field weakly: once
// the field is gone, writes do nothing and reads give nothing.
class FieldTextClient final : public EngineTextClient {
 public:
  explicit FieldTextClient(std::weak_ptr<platform::TextInput> field) : field_(std::move(field)) {}

  void setMarkedText(const std::string& text, platform::Utf16Range selected,
                     platform::Utf16Range replacement) override;
  void insertText(const std::string& text, platform::Utf16Range replacement) override;
  bool replaceText(const std::string& text, std::int64_t deleteBeforeUTF16) override;

  // Up to `maxUnits` UTF-16 units before the caret; "" at the start of the text, absent when the
  // field does not tell.
  std::optional<std::string> beforeCursor(std::int64_t maxUnits);
  std::optional<SurroundingSnapshot> surroundingSnapshot(std::int64_t maxLength);

  // Both at once, as a key needs them: the field is asked for the text before the selection once.
  // The controller reads only this way; the two reads above stay as the single answers the tests
  // check this one against.
  struct Surroundings {
    std::optional<SurroundingSnapshot> snapshot;
    std::optional<std::string> beforeCursor;
  };
  Surroundings readSurroundings(std::int64_t maxUnits);
  // The same into buffers the caller keeps from key to key, `around` the scratch for the field's
  // read: once they have grown to a key's needs, reading allocates nothing.
  void readSurroundings(std::int64_t maxUnits, platform::TextAround& around, Surroundings& into);

 private:
  std::weak_ptr<platform::TextInput> field_;
};

class ActionApplier {
 public:
  ApplyResult apply(const QrxEnginePlan& plan, EngineTextClient& client) const;
  ApplyResult apply(const QrxEngineAction& action, EngineTextClient& client) const;
};

// Kept under its macOS name; on Linux it reads the Mac key codes that the Fcitx5 addon translates
// Fcitx5's key symbols into (platform/fcitx5/keys.h).
namespace KeyMapper {
// The engine's name of a named key ("Enter", "Backspace", ...); absent for every other key, which
// then goes by its characters.
std::optional<std::string_view> name(std::uint16_t keyCode);
}  // namespace KeyMapper

// The length of UTF-8 text in UTF-16 units, counted over the Unicode layer's decoding: an
// ill-formed byte reads as U+FFFD, one unit.
std::int64_t utf16Length(std::string_view text);

}  // namespace quorvix::app
