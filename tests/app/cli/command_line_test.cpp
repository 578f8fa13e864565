// Every maintenance option of the real executable: what it prints, how it exits and what it
// leaves in the user's files, in a home of its own with no Fcitx5 and no session bus.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <regex>
#include <set>
#include <thread>

#include "home.h"
#include "odd_files.h"
#include "quorvix_app/config_file.h"

namespace quorvix::testing {
namespace {

using namespace std::string_view_literals;

// "@ADDON@" in expected output and file contents stands for the installed addon library without its
// suffix, "@HOME@" for the home folder.
constexpr std::string_view kConfig = "config/quorvix/config.json";
constexpr std::string_view kProfile = "config/fcitx5/profile";
constexpr std::string_view kUserAddon = "data/fcitx5/addon/quorvix.conf";
constexpr std::string_view kUserInputMethod = "data/fcitx5/inputmethod/quorvix.conf";

constexpr std::string_view kNotRegistered = "Quorvix: chưa đăng ký input source\n";

// Profiles as Fcitx5 writes them.
constexpr std::string_view kFreshProfile =
    "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=quorvix\n\n"
    "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=quorvix\nLayout=\n\n"
    "[GroupOrder]\n0=Default\n\n";
const std::string kFirstGroup =
    "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=pinyin\n\n"
    "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=pinyin\nLayout=\n\n";
const std::string kSecondGroup =
    "[Groups/1]\nName=Other\nDefault Layout=fr\nDefaultIM=keyboard-fr\n\n"
    "[Groups/1/Items/0]\nName=keyboard-fr\nLayout=\n\n[GroupOrder]\n0=Default\n1=Other\n\n";
const std::string kTwoGroups = kFirstGroup + kSecondGroup;
const std::string kTwoGroupsRepaired =
    kFirstGroup + "[Groups/0/Items/2]\nName=quorvix\nLayout=\n\n" + kSecondGroup;
// Items Fcitx5 would not read as a list, and groups without a list of groups.
constexpr std::string_view kUnnumberedItems =
    "[Groups/0]\nName=Default\n[Groups/0/Items/first]\nName=pinyin\n";
constexpr std::string_view kOrderWithoutGroups = "[GroupOrder]\n0=Default\n";
const std::string kStatusTail = "prefs fcitx5 profile: false\noutput_mode: replace\n";
const std::string kRepaired = "register status: 0\nenable quorvix: 1\nprefs fallback: true\n";
const std::string kRemoved = "prefs removed: true\nunregister status: 0\n";
// Quorvix, and an input method of its with another name, among the items and chosen first.
const std::string kQuorvixBetween =
    "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=quorvix\n\n"
    "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=quorvix\nLayout=\n\n"
    "[Groups/0/Items/2]\nName=pinyin\nLayout=\n\n[Groups/0/Items/3]\nName=quorvix-vni\nLayout=\n\n"
    "[GroupOrder]\n0=Default\n\n";
const std::string kQuorvixTakenOut =
    "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=\n\n"
    "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=pinyin\nLayout=\n\n"
    "[GroupOrder]\n0=Default\n\n";
const std::string kDefaultsUntilItReads = "Quorvix uses its default settings until the file reads again";

// What the user's folders hold where a regular file is expected (odd_files.h).
constexpr std::string_view kLinkToDotfile = "-> ../../dotfiles/quorvix.json";
constexpr std::string_view kLinkToDotProfile = "-> ../../dotfiles/fcitx5-profile";
constexpr std::string_view kJsonProfile =
    R"({"Groups": [{"Name": "Default", "Items": ["keyboard-us", "pinyin"]}]})";
constexpr std::string_view kBinaryProfile = "\177ELF\2\1\1\0\0\0\0\0\0\0\0\0\3\0>\0"sv;
constexpr std::string_view kProseProfile = "My input methods: pinyin, then keyboard-us.\n";
const std::string kInstalledAddonDescription =
    ((fs::path(kInstalledBin) / kDataFolderFromExecutable).lexically_normal() / "addon/quorvix.conf")
        .string();
const std::string kProfileLeftAlone = "register status: 0\nenable quorvix: 1\nprefs fallback: false\n";

using Files = std::vector<std::pair<std::string_view, std::string_view>>;

struct Case {
  const char* name;
  Files before;    // in the notation of odd_files.h
  bool installed;  // run an installed copy, beside the addon and its description files
  std::vector<std::string> arguments;
  std::string out;
  int exitStatus;
  Files after;  // expected contents; those of `before` not named here must be unchanged
  std::string errContains;
  std::string_view unreadable = {};  // a file of `before` that the run may not read
};

// clang-format off
const Case kCases[] = {
    {"StatusCreatesTheConfiguration", {}, false, {"--status"},
     std::string(kNotRegistered) + kStatusTail, 0, {}, ""},
    {"StatusReadsTheProfileAndOutputMode", {{kConfig, R"({"output_mode": "Preedit"})"}, {kProfile, kFreshProfile}},
     false, {"--status", "--status"},
     std::string(kNotRegistered) + "prefs fcitx5 profile: true\noutput_mode: preedit\n", 0, {}, ""},
    {"StatusListsTheOwnDescribedInputMethods",
     {{kUserInputMethod, kInputMethod}, {"data/fcitx5/inputmethod/pinyin.conf", kInputMethod},
      {"data/fcitx5/inputmethod/quorvix-vni.conf", kInputMethod}}, false, {"--status"},
     "quorvix: enabled=false selected=false\nquorvix-vni: enabled=false selected=false\n" + kStatusTail, 0, {}, ""},
    {"RegisterPointsFcitx5AtTheInstalledAddon", {}, true, {"--register-input-source"}, "register status: 0\n", 0,
     {{kUserAddon, "[Addon]\nName=Quorvix\nCategory=InputMethod\nType=SharedLibrary\nLibrary=@ADDON@\nOnDemand=True\n\n"},
      {kUserInputMethod, "[InputMethod]\nName=Quorvix\nAddon=quorvix\n\n"}}, ""},
    {"RegisterFailsWithoutAnInstallation", {}, false, {"--register-input-source"}, "register status: 3\n", 1, {},
     "is not installed beside this program"},
    {"EnableFailsWithoutFcitx5", {{kUserInputMethod, kInputMethod}}, false, {"--enable-input-source"},
     "enable quorvix: 1\n", 1, {}, "no D-Bus session bus"},
    {"EveryOptionInItsFixedOrder", {}, true,
     {"--select-input-source", "--enable-input-source", "--repair-input-source", "--register-input-source", "--status"},
     std::string(kNotRegistered) + kStatusTail + kRepaired + "select quorvix: 1\n", 1, {}, ""},
    {"RepairWritesAFreshProfile", {}, true, {"--repair-input-source"}, kRepaired, 1, {{kProfile, kFreshProfile}}, ""},
    {"RepairKeepsTheEntryItWroteBefore", {{kProfile, kFreshProfile}}, true, {"--repair-input-source"}, kRepaired, 1,
     {}, ""},
    {"RepairAppendsToTheFirstGroup", {{kProfile, kTwoGroups}}, true, {"--repair-input-source"}, kRepaired, 1,
     {{kProfile, kTwoGroupsRepaired}}, ""},
    {"RepairLeavesUnnumberedItemsAlone", {{kProfile, kUnnumberedItems}}, true, {"--repair-input-source"},
     "register status: 0\nenable quorvix: 1\nprefs fallback: false\n", 1, {}, "cannot be read"},
    {"RepairLeavesAnOrderWithoutGroupsAlone", {{kProfile, kOrderWithoutGroups}}, true, {"--repair-input-source"},
     "register status: 0\nenable quorvix: 1\nprefs fallback: false\n", 1, {}, "cannot be read"},
    // Files that are not what they seem.
    {"StatusDoesNotWaitForANamedPipe", {{kConfig, odd_files::kNamedPipe}}, false, {"--status"},
     std::string(kNotRegistered) + kStatusTail + "config: @HOME@/" + std::string(kConfig) +
         ": cannot be read (a named pipe, not a regular file); " + kDefaultsUntilItReads + "\n", 0, {}, ""},
    {"StatusCreatesTheConfigurationThroughALinkToNothing",
     {{kConfig, kLinkToDotfile}, {"dotfiles", odd_files::kFolder}}, false, {"--status"},
     std::string(kNotRegistered) + kStatusTail, 0, {{"dotfiles/quorvix.json", app::ConfigFile::defaultText()}}, ""},
    {"StatusReadsAConfigurationWithAByteOrderMark", {{kConfig, "\xEF\xBB\xBF{\"output_mode\": \"preedit\"}"}}, false,
     {"--status"}, std::string(kNotRegistered) + "prefs fcitx5 profile: false\noutput_mode: preedit\n", 0, {}, ""},
    {"StatusSaysWhyTheConfigurationCannotBeCreated", {{"config/quorvix", "a file in the way"}}, false, {"--status"},
     std::string(kNotRegistered) + kStatusTail + "config: @HOME@/" + std::string(kConfig) +
         ": cannot be read (Not a directory); " + kDefaultsUntilItReads + "\n", 1, {{kConfig, odd_files::kNone}},
     "quorvix: cannot create the folder"},
    {"RepairLeavesAJsonProfileAlone", {{kProfile, kJsonProfile}}, true, {"--repair-input-source"},
     kProfileLeftAlone, 1, {}, "profile cannot be read as Fcitx5's groups of input methods; it was left as it is"},
    {"RepairLeavesABinaryProfileAlone", {{kProfile, kBinaryProfile}}, true, {"--repair-input-source"},
     kProfileLeftAlone, 1, {}, "cannot be read as Fcitx5's groups"},
    {"RepairLeavesProseAlone", {{kProfile, kProseProfile}}, true, {"--repair-input-source"},
     kProfileLeftAlone, 1, {}, "cannot be read as Fcitx5's groups"},
    {"RepairDoesNotWaitForANamedPipe", {{kProfile, odd_files::kNamedPipe}}, true, {"--repair-input-source"},
     kProfileLeftAlone, 1, {}, "profile cannot be read (a named pipe, not a regular file); it was left as it is"},
    {"RepairLeavesAnUnreadableProfileAlone", {{kProfile, kTwoGroups}}, true, {"--repair-input-source"},
     kProfileLeftAlone, 1, {}, "profile cannot be read (Permission denied); it was left as it is", kProfile},
    {"RepairWritesAFreshProfileOverABlankOne", {{kProfile, "\n  \n"}}, true, {"--repair-input-source"}, kRepaired, 1,
     {{kProfile, kFreshProfile}}, ""},
    {"RepairWritesAFreshProfileThroughALinkToNothing",
     {{kProfile, kLinkToDotProfile}, {"dotfiles", odd_files::kFolder}}, true, {"--repair-input-source"}, kRepaired, 1,
     {{"dotfiles/fcitx5-profile", kFreshProfile}}, ""},
    {"RegisterDoesNotWaitForAnInstalledNamedPipe", {{kInstalledAddonDescription, odd_files::kNamedPipe}}, true,
     {"--register-input-source"}, "register status: 3\n", 1, {}, "cannot be read (a named pipe, not a regular file)"},
    {"RegisterDoesNotReplaceANamedPipe", {{kUserAddon, odd_files::kNamedPipe}}, true, {"--register-input-source"},
     "register status: 4\n", 1, {}, "could not be written: a named pipe, not a regular file"},
    // The way back: out of every group of the profile, and no longer registered.
    {"RemoveUndoesTheRepair", {{kProfile, kTwoGroupsRepaired}, {kUserAddon, kAddon}, {kUserInputMethod, kInputMethod}},
     true, {"--remove-input-source"}, kRemoved, 0,
     {{kProfile, kTwoGroups}, {kUserAddon, odd_files::kNone}, {kUserInputMethod, odd_files::kNone}}, ""},
    {"RemoveTakesEveryEntryOutAndNumbersTheRestAnew", {{kProfile, kQuorvixBetween}}, false, {"--remove-input-source"},
     kRemoved, 0, {{kProfile, kQuorvixTakenOut}}, ""},
    {"RemoveWithoutAProfileWritesNone", {}, false, {"--remove-input-source"}, kRemoved, 0, {{kProfile, odd_files::kNone}},
     ""},
    {"RemoveLeavesAJsonProfileAlone", {{kProfile, kJsonProfile}, {kUserInputMethod, kInputMethod}}, false,
     {"--remove-input-source"}, "prefs removed: false\nunregister status: 0\n", 1, {{kUserInputMethod, odd_files::kNone}},
     "cannot be read as Fcitx5's groups of input methods; it was left as it is"},
};
// clang-format on

// "@ADDON@" stands for the installed addon library without its suffix, "@HOME@" for the home.
std::string withAddon(std::string_view text, const Home& home) {
  std::string result(text);
  for (const auto& [placeholder, value] :
       {std::pair<std::string_view, std::string>{"@ADDON@", home.installedAddonWithoutSuffix()},
        {"@HOME@", home.root().string()}}) {
    if (const auto at = result.find(placeholder); at != std::string::npos)
      result.replace(at, placeholder.size(), value);
  }
  return result;
}

// The arguments of setpriv that run `executable` as the unprivileged user.
std::vector<std::string> asUser(const odd_files::Unprivileged& user, const fs::path& executable,
                                const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"--reuid=" + std::to_string(user.uid()),
                                   "--regid=" + std::to_string(user.gid()), "--clear-groups", "--",
                                   executable.string()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

// Test names say enough; the bytes of a case would not.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, PrintsExitsAndWritesAsExpected) {
  const auto& c = GetParam();
  const Home home;
  const auto executable = c.installed ? home.install() : fs::path(kBuiltExecutable);
  for (const auto& [path, text] : c.before) odd_files::place(home.root() / path, text);
  odd_files::Unprivileged user(home.root(), c.unreadable);
  if (!user.unavailable().empty()) GTEST_SKIP() << user.unavailable();

  const auto output = user.switchesUser()
                          ? home.run("/usr/bin/setpriv", asUser(user, executable, c.arguments))
                          : home.run(executable, c.arguments);

  const auto mentions = [](const Files& files, std::string_view path) {
    return std::ranges::any_of(files, [&](const auto& file) { return file.first == path; });
  };
  EXPECT_EQ(output.out, withAddon(c.out, home));
  EXPECT_EQ(output.exitStatus, c.exitStatus) << output.err;
  EXPECT_NE(output.err.find(c.errContains), std::string::npos) << output.err;
  EXPECT_EQ(output.err.empty(), c.exitStatus == 0) << output.err;
  if (!mentions(c.after, kConfig)) {
    EXPECT_NE(odd_files::onDisk(home.root() / kConfig), odd_files::kNone)
        << "every run makes sure the configuration exists";
  }
  for (const auto& [path, text] : c.after)
    EXPECT_EQ(odd_files::onDisk(home.root() / path), withAddon(text, home)) << path;
  for (const auto& [path, text] : c.before) {
    if (!mentions(c.after, path)) {
      EXPECT_EQ(odd_files::onDisk(home.root() / path), std::string(text))
          << path << " must be left as it was";
    }
  }
}

// A rename reaches the disk only with its folder: every file the executable replaces, the
// configuration, the profile and the registration files, has its folder flushed after the rename.
TEST(Durability, EveryReplacedFileHasItsFolderFlushedAfterTheRename) {
  if (!fs::exists("/usr/bin/strace")) GTEST_SKIP() << "strace is not installed; scripts/setup.sh installs it";
  Home home;
  const auto executable = home.install();
  // The leak checker traces the process itself at exit, which it cannot while strace does.
  home.extraEnvironment = {"ASAN_OPTIONS=detect_leaks=0"};
  const auto trace = home.root() / "trace";
  home.run("/usr/bin/strace", {"-f", "-qq", "-y", "-e", "trace=rename,renameat,renameat2,fsync", "-o",
                               trace.string(), executable.string(), "--repair-input-source"});

  const std::regex renamed(R"re(rename(?:at2?)?\((?:[^,]*, )?"[^"]*", (?:[^,]*, )?"([^"]*)".*= 0)re");
  const std::regex flushed(R"re(fsync\(\d+<([^>]*)>\) += 0)re");
  std::set<std::string> waiting, durable;
  std::istringstream lines(odd_files::onDisk(trace));
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, renamed)) {
      waiting.insert(match[1]);
    } else if (std::regex_search(line, match, flushed)) {
      std::erase_if(waiting, [&](const std::string& file) {
        const bool inFolder = fs::path(file).parent_path() == fs::path(match[1].str());
        if (inFolder) durable.insert(fs::relative(file, home.root()).string());
        return inFolder;
      });
    }
  }
  for (const auto& file : waiting) ADD_FAILURE() << file << " was renamed but its folder never flushed";
  EXPECT_EQ(durable, (std::set<std::string>{std::string(kConfig), std::string(kProfile),
                                            std::string(kUserAddon), std::string(kUserInputMethod)}))
      << odd_files::onDisk(trace);
}

