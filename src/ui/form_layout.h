// What every window of the program shares in its layout: positions and sizes
// are designed in twips, and the controls use one small face that makes the
// designed texts fit.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QProgressBar;
class QWidget;

namespace quarrix {

// The screen has 15 twips to a pixel.
inline constexpr int kTwipsPerPixel = 15;

QRect TwipsToPixels(int left, int top, int width, int height);

// The face of every control: condensed, 10 pixels (about 7.5 points).
QFont ControlFont();

// Places `control` at its designed position and size. Its size is fixed, so a
// change of its text never asks its window to lay it out again.
void PlaceControl(QWidget* control, int left, int top, int width, int height);

// A label placed like PlaceControl, its plain text at the top, wrapping at
// word boundaries.
QLabel* MakeLabel(QWidget* window, const QString& text, int left, int top, int width, int height,
                  Qt::Alignment horizontal = Qt::AlignLeft);

// A progress bar placed like PlaceControl, with the range 0 to 100 and no text
// of its own.
QProgressBar* MakeProgressBar(QWidget* window, int left, int top, int width, int height);

}  // namespace quarrix
