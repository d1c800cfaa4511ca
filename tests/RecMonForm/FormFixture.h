#pragma once

// A real monitor window on the offscreen platform, over a record and a
// platform held in memory.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MemoryPlatform.h"
#include "MemoryStatusSource.h"
#include "RecMonForm.h"

namespace recmon::test {

struct TFormUnderTest {
  std::unique_ptr<TRecMonForm_> Form;
  TMemoryPlatform* Platform = nullptr;    // owned by the form
  TMemoryStatusSource* Source = nullptr;  // owned by the form's monitor
  std::vector<QString> Errors;            // texts the form reported
};

// Builds the window (FormCreate runs, including the first refresh) over the
// given record, with its texts prepared as they are for its first paint.
// Errors are collected instead of shown in a modal box unless realBoxes is
// set. The fixture's platform and source are set before the first refresh,
// so code running inside a box can already use them.
void BuildForm(TFormUnderTest& into, const TRecMonSnapshot& record, bool valid, bool realBoxes);
std::unique_ptr<TFormUnderTest> MakeForm(const TRecMonSnapshot& record, bool valid = true,
                                         bool realBoxes = false);

// The window as its constructor leaves it, before it is shown: the first
// refresh has run, the texts are not yet prepared.
std::unique_ptr<TFormUnderTest> MakeUnshownForm(const TRecMonSnapshot& record);

// The monitor window that is currently a top-level widget, if any.
TRecMonForm_* OpenForm();

// The label's text, as the user sees it.
std::string TextOf(const TRecMonForm_& form, TControl control);

// The text a user reads in the control's tooltip: its markup rendered, the
// invisible break opportunities left out.
QString ToolTipShown(const QWidget& widget);

// The text drawn black on white in this font, the pen at `pen`, on a canvas
// of `size`: how the font really renders it.
QImage DrawnText(const QFont& font, const QString& text, QSize size, QPoint pen);

// First and last columns (exclusive) of clearly visible ink of the text as
// the font renders it from pen position 0 (faint antialiasing does not
// count); {width, 0} when nothing is visible.
std::pair<int, int> InkColumns(const QFont& font, const QString& text);

// Runs the event loop for this long.
void Wait(int milliseconds);

}  // namespace recmon::test
