#include "quorvix_app/config_watcher.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

using namespace std::chrono_literals;

// The machine's files, counting how often the configuration is read.
struct CountingFiles : testing::TempFiles {
  int reads = 0;
  platform::FileContents readFile(const std::filesystem::path& p) override {
    ++reads;
    return TempFiles::readFile(p);
  }
};

struct Process {
  CountingFiles files;
  testing::FakeClock clock;
  NotificationCenter notifications;
  ConfigFile config{files};
  int changes = 0;
  ConfigWatcher watcher{files, clock, notifications, [this] { ++changes; }};

  // A save reads the file it replaces, for its backup; only the watcher's reads are counted.
  void saveUncounted(std::string_view text) {
    const int reads = files.reads;
    config.save(text);
    files.reads = reads;
  }
};

TEST(ConfigWatcher, ReadsEachChangeOnceForEveryField) {
  Process process;
  std::vector<int> told(10);
  std::vector<std::unique_ptr<NotificationCenter::Observation>> fields;
  for (auto& count : told) fields.push_back(process.watcher.observe([&count] { ++count; }));
  const auto expect = [&](int reads, int each, const char* step) {
    EXPECT_EQ(process.files.reads, reads) << step;
    EXPECT_EQ(process.changes, each) << step;
    for (const auto count : told) EXPECT_EQ(count, each) << step;
  };
  process.files.reads = 0;
  process.saveUncounted(R"({"input_method": "vni"})");
  process.clock.advance(999ms);
  expect(0, 0, "before the tick");
  process.clock.advance(1ms);
  expect(1, 1, "on the tick");
  process.clock.advance(5s);
  expect(1, 1, "no change");
  process.notifications.post(quorvixConfigChanged);
  expect(2, 2, "the notification");
  process.clock.advance(1s);
  expect(2, 2, "the tick after the notification");
  process.saveUncounted(R"({"input_method": "viqr"})");
  EXPECT_EQ(process.watcher.latest()->shared().at("input_method")->as_string(), "viqr");
  expect(3, 3, "asked for the latest");
  process.files.remove(process.config.path());
  process.clock.advance(1s);
  expect(4, 4, "removed");
  EXPECT_FALSE(process.watcher.current()->text());
  fields.clear();
  process.watcher.reload();
  EXPECT_EQ(process.files.reads, 5);
  EXPECT_EQ(process.changes, 5);
  for (const auto count : told) EXPECT_EQ(count, 4);
}

TEST(ConfigSnapshot, SharesWhatDidNotChangeAndLeavesOutWhatIsDecidedPerApplication) {
  Process process;
  process.config.save(R"({"input_method": "telex", "macros": {"ko": "không"}, "output_mode": "Preedit",
                          "app_modes": {"gedit": false}, "window_size": 3})");
  const auto first = process.watcher.latest();
  process.config.save(R"({"input_method": "vni", "macros": {"ko": "không"}, "app_modes": {"kate": false}})");
  const auto second = process.watcher.latest();
  EXPECT_EQ(first->outputMode(), 0u);
  EXPECT_EQ(second->outputMode(), 1u);
  EXPECT_EQ(first->shared().at("macros"), second->shared().at("macros"));
  EXPECT_NE(first->shared().at("input_method"), second->shared().at("input_method"));
  // Neither a key nothing reads nor a per-application choice counts as a shared setting.
  EXPECT_FALSE(first->shared().contains("window_size"));
  EXPECT_FALSE(first->shared().contains("app_modes"));
  EXPECT_FALSE(first->shared().contains("output_mode"));
  EXPECT_FALSE(sameSettings(first->shared(), second->shared()));
  auto copy = second->shared();
  copy["input_method"] = std::make_shared<const json::Value>("vni");
  EXPECT_TRUE(sameSettings(copy, second->shared()));
}

TEST(ConfigSnapshot, DecidesForEachApplicationAsTheEngineDoes) {
  struct Case {
    const char* file;
    std::optional<std::string> app;
    bool vietnamese;
    const char* inProfile;
  } cases[] = {
      {R"({"app_modes": {"gedit": false}})", "gedit", false, ""},
      {R"({"app_modes": {"gedit": false}})", "org.gnome.Gedit.desktop", false, ""},
      {R"({"app_modes": {"gedit": false}})", "kate", true, ""},
      {R"({"app_modes": {"gedit": true}, "excluded_apps": ["Gedit"]})", "gedit", false, ""},
      {R"({"default_vietnamese": false})", "kate", false, ""},
      {R"({"default_vietnamese": false})", {}, false, ""},
      {R"({})", "minecraft", false, ""},
      {R"({})", "kitty", true, R"("output_mode":"preedit")"},
      {R"({"app_profiles": {"kitty": {"vietnamese": false}}})", "kitty", false, R"("output_mode":null)"},
      // A file the engine refuses is its defaults.
      {R"({"app_modes": {"gedit": 1}})", "gedit", true, ""},
      {"[", "gedit", true, ""},
  };
  for (const auto& c : cases) {
    Process process;
    process.config.save(c.file);
    const auto& decided = process.watcher.latest()->application(c.app);
    EXPECT_EQ(decided.vietnamese, c.vietnamese) << c.file << " " << c.app.value_or("-");
    EXPECT_NE(decided.profileJSON.find(c.inProfile), std::string::npos) << decided.profileJSON;
  }
}

}  // namespace
}  // namespace quorvix::app
