// File names and formats: the dated default, the music folder, collisions.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "CallFile.h"
#include "CallNames.h"
#include "RecorderArgs.h"
#include "TestProcess.h"

namespace recmon {
namespace {

TEST(CallFileTest, FormatFollowsTheExtension) {
  const struct {
    const char* Path;
    int Format;
  } rows[] = {
      {"/a/call.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},  // a WAV file that may grow past 4 GB
      {"call.WAV", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
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

TEST(CallFileTest, ProgramNamesMadeSafeForAFileName) {
  const struct {
    const char* Proves;
    std::string App;
    const char* Safe;
  } rows[] = {
      {"a plain name stays", "Zoom", "Zoom"},
      {"dots, underscores and plus stay", "zoom.us_v2+", "zoom.us_v2+"},
      {"spaces become one dash", "Google  Chrome", "Google-Chrome"},
      {"a run of anything else is one dash", "Teams -- (Preview)", "Teams-Preview"},
      {"slashes cannot leave the folder", "../../etc/passwd", "etc-passwd"},
      {"a leading dot would hide the file", ".hidden", "hidden"},
      {"only dots leaves nothing: a stand-in name", "..", "app"},
      {"empty", "", "app"},
      {"control characters and quotes go", "a\nb\t\"c\"", "a-b-c"},
      {"letters of any language stay", "T\xc3\xa9l\xc3\xa9phone \xe9\x80\x9a\xe8\xaf\x9d",
       "T\xc3\xa9l\xc3\xa9phone-\xe9\x80\x9a\xe8\xaf\x9d"},
      {"bytes that are not UTF-8 go",
       "a\xff\xc3"
       "b",
       "a-b"},
      {"an overlong slash is not a letter",
       "a\xc0\xaf"
       "b",
       "a-b"},
      {"cut at 40 bytes", std::string(50, 'x'), "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
      {"never inside a character", std::string(39, 'x') + "\xc3\xa9",
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
      {"no dash left at the cut", std::string(39, 'x') + " yy",
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SafeAppName(row.App), row.Safe) << row.Proves;
  }
}

TEST(CallFileTest, CallFilesNamedAfterDateAndProgram) {
  const std::tm t = LocalTime(2024, 3, 7, 9, 5, 1);
  EXPECT_EQ(AppCallFileName(t, "Google Chrome", ".wav"),
            "call-2024-03-07-090501-Google-Chrome.wav");
  EXPECT_EQ(AppCallFileName(t, "a/b", ".opus"), "call-2024-03-07-090501-a-b.opus");
  std::set<std::string> taken{"/c/call-2024-03-07-090501-Zoom.flac"};
  const auto exists = [&](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(FreePath("/c", "call-2024-03-07-090501-Zoom.flac", exists),
            "/c/call-2024-03-07-090501-Zoom-2.flac");
  EXPECT_EQ(FreePath("/c", "call-2024-03-07-090501-zoom.us.flac", exists),
            "/c/call-2024-03-07-090501-zoom.us.flac")
      << "a dot in the program's name is not taken for the extension's";
}

TEST(CallFileTest, FolderAndFormatChooseWhereADatedRecordingGoes) {
  const test::TRuntimeDir scratch;
  TRecorderOptions options;
  options.Folder = scratch.Path + "/calls/new";
  options.Format = "flac";
  const std::time_t now = 1709802301;  // 2024-03-07 09:05:01 UTC
  std::tm local{};
  ::localtime_r(&now, &local);
  const std::string path = ResolveCallPath(options, now);
  EXPECT_EQ(path, *options.Folder + "/" + CallFileName(local).substr(0, 22) + ".flac");
  struct stat st {};
  ASSERT_EQ(::stat(options.Folder->c_str(), &st), 0) << "the folder is made";
  EXPECT_EQ(st.st_mode & 0777, 0700U) << "private: calls are personal";
  std::ofstream(path) << "taken";
  EXPECT_EQ(ResolveCallPath(options, now), path.substr(0, path.size() - 5) + "-2.flac");
  options.Folder.reset();
  options.Format.reset();
  options.File = "relative.wav";
  EXPECT_EQ(ResolveCallPath(options, now), std::filesystem::absolute("relative.wav").string());
}

TEST(CallFileTest, PathsInMessagesShowControlCharactersInsteadOfActingOnThem) {
  const struct {
    const char* Path;
    const char* Shown;
  } rows[] = {
      {"/home/u/Music/Calls/call.wav", "/home/u/Music/Calls/call.wav"},
      {"/tmp/a\nrecmon-record: all is fine.wav", "/tmp/a\\nrecmon-record: all is fine.wav"},
      {"/tmp/tab\there\r.wav", "/tmp/tab\\there\\r.wav"},
      {"/tmp/\x1b[2Jcleared.wav", "/tmp/\\x1b[2Jcleared.wav"},
      {"/tmp/del\x7f.wav", "/tmp/del\\x7f.wav"},
      {"/tmp/Gespräch.wav", "/tmp/Gespräch.wav"},  // UTF-8 as it is
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PrintablePath(row.Path), row.Shown);
  }
}

TEST(CallFileTest, SystemFoldersAreRefusedOrdinaryOnesNot) {
  EXPECT_THROW(CheckCallFolder("/proc"), TRecorderUsageError);
  EXPECT_THROW(CheckCallFolder("/sys"), TRecorderUsageError);
  struct stat dev {};
  struct stat root {};
  if (::stat("/dev", &dev) == 0 && ::stat("/", &root) == 0 && dev.st_dev != root.st_dev) {
    EXPECT_THROW(CheckCallFolder("/dev"), TRecorderUsageError) << "as root, /dev is writable";
  }
  EXPECT_NO_THROW(CheckCallFolder("/tmp"));
  EXPECT_NO_THROW(CheckCallFolder("/no/such/folder")) << "creating the file will say why";
}

TEST(CallFileTest, TheCallsFolderIsMadePrivate) {
  char pattern[] = "/tmp/recmon-callfile-XXXXXX";
  const std::string home = ::mkdtemp(pattern);
  const char* oldHome = std::getenv("HOME");
  const std::string keptHome = oldHome != nullptr ? oldHome : "";
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  const std::string path = ResolveCallPath(nullptr, 0);
  ::setenv("HOME", keptHome.c_str(), 1);
  EXPECT_TRUE(path.starts_with(home + "/Music/Calls/call-")) << path;
  struct stat calls {};
  ASSERT_EQ(::stat((home + "/Music/Calls").c_str(), &calls), 0);
  EXPECT_EQ(calls.st_mode & 0777U, 0700U);
  std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace recmon
