// What the executable's own tests cannot reach: a stored list of input methods that cannot be
// written.
#include "quorvix_app/process_entry.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvix::app
