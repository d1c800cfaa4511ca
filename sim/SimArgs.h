#pragma once

// The command line of recmon-sim, parsed into plain data before anything is
// attached, so a bad argument never leaves the channel touched.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace recmon {

// A bad command line; main prints it with a hint and exits with status 2.
class TUsageError final : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

enum class TSimAction { Help, Play, Set, Show };

struct TAssignment {
  std::string Field;
  std::string Value;
};

// Fastest accepted play speed, and the longest accepted hold in seconds.
inline constexpr double MaxSpeed = 10000;
inline constexpr double MaxHoldSeconds = 1e9;

struct TSimCommand {
  TSimAction Action = TSimAction::Help;
  double Speed = 1;                         // play: call seconds per real second
  std::vector<TAssignment> Assignments;     // set: in the order given
  bool NoMagic = false;                     // set: leave Magic zero
  std::optional<double> HoldSeconds = 0.0;  // set: nothing = until a stop signal
};

// The arguments after the program name. Raises TUsageError.
TSimCommand ParseSimArgs(const std::vector<std::string>& args);

extern const char* const SimHelpText;

}  // namespace recmon
