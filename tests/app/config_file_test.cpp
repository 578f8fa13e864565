#include "quorvix_app/config_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "config_problem_print.h"
#include "odd_files.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

namespace fs = std::filesystem;
using testing::TempFiles;
using namespace std::string_view_literals;

// The file store over a temporary folder, with switches that make single operations fail.
class FlakyFiles : public TempFiles {
 public:
  std::optional<fs::path> failWritesTo;
  bool noFolder = false;
  std::optional<fs::path> userConfigurationDirectory() override {
    return noFolder ? std::nullopt : TempFiles::userConfigurationDirectory();
  }
  platform::FileResult writeAtomically(const fs::path& p, std::string_view b) override {
    if (p == failWritesTo) return platform::FileResult::failed("No space left on device");
    return TempFiles::writeAtomically(p, b);
  }
};

class ConfigFileTest : public ::testing::Test {
 protected:
  void put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::optional<std::string> contents(const fs::path& path) { return files.read(path); }

  FlakyFiles files;
  ConfigFile config{files};
};

TEST_F(ConfigFileTest, EnsureExistsWritesTheDefaultTextOnceAndNeverOverwrites) {
  // The default layout, built here from its key table: one key per line, two spaces in.
  const std::pair<const char*, const char*> keys[] = {
      {"schema_version", "1"},
      {"input_method", "\"telex\""},
      {"tone_style", "\"new\""},
      {"spell_check", "true"},
      {"w_as_u", "false"},
      {"bracket_keys", "false"},
      {"quick_telex", "false"},
      {"allow_coda_k", "false"},
      {"macro_enabled", "true"},
      {"macro_digits", "false"},
      {"macro_undo", "true"},
      {"macros", "{\"ko\": \"không\", \"vn\": \"Việt Nam\"}"},
      {"auto_capitalize", "false"},
      {"excluded_apps", "[\"minecraft\"]"},
      {"default_vietnamese", "true"},
      {"edit_previous_word", "true"},
      {"restore_after_space", "true"},
      {"smart_caps", "false"},
      {"output_mode", "\"replace\""},
      {"unicode_form", "\"NFC\""},
  };
  std::string expected = "{\n";
  for (const auto& [key, value] : keys) expected += std::string("  \"") + key + "\": " + value + ",\n";
  expected.replace(expected.size() - 2, 2, "\n}");

  config.ensureExists();
  EXPECT_EQ(contents(config.path()), expected);
  EXPECT_EQ(expected.size(), 542u);
  EXPECT_EQ(config.path(), files.root() / "config" / "quorvix" / "config.json");

  for (const std::string existing : {"", "not json", "{\"input_method\": \"vni\"}"}) {
    put(config.path(), existing);
    config.ensureExists();
    EXPECT_EQ(contents(config.path()), existing);
  }
  EXPECT_FALSE(files.exists(config.backupPath()));
}

TEST_F(ConfigFileTest, OutputModeIsPreeditOnlyForThatWordInAnyCase) {
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {std::nullopt, "replace"},
      {R"({"output_mode": "Preedit"})", "preedit"},
      {R"({"output_mode": "PREEDIT"})", "preedit"},
      {R"({"output_mode": "replace"})", "replace"},
      {R"({"output_mode": "pre-edit"})", "replace"},
      {R"({"output_mode": 0})", "replace"},
      {R"({"spell_check": true})", "replace"},
      {R"([{"output_mode": "preedit"}])", "replace"},
      {R"({"output_mode": "preedit")", "replace"},
      {R"({"output_mode": "replace", "output_mode": "preedit"})", "preedit"},
  };
  for (const auto& [text, mode] : cases) {
    fs::remove(config.path());
    if (text) put(config.path(), *text);
    EXPECT_EQ(config.outputMode(), mode) << text.value_or("(no file)");
  }
}

TEST_F(ConfigFileTest, LoadGivesTextOnlyWhenItIsUtf8) {
  EXPECT_EQ(config.load(), std::nullopt);
  put(config.path(), "not json, but text");
  EXPECT_EQ(config.load(), "not json, but text");
  put(config.path(), "{\"a\": \"\xC3\"}");
  EXPECT_EQ(config.load(), std::nullopt);
  EXPECT_TRUE(config.loadDictionary().empty());
}

