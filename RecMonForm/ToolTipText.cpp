#include "ToolTipText.h"

namespace recmon {

namespace {

// A zero-width space: invisible, but a place where a line may break.
constexpr QChar BreakOpportunity{0x200B};

bool BreaksAfter(QChar c) {
  return c == u'/' || c.isSpace();
}

}  // namespace

QString LiteralToolTip(const QString& text) {
  if (text.isEmpty()) {
    return {};
  }
  // Qt wraps rich-text tooltips at its own width, narrower than a short
  // text: one that fits on a line is kept on it.
  if (text.size() <= ToolTipLongestLine) {
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
  }
  QString breakable;
  breakable.reserve(text.size() + text.size() / 8);
  int run = 0;
  for (const QChar c : text) {
    breakable += c;
    ++run;
    if (BreaksAfter(c)) {
      if (c == u'/') {
        breakable += BreakOpportunity;
      }
      run = 0;
    } else if (run >= ToolTipLongestRun && !c.isHighSurrogate()) {
      breakable += BreakOpportunity;
      run = 0;
    }
  }
  // Rich text only so that Qt wraps it; the text itself is all escaped.
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + breakable.toHtmlEscaped() +
         QStringLiteral("</p>");
}

}  // namespace recmon
