// recmon: shows the live state of a call recording beside the recorder.

#include <cstdio>
#include <cstring>

#include "RecMonApp.h"

namespace {

// The window takes no command line; these two answer what a user asks first
// and never open it. Any other argument is ignored.
constexpr const char* HelpText =
    "Usage: recmon [--help | --version]\n"
    "Shows the live state of a call recording in a small window that stays on\n"
    "top of the others: whether the call is being recorded, the recording file\n"
    "and its size, a health grade that colours the window, the sound levels of\n"
    "both sides and, on request, the time elapsed and recorded, seconds dropped\n"
    "and behind, and how full the recorder's buffer is.\n"
    "\n"
    "It shows what a recorder publishes (recmon-record, or any recorder that\n"
    "follows the protocol in /usr/share/doc/kestrum-call-monitor/protocol.md.gz),\n"
    "and closes itself ten seconds after recording stops unless pinned.\n"
    "It keeps no settings.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(HelpText, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("recmon %s\n", RECMON_VERSION);
      return 0;
    }
  }
  return recmon::RunRecMon(argc, argv);
}
