#include "SimArgs.h"

#include <charconv>
#include <cmath>

namespace recmon {

const char* const SimHelpText = R"(Usage:
  recmon-sim play [--speed X]
  recmon-sim set FIELD=VALUE ... [--hold SECONDS|forever] [--no-magic]
  recmon-sim show
  recmon-sim --help

A demo recorder for the Kestrum Call Monitor. It publishes the status record
through the same channel as a real recorder (docs/protocol.md): in
$XDG_RUNTIME_DIR/VardimexKestrumRecMon/, or /dev/shm/VardimexKestrumRecMon-<uid>/
when XDG_RUNTIME_DIR is not set.

play   Plays a typical call of about a minute (X times faster with --speed X,
       up to 10000): recording starts, a file grows in a temporary folder,
       the levels move, the sound server loses half a second, the other
       party falls silent for a while, the buffer climbs past 10 % (Fair)
       and 60 % (Poor) and, full, refuses two seconds, the buffer recovers,
       recording stops, the file is removed and the program exits. The
       record is written 25 times a second; times and ticks in it follow the
       call's own clock, so the monitor shows the call at speed X. Like a
       recorder, it holds the monitor's record while it plays; when another
       recorder holds it already, the call plays without being shown.

set    Writes one record made of the given fields: the others are zero, and
       Magic is valid unless --no-magic or Magic=... is given. "now" is read
       once, when the record is written. Then prints one line starting with
       "holding" and stays attached for --hold SECONDS (default 0, fractions
       allowed; "forever" waits for a signal). The record lives only while some
       program is attached: without a monitor running, it is gone after the
       hold. SIGINT, SIGTERM or SIGHUP end the hold early and cleanly.
       While it holds, it stands for a recorder: it holds the monitor's
       record when no recorder does, so that killing or stopping it shows as
       a recorder's crash or hang. Without a hold, or while another program
       holds the record, it writes an edit into that program's record.

show   Prints the current record, decoded, without writing to it, and
       whether its writer is running, ended, or unknown (a recorder without
       the writer presence).

Fields (the record's field names) and their values:
  FileName=TEXT               path of the recording file, at most 512 bytes
  Recording=FLAG              0 or 1 (also false/true, no/yes, off/on)
  StartTime=TIME  LastUpdateTime=TIME
                              now, now-95s, now+2m, -95s (same as now-95s), or
                              a date-time number: days since 1899-12-30 local
                              time, e.g. 45413.5; units ms s m h d
  BytesRecorded=BYTES  BytesDropped=BYTES  BytesDropped1=BYTES  BytesDropped2=BYTES
                              a count (decimal or 0x hex) or seconds of audio:
                              95s = 95 x 95232 bytes; BytesDropped is the total,
                              BytesDropped1 the part refused while the buffer
                              was full (writing fell behind), BytesDropped2 the
                              part lost at the sound server
  BufferSize=INT  BufferFree=INT  TheirRecordMode=INT
                              signed 32-bit; TheirRecordMode=2 means recorded
  Magic=N                     0x004ED9FE makes the record valid
  MyLevel=REAL  MyLevelBias=REAL  TheirLevel=REAL  TheirLevelBias=REAL
                              a level of 0.5 above the bias fills a bar; nan
                              and inf are accepted
  TheirLastSoundTick=TICK     now, now-6s, -6000ms, or a raw tick (ms since
                              boot, CLOCK_BOOTTIME, low 32 bits)

Example: a call of 95 s, 90 s of it recorded, buffer 58 % full, 2 s dropped:
  recmon-sim set Recording=1 FileName=/tmp/call.wav StartTime=now-95s \
    LastUpdateTime=now BytesRecorded=90s BufferSize=100 BufferFree=42 \
    BytesDropped=2s TheirRecordMode=2 TheirLastSoundTick=now --hold 30

Exit status: 0 done (also when stopped by a signal), 1 the channel is not
available or a write failed, 2 bad arguments.
)";

namespace {

double ParseOptionNumber(const std::string& option, const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
    throw TUsageError(option + " needs a number, not '" + text + "'");
  }
  return value;
}

// The value of "--name VALUE" or "--name=VALUE" at args[i], or nothing when
// args[i] is another argument.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) {
      throw TUsageError(name + " needs a value");
    }
    return args[++i];
  }
  if (arg.starts_with(name + "=")) {
    return arg.substr(name.size() + 1);
  }
  return std::nullopt;
}

std::optional<double> ParseHold(const std::string& text) {
  if (text == "forever") {
    return std::nullopt;
  }
  const double seconds = ParseOptionNumber("--hold", text);
  if (seconds < 0 || seconds > MaxHoldSeconds) {
    throw TUsageError("--hold takes 0 to 1e9 seconds, or forever");
  }
  return seconds;
}

}  // namespace

TSimCommand ParseSimArgs(const std::vector<std::string>& args) {
  if (args.empty()) {
    throw TUsageError("no command given");
  }
  TSimCommand command;
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    return command;
  }
  if (name == "play") {
    command.Action = TSimAction::Play;
  } else if (name == "set") {
    command.Action = TSimAction::Set;
  } else if (name == "show") {
    command.Action = TSimAction::Show;
  } else {
    throw TUsageError("unknown command '" + name + "'");
  }

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      return TSimCommand{};
    }
    if (command.Action == TSimAction::Play) {
      if (const auto speed = OptionValue(args, i, "--speed")) {
        command.Speed = ParseOptionNumber("--speed", *speed);
        if (command.Speed <= 0 || command.Speed > MaxSpeed) {
          throw TUsageError("--speed takes a number above 0 and up to 10000");
        }
        continue;
      }
    } else if (command.Action == TSimAction::Set) {
      if (const auto hold = OptionValue(args, i, "--hold")) {
        command.HoldSeconds = ParseHold(*hold);
        continue;
      }
      if (arg == "--no-magic") {
        command.NoMagic = true;
        continue;
      }
      const auto equals = arg.find('=');
      if (!arg.starts_with("-") && equals != std::string::npos && equals > 0) {
        command.Assignments.push_back({arg.substr(0, equals), arg.substr(equals + 1)});
        continue;
      }
    }
    throw TUsageError("'" + arg + "' is not an argument of " + name);
  }
  return command;
}

}  // namespace recmon
