// Ready-made configuration stores (one on a JSON file, one in memory) that no host of Quorvix
// uses, and a simulated host for exercising sessions: a text buffer with a caret and marked text
// that applies each Action exactly as an input-method host would, with ports that read what that
// buffer holds and the built-in word lists.
#pragma once

#include <qrx_engine/ports.h>
#include <qrx_engine/session.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrx_engine::testing {

// A configuration store on one JSON file.
class JsonFileConfigStore : public ports::ConfigStore {
 public:
  explicit JsonFileConfigStore(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& path() const { return path_; }

  // The file's configuration, or the defaults when it cannot be read or parsed.
  ports::Config load() const override;
  // Writes the pretty form through a temporary file beside the target, renamed over it, so that
  // the file is never left half-written.
  void save(const ports::Config& config) const override;

 private:
  std::filesystem::path path_;
};

// A configuration store in memory.
class MemoryConfigStore : public ports::ConfigStore {
 public:
  MemoryConfigStore() = default;
  explicit MemoryConfigStore(ports::Config config) : config_(std::move(config)) {}

  ports::Config load() const override { return config_; }
  void save(const ports::Config& config) const override { config_ = config; }

 private:
  mutable ports::Config config_;
};

// The document of one text field.
class TestHost {
 public:
  // Applies what the session answered to `event`.
  void apply(const session::Action& action, const session::KeyEvent& event);

  // The document as shown: committed text with the marked text at the caret.
  std::string text() const;
  // Only what is committed before the caret (what a host reports as surrounding text).
  std::string before_caret() const;
  std::string marked() const;

  // Host-side edits the session does not see (a click elsewhere, a paste).
  void set_text(std::string_view before, std::string_view after = {});
  // The number of characters the last Replace deleted beyond the start of the text: a
  // deletion the document could not hold.
  std::size_t overdeleted() const { return overdeleted_; }

 private:
  void type_key(const session::KeyEvent& event);
  void delete_before(std::size_t count);
  void insert(std::string_view text);

  std::u32string before_;
  std::u32string after_;
  std::u32string marked_;
  std::size_t overdeleted_ = 0;
};

// Ports over a TestHost: the configuration in memory, a fixed application, the host's text
// before the caret (or none when `surrounding_known` is false), and the built-in word lists.
struct TestEnvironment {
  std::shared_ptr<TestHost> host = std::make_shared<TestHost>();
  std::shared_ptr<ports::Config> saved_config = std::make_shared<ports::Config>();
  std::shared_ptr<std::optional<std::string>> app = std::make_shared<std::optional<std::string>>();
  std::shared_ptr<bool> surrounding_known = std::make_shared<bool>(true);
  std::shared_ptr<int> saves = std::make_shared<int>(0);

  ports::Ports make_ports() const;
};

// Splits a key script into key events: every character is one key, "{Name}" is a named key
// ("{Backspace}", "{Enter}", "{Left}", "{Shift}", ...), "{^x}" is Control+x and "{~x}" is
// Command+x.
std::vector<session::KeyEvent> parse_keys(std::string_view script);

// A session in a simulated field.
class SessionHarness {
 public:
  // `config_json` is read by the configuration rules; an invalid text is a test bug and throws.
  explicit SessionHarness(std::string_view config_json = "{}",
                          ports::OutputMode mode = ports::OutputMode::Replace,
                          std::optional<std::string> app = std::nullopt);

  // Feeds a key script and applies every action to the host; returns the last action.
  session::Action type(std::string_view script);
  // Feeds one key event without applying it.
  session::Action press(const session::KeyEvent& event) { return session_.process_key(event); }

  std::string text() const { return env_.host->text(); }
  session::ImeSession& session() { return session_; }
  TestEnvironment& environment() { return env_; }
  TestHost& host() { return *env_.host; }

 private:
  TestEnvironment env_;
  session::ImeSession session_;
};

}  // namespace qrx_engine::testing
