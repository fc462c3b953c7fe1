#include "paint_throttle.h"

#include <algorithm>

namespace quarrix {

PaintThrottle::PaintThrottle(QObject* parent) : QObject(parent)
{
    endOfInterval_.setSingleShot(true);
    connect(&endOfInterval_, &QTimer::timeout, this, &PaintThrottle::paintHeldBack);
}

bool PaintThrottle::mayPaintNow() const
{
    return !endOfInterval_.isActive() &&
           (!sinceLastPaint_.isValid() || sinceLastPaint_.hasExpired(kIntervalMs));
}

void PaintThrottle::holdBack(std::initializer_list<QWidget*> controls)
{
    for (QWidget* control : controls) {
        if (control->updatesEnabled()) {
            control->setUpdatesEnabled(false);
            heldBack_.append(control);
        }
    }
    if (!endOfInterval_.isActive())
        endOfInterval_.start(int(std::max<qint64>(0, kIntervalMs - sinceLastPaint_.elapsed())));
}

void PaintThrottle::paintHeldBack()
{
    // Enabling updates again paints each control with its latest state.
    for (const QPointer<QWidget>& control : std::as_const(heldBack_)) {
        if (control)
            control->setUpdatesEnabled(true);
    }
    heldBack_.clear();
    sinceLastPaint_.start();
}

}  // namespace quarrix
