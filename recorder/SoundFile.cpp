#include "SoundFile.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace recmon {

static_assert(sizeof(TStereoFrame) == 2 * sizeof(float), "frames are interleaved floats");

TSoundFile::TSoundFile(const std::string& path, int format) : Path_(path) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(kSampleRate);
  info.channels = 2;
  info.format = format;
  File_ = sf_open(path.c_str(), SFM_WRITE, &info);
  if (File_ == nullptr) {
    throw std::runtime_error("cannot create " + path + ": " + sf_strerror(nullptr));
  }
  // Integer formats: a sample beyond full scale is clipped, never wrapped round.
  sf_command(File_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

TSoundFile::~TSoundFile() {
  if (File_ != nullptr) {
    sf_close(File_);
  }
}

void TSoundFile::Write(std::span<const TStereoFrame> frames) {
  const auto wanted = static_cast<sf_count_t>(frames.size());
  errno = 0;
  // The frames are laid out as interleaved float pairs.
  const sf_count_t written =
      sf_writef_float(File_, reinterpret_cast<const float*>(frames.data()), wanted);
  if (written != wanted) {
    const int err = errno;
    throw std::runtime_error("writing " + Path_ +
                             " failed: " + (err != 0 ? std::strerror(err) : sf_strerror(File_)));
  }
}

void TSoundFile::Checkpoint() {
  sf_command(File_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  sf_write_sync(File_);
}

void TSoundFile::Close() {
  if (File_ == nullptr) {
    return;
  }
  SNDFILE* file = File_;
  File_ = nullptr;
  if (const int result = sf_close(file); result != 0) {
    throw std::runtime_error("closing " + Path_ + " failed: " + sf_error_number(result));
  }
}

}  // namespace recmon
