#include "CallSources.h"

#include <algorithm>

namespace recmon {

void TCallIdentity::Learn(const TServerStreams& streams) {
  for (const TCaptureStream& capture : streams.Captures) {
    if (capture.Owner.Key() != App) {
      continue;
    }
    if (capture.Owner.Pid != 0) {
      Pids.insert(capture.Owner.Pid);
    }
    if (!capture.Owner.Binary.empty()) {
      Binaries.insert(capture.Owner.Binary);
    }
  }
}

std::optional<std::string> CallMicrophone(const TServerStreams& streams, const TCallIdentity& call,
                                          const TCallFilter& filter) {
  const TCaptureStream* newest = nullptr;
  for (const TCaptureStream& capture : streams.Captures) {
    if (capture.Owner.Key() == call.App && IsCallCapture(capture, filter) &&
        (newest == nullptr || capture.Index > newest->Index)) {
      newest = &capture;
    }
  }
  return newest != nullptr ? std::optional(newest->Source) : std::nullopt;
}

TCallPlayback ChooseCallPlayback(const TServerStreams& streams, const TCallIdentity& call,
                                 const TCallFilter& filter, bool played) {
  TCallPlayback own{TPlaybackMatch::Own, {}, {}};
  TCallPlayback sameBinary{TPlaybackMatch::SameBinary, {}, {}};
  for (const TPlaybackStream& playback : streams.Playbacks) {
    const TStreamOwner& owner = playback.Owner;
    if (filter.IsOurs(owner)) {
      continue;
    }
    if ((owner.Pid != 0 && call.Pids.contains(owner.Pid)) ||
        (!owner.Key().empty() && owner.Key() == call.App)) {
      own.Streams.push_back(playback);
    } else if (!owner.Binary.empty() && call.Binaries.contains(owner.Binary)) {
      sameBinary.Streams.push_back(playback);
    }
  }
  for (TCallPlayback* choice : {&own, &sameBinary}) {
    if (!choice->Streams.empty()) {
      std::sort(choice->Streams.begin(), choice->Streams.end(),
                [](const auto& a, const auto& b) { return a.Index < b.Index; });
      return *choice;
    }
  }
  if (played) {
    return own;
  }
  return {TPlaybackMatch::DefaultOutput, {}, streams.DefaultSinkMonitor};
}

std::string CallPlaybackText(const TCallPlayback& playback, const std::string& app) {
  const std::size_t count = playback.Streams.size();
  const std::string streams =
      std::to_string(count) + (count == 1 ? " playback stream" : " playback streams");
  switch (playback.Match) {
    case TPlaybackMatch::Own:
      return "the other side is " + app + "'s sound alone (" + streams + ")";
    case TPlaybackMatch::SameBinary:
      return "the other side is the sound of " + app + "'s executable (" + streams +
             " of another process)";
    case TPlaybackMatch::DefaultOutput:
      break;
  }
  return app +
         " plays nothing the server can tell apart; the other side is everything the "
         "default output plays (" +
         (playback.Monitor.empty() ? std::string("no default output") : playback.Monitor) + ")";
}

}  // namespace recmon