// The preferences window runs until the user closes it and the server until it is stopped: a
// process still running a while later, having printed nothing, is doing one of them.
TEST(LongRunningOptions, PreferencesWinAndWithoutAMaintenanceOptionTheServerRuns) {
  const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
      {{"--preferences", "--status"}, {"QT_QPA_PLATFORM=offscreen"}},
      {{}, {}},
      {{"--help"}, {}},
  };
  for (const auto& [arguments, environment] : rows) {
    Home home;
    home.extraEnvironment = environment;
    const auto child = home.start(kBuiltExecutable, arguments, "long");
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << home.contents("long.err").value_or("");
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(home.contents("long.out"), "");
    EXPECT_TRUE(home.contents(kConfig));
  }
}

// What the input method makes of a configuration it cannot use as written, in one line of the
// status, naming the file, the place and what was wrong, never the file's own values.
TEST(ConfigurationStatus, SaysWhereTheFileDoesNotGiveQuorvixItsSettings) {
  const std::string defaults = "; " + kDefaultsUntilItReads + "\n";
  const std::pair<const char*, std::string> rows[] = {
      {R"({"input_method":"vni","tone_style":"sideways"})",
       "line 1, column 45: \"tone_style\" does not take this text" + defaults},
      {R"({"input_method":"vni","macros":{"ko":5}})",
       "line 1, column 38: \"macros\" does not take a number here" + defaults},
      {R"({"input_method":"klingon"})",
       "line 1, column 25: \"input_method\" names no input method of Quorvix (telex, simple_telex, vni or "
       "viqr); Quorvix "
       "types Telex\n"},
      {R"({"input_method":5})", "line 1, column 17: \"input_method\" takes text, not a number" + defaults},
  };
  for (const auto& [file, line] : rows) {
    SCOPED_TRACE(file);
    Home home;
    home.put(kConfig, file);
    const auto output = home.run(kBuiltExecutable, {"--status"});
    EXPECT_EQ(output.exitStatus, 0);
    EXPECT_EQ(output.err, "");
    EXPECT_EQ(output.out, std::string(kNotRegistered) + kStatusTail +
                              "config: " + (home.root() / kConfig).string() + ": " + line);
    EXPECT_EQ(home.contents(kConfig), file) << "a status changes nothing";
  }
}

