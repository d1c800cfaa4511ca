#include "MonitorStyle.h"

namespace recmon {

int TMonitorStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const {
  if (hint == SH_ToolTip_WakeUpDelay) {
    return static_cast<int>(TooltipWakeUpDelay.count());
  }
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace recmon
