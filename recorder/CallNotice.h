#pragma once

// The texts of the desktop notification that a call's file is ready.

#include <string>

namespace recmon {

struct TCallNotice {
  std::string App;
  std::string Path;
  double Seconds = 0;   // the length of the file
  std::string Failure;  // why the recording stopped early; empty when it did not
  bool NoFile = false;  // it could not even begin: Path and Seconds mean nothing
};

// "45 s", "12 min 05 s", "1 h 02 min": rounded to the second, and to the
// minute from an hour on.
std::string CallLengthText(double seconds);

std::string NoticeSummary(const TCallNotice& notice);

// The call's program and length, the file's path, and what went wrong if
// anything did. `markup`: the service reads the body as markup, so '&', '<'
// and '>' in a name or path are escaped.
std::string NoticeBody(const TCallNotice& notice, bool markup);

}  // namespace recmon
