#pragma once

// The streams that programs have open on the sound server, as the watcher
// last saw them: plain data, so that telling calls and choosing what to record
// are tested without a server.

#include <cstdint>
#include <string>
#include <vector>

namespace recmon {

// Whom the server says a stream belongs to.
struct TStreamOwner {
  std::string AppName;    // application.name; may be empty
  std::string Binary;     // application.process.binary; may be empty
  std::uint32_t Pid = 0;  // application.process.id; 0 when not told

  // What a call is named and told apart by: the program's name, else its
  // executable's.
  const std::string& Key() const { return AppName.empty() ? Binary : AppName; }
  bool operator==(const TStreamOwner&) const = default;
};

// A capture stream (a source output).
struct TCaptureStream {
  std::uint32_t Index = 0;
  TStreamOwner Owner;
  std::string Source;            // the source it records
  bool SourceIsMonitor = false;  // the source is an output's monitor
  std::uint8_t SourceChannels = 1;
  std::uint32_t RateHz = 0;
  bool operator==(const TCaptureStream&) const = default;
};

// A playback stream (a sink input).
struct TPlaybackStream {
  std::uint32_t Index = 0;
  TStreamOwner Owner;
  std::string Sink;
  std::string SinkMonitor;  // the monitor source of its sink
  bool operator==(const TPlaybackStream&) const = default;
};

struct TServerStreams {
  std::vector<TCaptureStream> Captures;
  std::vector<TPlaybackStream> Playbacks;
  std::string DefaultSink;
  std::string DefaultSinkMonitor;
  bool operator==(const TServerStreams&) const = default;
};

}  // namespace recmon
