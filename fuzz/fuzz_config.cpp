// Configuration text from anywhere (a file the user edits) through session creation and both
// patch functions; whatever configuration a session ends up with must be written as JSON that
// reads back into the same configuration.
#include "fuzz_support.h"

#include <qrx_engine/ports.h>
#include <quorvix.h>

#include <string>

namespace {

qrx_engine::ports::Config read(std::string_view json) {
  auto config = qrx_engine::ports::Config::from_json(json);
  if (!config.ok()) fuzz::fail("written configuration does not read back", json);
  return std::move(config).value();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // the C functions stop at a NUL

  QrxSession* session = qrx_session_new(text.c_str(), size % 2);
  if (session == nullptr) session = qrx_session_new(nullptr, 1);
  fuzz::check(session != nullptr, "default session");

  // Type a little so that patches have a word to end.
  qrx_process_key(session, "a", false, false, false);
  qrx_set_config_json(session, text.c_str());
  QrxAction action{};
  if (qrx_apply_config_json(session, text.c_str(), &action)) {
    fuzz::check(action.kind <= 3, "action kind");
    fuzz::checked_text(action.insert, "reload action text");
  }

  const std::string written(fuzz::checked_text(qrx_config_json(session), "configuration JSON"));
  fuzz::check(!written.empty(), "configuration JSON is empty");
  const auto config = read(written);

  // Written JSON creates an equal session, and is accepted whole as a patch.
  QrxSession* again = qrx_session_new(written.c_str(), 0);
  fuzz::check(again != nullptr, "written configuration rejected", written);
  fuzz::check(read(fuzz::checked_text(qrx_config_json(again), "configuration JSON")) == config,
              "configuration changed on the way round", written);
  fuzz::check(qrx_set_config_json(again, written.c_str()), "written configuration rejected as a patch",
              written);
  fuzz::check(read(fuzz::checked_text(qrx_config_json(again), "configuration JSON")) == config,
              "patch with the same configuration changed it", written);

  qrx_session_free(again);
  qrx_session_free(session);
  return 0;
}
