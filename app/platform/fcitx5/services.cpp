#include "platform/fcitx5/services.h"

#include <dlfcn.h>
#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/event.h>
#include <fcitx-utils/misc.h>
#include <time.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <xcb_public.h>

#include <system_error>

#include "install_paths.h"
#include "quorvix_app/config_file.h"
#include "quorvix_app/process_entry.h"

namespace quorvix::platform::fcitx5 {

namespace {

class EventLoopTimer final : public platform::Timer {
 public:
  std::unique_ptr<fcitx::EventSourceTime> source;
};

// The quorvix executable that came with this code: the running one when the server is built into
// it, else the one installed beside the addon's library, else where the build meant to install it.
std::string quorvixExecutable() {
  namespace fs = std::filesystem;
  if (const auto self = platform::ownExecutable(); self.filename() == app::ConfigFile::bundleID) {
    return self.string();
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&quorvixExecutable), &info) != 0 && info.dli_fname) {
    const auto beside =
        (fs::path(info.dli_fname).parent_path() / install_paths::kExecutableFromAddon).lexically_normal();
    if (std::error_code error; fs::exists(beside, error)) return beside.string();
  }
  return std::string(install_paths::kExecutable);
}

}  // namespace

std::unique_ptr<platform::Timer> EventLoopTimers::scheduleRepeating(std::chrono::milliseconds interval,
                                                                    std::function<void()> tick) {
  const auto usec = static_cast<std::uint64_t>(
      std::max<std::int64_t>(std::chrono::duration_cast<std::chrono::microseconds>(interval).count(), 1));
  auto timer = std::make_unique<EventLoopTimer>();
  timer->source =
      loop_.addTimeEvent(CLOCK_MONOTONIC, fcitx::now(CLOCK_MONOTONIC) + usec, 0,
                         [usec, tick = std::move(tick)](fcitx::EventSourceTime* source, std::uint64_t) {
                           source->setNextInterval(usec);
                           source->setOneShot();
                           // The tick may stop the timer, and with it this callback.
                           const auto run = tick;
                           run();
                           return true;
                         });
  return timer;
}

void ClipboardProcesses::start(const std::string& op, const std::string& charset) {
  start_({quorvixExecutable(), std::string(app::transformClipboardOption), op, charset});
}

std::optional<std::string_view> FcitxWorkspace::frontmostApplicationID() {
  const auto* context = context_.get();
  if (!context || context->program().empty()) return std::nullopt;
  return context->program();
}

bool FcitxWorkspace::isSecureEventInputEnabled() {
  const auto* context = context_.get();
  return context && context->capabilityFlags().testAny(fcitx::CapabilityFlag::PasswordOrSensitive);
}

void FcitxWorkspace::openFile(const std::filesystem::path& path) { start_({"xdg-open", path.string()}); }

void FcitxWorkspace::openInputSourceSettings() { start_({"fcitx5-configtool"}); }

void FcitxWorkspace::showPreferences() { start_({quorvixExecutable(), "--preferences"}); }

void FcitxWorkspace::beep() {
  if (auto* context = context_.get()) beep_(*context);
}

AddonServices completeServices(AddonServices services, fcitx::Instance& instance, Beeper bell) {
  if (!services.timers) services.timers = std::make_shared<EventLoopTimers>(instance.eventLoop());
  if (!services.files) services.files = &platform::systemFiles();
  if (!services.startProcess) {
    services.startProcess = [](const std::vector<std::string>& arguments) { fcitx::startProcess(arguments); };
  }
  if (!services.beep) services.beep = std::move(bell);
  return services;
}

void ringXBell(fcitx::AddonInstance* xcb, fcitx::InputContext& context) {
  constexpr std::string_view kX11 = "x11:";
  const auto display = context.display();
  if (!xcb || !display.starts_with(kX11)) return;
  auto* ewmh = xcb->call<fcitx::IXCBModule::ewmh>(display.substr(kX11.size()));
  if (!ewmh || !ewmh->connection) return;
  xcb_bell(ewmh->connection, 0);
  xcb_flush(ewmh->connection);
}

fcitx::Key keyAsTyped(fcitx::AddonInstance* xcb, const fcitx::InputContext& context, const fcitx::Key& key) {
  constexpr std::string_view kX11 = "x11:";
  const auto display = context.display();
  if (!xcb || std::string_view(context.frontend()) != "xim" || !display.starts_with(kX11) || key.code() == 0)
    return key;
  auto* server = xcb->call<fcitx::IXCBModule::xkbState>(display.substr(kX11.size()));
  if (!server) return key;
  const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(
      xkb_state_new(xkb_state_get_keymap(server)), xkb_state_unref);
  if (!state) return key;
  // An X event's state: the eight core modifiers, which are the first eight of an X keymap's, and
  // the layout group in bits 13 and 14.
  const auto bits = static_cast<std::uint32_t>(key.states());
  xkb_state_update_mask(state.get(), bits & 0xFF, 0, 0, 0, 0, (bits >> 13) & 0x3);
  const auto sym = xkb_state_key_get_one_sym(state.get(), key.code());
  if (sym == XKB_KEY_NoSymbol) return key;
  return fcitx::Key(static_cast<fcitx::KeySym>(sym), key.states(), key.code());
}

}  // namespace quorvix::platform::fcitx5
