#include "WriterThread.h"

#include <exception>
#include <vector>

namespace recmon {

TWriterThread::TWriterThread(TFrameRing& ring, IFrameSink& sink)
    : Ring_(ring), Sink_(sink), Thread_([this] { Run(); }) {}

TWriterThread::~TWriterThread() {
  Finish();
}

void TWriterThread::Finish() {
  Stopping_.store(true, std::memory_order_release);
  if (Thread_.joinable()) {
    Thread_.join();
  }
}

std::optional<std::string> TWriterThread::Failure() const {
  if (!Failed_.load(std::memory_order_acquire)) {
    return std::nullopt;
  }
  const std::lock_guard lock(FailureMutex_);
  return FailureText_;
}

void TWriterThread::Fail(const std::string& message) {
  {
    const std::lock_guard lock(FailureMutex_);
    FailureText_ = message;
  }
  Failed_.store(true, std::memory_order_release);
}

void TWriterThread::Run() {
  using Clock = std::chrono::steady_clock;
  // A quarter second of frames per write: large writes, few system calls.
  std::vector<TStereoFrame> chunk(kSampleRate / 4);
  auto nextCheckpoint = Clock::now() + kCheckpointInterval;
  auto nextSync = Clock::now() + kSyncInterval;
  const auto durable = [&] { Durable_.store(Sink_.Durable(), std::memory_order_release); };
  try {
    for (;;) {
      // Read the flag before taking, so that the last take sees everything
      // offered before Finish was called.
      const bool stopping = Stopping_.load(std::memory_order_acquire);
      const std::size_t taken = Ring_.Take(chunk);
      if (taken > 0) {
        Sink_.Write(std::span(chunk).first(taken));
        Written_.fetch_add(taken, std::memory_order_release);
        durable();
      }
      if (stopping && taken == 0) {
        break;
      }
      const auto now = Clock::now();
      if (now >= nextCheckpoint) {
        Sink_.Checkpoint();
        durable();
        nextCheckpoint = now + kCheckpointInterval;
      }
      if (now >= nextSync) {
        Sink_.Sync();
        nextSync = now + kSyncInterval;
      }
      if (taken < chunk.size() && !stopping) {
        std::this_thread::sleep_for(kWriterIdle);
      }
    }
    Sink_.Checkpoint();
    Sink_.Sync();
    durable();
  } catch (const std::exception& e) {
    Fail(e.what());
  }
}

}  // namespace recmon
