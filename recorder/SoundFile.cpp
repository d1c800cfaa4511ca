#include "SoundFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>

#include "CallFile.h"

namespace recmon {

static_assert(sizeof(TStereoFrame) == 2 * sizeof(float), "frames are interleaved floats");

namespace {

enum class TKind { Wav, Flac, Ogg };

// 16-bit stereo, as WAV and FLAC files are written.
constexpr sf_count_t kPcmFrameBytes = 4;
// Where a FLAC file's STREAMINFO keeps its 36-bit sample count: the low four
// bits of this byte and the four bytes after it ("fLaC", a block header,
// then 13 bytes of sizes, rate, channels and sample width).
constexpr off_t kFlacTotalAt = 21;

// The samples of the FLAC frame whose header `b` starts with; 0 when `b` is
// no frame header (a metadata block).
std::uint32_t FlacFrameSamples(std::span<const unsigned char> b) {
  if (b.size() < 6 || b[0] != 0xFF || (b[1] & 0xFE) != 0xF8) {
    return 0;
  }
  const unsigned code = b[2] >> 4U;
  if (code == 1) {
    return 192;
  }
  if (code >= 2 && code <= 5) {
    return 576U << (code - 2);
  }
  if (code >= 8) {
    return 256U << (code - 8);
  }
  if (code != 6 && code != 7) {
    return 0;
  }
  // An odd block size follows the frame number, which is coded like UTF-8.
  const int ones = std::countl_one(b[4]);
  const std::size_t at = 4 + (ones == 0 ? 1 : static_cast<std::size_t>(ones));
  if (code == 6) {
    return at < b.size() ? b[at] + 1U : 0;
  }
  return at + 1 < b.size() ? (static_cast<std::uint32_t>(b[at]) << 8U) + b[at + 1] + 1U : 0;
}

std::int64_t LittleEndian64(const unsigned char* b) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) {
    v = (v << 8U) | b[i];
  }
  return static_cast<std::int64_t>(v);
}

bool StartsWith(std::span<const unsigned char> b, const char* text) {
  const std::size_t n = std::strlen(text);
  return b.size() >= n && std::memcmp(b.data(), text, n) == 0;
}

}  // namespace

// libsndfile's file functions over our own descriptor, watching what it
// writes to know how much of the call the file holds.
struct TSoundFile::TIo {
  int Fd = -1;
  TKind Kind = TKind::Wav;
  sf_count_t Pos = 0;
  sf_count_t End = 0;
  // A write failed: from then on nothing is appended, and only a WAV header
  // may be rewritten in place.
  bool Broken = false;
  int Error = 0;
  std::uint64_t Durable = 0;
  // WAV: where the audio starts (the length of the header).
  sf_count_t DataStart = 0;
  // FLAC and Ogg: the end of the last whole frame or page.
  sf_count_t WholeEnd = 0;
  // FLAC: the samples in whole frames.
  std::uint64_t FlacSamples = 0;
  // Ogg: the page being written, the last whole page's sample position, and
  // the encoder's lead-in that the positions include.
  struct TPage {
    sf_count_t End = 0;
    std::int64_t Granule = -1;
  };
  std::optional<TPage> Page;
  std::int64_t Granule = 0;
  std::int64_t PreSkip = 0;

  sf_count_t Write(const void* data, sf_count_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    const sf_count_t at = Pos;
    if (Broken) {
      if (Kind == TKind::Wav && at + bytes <= End && WriteAll(p, bytes, at) == bytes) {
        Track(at, {p, static_cast<std::size_t>(bytes)});
      }
      // Whatever else is swallowed: the file keeps only what is whole.
      Pos += bytes;
      return bytes;
    }
    const sf_count_t done = WriteAll(p, bytes, at);
    Pos += done;
    End = std::max(End, Pos);
    if (done == bytes) {
      Track(at, {p, static_cast<std::size_t>(bytes)});
    } else {
      Broken = true;
    }
    return done;
  }

