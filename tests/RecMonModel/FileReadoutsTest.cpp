#include <gtest/gtest.h>

#include <vector>

#include "FileReadouts.h"

namespace recmon {
namespace {

TEST(FileSizeText, RoundsKilobytesHalvesToEven) {
  struct Row {
    std::int64_t bytes;
    const char* text;
  };
  const std::vector<Row> rows = {
      {0, "0 KB"},
      {511, "0 KB"},
      {512, "0 KB"},  // 0.5 rounds to even 0
      {513, "1 KB"},
      {1536, "2 KB"},  // 1.5 rounds to 2
      {2560, "2 KB"},  // 2.5 rounds to 2
      {1024LL * 1024, "1024 KB"},
      {2LL * 1024 * 1024 * 1024, "2097152 KB"},  // 2 GiB stays positive
      {5LL * 1024 * 1024 * 1024 * 1024, "5368709120 KB"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FileSizeText(row.bytes), row.text) << row.bytes;
  }
}

TEST(FolderOf, IsTheLocalFolderOfAnAbsolutePathAndNothingElse) {
  struct Row {
    const char* path;
    const char* folder;
  };
  const std::vector<Row> rows = {
      {"/home/user/Recordings/call.wav", "/home/user/Recordings/"},
      {"/home/me/Calls/call 10:30.wav", "/home/me/Calls/"},  // ":" is part of a name
      {"/home/me/a\\b/c\\d.wav", "/home/me/a\\b/"},          // so is "\\"
      {"/home/me/100%20done/x.wav", "/home/me/100%20done/"},
      {"/call.wav", "/"},
      {"/dir/", "/dir/"},
      {"//server/share/x.wav", "//server/share/"},
      {"https://example.invalid/phish?x=1/y.wav", ""},
      {"file:///etc/passwd", ""},
      {"smb://host/share/x.wav", ""},
      {"javascript:alert(1)/x.wav", ""},
      {"C:\\Rec\\call.wav", ""},
      {"D:call.wav", ""},
      {"Recordings/call.wav", ""},
      {"call.wav", ""},
      {" /home/x.wav", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FolderOf(row.path), row.folder) << row.path;
  }
}

}  // namespace
}  // namespace recmon
