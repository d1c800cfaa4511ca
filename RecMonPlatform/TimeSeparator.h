#pragma once

// The separator between hours and minutes in the user's time format, taken
// from the C library's strftime-style format of the locale.

#include <optional>
#include <string>
#include <string_view>

namespace recmon {

inline constexpr std::string_view DefaultTimeSeparator = ":";

// The characters between the hour and the minute conversion of a time
// format ("%H:%M:%S" gives ":"). A format written as %r takes its fields from
// ampmFormat; %T and %R stand for hh:mm(:ss). ":" when the format has no
// hour followed by a minute, or nothing between them.
std::string TimeSeparatorOfFormat(std::string_view format, std::string_view ampmFormat);

// Text in the given character set (as nl_langinfo(CODESET) names it) as
// UTF-8; nothing when it cannot be converted.
std::optional<std::string> ToUtf8(std::string_view text, const char* codeset);

// The separator of the user's LC_TIME locale, in UTF-8 whatever the locale's
// own character set, ":" where there is none.
std::string LocaleTimeSeparator();

}  // namespace recmon
