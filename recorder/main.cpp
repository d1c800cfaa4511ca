// recmon-record: records a call and publishes its live state for the monitor.

#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "AutoRecorder.h"
#include "CallRecording.h"
#include "RecorderArgs.h"
#include "RecordingSession.h"

int main(int argc, char** argv) {
  using namespace recmon;
  // A monitor that went away must not kill us before the file is closed, and
  // a file-size limit must be a write error we report, not a silent end.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  // Blocked before any thread starts, so every thread inherits it and only
  // the main thread takes the stop signals, while it waits between publishes.
  const sigset_t stopSignals = BlockStopSignals();
  TRecorderOptions options;
  try {
    options = ParseRecorderArgs(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const TRecorderUsageError& e) {
    std::cerr << "recmon-record: " << e.what() << "\nTry 'recmon-record --help'.\n";
    return kExitUsage;
  }
  if (options.Help) {
    std::cout << RecorderHelpText;
    return kExitDone;
  }
  if (options.Auto) {
    return RunAutoRecorder(options, stopSignals, std::cout, std::cerr, StartCallRecording);
  }
  return RunRecorder(options, stopSignals, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1)
      .ExitStatus;
}
