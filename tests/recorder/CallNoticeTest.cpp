// The notification's texts: the call's length as people say it, and a body
// that markup cannot bend.

#include <gtest/gtest.h>

#include <cmath>

#include "CallNotice.h"

namespace recmon {
namespace {

TEST(CallNoticeTest, LengthAsPeopleSayIt) {
  const struct {
    double Seconds;
    const char* Text;
  } rows[] = {
      {0, "0 s"},
      {0.4, "0 s"},
      {0.5, "1 s"},
      {59.4, "59 s"},
      {59.5, "1 min 00 s"},  // rounds up into the next unit
      {65, "1 min 05 s"},
      {3599.4, "59 min 59 s"},
      {3599.5, "1 h 00 min"},
      {3629, "1 h 00 min"},
      {3630, "1 h 01 min"},
      {36000 + 7 * 60, "10 h 07 min"},
      {-3, "0 s"},
      {NAN, "0 s"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CallLengthText(row.Seconds), row.Text) << row.Seconds;
  }
}

TEST(CallNoticeTest, BodyNamesProgramLengthAndPath) {
  TCallNotice notice{"Zoom & Co <beta>",
                     "/home/u/Music/Calls/call-2024-03-07-090501-Zoom-Co-beta.wav", 754.2, ""};
  EXPECT_EQ(NoticeSummary(notice), "Call recorded");
  EXPECT_EQ(NoticeBody(notice, false),
            "Zoom & Co <beta>, 12 min 34 s\n"
            "/home/u/Music/Calls/call-2024-03-07-090501-Zoom-Co-beta.wav");
  EXPECT_EQ(NoticeBody(notice, true),
            "Zoom &amp; Co &lt;beta&gt;, 12 min 34 s\n"
            "/home/u/Music/Calls/call-2024-03-07-090501-Zoom-Co-beta.wav");
  notice.Failure = "the disk is full";
  EXPECT_EQ(NoticeSummary(notice), "Call recording stopped early");
  EXPECT_EQ(NoticeBody(notice, false),
            "Zoom & Co <beta>, 12 min 34 s\n"
            "/home/u/Music/Calls/call-2024-03-07-090501-Zoom-Co-beta.wav\nthe disk is full");
  notice.NoFile = true;
  notice.Failure = "cannot create the folder /m/Calls: Permission denied";
  EXPECT_EQ(NoticeSummary(notice), "Call not recorded");
  EXPECT_EQ(NoticeBody(notice, true),
            "Zoom &amp; Co &lt;beta&gt;\ncannot create the folder /m/Calls: Permission denied");
}

}  // namespace
}  // namespace recmon
