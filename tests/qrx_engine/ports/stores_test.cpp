#include <qrx_engine/testing.h>

#include <gtest/gtest.h>

#include "profile_with.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qrx_engine::ports::AppProfile;
using qrx_engine::ports::Config;
using qrx_engine::testing::JsonFileConfigStore;
using qrx_engine::testing::MemoryConfigStore;

// A fresh directory per test, removed afterwards.
class FileStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qrx-ports-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    path_ = dir_ / "config.json";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& text) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path dir_;
  fs::path path_;
};

Config customised() {
  Config c;
  c.input_method = "vni";
  c.spell_check = false;
  c.macros = {{"ko", "không"}, {"vn", "Việt Nam"}};
  c.excluded_apps = {"kitty"};
  c.app_modes = {{"code", false}};
  c.app_profiles["myeditor"] = profile_with([](auto& p) {
    p.backspace_delay_ms = 12;
    p.charset = "tcvn3";
  });
  c.schema_version = 2;
  return c;
}

TEST_F(FileStoreTest, LoadFallsBackToDefaultsOnAnyFailure) {
  const std::vector<std::string> broken{
      "",
      "{}x",
      "\xEF\xBB\xBF{}",
      "{\"input_method\": \"\xFF\xFE\"}",
      "{\"app_profiles\": {\"kitty\": {\"output_mode\": \"Preedit\"}}}",
      "{\"spell_check\": false, \"spell_check\": false}",
      std::string(5000, '['),
  };
  const JsonFileConfigStore store(path_);
  EXPECT_EQ(store.load(), Config{});  // no such file
  for (const std::string& text : broken) {
    SCOPED_TRACE(text.substr(0, 60));
    write(text);
    EXPECT_EQ(store.load(), Config{});
    EXPECT_EQ(read(), text);  // loading writes nothing
  }
  write("{\"spell_check\": false}");
  Config expected;
  expected.spell_check = false;
  EXPECT_EQ(store.load(), expected);
  EXPECT_EQ(JsonFileConfigStore(dir_).load(), Config{});  // a directory
}

TEST_F(FileStoreTest, SaveWritesPrettyTextThatLoadsBack) {
  const JsonFileConfigStore store(path_);
  const Config config = customised();
  store.save(config);
  EXPECT_EQ(read(), config.to_json_pretty());
  EXPECT_EQ(store.load(), config);
}

TEST_F(FileStoreTest, SaveReplacesTheWholeFileAndLeavesNothingBeside) {
  write(std::string(100000, ' ') + "{\"input_method\": \"telex\"}");
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  const JsonFileConfigStore store(path_);
  store.save(customised());
  EXPECT_EQ(read(), customised().to_json_pretty());
  EXPECT_EQ(entries(), std::vector<std::string>{"config.json"});
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileStoreTest, SaveThroughASymbolicLinkUpdatesTheRealFile) {
  const fs::path real = dir_ / "real.json";
  { std::ofstream(real) << "{}"; }
  fs::create_symlink(real.filename(), path_);
  JsonFileConfigStore(path_).save(customised());
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(JsonFileConfigStore(real).load(), customised());
}

TEST_F(FileStoreTest, FailedSaveReportsNothingAndLeavesNoTrace) {
  // The target's folder does not exist.
  const JsonFileConfigStore missing_folder(dir_ / "absent" / "config.json");
  EXPECT_NO_THROW(missing_folder.save(customised()));
  EXPECT_FALSE(fs::exists(dir_ / "absent"));

  // The target is a directory with content, which a file cannot replace.
  fs::create_directories(path_ / "inner");
  const JsonFileConfigStore onto_directory(path_);
  EXPECT_NO_THROW(onto_directory.save(customised()));
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_EQ(entries(), std::vector<std::string>{"config.json"});
}

TEST(MemoryConfigStore, KeepsItsOwnCopy) {
  const MemoryConfigStore store;
  EXPECT_EQ(store.load(), Config{});
  Config config = customised();
  store.save(config);
  config.input_method = "telex";
  config.macros.clear();
  EXPECT_EQ(store.load(), customised());
}

// A port of every kind that records, in a shared trail, when it goes away.
struct Recorded : qrx_engine::ports::ConfigStore,
                  qrx_engine::ports::AppContext,
                  qrx_engine::ports::SurroundingText,
                  qrx_engine::ports::Dictionary {
  Recorded(std::vector<std::string>& trail, std::string name) : trail(trail), name(std::move(name)) {}
  ~Recorded() override { trail.push_back(name); }
  Config load() const override { return Config{}; }
  void save(const Config&) const override {}
  std::optional<std::string> current_app() const override { return std::nullopt; }
  std::optional<std::string> before_cursor(std::size_t) const override { return std::nullopt; }
  bool is_english(std::string_view) const override { return false; }
  bool is_vietnamese(std::string_view) const override { return false; }
  std::vector<std::string>& trail;
  std::string name;
};

TEST(Ports, AreDestroyedInDeclaredOrder) {
  std::vector<std::string> trail;
  {
    qrx_engine::ports::Ports ports(
        std::make_unique<Recorded>(trail, "store"), std::make_unique<Recorded>(trail, "app"),
        std::make_unique<Recorded>(trail, "surrounding"), std::make_unique<Recorded>(trail, "dictionary"));
    qrx_engine::ports::Ports moved = std::move(ports);
    EXPECT_TRUE(trail.empty());
  }
  EXPECT_EQ(trail, (std::vector<std::string>{"store", "app", "surrounding", "dictionary"}));
}

}  // namespace
