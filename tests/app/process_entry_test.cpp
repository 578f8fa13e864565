// What the executable's own tests cannot reach: a stored list of input methods that cannot be
// written.
#include "quorvix_app/process_entry.h"

#include <gtest/gtest.h>

namespace quorvix::app {
namespace {

class FakePreference : public platform::EnabledInputMethodsPreference {
 public:
  std::optional<std::vector<std::string>> stored = std::vector<std::string>{};
  bool writable = true;
  std::optional<std::vector<std::string>> names() override { return stored; }
  bool append(std::string_view name) override {
    if (!stored || !writable) return false;
    stored->emplace_back(name);
    return true;
  }
};

TEST(InputSourceRegistrar, AddsOneEntryAndNeverReplacesAListItCannotRead) {
  using Names = std::vector<std::string>;
  struct Row {
    std::optional<Names> stored;
    bool writable;
    bool ensured;
    std::optional<Names> after;
  };
  const Row rows[] = {
      {Names{"keyboard-us"}, true, true, Names{"keyboard-us", "quorvix"}},
      {Names{"quorvix", "pinyin"}, false, true, Names{"quorvix", "pinyin"}},
      {Names{}, false, false, Names{}},
      {std::nullopt, true, false, std::nullopt},
  };
  for (const auto& row : rows) {
    FakePreference preference;
    preference.stored = row.stored;
    preference.writable = row.writable;
    EXPECT_EQ(InputSourceRegistrar::ensureEnabled(preference).ok(), row.ensured);
    EXPECT_EQ(InputSourceRegistrar::ensureEnabled(preference).ok(), row.ensured)
        << "a second run changes nothing";
    EXPECT_EQ(preference.stored, row.after);
    EXPECT_EQ(InputSourceRegistrar::isEnabled(preference), row.ensured);
  }
}

}  // namespace
}  // namespace quorvix::app
