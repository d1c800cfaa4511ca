// recmon-sim: a demo recorder that publishes the status record.

#include <signal.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "SimArgs.h"
#include "StopSignals.h"

int main(int argc, char** argv) {
  using namespace recmon;
  // A reader that went away must not kill us before we detach.
  ::signal(SIGPIPE, SIG_IGN);
  const sigset_t stopSignals = BlockStopSignals();
  try {
    const TSimCommand command = ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.Action) {
      case TSimAction::Help:
        std::cout << SimHelpText;
        return 0;
      case TSimAction::Play:
        return RunPlay(command, stopSignals, std::cout);
      case TSimAction::Set:
        return RunSet(command, stopSignals, std::cout);
      case TSimAction::Show:
        return RunShow(std::cout);
    }
  } catch (const TUsageError& e) {
    std::cerr << "recmon-sim: " << e.what() << "\nTry 'recmon-sim --help'.\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "recmon-sim: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
