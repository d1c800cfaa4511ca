#pragma once

// The address under which the desktop's opener shows a local folder.

#include <optional>
#include <string>
#include <string_view>

namespace recmon {

// "file://" and the folder's bytes, every byte but the unreserved ones and
// "/" percent-encoded, so that no character of a name (a space, "%", "?",
// "#", ":") can make the opener read it as anything but a local path.
// Nothing for a folder that is not an absolute path.
std::optional<std::string> LocalFolderUrl(std::string_view folder);

}  // namespace recmon
