// What the executable's own tests cannot reach: a stored list of input methods that cannot be
// written, and the clipboard conversion's process on a clipboard the test holds.
#include "quorvix_app/process_entry.h"

#include <gtest/gtest.h>

#include <sstream>

#include "fake_platform.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

class FakePreference : public platform::EnabledInputMethodsPreference {
 public:
  std::optional<std::vector<std::string>> names = std::vector<std::string>{};
  bool writable = true;
  platform::StoredInputMethods stored() override {
    if (!names) return {{}, "profile cannot be read"};
    return {*names, ""};
  }
  platform::InputSourceStatus append(std::string_view name) override {
    if (!names || !writable) return {platform::input_source_status::kWriteFailed, "read-only"};
    names->emplace_back(name);
    return {};
  }
  platform::InputSourceStatus remove(std::string_view name) override {
    if (!names || !writable) return {platform::input_source_status::kWriteFailed, "read-only"};
    std::erase(*names, name);
    return {};
  }
};

TEST(InputSourceRegistrar, AddsOneEntryAndNeverReplacesAListItCannotRead) {
  using Names = std::vector<std::string>;
  struct Row {
    std::optional<Names> stored;
    bool writable;
    bool ensured;
    std::optional<Names> after;
    const char* reason;
  };
  const Row rows[] = {
      {Names{"keyboard-us"}, true, true, Names{"keyboard-us", "quorvix"}, ""},
      {Names{"quorvix", "pinyin"}, false, true, Names{"quorvix", "pinyin"}, ""},
      {Names{}, false, false, Names{}, "read-only"},
      {std::nullopt, true, false, std::nullopt, "profile cannot be read; it was left as it is"},
  };
  for (const auto& row : rows) {
    FakePreference preference;
    preference.names = row.stored;
    preference.writable = row.writable;
    EXPECT_EQ(InputSourceRegistrar::ensureEnabled(preference).reason, row.reason);
    EXPECT_EQ(InputSourceRegistrar::ensureEnabled(preference).ok(), row.ensured)
        << "a second run changes nothing";
    EXPECT_EQ(preference.names, row.after);
    EXPECT_EQ(InputSourceRegistrar::isEnabled(preference), row.ensured);
  }
}

TEST(InputSourceRegistrar, TakesOutEveryEntryOfItsOwnAndNeverWritesAListItCannotRead) {
  using Names = std::vector<std::string>;
  struct Row {
    std::optional<Names> stored;
    bool writable;
    bool removed;
    std::optional<Names> after;
  };
  const Row rows[] = {
      {Names{"keyboard-us", "quorvix", "pinyin", "quorvix-vni", "quorvix"}, true, true,
       Names{"keyboard-us", "pinyin"}},
      {Names{"keyboard-us"}, false, true, Names{"keyboard-us"}},
      {Names{"quorvix"}, false, false, Names{"quorvix"}},
      {std::nullopt, true, false, std::nullopt},
  };
  for (const auto& row : rows) {
    FakePreference preference;
    preference.names = row.stored;
    preference.writable = row.writable;
    EXPECT_EQ(InputSourceRegistrar::ensureRemoved(preference).ok(), row.removed);
    EXPECT_EQ(preference.names, row.after);
    EXPECT_FALSE(row.removed && InputSourceRegistrar::isEnabled(preference));
  }
}

class NoInputSources : public platform::InputSources {
 public:
  std::optional<std::vector<platform::InputSource>> list() override { return std::nullopt; }
  platform::InputSourceStatus registerOwn() override { return {}; }
  platform::InputSourceStatus unregisterOwn() override { return {}; }
  platform::InputSourceStatus enable(const platform::InputSource&) override { return {}; }
  platform::InputSourceStatus disable(const platform::InputSource&) override { return {}; }
  platform::InputSourceStatus select(const platform::InputSource&) override { return {}; }
  std::optional<std::string> missingLibrary(const platform::InputSource&) override { return std::nullopt; }
};

