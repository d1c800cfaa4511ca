#include "TimeSeparator.h"

#include <langinfo.h>
#include <locale.h>

#include <optional>

namespace recmon {

namespace {

// One strftime conversion found in a format.
struct TConversion {
  std::size_t Begin = 0;  // index of its '%'
  std::size_t End = 0;    // one past its conversion character
  char Kind = 0;
};

// Reads the conversion starting at format[at] == '%': flags (glibc's "_-0^#"),
// a field width, and the E/O modifiers may stand before the character.
std::optional<TConversion> ConversionAt(std::string_view format, std::size_t at) {
  std::size_t i = at + 1;
  while (i < format.size() && std::string_view("_-0^#").find(format[i]) != std::string_view::npos) {
    ++i;
  }
  while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
    ++i;
  }
  if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) {
    ++i;
  }
  if (i >= format.size()) {
    return std::nullopt;
  }
  return TConversion{at, i + 1, format[i]};
}

bool IsHour(char kind) {
  return kind == 'H' || kind == 'I' || kind == 'k' || kind == 'l';
}

}  // namespace

std::string TimeSeparatorOfFormat(std::string_view format, std::string_view ampmFormat) {
  std::optional<TConversion> hour;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      continue;
    }
    const auto conv = ConversionAt(format, i);
    if (!conv) {
      break;
    }
    i = conv->End - 1;
    if (conv->Kind == '%') {
      continue;
    }
    if (!hour) {
      if (conv->Kind == 'T' || conv->Kind == 'R') {
        return std::string(DefaultTimeSeparator);
      }
      if (conv->Kind == 'r') {
        // %r inside the 12-hour format itself would recurse for ever.
        return ampmFormat.empty() ? std::string(DefaultTimeSeparator)
                                  : TimeSeparatorOfFormat(ampmFormat, {});
      }
      if (IsHour(conv->Kind)) {
        hour = conv;
      }
      continue;
    }
    if (conv->Kind == 'M') {
      const auto between = format.substr(hour->End, conv->Begin - hour->End);
      return between.empty() ? std::string(DefaultTimeSeparator) : std::string(between);
    }
    // Something other than the minutes follows the hour: look for a later pair.
    hour = IsHour(conv->Kind) ? conv : std::nullopt;
  }
  return std::string(DefaultTimeSeparator);
}

std::string LocaleTimeSeparator() {
  // A locale object of our own leaves the process-wide locale alone.
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    return std::string(DefaultTimeSeparator);
  }
  const std::string format = nl_langinfo_l(T_FMT, locale);
  const std::string ampm = nl_langinfo_l(T_FMT_AMPM, locale);
  freelocale(locale);
  return TimeSeparatorOfFormat(format, ampm);
}

}  // namespace recmon
