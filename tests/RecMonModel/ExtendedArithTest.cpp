#include <gtest/gtest.h>
#include "ExtendedArith.h"
TEST(Placeholder, Builds) { EXPECT_EQ(recmon::Round32(2.5L), 2); }