// A registration whose library went with a deleted installation: Fcitx5 lists the input method
// and fails to load it. The status says so; a repair from an installed copy points Fcitx5 at the
// library beside it.
TEST(AddonLibrary, StatusSaysWhenItIsMissingAndRepairMendsIt) {
  const auto registration = [](std::string_view library) {
    return "[Addon]\nName=Quorvix\nCategory=InputMethod\nType=SharedLibrary\nLibrary=" +
           std::string(library) + "\nOnDemand=True\n";
  };
  struct Row {
    const char* name;
    std::string addon;  // the user's registration of the addon
    std::vector<std::string> environment;
    std::string statusLine;  // "quorvix: ..." as --status prints it first
  };
  const std::string inFolder = "quorvix: enabled=false selected=false\n";
  const Row rows[] = {
      {"a deleted installation",
       registration("/gone/lib/fcitx5/libquorvix-fcitx5"),
       {},
       "quorvix: enabled=false selected=false, addon library missing: "
       "/gone/lib/fcitx5/libquorvix-fcitx5.so\n"},
      {"loaded with its symbols exported",
       registration("export:/gone/libquorvix-fcitx5"),
       {},
       "quorvix: enabled=false selected=false, addon library missing: /gone/libquorvix-fcitx5.so\n"},
      {"by name, in none of Fcitx5's addon folders",
       registration("libquorvix-fcitx5"),
       {"FCITX_ADDON_DIRS=/gone"},
       "quorvix: enabled=false selected=false, addon library missing: libquorvix-fcitx5.so\n"},
      {"by name, in an addon folder",
       registration("libquorvix-fcitx5"),
       {"FCITX_ADDON_DIRS=@ADDONS@"},
       inFolder},
      {"built into the program that runs Fcitx5",
       "[Addon]\nName=Quorvix\nCategory=InputMethod\nType=StaticLibrary\nLibrary=quorvix\n",
       {},
       inFolder},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Home home;
    const auto executable = home.install();
    for (auto variable : row.environment) {
      if (const auto at = variable.find("@ADDONS@"); at != std::string::npos) {
        variable.replace(at, 8, home.installedAddonWithoutSuffix().parent_path().string());
      }
      home.extraEnvironment.push_back(variable);
    }
    home.put(kUserInputMethod, kInputMethod);
    home.put(kUserAddon, row.addon);

    EXPECT_EQ(home.run(executable, {"--status"}).out, row.statusLine + kStatusTail);
    EXPECT_EQ(home.run(executable, {"--repair-input-source"}).out, kRepaired);
    EXPECT_EQ(home.run(executable, {"--status"}).out,
              "quorvix: enabled=false selected=false\nprefs fcitx5 profile: true\noutput_mode: replace\n");
  }
}