// The conversion runs only when its option comes first, and then reads every later argument as
// one of its operands, never as a maintenance option.
TEST(ClipboardProcess, ConvertsOnlyWhenAskedFirstAndSaysWhyItLeftTheClipboardAlone) {
  struct Row {
    std::vector<std::string> arguments;
    std::optional<std::string> before;
    std::optional<std::string> after;
    int exitStatus;
    std::string out;
    std::string err;
  } rows[] = {
      {{"--transform-clipboard", "encode", "viqr"}, "Việt Nam", "Vie^.t Nam", 0, "", ""},
      {{"--transform-clipboard", "strip"}, "Việt Nam", "Viet Nam", 0, "", ""},
      {{"--transform-clipboard", "decode", "tcvn3", "--status"}, "ViÖt", "Việt", 0, "", ""},
      {{"--transform-clipboard", "strip", ""},
       std::nullopt,
       std::nullopt,
       1,
       "",
       "quorvix: the clipboard holds no text; it was left as it was\n"},
      {{"--transform-clipboard", "--status", "--preferences"},
       "Việt",
       "Việt",
       1,
       "",
       "quorvix: the clipboard's text cannot be converted by \"--status\" \"--preferences\"; it was left as "
       "it "
       "was\n"},
      {{"--transform-clipboard"},
       "Việt",
       "Việt",
       1,
       "",
       "quorvix: the clipboard's text cannot be converted by \"\" \"\"; it was left as it was\n"},
      {{"--status", "--transform-clipboard", "strip"},
       "Việt",
       "Việt",
       0,
       "Quorvix: chưa đăng ký input source\nprefs fcitx5 profile: false\noutput_mode: replace\n",
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.front());
    testing::TempFiles files;
    NoInputSources sources;
    FakePreference preference;
    testing::FakeClipboard clipboard;
    clipboard.text = row.before;
    std::ostringstream out, err;
    int runs = 0;
    ProcessServices services{
        .files = files,
        .inputSources = sources,
        .enabledInputMethods = preference,
        .runPreferences = [] { return 9; },
        .runClipboard =
            [&](const auto& transform) {
              ++runs;
              return transform(clipboard) ? 0 : 1;
            },
        .runServer = [] { return 9; },
        .out = out,
        .err = err,
    };
    EXPECT_EQ(processMain(row.arguments, services), row.exitStatus);
    EXPECT_EQ(runs, row.arguments.front() == transformClipboardOption ? 1 : 0);
    EXPECT_EQ(clipboard.text, row.after);
    EXPECT_EQ(out.str(), row.out);
    EXPECT_EQ(err.str(), row.err);
  }
}

// Started by the input method, with no terminal to read it, the conversion says why it failed in
// the input method's log, naming the conversion but never the clipboard's text.
TEST(ClipboardProcess, SaysWhyItFailedInTheLogItIsGiven) {
  const struct {
    std::vector<std::string> arguments;
    std::optional<std::string> before;
    std::vector<std::string> warned;
  } rows[] = {
      {{"--transform-clipboard", "strip", ""}, "Việt", {}},
      {{"--transform-clipboard", "strip", ""},
       std::nullopt,
       {"The clipboard conversion failed: the clipboard holds no text; it was left as it was"}},
      {{"--transform-clipboard", "rot13", "x"},
       "Việt",
       {"The clipboard conversion failed: the clipboard's text cannot be converted by \"rot13\" \"x\"; it was "
        "left as it was"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments[1]);
    testing::TempFiles files;
    NoInputSources sources;
    FakePreference preference;
    testing::FakeClipboard clipboard;
    clipboard.text = row.before;
    testing::RecordedReports reports;
    std::ostringstream out, err;
    ProcessServices services{
        .files = files,
        .inputSources = sources,
        .enabledInputMethods = preference,
        .runPreferences = [] { return 9; },
        .runClipboard = [&](const auto& transform) { return transform(clipboard) ? 0 : 1; },
        .runServer = [] { return 9; },
        .out = out,
        .err = err,
        .reports = &reports,
    };
    EXPECT_EQ(processMain(row.arguments, services), row.warned.empty() ? 0 : 1);
    EXPECT_EQ(reports.warned, row.warned);
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
}  // namespace quorvix::app
