#pragma once

// The texts of the error boxes: where the error happened, then its message.

#include <exception>
#include <string>
#include <string_view>

namespace recmon {

inline constexpr std::string_view FormCreateErrorPrefix = "Exception Occurred in FormCreate: ";
inline constexpr std::string_view OnTimerErrorPrefix = "Exception Occurred in OnTimer: ";
inline constexpr std::string_view OutOfMemoryText = "Out of memory";
inline constexpr std::string_view UnknownErrorText = "Unknown error";

// The message a user sees for a caught error: its own text, except that
// running out of memory reads "Out of memory".
std::string ErrorMessageOf(const std::exception_ptr& error);

// Prefix and message, with nothing in between.
std::string ErrorBoxText(std::string_view prefix, const std::exception_ptr& error);

}  // namespace recmon
