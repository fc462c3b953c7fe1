// The one piece of logic of the progress windows: a pair of counts shown as a
// bar position and a percentage text.
#pragma once

#include <QtGlobal>

class QLabel;
class QProgressBar;

namespace quarrix {

class PaintThrottle;

// Shows `Value` of `Max` on `bar` and `label`, then lets the window system
// process its pending events. The ratio is Value / Max * 100 as a float. The
// bar takes it rounded to the nearest whole number, ties to even (12.5 gives
// 12), and only within 0..100; the label takes it rounded down, after one
// blank or a minus sign, followed by "%" (2 of 3: bar 67, label " 66%"). With
// `Max` 0 neither changes.
void ShowPercentage(PaintThrottle& throttle, QProgressBar* bar, QLabel* label, qint32 Value, qint32 Max);

}  // namespace quarrix
