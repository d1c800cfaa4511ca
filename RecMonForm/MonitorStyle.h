#pragma once

// The application style with the monitor's tooltip timing.

#include <QProxyStyle>
#include <chrono>

namespace recmon {

// How long the pointer rests on a control before its tooltip shows.
inline constexpr std::chrono::milliseconds TooltipWakeUpDelay{500};
// How long a tooltip stays up.
inline constexpr std::chrono::milliseconds TooltipDuration{15000};

class TMonitorStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override;
};

}  // namespace recmon
