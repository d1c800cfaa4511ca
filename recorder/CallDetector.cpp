#include "CallDetector.h"

#include <algorithm>
#include <cctype>

namespace recmon {

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

std::vector<std::string> Lowered(std::vector<std::string> names) {
  for (std::string& name : names) {
    name = Lowered(std::move(name));
  }
  return names;
}

bool Named(const std::vector<std::string>& names, const TStreamOwner& owner) {
  const std::string app = Lowered(owner.AppName);
  const std::string binary = Lowered(owner.Binary);
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return (!app.empty() && name == app) || (!binary.empty() && name == binary);
  });
}

}  // namespace

TCallFilter::TCallFilter(std::vector<std::string> only, std::vector<std::string> ignore,
                         std::uint32_t ownPid)
    : Only_(Lowered(std::move(only))), Ignore_(Lowered(std::move(ignore))), OwnPid_(ownPid) {}

bool TCallFilter::IsOurs(const TStreamOwner& owner) const {
  static const std::vector<std::string> ours{"recmon-record", "recmon", "recmon-sim"};
  return (OwnPid_ != 0 && owner.Pid == OwnPid_) || Named(ours, owner);
}

bool TCallFilter::Records(const TStreamOwner& owner) const {
  if (owner.Key().empty() || IsOurs(owner) || Named(Ignore_, owner)) {
    return false;
  }
  return Only_.empty() || Named(Only_, owner);
}

bool IsCallCapture(const TCaptureStream& stream, const TCallFilter& filter) {
  return !stream.SourceIsMonitor && stream.RateHz >= kMinCallRateHz && filter.Records(stream.Owner);
}

TCallDetector::TCallDetector(TCallFilter filter) : Filter_(std::move(filter)) {}

void TCallDetector::SetStreams(const std::vector<TCaptureStream>& captures, TDetectorTime now) {
  std::set<std::string> present;
  for (const TCaptureStream& stream : captures) {
    if (IsCallCapture(stream, Filter_)) {
      present.insert(stream.Owner.Key());
    }
  }
  std::erase_if(Capturing_, [&](const auto& entry) { return !present.contains(entry.first); });
  std::erase_if(Abandoned_, [&](const std::string& app) { return !present.contains(app); });
  for (const std::string& app : present) {
    Capturing_.try_emplace(app, now);
  }
  if (Call_) {
    if (present.contains(*Call_)) {
      CallAbsentSince_.reset();
    } else if (!CallAbsentSince_) {
      CallAbsentSince_ = now;
    }
  }
  ServerGone_ = false;
}

void TCallDetector::SetServerGone() {
  ServerGone_ = true;
  Capturing_.clear();
  CallAbsentSince_.reset();
}

void TCallDetector::Abandon() {
  if (Call_) {
    Abandoned_.insert(*Call_);
  }
  Call_.reset();
  CallAbsentSince_.reset();
}

void TCallDetector::Forget() {
  Call_.reset();
  CallAbsentSince_.reset();
}

std::vector<TCallEvent> TCallDetector::Advance(TDetectorTime now) {
  std::vector<TCallEvent> events;
  if (Call_ && CallAbsentSince_ && now >= *CallAbsentSince_ + kCallEndsAfter) {
    events.push_back({TCallEvent::TKind::Ended, *Call_, *CallAbsentSince_ + kCallEndsAfter});
    LastEnd_ = events.back().At;
    Call_.reset();
    CallAbsentSince_.reset();
  }
  if (!Call_ && !ServerGone_) {
    // The program that has held its microphone longest goes first.
    const std::pair<const std::string, TDetectorTime>* first = nullptr;
    for (const auto& entry : Capturing_) {
      if (!Abandoned_.contains(entry.first) && now >= entry.second + kCallBeginsAfter &&
          (first == nullptr || entry.second < first->second)) {
        first = &entry;
      }
    }
    if (first != nullptr) {
      // A program that waited for another's call begins when that one ended.
      events.push_back({TCallEvent::TKind::Began, first->first,
                        std::max(first->second + kCallBeginsAfter, LastEnd_)});
      Call_ = first->first;
    }
  }
  return events;
}

std::optional<TDetectorTime> TCallDetector::NextDeadline() const {
  if (Call_) {
    return CallAbsentSince_ ? std::optional(*CallAbsentSince_ + kCallEndsAfter) : std::nullopt;
  }
  if (ServerGone_) {
    return std::nullopt;
  }
  std::optional<TDetectorTime> next;
  for (const auto& [app, since] : Capturing_) {
    if (!Abandoned_.contains(app) && (!next || since + kCallBeginsAfter < *next)) {
      next = since + kCallBeginsAfter;
    }
  }
  return next;
}

}  // namespace recmon