// One read gives the text, the object it holds and, for a file that is there, why it holds none.
TEST_F(ConfigFileTest, ContentsSayWhyAFileHoldsNoObjectOfSettings) {
  using Repeated = std::vector<std::pair<std::string, qrx_json::Position>>;
  struct Row {
    std::optional<std::string_view> file;  // in the notation of odd_files.h; none: no file
    std::optional<std::string> text;
    std::size_t settings;
    std::optional<ConfigProblem> problem;
    Repeated repeated;
  } rows[] = {
      {std::nullopt, std::nullopt, 0, std::nullopt, {}},
      {odd_files::kFolder,
       std::nullopt,
       0,
       ConfigProblem{0, 0, "cannot be read (a folder, not a regular file)"},
       {}},
      {"\xEF\xBB\xBF{\"a\": 1}", "{\"a\": 1}", 1, std::nullopt, {}},
      {"{\"a\": 1,\n \"b\": 2,\n \"a\": 3}",
       "{\"a\": 1,\n \"b\": 2,\n \"a\": 3}",
       2,
       std::nullopt,
       {{"a", {3, 7}}}},
      {"{\n\"a\": \"\xC3\"}", std::nullopt, 0, ConfigProblem{2, 7, "is not UTF-8 text"}, {}},
      {"{\"a\": tru}", "{\"a\": tru}", 0, ConfigProblem{1, 9, "is not JSON: expected value"}, {}},
      {"\"a\"", "\"a\"", 0, ConfigProblem{1, 3, "holds text, not an object of settings"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.file.value_or("(no file)")));
    files.remove(config.path());
    std::error_code ignored;
    fs::remove_all(config.path(), ignored);
    if (row.file) odd_files::place(config.path(), *row.file);
    const auto contents = config.loadContents();
    EXPECT_EQ(contents.text, row.text);
    EXPECT_EQ(contents.dictionary.size(), row.settings);
    EXPECT_EQ(contents.problem, row.problem);
    ASSERT_EQ(contents.repeated.size(), row.repeated.size());
    for (std::size_t i = 0; i < row.repeated.size(); ++i) {
      EXPECT_EQ(contents.repeated[i].first, row.repeated[i].first);
      EXPECT_EQ(contents.repeated[i].second.line, row.repeated[i].second.line);
      EXPECT_EQ(contents.repeated[i].second.column, row.repeated[i].second.column);
    }
  }
}

TEST_F(ConfigFileTest, SaveKeepsThePreviousFileAsBackupAndMovesTheDate) {
  EXPECT_TRUE(config.save("first"));
  EXPECT_FALSE(files.exists(config.backupPath()));
  std::vector<std::optional<platform::FileIdentity>> dates{config.modificationDate()};
  for (const char* text : {"second", "third"}) {
    EXPECT_TRUE(config.save(text));
    dates.push_back(config.modificationDate());
  }
  EXPECT_EQ(contents(config.path()), "third");
  EXPECT_EQ(contents(config.backupPath()), "second");
  ASSERT_TRUE(dates[0] && dates[1] && dates[2]);
  EXPECT_NE(dates[0], dates[1]);
  EXPECT_NE(dates[1], dates[2]);
}

TEST_F(ConfigFileTest, UpdateEditsInPlaceKeepingEveryOtherKeySortedWithIntegers) {
  config.ensureExists();
  const auto before = contents(config.path());
  EXPECT_TRUE(config.update([](ConfigDictionary& d) { d["app_modes"] = qrx_json::Object{{"gedit", false}}; }));

  const auto text = contents(config.path()).value();
  EXPECT_NE(text.find("\"schema_version\": 1,"), std::string::npos) << text;
  EXPECT_LT(text.find("\"ko\""), text.find("\"vn\""));
  EXPECT_LT(text.find("\"allow_coda_k\""), text.find("\"app_modes\""));
  auto reread = config.loadDictionary();
  EXPECT_EQ(reread.size(), 21u);
  EXPECT_EQ(reread["input_method"], qrx_json::Value("telex"));
  EXPECT_EQ(reread["app_modes"], qrx_json::Value(qrx_json::Object{{"gedit", false}}));
  EXPECT_EQ(contents(config.backupPath()), before);
}

