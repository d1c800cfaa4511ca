#include "SimArgs.h"

#include <gtest/gtest.h>

namespace recmon {
namespace {

using TArgs = std::vector<std::string>;

TEST(SimArgsTest, ReadsEachCommandWithItsOptions) {
  EXPECT_EQ(ParseSimArgs({"--help"}).Action, TSimAction::Help);
  EXPECT_EQ(ParseSimArgs({"play", "-h"}).Action, TSimAction::Help);
  EXPECT_EQ(ParseSimArgs({"show"}).Action, TSimAction::Show);

  const TSimCommand play = ParseSimArgs({"play", "--speed=2.5"});
  EXPECT_EQ(play.Action, TSimAction::Play);
  EXPECT_EQ(play.Speed, 2.5);
  EXPECT_EQ(ParseSimArgs({"play"}).Speed, 1);

  const TSimCommand set =
      ParseSimArgs({"set", "FileName=/a=b c", "--hold", "forever", "Recording=1", "--no-magic"});
  EXPECT_EQ(set.Action, TSimAction::Set);
  ASSERT_EQ(set.Assignments.size(), 2U);
  EXPECT_EQ(set.Assignments[0].Field, "FileName");
  EXPECT_EQ(set.Assignments[0].Value, "/a=b c") << "only the first = separates";
  EXPECT_EQ(set.Assignments[1].Field, "Recording");
  EXPECT_FALSE(set.HoldSeconds.has_value());
  EXPECT_TRUE(set.NoMagic);
  EXPECT_EQ(ParseSimArgs({"set", "--hold=0.25"}).HoldSeconds, 0.25);
  EXPECT_EQ(ParseSimArgs({"set"}).HoldSeconds, 0.0);
}

TEST(SimArgsTest, RefusesBadCommandLinesWithAClearMessage) {
  const struct {
    TArgs Args;
    const char* Message;
  } rows[] = {
      {{}, "no command"},
      {{"record"}, "unknown command 'record'"},
      {{"play", "--speed"}, "--speed needs a value"},
      {{"play", "--speed", "fast"}, "--speed needs a number"},
      {{"play", "--speed", "0"}, "above 0"},
      {{"play", "--speed", "-3"}, "above 0"},
      {{"play", "--speed", "1e5"}, "up to 10000"},
      {{"play", "--speed", "inf"}, "--speed needs a number"},
      {{"play", "--hold", "1"}, "'--hold' is not an argument of play"},
      {{"set", "--hold", "-1"}, "0 to 1e9"},
      {{"set", "--hold", "soon"}, "--hold needs a number"},
      {{"set", "Recording"}, "'Recording' is not an argument of set"},
      {{"set", "=1"}, "'=1' is not an argument of set"},
      {{"set", "--speed", "2"}, "'--speed' is not an argument of set"},
      {{"show", "FileName=x"}, "not an argument of show"},
  };
  for (const auto& row : rows) {
    try {
      ParseSimArgs(row.Args);
      ADD_FAILURE() << "accepted: " << ::testing::PrintToString(row.Args);
    } catch (const TUsageError& e) {
      EXPECT_NE(std::string(e.what()).find(row.Message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace recmon
