#pragma once

// Texts derived from the recording's path and its size on disk.

#include <cstdint>
#include <string>

namespace recmon {

inline constexpr std::int64_t BytesPerKB = 1024;

// "N KB", N rounded halves to even. The full 64-bit size is used, so a
// recording of 2 GiB or more never shows a negative size.
std::string FileSizeText(std::int64_t sizeBytes);

// The folder of an absolute path: the path up to and including its last "/".
// Only "/" separates folders here; ":" and "\" are ordinary characters of a
// name. Empty for a path that is not absolute (a bare name, "C:\x", a URL
// such as "https://host/x"), so nothing but a local folder is ever opened.
std::string FolderOf(const std::string& path);

}  // namespace recmon
