#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ErrorOf.h"
#include "ExtendedArith.h"

namespace recmon {
namespace {

constexpr Extended kInf = std::numeric_limits<Extended>::infinity();
constexpr Extended kNaN = std::numeric_limits<Extended>::quiet_NaN();

TEST(Round64, HalvesGoToTheEvenNeighbourOnBothSides) {
  struct Row {
    Extended in;
    std::int64_t out;
  };
  const std::vector<Row> rows = {
      {0.5L, 0},         {1.5L, 2},
      {2.5L, 2},         {3.5L, 4},
      {-0.5L, 0},        {-1.5L, -2},
      {-2.5L, -2},       {-3.5L, -4},
      {2.4999L, 2},      {2.5000001L, 3},
      {-2.5000001L, -3}, {0.49999999L, 0},
      {-0.0L, 0},        {1e18L + 0.5L, 1000000000000000000},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Round64(row.in), row.out) << static_cast<double>(row.in);
  }
}

TEST(Round64, RangeIsTheSigned64BitRange) {
  EXPECT_EQ(Round64(9223372036854775807.0L), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(Round64(-9223372036854775808.0L), std::numeric_limits<std::int64_t>::min());
  // 2^63 - 0.5 is a half whose even neighbour is 2^63: out of range.
  EXPECT_EQ(ErrorOf([] { Round64(9223372036854775807.5L); }), InvalidOperationText);
  EXPECT_EQ(ErrorOf([] { Round64(9223372036854775808.0L); }), InvalidOperationText);
  EXPECT_EQ(ErrorOf([] { Round64(-9223372036854775809.0L); }), InvalidOperationText);
  EXPECT_EQ(ErrorOf([] { Round64(1e300L); }), InvalidOperationText);
}

TEST(Round64, NaNAndInfinityCannotBeRounded) {
  for (const Extended x : {kNaN, kInf, -kInf}) {
    EXPECT_EQ(ErrorOf([x] { Round64(x); }), InvalidOperationText);
    EXPECT_EQ(ErrorOf([x] { Round32(x); }), InvalidOperationText);
  }
}

TEST(Round32, KeepsTheLow32BitsInsteadOfFailing) {
  struct Row {
    Extended in;
    std::int32_t out;
  };
  const std::vector<Row> rows = {
      {2147483647.0L, 2147483647},
      {2147483648.0L, -2147483647 - 1},
      {-2147483649.0L, 2147483647},
      {4294967296.0L + 5, 5},
      {4294967295.0L, -1},
      {-4294967296.0L, 0},
      {1e15L, static_cast<std::int32_t>(-1530494976)},  // 10^15 mod 2^32, signed
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Round32(row.in), row.out) << static_cast<double>(row.in);
  }
}

TEST(WrapArithmetic, SumsDifferencesAndDoublingsWrapAt32Bits) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(WrapAdd(kMax, 1), kMin);
  EXPECT_EQ(WrapSub(kMin, 1), kMax);
  EXPECT_EQ(WrapSub(0, kMin), kMin);
  EXPECT_EQ(WrapDouble(0x40000000), kMin);
  EXPECT_EQ(WrapDouble(-3), -6);
  EXPECT_EQ(Wrap32(0x1'0000'0007LL), 7);
}

TEST(ExtendedPrecision, DecidesResultsAtHalves) {
  // In extended precision 23/40*100 and 109/200*100 land on exact halves.
  EXPECT_EQ(Round32(Mul(Div(23, 40), 100)), 58);
  EXPECT_EQ(Round32(Mul(Div(109, 200), 100)), 54);
  // Plain double arithmetic lands beside the half and rounds the other way;
  // this guards the test itself against a compiler that quietly uses double.
  const double d1 = 23.0 / 40.0 * 100.0;
  const double d2 = 109.0 / 200.0 * 100.0;
  EXPECT_EQ(std::nearbyint(d1), 57);
  EXPECT_EQ(std::nearbyint(d2), 55);
}

TEST(CheckedOperations, UndefinedResultsAreInvalidOperations) {
  const std::vector<std::pair<const char*, std::function<void()>>> rows = {
      {"inf - inf", [] { Sub(kInf, kInf); }},
      {"-inf - -inf", [] { Sub(-kInf, -kInf); }},
      {"inf + -inf", [] { Add(kInf, -kInf); }},
      {"0 * inf", [] { Mul(0, kInf); }},
      {"-inf * 0", [] { Mul(-kInf, 0); }},
      {"inf / inf", [] { Div(kInf, -kInf); }},
      {"x / 0", [] { Div(1, 0); }},
  };
  for (const auto& [name, call] : rows) {
    EXPECT_EQ(ErrorOf(call), InvalidOperationText) << name;
  }
}

TEST(CheckedOperations, FiniteOperandsOverflowingAreOverflows) {
  constexpr Extended kBig = std::numeric_limits<Extended>::max();
  EXPECT_EQ(ErrorOf([] { Mul(kBig, 2); }), OverflowText);
  EXPECT_EQ(ErrorOf([] { Add(kBig, kBig); }), OverflowText);
  EXPECT_EQ(ErrorOf([] { Sub(-kBig, kBig); }), OverflowText);
  EXPECT_EQ(ErrorOf([] { Div(kBig, 0.5L); }), OverflowText);
}

TEST(CheckedOperations, NaNAndInfinityPassThroughUntilRounded) {
  EXPECT_TRUE(std::isnan(Sub(kNaN, 1)));
  EXPECT_TRUE(std::isnan(Mul(kNaN, 0)));
  EXPECT_TRUE(std::isnan(Div(kNaN, 2)));
  EXPECT_EQ(Sub(kInf, 1), kInf);
  EXPECT_EQ(Mul(-kInf, 2), -kInf);
  EXPECT_EQ(Add(kInf, kInf), kInf);
}

TEST(StoreAsDouble, OverflowsOnlyBeyondTheDoubleRange) {
  EXPECT_EQ(StoreAsDouble(static_cast<Extended>(DBL_MAX)), DBL_MAX);
  // Just below the rounding edge still rounds down to DBL_MAX.
  EXPECT_EQ(StoreAsDouble(static_cast<Extended>(DBL_MAX) + 0x1p969L), DBL_MAX);
  EXPECT_EQ(ErrorOf([] { StoreAsDouble(static_cast<Extended>(DBL_MAX) + 0x1p970L); }),
            OverflowText);
  EXPECT_EQ(ErrorOf([] { StoreAsDouble(-2 * static_cast<Extended>(DBL_MAX)); }), OverflowText);
  // A difference of two doubles that no double can hold.
  EXPECT_EQ(ErrorOf([] { StoreAsDouble(Sub(DBL_MAX, -DBL_MAX)); }), OverflowText);
  EXPECT_EQ(StoreAsDouble(kInf), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(StoreAsDouble(kNaN)));
  EXPECT_EQ(StoreAsDouble(0.1L), 0.1);
}

TEST(FloatError, IsAnOrdinaryExceptionWithTheUserText) {
  try {
    RaiseOverflow();
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Floating point overflow");
  }
  try {
    RaiseInvalidOperation();
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
}

}  // namespace
}  // namespace recmon
