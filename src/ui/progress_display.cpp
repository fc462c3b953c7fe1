#include "progress_display.h"

#include "platform/desktop.h"
#include "ui/paint_throttle.h"

#include <QLabel>
#include <QProgressBar>

#include <cmath>

namespace quarrix {

void ShowPercentage(PaintThrottle& throttle, QProgressBar* bar, QLabel* label, qint32 Value, qint32 Max)
{
    if (Max != 0) {
        const float percent = float(double(Value) / double(Max) * 100.0);
        // nearbyint rounds in the default mode, to nearest with ties to even.
        const float position = std::nearbyint(percent);
        const auto whole = qint64(std::floor(percent));
        throttle.apply({bar, label}, [&] {
            if (position >= 0 && position <= 100)
                bar->setValue(int(position));
            label->setText((whole < 0 ? QString() : QStringLiteral(" ")) + QString::number(whole) + u'%');
        });
    }
    platform::YieldToWindowSystem();
}

}  // namespace quarrix
