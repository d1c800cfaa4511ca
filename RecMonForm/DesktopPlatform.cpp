#include "DesktopPlatform.h"

#include <sys/stat.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include "DateTime.h"
#include "FolderUrl.h"
#include "TickCount.h"
#include "TimeSeparator.h"

namespace recmon {

namespace {

// The freedesktop opener: it picks the user's file manager.
constexpr const char* FolderOpener = "xdg-open";

}  // namespace

double TDesktopPlatform::Now() {
  return LocalNow();
}

std::uint32_t TDesktopPlatform::TickCount() {
  return RecMonTickCount();
}

std::optional<std::int64_t> TDesktopPlatform::FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(st.st_size);
}

void TDesktopPlatform::OpenFolder(const std::string& folder) {
  // Only as a local folder: a file URL, so the opener can never take the
  // name for a web address or a file to run.
  const auto url = LocalFolderUrl(folder);
  if (!url) {
    return;
  }
  // A failed start is ignored: there is nobody to tell.
  QProcess::startDetached(QString::fromLatin1(FolderOpener), {QString::fromLatin1(*url)});
}

std::string TDesktopPlatform::TimeSeparator() {
  return LocaleTimeSeparator();
}

}  // namespace recmon
