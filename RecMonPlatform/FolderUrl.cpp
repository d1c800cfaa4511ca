#include "FolderUrl.h"

namespace recmon {

namespace {

bool KeptAsIs(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

std::optional<std::string> LocalFolderUrl(std::string_view folder) {
  if (folder.empty() || folder.front() != '/') {
    return std::nullopt;
  }
  constexpr char Hex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char ch : folder) {
    const auto c = static_cast<unsigned char>(ch);
    if (KeptAsIs(c)) {
      url += ch;
    } else {
      url += '%';
      url += Hex[c >> 4];
      url += Hex[c & 0xF];
    }
  }
  return url;
}

}  // namespace recmon
