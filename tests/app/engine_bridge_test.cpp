#include "quorvix_app/engine_bridge.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvix::app {
namespace {

// What the bridge handed to the engine's functions, recorded by stand-ins for them.
struct Calls {
  std::vector<std::pair<std::optional<std::string>, std::uint32_t>> sessionNew;
  bool rejectEverySession = false;
  QrxAction action{};
  std::uint32_t planKind = 0;
  bool planAccepted = true;
  int plans = 0;
  QrxAction planned{};
  std::optional<std::string> plannedInsert, display, surrounding;
  std::uint32_t fieldKind = 0, cursor = 0, anchor = 0, fallback = 0;
  bool allowUnverified = false;
  const char* text = nullptr;
};
Calls* calls = nullptr;
QrxSession* const kSession = reinterpret_cast<QrxSession*>(&calls);

std::optional<std::string> copy(const char* text) {
  return text ? std::optional<std::string>(text) : std::nullopt;
}

EngineFunctions fakeFunctions() {
  EngineFunctions f = libquorvixFunctions();
  f.sessionNew = [](const char* config, std::uint32_t mode) noexcept {
    calls->sessionNew.emplace_back(copy(config), mode);
    return calls->rejectEverySession || config != nullptr ? nullptr : kSession;
  };
  f.sessionFree = [](QrxSession*) noexcept {};
  f.processKey = [](QrxSession*, const char*, bool, bool, bool) noexcept { return calls->action; };
  f.displayText = [](QrxSession*) noexcept { return calls->text; };
  f.planActionWithFallback = [](QrxSession*, const QrxAction* action, std::uint32_t kind, const char* display,
                                const char* surrounding, std::uint32_t cursor, std::uint32_t anchor,
                                bool allow, std::uint32_t fallback, QrxPlan* plan) noexcept {
    ++calls->plans;
    calls->planned = *action;
    calls->plannedInsert = copy(action->insert);
    calls->display = copy(display);
    calls->surrounding = copy(surrounding);
    std::tie(calls->fieldKind, calls->cursor, calls->anchor, calls->allowUnverified, calls->fallback) =
        std::tuple(kind, cursor, anchor, allow, fallback);
    *plan = QrxPlan{calls->planKind, 3, 2, 1, 40, true, calls->text};
    return calls->planAccepted;
  };
  return f;
}

class EngineBridgeTest : public ::testing::Test {
 protected:
  EngineBridgeTest() { calls = &recorded; }
  ~EngineBridgeTest() override { calls = nullptr; }
  Calls recorded;
  EngineFunctions functions = fakeFunctions();
};

TEST_F(EngineBridgeTest, NoSessionKeepsNoChoice) {
  recorded.rejectEverySession = true;
  EXPECT_EQ(appModesKey("gedit", functions), std::nullopt);
}

TEST_F(EngineBridgeTest, ARejectedConfigurationFallsBackOnceToTheDefaults) {
  EngineSession session(std::string("{"), 1, functions);
  EXPECT_TRUE(session.isOpen());
  EXPECT_FALSE(session.tookConfiguration());
  EXPECT_EQ(recorded.sessionNew, (decltype(recorded.sessionNew){{"{", 1}, {std::nullopt, 1}}));

  EngineSession real(std::string("{"), 1);
  EngineSession defaults(std::nullopt, 1);
  EXPECT_TRUE(real.isOpen());
  EXPECT_FALSE(real.tookConfiguration());
  EXPECT_TRUE(defaults.tookConfiguration());
  EXPECT_TRUE(EngineSession(std::string(R"({"input_method": "vni"})")).tookConfiguration());
  EXPECT_EQ(real.configJSON(), defaults.configJSON());
}

TEST(EngineBridgeWithEngine, NamesTheKeyOfAnApplicationsChoice) {
  const std::pair<std::optional<std::string>, std::optional<std::string>> cases[] = {
      {"gedit", "gedit"},
      {"org.gnome.Gedit.desktop", "gedit"},
      {"google-chrome-stable", "chrome"},
      {"  Kate ", "kate"},
      {"", std::nullopt},
      {std::nullopt, std::nullopt},
  };
  for (const auto& [app, key] : cases) EXPECT_EQ(appModesKey(app), key) << app.value_or("-");
}

TEST_F(EngineBridgeTest, WithoutASessionEveryMethodIsNeutral) {
  recorded.rejectEverySession = true;
  EngineSession session(std::nullopt, 0, functions);
  EXPECT_EQ(recorded.sessionNew, (decltype(recorded.sessionNew){{std::nullopt, 0}, {std::nullopt, 0}}));
  recorded.action = QrxAction{3, 1, 1, true, "x"};
  EXPECT_FALSE(session.isOpen());
  EXPECT_EQ(session.processKey("a", false, false, false), QrxEngineAction::pass);
  EXPECT_EQ(session.focusChanged("gedit"), QrxEngineAction::pass);
  EXPECT_EQ(session.cursorMoved(), QrxEngineAction::pass);
  EXPECT_EQ(session.setOutputMode(1), QrxEngineAction::pass);
  EXPECT_EQ(session.toggleVietnamese(), QrxEngineAction::pass);
  EXPECT_EQ(session.planAction({}, 0, "", "", 0, 0, false, 1), QrxEnginePlan::pass);
  EXPECT_EQ(session.displayText(), "");
  EXPECT_EQ(session.profileOutputMode(), 0u);
  EXPECT_FALSE(session.isEnabled());
  EXPECT_EQ(session.configJSON(), std::nullopt);
  EXPECT_EQ(session.appProfileJSON(), std::nullopt);
  EXPECT_FALSE(session.setConfigJSON("{}"));
  EXPECT_EQ(session.encodeCharset("Việt", "viqr"), std::nullopt);
  EXPECT_EQ(session.decodeCharset("Vie^.t", "viqr"), std::nullopt);
  EXPECT_EQ(recorded.plans, 0);
}

TEST_F(EngineBridgeTest, KindsTheMirrorsDoNotKnowBecomePass) {
  EngineSession session(std::nullopt, 0, functions);
  const std::pair<std::uint32_t, QrxActionKind> actions[] = {
      {0, QrxActionKind::pass},   {1, QrxActionKind::preedit}, {2, QrxActionKind::replace},
      {3, QrxActionKind::commit}, {4, QrxActionKind::pass},    {7, QrxActionKind::pass}};
  for (const auto& [raw, kind] : actions) {
    recorded.action = QrxAction{raw, 2, 1, true, raw == 1 ? "ệ" : nullptr};
    const auto action = session.processKey("e", false, false, false);
    EXPECT_EQ(action.kind, kind) << raw;
    EXPECT_EQ(action.insert, raw == 1 ? "ệ" : "");
  }
  const std::pair<std::uint32_t, QrxPlanKind> plans[] = {{2, QrxPlanKind::commit},
                                                         {3, QrxPlanKind::replace},
                                                         {4, QrxPlanKind::failSafe},
                                                         {5, QrxPlanKind::pass}};
  for (const auto& [raw, kind] : plans) {
    recorded.planKind = raw;
    EXPECT_EQ(session.planAction({}, 0, "", std::nullopt, 0, 0, false, 0).kind, kind) << raw;
  }
}

TEST_F(EngineBridgeTest, PlanArgumentsFollowTheBoundaryRules) {
  EngineSession session(std::nullopt, 0, functions);
  recorded.text = "Việt";
  const QrxEngineAction action{QrxActionKind::replace, -5, "", -1, true};
  EXPECT_EQ(session.planAction(action, 4, "", std::string(), 7, 3, true, 2),
            (QrxEnginePlan{QrxPlanKind::pass, 3, 2, 1, 40, true, "Việt"}));
  EXPECT_EQ(recorded.planned.kind, 2u);
  EXPECT_EQ(recorded.planned.delete_before_utf16, 0u);
  EXPECT_EQ(recorded.planned.cursor_utf16, 0u);
  EXPECT_TRUE(recorded.planned.pass_key);
  EXPECT_EQ(recorded.plannedInsert, "");  // an empty text still goes as text
  EXPECT_EQ(recorded.display, std::nullopt);
  EXPECT_EQ(recorded.surrounding, "");
  EXPECT_EQ(std::tuple(recorded.fieldKind, recorded.cursor, recorded.anchor, recorded.allowUnverified,
                       recorded.fallback),
            std::tuple(4u, 7u, 3u, true, 2u));

  session.planAction({QrxActionKind::commit, 0, "a", 0, false}, 0, "vie", std::nullopt, 0, 0, false, 0);
  EXPECT_EQ(recorded.display, "vie");
  EXPECT_EQ(recorded.surrounding, std::nullopt);

  recorded.planAccepted = false;
  EXPECT_EQ(session.planAction(action, 0, "", std::nullopt, 0, 0, false, 0), QrxEnginePlan::pass);
  const int before = recorded.plans;
  EXPECT_EQ(session.planAction({QrxActionKind::replace, std::int64_t(1) << 32, "a", 0, false}, 0, "",
                               std::nullopt, 0, 0, false, 1),
            QrxEnginePlan::pass);
  EXPECT_EQ(recorded.plans, before);
}

TEST_F(EngineBridgeTest, TextFromTheEngineIsCopiedAndRepaired) {
  EngineSession session(std::nullopt, 0, functions);
  recorded.text = "vi\xE1\xBB";
  EXPECT_EQ(session.displayText(), "vi\uFFFD");
  recorded.text = nullptr;
  EXPECT_EQ(session.displayText(), "");
}

TEST(EngineBridgeWithEngine, RealSessionAnswers) {
  EngineSession session(std::nullopt);
  EXPECT_EQ(session.displayText(), "");
  EXPECT_EQ(session.planAction(QrxEngineAction::pass, 0, "", std::nullopt, 0, 0, false, 3),
            QrxEnginePlan::pass);
  EXPECT_EQ(session.encodeCharset("Việt", "viqr"), "Vie^.t");
  EXPECT_EQ(session.decodeCharset("Vie^.t", "viqr"), "Việt");
  for (const char* key : {"v", "i", "e", "e"}) session.processKey(key, false, false, false);
  EXPECT_EQ(session.displayText(), "viê");
  EXPECT_TRUE(session.setConfigJSON(R"({"input_method":"vni"})"));
  EXPECT_NE(session.configJSON().value().find(R"("input_method":"vni")"), std::string::npos);
}

}  // namespace
}  // namespace quorvix::app
