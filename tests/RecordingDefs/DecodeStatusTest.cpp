#include <gtest/gtest.h>
#include "RecordingDefs.h"
TEST(Placeholder, Builds) { EXPECT_EQ(recmon::RecMonStatusSize, 608u); }
