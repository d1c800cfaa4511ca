#include "PlacementTracker.h"

namespace recmon {

void TPlacementTracker::Requested(TPoint position, TClock::time_point now) {
  Requested_ = position;
  Answer_ = position;
  Tracking_ = true;
  Answered_ = false;
  AnswerDeadline_ = now + DesktopAnswerWindow;
}

void TPlacementTracker::Moved(TPoint position, TClock::time_point now) {
  if (Tracking_ && !Answered_ && now <= AnswerDeadline_ && position != Requested_) {
    Answer_ = position;
    Answered_ = true;
  }
}

TPoint TPlacementTracker::Seen(TPoint actual) const {
  return Tracking_ && actual == Answer_ ? Requested_ : actual;
}

}  // namespace recmon
