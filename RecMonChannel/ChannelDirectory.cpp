#include "ChannelDirectory.h"

#include <unistd.h>

#include <cstdlib>

namespace recmon {

std::string RecMonChannelDirectory() {
  // A relative runtime directory would put programs started from different
  // folders in different places, so it is ignored like an unset one.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    std::string dir = runtime;
    if (dir.back() != '/') {
      dir += '/';
    }
    return dir + RecMonDirectoryName;
  }
  return std::string(RecMonFallbackParent) + "/" + RecMonDirectoryName + "-" +
         std::to_string(getuid());
}

}  // namespace recmon
