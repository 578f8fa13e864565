// What one session operation asks of the host. Counts are in characters (Unicode scalar
// values) so the session never has to know how the host measures its text; the adapter turns
// them into the host's own units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace qrx_engine::session {

struct Action {
  // The host handles the key itself, as if no input method were there.
  struct Pass {
    friend bool operator==(const Pass&, const Pass&) = default;
  };
  // Show `text` as marked text, caret after `cursor` characters; the key is consumed.
  struct Preedit {
    std::string text;
    std::size_t cursor = 0;
    friend bool operator==(const Preedit&, const Preedit&) = default;
  };
  // Delete `delete_count` characters before the caret, insert `text`, then deliver the key
  // when `pass_key` is set.
  struct Replace {
    std::string text;
    std::size_t delete_count = 0;
    bool pass_key = false;
    friend bool operator==(const Replace&, const Replace&) = default;
  };
  // Commit `text`, ending any marked text, then deliver the key when `pass_key` is set.
  struct Commit {
    std::string text;
    bool pass_key = false;
    friend bool operator==(const Commit&, const Commit&) = default;
  };

  // Same order as the alternatives of `value`, so a switch on `kind()` covers them all.
  enum class Kind : std::uint8_t { Pass, Preedit, Replace, Commit };

  std::variant<Pass, Preedit, Replace, Commit> value;

  // Each built in place in the returned action: a text moved once more costs as much as the rest.
  static Action pass() { return Action{Pass{}}; }
  static Action preedit(std::string text, std::size_t cursor) {
    Action action{Preedit{}};
    Preedit& p = std::get<Preedit>(action.value);
    p.text = std::move(text);
    p.cursor = cursor;
    return action;
  }
  static Action replace(std::string text, std::size_t delete_count, bool pass_key) {
    Action action{Replace{}};
    Replace& r = std::get<Replace>(action.value);
    r.text = std::move(text);
    r.delete_count = delete_count;
    r.pass_key = pass_key;
    return action;
  }
  static Action commit(std::string text, bool pass_key) {
    Action action{Commit{}};
    Commit& c = std::get<Commit>(action.value);
    c.text = std::move(text);
    c.pass_key = pass_key;
    return action;
  }

  Kind kind() const { return static_cast<Kind>(value.index()); }

  // The alternative `T`, or null when the action is of another kind.
  template <class T>
  const T* as() const {
    return std::get_if<T>(&value);
  }
  template <class T>
  T* as() {
    return std::get_if<T>(&value);
  }

  friend bool operator==(const Action&, const Action&) = default;
};

}  // namespace qrx_engine::session
