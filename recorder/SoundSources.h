#pragma once

// What the sound server offers and which two sources a recording takes.
// Plain data, so that choosing and listing are tested without a server.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "RecorderArgs.h"

namespace recmon {

// The sound server is missing, refused us, or went away; exit status 1.
class TSoundServerError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a source's channel sits, as far as mixing it down is concerned.
enum class TSpeaker : std::uint8_t {
  Mono,
  FrontLeft,
  FrontRight,
  FrontCenter,
  FrontSide,  // left or right of centre
  Surround,   // side or rear, left or right
  RearCenter,
  Lfe,
  Other,  // an auxiliary or height channel
};

struct TSourceInfo {
  std::string Name;
  std::string Description;
  std::uint8_t Channels = 1;
  std::string MonitorOf;  // the output whose monitor this is, or empty
  // One entry per channel; empty when not known (every channel then counts alike).
  std::vector<TSpeaker> Layout;
  // Only these playback streams, each on the monitor of the output it plays
  // on (stream number, monitor source), mixed: one program's sound. Empty:
  // the source as it is.
  std::vector<std::pair<std::uint32_t, std::string>> PlaybackStreams = {};

  bool operator==(const TSourceInfo&) const = default;
};

struct TSinkInfo {
  std::string Name;
  std::string Description;
  std::string MonitorSource;
};

struct TServerInfo {
  std::string ServerName;  // "pulseaudio", or "PulseAudio (on PipeWire 0.3.65)"
  std::string ServerVersion;
  std::string DefaultSource;
  std::string DefaultSink;
  std::vector<TSourceInfo> Sources;
  std::vector<TSinkInfo> Sinks;

  // pipewire-pulse reports a PulseAudio version; only its name tells.
  bool OnPipeWire() const;
  const TSourceInfo* FindSource(const std::string& name) const;
  const TSinkInfo* FindSink(const std::string& name) const;
};

struct TChosenSources {
  TSourceInfo Mic;
  std::optional<TSourceInfo> Others;  // nothing with --no-others
};

// The sources of the two sides at one moment; a side without one is recorded
// as silence until one appears.
struct TSideSources {
  std::optional<TSourceInfo> Mic;
  std::optional<TSourceInfo> Others;
};

// Which source each side of a recording takes, asked again whenever the
// server's sources or defaults change, so that a recording follows them.
class ISourcePolicy {
 public:
  virtual ~ISourcePolicy() = default;
  // Whether the other parties are recorded at all.
  virtual bool WithOthers() const = 0;
  // The sources to start with. Raises TRecorderUsageError for a source asked
  // for by name that the server does not have, TSoundServerError when there
  // is nothing to record.
  virtual TSideSources Start(const TServerInfo& server) const = 0;
  // The sources to record now; never raises.
  virtual TSideSources Choose(const TServerInfo& server) const = 0;
};

// The desktop's sources: a source named with --mic or --others while the
// server has it, otherwise the default source and the default output's
// monitor, so that a headset plugged in mid-call, a different output picked
// or a named device unplugged and plugged back in is followed.
class TDesktopSources final : public ISourcePolicy {
 public:
  explicit TDesktopSources(const TRecorderOptions& options);
  bool WithOthers() const override { return !NoOthers_; }
  TSideSources Start(const TServerInfo& server) const override;
  TSideSources Choose(const TServerInfo& server) const override;

 private:
  std::optional<std::string> Mic_;
  std::optional<std::string> Others_;
  bool NoOthers_ = false;
};

// The microphone: --mic or the default source. The other parties: --others
// (a source, or an output whose monitor is taken), or the default output's
// monitor. An unknown name raises TRecorderUsageError naming it and pointing
// to --list; a server without a default raises TSoundServerError.
TChosenSources ChooseSources(const TServerInfo& server, const TRecorderOptions& options);

// The --list text: the server, then every source with its channels and what
// it is, the defaults marked.
std::string SourceListText(const TServerInfo& server);

}  // namespace recmon
