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

TEST(FolderOf, KeepsEverythingUpToTheLastSeparator) {
  struct Row {
    const char* path;
    const char* folder;
  };
  const std::vector<Row> rows = {
      {"/home/user/Recordings/call.wav", "/home/user/Recordings/"},
      {"/call.wav", "/"},
      {"C:\\Rec\\call.wav", "C:\\Rec\\"},
      {"D:call.wav", "D:"},
      {"call.wav", ""},
      {"", ""},
      {"a/b\\c", "a/b\\"},
      {"a\\b/c", "a\\b/"},
      {"/dir/", "/dir/"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FolderOf(row.path), row.folder) << row.path;
  }
}

}  // namespace
}  // namespace recmon
