// The real machine behind the monitor: file sizes by stat, and the folder
// handed to the desktop's opener without waiting for it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "DesktopPlatform.h"

namespace recmon {
namespace {

namespace fs = std::filesystem;

class DesktopPlatform : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/recmon-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  TDesktopPlatform platform;
};

TEST_F(DesktopPlatform, FileSizeFindsFilesAndFoldersAndNothingElse) {
  const fs::path file = dir / "call 1.wav";
  std::ofstream(file) << std::string(1536, 'x');
  EXPECT_EQ(platform.FileSize(file.string()), 1536);
  EXPECT_TRUE(platform.FileSize(dir.string()).has_value());
  EXPECT_FALSE(platform.FileSize((dir / "missing.wav").string()).has_value());
  EXPECT_FALSE(platform.FileSize("").has_value());
}

TEST_F(DesktopPlatform, OpenFolderHandsTheLocalFolderToTheOpenerAndReturnsAtOnce) {
  // A stand-in opener on PATH writes its argument and then dawdles.
  const fs::path opener = dir / "xdg-open";
  const fs::path seen = dir / "seen";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << seen.string() << ".tmp'\nmv '"
                        << seen.string() << ".tmp' '" << seen.string() << "'\nsleep 5\n";
  fs::permissions(opener, fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH");
  setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  platform.OpenFolder("https://example.invalid/");  // never handed on
  platform.OpenFolder("/srv/Rec ordings/");
  const auto took = std::chrono::steady_clock::now() - start;
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_LT(took, std::chrono::seconds(3));
  for (int i = 0; i < 100 && !fs::exists(seen); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::ifstream in(seen);
  std::string arg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(arg, "file:///srv/Rec%20ordings/");
}

TEST_F(DesktopPlatform, TheClocksAreTheSharedOnes) {
  // Date-time days since 1899-12-30: any date after 2020 is past 43831.
  EXPECT_GT(platform.Now(), 43831.0);
  const std::uint32_t a = platform.TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const auto advanced = static_cast<std::int32_t>(platform.TickCount() - a);
  EXPECT_GE(advanced, 25);
  EXPECT_LT(advanced, 2000);
  EXPECT_FALSE(platform.TimeSeparator().empty());
}

}  // namespace
}  // namespace recmon
