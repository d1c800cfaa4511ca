#include "TimeSeparator.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
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

std::optional<std::string> ToUtf8(std::string_view text, const char* codeset) {
  iconv_t cd = iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return std::nullopt;
  }
  std::string out(text.size() * 4 + 4, '\0');  // no character grows beyond four bytes
  std::string in(text);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
    return std::nullopt;
  }
  out.resize(out.size() - outLeft);
  return out;
}

namespace {

// The locale name that LC_TIME takes from the environment, as setlocale
// would choose it.
const char* TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return "C";
}

}  // namespace

std::string LocaleTimeSeparator() {
  // A locale object of our own leaves the process-wide locale alone. Its
  // character set must be that of the time locale, whose texts are in it.
  locale_t locale =
      newlocale(LC_CTYPE_MASK | LC_TIME_MASK, TimeLocaleName(), static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    return std::string(DefaultTimeSeparator);
  }
  const char* codeset = nl_langinfo_l(CODESET, locale);
  const auto format = ToUtf8(nl_langinfo_l(T_FMT, locale), codeset);
  const auto ampm = ToUtf8(nl_langinfo_l(T_FMT_AMPM, locale), codeset);
  freelocale(locale);
  if (!format) {
    return std::string(DefaultTimeSeparator);
  }
  return TimeSeparatorOfFormat(*format, ampm.value_or(std::string()));
}

}  // namespace recmon
