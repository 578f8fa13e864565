#include "quorvix_app/config_watcher.h"

#include <gtest/gtest.h>

#include <functional>

#include "config_problem_print.h"
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
  testing::RecordedReports reports;
  ConfigWatcher watcher{files, clock, notifications, [this] { ++changes; }, &reports};

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
  copy["input_method"] = std::make_shared<const qrx_json::Value>("vni");
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

using Effect = ConfigProblem::Effect;
constexpr std::string_view kMethods = " names no input method of Quorvix (telex, simple_telex, vni or viqr)";

struct ProblemCase {
  std::string file;
  std::optional<ConfigProblem> problem;
  bool sessionsTakeTheText = true;  // else sessions get the engine's defaults
};

// Places are the line and the byte column where the reader stopped on the value: a text's closing
// quote, a number's last digit, a list's or object's opening bracket.
const ProblemCase kProblems[] = {
    {R"({"input_method": "vni", "macros": {"ko": "không"}, "window_size": "huge"})", std::nullopt},
    {R"({"input_method":"vni","tone_style":"sideways"})",
     ConfigProblem{1, 45, R"("tone_style" does not take this text)"}},
    {R"({"input_method":"vni","macros":{"ko":5}})",
     ConfigProblem{1, 38, R"("macros" does not take a number here)"}},
    {R"({"input_method":"vni","macros":{"ko":"không","vn":null}})",
     ConfigProblem{1, 55, R"("macros" does not take null here)"}},
    {R"({"input_method":"klingon"})",
     ConfigProblem{1, 25, "\"input_method\"" + std::string(kMethods), Effect::telex}},
    {R"({"input_method":"VNI"})",
     ConfigProblem{1, 21, "\"input_method\"" + std::string(kMethods), Effect::telex}},
    {R"({"input_method":5})", ConfigProblem{1, 17, R"("input_method" takes text, not a number)"}},
    {R"({"spell_check":true,"spell_check":false})",
     ConfigProblem{1, 39, R"("spell_check" is given more than once)"}},
    {R"({"output_mode":"Sideways"})",
     ConfigProblem{1, 25, R"("output_mode" is neither "preedit" nor "replace")", Effect::replace}},
    {R"({"output_mode":"PREEDIT"})", std::nullopt},
    // A name given again counts where it is given last, as in every reading of the file's settings.
    {R"({"output_mode":"x","output_mode":"preedit"})", std::nullopt},
    {"{\n  \"macros\": {\n    \"a\": \"x\",\n    \"b\": [1]\n  }\n}",
     ConfigProblem{4, 10, R"("macros" does not take a list here)"}},
    {R"({"app_profiles": {"gedit": {"tone_style": "x"}}})",
     ConfigProblem{1, 45, R"("app_profiles" does not take text here)"}},
    {R"({"excluded_apps": ["a", {}]})",
     ConfigProblem{1, 25, R"("excluded_apps" does not take an object here)"}},
    {R"({"schema_version": -1})", ConfigProblem{1, 21, R"("schema_version" does not take this value)"}},
    // The engine's rejection turns every setting off, so it comes before a value only unused.
    {R"({"input_method": "klingon", "tone_style": "sideways"})",
     ConfigProblem{1, 52, R"("tone_style" does not take this text)"}},
    {R"({"output_mode": 5, "input_method": "klingon"})",
     ConfigProblem{1, 17, R"("output_mode" is neither "preedit" nor "replace")", Effect::replace}},
    // Not an object of settings: sessions take the engine's defaults, also where the engine would
    // read a list.
    {"[1, 2]", ConfigProblem{1, 1, "holds a list, not an object of settings"}, false},
    {R"(["vni"])", ConfigProblem{1, 1, "holds a list, not an object of settings"}, false},
    {R"({"a":)", ConfigProblem{1, 5, "is not JSON: EOF while parsing an object"}, false},
    {"{\"macros\": {\"a\": \"\xFF\"}}", ConfigProblem{1, 19, "is not UTF-8 text"}, false},
};

TEST(ConfigSnapshot, SaysWhereTheFileDoesNotGiveQuorvixItsSettingsAndWhatItDoesInstead) {
  for (const auto& c : kProblems) {
    SCOPED_TRACE(c.file);
    Process process;
    process.config.save(c.file);
    const auto reading = process.watcher.latest();
    EXPECT_EQ(reading->problem(), c.problem);
    EXPECT_EQ(reading->text().has_value(), c.sessionsTakeTheText);
    // A reading that does not know what the engine made of the text finds the same.
    const ConfigSnapshot alone(process.config.loadContents(), std::nullopt, nullptr);
    EXPECT_EQ(alone.problem(), c.problem);
  }
}

