#pragma once

// Texts derived from the recording's path and its size on disk.

#include <cstdint>
#include <string>

namespace recmon {

inline constexpr std::int64_t BytesPerKB = 1024;

// "N KB", N rounded halves to even. The full 64-bit size is used, so a
// recording of 2 GiB or more never shows a negative size.
std::string FileSizeText(std::int64_t sizeBytes);

// The path up to and including its last "/", "\" or ":"; empty when it has
// none. Paths from a recorder on any platform are split the same way.
std::string FolderOf(const std::string& path);

}  // namespace recmon
