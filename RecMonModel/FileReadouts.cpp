#include "FileReadouts.h"

#include "ExtendedArith.h"

namespace recmon {

std::string FileSizeText(std::int64_t sizeBytes) {
  return std::to_string(Round64(Div(static_cast<Extended>(sizeBytes), BytesPerKB))) + " KB";
}

std::string FolderOf(const std::string& path) {
  const auto last = path.find_last_of("/\\:");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

}  // namespace recmon
