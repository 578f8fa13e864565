#include <qrx_engine/testing.h>

#include <qrx_unicode/unicode.h>

#include <stdexcept>

namespace qrx_engine::testing {
namespace {

using ports::WordListDictionary;
using session::Action;
using session::Key;
using session::KeyEvent;

class SharedConfigStore : public ports::ConfigStore {
 public:
  SharedConfigStore(std::shared_ptr<ports::Config> config, std::shared_ptr<int> saves)
      : config_(std::move(config)), saves_(std::move(saves)) {}
  ports::Config load() const override { return *config_; }
  void save(const ports::Config& config) const override {
    *config_ = config;
    ++*saves_;
  }

 private:
  std::shared_ptr<ports::Config> config_;
  std::shared_ptr<int> saves_;
};

class FixedAppContext : public ports::AppContext {
 public:
  explicit FixedAppContext(std::shared_ptr<std::optional<std::string>> app) : app_(std::move(app)) {}
  std::optional<std::string> current_app() const override { return *app_; }

 private:
  std::shared_ptr<std::optional<std::string>> app_;
};

class HostSurroundingText : public ports::SurroundingText {
 public:
  HostSurroundingText(std::shared_ptr<TestHost> host, std::shared_ptr<bool> known)
      : host_(std::move(host)), known_(std::move(known)) {}
  std::optional<std::string> before_cursor(std::size_t max_chars) const override {
    if (!*known_) return std::nullopt;
    const std::u32string before = qrx_unicode::decode_utf8(host_->before_caret());
    const std::size_t start = before.size() > max_chars ? before.size() - max_chars : 0;
    return qrx_unicode::encode_utf8(std::u32string_view(before).substr(start));
  }

 private:
  std::shared_ptr<TestHost> host_;
  std::shared_ptr<bool> known_;
};

class BuiltinDictionary : public ports::Dictionary {
 public:
  bool is_english(std::string_view word) const override { return words().is_english(word); }
  bool is_vietnamese(std::string_view word) const override { return words().is_vietnamese(word); }

 private:
  static const WordListDictionary& words() {
    static const WordListDictionary dictionary = WordListDictionary::make_default();
    return dictionary;
  }
};

}  // namespace

// ---- TestHost -------------------------------------------------------------------------------

void TestHost::insert(std::string_view text) { before_ += qrx_unicode::decode_utf8(text); }

void TestHost::delete_before(std::size_t count) {
  const std::size_t n = std::min(count, before_.size());
  overdeleted_ += count - n;
  before_.erase(before_.size() - n);
}

void TestHost::type_key(const KeyEvent& event) {
  const Key& key = event.key;
  if (event.has_modifier()) return;  // shortcuts do not edit the text in this host
  switch (key.kind) {
    case Key::Kind::Char:
      before_.push_back(key.ch);
      break;
    case Key::Kind::Enter:
      before_.push_back(U'\n');
      break;
    case Key::Kind::Tab:
      before_.push_back(U'\t');
      break;
    case Key::Kind::Backspace:
      delete_before(before_.empty() ? 0 : 1);
      break;
    case Key::Kind::Left:
      if (!before_.empty()) {
        after_.insert(after_.begin(), before_.back());
        before_.pop_back();
      }
      break;
    case Key::Kind::Right:
      if (!after_.empty()) {
        before_.push_back(after_.front());
        after_.erase(after_.begin());
      }
      break;
    default:
      break;
  }
}

void TestHost::apply(const Action& action, const KeyEvent& event) {
  switch (action.kind()) {
    case Action::Kind::Pass:
      // A host types the key itself; with marked text showing, it commits that text first.
      if (!marked_.empty()) {
        before_ += marked_;
        marked_.clear();
      }
      type_key(event);
      break;
    case Action::Kind::Preedit:
      marked_ = qrx_unicode::decode_utf8(action.as<Action::Preedit>()->text);
      break;
    case Action::Kind::Replace: {
      const auto& replace = *action.as<Action::Replace>();
      marked_.clear();
      delete_before(replace.delete_count);
      insert(replace.text);
      if (replace.pass_key) type_key(event);
      break;
    }
    case Action::Kind::Commit: {
      const auto& commit = *action.as<Action::Commit>();
      marked_.clear();
      insert(commit.text);
      if (commit.pass_key) type_key(event);
      break;
    }
  }
}

std::string TestHost::text() const { return qrx_unicode::encode_utf8(before_ + marked_ + after_); }
std::string TestHost::before_caret() const { return qrx_unicode::encode_utf8(before_); }
std::string TestHost::marked() const { return qrx_unicode::encode_utf8(marked_); }

void TestHost::set_text(std::string_view before, std::string_view after) {
  before_ = qrx_unicode::decode_utf8(before);
  after_ = qrx_unicode::decode_utf8(after);
  marked_.clear();
}

// ---- Environment and harness --------------------------------------------------------------

ports::Ports TestEnvironment::make_ports() const {
  return ports::Ports(
      std::make_unique<SharedConfigStore>(saved_config, saves), std::make_unique<FixedAppContext>(app),
      std::make_unique<HostSurroundingText>(host, surrounding_known), std::make_unique<BuiltinDictionary>());
}

std::vector<KeyEvent> parse_keys(std::string_view script) {
  std::vector<KeyEvent> keys;
  for (std::size_t pos = 0; pos < script.size();) {
    if (script[pos] == '{') {
      const std::size_t close = script.find('}', pos + 1);
      if (close == std::string_view::npos || close == pos + 1) throw std::invalid_argument("bad key script");
      std::string_view name = script.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      KeyEvent event;
      if (name.size() > 1 && (name[0] == '^' || name[0] == '~')) {
        event = KeyEvent::parse(name.substr(1));
        (name[0] == '^' ? event.ctrl : event.meta) = true;
      } else {
        event = KeyEvent::parse(name);
      }
      keys.push_back(event);
    } else {
      keys.push_back(KeyEvent{Key::character(qrx_unicode::next_char(script, pos))});
    }
  }
  return keys;
}

namespace {
ports::Config config_from(std::string_view json) {
  auto config = ports::Config::from_json(json);
  if (!config.ok()) throw std::invalid_argument("test configuration: " + config.error().to_string());
  return std::move(config).value();
}

ports::Ports prepare(TestEnvironment& env, std::string_view config_json, std::optional<std::string> app) {
  *env.saved_config = config_from(config_json);
  *env.app = std::move(app);
  return env.make_ports();
}
}  // namespace

SessionHarness::SessionHarness(std::string_view config_json, ports::OutputMode mode,
                               std::optional<std::string> app)
    : env_(), session_(prepare(env_, config_json, std::move(app)), mode) {}

Action SessionHarness::type(std::string_view script) {
  Action last = Action::pass();
  for (const KeyEvent& event : parse_keys(script)) {
    last = session_.process_key(event);
    env_.host->apply(last, event);
  }
  return last;
}

}  // namespace qrx_engine::testing
