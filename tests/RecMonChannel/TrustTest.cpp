// Entries that are not plainly ours are never used, never changed and never
// removed. Root can open anything, so these also prove that trust is decided
// by owner, mode and type rather than by an open failing.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "ChannelDirectory.h"
#include "RecMonChannel.h"
#include "TestProcess.h"

namespace recmon {
namespace {

constexpr uid_t kOtherUser = 65534;  // nobody
const std::string kForeign(RecMonStatusSize, '\xAB');

void WriteForeign(const std::string& path, mode_t mode) {
  std::ofstream(path, std::ios::binary) << kForeign;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

std::string Contents(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

struct TTrustCase {
  const char* Name;
  bool NeedsRoot;
  bool LockUsable;
  bool RecordUsable;
  // Plants the entry; returns the path that must come through untouched.
  std::function<std::string(const test::TRuntimeDir&)> Plant;
};

void PrintTo(const TTrustCase& c, std::ostream* os) {
  *os << c.Name;
}

std::string PrivateDirWith(const test::TRuntimeDir& r, const std::string& path, mode_t mode) {
  ::mkdir(r.Channel.c_str(), 0700);
  WriteForeign(path, mode);
  return path;
}

const TTrustCase kCases[] = {
    {"RecordOfAnotherUser", true, true, false,
     [](const test::TRuntimeDir& r) {
       PrivateDirWith(r, r.MapPath(), 0600);
       EXPECT_EQ(::chown(r.MapPath().c_str(), kOtherUser, kOtherUser), 0);
       return r.MapPath();
     }},
    {"RecordOpenToGroup", false, true, false,
     [](const test::TRuntimeDir& r) { return PrivateDirWith(r, r.MapPath(), 0640); }},
    {"RecordOpenToOthers", false, true, false,
     [](const test::TRuntimeDir& r) { return PrivateDirWith(r, r.MapPath(), 0604); }},
    {"RecordIsASymbolicLink", false, true, false,
     [](const test::TRuntimeDir& r) {
       const std::string target = PrivateDirWith(r, r.Path + "/elsewhere", 0600);
       EXPECT_EQ(::symlink(target.c_str(), r.MapPath().c_str()), 0);
       return target;
     }},
    {"RecordHasASecondLink", false, true, false,
     [](const test::TRuntimeDir& r) {
       const std::string other = PrivateDirWith(r, r.Path + "/other", 0600);
       EXPECT_EQ(::link(other.c_str(), r.MapPath().c_str()), 0);
       return other;
     }},
    {"RecordIsADirectory", false, true, false,
     [](const test::TRuntimeDir& r) {
       ::mkdir(r.Channel.c_str(), 0700);
       ::mkdir(r.MapPath().c_str(), 0700);
       return r.MapPath();
     }},
    {"RecordIsAFifo", false, true, false,
     [](const test::TRuntimeDir& r) {
       ::mkdir(r.Channel.c_str(), 0700);
       ::mkfifo(r.MapPath().c_str(), 0600);
       return r.MapPath();
     }},
    {"LockOfAnotherUser", true, false, true,
     [](const test::TRuntimeDir& r) {
       PrivateDirWith(r, r.MutexPath(), 0600);
       EXPECT_EQ(::chown(r.MutexPath().c_str(), kOtherUser, kOtherUser), 0);
       return r.MutexPath();
     }},
    {"LockIsASymbolicLink", false, false, true,
     [](const test::TRuntimeDir& r) {
       const std::string target = PrivateDirWith(r, r.Path + "/elsewhere", 0600);
       EXPECT_EQ(::symlink(target.c_str(), r.MutexPath().c_str()), 0);
       return target;
     }},
    {"DirectoryOfAnotherUser", true, false, false,
     [](const test::TRuntimeDir& r) {
       PrivateDirWith(r, r.MapPath(), 0600);
       EXPECT_EQ(::chown(r.Channel.c_str(), kOtherUser, kOtherUser), 0);
       return r.MapPath();
     }},
    {"DirectoryOpenToOthers", false, false, false,
     [](const test::TRuntimeDir& r) {
       PrivateDirWith(r, r.MapPath(), 0600);
       ::chmod(r.Channel.c_str(), 0755);
       return r.MapPath();
     }},
    {"DirectoryIsASymbolicLink", false, false, false,
     [](const test::TRuntimeDir& r) {
       const std::string real = r.Path + "/real";
       ::mkdir(real.c_str(), 0700);
       WriteForeign(real + "/" + RecMonMapName, 0600);
       EXPECT_EQ(::symlink(real.c_str(), r.Channel.c_str()), 0);
       return real + "/" + RecMonMapName;
     }},
};

class TrustTest : public ::testing::TestWithParam<TTrustCase> {
 protected:
  test::TRuntimeDir Runtime;
};

TEST_P(TrustTest, UntrustedEntryIsUnavailableAndLeftAlone) {
  const TTrustCase& c = GetParam();
  if (c.NeedsRoot && ::geteuid() != 0) {
    GTEST_SKIP() << "needs root to give a file to another user";
  }
  const std::string planted = c.Plant(Runtime);

  TRecMonChannel channel;
  channel.Create();
  EXPECT_EQ(static_cast<bool>(channel.Mutex), c.LockUsable);
  EXPECT_EQ(static_cast<bool>(channel.Mapping), c.RecordUsable);
  channel.Lock();  // must not wait for anything foreign
  const auto view = channel.View();
  channel.Unlock();
  EXPECT_EQ(view.size(), c.RecordUsable ? RecMonStatusSize : 0U);
  if (c.RecordUsable) {
    EXPECT_EQ(view[0], 0) << "a usable record here is a new one, not the planted bytes";
  }
  channel.Destroy();

  struct stat st {};
  ASSERT_EQ(::lstat(planted.c_str(), &st), 0) << "never removed";
  if (S_ISREG(st.st_mode)) {
    EXPECT_EQ(Contents(planted), kForeign) << "never read into or truncated";
  }
}

INSTANTIATE_TEST_SUITE_P(Refused, TrustTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.Name); });

}  // namespace
}  // namespace recmon
