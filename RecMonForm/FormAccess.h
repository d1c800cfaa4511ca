#pragma once

// The window as a screen reader and the keyboard meet it: Qt's accessibility
// interfaces for the monitor's own controls, the keyboard focus and Tab
// order, and the names that follow the figures. What each control is called
// comes from the access table (ControlAccess.h).

#include <QWidget>

#include "ControlAccess.h"
#include "FormLayout.h"

namespace recmon {

// Teaches Qt's accessibility how to present the window and its controls.
// Once per program is enough; later calls do nothing. It must run before the
// first control is built, since Qt keeps the interface it first made for an
// object.
void InstallFormAccessibility();

// Lets the controls that can be worked take the keyboard focus; ties each figure to its caption and
// names it; keeps descriptions and meter levels current for a screen reader. The window itself
// holds the focus until the user presses Tab, so activating it with the mouse draws nothing new.
void SetUpAccess(QWidget& form, const TControlWidgets& controls);

// A label's text changed: the figure it shows or captions is read anew.
void FollowCaption(const TControlWidgets& controls, TControl changed);

// A control's hint changed to `hint` (plain text, unlike its tooltip, which
// is markup): its description for a screen reader follows. A meter is
// described by its note alone, its name saying the rest.
void FollowHint(const TControlWidgets& controls, TControl changed, const QString& hint);

// The control Tab (forward) or Shift+Tab moves the focus to from `from`, in
// the order of KeyboardOrder, passing over hidden ones; null when there is
// none to move to.
QWidget* NextInKeyboardOrder(const TControlWidgets& controls, const QWidget* from, bool forward);

// After a control was worked: if it had the keyboard focus and is hidden now,
// the icon shown in its place takes the focus, so Space twice undoes itself.
void PassFocusToTwin(const TControlWidgets& controls, TControl worked, bool hadFocus);

}  // namespace recmon
