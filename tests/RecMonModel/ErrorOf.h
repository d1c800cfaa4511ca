#pragma once

#include <functional>
#include <string>

#include "ExtendedArith.h"

namespace recmon {

// The text of the arithmetic error a call raises, or "" when it raises none.
inline std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const TFloatError& e) {
    return e.what();
  }
  return "";
}

}  // namespace recmon
