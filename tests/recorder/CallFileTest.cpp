// File names and formats: the dated default, the music folder, collisions.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <set>

#include "CallFile.h"
#include "RecorderArgs.h"

namespace recmon {
namespace {

TEST(CallFileTest, FormatFollowsTheExtension) {
  const struct {
    const char* Path;
    int Format;
  } rows[] = {
      {"/a/call.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"call.WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"x.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"x.ogg", SF_FORMAT_OGG | SF_FORMAT_OPUS},
      {"dir.wav/x.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CallFileFormat(row.Path), row.Format) << row.Path;
  }
  for (const char* bad : {"x.mp3", "x", "wav", "/a/.wav.bak"}) {
    EXPECT_THROW(CallFileFormat(bad), TRecorderUsageError) << bad;
  }
}

TEST(CallFileTest, MusicFolderAsUserDirsSayIt) {
  const struct {
    const char* Proves;
    const char* Text;
    const char* Folder;
  } rows[] = {
      {"no file: ~/Music", "", "/home/u/Music"},
      {"relative to home", "XDG_MUSIC_DIR=\"$HOME/Musik\"\n", "/home/u/Musik"},
      {"absolute", "XDG_MUSIC_DIR=\"/srv/audio\"\n", "/srv/audio"},
      {"disabled means home itself", "XDG_MUSIC_DIR=\"$HOME\"\n", "/home/u"},
      {"comments and other folders ignored",
       "# XDG_MUSIC_DIR=\"/not/this\"\nXDG_VIDEOS_DIR=\"$HOME/Videos\"\n", "/home/u/Music"},
      {"the last line counts, as when sourced",
       "XDG_MUSIC_DIR=\"$HOME/A\"\nXDG_MUSIC_DIR=\"$HOME/B\"\n", "/home/u/B"},
      {"unquoted or relative values are not understood", "XDG_MUSIC_DIR=Music\n", "/home/u/Music"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MusicFolder(row.Text, "/home/u"), row.Folder) << row.Proves;
  }
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(CallFileTest, DatedNameHasLeadingZeros) {
  EXPECT_EQ(CallFileName(LocalTime(2024, 3, 7, 9, 5, 1)), "call-2024-03-07-090501.wav");
  EXPECT_EQ(CallFileName(LocalTime(1999, 12, 31, 23, 59, 59)), "call-1999-12-31-235959.wav");
}

TEST(CallFileTest, TakenNamesGetANumberBeforeTheExtension) {
  const std::tm t = LocalTime(2024, 3, 7, 9, 5, 1);
  std::set<std::string> taken;
  const auto exists = [&](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(FreeCallPath("/m/Calls", t, exists), "/m/Calls/call-2024-03-07-090501.wav");
  taken.insert("/m/Calls/call-2024-03-07-090501.wav");
  EXPECT_EQ(FreeCallPath("/m/Calls", t, exists), "/m/Calls/call-2024-03-07-090501-2.wav");
  taken.insert("/m/Calls/call-2024-03-07-090501-2.wav");
  EXPECT_EQ(FreeCallPath("/m/Calls", t, exists), "/m/Calls/call-2024-03-07-090501-3.wav");
}

}  // namespace
}  // namespace recmon