TEST_F(ConfigFileTest, SavesNestedObjectsSortedWithTheLastValueOfARepeatedName) {
  put(config.path(), R"({"macros": {"vn": "a", "ko": "b", "vn": "c"}, "list": [{"z": 1, "a": 2, "z": 3}]})");
  EXPECT_TRUE(config.update([](ConfigDictionary&) {}));
  EXPECT_EQ(contents(config.path()),
            "{\n  \"list\": [\n    {\n      \"a\": 2,\n      \"z\": 3\n    }\n  ],\n"
            "  \"macros\": {\n    \"ko\": \"b\",\n    \"vn\": \"c\"\n  }\n}");
}

TEST_F(ConfigFileTest, UpdateOfAMissingFileWritesOnlyTheEditedKeys) {
  EXPECT_TRUE(config.update([](ConfigDictionary& d) { d["input_method"] = "vni"; }));
  EXPECT_EQ(contents(config.path()), "{\n  \"input_method\": \"vni\"\n}");
}

// A file that is not a JSON object holds the user's settings in a form we cannot read: updating it
// would keep only the edited keys, and a second update would overwrite the backup as well.
TEST_F(ConfigFileTest, UpdateLeavesAFileItCannotReadAsAnObjectAlone) {
  for (const std::string broken : {"[1, 2]", "{\"spell_check\": tru", "\"text\"", ""}) {
    put(config.path(), broken);
    put(config.backupPath(), "older settings");
    EXPECT_FALSE(config.update([](ConfigDictionary& d) { d["input_method"] = "vni"; })) << broken;
    EXPECT_EQ(contents(config.path()), broken);
    EXPECT_EQ(contents(config.backupPath()), "older settings");
  }
}

TEST_F(ConfigFileTest, AFailedWriteChangesNothingAndSaysWhy) {
  ASSERT_TRUE(config.save("{\"first\": 1}"));
  ASSERT_TRUE(config.save("{\"second\": 2}"));

  // Without its backup the file would be lost should the new text be wrong.
  files.failWritesTo = config.backupPath();
  auto saved = config.save("third");
  EXPECT_FALSE(saved);
  EXPECT_NE(saved.problem.find("config.json.bak could not be written (No space left on device)"),
            std::string::npos)
      << saved.problem;
  EXPECT_EQ(contents(config.path()), "{\"second\": 2}");
  EXPECT_EQ(contents(config.backupPath()), "{\"first\": 1}");

  files.failWritesTo = config.path();
  saved = config.save("third");
  EXPECT_EQ(saved.problem, config.path().string() + " could not be written: No space left on device");
  EXPECT_EQ(contents(config.path()), "{\"second\": 2}");
  EXPECT_EQ(contents(config.backupPath()), "{\"second\": 2}") << "the backup is the file as it still is";

  files.noFolder = true;
  EXPECT_EQ(config.path(), fs::path());
  EXPECT_FALSE(config.ensureExists());
  EXPECT_EQ(config.load(), std::nullopt);
  EXPECT_EQ(config.outputMode(), "replace");
  EXPECT_EQ(config.modificationDate(), std::nullopt);
  EXPECT_EQ(config.update([](ConfigDictionary& d) { d["x"] = 1; }).problem,
            "the user's configuration folder is unknown");
}

TEST_F(ConfigFileTest, SavingThroughALinkReplacesTheFileItPointsTo) {
  const auto target = files.root() / "dotfiles" / "quorvix.json";
  put(target, "{}");
  fs::create_directories(config.directory());
  fs::create_symlink(target, config.path());
  EXPECT_TRUE(config.update([](ConfigDictionary& d) { d["smart_caps"] = true; }));
  EXPECT_TRUE(fs::is_symlink(config.path()));
  EXPECT_EQ(contents(target), "{\n  \"smart_caps\": true\n}");
}

// Paths below the temporary folder, and what is there, in the notation of odd_files.h.
constexpr std::string_view kConfig = "config/quorvix/config.json";
constexpr std::string_view kBackup = "config/quorvix/config.json.bak";
constexpr std::string_view kDotfile = "dotfiles/quorvix.json";
using Disk = std::vector<std::pair<std::string_view, std::string_view>>;