// The server has none of the keyboard layouts the fcitx5 program keeps inside itself; however it
// is stopped, the user's profile keeps every group and item, byte for byte. Fcitx5 saves what it
// kept of the groups into the server's own folder, which each start empties.
TEST(Server, LeavesTheUsersProfileAsItWasHoweverItIsStopped) {
  const std::string profile =
      "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=quorvix\n\n"
      "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=keyboard-de\nLayout=\n\n"
      "[Groups/0/Items/2]\nName=quorvix\nLayout=\n\n"
      "[Groups/1]\nName=Work\nDefault Layout=fr\nDefaultIM=keyboard-fr\n\n"
      "[Groups/1/Items/0]\nName=keyboard-fr\nLayout=\n\n[GroupOrder]\n0=Default\n1=Work\n\n";
  const fs::path ownProfile = ".cache/quorvix/fcitx5-settings/profile";
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    Home home;
    home.put(kProfile, profile);
    // Left by an earlier run: read back, it would stand in for the user's profile.
    home.put(ownProfile, "[Groups/0]\nName=Stale\nDefault Layout=us\n");
    const auto server = home.start(kBuiltExecutable, {"--version"}, "server");
    ASSERT_GT(server, 0);
    ASSERT_TRUE(waitFor([&] {
      return home.contents("server.err").value_or("").find("Loaded addon quorvix") != std::string::npos;
    })) << home.contents("server.err").value_or("");
    kill(server, signal);
    int status = 0;
    waitpid(server, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << home.contents("server.err").value_or("");
    EXPECT_EQ(home.contents(kProfile), profile);
    const auto saved = home.contents(ownProfile).value_or("");
    EXPECT_NE(saved.find("Name=Default"), std::string::npos)
        << "the server saved the groups it read: " << saved;
    EXPECT_NE(saved.find("Name=quorvix"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Stale"), std::string::npos) << saved;
  }
}

// What works on the desktop says in one line that there is none, rather than letting Qt abort.
TEST(GraphicalSession, WithoutOneTheWindowAndTheClipboardSaySoInOneLine) {
  const std::string unset = "neither DISPLAY nor WAYLAND_DISPLAY is set";
  struct Row {
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string why;
  } rows[] = {
      {{"--preferences"}, {}, unset},
      {{"--preferences", "--status"}, {}, unset},
      {{"--preferences"}, {"DISPLAY=:9753"}, "DISPLAY=:9753 cannot be opened"},
      {{"--transform-clipboard", "encode", "viqr"}, {}, unset},
      {{"--transform-clipboard", "strip"}, {"DISPLAY=:9753"}, "DISPLAY=:9753 cannot be opened"},
  };
  for (const auto& row : rows) {
    Home home;
    home.extraEnvironment = row.environment;
    const auto output = home.run(kBuiltExecutable, row.arguments);
    EXPECT_EQ(output.exitStatus, 1) << row.arguments.front();
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "quorvix: no graphical session was found (" + row.why + ")\n");
  }
}

// Every path below `root`, relative to it.
std::set<std::string> pathsBelow(const fs::path& root) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    paths.insert(fs::relative(entry.path(), root).string());
  return paths;
}

