#include "CallNotice.h"

#include <cmath>
#include <cstdio>

namespace recmon {

std::string CallLengthText(double seconds) {
  const long long whole = std::isfinite(seconds) && seconds > 0 ? std::llround(seconds) : 0;
  char text[48];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%lld s", whole);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  } else {
    const long long minutes = (whole + 30) / 60;
    std::snprintf(text, sizeof text, "%lld h %02lld min", minutes / 60, minutes % 60);
  }
  return text;
}

std::string NoticeSummary(const TCallNotice& notice) {
  if (notice.NoFile) {
    return "Call not recorded";
  }
  return notice.Failure.empty() ? "Call recorded" : "Call recording stopped early";
}

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string NoticeBody(const TCallNotice& notice, bool markup) {
  if (notice.NoFile) {
    const std::string body = notice.App + "\n" + notice.Failure;
    return markup ? Escaped(body) : body;
  }
  std::string body = notice.App + ", " + CallLengthText(notice.Seconds) + "\n" + notice.Path;
  if (!notice.Failure.empty()) {
    body += "\n" + notice.Failure;
  }
  return markup ? Escaped(body) : body;
}

}  // namespace recmon
