#include "SoundSources.h"

#include <algorithm>
#include <sstream>

namespace recmon {

bool TServerInfo::OnPipeWire() const {
  return ServerName.find("PipeWire") != std::string::npos;
}

const TSourceInfo* TServerInfo::FindSource(const std::string& name) const {
  const auto it = std::find_if(Sources.begin(), Sources.end(),
                               [&](const TSourceInfo& s) { return s.Name == name; });
  return it == Sources.end() ? nullptr : &*it;
}

const TSinkInfo* TServerInfo::FindSink(const std::string& name) const {
  const auto it =
      std::find_if(Sinks.begin(), Sinks.end(), [&](const TSinkInfo& s) { return s.Name == name; });
  return it == Sinks.end() ? nullptr : &*it;
}

namespace {

[[noreturn]] void Unknown(const std::string& option, const std::string& name) {
  throw TRecorderUsageError("no source named '" + name + "' for " + option +
                            "; 'recmon-record --list' shows the sources");
}

}  // namespace

TChosenSources ChooseSources(const TServerInfo& server, const TRecorderOptions& options) {
  TChosenSources chosen;
  if (options.Mic) {
    const TSourceInfo* mic = server.FindSource(*options.Mic);
    if (mic == nullptr) {
      Unknown("--mic", *options.Mic);
    }
    chosen.Mic = *mic;
  } else {
    const TSourceInfo* mic = server.FindSource(server.DefaultSource);
    if (mic == nullptr) {
      throw TSoundServerError("the sound server has no default source; choose one with --mic");
    }
    chosen.Mic = *mic;
  }
  if (options.NoOthers) {
    return chosen;
  }
  if (options.Others) {
    if (const TSourceInfo* others = server.FindSource(*options.Others)) {
      chosen.Others = *others;
    } else if (const TSinkInfo* sink = server.FindSink(*options.Others);
               sink != nullptr && server.FindSource(sink->MonitorSource) != nullptr) {
      chosen.Others = *server.FindSource(sink->MonitorSource);
    } else {
      Unknown("--others", *options.Others);
    }
    return chosen;
  }
  const TSinkInfo* sink = server.FindSink(server.DefaultSink);
  const TSourceInfo* monitor = sink != nullptr ? server.FindSource(sink->MonitorSource) : nullptr;
  if (monitor == nullptr) {
    throw TSoundServerError(
        "the sound server has no default output to record the other parties from; choose a "
        "source with --others, or record the microphone alone with --no-others");
  }
  chosen.Others = *monitor;
  return chosen;
}

TDesktopSources::TDesktopSources(const TRecorderOptions& options)
    : Mic_(options.Mic), Others_(options.Others), NoOthers_(options.NoOthers) {}

TSideSources TDesktopSources::Start(const TServerInfo& server) const {
  TRecorderOptions options;
  options.Mic = Mic_;
  options.Others = Others_;
  options.NoOthers = NoOthers_;
  TChosenSources chosen = ChooseSources(server, options);
  return {std::move(chosen.Mic), std::move(chosen.Others)};
}

TSideSources TDesktopSources::Choose(const TServerInfo& server) const {
  TSideSources chosen;
  const TSourceInfo* mic = Mic_ ? server.FindSource(*Mic_) : nullptr;
  if (mic == nullptr) {
    mic = server.FindSource(server.DefaultSource);
  }
  if (mic != nullptr) {
    chosen.Mic = *mic;
  }
  if (NoOthers_) {
    return chosen;
  }
  const auto monitorOf = [&](const std::string& sinkName) -> const TSourceInfo* {
    const TSinkInfo* sink = server.FindSink(sinkName);
    return sink != nullptr ? server.FindSource(sink->MonitorSource) : nullptr;
  };
  const TSourceInfo* others = nullptr;
  if (Others_) {
    others = server.FindSource(*Others_);
    if (others == nullptr) {
      others = monitorOf(*Others_);
    }
  }
  if (others == nullptr) {
    others = monitorOf(server.DefaultSink);
  }
  if (others != nullptr) {
    chosen.Others = *others;
  }
  return chosen;
}

std::string SourceListText(const TServerInfo& server) {
  std::ostringstream out;
  out << "Sound server: " << server.ServerName << ' ' << server.ServerVersion << '\n';
  out << "Sources for --mic and --others (an output's name also works for --others):\n";
  std::size_t width = 0;
  for (const TSourceInfo& s : server.Sources) {
    width = std::max(width, s.Name.size());
  }
  const TSinkInfo* defaultSink = server.FindSink(server.DefaultSink);
  for (const TSourceInfo& s : server.Sources) {
    out << "  " << s.Name << std::string(width - s.Name.size() + 2, ' ') << s.Description << " ("
        << static_cast<int>(s.Channels) << (s.Channels == 1 ? " channel" : " channels");
    if (!s.MonitorOf.empty()) {
      out << ", what " << s.MonitorOf << " plays";
    }
    out << ')';
    if (s.Name == server.DefaultSource) {
      out << "  [default --mic]";
    }
    if (defaultSink != nullptr && s.Name == defaultSink->MonitorSource) {
      out << "  [default --others]";
    }
    out << '\n';
  }
  if (server.Sources.empty()) {
    out << "  (none)\n";
  }
  return out.str();
}

}  // namespace recmon
