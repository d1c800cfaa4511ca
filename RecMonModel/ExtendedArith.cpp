#include "ExtendedArith.h"

#include <cfloat>
#include <cmath>

namespace recmon {

namespace {

// 2^63: the first value that no longer fits a signed 64-bit integer.
constexpr Extended kInt64Limit = 9223372036854775808.0L;

// DBL_MAX plus half of its last unit: from here on, rounding to double (halves
// to even) gives infinity. DBL_MAX itself has an odd mantissa, so the exact
// half rounds up as well.
constexpr Extended kDoubleOverflowEdge =
    static_cast<Extended>(DBL_MAX) + 0x1p970L;  // 2^1024 - 2^970

Extended CheckFiniteResult(Extended a, Extended b, Extended r) {
  if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) {
    RaiseOverflow();
  }
  return r;
}

}  // namespace

void RaiseInvalidOperation() {
  throw TFloatError(InvalidOperationText);
}
void RaiseOverflow() {
  throw TFloatError(OverflowText);
}

Extended Add(Extended a, Extended b) {
  if (std::isinf(a) && std::isinf(b) && std::signbit(a) != std::signbit(b)) {
    RaiseInvalidOperation();
  }
  return CheckFiniteResult(a, b, a + b);
}

Extended Sub(Extended a, Extended b) {
  if (std::isinf(a) && std::isinf(b) && std::signbit(a) == std::signbit(b)) {
    RaiseInvalidOperation();
  }
  return CheckFiniteResult(a, b, a - b);
}

Extended Mul(Extended a, Extended b) {
  if ((a == 0 && std::isinf(b)) || (std::isinf(a) && b == 0)) {
    RaiseInvalidOperation();
  }
  return CheckFiniteResult(a, b, a * b);
}

Extended Div(Extended a, Extended b) {
  if (b == 0 || (std::isinf(a) && std::isinf(b))) {
    RaiseInvalidOperation();
  }
  return CheckFiniteResult(a, b, a / b);
}

double StoreAsDouble(Extended x) {
  if (std::isfinite(x) && std::fabs(x) >= kDoubleOverflowEdge) {
    RaiseOverflow();
  }
  return static_cast<double>(x);
}

std::int64_t Round64(Extended x) {
  if (!std::isfinite(x)) {
    RaiseInvalidOperation();
  }
  // Explicit halves-to-even, independent of the floating-point unit's mode.
  // Both the fraction and the step to the next integer are exact in extended.
  Extended whole = std::floor(x);
  const Extended fraction = x - whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) {
    whole += 1;
  }
  if (whole < -kInt64Limit || whole >= kInt64Limit) {
    RaiseInvalidOperation();
  }
  return static_cast<std::int64_t>(whole);
}

std::int32_t Round32(Extended x) {
  return Wrap32(Round64(x));
}

}  // namespace recmon