constexpr std::string_view kSavedText = "{\"saved\": true}";
constexpr std::string_view kUpdatedVni = "{\n  \"input_method\": \"vni\"\n}";
constexpr std::string_view kUnparsable = "{\"input_method\": \"vni\",";
constexpr std::string_view kNotUtf8 = "\xFF\xFE{\0\"x\"\x80"sv;
constexpr std::string_view kWithByteOrderMark = "\xEF\xBB\xBF{\"app_modes\": {\"gedit\": false}}";
constexpr std::string_view kLinkToDotfile = "-> ../../dotfiles/quorvix.json";

enum class Operation { ensureExists, update, save };

struct OddFileCase {
  const char* name;
  Disk before;
  std::string_view unreadable;  // a path of `before` that the operation may not read
  Operation operation;
  const char* problem;  // nullptr: the operation succeeds; else part of the reason it gives
  Disk after;           // what differs from `before` afterwards
};

// clang-format off
const OddFileCase kOddFileCases[] = {
    {"ANamedPipeIsNeitherWaitedForNorReplaced", {{kConfig, odd_files::kNamedPipe}}, {}, Operation::save,
     "config.json cannot be read (a named pipe, not a regular file), so it was not replaced", {}},
    {"UpdateLeavesANamedPipeAlone", {{kConfig, odd_files::kNamedPipe}}, {}, Operation::update, "a named pipe", {}},
    {"ANamedPipeCountsAsAFile", {{kConfig, odd_files::kNamedPipe}}, {}, Operation::ensureExists, nullptr, {}},
    {"AFolderIsNotReplaced", {{kConfig, odd_files::kFolder}}, {}, Operation::save, "a folder, not a regular file", {}},
    {"ALinkToNothingGetsTheDefaultTarget", {{kConfig, kLinkToDotfile}, {"dotfiles", odd_files::kFolder}}, {},
     Operation::ensureExists, nullptr, {{kDotfile, ConfigFile::defaultText()}}},
    {"UpdateWritesThroughALinkToNothing", {{kConfig, kLinkToDotfile}, {"dotfiles", odd_files::kFolder}}, {},
     Operation::update, nullptr, {{kDotfile, kUpdatedVni}}},
    {"SaveWritesThroughALinkToALinkToNothing",
     {{kConfig, "-> ../../dotfiles/link"}, {"dotfiles/link", "-> quorvix.json"}}, {},
     Operation::save, nullptr, {{kDotfile, kSavedText}}},
    {"ALinkWhoseFolderIsMissingSaysSo", {{kConfig, kLinkToDotfile}}, {}, Operation::save,
     "dotfiles/quorvix.json: No such file or directory", {}},
    {"ALinkToItselfSaysSo", {{kConfig, "-> config.json"}}, {}, Operation::ensureExists,
     "Too many levels of symbolic links", {}},
    {"AByteOrderMarkIsReadAndNotWritten", {{kConfig, kWithByteOrderMark}}, {}, Operation::update, nullptr,
     {{kConfig, "{\n  \"app_modes\": {\n    \"gedit\": false\n  },\n  \"input_method\": \"vni\"\n}"},
      {kBackup, kWithByteOrderMark}}},
    {"UpdateLeavesUnparsableTextAlone", {{kConfig, kUnparsable}, {kBackup, "{}"}}, {}, Operation::update,
     "config.json is not a JSON object, so it was left as it is", {}},
    {"UpdateLeavesTextThatIsNotUtf8Alone", {{kConfig, kNotUtf8}}, {}, Operation::update, "not a JSON object", {}},
    {"SaveKeepsUnparsableTextAsTheBackup", {{kConfig, kUnparsable}, {kBackup, "{}"}}, {}, Operation::save, nullptr,
     {{kConfig, kSavedText}, {kBackup, kUnparsable}}},
    {"SaveKeepsTextThatIsNotUtf8AsTheBackup", {{kConfig, kNotUtf8}}, {}, Operation::save, nullptr,
     {{kConfig, kSavedText}, {kBackup, kNotUtf8}}},
    {"LaterSavesKeepTheUsersUnparsableBackup", {{kConfig, "{\"input_method\": \"vni\"}"}, {kBackup, kUnparsable}},
     {}, Operation::save, nullptr, {{kConfig, kSavedText}}},
    {"ANewerUnparsableTextTakesTheBackupsPlace", {{kConfig, "[1,"}, {kBackup, kUnparsable}}, {}, Operation::save,
     nullptr, {{kConfig, kSavedText}, {kBackup, "[1,"}}},
    {"ABlankFileDoesNotTakeTheBackupsPlace", {{kConfig, " \n"}, {kBackup, "{\"older\": 1}"}}, {}, Operation::save,
     nullptr, {{kConfig, kSavedText}}},
    {"AnUnreadableFileIsNotReplaced", {{kConfig, "{\"input_method\": \"vni\"}"}, {kBackup, "{\"older\": 1}"}},
     kConfig, Operation::save, "config.json cannot be read (Permission denied), so it was not replaced", {}},
    {"UpdateLeavesAnUnreadableFileAlone", {{kConfig, "{}"}}, kConfig, Operation::update,
     "cannot be read (Permission denied), so it was left as it is", {}},
    {"AnUnreadableBackupIsNotReplacedNorTheFile", {{kConfig, "{}"}, {kBackup, "{\"older\": 1}"}}, kBackup,
     Operation::save, "config.json.bak cannot be read (Permission denied), so neither it nor", {}},
    {"ANamedPipeAsTheBackupIsNotReplacedNorTheFile", {{kConfig, "{}"}, {kBackup, odd_files::kNamedPipe}}, {},
     Operation::save, "config.json.bak cannot be read (a named pipe, not a regular file)", {}},
};
// clang-format on

