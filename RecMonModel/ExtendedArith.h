#pragma once

// The monitor's readout arithmetic. Expressions are evaluated in 80-bit
// extended precision in the order written, because results at exact halves
// depend on it (23/40*100 must round to 58, which plain double gets wrong).
// Faults that a floating-point unit would trap on are detected explicitly and
// raised as TFloatError carrying the text the user sees.

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace recmon {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64,
              "readouts need the 80-bit extended format (64-bit mantissa)");

inline constexpr const char* InvalidOperationText = "Invalid floating point operation";
inline constexpr const char* OverflowText = "Floating point overflow";

class TFloatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void RaiseInvalidOperation();
[[noreturn]] void RaiseOverflow();

// Checked operations. NaNs pass through unchanged; infinity minus infinity and
// zero times infinity are invalid; finite operands whose result is infinite
// overflow. Dividing by zero is invalid (no readout ever divides by zero).
Extended Add(Extended a, Extended b);
Extended Sub(Extended a, Extended b);
Extended Mul(Extended a, Extended b);
Extended Div(Extended a, Extended b);

// Rounds an extended value to double, as when it is stored in a double field.
// A finite value beyond the double range overflows; NaN and infinity pass.
double StoreAsDouble(Extended x);

// Rounds to nearest, halves to even. NaN, infinity, or a result outside the
// signed 64-bit range is an invalid operation.
std::int64_t Round64(Extended x);

// Round64, keeping the low 32 bits as a signed value: magnitudes of 2^31 and
// more wrap instead of failing.
std::int32_t Round32(Extended x);

// Low 32 bits of a 64-bit value, as a signed value.
constexpr std::int32_t Wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// 32-bit sums, differences and doublings that wrap instead of overflowing.
constexpr std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return Wrap32(static_cast<std::int64_t>(a) + b);
}
constexpr std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return Wrap32(static_cast<std::int64_t>(a) - b);
}
constexpr std::int32_t WrapDouble(std::int32_t a) {
  return WrapAdd(a, a);
}

}  // namespace recmon