// Fcitx5 needs the home folder to find anything of its own; without one, every option (the
// server's too) says so in one line and fails, having written nothing but the configuration file
// where XDG_CONFIG_HOME names its folder.
TEST(HomeFolder, WithoutOneEveryOptionSaysSoInOneLineAndWritesOnlyTheConfiguration) {
  const std::vector<std::vector<std::string>> options{{"--status"},
                                                      {"--register-input-source"},
                                                      {"--enable-input-source"},
                                                      {"--repair-input-source"},
                                                      {"--select-input-source"},
                                                      {"--remove-input-source"},
                                                      {"--preferences"},
                                                      {"--transform-clipboard", "strip"},
                                                      {},
                                                      {"--help"}};
  struct Variant {
    const char* name;
    std::set<std::string> unset;
    std::vector<std::string> extra;
    std::string why;
    bool configurationWritten;
  };
  const Variant variants[] = {
      {"unset", {"HOME"}, {}, "HOME is not set", true},
      {"empty", {"HOME"}, {"HOME="}, "HOME is empty", true},
      {"relative", {"HOME"}, {"HOME=home"}, "HOME is not an absolute path", true},
      {"unset, and no XDG_CONFIG_HOME", {"HOME", "XDG_CONFIG_HOME"}, {}, "HOME is not set", false},
  };
  for (const auto& variant : variants) {
    for (const auto& arguments : options) {
      const auto shown = arguments.empty() ? std::string("(none)") : arguments.front();
      SCOPED_TRACE(std::string(variant.name) + ": " + shown);
      Home home;
      const auto executable = home.install();
      fs::create_directories(home.root() / "cwd");
      home.workingDirectory = home.root() / "cwd";
      home.unsetVariables = variant.unset;
      home.extraEnvironment = variant.extra;
      const auto before = pathsBelow(home.root());

      const auto output = home.run(executable, arguments);

      EXPECT_EQ(output.exitStatus, 1);
      EXPECT_EQ(output.out, "");
      EXPECT_EQ(output.err,
                "quorvix: " + variant.why +
                    ": Fcitx5 and Quorvix find their folders under the home folder; set HOME to it "
                    "and run quorvix again\n");
      std::set<std::string> written;
      std::ranges::set_difference(pathsBelow(home.root()), before, std::inserter(written, written.end()));
      written.erase("run.out");
      written.erase("run.err");
      const std::set<std::string> expected =
          variant.configurationWritten
              ? std::set<std::string>{"config", "config/quorvix", std::string(kConfig)}
              : std::set<std::string>{};
      EXPECT_EQ(written, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLine, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvix::testing
