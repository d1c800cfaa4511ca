#include "FileReadouts.h"

#include "ExtendedArith.h"

namespace recmon {

std::string FileSizeText(std::int64_t sizeBytes) {
  return std::to_string(Round64(Div(static_cast<Extended>(sizeBytes), BytesPerKB))) + " KB";
}

std::string FolderOf(const std::string& path) {
  if (path.empty() || path.front() != '/') {
    return {};
  }
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace recmon
