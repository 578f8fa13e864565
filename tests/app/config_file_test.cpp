#include "quorvix_app/config_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_files.h"

namespace quorvix::app {
namespace {

namespace fs = std::filesystem;
using testing::TempFiles;

// The file store over a temporary folder, with switches that make single operations fail.
class FlakyFiles : public TempFiles {
 public:
  bool failCopy = false, failWrite = false, noFolder = false;
  std::optional<fs::path> userConfigurationDirectory() override {
    return noFolder ? std::nullopt : TempFiles::userConfigurationDirectory();
  }
  bool copy(const fs::path& f, const fs::path& t) override { return !failCopy && TempFiles::copy(f, t); }
  bool writeAtomically(const fs::path& p, std::string_view b) override {
    return !failWrite && TempFiles::writeAtomically(p, b);
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

TEST_F(ConfigFileTest, SaveKeepsThePreviousFileAsBackupAndMovesTheDate) {
  EXPECT_TRUE(config.save("first"));
  EXPECT_FALSE(files.exists(config.backupPath()));
  std::vector<std::optional<platform::FileDate>> dates{config.modificationDate()};
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
  EXPECT_TRUE(config.update([](ConfigDictionary& d) { d["app_modes"] = json::Object{{"gedit", false}}; }));

  const auto text = contents(config.path()).value();
  EXPECT_NE(text.find("\"schema_version\": 1,"), std::string::npos) << text;
  EXPECT_LT(text.find("\"ko\""), text.find("\"vn\""));
  EXPECT_LT(text.find("\"allow_coda_k\""), text.find("\"app_modes\""));
  auto reread = config.loadDictionary();
  EXPECT_EQ(reread.size(), 21u);
  EXPECT_EQ(reread["input_method"], json::Value("telex"));
  EXPECT_EQ(reread["app_modes"], json::Value(json::Object{{"gedit", false}}));
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

TEST_F(ConfigFileTest, FailuresAreSwallowedAndNeverLoseTheFile) {
  config.save("kept");
  files.failCopy = true;
  EXPECT_TRUE(config.save("new text"));
  EXPECT_EQ(contents(config.path()), "new text");

  files.failWrite = true;
  EXPECT_FALSE(config.save("lost"));
  EXPECT_EQ(contents(config.path()), "new text");

  files.noFolder = true;
  EXPECT_EQ(config.path(), fs::path());
  config.ensureExists();
  EXPECT_EQ(config.load(), std::nullopt);
  EXPECT_EQ(config.outputMode(), "replace");
  EXPECT_EQ(config.modificationDate(), std::nullopt);
  EXPECT_FALSE(config.update([](ConfigDictionary& d) { d["x"] = 1; }));
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

}  // namespace
}  // namespace quorvix::app