  sf_count_t WriteAll(const unsigned char* p, sf_count_t bytes, sf_count_t at) {
    sf_count_t done = 0;
    while (done < bytes) {
      const ssize_t n = ::pwrite(Fd, p + done, static_cast<std::size_t>(bytes - done), at + done);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        Error = n < 0 ? errno : ENOSPC;
        break;
      }
      done += n;
    }
    return done;
  }

  void Track(sf_count_t at, std::span<const unsigned char> b) {
    const auto end = at + static_cast<sf_count_t>(b.size());
    switch (Kind) {
      case TKind::Wav:
        if (at == 0) {
          // A header: it counts what lies beyond it in the file.
          DataStart = end;
          Durable =
              End > DataStart ? static_cast<std::uint64_t>((End - DataStart) / kPcmFrameBytes) : 0;
        }
        break;
      case TKind::Flac:
        if (const std::uint32_t samples = FlacFrameSamples(b)) {
          FlacSamples += samples;
          WholeEnd = end;
        } else if (at >= WholeEnd) {
          WholeEnd = end;  // metadata ahead of the first frame
        }
        break;
      case TKind::Ogg:
        if (StartsWith(b, "OggS") && b.size() >= 27 && b.size() >= 27U + b[26]) {
          sf_count_t body = 0;
          for (std::size_t i = 0; i < b[26]; ++i) {
            body += b[27 + i];
          }
          Page = TPage{at + 27 + b[26] + body, LittleEndian64(b.data() + 6)};
          b = b.subspan(27U + b[26]);
        }
        if (StartsWith(b, "OpusHead") && b.size() >= 12) {
          PreSkip = b[10] | (b[11] << 8U);
        }
        if (Page && End >= Page->End) {
          WholeEnd = Page->End;
          if (Page->Granule >= 0) {
            Granule = Page->Granule;
            Durable = static_cast<std::uint64_t>(std::max<std::int64_t>(Granule - PreSkip, 0));
          }
          Page.reset();
        }
        break;
    }
  }

  // Writes the FLAC sample count into STREAMINFO, where readers look for the
  // length. libsndfile writes it there only when the file is closed.
  void PatchFlacTotal() {
    unsigned char b[5]{};
    if (WholeEnd < kFlacTotalAt + 5 || ::pread(Fd, b, 1, kFlacTotalAt) != 1) {
      return;
    }
    b[0] = static_cast<unsigned char>((b[0] & 0xF0U) | ((FlacSamples >> 32U) & 0x0FU));
    for (int i = 0; i < 4; ++i) {
      b[1 + i] = static_cast<unsigned char>(FlacSamples >> (8U * static_cast<unsigned>(3 - i)));
    }
    if (::pwrite(Fd, b, sizeof b, kFlacTotalAt) == static_cast<ssize_t>(sizeof b)) {
      Durable = FlacSamples;
    }
  }

  // After a failed write: the file ends after its last whole frame or page.
  void CutToWhole() {
    sf_count_t whole = WholeEnd;
    if (Kind == TKind::Wav) {
      whole = DataStart > 0 && End > DataStart
                  ? DataStart + (End - DataStart) / kPcmFrameBytes * kPcmFrameBytes
                  : End;
    }
    if (whole < End && ::ftruncate(Fd, whole) == 0) {
      End = whole;
      Pos = std::min(Pos, End);
    }
  }
};

namespace {

TSoundFile::TIo& IoOf(void* userData) {
  return *static_cast<TSoundFile::TIo*>(userData);
}

SF_VIRTUAL_IO VirtualIo() {
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* u) { return IoOf(u).End; };
  io.seek = [](sf_count_t offset, int whence, void* u) {
    TSoundFile::TIo& f = IoOf(u);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.Pos : f.End;
    f.Pos = std::max<sf_count_t>(base + offset, 0);
    return f.Pos;
  };
  io.read = [](void* data, sf_count_t bytes, void* u) -> sf_count_t {
    TSoundFile::TIo& f = IoOf(u);
    const ssize_t n = ::pread(f.Fd, data, static_cast<std::size_t>(bytes), f.Pos);
    if (n <= 0) {
      return 0;
    }
    f.Pos += n;
    return n;
  };
  io.write = [](const void* data, sf_count_t bytes, void* u) { return IoOf(u).Write(data, bytes); };
  io.tell = [](void* u) { return IoOf(u).Pos; };
  return io;
}

TKind KindOf(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_FLAC:
      return TKind::Flac;
    case SF_FORMAT_OGG:
      return TKind::Ogg;
    default:
      return TKind::Wav;
  }
}

}  // namespace

