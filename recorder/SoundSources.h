#pragma once

// What the sound server offers and which two sources a recording takes.
// Plain data, so that choosing and listing are tested without a server.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecorderArgs.h"

namespace recmon {

// The sound server is missing, refused us, or went away; exit status 1.
class TSoundServerError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TSourceInfo {
  std::string Name;
  std::string Description;
  std::uint8_t Channels = 1;
  std::string MonitorOf;  // the output whose monitor this is, or empty

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

// The microphone: --mic or the default source. The other parties: --others
// (a source, or an output whose monitor is taken), or the default output's
// monitor. An unknown name raises TRecorderUsageError naming it and pointing
// to --list; a server without a default raises TSoundServerError.
TChosenSources ChooseSources(const TServerInfo& server, const TRecorderOptions& options);

// The --list text: the server, then every source with its channels and what
// it is, the defaults marked.
std::string SourceListText(const TServerInfo& server);

}  // namespace recmon
