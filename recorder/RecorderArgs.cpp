#include "RecorderArgs.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "CallFile.h"

namespace recmon {

const char* const RecorderHelpText =
    R"(Usage: recmon-record [OPTIONS] [FILE]
       recmon-record --auto [--only APP]... [--ignore APP]... [--no-monitor]
Records a call from the desktop's sound server (PulseAudio, or PipeWire's
PulseAudio service) into one stereo file: the microphone on the left, the
other parties (what the desktop plays) on the right. Its live state is
published for the Kestrum Call Monitor (recmon).

FILE ends in .wav, .flac, .ogg or .opus (Opus in Ogg) and must not exist yet.
Without it the file is call-YYYY-MM-DD-HHMMSS.wav in the Calls folder of your
music folder. The path is printed. The recording follows the default devices as
they change, and goes on in the same file when the sound server restarts.

With --auto it waits for calls and records each one by itself: a call begins
when a program keeps a microphone open for 2 seconds and ends when it has had
none open for 5 seconds. Each call goes into its own file,
call-YYYY-MM-DD-HHMMSS-APP.wav: the microphone that program uses on the left,
only that program's sound on the right. The monitor is started for each call
and a desktop notification tells when its file is ready.

Options:
  --mic SOURCE        record this source as the microphone
                      (default: the server's default source)
  --others SOURCE     record this source, or this output's monitor, as the
                      other parties (default: the default output's monitor)
  --no-others         record the microphone only; the right channel is silent
  --list              list the sources that --mic and --others accept
  --duration SECONDS  stop after this many seconds (default: until SIGINT,
                      SIGTERM or SIGHUP, as on Ctrl+C)
  --folder FOLDER     record into FOLDER instead of the Calls folder
  --format FORMAT     wav (default), flac, ogg or opus, when no FILE is given
  --auto              record every call by itself, until SIGINT, SIGTERM or
                      SIGHUP
  --only APP          with --auto: record only APP's calls (repeatable); APP is
                      a program's name or its executable's, in any letter case
  --ignore APP        with --auto: never record APP's calls (repeatable)
  --no-monitor        with --auto: do not start recmon for a call
  --help              show this help

Exit status: 0 the recording ended normally; 1 it could not start or had to
stop (no sound server, the server stayed away for two minutes, a write failed,
the disk filled); 2 bad arguments or an unknown source.
)";

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

std::string ParseFormat(const std::string& text) {
  const std::string format = Lowered(text);
  if (format != "wav" && format != "flac" && format != "ogg" && format != "opus") {
    throw TRecorderUsageError("--format is wav, flac, ogg or opus, not '" + text + "'");
  }
  return format;
}

// Combinations that cannot mean anything, found before anything is opened.
void CheckCombinations(const TRecorderOptions& options) {
  if (options.NoOthers && options.Others) {
    throw TRecorderUsageError("--others and --no-others contradict each other");
  }
  if (options.File && (options.Folder || options.Format)) {
    throw TRecorderUsageError(
        "FILE names its folder and format itself; give either FILE or "
        "--folder and --format");
  }
  if (options.Auto) {
    if (options.File) {
      throw TRecorderUsageError(
          "--auto records each call into a file of its own; give --folder "
          "and --format instead of FILE");
    }
    const std::pair<bool, const char*> manualOnly[] = {
        {options.Mic.has_value(), "--mic"},
        {options.Others.has_value(), "--others"},
        {options.NoOthers, "--no-others"},
        {options.DurationSeconds.has_value(), "--duration"},
        {options.List, "--list"}};
    for (const auto& [given, name] : manualOnly) {
      if (given) {
        throw TRecorderUsageError(std::string(name) +
                                  " cannot be used with --auto, which chooses each call's "
                                  "sources itself");
      }
    }
  } else {
    const std::pair<bool, const char*> autoOnly[] = {{!options.Only.empty(), "--only"},
                                                     {!options.Ignore.empty(), "--ignore"},
                                                     {options.NoMonitor, "--no-monitor"}};
    for (const auto& [given, name] : autoOnly) {
      if (given) {
        throw TRecorderUsageError(std::string(name) + " works only with --auto");
      }
    }
  }
}

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
    } else if (arg == "--folder") {
      std::string folder = value();
      if (folder.empty()) {
        throw TRecorderUsageError("--folder needs a folder");
      }
      options.Folder = std::move(folder);
    } else if (arg == "--format") {
      options.Format = ParseFormat(value());
    } else if (arg == "--auto") {
      flag();
      options.Auto = true;
    } else if (arg == "--no-monitor") {
      flag();
      options.NoMonitor = true;
    } else if (arg == "--only" || arg == "--ignore") {
      std::string app = value();
      if (app.empty()) {
        throw TRecorderUsageError(arg + " needs a program's name");
      }
      (arg == "--only" ? options.Only : options.Ignore).push_back(std::move(app));
    } else {
      throw TRecorderUsageError("unknown option '" + arg + "'");
    }
  }
  CheckCombinations(options);
  if (options.File) {
    // A name whose format cannot be told is a usage error, found before recording.
    static_cast<void>(CallFileFormat(*options.File));
  }
  return options;
}

std::string ChosenExtension(const TRecorderOptions& options) {
  std::string extension = ".";
  extension += options.Format.value_or("wav");
  return extension;
}

}  // namespace recmon
