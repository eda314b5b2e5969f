#pragma once
// Small helpers every form of the system uses to build and drive its controls.

#include <QWidget>

class QAbstractButton;
class QAbstractScrollArea;
class QToolButton;

namespace Platform {

// Gives a new control its name, so that tests and tools find it under the name the
// form's member has; returns the control.
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Moves the focus from a control to the next one a Tab press would reach in the
// same window: enabled, visible and taking focus by Tab. Enter in an edit of the
// logon and password dialogs moves on this way instead of closing the dialog.
void focusNextControl(QWidget* from);

// Makes a tool button an arrow button (which shows no text) big enough to see and
// hit: a framed square of about twice the text height, the arrow as tall as the text.
void makeArrowButton(QToolButton* button, Qt::ArrowType arrow);

// The accelerator letters ("&Add" gives 'A') that two or more of the window's
// visible buttons share; empty when none clash.
QString clashingAccelerators(const QWidget* window);

// Keeps a list's or table's frame visible at a fractional scale (QT_SCALE_FACTOR=1.5):
// there the viewport, rounded outward to whole screen pixels, covered the one-pixel
// frame on three sides with its white. The control paints the white itself, under
// the frame, and the viewport paints nothing beneath its rows.
void keepFrameWhenScaled(QAbstractScrollArea* area);

} // namespace Platform
