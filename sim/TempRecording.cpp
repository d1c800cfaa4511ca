#include "TempRecording.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <vector>

namespace recmon {

TTempRecording::TTempRecording() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/recmon-sim-XXXXXX";
  std::vector<char> folder(pattern.begin(), pattern.end());
  folder.push_back('\0');
  if (::mkdtemp(folder.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "creating a folder in " + pattern);
  }
  Folder_ = folder.data();

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[40];
  std::strftime(name, sizeof name, "/call-%Y%m%d-%H%M%S.raw", &local);
  Path_ = Folder_ + name;
  File_.Reset(::open(Path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!File_) {
    const int error = errno;
    ::rmdir(Folder_.c_str());
    throw std::system_error(error, std::generic_category(), "creating " + Path_);
  }
}

TTempRecording::~TTempRecording() {
  File_.Reset();
  ::unlink(Path_.c_str());
  ::rmdir(Folder_.c_str());
}

void TTempRecording::GrowTo(std::uint64_t size) {
  static const std::array<char, 65536> kZeros{};
  while (Size_ < size) {
    const auto chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(size - Size_, kZeros.size()));
    const ssize_t put = ::write(File_.Get(), kZeros.data(), chunk);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      throw std::system_error(errno, std::generic_category(), "writing " + Path_);
    }
    Size_ += static_cast<std::uint64_t>(put);
  }
}

}  // namespace recmon
