// The input method server of the quorvix executable: an Fcitx5 instance with Quorvix built in,
// beside every other addon the system has.
#pragma once

namespace quorvix::platform::fcitx5 {

// Runs the server until it is told to stop (SIGTERM, SIGINT, or Fcitx5's own exit request) and
// returns the process's exit status. The arguments are the executable's own: none of them reaches
// Fcitx5's option parser, so an option Fcitx5 does not know still starts the server.
int runInputMethodServer(int argc, char** argv);

}  // namespace quorvix::platform::fcitx5
