// The input method server as the quorvix executable runs it, for the server's test.
#include "platform/fcitx5/server.h"

int main(int argc, char** argv) { return quorvix::platform::fcitx5::runInputMethodServer(argc, argv); }
