#include "RecorderArgs.h"

#include <cmath>
#include <cstdlib>

#include "CallFile.h"

namespace recmon {

const char* const RecorderHelpText =
    R"(Usage: recmon-record [OPTIONS] [FILE]
Records a call from the desktop's sound server (PulseAudio, or PipeWire's
PulseAudio service) into one stereo file: the microphone on the left, the
other parties (what the desktop plays) on the right. Its live state is
published for the Kestrum Call Monitor (recmon).

FILE ends in .wav, .flac, .ogg or .opus (Opus in Ogg) and must not exist yet.
Without it the file is Calls/call-YYYY-MM-DD-HHMMSS.wav in your music folder.
The path is printed. The recording follows the default devices as they
change, and goes on in the same file when the sound server restarts.

Options:
  --mic SOURCE        record this source as the microphone
                      (default: the server's default source)
  --others SOURCE     record this source, or this output's monitor, as the
                      other parties (default: the default output's monitor)
  --no-others         record the microphone only; the right channel is silent
  --list              list the sources that --mic and --others accept
  --duration SECONDS  stop after this many seconds (default: until SIGINT,
                      SIGTERM or SIGHUP, as on Ctrl+C)
  --help              show this help

Exit status: 0 the recording ended normally; 1 it could not start or had to
stop (no sound server, the server stayed away for two minutes, a write failed,
the disk filled); 2 bad arguments or an unknown source.
)";

namespace {

double ParseDuration(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0 ||
      value > kMaxDurationSeconds) {
    throw TRecorderUsageError("--duration needs a number of seconds above 0, not '" + text + "'");
  }
  return value;
}

}  // namespace

TRecorderOptions ParseRecorderArgs(const std::vector<std::string>& args) {
  TRecorderOptions options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (options.File) {
        throw TRecorderUsageError("only one FILE can be given, not also '" + arg + "'");
      }
      options.File = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // --name=value and --name value mean the same.
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.resize(eq);
    }
    const auto value = [&]() -> std::string {
      if (inlineValue) {
        return *inlineValue;
      }
      if (i + 1 >= args.size()) {
        throw TRecorderUsageError(arg + " needs a value");
      }
      return args[++i];
    };
    const auto flag = [&] {
      if (inlineValue) {
        throw TRecorderUsageError(arg + " takes no value");
      }
    };
    if (arg == "--help" || arg == "-h") {
      flag();
      options.Help = true;
    } else if (arg == "--list") {
      flag();
      options.List = true;
    } else if (arg == "--no-others") {
      flag();
      options.NoOthers = true;
    } else if (arg == "--mic" || arg == "--others") {
      std::string source = value();
      if (source.empty()) {
        throw TRecorderUsageError(arg + " needs a source name; see --list");
      }
      (arg == "--mic" ? options.Mic : options.Others) = std::move(source);
    } else if (arg == "--duration") {
      options.DurationSeconds = ParseDuration(value());
    } else {
      throw TRecorderUsageError("unknown option '" + arg + "'");
    }
  }
  if (options.NoOthers && options.Others) {
    throw TRecorderUsageError("--others and --no-others contradict each other");
  }
  if (options.File) {
    // A name whose format cannot be told is a usage error, found before recording.
    static_cast<void>(CallFileFormat(*options.File));
  }
  return options;
}

}  // namespace recmon