void PrintTo(const OddFileCase& c, std::ostream* os) { *os << c.name; }

class OddFiles : public ::testing::TestWithParam<OddFileCase> {};

TEST_P(OddFiles, AreHandledWithoutLosingAByte) {
  const auto& c = GetParam();
  TempFiles files;
  const ConfigFile config(files);
  for (const auto& [path, spec] : c.before) odd_files::place(files.root() / path, spec);
  odd_files::Unprivileged user(files.root(), c.unreadable);
  if (!user.unavailable().empty()) GTEST_SKIP() << user.unavailable();

  platform::FileResult result;
  user.run([&] {
    switch (c.operation) {
      case Operation::ensureExists:
        result = config.ensureExists();
        break;
      case Operation::update:
        result = config.update([](ConfigDictionary& d) { d["input_method"] = "vni"; });
        break;
      case Operation::save:
        result = config.save(kSavedText);
        break;
    }
  });

  if (c.problem) {
    EXPECT_NE(result.problem.find(c.problem), std::string::npos) << result.problem;
  } else {
    EXPECT_TRUE(result) << result.problem;
  }
  Disk expected = c.before;
  for (const auto& [path, spec] : c.after) {
    std::erase_if(expected, [&](const auto& entry) { return entry.first == path; });
    expected.emplace_back(path, spec);
  }
  if (std::ranges::none_of(expected, [](const auto& entry) { return entry.first == kBackup; })) {
    expected.emplace_back(kBackup, odd_files::kNone);
  }
  for (const auto& [path, spec] : expected) EXPECT_EQ(odd_files::onDisk(files.root() / path), spec) << path;
}

INSTANTIATE_TEST_SUITE_P(ConfigFile, OddFiles, ::testing::ValuesIn(kOddFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OddFilesRead, NeverWaitAndSkipAByteOrderMark) {
  const struct {
    std::string_view config;
    bool unreadable;
    std::optional<std::string> load;
    std::string outputMode;
  } rows[] = {
      {odd_files::kNone, false, std::nullopt, "replace"},
      {odd_files::kNamedPipe, false, std::nullopt, "replace"},
      {odd_files::kFolder, false, std::nullopt, "replace"},
      {kLinkToDotfile, false, std::nullopt, "replace"},
      {"\xEF\xBB\xBF{\"output_mode\": \"Preedit\"}", false, "{\"output_mode\": \"Preedit\"}", "preedit"},
      {"\xEF\xBB\xBF", false, "", "replace"},
      {"{\"output_mode\": \"preedit\"}", true, std::nullopt, "replace"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.config);
    TempFiles files;
    const ConfigFile config(files);
    odd_files::place(files.root() / kConfig, row.config);
    odd_files::Unprivileged user(files.root(), row.unreadable ? kConfig : "");
    if (!user.unavailable().empty()) GTEST_SKIP() << user.unavailable();
    user.run([&] {
      EXPECT_EQ(config.load(), row.load);
      EXPECT_EQ(config.outputMode(), row.outputMode);
    });
  }
}

}  // namespace
}  // namespace quorvix::app
