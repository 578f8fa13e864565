// The text field the input controller edits, over an Fcitx5 input context.
#pragma once

#include <fcitx-utils/key.h>
#include <fcitx-utils/trackableobject.h>
#include <fcitx/inputcontext.h>
#include <fcitx/text.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/text_input.h"

namespace quorvix::app {
struct Expectation;
class TextAccount;
}  // namespace quorvix::app

namespace quorvix::platform::fcitx5 {

// The focused application's text field as Fcitx5 shows it to an input method. Positions count
// UTF-16 units of the context's surrounding text; the marked text is the client pre-edit when
// the application draws one, else the input panel's. Fcitx5 writes only at the caret: a
// replacement range is deleted and the text goes in at the caret, which is the same for the
// ranges that end there, as the text client's do. Once the context is gone, writes do nothing
// and reads give nothing.
//
// Applications apply the field's edits in order but tell their text late, so the field reads from
// its account of the application's text (quorvix_app/text_account.h) rather than from the last
// report alone.
class FcitxTextInput final : public platform::TextInput {
 public:
  explicit FcitxTextInput(fcitx::InputContext& context);
  ~FcitxTextInput() override;

  void setMarkedText(const std::string& text, platform::Utf16Range selected,
                     platform::Utf16Range replacement) override;
  void insertText(const std::string& text, platform::Utf16Range replacement) override;
  platform::Utf16Range selectedRange() override;
  std::optional<std::string> substring(platform::Utf16Range range) override;
  void readAround(std::int64_t maxUnitsBefore, platform::TextAround& into) override;
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
  // The application has told its text: every report is looked at in the order it came.
  void surroundingTextUpdated();

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
  app::Expectation* expected(bool toRead = true);
  // Makes the expectation reach back to `units`, before what it knows; false when it cannot.
  bool reachBackTo(const app::Expectation& known, std::int64_t units);
  static platform::Utf16Range selection(const app::Expectation& known);
  // Appends the text in `range` as substring() reads it; how many units that is.
  std::int64_t appendRead(const app::Expectation& known, platform::Utf16Range range, std::string& out);
  // The key goes on to the application; false.
  bool letThrough();
  // Deletes the characters a range of units covers, in one request relative to the caret.
  void deleteRange(fcitx::InputContext& context, const app::Expectation& known, platform::Utf16Range range);
  void showMarked(fcitx::InputContext& context, const std::string& text, std::size_t caretByte);
  void removeCommittedMarkedText(fcitx::InputContext& context);

  fcitx::TrackableObjectReference<fcitx::InputContext> context_;
  std::unique_ptr<app::TextAccount> account_;
  std::string marked_;
  // The marked text as Fcitx5 shows it, kept from key to key: a fresh one costs an allocation.
  fcitx::Text shown_;
  bool markedInClient_ = false;
  bool markedCommitted_ = false;
};

}  // namespace quorvix::platform::fcitx5
