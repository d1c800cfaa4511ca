#include "RecMonWriter.h"

#include <stdexcept>

#include "ChannelDirectory.h"
#include "StatusLock.h"

namespace recmon {

TRecMonWriter::TRecMonWriter() {
  Channel_.Create();
  if (!Channel_.Mutex || !Channel_.Mapping) {
    throw std::runtime_error(
        "the status channel is not available in " + RecMonChannelDirectory() +
        " (missing parent folder, or an entry there not owned by you, open to others, "
        "or a link)");
  }
}

void TRecMonWriter::Publish(const TRecMonSnapshot& status) {
  PublishBytes(EncodeStatus(status));
}

void TRecMonWriter::PublishBytes(const TRecMonStatusBytes& bytes) {
  const TStatusLock lock(Channel_);
  Channel_.Write(bytes);
}

}  // namespace recmon
