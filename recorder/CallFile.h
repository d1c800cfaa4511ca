#pragma once

// Where a call is recorded and in which format.

#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace recmon {

// The libsndfile format (SF_FORMAT_*) for a file name, from its extension:
// .wav (16-bit PCM; RF64, which stays a plain WAV file unless it grows
// beyond 4 GB), .flac (16-bit), .ogg and .opus (Opus in Ogg), in any letter
// case. Raises TRecorderUsageError for any other name.
int CallFileFormat(const std::string& path);

// A path as messages show it: control characters (a newline, a tab, an
// escape) written as \n, \t, \x1b, so that a name cannot forge or hide a line.
std::string PrintablePath(const std::string& path);

// Raises TRecorderUsageError when `folder` is no place for a recording: the
// system's device and kernel file systems (/dev, /proc, /sys and the like).
void CheckCallFolder(const std::string& folder);

// The music folder as xdg-user-dirs records it: XDG_MUSIC_DIR in the text of
// a user-dirs.dirs file, "$HOME/..." relative to `home`, or an absolute path.
// `home` + "/Music" when the file does not say.
std::string MusicFolder(const std::string& userDirsText, const std::string& home);

// call-YYYY-MM-DD-HHMMSS.wav for a local time.
std::string CallFileName(const std::tm& local);

// A path in `folder` for a call started at `local` that `exists` does not
// know yet: the dated name, or the same with -2, -3 ... before the extension.
std::string FreeCallPath(const std::string& folder, const std::tm& local,
                         const std::function<bool(const std::string&)>& exists);

// The Calls folder in the user's music folder (not created here).
std::string DefaultCallsFolder();

// The folder of dated recordings: --folder as an absolute path, or the Calls
// folder; created when missing, private to the user (calls are personal).
// Raises std::runtime_error when it cannot be made.
std::string MakeCallsFolder(const std::optional<std::string>& folder);

struct TRecorderOptions;

// ResolveCallPath for a command line: FILE, or a free dated name in the
// folder and format that --folder and --format choose.
std::string ResolveCallPath(const TRecorderOptions& options, std::time_t now);

// The file to record into, as an absolute path: FILE as given (relative to
// the working folder), or a free dated name in the Calls folder of the user's
// music folder, which is created if missing (private to the user: mode
// 0700). Raises TRecorderUsageError when FILE exists already or lies in a
// system folder, std::runtime_error when that folder cannot be made. The file
// itself is created later, exclusively (see TSoundFile).
std::string ResolveCallPath(const std::string* file, std::time_t now);

}  // namespace recmon