TSoundFile::TSoundFile(const std::string& path, int format)
    : Path_(path), Io_(std::make_unique<TIo>()) {
  Io_->Kind = KindOf(format);
  // Exclusive and without following a link: a name that appears between our
  // choice and this call is never written through or over.
  Io_->Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (Io_->Fd < 0) {
    const int err = errno;
    if (err == EEXIST || err == ELOOP) {
      throw TFileExistsError(PrintablePath(path) +
                             " already exists; give a new name (an existing file is never "
                             "replaced)");
    }
    throw std::runtime_error("cannot create " + PrintablePath(path) + ": " + std::strerror(err));
  }
  SF_VIRTUAL_IO io = VirtualIo();
  SF_INFO info{};
  info.samplerate = static_cast<int>(kSampleRate);
  info.channels = 2;
  info.format = format;
  File_ = sf_open_virtual(&io, SFM_WRITE, &info, Io_.get());
  if (File_ == nullptr) {
    const std::string why = sf_strerror(nullptr);
    ::close(Io_->Fd);
    ::unlink(path.c_str());
    throw std::runtime_error("cannot create " + PrintablePath(path) + ": " + why);
  }
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64) {
    // A plain WAV file until it would pass 4 GB; the header is rewritten as
    // such at once, so that even a file killed now is one.
    sf_command(File_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    sf_command(File_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  }
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS) {
    double milliseconds = kOggPageMilliseconds;
    sf_command(File_, SFC_SET_OGG_PAGE_LATENCY_MS, &milliseconds, sizeof milliseconds);
  }
  // Integer formats: a sample beyond full scale is clipped, never wrapped round.
  sf_command(File_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

TSoundFile::~TSoundFile() {
  try {
    Close();
  } catch (const std::exception&) {
    // Closing on the way out of an error; the first error is the one told.
  }
}

void TSoundFile::Write(std::span<const TStereoFrame> frames) {
  const auto wanted = static_cast<sf_count_t>(frames.size());
  // The frames are laid out as interleaved float pairs.
  const sf_count_t written =
      sf_writef_float(File_, reinterpret_cast<const float*>(frames.data()), wanted);
  if (written != wanted || Io_->Broken) {
    const int err = Io_->Error;
    throw std::runtime_error("writing " + PrintablePath(Path_) +
                             " failed: " + (err != 0 ? std::strerror(err) : sf_strerror(File_)));
  }
}

void TSoundFile::Checkpoint() {
  if (File_ == nullptr || Io_->Broken) {
    return;
  }
  switch (Io_->Kind) {
    case TKind::Wav:
      sf_command(File_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
      break;
    case TKind::Flac:
      Io_->PatchFlacTotal();
      break;
    case TKind::Ogg:
      break;  // every page says how far the file goes
  }
}

void TSoundFile::Sync() {
  if (Io_->Fd >= 0) {
    ::fsync(Io_->Fd);
  }
}

std::uint64_t TSoundFile::Durable() const {
  return Io_->Durable;
}

void TSoundFile::Close() {
  if (File_ == nullptr) {
    return;
  }
  const bool brokenBefore = Io_->Broken;
  if (brokenBefore) {
    Io_->CutToWhole();
  }
  SNDFILE* file = File_;
  File_ = nullptr;
  const int result = sf_close(file);
  if (Io_->Broken && !brokenBefore) {
    Io_->CutToWhole();  // the last frame or page did not fit
  }
  if (Io_->Kind == TKind::Flac) {
    if (Io_->Broken) {
      Io_->PatchFlacTotal();
    } else {
      Io_->Durable = Io_->FlacSamples;
    }
  }
  const int closed = ::close(Io_->Fd);
  const int err = closed != 0 ? errno : Io_->Error;
  Io_->Fd = -1;
  if (brokenBefore) {
    return;  // the failed write was reported; the file holds what is whole
  }
  if (closed != 0 || Io_->Broken) {
    throw std::runtime_error("closing " + PrintablePath(Path_) + " failed: " + std::strerror(err));
  }
  if (result != 0) {
    throw std::runtime_error("closing " + PrintablePath(Path_) +
                             " failed: " + sf_error_number(result));
  }
}

}  // namespace recmon
