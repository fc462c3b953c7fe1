// Holds back the painting of controls whose texts or positions change far
// more often than a screen can show them (a scan examines thousands of files
// a second): every change is applied at once, but the controls are painted at
// most once per interval, and a change that was held back is painted when its
// interval ends.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <initializer_list>

namespace quarrix {

class PaintThrottle : public QObject {
    Q_OBJECT
public:
    // About one frame of a screen.
    static constexpr int kIntervalMs = 10;

    explicit PaintThrottle(QObject* parent = nullptr);

    // Runs `change`, which sets texts or positions of `controls`; they are
    // painted now or at the end of the current interval.
    template <typename Change>
    void apply(std::initializer_list<QWidget*> controls, Change&& change)
    {
        if (mayPaintNow()) {
            change();
            sinceLastPaint_.start();
            return;
        }
        holdBack(controls);
        change();
    }

private:
    bool mayPaintNow() const;
    void holdBack(std::initializer_list<QWidget*> controls);
    void paintHeldBack();

    QElapsedTimer sinceLastPaint_;
    QTimer endOfInterval_;
    QList<QPointer<QWidget>> heldBack_;
};

}  // namespace quarrix
