#pragma once

// The command line of recmon-record, parsed into plain data before anything
// is opened, so a bad argument touches neither the sound server nor a file.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace recmon {

// A bad command line or an unknown source; main prints it with a hint and
// exits with status 2.
class TRecorderUsageError final : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Longest --duration accepted: a year, far beyond any call.
inline constexpr double kMaxDurationSeconds = 366.0 * 86400;

struct TRecorderOptions {
  bool Help = false;
  bool List = false;
  std::optional<std::string> Mic;     // nothing: the server's default source
  std::optional<std::string> Others;  // nothing: the monitor of the default sink
  bool NoOthers = false;
  std::optional<double> DurationSeconds;  // nothing: until a stop signal
  std::optional<std::string> File;        // nothing: a dated name in the folder below
  std::optional<std::string> Folder;      // nothing: Calls in the music folder
  std::optional<std::string> Format;      // "wav", "flac", "ogg" or "opus"; nothing: wav

  // --auto: wait for calls and record each one into its own file.
  bool Auto = false;
  std::vector<std::string> Only;    // record only these programs' calls
  std::vector<std::string> Ignore;  // never record these programs' calls
  bool NoMonitor = false;           // do not start recmon for a call

  bool operator==(const TRecorderOptions&) const = default;
};

// The arguments after the program name. Raises TRecorderUsageError.
TRecorderOptions ParseRecorderArgs(const std::vector<std::string>& args);

// The file extension, with its dot, that a recording without FILE gets.
std::string ChosenExtension(const TRecorderOptions& options);

extern const char* const RecorderHelpText;

}  // namespace recmon
