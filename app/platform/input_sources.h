// The input method framework's list of input methods, as the maintenance command line sees it:
// which are installed, enabled and selected, and the requests that change that; and the user's
// stored list of enabled input methods, which the command line edits when the framework cannot
// be asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::platform {

// The outcome of a request: code 0 when it was carried out, else one of the codes below, with a
// reason a person can act on.
struct InputSourceStatus {
  std::int32_t code = 0;
  std::string reason;

  bool ok() const { return code == 0; }
};

namespace input_source_status {
inline constexpr std::int32_t kSuccess = 0;
// The framework is not running, or cannot be reached.
inline constexpr std::int32_t kUnreachable = 1;
// The framework answered with an error, or did not do what was asked.
inline constexpr std::int32_t kRefused = 2;
// A file that registration copies or points to is not installed beside the executable.
inline constexpr std::int32_t kNotInstalled = 3;
// A registration file could not be written.
inline constexpr std::int32_t kWriteFailed = 4;
}  // namespace input_source_status

// One installed input method. A property the framework did not tell is absent.
struct InputSource {
  std::optional<std::string> identifier;
  std::optional<bool> enabled;
  std::optional<bool> selected;

  friend bool operator==(const InputSource&, const InputSource&) = default;
};

class InputSources {
 public:
  virtual ~InputSources() = default;

  // Every installed input method, enabled or not, in the framework's order; absent when the
  // list cannot be obtained.
  virtual std::optional<std::vector<InputSource>> list() = 0;
  // Makes the framework know the application's own input methods.
  virtual InputSourceStatus registerOwn() = 0;
  // Undoes registerOwn: the framework no longer finds the application's own input methods.
  virtual InputSourceStatus unregisterOwn() = 0;
  virtual InputSourceStatus enable(const InputSource& source) = 0;
  // Takes the input method out of every group of enabled input methods the framework has.
  virtual InputSourceStatus disable(const InputSource& source) = 0;
  virtual InputSourceStatus select(const InputSource& source) = 0;
  // The library the framework would load for the input method, when it is not there (an
  // installation that was moved or deleted after it was registered); absent when it is there, or
  // when the input method needs none.
  virtual std::optional<std::string> missingLibrary(const InputSource& source) = 0;
};

// What the user's stored list of enabled input methods holds.
struct StoredInputMethods {
  // The names of the stored entries, in stored order; empty when nothing is stored.
  std::vector<std::string> names;
  // Empty when the list was read; else why what is stored cannot be read as such a list.
  std::string problem;

  bool readable() const { return problem.empty(); }
};

// The user's stored list of enabled input methods, read by the framework when it starts.
class EnabledInputMethodsPreference {
 public:
  virtual ~EnabledInputMethodsPreference() = default;

  virtual StoredInputMethods stored() = 0;
  // Adds an entry for the input method `name` at the end of the list and writes it. A list that
  // cannot be read is left as it is.
  virtual InputSourceStatus append(std::string_view name) = 0;
  // Takes every entry for the input method `name` out of the list and writes it, when there was
  // one. A list that cannot be read is left as it is.
  virtual InputSourceStatus remove(std::string_view name) = 0;
};

}  // namespace quorvix::platform
