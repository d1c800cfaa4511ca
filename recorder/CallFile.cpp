#include "CallFile.h"

#include <pwd.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "CallNames.h"
#include "RecorderArgs.h"

namespace recmon {

namespace fs = std::filesystem;

int CallFileFormat(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".wav") {
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  }
  if (ext == ".flac") {
    return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  }
  if (ext == ".ogg" || ext == ".opus") {
    return SF_FORMAT_OGG | SF_FORMAT_OPUS;
  }
  throw TRecorderUsageError("cannot tell the format of '" + path +
                            "': name it .wav, .flac, .ogg or .opus");
}

std::string MusicFolder(const std::string& userDirsText, const std::string& home) {
  std::istringstream lines(userDirsText);
  std::string line;
  std::string music = home + "/Music";
  // Lines look like XDG_MUSIC_DIR="$HOME/Music"; the last one counts, as
  // when the shell sources the file.
  while (std::getline(lines, line)) {
    static const std::string key = "XDG_MUSIC_DIR=\"";
    if (!line.starts_with(key) || line.size() < key.size() + 1 || line.back() != '"') {
      continue;
    }
    const std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value == "$HOME") {
      music = home;
    } else if (value.starts_with("$HOME/")) {
      music = home + value.substr(5);
    } else if (value.starts_with("/")) {
      music = value;
    }
  }
  return music;
}

std::string CallFileName(const std::tm& local) {
  char text[64];
  std::strftime(text, sizeof text, "call-%Y-%m-%d-%H%M%S.wav", &local);
  return text;
}

std::string FreeCallPath(const std::string& folder, const std::tm& local,
                         const std::function<bool(const std::string&)>& exists) {
  const std::string name = CallFileName(local);
  std::string path = folder + "/" + name;
  const std::string stem = name.substr(0, name.size() - 4);
  for (int n = 2; exists(path); ++n) {
    path = folder + "/" + stem + "-" + std::to_string(n) + ".wav";
  }
  return path;
}

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return home;
  }
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  throw std::runtime_error("cannot find your home folder (HOME is not set)");
}

std::string UserDirsText(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string folder =
      config != nullptr && config[0] == '/' ? std::string(config) : home + "/.config";
  std::ifstream in(folder + "/user-dirs.dirs");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string DefaultCallsFolder() {
  const std::string home = HomeFolder();
  return MusicFolder(UserDirsText(home), home) + "/Calls";
}

std::string ResolveCallPath(const std::string* file, std::time_t now) {
  if (file != nullptr) {
    const std::string path = fs::absolute(*file).lexically_normal().string();
    // An earlier call is never recorded over by a name typed twice.
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(path, ignored))) {
      throw TRecorderUsageError(path +
                                " already exists; give a new name (an existing file is "
                                "never replaced)");
    }
    return path;
  }
  const std::string folder = DefaultCallsFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw std::runtime_error("cannot create the folder " + folder + ": " + error.message());
  }
  std::tm local{};
  ::localtime_r(&now, &local);
  return FreeCallPath(folder, local, [](const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
  });
}

std::string MakeCallsFolder(const std::optional<std::string>& folder) {
  const std::string path =
      folder ? fs::absolute(*folder).lexically_normal().string() : DefaultCallsFolder();
  std::error_code error;
  if (fs::is_directory(path, error)) {
    return path;
  }
  fs::create_directories(fs::path(path).parent_path(), error);
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create the folder " + path + ": " +
                             std::generic_category().message(errno));
  }
  return path;
}

std::string ResolveCallPath(const TRecorderOptions& options, std::time_t now) {
  if (options.File) {
    return ResolveCallPath(&*options.File, now);
  }
  const std::string folder = MakeCallsFolder(options.Folder);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "call-%Y-%m-%d-%H%M%S", &local);
  return FreePath(folder, stamp + ChosenExtension(options), [](const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
  });
}

}  // namespace recmon
