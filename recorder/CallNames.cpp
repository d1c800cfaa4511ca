#include "CallNames.h"

namespace recmon {

namespace {

// The length of the UTF-8 sequence that starts `text`, or 0 when it is not a
// well-formed one (a stray byte, an overlong form, a surrogate).
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool KeptAscii(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '+';
}

}  // namespace

std::string SafeAppName(std::string_view app) {
  std::string safe;
  bool gap = false;
  for (std::size_t i = 0; i < app.size();) {
    std::size_t length = 0;
    if (KeptAscii(app[i])) {
      length = 1;
    } else if (static_cast<unsigned char>(app[i]) >= 0x80) {
      length = Utf8Length(app.substr(i));
    }
    if (length == 0) {
      gap = true;
      ++i;
      continue;
    }
    const std::size_t needed = length + (gap && !safe.empty() ? 1 : 0);
    if (safe.size() + needed > kMaxAppNameBytes) {
      break;
    }
    if (gap && !safe.empty()) {
      safe += '-';
    }
    gap = false;
    safe.append(app.substr(i, length));
    i += length;
  }
  const auto trimmed = [](char c) { return c == '.' || c == '-'; };
  std::size_t first = 0;
  while (first < safe.size() && trimmed(safe[first])) {
    ++first;
  }
  std::size_t end = safe.size();
  while (end > first && trimmed(safe[end - 1])) {
    --end;
  }
  safe = safe.substr(first, end - first);
  return safe.empty() ? "app" : safe;
}

std::string AppCallFileName(const std::tm& local, std::string_view app,
                            std::string_view extension) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "call-%Y-%m-%d-%H%M%S-", &local);
  return stamp + SafeAppName(app) + std::string(extension);
}

std::string FreePath(const std::string& folder, const std::string& name,
                     const std::function<bool(const std::string&)>& exists) {
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  std::string path = folder + "/" + name;
  for (int n = 2; exists(path); ++n) {
    path = folder + "/" + stem + "-" + std::to_string(n) + extension;
  }
  return path;
}

}  // namespace recmon