TEST(ConfigSnapshot, NamesPlacesAndReasonsNeverTheUsersText) {
  Process process;
  process.config.save("{\n  \"macros\": {\"bm\": \"bí mật của tôi\"},\n  \"tone_style\": \"sideways\"\n}");
  const auto& problem = process.watcher.latest()->problem();
  ASSERT_TRUE(problem);
  const auto line = describe(*problem, process.config.path());
  EXPECT_EQ(line, process.config.path().string() +
                      ": line 3, column 26: \"tone_style\" does not take this text; Quorvix "
                      "uses its default settings until the file reads again");
  for (const auto* secret : {"bí mật", "sideways", "bm"})
    EXPECT_EQ(line.find(secret), std::string::npos) << secret;
}

// A session that took the text tells the reading so, and a setting the engine took before is not
// tried again; neither may hide a setting that changed.
TEST(ConfigSnapshot, AVerdictHoldsOnlyForTheValueItWasGivenOn) {
  Process process;
  process.config.save(R"({"macros": {"ko": "không"}, "app_modes": {"gedit": false}})");
  process.watcher.latest()->sessionMade(true);
  EXPECT_EQ(process.watcher.current()->problem(), std::nullopt);
  const std::pair<const char*, std::optional<ConfigProblem>> steps[] = {
      {R"({"macros": {"ko": "không"}, "app_modes": {"gedit": 0}})",
       ConfigProblem{1, 53, R"("app_modes" does not take a number here)"}},
      {R"({"macros": {"ko": 1}, "app_modes": {"gedit": false}})",
       ConfigProblem{1, 19, R"("macros" does not take a number here)"}},
      {R"({"macros": {"ko": 1}, "app_modes": {"gedit": true}})",
       ConfigProblem{1, 19, R"("macros" does not take a number here)"}},
      {R"({"macros": {"ko": "không"}, "app_modes": {"gedit": true}})", std::nullopt},
  };
  for (const auto& [file, problem] : steps) {
    SCOPED_TRACE(file);
    process.config.save(file);
    EXPECT_EQ(process.watcher.latest()->problem(), problem);
  }
}

TEST(ConfigWatcher, TellsEachNewProblemOnceAndTracesTheRest) {
  Process process;
  const auto path = process.config.path().string();
  struct Step {
    std::function<void(Process&)> change;
    std::vector<std::string> told, traced;  // what this step adds
  };
  const auto write = [](std::string text) {
    return [text](Process& p) {
      p.config.save(text);
      p.clock.advance(1s);
    };
  };
  const std::string sideways = R"({"tone_style": "sideways"})";
  const std::string notRead = std::string(kFileNotReadTitle) + " | " + path;
  const Step steps[] = {
      {write(R"({"input_method": "vni"})"), {}, {}},
      {write(sideways),
       {notRead + ": line 1, column 25: \"tone_style\" does not take this text; Quorvix uses its default "
                  "settings until the file reads again"},
       {}},
      {[](Process& p) { p.clock.advance(5s); }, {}, {}},
      {[](Process& p) { p.notifications.post(quorvixConfigChanged); }, {}, {}},
      // Rewritten around the same trouble, as a save of the input method's own does.
      {write("{\n  \"tone_style\": \"sideways\"\n}"),
       {},
       {path + ": line 2, column 26: \"tone_style\" does not take this text; Quorvix uses its default "
               "settings until "
               "the file reads again"}},
      {write(R"({"input_method": "klingon"})"),
       {std::string(kValueNotUsedTitle) + " | " + path + ": line 1, column 26: \"input_method\"" +
        std::string(kMethods) + "; Quorvix types Telex"},
       {}},
      {write(R"({"input_method": "vni"})"), {}, {path + " gives Quorvix its settings again"}},
      {write(sideways),
       {notRead + ": line 1, column 25: \"tone_style\" does not take this text; Quorvix uses its default "
                  "settings until the file reads again"},
       {}},
  };
  std::size_t told = 0, traced = 0;
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    steps[i].change(process);
    ASSERT_EQ(process.reports.told.size(), told + steps[i].told.size());
    ASSERT_EQ(process.reports.traced.size(), traced + steps[i].traced.size());
    for (const auto& line : steps[i].told) EXPECT_EQ(process.reports.told[told++], line);
    for (const auto& line : steps[i].traced) EXPECT_EQ(process.reports.traced[traced++], line);
  }
}

}  // namespace
}  // namespace quorvix::app
