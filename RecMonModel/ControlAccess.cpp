#include "ControlAccess.h"

#include "LevelMeters.h"

namespace recmon {

namespace {

// "  (Configured not to record this)" without its spaces and brackets.
constexpr std::string_view Unbracketed(std::string_view suffix) {
  const auto open = suffix.find('(');
  const auto close = suffix.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return suffix;
  }
  return suffix.substr(open + 1, close - open - 1);
}

}  // namespace

std::optional<TControl> ControlNamed(std::string_view name) {
  for (std::size_t i = 0; i < ControlNames.size(); ++i) {
    if (ControlNames[i] == name) {
      return static_cast<TControl>(i);
    }
  }
  return std::nullopt;
}

std::string FigureName(std::string_view caption, std::string_view value) {
  std::string name(caption);
  if (!name.ends_with(':')) {
    name += ':';
  }
  name += ' ';
  name += value;
  return name;
}

std::string_view MeterNote(std::string_view hint) {
  for (const std::string_view suffix : {NotRecordedSuffix, NoRecentSoundSuffix}) {
    if (hint.ends_with(suffix)) {
      return Unbracketed(suffix);
    }
  }
  return {};
}

}  // namespace recmon
