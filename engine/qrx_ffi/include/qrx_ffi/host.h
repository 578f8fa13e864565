// The C++ side of the C interface: what a session handle owns, the host state its ports read,
// the process-wide dictionary, the conversion of session actions into C records, and the rules
// every exported function follows for strings crossing the boundary. Not installed: hosts see
// only <quorvix.h>.
#pragma once

#include <quorvix.h>

#include <qrx_engine/action.h>
#include <qrx_engine/ports.h>
#include <qrx_engine/session.h>
#include <qrx_unicode/unicode.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

using qrx_engine::ports::Config;
using qrx_engine::ports::WordListDictionary;

// ---------------------------------------------------------------------------------------------
// Strings going in.

// A host string read as UTF-8, every ill-formed sequence read as U+FFFD. Well-formed input
// (the usual case) is viewed in place rather than copied; the view lives only as long as this
// object, within one call, so the host's buffer is never kept.
class InputText {
 public:
  explicit InputText(const char* text);
  // The same, taking text equal to `known_valid` (text the interface itself checked or wrote,
  // such as what it last returned to the host) as it is, without checking it again.
  InputText(const char* text, std::string_view known_valid);
  std::string_view view() const { return view_; }
  std::string str() const { return std::string(view_); }

 private:
  std::string repaired_;
  std::string_view view_;
};

using qrx_unicode::is_scalar_value;

// A host string that may be absent (null).
std::optional<std::string> optional_input(const char* text);

// ---------------------------------------------------------------------------------------------
// Host state.

// What the host has pushed into a session, read by the session's ports.
struct Shared {
  Config config;
  std::optional<std::string> current_app;
  std::optional<std::string> surrounding;
  // The process-wide dictionary until the session first changes its word lists.
  std::shared_ptr<const WordListDictionary> dictionary;
  std::uint64_t config_version = 0;
};

// A second access to Shared while it is being written, or a write while it is being read. The
// interface is single-threaded per session, so this can only be a bug below the boundary; it
// is contained like any other internal fault instead of blocking.
class AccessConflict : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Shared behind a run-time access check: any number of readers or one writer at a time.
class SharedCell {
 public:
  explicit SharedCell(Shared shared) : shared_(std::move(shared)) {}
  SharedCell(const SharedCell&) = delete;
  SharedCell& operator=(const SharedCell&) = delete;

  class Read {
   public:
    const Shared& operator*() const { return cell_->shared_; }
    const Shared* operator->() const { return &cell_->shared_; }
    Read(const Read&) = delete;
    Read& operator=(const Read&) = delete;
    ~Read() { --cell_->readers_; }

   private:
    friend class SharedCell;
    explicit Read(const SharedCell* cell) : cell_(cell) {}
    const SharedCell* cell_;
  };

  class Write {
   public:
    Shared& operator*() const { return cell_->shared_; }
    Shared* operator->() const { return &cell_->shared_; }
    Write(const Write&) = delete;
    Write& operator=(const Write&) = delete;
    ~Write() { cell_->writing_ = false; }

   private:
    friend class SharedCell;
    explicit Write(SharedCell* cell) : cell_(cell) {}
    SharedCell* cell_;
  };

  // Both throw AccessConflict when the access would conflict with one still open.
  Read read() const;
  Write write();

 private:
  Shared shared_;
  mutable int readers_ = 0;
  bool writing_ = false;
};

// The session's word lists, made private to it first when they are still shared with the
// process or another session, so that a change never reaches anyone else. Call under write
// access.
WordListDictionary& private_dictionary(Shared& shared);

// The four ports of a session, each reading or writing the same SharedCell.
class SharedPorts final : public qrx_engine::ports::ConfigStore,
                          public qrx_engine::ports::AppContext,
                          public qrx_engine::ports::SurroundingText,
                          public qrx_engine::ports::Dictionary {
 public:
  explicit SharedPorts(std::shared_ptr<SharedCell> cell) : cell_(std::move(cell)) {}

  Config load() const override;
  void save(const Config& config) const override;
  std::optional<std::string> current_app() const override;
  std::optional<std::string> before_cursor(std::size_t max_chars) const override;
  bool before_cursor_into(std::size_t max_chars, std::string& out) const override;
  bool is_english(std::string_view word) const override;
  bool is_vietnamese(std::string_view word) const override;

 private:
  std::shared_ptr<SharedCell> cell_;
};

// One SharedPorts per port, in the order the session expects them.
qrx_engine::ports::Ports make_ports(const std::shared_ptr<SharedCell>& cell);

namespace shared_dictionary {
// The built-in word lists, built once per process on first use and never changed afterwards.
const std::shared_ptr<const WordListDictionary>& dictionary();
}  // namespace shared_dictionary

namespace qrx_charset_list {
// One line per charset identifier: identifier, tab, display name, line feed. Built once.
const std::string& list();
}  // namespace qrx_charset_list

// ---------------------------------------------------------------------------------------------
// Strings going out and action records.

// `text` without U+0000, written into `slot` (reusing its storage).
void store_without_nul(std::string& slot, std::string_view text);

// UTF-16 units of the first `chars` characters of `text` (the whole text when it has fewer),
// counted as the host receives the text: U+0000 is removed before it crosses, so it counts 0.
std::uint32_t utf16_units_of_prefix(std::string_view text, std::size_t chars);

// UTF-16 units of the last `chars` characters of `text`, counted the same way. Characters the
// text does not reach count one unit each: a deletion is never reported smaller than the
// session asked for, so a host that checks it against its field refuses rather than leaving
// old text in place.
std::uint32_t utf16_units_of_suffix(std::string_view text, std::size_t chars);

}  // namespace quorvix

// The session handle the host holds.
struct QrxSession {
  QrxSession(qrx_engine::session::ImeSession session, std::shared_ptr<quorvix::SharedCell> cell)
      : session(std::move(session)), shared(std::move(cell)) {}

  qrx_engine::session::ImeSession session;
  std::vector<std::uint8_t> byte_buffer;
  std::shared_ptr<quorvix::SharedCell> shared;
  std::string action_slot;
  std::string display_slot;
  // The session's shown_changes() whose text display_slot holds, when it holds it unchanged (no
  // U+0000 removed); kNoDisplay otherwise.
  static constexpr std::uint64_t kNoDisplay = ~std::uint64_t{0};
  std::uint64_t display_slot_changes = kNoDisplay;
  // The deletion, in UTF-16 units, of the replacement the last key returned; none after any other
  // action or operation. A plan for that replacement may delete only the session's own text
  // (session.replaced_text()).
  std::optional<std::uint32_t> key_replace_units;
  std::string plan_slot;
  std::string json_slot;
  std::string charset_slot;
  // Where a byte conversion is decoded before it takes the charset slot's place: a failing
  // conversion leaves the slot as it was, and both keep their memory for the next large text.
  std::string charset_scratch;
};

namespace quorvix {

// A new handle over the given configuration, or an exception.
std::unique_ptr<QrxSession> make_session(Config config, qrx_engine::ports::OutputMode mode);

// The pass record: every byte zero, padding included, as the neutral result of every function
// that returns an action.
QrxAction zero_action();

// The C record of `action`; its text goes to the handle's action slot (a pass leaves the slot
// alone). Deletions are measured against `before`, the text before the caret when the action
// was computed.
QrxAction to_c(QrxSession& handle, const qrx_engine::session::Action& action, std::string_view before);

}  // namespace quorvix
