#include "PlatformChoice.h"

#include <cstdlib>

namespace recmon {

namespace {

bool IsSet(const char* value) {
  return value != nullptr && *value != '\0';
}

}  // namespace

bool ShouldRunOnX11(const TSessionEnv& env) {
  return IsSet(env.SessionType) && std::string_view(env.SessionType) == "wayland" &&
         IsSet(env.Display) && !IsSet(env.QtPlatform);
}

void ChooseQtPlatform() {
  const TSessionEnv env{std::getenv("XDG_SESSION_TYPE"), std::getenv("DISPLAY"),
                        std::getenv("QT_QPA_PLATFORM")};
  if (ShouldRunOnX11(env)) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
}

}  // namespace recmon
