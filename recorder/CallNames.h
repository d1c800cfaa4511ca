#pragma once

// Names of the files that --auto records: one per call, named after its date
// and the program that made the call.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace recmon {

// Longest program name kept in a file name, in bytes; a whole character is
// never cut.
inline constexpr std::size_t kMaxAppNameBytes = 40;

// A program's name as it may stand in a file name on any desktop and in a
// shell without quoting: letters, digits, '.', '_' and '+' stay (any
// language's letters too), every other run of characters becomes one '-',
// and dots and dashes at either end go, so the name can neither climb out of
// the folder nor hide the file. "app" when nothing is left.
std::string SafeAppName(std::string_view app);

// call-YYYY-MM-DD-HHMMSS-APP.EXT for a call that began at `local`;
// `extension` with its dot.
std::string AppCallFileName(const std::tm& local, std::string_view app, std::string_view extension);

// `folder`/`name`, or when `exists` knows it, the same with -2, -3 ... before
// the extension.
std::string FreePath(const std::string& folder, const std::string& name,
                     const std::function<bool(const std::string&)>& exists);

}  // namespace recmon
